// The variable-speed filter driven as the player drives it: a ten-block
// window slid one block a call over a continuous signal. Checked from the
// outside: what comes out, how much of the input it used, and its pitch.
#include "Middleware/Audio/VSAFilter.h"
#include "tests/sound/Signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

using vrec::test::PackSine;
using vrec::test::Unpack;
using vrec::test::ZeroCrossingHz;

// Runs `calls` 100 ms steps of the filter over `source` (interleaved PCM)
// with the caller's contract: the window holds ten blocks, its middle is
// "now", and it moves one block of the requested speed per call. Returns
// the output; *consumed gets the source frames the window moved over.
std::vector<uint8_t> Stretch(CVSAFilter& filter, const std::vector<uint8_t>& source, int rate, int bits, int channels,
                         int calls, size_t* consumed = nullptr)
{
    const int frameBytes = bits / 8 * channels;
    const int block = frameBytes * (rate * filter.GetReqSpeed() / 1000);
    std::vector<uint8_t> window(10 * static_cast<size_t>(block));
    std::vector<uint8_t> out;
    std::vector<uint8_t> step(57856);
    // The window starts with the source's first block at its middle, as the
    // player's does after five blocks.
    size_t next = 0;
    auto append = [&](uint8_t* at) {
        size_t n = std::min(static_cast<size_t>(block), source.size() - std::min(next, source.size()));
        std::memcpy(at, source.data() + next, n);
        std::memset(at + n, 0, block - n);
        next += block;
    };
    for (int i = 5; i < 10; ++i)
        append(window.data() + i * static_cast<size_t>(block));
    for (int call = 0; call < calls; ++call) {
        int left = 0, right = 0;
        int n = filter.FilterExecute(step.data(), window.data(), static_cast<int>(window.size()), &left, &right,
                                     call == 0);
        out.insert(out.end(), step.begin(), step.begin() + n);
        std::memmove(window.data(), window.data() + block, 9 * static_cast<size_t>(block));
        append(window.data() + 9 * static_cast<size_t>(block));
    }
    if (consumed)
        *consumed = static_cast<size_t>(calls) * block / frameBytes;
    return out;
}

std::vector<uint8_t> Noise(size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> v(bytes);
    for (uint8_t& b : v)
        b = static_cast<uint8_t>(random());
    return v;
}

TEST(VSAFilterTest, NormalSpeedPassesTheMiddleBlockAndItsPeaks)
{
    for (int bits : {16, 24}) {
        CVSAFilter filter;
        filter.SetInputParameter(48000, bits, 2, 1.0f);
        const int frameBytes = bits / 8 * 2;
        const int block = 4800 * frameBytes;
        std::vector<uint8_t> window = Noise(10 * static_cast<size_t>(block), bits);
        std::vector<uint8_t> out(57856);
        int left = -1, right = -1;
        int n = filter.FilterExecute(out.data(), window.data(), static_cast<int>(window.size()), &left, &right, 1);
        ASSERT_EQ(n, block) << bits;
        EXPECT_EQ(std::memcmp(out.data(), window.data() + 5 * block, block), 0) << bits;

        vrec::test::Stereo middle = Unpack(window.data() + 5 * block, block, bits);
        const double scale = bits == 16 ? 32768.0 : 8388608.0;
        auto peak = [&](const std::vector<double>& x) {
            double m = 0;
            for (double v : x)
                m = std::max(m, std::fabs(v));
            return static_cast<int>(std::lround(m * scale)) >> (bits == 24 ? 8 : 0);
        };
        EXPECT_EQ(left, peak(middle.left)) << bits;
        EXPECT_EQ(right, peak(middle.right)) << bits;
    }
}

