// The player with its two play threads on a fresh board, its sound going
// to the board's sound card; and what the tests need around it: files on
// the card, waiting for a stop, the board's record of the line output.
#pragma once

#include "tests/sound/Signal.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/PipelineFixture.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vrec::test {

// A sound format: rate, bits, channels.
struct Format
{
    int rate, bits, channels;
};
std::ostream& operator<<(std::ostream& os, const Format& f);

// The player's settings for the tests: the line output at 0 dB (the samples
// pass unchanged), no variable speed, nothing pending from another test.
void ResetPlayerSettings();

// The player's two threads with the device's picture and sound threads
// (display, capture, video, audio capture, monitor) on a fresh board.
class PlayerTest : public PipelineFixture
{
protected:
    void SetUp() override;

    // Writes a WAV file as the recorder writes it (44-byte header) on the
    // card; returns its device path.
    std::string PutWav(const std::string& name, int rate, int bits, int channels, const std::vector<uint8_t>& data);
};

// Opens and plays a file in the given action mode; false when it does not
// open.
bool Play(const std::string& devicePath, int mode);
// Waits until the player has stopped for `reason`; false on time-out.
bool WaitForStop(int reason, double seconds);
// Waits until the play position has reached ms; false on time-out.
bool WaitForPos(int ms, double seconds);
// Everything the board's line output played on the current board.
WavData Played();

// Interleaved signed samples of 16 or 24-bit PCM.
std::vector<int32_t> Samples(const std::vector<uint8_t>& pcm, int bits);
// Random PCM (white noise at about -6 dBFS), `frames` long.
std::vector<uint8_t> NoisePcm(int bits, int channels, size_t frames, unsigned seed);
// The first offset (in samples) at which `played` holds all of `source`
// sample for sample, or -1. Only offsets up to maxOffset are tried.
long FindCopy(const std::vector<int32_t>& played, const std::vector<int32_t>& source, size_t maxOffset);

// Start and end (in seconds) of the part of a recording louder than
// -20 dBFS, in 10 ms steps; both -1 for silence.
struct Span
{
    double start = -1;
    double end = -1;
};
Span LoudSpan(const std::vector<double>& x, int rate);

}  // namespace vrec::test
