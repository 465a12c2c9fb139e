// The input filter measured from outside: sines through FilterExecute in
// capture-sized blocks, compared with the analogue responses the filter is
// designed to have.
#include "Middleware/Audio/InputAudioFilter.h"
#include "tests/sound/Signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

using vrec::test::Db;
using vrec::test::PackSine;
using vrec::test::SineAmplitude;
using vrec::test::Unpack;

const int kRates[] = {44100, 48000, 96000};
const int kBits[] = {16, 24};

// Runs interleaved stereo PCM through the filter in 5 ms blocks.
std::vector<uint8_t> Filter(CInputAudioFilter& filter, const std::vector<uint8_t>& in, int rate, int bits,
                            int* peakLeft = nullptr, int* peakRight = nullptr)
{
    std::vector<uint8_t> out(in.size());
    size_t frameBytes = 2 * bits / 8;
    size_t block = (rate / 200) * frameBytes;
    for (size_t at = 0; at < in.size(); at += block) {
        size_t n = std::min(block, in.size() - at);
        int l = 0, r = 0;
        filter.FilterExecute(&out[at], &in[at], static_cast<int>(n), &l, &r);
        if (peakLeft)
            *peakLeft = std::max(*peakLeft, l);
        if (peakRight)
            *peakRight = std::max(*peakRight, r);
    }
    return out;
}

// Gain in dB of the filter at hz, measured on both channels.
double MeasureGainDb(CInputAudioFilter& filter, int rate, int bits, double hz, double amplitude)
{
    filter.UpdateParameter();
    double seconds = std::max(1.0, 40.0 / hz);
    size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<uint8_t> in = PackSine(bits, rate, frames, hz, amplitude, hz, amplitude);
    std::vector<uint8_t> out = Filter(filter, in, rate, bits);
    auto x = Unpack(in.data(), in.size(), bits);
    auto y = Unpack(out.data(), out.size(), bits);
    size_t skip = frames / 4;  // settled
    double inAmp = SineAmplitude(x.left, hz, rate, skip);
    double left = Db(SineAmplitude(y.left, hz, rate, skip) / inAmp);
    double right = Db(SineAmplitude(y.right, hz, rate, skip) / inAmp);
    EXPECT_NEAR(left, right, 0.01) << hz << " Hz at " << rate << "/" << bits;
    return left;
}

double ButterworthHighPassDb(double hz, double cutoff)
{
    double r4 = std::pow(hz / cutoff, 4);
    return 10 * std::log10(r4 / (1 + r4));
}

TEST(InputAudioFilter, LowCutIsSecondOrderButterworthAtItsCutOffs)
{
    const struct
    {
        CInputAudioFilter::LCF_LEVEL level;
        double cutoff;
    } kCuts[] = {{CInputAudioFilter::LCF_40HZ, 40}, {CInputAudioFilter::LCF_80HZ, 80}, {CInputAudioFilter::LCF_120HZ, 120}};
    for (int rate : kRates) {
        for (int bits : kBits) {
            for (const auto& cut : kCuts) {
                CInputAudioFilter filter;
                filter.SetInputParameter(rate, bits, 2);
                filter.SetLcfLevel(cut.level);
                ASSERT_EQ(filter.GetStageCount(), 1);
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << bits << " bits, cut " << cut.cutoff);
                EXPECT_NEAR(MeasureGainDb(filter, rate, bits, cut.cutoff, 0.5), -3.0, 0.3);
                for (double factor : {0.5, 2.0, 4.0}) {
                    double hz = cut.cutoff * factor;
                    EXPECT_NEAR(MeasureGainDb(filter, rate, bits, hz, 0.5), ButterworthHighPassDb(hz, cut.cutoff), 0.3)
                        << hz << " Hz";
                }
            }
        }
    }
}

TEST(InputAudioFilter, EqualiserGivesItsListedGains)
{
    const struct
    {
        double hz;
        double db;
    } kPoints[] = {{20, 4.0}, {100, 3.6}, {200, 2.8}, {500, 1.2}, {1000, 0.4}, {2000, 0.3}, {20000, 1.0}};
    for (int rate : kRates) {
        for (int bits : kBits) {
            CInputAudioFilter filter;
            filter.SetInputParameter(rate, bits, 2);
            filter.EnableEQ();
            ASSERT_EQ(filter.GetStageCount(), 1);
            for (const auto& point : kPoints)
                EXPECT_NEAR(MeasureGainDb(filter, rate, bits, point.hz, 0.25), point.db, 0.2)
                    << point.hz << " Hz at " << rate << "/" << bits;
        }
    }
}

