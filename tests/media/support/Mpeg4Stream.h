// MPEG-4 Visual frames in the form the recorder receives them from the
// device's encoder, made with libavcodec.
#pragma once

#include "media-stack/codec/Mpeg4Config.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::test {

using Bytes = std::vector<uint8_t>;

// The recorder's configuration header (the encoder adapter's): a
// video-object start code followed by a VOL header of 14 bytes.
constexpr size_t kConfigHeaderSize = mediastack::kMpeg4ConfigSize;
using mediastack::RewriteVol;
using mediastack::StartsWithCode;

struct RecorderVideo
{
    int width = 0;
    int height = 0;
    // Frame 0 begins with the configuration header; after it every frame
    // begins with the VOP start code. Frames 0, 30, 60, ... are key frames.
    std::vector<Bytes> frames;
};

// Encodes `count` frames of a moving picture at 30 frames/s, at bitRate bits
// a second (0: 4 bits a pixel a second). Results are kept per size and
// rate, so asking again costs nothing.
bool EncodeRecorderVideo(int width, int height, int count, RecorderVideo* out, std::string* error,
                         int64_t bitRate = 0);

}  // namespace vrec::test
