#include "tests/player/PlayerFixture.h"

#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"

#include <chrono>
#include <cmath>
#include <random>
#include <thread>

namespace vrec::test {

namespace {

using Clock = std::chrono::steady_clock;

bool PollUntil(bool (*condition)(int), int value, double seconds)
{
    auto start = Clock::now();
    while (!condition(value)) {
        if (std::chrono::duration<double>(Clock::now() - start).count() > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const Format& f)
{
    return os << f.rate << "/" << f.bits << "/" << f.channels;
}

void ResetPlayerSettings()
{
    g_bAfterRecording = 0;
    g_bAfterRecMode = 0;
    g_bDispHdmi = 0;
    g_bKeepStop = 0;
    g_ctrlIoRepeat.Reset();
    SetParameter("/GLOBAL/PLAY VOL", 35.0f);
    SetParameter("/GLOBAL/ENABLE SPEED", 0.0f);
    SetParameter("/PB Control/SPEED", 1.0f);
}

void PlayerTest::SetUp()
{
    PipelineFixture::SetUp();
    ResetPlayerSettings();
    SetActionMode(ACTION_MODE_SOUND);
}

std::string PlayerTest::PutWav(const std::string& name, int rate, int bits, int channels,
                               const std::vector<uint8_t>& data)
{
    const std::string device = "/sdcard/" + name;
    EXPECT_TRUE(WriteWav(HostPath(device), rate, bits, channels, data));
    return device;
}

bool Play(const std::string& devicePath, int mode)
{
    SetActionMode(mode);
    if (!PL_Open(devicePath.c_str()))
        return false;
    PL_Play();
    return true;
}

bool WaitForStop(int reason, double seconds)
{
    return PollUntil([](int r) { return PL_IsStop() && !PL_IsStopping() && PL_GetStopReason() == r; }, reason,
                     seconds);
}

bool WaitForPos(int ms, double seconds)
{
    return PollUntil([](int m) { return PL_GetPos() >= m; }, ms, seconds);
}

WavData Played()
{
    WavData wav;
    EXPECT_TRUE(ReadWav(BoardRoot() + "/sound/played.wav", &wav));
    return wav;
}

std::vector<int32_t> Samples(const std::vector<uint8_t>& pcm, int bits)
{
    const size_t bytes = static_cast<size_t>(bits / 8);
    std::vector<int32_t> out;
    out.reserve(pcm.size() / bytes);
    for (size_t i = 0; i + bytes <= pcm.size(); i += bytes) {
        if (bits == 16) {
            out.push_back(static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8)));
        } else {
            int32_t v = pcm[i] | (pcm[i + 1] << 8) | (pcm[i + 2] << 16);
            out.push_back(v >= 0x800000 ? v - 0x1000000 : v);
        }
    }
    return out;
}

std::vector<uint8_t> NoisePcm(int bits, int channels, size_t frames, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 0.15);
    const int bytes = bits / 8;
    const double full = bits == 16 ? 32767.0 : 8388607.0;
    std::vector<uint8_t> out(frames * channels * bytes);
    for (size_t i = 0; i < frames * channels; ++i) {
        double v = std::max(-1.0, std::min(1.0, normal(random)));
        int32_t s = static_cast<int32_t>(std::lround(v * full));
        for (int b = 0; b < bytes; ++b)
            out[i * bytes + b] = static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * b));
    }
    return out;
}

long FindCopy(const std::vector<int32_t>& played, const std::vector<int32_t>& source, size_t maxOffset)
{
    if (source.empty() || played.size() < source.size())
        return -1;
    const size_t probe = std::min<size_t>(64, source.size());
    for (size_t k = 0; k <= maxOffset && k + source.size() <= played.size(); ++k) {
        if (!std::equal(source.begin(), source.begin() + probe, played.begin() + k))
            continue;
        if (std::equal(source.begin(), source.end(), played.begin() + k))
            return static_cast<long>(k);
    }
    return -1;
}

Span LoudSpan(const std::vector<double>& x, int rate)
{
    Span span;
    const size_t step = static_cast<size_t>(rate / 100);
    const double threshold = std::pow(10.0, -20.0 / 20.0);
    for (size_t at = 0; at + step <= x.size(); at += step) {
        double peak = 0;
        for (size_t i = at; i < at + step; ++i)
            peak = std::max(peak, std::fabs(x[i]));
        if (peak < threshold)
            continue;
        if (span.start < 0)
            span.start = static_cast<double>(at) / rate;
        span.end = static_cast<double>(at + step) / rate;
    }
    return span;
}

}  // namespace vrec::test
