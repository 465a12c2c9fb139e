#include "tests/media/support/Mpeg4Stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>

namespace vrec::test {

namespace {

void FillPicture(AVFrame* frame, int index)
{
    // A diagonal gradient that moves, and a bright square that crosses the picture.
    const int w = frame->width;
    const int h = frame->height;
    const int box = h / 6;
    const int bx = (index * 7) % (w - box);
    const int by = (index * 3) % (h - box);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < w; ++x) {
            bool inBox = x >= bx && x < bx + box && y >= by && y < by + box;
            row[x] = inBox ? 235 : static_cast<uint8_t>(16 + ((x + y + 4 * index) & 127));
        }
    }
    for (int p = 1; p <= 2; ++p)
        for (int y = 0; y < h / 2; ++y)
            for (int x = 0; x < w / 2; ++x)
                frame->data[p][y * frame->linesize[p] + x] = static_cast<uint8_t>(128 + ((p == 1 ? x : y) + index) % 64 - 32);
}

struct CodecDeleter
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// The packet from its VOP start code on: libavcodec puts a GOV header before
// each key frame, which the device's encoder does not.
bool AppendVop(const AVPacket* pkt, Bytes* frame, std::string* error)
{
    Bytes data(pkt->data, pkt->data + pkt->size);
    size_t vop = mediastack::FindCode(data.data(), data.size(), 0, mediastack::kVopCode);
    if (vop == data.size()) {
        *error = "packet without a VOP start code";
        return false;
    }
    frame->insert(frame->end(), data.begin() + static_cast<long>(vop), data.end());
    return true;
}

bool Encode(int width, int height, int count, int64_t bitRate, RecorderVideo* out, std::string* error)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) {
        *error = "no MPEG-4 encoder in libavcodec";
        return false;
    }
    std::unique_ptr<AVCodecContext, CodecDeleter> ctx(avcodec_alloc_context3(codec));
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = AVRational{1, 30};
    ctx->framerate = AVRational{30, 1};
    ctx->gop_size = 30;
    ctx->max_b_frames = 0;
    ctx->bit_rate = bitRate > 0 ? bitRate : static_cast<int64_t>(width) * height * 4;
    ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        *error = "cannot open the MPEG-4 encoder";
        return false;
    }

    // Configuration header: the video-object start code, then the VOL
    // without its optional fields.
    Bytes config = mediastack::RecorderConfigHeader(ctx->extradata, static_cast<size_t>(ctx->extradata_size));
    if (config.empty()) {
        *error = "cannot make the configuration header from the encoder's headers";
        return false;
    }

    std::unique_ptr<AVFrame, CodecDeleter> frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        *error = "no picture buffer";
        return false;
    }
    std::unique_ptr<AVPacket, CodecDeleter> pkt(av_packet_alloc());
    out->width = width;
    out->height = height;
    out->frames.clear();

    auto drain = [&]() -> bool {
        for (;;) {
            int r = avcodec_receive_packet(ctx.get(), pkt.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0) {
                *error = "encoder failed";
                return false;
            }
            Bytes f;
            if (out->frames.empty())
                f = config;
            bool key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
            if (key != (out->frames.size() % 30 == 0)) {
                *error = "key frame out of place at " + std::to_string(out->frames.size());
                return false;
            }
            if (!AppendVop(pkt.get(), &f, error))
                return false;
            out->frames.push_back(std::move(f));
            av_packet_unref(pkt.get());
        }
    };
    for (int i = 0; i < count; ++i) {
        if (av_frame_make_writable(frame.get()) < 0) {
            *error = "picture not writable";
            return false;
        }
        FillPicture(frame.get(), i);
        frame->pts = i;
        frame->pict_type = i % 30 == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (avcodec_send_frame(ctx.get(), frame.get()) < 0) {
            *error = "encoder refused a picture";
            return false;
        }
        if (!drain())
            return false;
    }
    avcodec_send_frame(ctx.get(), nullptr);
    if (!drain())
        return false;
    if (static_cast<int>(out->frames.size()) != count) {
        *error = "encoder gave " + std::to_string(out->frames.size()) + " frames";
        return false;
    }
    return true;
}

}  // namespace

bool EncodeRecorderVideo(int width, int height, int count, RecorderVideo* out, std::string* error, int64_t bitRate)
{
    // Encoding is the slow part of many tests: each size is encoded once,
    // as long as the longest stream asked for.
    static std::mutex lock;
    static std::map<std::tuple<int, int, int64_t>, RecorderVideo> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto key = std::make_tuple(width, height, bitRate);
    auto it = cache.find(key);
    if (it == cache.end() || static_cast<int>(it->second.frames.size()) < count) {
        RecorderVideo fresh;
        if (!Encode(width, height, count, bitRate, &fresh, error))
            return false;
        it = cache.insert_or_assign(key, std::move(fresh)).first;
    }
    out->width = width;
    out->height = height;
    out->frames.assign(it->second.frames.begin(), it->second.frames.begin() + count);
    return true;
}

}  // namespace vrec::test
