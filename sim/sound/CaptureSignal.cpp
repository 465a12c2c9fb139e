#include "sim/sound/CaptureSignal.h"

#include "sim/board/camera/SyncMark.h"
#include "sim/sound/Controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vrec::sound {

namespace {

constexpr size_t kChunk = 256;
constexpr double kTwoPi = 6.283185307179586;

double LevelGain(int centiDb)
{
    return centiDb <= -14400 ? 0.0 : DbToGain(centiDb / 100.0);
}

}  // namespace

double DbToGain(double db)
{
    return std::pow(10.0, db / 20.0);
}

// ---- SourceGenerator --------------------------------------------------------

SourceGenerator::SourceGenerator(board::SoundInput& input, int rate) : input_(input), rate_(rate) {}

void SourceGenerator::Restart(int kind)
{
    kind_ = kind;
    changes_ = input_.changes.load();
    complained_ = false;
    host_.Stop();
    clipOk_ = false;
    if (kind == board::kSoundWavFile) {
        char path[board::kSoundPathSize];
        std::copy(std::begin(input_.wavFile), std::end(input_.wavFile), path);
        path[board::kSoundPathSize - 1] = 0;
        std::string why;
        clipOk_ = ReadWavClip(path, &clip_, &why);
        clipPos_ = 0;
        if (!clipOk_)
            std::fprintf(stderr, "vrec sound card: %s; the input hears silence\n", why.c_str());
    } else if (kind == board::kSoundHost) {
        std::string why;
        if (!host_.Start(HostAudioPipe::Direction::kFromHost, rate_, 16, &why))
            std::fprintf(stderr, "vrec sound card: %s; the input hears silence\n", why.c_str());
    }
}

void SourceGenerator::Generate(double* out, size_t frames)
{
    int kind = input_.kind.load();
    if (kind != kind_ || input_.changes.load() != changes_)
        Restart(kind);
    switch (kind) {
    case board::kSoundTone:
        Tone(out, frames);
        return;
    case board::kSoundNoise:
        Noise(out, frames);
        return;
    case board::kSoundWavFile:
        WavFile(out, frames);
        return;
    case board::kSoundHost:
        Host(out, frames);
        return;
    default:
        std::fill(out, out + 2 * frames, 0.0);
        return;
    }
}

void SourceGenerator::Tone(double* out, size_t frames)
{
    for (int c = 0; c < 2; ++c) {
        double gain = LevelGain(input_.levelCentiDb[c].load());
        double step = kTwoPi * input_.toneHz[c].load() / rate_;
        double phase = phase_[c];
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i + c] = gain * std::sin(phase);
            phase += step;
            if (phase >= kTwoPi)
                phase -= kTwoPi;
        }
        phase_[c] = phase;
    }
}

void SourceGenerator::Noise(double* out, size_t frames)
{
    double gain[2] = {LevelGain(input_.levelCentiDb[0].load()), LevelGain(input_.levelCentiDb[1].load())};
    for (size_t i = 0; i < 2 * frames; ++i) {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 7;
        noise_ ^= noise_ << 17;
        double uniform = static_cast<double>(noise_ >> 11) / 9007199254740992.0;  // 0 .. 1
        out[i] = gain[i & 1] * (2.0 * uniform - 1.0);
    }
}

void SourceGenerator::WavFile(double* out, size_t frames)
{
    size_t length = clipOk_ ? clip_.FrameCount() : 0;
    if (length == 0) {
        std::fill(out, out + 2 * frames, 0.0);
        return;
    }
    double gain[2] = {LevelGain(input_.levelCentiDb[0].load()), LevelGain(input_.levelCentiDb[1].load())};
    double step = static_cast<double>(clip_.rate) / rate_;
    for (size_t i = 0; i < frames; ++i) {
        size_t at = static_cast<size_t>(clipPos_);
        double frac = clipPos_ - static_cast<double>(at);
        size_t next = at + 1 < length ? at + 1 : 0;  // looped
        for (int c = 0; c < 2; ++c) {
            double a = clip_.frames[2 * at + c];
            double b = clip_.frames[2 * next + c];
            out[2 * i + c] = gain[c] * (a + (b - a) * frac);
        }
        clipPos_ += step;
        if (clipPos_ >= static_cast<double>(length))
            clipPos_ -= static_cast<double>(length);
    }
}

void SourceGenerator::Host(double* out, size_t frames)
{
    hostBytes_.resize(frames * 4);
    size_t got = host_.Read(hostBytes_.data(), hostBytes_.size());
    size_t whole = got / 4;
    for (size_t i = 0; i < whole; ++i) {
        const uint8_t* p = &hostBytes_[4 * i];
        out[2 * i] = static_cast<int16_t>(p[0] | (p[1] << 8)) / 32768.0;
        out[2 * i + 1] = static_cast<int16_t>(p[2] | (p[3] << 8)) / 32768.0;
    }
    // Whatever the host has not delivered in time is silence.
    std::fill(out + 2 * whole, out + 2 * frames, 0.0);
    if (host_.Failed() && !complained_) {
        complained_ = true;
        std::fprintf(stderr, "vrec sound card: the host's capture device cannot be used; the input hears silence\n");
    }
}

// ---- LevelControl -----------------------------------------------------------

