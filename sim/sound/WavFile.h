// WAV files of the sound card: a looped source file read into memory, and
// the record of the line output, appended to as it plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::sound {

// A PCM WAV file decoded to stereo samples in the range -1 .. 1.
struct WavClip
{
    int rate = 0;
    std::vector<float> frames;  // interleaved left, right
    size_t FrameCount() const { return frames.size() / 2; }
};

// Reads 8/16/24/32-bit integer or 32-bit float PCM, mono or stereo (more
// channels: the first two). False and the reason for anything else.
bool ReadWavClip(const std::string& path, WavClip* clip, std::string* why);

// Appends interleaved stereo frames to a 16 or 24-bit WAV file whose header
// is kept valid after every append, so the file can be read while it grows.
// A file of another format is moved aside to "<name>-previous.wav" first.
class WavAppender
{
public:
    WavAppender() = default;
    ~WavAppender();
    WavAppender(const WavAppender&) = delete;
    WavAppender& operator=(const WavAppender&) = delete;

    bool Open(const std::string& path, int rate, int bits, std::string* why);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool Append(const uint8_t* data, size_t bytes);

private:
    int fd_ = -1;
};

}  // namespace vrec::sound