TEST(VSAFilterTest, TwentyFourBitsToSixteenRoundToTheNearestStep)
{
    CVSAFilter filter;
    filter.SetInputParameter(44100, 24, 2, 1.0f);
    filter.SetOutputParameter(16);
    const int block = 4410 * 6;
    std::vector<uint8_t> window(10 * static_cast<size_t>(block));
    const int32_t in[][2] = {{0x000180, 0x00017F}, {0x7FFFFF, -0x800000}, {-1, -0x180}, {-0x181, 0x80}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 2; ++c)
            for (int b = 0; b < 3; ++b)
                window[5 * block + i * 6 + c * 3 + b] = static_cast<uint8_t>(static_cast<uint32_t>(in[i][c]) >> (8 * b));
    std::vector<uint8_t> out(57856);
    int left, right;
    ASSERT_EQ(filter.FilterExecute(out.data(), window.data(), static_cast<int>(window.size()), &left, &right, 1),
              4410 * 4);
    const int16_t want[][2] = {{2, 1}, {0x7FFF, -0x8000}, {0, -1}, {-2, 1}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(static_cast<int16_t>(out[i * 4 + c * 2] | (out[i * 4 + c * 2 + 1] << 8)), want[i][c])
                << "frame " << i << " channel " << c;
    EXPECT_EQ(left, 0x7FFFFF >> 8);
    EXPECT_EQ(right, 0x800000 >> 8);
}

TEST(VSAFilterTest, MonoHasOneChannelAndNoSecondPeak)
{
    CVSAFilter filter;
    filter.SetInputParameter(44100, 16, 1, 1.2f);
    std::vector<uint8_t> tone = PackSine(16, 44100, 44100 * 2, 1000, 0.5, 0, 0);
    std::vector<uint8_t> mono(tone.size() / 2);
    for (size_t i = 0; i < mono.size() / 2; ++i)
        std::memcpy(&mono[2 * i], &tone[4 * i], 2);
    int left = 0, right = 0;
    std::vector<uint8_t> window(10 * 5292 * 2);
    std::memcpy(window.data(), mono.data(), window.size());
    std::vector<uint8_t> out(57856);
    int n = filter.FilterExecute(out.data(), window.data(), static_cast<int>(window.size()), &left, &right, 1);
    EXPECT_EQ(filter.GetSpeed(), 120);
    EXPECT_EQ(n, 4410 * 2);
    EXPECT_NEAR(left, 16384, 200);
    EXPECT_EQ(right, 0);
}

TEST(VSAFilterTest, SpeedRoundsUpToTenPercentAndWaitsForAReset)
{
    EXPECT_EQ(CVSAFilter::RoundSpeed(0.95f), 100);
    EXPECT_EQ(CVSAFilter::RoundSpeed(1.25f), 130);
    EXPECT_EQ(CVSAFilter::RoundSpeed(0.7f), 70);
    EXPECT_EQ(CVSAFilter::RoundSpeed(1.5f), 150);
    // What the menu passes while the speed control does not apply.
    EXPECT_EQ(CVSAFilter::RoundSpeed(0.0f), 100);

    CVSAFilter filter;
    filter.SetInputParameter(48000, 16, 2, 1.0f);
    filter.SetSpeed(1.5f);
    EXPECT_EQ(filter.GetReqSpeed(), 150);
    EXPECT_EQ(filter.GetSpeed(), 100);
    std::vector<uint8_t> window = Noise(10 * 7200 * 4, 7);
    std::vector<uint8_t> out(57856);
    int left, right;
    // Without the reset flag: still the middle block of normal speed.
    EXPECT_EQ(filter.FilterExecute(out.data(), window.data(), 10 * 4800 * 4, &left, &right, 0), 4800 * 4);
    EXPECT_EQ(filter.GetSpeed(), 100);
    EXPECT_EQ(filter.FilterExecute(out.data(), window.data(), 10 * 7200 * 4, &left, &right, 1), 4800 * 4);
    EXPECT_EQ(filter.GetSpeed(), 150);
}

// Every speed keeps 100 ms of output per call, uses speed x 100 ms of the
// input, and keeps a tone's pitch.
TEST(VSAFilterTest, EverySpeedKeepsThePitchAndTheOutputRate)
{
    const int rate = 44100;
    std::vector<uint8_t> tone = PackSine(16, rate, rate * 30, 1000, 0.5, 1000, 0.5);
    for (int speed = 50; speed <= 150; speed += 10) {
        CVSAFilter filter;
        filter.SetInputParameter(rate, 16, 2, speed / 100.0f);
        size_t consumed = 0;
        const int calls = 100;
        std::vector<uint8_t> out = Stretch(filter, tone, rate, 16, 2, calls, &consumed);
        EXPECT_EQ(out.size(), static_cast<size_t>(calls) * 4410 * 4) << speed;
        EXPECT_EQ(consumed, static_cast<size_t>(calls) * (rate * speed / 1000)) << speed;
        vrec::test::Stereo s = Unpack(out.data(), out.size(), 16);
        // Skip the first second: the windows start in the silence before
        // the tone.
        std::vector<double> settled(s.left.begin() + rate, s.left.end());
        EXPECT_NEAR(ZeroCrossingHz(settled, rate), 1000.0, 10.0) << speed;
        std::vector<double> right(s.right.begin() + rate, s.right.end());
        EXPECT_NEAR(ZeroCrossingHz(right, rate), 1000.0, 10.0) << speed;
    }
}

// A tone whose frequency steps every 600 ms comes out in the same order and
// at the same pitches, stretched in time. (A window reads up to half its
// length, about 120 ms, away from "now": the steps are longer than that.)
TEST(VSAFilterTest, SlowerAndFasterKeepTheOrderOfEvents)
{
    const int rate = 48000;
    std::vector<uint8_t> source;
    const double steps[] = {500, 800, 1200, 700, 1500, 900, 600, 1100};
    for (double hz : steps) {
        std::vector<uint8_t> part = PackSine(24, rate, rate * 3 / 5, hz, 0.4, hz, 0.4);
        source.insert(source.end(), part.begin(), part.end());
    }
    for (int speed : {50, 150}) {
        CVSAFilter filter;
        filter.SetInputParameter(rate, 24, 2, speed / 100.0f);
        const int calls = 8 * 6 * 100 / speed + 10;
        std::vector<uint8_t> out = Stretch(filter, source, rate, 24, 2, calls);
        vrec::test::Stereo s = Unpack(out.data(), out.size(), 24);
        // The middle of step k plays at (k + 0.5) x 600 ms x 100 / speed.
        for (int k = 1; k < 8; ++k) {
            size_t at = static_cast<size_t>((k * 0.6 + 0.3) * 100.0 / speed * rate);
            size_t span = static_cast<size_t>(0.04 * rate);
            std::vector<double> piece(s.left.begin() + at - span, s.left.begin() + at + span);
            EXPECT_NEAR(ZeroCrossingHz(piece, rate), steps[k], steps[k] * 0.05) << speed << "% step " << k;
        }
    }
}

}  // namespace
