// "mpeg4enc": MPEG-4 Visual simple profile from libavcodec's mpeg4 encoder,
// in the recorder's form (configuration header on the first frame, every
// frame starting at its VOP).
#include "media-stack/Picture.h"
#include "media-stack/codec/AvSupport.h"
#include "media-stack/codec/Codecs.h"
#include "media-stack/codec/Mpeg4Config.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <libyuv/convert.h>

#include <cstring>
#include <new>

struct Venc1_Object
{
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int width = 0;
    int height = 0;
    int keyInterval = 30;
    int64_t frames = 0;
    mediastack::Bytes config;  // sent before the first frame
};

namespace {

void Release(Venc1_Object* pVe)
{
    avcodec_free_context(&pVe->ctx);
    av_frame_free(&pVe->frame);
    av_packet_free(&pVe->packet);
    delete pVe;
}

bool Usable(const VIDENC1_Params* p, const VIDENC1_DynamicParams* d)
{
    if (!p || !d || p->size < static_cast<XDAS_Int32>(sizeof(VIDENC1_Params)) ||
        d->size < static_cast<XDAS_Int32>(sizeof(VIDENC1_DynamicParams)))
        return false;
    if (d->inputWidth <= 0 || d->inputHeight <= 0 || (d->inputWidth & 1) || (d->inputHeight & 1) ||
        d->inputWidth > p->maxWidth || d->inputHeight > p->maxHeight)
        return false;
    return p->inputChromaFormat == XDM_YUV_422ILE && d->refFrameRate > 0 && d->targetBitRate > 0;
}

}  // namespace

Venc1_Handle Venc1_create(Engine_Handle hEngine, const char* szName, VIDENC1_Params* pParams,
                          VIDENC1_DynamicParams* pDynParams)
{
    if (!hEngine || !szName || std::strcmp(szName, "mpeg4enc") != 0 || !Usable(pParams, pDynParams))
        return nullptr;
    mediastack::QuietAvLog();
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    auto* pVe = new (std::nothrow) Venc1_Object;
    if (!codec || !pVe) {
        delete pVe;
        return nullptr;
    }
    pVe->width = pDynParams->inputWidth;
    pVe->height = pDynParams->inputHeight;
    pVe->keyInterval = pDynParams->intraFrameInterval > 0 ? pDynParams->intraFrameInterval : 30;
    pVe->ctx = avcodec_alloc_context3(codec);
    pVe->frame = av_frame_alloc();
    pVe->packet = av_packet_alloc();
    if (!pVe->ctx || !pVe->frame || !pVe->packet) {
        Release(pVe);
        return nullptr;
    }
    AVCodecContext* ctx = pVe->ctx;
    ctx->width = pVe->width;
    ctx->height = pVe->height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    int fps = pDynParams->targetFrameRate > 0 ? pDynParams->targetFrameRate : pDynParams->refFrameRate;
    ctx->time_base = AVRational{1000, fps};
    ctx->framerate = AVRational{fps, 1000};
    ctx->bit_rate = pDynParams->targetBitRate;
    if (pParams->maxBitRate >= pDynParams->targetBitRate) {
        ctx->rc_max_rate = pParams->maxBitRate;
        ctx->rc_buffer_size = pParams->maxBitRate;
    }
    ctx->gop_size = pVe->keyInterval;
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Key frames come every interval and nowhere else.
    av_opt_set_int(ctx->priv_data, "sc_threshold", 1000000000, 0);
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        Release(pVe);
        return nullptr;
    }
    pVe->config = mediastack::RecorderConfigHeader(ctx->extradata, static_cast<size_t>(ctx->extradata_size));
    pVe->frame->format = AV_PIX_FMT_YUV420P;
    pVe->frame->width = pVe->width;
    pVe->frame->height = pVe->height;
    if (pVe->config.empty() || av_frame_get_buffer(pVe->frame, 32) < 0) {
        Release(pVe);
        return nullptr;
    }
    return pVe;
}

int Venc1_process(Venc1_Handle hVe, Buffer_Handle hInBuf, Buffer_Handle hOutBuf)
{
    if (!hVe || !hOutBuf)
        return Dmai_EINVAL;
    mediastack::Picture in = mediastack::PictureOf(hInBuf);
    if (!in.valid() || in.width != hVe->width || in.height != hVe->height)
        return Dmai_EINVAL;
    AVFrame* frame = hVe->frame;
    if (av_frame_make_writable(frame) < 0)
        return Dmai_ENOMEM;
    libyuv::UYVYToI420(in.data, in.stride, frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                       frame->data[2], frame->linesize[2], in.width, in.height);
    frame->pts = hVe->frames;
    frame->pict_type = hVe->frames % hVe->keyInterval == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    Buffer_setNumBytesUsed(hOutBuf, 0);
    if (avcodec_send_frame(hVe->ctx, frame) < 0)
        return Dmai_EFAIL;
    AVPacket* pkt = hVe->packet;
    if (avcodec_receive_packet(hVe->ctx, pkt) < 0)
        return Dmai_EFAIL;  // one picture in, one frame out: no delay is expected

    // The frame from its VOP on (libavcodec puts a GOV before key frames).
    size_t size = static_cast<size_t>(pkt->size);
    size_t vop = mediastack::FindCode(pkt->data, size, 0, mediastack::kVopCode);
    const mediastack::Bytes& prefix = hVe->frames == 0 ? hVe->config : mediastack::Bytes();
    size_t total = prefix.size() + size - vop;
    int result = Dmai_EOK;
    if (vop == size || total > static_cast<size_t>(Buffer_getSize(hOutBuf))) {
        result = Dmai_EFAIL;
    } else {
        auto* out = reinterpret_cast<uint8_t*>(Buffer_getUserPtr(hOutBuf));
        if (!prefix.empty())
            std::memcpy(out, prefix.data(), prefix.size());
        std::memcpy(out + prefix.size(), pkt->data + vop, size - vop);
        Buffer_setNumBytesUsed(hOutBuf, static_cast<int32_t>(total));
    }
    av_packet_unref(pkt);
    ++hVe->frames;
    return result;
}

int Venc1_delete(Venc1_Handle hVe)
{
    if (!hVe)
        return Dmai_EINVAL;
    Release(hVe);
    return Dmai_EOK;
}
