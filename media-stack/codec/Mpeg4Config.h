// The MPEG-4 Visual configuration header the recorder stores with a movie:
// a video-object start code followed by a 14-byte VOL header without the
// optional fields libavcodec writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mediastack {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMpeg4ConfigSize = 18;
constexpr uint8_t kVideoObjectCode = 0x01;  // the recorder's video-object start code: 00 00 01 01
constexpr uint8_t kVopCode = 0xB6;

// True when p starts with 00 00 01 code.
bool StartsWithCode(const uint8_t* p, size_t size, uint8_t code);
// Offset of the next 00 00 01 code at or after from; size when there is none.
size_t FindCode(const uint8_t* p, size_t size, size_t from, uint8_t code);

// Drops the optional object-layer identifier and VOL control parameters
// from a VOL header (start code included) and stuffs it to a byte boundary
// again. Empty when the header is not a simple-profile VOL this can rewrite.
Bytes RewriteVol(const Bytes& vol);

// The recorder's header made from an encoder's global headers (the VOL in
// libavcodec's extradata); empty when they hold no VOL that fits.
Bytes RecorderConfigHeader(const uint8_t* headers, size_t size);

}  // namespace mediastack