LevelControl::LevelControl(int rate)
{
    auto coefficient = [rate](double seconds) { return 1.0 - std::exp(-1.0 / (seconds * rate)); };
    limiterRelease_ = coefficient(0.2);
    agcAttack_ = coefficient(0.01);
    agcRelease_ = coefficient(1.0);
    envelopeDecay_ = std::exp(-1.0 / (0.5 * rate));
}

// Gain that keeps the peak at or below the limiter's threshold (-3 dBFS):
// instant attack, 200 ms release.
double LevelControl::Limit(double peak)
{
    static const double kThreshold = DbToGain(-3.0);
    double needed = peak > kThreshold ? kThreshold / peak : 1.0;
    if (needed < limiterGain_)
        limiterGain_ = needed;
    else
        limiterGain_ += (needed - limiterGain_) * limiterRelease_;
    return limiterGain_;
}

void LevelControl::Process(double* frames, size_t count, int mode)
{
    if (mode == 0) {
        limiterGain_ = 1.0;
        agcGain_ = 1.0;
        envelope_ = 0.0;
        return;
    }
    static const double kAgcTarget = DbToGain(-12.0);
    static const double kAgcMin = DbToGain(-20.0);
    static const double kAgcMax = DbToGain(24.0);
    static const double kSilence = DbToGain(-70.0);
    for (size_t i = 0; i < count; ++i) {
        double& l = frames[2 * i];
        double& r = frames[2 * i + 1];
        if (mode == 1) {
            // Automatic level: the envelope's peak is brought to -12 dBFS;
            // quiet passages below -70 dBFS keep the gain they had.
            double peak = std::max(std::fabs(l), std::fabs(r));
            envelope_ = peak > envelope_ ? peak : envelope_ * envelopeDecay_;
            if (envelope_ > kSilence) {
                double wanted = std::clamp(kAgcTarget / envelope_, kAgcMin, kAgcMax);
                agcGain_ += (wanted - agcGain_) * (wanted < agcGain_ ? agcAttack_ : agcRelease_);
            }
            l *= agcGain_;
            r *= agcGain_;
        }
        double gain = Limit(std::max(std::fabs(l), std::fabs(r)));
        l *= gain;
        r *= gain;
    }
}

// ---- CaptureSignal ----------------------------------------------------------

CaptureSignal::CaptureSignal(board::SoundCard& card, int rate, const board::Camera* camera)
    : card_(card), camera_(camera), rate_(rate), inner_(card.inner, rate), external_(card.external, rate), level_(rate),
      work_(2 * kChunk)
{
}

// A 4 ms burst of a 2 kHz square wave at -6 dBFS from the mark's instant on.
void CaptureSignal::AddSyncClick(double* x, size_t frames, int64_t firstNs)
{
    constexpr int64_t kClickNs = 4000000;
    const double frameNs = 1e9 / rate_;
    int64_t endNs = firstNs + static_cast<int64_t>(frames * frameNs);
    int64_t mark = board::SyncMarkIn(*camera_, firstNs - kClickNs, endNs);
    if (mark < 0)
        return;
    for (size_t i = 0; i < frames; ++i) {
        double since = static_cast<double>(firstNs - mark) + static_cast<double>(i) * frameNs;
        if (since < 0 || since >= kClickNs)
            continue;
        double v = std::fmod(since, 500000.0) < 250000.0 ? 0.5 : -0.5;
        x[2 * i] += v;
        x[2 * i + 1] += v;
    }
}

void CaptureSignal::Generate(int32_t* out, size_t frames, int32_t* direct, int64_t firstNs)
{
    while (frames > 0) {
        size_t n = std::min(frames, kChunk);
        const board::SoundMixer& mixer = card_.mixer;
        int source = mixer.captureSource.load();
        double* x = work_.data();
        (source == 0 ? inner_ : external_).Generate(x, n);
        if (source == 0 && camera_ && firstNs >= 0)
            AddSyncClick(x, n, firstNs);
        double db = CapturePgaGainDb(mixer.capturePga.load());
        if (source != 3)
            db += MicGainDb(mixer.micGain.load());
        if (source == 1 && card_.externalNeedsBias.load())
            db -= 40.0;  // an electret microphone without plug-in power
        double gain = DbToGain(db);
        for (size_t i = 0; i < 2 * n; ++i)
            x[i] *= gain;
        level_.Process(x, n, mixer.levelControl.load());
        bool muted = mixer.adcMute.load() != 0;
        for (size_t i = 0; i < n; ++i) {
            int32_t sample[2];
            for (int c = 0; c < 2; ++c) {
                double v = muted ? 0.0 : std::nearbyint(x[2 * i + c] * 8388608.0);
                sample[c] = static_cast<int32_t>(std::clamp(v, -8388608.0, 8388607.0));
            }
            // The ADC's serial data arrives one channel slot late: each frame
            // carries the right sample of the frame before and its own left.
            out[2 * i] = lateRight_;
            out[2 * i + 1] = sample[0];
            lateRight_ = sample[1];
            if (direct) {
                direct[2 * i] = sample[0];
                direct[2 * i + 1] = sample[1];
            }
        }
        out += 2 * n;
        if (direct)
            direct += 2 * n;
        frames -= n;
        if (firstNs >= 0)
            firstNs += static_cast<int64_t>(static_cast<double>(n) * 1e9 / rate_);
    }
}

}  // namespace vrec::sound
