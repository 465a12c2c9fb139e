// Packing of the card's two sample formats: signed 16-bit and signed 24-bit
// in three bytes, both little-endian. Samples in between are 24-bit values
// held in 32-bit integers.
#pragma once

#include <cstdint>

namespace vrec::sound {

constexpr int32_t kFull24 = 8388607;

inline int32_t ReadSample(const uint8_t* p, int bits)
{
    if (bits == 16)
        return static_cast<int32_t>(static_cast<int16_t>(p[0] | (p[1] << 8))) * 256;
    uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(u << 8) >> 8;
}

inline void WriteSample(uint8_t* p, int bits, int32_t sample24)
{
    if (bits == 16) {
        int32_t s = sample24 >> 8;
        p[0] = static_cast<uint8_t>(s);
        p[1] = static_cast<uint8_t>(s >> 8);
        return;
    }
    p[0] = static_cast<uint8_t>(sample24);
    p[1] = static_cast<uint8_t>(sample24 >> 8);
    p[2] = static_cast<uint8_t>(sample24 >> 16);
}

}  // namespace vrec::sound
