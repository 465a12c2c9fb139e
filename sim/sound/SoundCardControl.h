// The operator's and the tests' hands on the board's sound card: what its
// inputs hear, the host's speakers, and injected xruns.
#pragma once

#include "sim/board/HardwareState.h"

#include <string>

namespace vrec::sound {

enum class Input
{
    kBuiltInMics,
    kExternal,
};

board::SoundInput& InputOf(board::SoundCard& card, Input input);

void SetSilence(board::SoundCard& card, Input input);
// Levels in dBFS at unity gain (the peak of the sine).
void SetTone(board::SoundCard& card, Input input, int leftHz, double leftDb, int rightHz, double rightDb);
void SetNoise(board::SoundCard& card, Input input, double leftDb, double rightDb);
// A WAV file (host path), looped, with a gain in dB. False when the path
// does not fit.
bool SetWavFile(board::SoundCard& card, Input input, const std::string& path, double gainDb = 0.0);
void SetHostCapture(board::SoundCard& card, Input input);

void SetHostSpeakers(board::SoundCard& card, bool on);

// The next running stream of the kind looks and fails once.
void InjectOverrun(board::SoundCard& card);
void InjectUnderrun(board::SoundCard& card);
void InjectSuspend(board::SoundCard& card);

}  // namespace vrec::sound
