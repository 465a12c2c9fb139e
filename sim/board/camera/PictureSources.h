// Camera sources that are pictures from elsewhere: the frames of a video
// file (libavformat/libavcodec, looped) and the host's own camera (a child
// process, only when asked for). Each fills the whole field of view; the
// sensor then crops, mirrors and balances it like the test scene.
#pragma once

#include "sim/board/camera/Scene.h"

#include <memory>
#include <string>
#include <vector>

struct SwsContext;

namespace vrec::board {

class PictureSource
{
public:
    virtual ~PictureSource() = default;
    // The next picture scaled to the field's size; false when none could be
    // had (the field is then left as it was).
    virtual bool Next(const UyvyFrame& field) = 0;
};

std::unique_ptr<PictureSource> OpenVideoFile(const std::string& path, std::string* why);
// The command in VRECSIM_HOST_CAMERA, or ffmpeg reading the host's first
// V4L2 camera; raw UYVY frames of the field's size on its standard output.
std::unique_ptr<PictureSource> OpenHostCamera(int width, int height, std::string* why);

// The crop window of a field scaled to the frame, the mirrors and the
// white-balance gains applied to pictures that a source made.
class FieldCropper
{
public:
    FieldCropper() = default;
    ~FieldCropper();
    FieldCropper(const FieldCropper&) = delete;
    FieldCropper& operator=(const FieldCropper&) = delete;

    void Apply(const UyvyFrame& field, const SensorView& view, const UyvyFrame& out);

private:
    SwsContext* sws_ = nullptr;
};

}  // namespace vrec::board
