// Divide and copy tests: source movies with sound whose every sample frame
// says where it lies, and what the real tools find in the copies.
#pragma once

#include "tests/media/support/MovFixture.h"

#include <string>
#include <vector>

namespace vrec::test {

// Interleaved stereo PCM (16 or 24 bit) in which frame i of a stream made
// with `seed` differs from every other frame of it and of other seeds.
Bytes PatternSound(int bits, int64_t first, int64_t frames, int seed);
// A stereo WAV file of the recorder's form (data at byte 44).
bool WriteWav(const std::string& hostPath, int rate, int bits, const Bytes& pcm);

// What ffmpeg decodes from a file's sound, as stereo PCM of `bits`.
Bytes DecodedSound(const std::string& hostPath, int bits);
// The bytes of every video packet ffprobe finds, in order.
std::vector<Bytes> VideoPackets(const std::string& hostPath);
// Frames [first, end) as a movie file holds them: frame 0 without the
// configuration header.
std::vector<Bytes> StoredFrames(const RecorderVideo& video, int first, int end);
// Bytes [first, first + count) of a frame-sized range of sound.
Bytes SoundRange(const Bytes& pcm, int frameBytes, int64_t first, int64_t count);

// Progress callbacks: every call is noted; the copy is cancelled once the
// percentage reaches s_nCancelAt, and s_onPercent runs at each call.
struct ProgressLog
{
    static std::vector<int> calls;
    static int cancelAt;                      // -1: never
    static int (*onPercent)(int percent);     // may be null
    static void Reset();
    static int Callback(int percent);
};

class CopyTest : public MovTest
{
protected:
    void SetUp() override;

    // A movie of `frames` frames and frames / 30 seconds of pattern sound,
    // recorded by the device's creator; returns its device path.
    std::string MakeSource(const std::string& name, int frames, int rate, int bits, int seed = 0);
    RecorderVideo sourceVideo;
    Bytes sourceSound;

    // Divides the source at `second` into "_a" and "_b" and checks both
    // against the source with ffprobe and ffmpeg.
    void CheckDivide(const std::string& source, int frames, int rate, int bits, int second);
};

}  // namespace vrec::test
