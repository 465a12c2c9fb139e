// The sound the sound benchmarks work on: ten seconds of 96 kHz 24-bit
// stereo, a 50 Hz and a 1 kHz tone with a little noise.
#pragma once

#include <cstdint>
#include <vector>

namespace vrec::bench {

constexpr int kTestSoundRate = 96000;
constexpr int kTestSoundSeconds = 10;
constexpr int kTestSoundFrameBytes = 6;

const std::vector<uint8_t>& TestSound();

}  // namespace vrec::bench
