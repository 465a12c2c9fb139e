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

class BitReader
{
public:
    BitReader(const uint8_t* data, size_t bits) : data_(data), bits_(bits) {}
    uint32_t Read(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos_ >= bits_) {
                ok_ = false;
                return 0;
            }
            v = (v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
            ++pos_;
        }
        return v;
    }
    size_t left() const { return bits_ - pos_; }
    bool ok() const { return ok_; }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class BitWriter
{
public:
    void Put(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            if (used_ % 8 == 0)
                out_.push_back(0);
            if ((v >> i) & 1u)
                out_.back() |= static_cast<uint8_t>(0x80u >> (used_ % 8));
            ++used_;
        }
    }
    // MPEG-4 stuffing: a zero, then ones up to the byte boundary.
    void Stuff()
    {
        Put(0, 1);
        while (used_ % 8 != 0)
            Put(1, 1);
    }
    Bytes Take() { return std::move(out_); }

private:
    Bytes out_;
    size_t used_ = 0;
};

// Bits of a header up to its stuffing (a zero followed by up to seven ones).
size_t PayloadBits(const Bytes& bytes, size_t from)
{
    size_t bits = (bytes.size() - from) * 8;
    uint8_t last = bytes.back();
    int ones = 0;
    while (ones < 8 && ((last >> ones) & 1u))
        ++ones;
    return ones >= 8 ? bits : bits - ones - 1;
}

size_t FindCode(const Bytes& b, size_t from, uint8_t code)
{
    for (size_t i = from; i + 3 < b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == code)
            return i;
    return std::string::npos;
}

size_t NextStartCode(const Bytes& b, size_t from)
{
    for (size_t i = from; i + 2 < b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1)
            return i;
    return b.size();
}

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
    size_t vop = FindCode(data, 0, 0xB6);
    if (vop == std::string::npos) {
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
    Bytes extra(ctx->extradata, ctx->extradata + ctx->extradata_size);
    size_t vo = FindCode(extra, 0, 0x00);
    size_t vol = FindCode(extra, 0, 0x20);
    if (vo == std::string::npos || vol == std::string::npos) {
        *error = "encoder headers without VO or VOL";
        return false;
    }
    Bytes volHeader(extra.begin() + static_cast<long>(vol), extra.begin() + static_cast<long>(NextStartCode(extra, vol + 4)));
    Bytes config = {0, 0, 1, 0};
    Bytes rewritten = RewriteVol(volHeader);
    if (rewritten.empty()) {
        *error = "cannot rewrite the encoder's VOL header";
        return false;
    }
    config.insert(config.end(), rewritten.begin(), rewritten.end());
    if (config.size() != kConfigHeaderSize) {
        *error = "configuration header of " + std::to_string(config.size()) + " bytes";
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

bool StartsWithCode(const uint8_t* p, size_t size, uint8_t code)
{
    return size >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == code;
}

Bytes RewriteVol(const Bytes& vol)
{
    if (vol.size() < 6 || !StartsWithCode(vol.data(), vol.size(), vol[3]) || (vol[3] & 0xF0) != 0x20)
        return {};
    BitReader in(vol.data() + 4, PayloadBits(vol, 4));
    BitWriter out;
    out.Put(in.Read(1), 1);  // random accessible VOL
    out.Put(in.Read(8), 8);  // object type
    if (in.Read(1)) {        // object-layer identifier
        uint32_t verid = in.Read(4);
        in.Read(3);
        if (verid != 1)
            return {};  // later fields depend on it
    }
    out.Put(0, 1);
    uint32_t aspect = in.Read(4);
    out.Put(aspect, 4);
    if (aspect == 15)
        out.Put(in.Read(16), 16);
    if (in.Read(1)) {  // VOL control parameters
        in.Read(3);    // chroma format, low delay
        if (in.Read(1))
            in.Read(79);  // VBV parameters
    }
    out.Put(0, 1);
    while (in.left() > 0) {
        int n = in.left() >= 16 ? 16 : static_cast<int>(in.left());
        out.Put(in.Read(n), n);
    }
    if (!in.ok())
        return {};
    out.Stuff();
    Bytes body = out.Take();
    Bytes result(vol.begin(), vol.begin() + 4);
    result.insert(result.end(), body.begin(), body.end());
    return result;
}

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
