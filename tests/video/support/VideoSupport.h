// What the video tests share: camera-like pictures, picture buffers, and
// what the real tools (ffprobe, ffmpeg) read from a file.
#pragma once

#include "media-stack/Dmai.h"
#include "sim/board/camera/FrameStamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vrec::test {

// A 4:2:2 picture buffer of its own.
class PictureBuffer
{
public:
    PictureBuffer(int width, int height);
    ~PictureBuffer();
    PictureBuffer(const PictureBuffer&) = delete;
    PictureBuffer& operator=(const PictureBuffer&) = delete;

    Buffer_Handle handle() const { return buffer_; }
    uint8_t* data() const { return reinterpret_cast<uint8_t*>(Buffer_getUserPtr(buffer_)); }
    int width() const;
    int height() const;

private:
    Buffer_Handle buffer_ = nullptr;
};

// The board camera's test scene at frame `number` (as the sensor reads it
// out at zoom 100), stamped with the number.
void DrawScene(Buffer_Handle picture, uint32_t number);

// The stamp of a UYVY picture buffer (its dimensions).
std::optional<board::FrameStamp> StampOf(Buffer_Handle picture);

// Every video frame of a file decoded by ffmpeg: its stamp (nullopt when
// unreadable), and its mean luma.
struct DecodedFrame
{
    std::optional<board::FrameStamp> stamp;
    double meanLuma = 0;
};
std::vector<DecodedFrame> DecodeFrames(const std::string& path, int width, int height);

// The picture types (I, P, B) of the video frames, as ffprobe reports them.
std::string PictureTypes(const std::string& path);

// Makes the codec engine's handle if the test process has none yet.
void OpenEngine();

}  // namespace vrec::test
