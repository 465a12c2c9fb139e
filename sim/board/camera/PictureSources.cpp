#include "sim/board/camera/PictureSources.h"

#include "sim/board/ChildPipe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vrec::board {

namespace {

void ScaleInto(SwsContext*& sws, int srcW, int srcH, AVPixelFormat srcFormat, const uint8_t* const src[],
               const int srcStride[], const UyvyFrame& out)
{
    sws = sws_getCachedContext(sws, srcW, srcH, srcFormat, out.width, out.height, AV_PIX_FMT_UYVY422, SWS_BILINEAR,
                               nullptr, nullptr, nullptr);
    if (!sws)
        return;
    uint8_t* dst[4] = {out.data, nullptr, nullptr, nullptr};
    int dstStride[4] = {out.stride, 0, 0, 0};
    sws_scale(sws, src, srcStride, 0, srcH, dst, dstStride);
}

class VideoFile : public PictureSource
{
public:
    ~VideoFile() override
    {
        sws_freeContext(sws_);
        av_packet_free(&packet_);
        av_frame_free(&frame_);
        avcodec_free_context(&decoder_);
        avformat_close_input(&format_);
    }

    bool Open(const std::string& path, std::string* why)
    {
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) {
            *why = "cannot open the video file " + path;
            return false;
        }
        if (avformat_find_stream_info(format_, nullptr) < 0) {
            *why = "no streams in " + path;
            return false;
        }
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) {
            *why = "no video that can be decoded in " + path;
            return false;
        }
        decoder_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!decoder_ || !frame_ || !packet_ ||
            avcodec_parameters_to_context(decoder_, format_->streams[stream_]->codecpar) < 0 ||
            avcodec_open2(decoder_, codec, nullptr) < 0) {
            *why = "cannot decode the video of " + path;
            return false;
        }
        return true;
    }

    bool Next(const UyvyFrame& field) override
    {
        if (!Decode())
            return false;
        ScaleInto(sws_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format), frame_->data,
                  frame_->linesize, field);
        av_frame_unref(frame_);
        return true;
    }

private:
    // The next picture; at the end the file starts again.
    bool Decode()
    {
        for (int attempts = 0; attempts < 1000; ++attempts) {
            int r = avcodec_receive_frame(decoder_, frame_);
            if (r == 0)
                return true;
            if (r == AVERROR_EOF) {
                if (!Rewind())
                    return false;
                continue;
            }
            if (r != AVERROR(EAGAIN))
                return false;
            r = av_read_frame(format_, packet_);
            if (r == AVERROR_EOF) {
                avcodec_send_packet(decoder_, nullptr);  // drain what the decoder holds
                continue;
            }
            if (r < 0)
                return false;
            if (packet_->stream_index == stream_)
                avcodec_send_packet(decoder_, packet_);
            av_packet_unref(packet_);
        }
        return false;
    }

    bool Rewind()
    {
        if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        avcodec_flush_buffers(decoder_);
        return true;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    int stream_ = -1;
};

class HostCamera : public PictureSource
{
public:
    HostCamera(int width, int height) : width_(width), height_(height)
    {
        partial_.resize(static_cast<size_t>(width) * height * 2);
        latest_.resize(partial_.size());
    }

    bool Start(std::string* why)
    {
        const char* custom = std::getenv("VRECSIM_HOST_CAMERA");
        std::string command = custom && *custom ? custom
                                                : "exec ffmpeg -loglevel error -f v4l2 -framerate 30 -i /dev/video0 "
                                                  "-f rawvideo -pix_fmt uyvy422 -s \"${VREC_CAMERA_WIDTH}x${VREC_CAMERA_HEIGHT}\" -";
        std::vector<std::string> env = ChildEnvironment(
            {"VREC_CAMERA_"},
            {"VREC_CAMERA_WIDTH=" + std::to_string(width_), "VREC_CAMERA_HEIGHT=" + std::to_string(height_)});
        return pipe_.Start(command, env, ChildPipe::Direction::kFromChild, why);
    }

    // The newest complete frame the command has sent (the last one again
    // while the next is on its way).
    bool Next(const UyvyFrame& field) override
    {
        for (;;) {
            bool ended = false;
            size_t got = pipe_.Read(partial_.data() + filled_, partial_.size() - filled_, &ended);
            filled_ += got;
            if (filled_ == partial_.size()) {
                latest_.swap(partial_);
                filled_ = 0;
                haveFrame_ = true;
                continue;
            }
            if (ended && !complained_) {
                complained_ = true;
                std::fprintf(stderr, "board camera: the host's camera cannot be used; the camera sees black\n");
            }
            break;
        }
        if (!haveFrame_)
            return false;
        const uint8_t* src[4] = {latest_.data(), nullptr, nullptr, nullptr};
        int stride[4] = {width_ * 2, 0, 0, 0};
        if (field.width == width_ && field.height == height_) {
            for (int y = 0; y < height_; ++y)
                std::memcpy(field.data + static_cast<size_t>(y) * field.stride, src[0] + static_cast<size_t>(y) * stride[0],
                            static_cast<size_t>(stride[0]));
            return true;
        }
        ScaleInto(sws_, width_, height_, AV_PIX_FMT_UYVY422, src, stride, field);
        return true;
    }

