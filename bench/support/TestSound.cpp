#include "bench/support/TestSound.h"

#include <cmath>
#include <random>

namespace vrec::bench {

const std::vector<uint8_t>& TestSound()
{
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(static_cast<size_t>(kTestSoundRate) * kTestSoundSeconds * kTestSoundFrameBytes);
        std::mt19937 random(1);
        std::normal_distribution<double> noise(0.0, 0.02);
        for (size_t i = 0; i < v.size() / 3; ++i) {
            double t = static_cast<double>(i / 2) / kTestSoundRate;
            double x = 0.3 * std::sin(2 * M_PI * 50 * t) + 0.2 * std::sin(2 * M_PI * 1000 * t) + noise(random);
            int32_t s = static_cast<int32_t>(std::lround(x * 8388607));
            v[3 * i] = static_cast<uint8_t>(s);
            v[3 * i + 1] = static_cast<uint8_t>(s >> 8);
            v[3 * i + 2] = static_cast<uint8_t>(s >> 16);
        }
        return v;
    }();
    return data;
}

}  // namespace vrec::bench