TEST(InputAudioFilter, LowCutAndEqualiserRunInSeries)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(48000, 24, 2);
    filter.SetLcfLevel(CInputAudioFilter::LCF_80HZ);
    filter.EnableEQ();
    EXPECT_EQ(filter.GetStageCount(), 2);
    // -3 dB of the low cut plus the equaliser's lift at 80 Hz (about +3.7 dB).
    double db = MeasureGainDb(filter, 48000, 24, 80, 0.25);
    EXPECT_GT(db, 0.3);
    EXPECT_LT(db, 1.2);
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(random());
    return v;
}

TEST(InputAudioFilter, WithoutStagesStereoPassesBitIdentical)
{
    for (int bits : kBits) {
        CInputAudioFilter filter;
        filter.SetInputParameter(48000, bits, 2);
        EXPECT_EQ(filter.GetStageCount(), 0);
        std::vector<uint8_t> in = RandomBytes(48000 / 200 * 2 * bits / 8 * 10, 7);
        EXPECT_EQ(Filter(filter, in, 48000, bits), in) << bits << " bits";
    }
}

TEST(InputAudioFilter, MonoMixesHalvesRoundedTowardZeroIntoBothChannels)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(44100, 16, 1);
    const int16_t in[] = {-3, -3, 3, 3, 32767, 32767, -32768, -32768, 1001, -5, -7, 0};
    int16_t out[12];
    int peakL = -1, peakR = -1;
    filter.FilterExecute(out, in, sizeof(in), &peakL, &peakR);
    const int16_t expected[] = {-2, -2, 2, 2, 32766, 32766, -32768, -32768, 498, 498, -3, -3};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(out[i], expected[i]) << i;
    EXPECT_EQ(peakL, 32767);
    EXPECT_EQ(peakR, 32767);
}

TEST(InputAudioFilter, MonoTwentyFourBitsMixesIntoBothChannels)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(96000, 24, 1);
    // L = 1000, R = -3000: (500 + -1500) = -1000 in both channels.
    const uint8_t in[6] = {0xE8, 0x03, 0x00, 0x48, 0xF4, 0xFF};
    uint8_t out[6];
    int peakL = 0, peakR = 0;
    filter.FilterExecute(out, in, 6, &peakL, &peakR);
    const uint8_t expected[6] = {0x18, 0xFC, 0xFF, 0x18, 0xFC, 0xFF};
    EXPECT_EQ(std::memcmp(out, expected, 6), 0);
    EXPECT_EQ(peakL, 1000 >> 8);
    EXPECT_EQ(peakR, 1000 >> 8);
}

TEST(InputAudioFilter, UnsupportedRateLoadsNoStage)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(32000, 16, 2);
    filter.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    filter.EnableEQ();
    EXPECT_EQ(filter.GetStageCount(), 0);
    std::vector<uint8_t> in = RandomBytes(640, 3);
    EXPECT_EQ(Filter(filter, in, 32000, 16), in);
}

TEST(InputAudioFilter, OtherBitDepthsAreCopiedWithZeroPeaks)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(48000, 20, 2);
    filter.EnableEQ();
    EXPECT_EQ(filter.GetPath(), CInputAudioFilter::PATH_COPY);
    std::vector<uint8_t> in = RandomBytes(960, 5);
    std::vector<uint8_t> out(in.size());
    int peakL = 1, peakR = 1;
    filter.FilterExecute(out.data(), in.data(), static_cast<int>(in.size()), &peakL, &peakR);
    EXPECT_EQ(out, in);
    EXPECT_EQ(peakL, 0);
    EXPECT_EQ(peakR, 0);
}

TEST(InputAudioFilter, FullScaleThroughEqualiserWrapsButStagesDoNotClipAtFullScale)
{
    // The equaliser's gain at DC is (b0 + b1 + b2) / (1 - a1 - a2) of its
    // design, about +4 dB: a full-scale level comes out at 1.585 times full
    // scale, beyond the 16-bit range, and wraps to a negative sample.
    const double b = (594617408.0 - 938967808.0 + 355483840.0) / 536870912.0;
    const double a = (838304896.0 - 308458720.0) / 536870912.0;
    const double dcGain = b / (1 - a);
    CInputAudioFilter filter;
    filter.SetInputParameter(48000, 16, 2);
    filter.EnableEQ();
    std::vector<int16_t> in(48000 * 2, 32767);
    std::vector<uint8_t> bytes(reinterpret_cast<uint8_t*>(in.data()), reinterpret_cast<uint8_t*>(in.data() + in.size()));
    std::vector<uint8_t> out = Filter(filter, bytes, 48000, 16);
    const int16_t* y = reinterpret_cast<const int16_t*>(out.data());
    int16_t last = y[out.size() / 2 - 2];
    int expected = static_cast<int>(std::lround(32767 * dcGain)) - 65536;
    EXPECT_LT(last, 0);
    EXPECT_NEAR(last, expected, 4);

    // A full-scale square wave: the edges overshoot and wrap.
    filter.UpdateParameter();
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = ((i / 2) / 100) % 2 ? -32768 : 32767;
    bytes.assign(reinterpret_cast<uint8_t*>(in.data()), reinterpret_cast<uint8_t*>(in.data() + in.size()));
    out = Filter(filter, bytes, 48000, 16);
    y = reinterpret_cast<const int16_t*>(out.data());
    int wrapped = 0;
    for (size_t i = 0; i < in.size(); ++i)
        if ((in[i] > 0) != (y[i] > 0))
            ++wrapped;
    EXPECT_GT(wrapped, 0);
}