    ~HostCamera() override { sws_freeContext(sws_); }

private:
    int width_;
    int height_;
    ChildPipe pipe_;
    std::vector<uint8_t> partial_;
    std::vector<uint8_t> latest_;
    size_t filled_ = 0;
    bool haveFrame_ = false;
    bool complained_ = false;
    SwsContext* sws_ = nullptr;
};

void Mirror(const UyvyFrame& f, bool mirrorX, bool mirrorY)
{
    if (mirrorY) {
        std::vector<uint8_t> row(static_cast<size_t>(f.width) * 2);
        for (int top = 0, bottom = f.height - 1; top < bottom; ++top, --bottom) {
            uint8_t* a = f.data + static_cast<size_t>(top) * f.stride;
            uint8_t* b = f.data + static_cast<size_t>(bottom) * f.stride;
            std::memcpy(row.data(), a, row.size());
            std::memcpy(a, b, row.size());
            std::memcpy(b, row.data(), row.size());
        }
    }
    if (mirrorX) {
        int pairs = f.width / 2;
        for (int y = 0; y < f.height; ++y) {
            uint8_t* r = f.data + static_cast<size_t>(y) * f.stride;
            for (int i = 0; i < pairs / 2; ++i)
                for (int k = 0; k < 4; ++k)
                    std::swap(r[4 * i + k], r[4 * (pairs - 1 - i) + k]);
            for (int i = 0; i < pairs; ++i)
                std::swap(r[4 * i + 1], r[4 * i + 3]);
        }
    }
}

// The gains as a shift of the colour-difference samples (enough to see).
void Balance(const UyvyFrame& f, double redGain, double blueGain)
{
    int du = static_cast<int>(std::lround((blueGain - 1.0) * 60));
    int dv = static_cast<int>(std::lround((redGain - 1.0) * 60));
    if (du == 0 && dv == 0)
        return;
    for (int y = 0; y < f.height; ++y) {
        uint8_t* r = f.data + static_cast<size_t>(y) * f.stride;
        for (int x = 0; x < f.width / 2; ++x) {
            int u = r[4 * x] + du;
            int v = r[4 * x + 2] + dv;
            r[4 * x] = static_cast<uint8_t>(u < 16 ? 16 : u > 240 ? 240 : u);
            r[4 * x + 2] = static_cast<uint8_t>(v < 16 ? 16 : v > 240 ? 240 : v);
        }
    }
}

}  // namespace

std::unique_ptr<PictureSource> OpenVideoFile(const std::string& path, std::string* why)
{
    auto file = std::make_unique<VideoFile>();
    if (!file->Open(path, why))
        return nullptr;
    return file;
}

std::unique_ptr<PictureSource> OpenHostCamera(int width, int height, std::string* why)
{
    auto camera = std::make_unique<HostCamera>(width, height);
    if (!camera->Start(why))
        return nullptr;
    return camera;
}

FieldCropper::~FieldCropper()
{
    sws_freeContext(sws_);
}

void FieldCropper::Apply(const UyvyFrame& field, const SensorView& view, const UyvyFrame& out)
{
    bool whole = view.cropWidth <= 0 || view.cropHeight <= 0 ||
                 (view.cropX == 0 && view.cropY == 0 && view.cropWidth == field.width && view.cropHeight == field.height);
    if (whole) {
        if (field.data != out.data)
            for (int y = 0; y < out.height; ++y)
                std::memcpy(out.data + static_cast<size_t>(y) * out.stride, field.data + static_cast<size_t>(y) * field.stride,
                            static_cast<size_t>(out.width) * 2);
    } else {
        int x = view.cropX & ~1;
        const uint8_t* src[4] = {field.data + static_cast<size_t>(view.cropY) * field.stride + 2 * x, nullptr, nullptr,
                                 nullptr};
        int stride[4] = {field.stride, 0, 0, 0};
        ScaleInto(sws_, view.cropWidth & ~1, view.cropHeight, AV_PIX_FMT_UYVY422, src, stride, out);
    }
    Mirror(out, view.mirrorX, view.mirrorY);
    Balance(out, view.redGain, view.blueGain);
}

}  // namespace vrec::board
