// What the codec's ADC delivers: the selected input's source, the
// microphone preamplifier, the PGA, the level control (automatic level or
// limiter) and the ADC mute, all as the mixer controls stand.
#pragma once

#include "sim/board/HardwareState.h"
#include "sim/sound/HostAudio.h"
#include "sim/sound/WavFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vrec::sound {

// One input's source: tone, noise, a looped WAV file, silence or the host.
class SourceGenerator
{
public:
    SourceGenerator(board::SoundInput& input, int rate);
    // Interleaved stereo in the range -1 .. 1 (full scale).
    void Generate(double* out, size_t frames);

private:
    void Restart(int kind);
    void Tone(double* out, size_t frames);
    void Noise(double* out, size_t frames);
    void WavFile(double* out, size_t frames);
    void Host(double* out, size_t frames);

    board::SoundInput& input_;
    int rate_;
    int kind_ = -1;
    uint32_t changes_ = 0;
    double phase_[2] = {0, 0};
    uint64_t noise_ = 0x9E3779B97F4A7C15ull;
    WavClip clip_;
    bool clipOk_ = false;
    double clipPos_ = 0;
    HostAudioPipe host_;
    std::vector<uint8_t> hostBytes_;
    bool complained_ = false;
};

// Automatic level and limiter of the codec, linked over both channels.
class LevelControl
{
public:
    explicit LevelControl(int rate);
    // mode: 0 off, 1 automatic level, 2 limiter.
    void Process(double* frames, size_t count, int mode);

private:
    double Limit(double peak);

    double limiterGain_ = 1.0;
    double agcGain_ = 1.0;
    double envelope_ = 0.0;
    double limiterRelease_;
    double agcAttack_;
    double agcRelease_;
    double envelopeDecay_;
};

class CaptureSignal
{
public:
    // camera, when given, supplies the sync marks: a click on the built-in
    // microphones at each mark.
    CaptureSignal(board::SoundCard& card, int rate, const board::Camera* camera = nullptr);
    // The next frames, interleaved stereo 24-bit samples, as the codec's
    // serial port delivers them: one channel slot late, so that frame i
    // holds (right of frame i - 1, left of frame i).
    // direct, when given, receives the same frames in the inputs' order (the
    // codec's own path from its ADC to its DAC). firstNs is the
    // CLOCK_MONOTONIC instant of the first frame (-1: unknown, no clicks).
    void Generate(int32_t* out, size_t frames, int32_t* direct = nullptr, int64_t firstNs = -1);

private:
    void AddSyncClick(double* x, size_t frames, int64_t firstNs);

    board::SoundCard& card_;
    const board::Camera* camera_;
    int rate_;
    SourceGenerator inner_;
    SourceGenerator external_;
    LevelControl level_;
    std::vector<double> work_;
    int32_t lateRight_ = 0;
};

double DbToGain(double db);

}  // namespace vrec::sound
