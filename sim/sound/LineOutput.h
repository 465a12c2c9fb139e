// The codec's line output: the DAC volume and mutes applied to what is
// played, recorded in the board's WAV file of everything played and, when
// the operator asks for it, sent to the host's speakers.
#pragma once

#include "sim/sound/CardLink.h"
#include "sim/sound/HostAudio.h"
#include "sim/sound/WavFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vrec::sound {

class LineOutput
{
public:
    LineOutput(CardLink& link, int rate, int bits);
    // Frames in the stream's format, interleaved stereo.
    void Play(const uint8_t* frames, size_t count);

private:
    void FollowSpeakers();

    CardLink& link_;
    int rate_;
    int bits_;
    int frameBytes_;
    WavAppender record_;
    bool recordFailed_ = false;
    HostAudioPipe speakers_;
    bool speakersComplained_ = false;
    std::vector<uint8_t> out_;
};

}  // namespace vrec::sound