TEST(InputAudioFilter, TwentyFourBitFullScaleSaturatesOnlyAtFourTimes)
{
    // DC at full scale through the equaliser is 1.585 times full scale
    // inside the stage: the 24-bit output wraps (not clipped), the peak is
    // the capped magnitude.
    CInputAudioFilter filter;
    filter.SetInputParameter(96000, 24, 2);
    filter.EnableEQ();
    std::vector<uint8_t> in(96000 / 200 * 6 * 40);
    for (size_t i = 0; i < in.size(); i += 3) {
        in[i] = 0xFF;
        in[i + 1] = 0xFF;
        in[i + 2] = 0x7F;
    }
    int peakL = 0, peakR = 0;
    std::vector<uint8_t> out = Filter(filter, in, 96000, 24, &peakL, &peakR);
    auto y = Unpack(out.data(), out.size(), 24);
    EXPECT_LT(y.left.back(), 0.0);  // wrapped
    EXPECT_NEAR(y.left.back(), 1.585 - 2.0, 0.01);
    EXPECT_EQ(peakL, 32767);
    EXPECT_EQ(peakR, 32767);
}

TEST(InputAudioFilter, PeaksPerChannelOnSixteenBitScale)
{
    CInputAudioFilter filter;
    filter.SetInputParameter(48000, 24, 2);
    // Left -8388608, right 256 * 1000 + 255.
    uint8_t in[12] = {0x00, 0x00, 0x80, 0xFF, 0xE8, 0x03, 0, 0, 0, 0, 0, 0};
    uint8_t out[12];
    int peakL = 0, peakR = 0;
    filter.FilterExecute(out, in, 12, &peakL, &peakR);
    EXPECT_EQ(peakL, 32767);
    EXPECT_EQ(peakR, 1000);

    filter.SetInputParameter(48000, 16, 2);
    const int16_t in16[] = {-32768, 5, 100, -200};
    int16_t out16[4];
    filter.FilterExecute(out16, in16, sizeof(in16), &peakL, &peakR);
    EXPECT_EQ(peakL, 32767);
    EXPECT_EQ(peakR, 200);
    // Each call starts from zero.
    const int16_t quiet[] = {1, -2};
    filter.FilterExecute(out16, quiet, sizeof(quiet), &peakL, &peakR);
    EXPECT_EQ(peakL, 1);
    EXPECT_EQ(peakR, 2);
}

TEST(InputAudioFilter, SettingTheSameLevelKeepsTheFilterMemory)
{
    std::vector<uint8_t> in = PackSine(16, 48000, 4800, 50, 0.5, 70, 0.5);
    std::vector<uint8_t> first(in.begin(), in.begin() + in.size() / 2);
    std::vector<uint8_t> second(in.begin() + in.size() / 2, in.end());

    CInputAudioFilter whole;
    whole.SetInputParameter(48000, 16, 2);
    whole.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    std::vector<uint8_t> reference = Filter(whole, in, 48000, 16);

    CInputAudioFilter split;
    split.SetInputParameter(48000, 16, 2);
    split.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    std::vector<uint8_t> out = Filter(split, first, 48000, 16);
    split.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    split.SetInputParameter(48000, 16, 2);
    split.DisableEQ();
    std::vector<uint8_t> rest = Filter(split, second, 48000, 16);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, reference);

    // A real change starts again from silence.
    CInputAudioFilter restarted;
    restarted.SetInputParameter(48000, 16, 2);
    restarted.SetLcfLevel(CInputAudioFilter::LCF_120HZ);
    out = Filter(restarted, first, 48000, 16);
    restarted.UpdateParameter();
    rest = Filter(restarted, second, 48000, 16);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_NE(out, reference);
}

}  // namespace
