// The host's own sound devices, reached only when the operator asks for
// them: a child process (arecord or aplay by default) started without the
// board's ALSA set-up, joined to the card by a pipe of raw stereo PCM.
#pragma once

#include "sim/board/ChildPipe.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace vrec::sound {

class HostAudioPipe
{
public:
    enum class Direction
    {
        kFromHost,  // the host's capture device feeds the card (16-bit)
        kToHost,    // the card's line output goes to the host's speakers
    };

    HostAudioPipe() = default;
    ~HostAudioPipe();
    HostAudioPipe(const HostAudioPipe&) = delete;
    HostAudioPipe& operator=(const HostAudioPipe&) = delete;

    // Starts the command of the direction (VRECSIM_HOST_CAPTURE or
    // VRECSIM_HOST_PLAYBACK when set) for this rate and sample size.
    bool Start(Direction direction, int rate, int bits, std::string* why);
    void Stop();
    bool Running() const { return fd_ >= 0; }
    bool Failed() const { return failed_; }

    // Never blocks: a read returns what has arrived, a write drops what does
    // not fit. Both notice a child that has gone.
    size_t Read(uint8_t* data, size_t bytes);
    void Write(const uint8_t* data, size_t bytes, size_t frameBytes);

private:
    void Lost();

    board::ChildPipe pipe_;
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace vrec::sound
