// The clock that paces a stream of the card at its sample rate: frames
// elapsed since start, and a timer descriptor that becomes readable a
// little after each period boundary (the stream's poll descriptor).
#pragma once

#include <cstdint>

namespace vrec::sound {

class PacingClock
{
public:
    PacingClock();
    ~PacingClock();
    PacingClock(const PacingClock&) = delete;
    PacingClock& operator=(const PacingClock&) = delete;

    int fd() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    bool running() const { return running_; }

    // Starts counting from 0 now and wakes every wakeFrames frames.
    void Start(unsigned rate, uint64_t wakeFrames);
    void Stop();
    // Frames elapsed since Start (less any Hold).
    uint64_t Elapsed() const;
    // CLOCK_MONOTONIC instant of Start, in nanoseconds.
    int64_t StartNs() const { return startNs_; }
    // Holds the count back by frames (a playback stream that ran dry waits
    // for data instead of racing ahead).
    void Hold(uint64_t frames) { held_ += frames; }
    // Makes the descriptor readable at once (a stream that is not running
    // must not leave a poller waiting).
    void WakeNow();
    // Takes the timer's expirations so that poll waits for the next one.
    void Drain();

private:
    int fd_ = -1;
    bool running_ = false;
    unsigned rate_ = 0;
    int64_t startNs_ = 0;
    uint64_t held_ = 0;
};

}  // namespace vrec::sound
