#include "sim/sound/SoundCardControl.h"

#include <cmath>
#include <cstring>

namespace vrec::sound {

namespace {

int32_t CentiDb(double db)
{
    if (!(db > -144.0))
        return -14400;  // silence
    return static_cast<int32_t>(std::lround(db * 100.0));
}

}  // namespace

board::SoundInput& InputOf(board::SoundCard& card, Input input)
{
    return input == Input::kBuiltInMics ? card.inner : card.external;
}

void SetSilence(board::SoundCard& card, Input input)
{
    InputOf(card, input).kind = board::kSoundSilence;
}

void SetTone(board::SoundCard& card, Input input, int leftHz, double leftDb, int rightHz, double rightDb)
{
    board::SoundInput& in = InputOf(card, input);
    in.toneHz[0] = leftHz;
    in.toneHz[1] = rightHz;
    in.levelCentiDb[0] = CentiDb(leftDb);
    in.levelCentiDb[1] = CentiDb(rightDb);
    in.kind = board::kSoundTone;
}

void SetNoise(board::SoundCard& card, Input input, double leftDb, double rightDb)
{
    board::SoundInput& in = InputOf(card, input);
    in.levelCentiDb[0] = CentiDb(leftDb);
    in.levelCentiDb[1] = CentiDb(rightDb);
    in.kind = board::kSoundNoise;
}

bool SetWavFile(board::SoundCard& card, Input input, const std::string& path, double gainDb)
{
    board::SoundInput& in = InputOf(card, input);
    if (path.size() >= sizeof(in.wavFile))
        return false;
    std::memset(in.wavFile, 0, sizeof(in.wavFile));
    std::memcpy(in.wavFile, path.data(), path.size());
    in.levelCentiDb[0] = CentiDb(gainDb);
    in.levelCentiDb[1] = CentiDb(gainDb);
    in.changes.fetch_add(1);
    in.kind = board::kSoundWavFile;
    return true;
}

void SetHostCapture(board::SoundCard& card, Input input)
{
    InputOf(card, input).kind = board::kSoundHost;
}

void SetHostSpeakers(board::SoundCard& card, bool on)
{
    card.hostSpeakers = on ? 1 : 0;
}

void InjectOverrun(board::SoundCard& card)
{
    card.overrunRequests.fetch_add(1);
}

void InjectUnderrun(board::SoundCard& card)
{
    card.underrunRequests.fetch_add(1);
}

void InjectSuspend(board::SoundCard& card)
{
    card.suspendRequests.fetch_add(1);
}

}  // namespace vrec::sound
