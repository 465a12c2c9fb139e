// "mpeg4dec": MPEG-4 Visual from libavcodec's decoder into 4:2:2 pictures.
// The input is whatever the application queues: one VOP, with the stream's
// configuration headers in front after a restart.
#include "media-stack/Picture.h"
#include "media-stack/codec/AvSupport.h"
#include "media-stack/codec/Codecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <libyuv/convert_from.h>

#include <cstring>
#include <new>
#include <vector>

struct Vdec2_Object
{
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    BufTab_Handle hOutTab = nullptr;
    int maxWidth = 0;
    int maxHeight = 0;
    std::vector<uint8_t> input;  // the input with the padding libavcodec reads ahead into
};

namespace {

void Release(Vdec2_Object* pVd)
{
    avcodec_free_context(&pVd->ctx);
    av_frame_free(&pVd->frame);
    av_packet_free(&pVd->packet);
    delete pVd;
}

// The decoded picture as UYVY at the start of the destination.
int Deliver(Vdec2_Object* pVd, Buffer_Handle hDst)
{
    AVFrame* f = pVd->frame;
    int width = (f->width + 1) & ~1;
    int height = f->height;
    if (f->format != AV_PIX_FMT_YUV420P || width <= 0 || height <= 0 || width > pVd->maxWidth ||
        height > pVd->maxHeight)
        return Dmai_EFAIL;
    BufferGfx_Dimensions dim = {0, 0, width, height, width * 2};
    if (BufferGfx_setDimensions(hDst, &dim) != Dmai_EOK)
        return Dmai_EFAIL;
    mediastack::Picture out = mediastack::PictureOf(hDst);
    if (!out.valid())
        return Dmai_EFAIL;
    libyuv::I420ToUYVY(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2], f->linesize[2], out.data,
                       out.stride, f->width, height);
    Buffer_setNumBytesUsed(hDst, width * height * 2);
    return Dmai_EOK;
}

}  // namespace

Vdec2_Handle Vdec2_create(Engine_Handle hEngine, const char* szName, VIDDEC2_Params* pParams,
                          VIDDEC2_DynamicParams* pDynParams)
{
    if (!hEngine || !szName || std::strcmp(szName, "mpeg4dec") != 0 || !pParams ||
        pParams->size < static_cast<XDAS_Int32>(sizeof(VIDDEC2_Params)) || pParams->maxWidth <= 0 ||
        pParams->maxHeight <= 0)
        return nullptr;
    mediastack::QuietAvLog();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    auto* pVd = new (std::nothrow) Vdec2_Object;
    if (!codec || !pVd) {
        delete pVd;
        return nullptr;
    }
    pVd->maxWidth = pParams->maxWidth;
    pVd->maxHeight = pParams->maxHeight;
    pVd->ctx = avcodec_alloc_context3(codec);
    pVd->frame = av_frame_alloc();
    pVd->packet = av_packet_alloc();
    if (!pVd->ctx || !pVd->frame || !pVd->packet) {
        Release(pVd);
        return nullptr;
    }
    pVd->ctx->thread_count = 1;
    pVd->ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;  // each VOP gives its picture at once
    if (avcodec_open2(pVd->ctx, codec, nullptr) < 0) {
        Release(pVd);
        return nullptr;
    }
    return pVd;
}

int Vdec2_setBufTab(Vdec2_Handle hVd, BufTab_Handle hBufTab)
{
    if (!hVd || !hBufTab)
        return Dmai_EINVAL;
    hVd->hOutTab = hBufTab;
    return Dmai_EOK;
}

int Vdec2_process(Vdec2_Handle hVd, Buffer_Handle hInBuf, Buffer_Handle hDstBuf)
{
    if (!hVd || !hInBuf || !hDstBuf)
        return Dmai_EINVAL;
    int32_t used = Buffer_getNumBytesUsed(hInBuf);
    if (used <= 0 || used > Buffer_getSize(hInBuf))
        return Dmai_EINVAL;
    size_t need = static_cast<size_t>(used) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (hVd->input.size() < need)
        hVd->input.resize(need);
    std::memcpy(hVd->input.data(), Buffer_getUserPtr(hInBuf), static_cast<size_t>(used));
    std::memset(hVd->input.data() + used, 0, AV_INPUT_BUFFER_PADDING_SIZE);

    AVPacket* pkt = hVd->packet;
    pkt->data = hVd->input.data();
    pkt->size = used;
    int sent = avcodec_send_packet(hVd->ctx, pkt);
    pkt->data = nullptr;
    pkt->size = 0;
    if (sent == AVERROR_INVALIDDATA) {
        Buffer_setNumBytesUsed(hInBuf, 0);
        return Dmai_EBITERROR;
    }
    if (sent < 0)
        return Dmai_EFAIL;

    int got = avcodec_receive_frame(hVd->ctx, hVd->frame);
    if (got == AVERROR(EAGAIN)) {
        // Headers alone, or a VOP that gave no picture.
        return Dmai_EBITERROR;
    }
    if (got < 0) {
        Buffer_setNumBytesUsed(hInBuf, 0);
        return Dmai_EBITERROR;
    }
    bool damaged = hVd->frame->decode_error_flags != 0 || (hVd->frame->flags & AV_FRAME_FLAG_CORRUPT) != 0;
    int result = Deliver(hVd, hDstBuf);
    av_frame_unref(hVd->frame);
    if (result != Dmai_EOK)
        return result;
    return damaged ? Dmai_EBITERROR : Dmai_EOK;
}

int Vdec2_delete(Vdec2_Handle hVd)
{
    if (!hVd)
        return Dmai_EINVAL;
    Release(hVd);
    return Dmai_EOK;
}
