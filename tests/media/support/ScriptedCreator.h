// A movie creator fed from a script of frames and sound blocks, in the
// order a recording delivers them, that notes where each sample went.
#pragma once

#include "Media/MovCreator.h"
#include "tests/media/support/Mpeg4Stream.h"

#include <deque>
#include <string>
#include <vector>

namespace vrec::test {

class ScriptedCreator : public CMovCreator
{
public:
    struct Written
    {
        bool video;
        long offset;
        int size;
    };

    // Queues one encoded frame as the encoder hands it over; the first
    // frame's configuration header is moved into the decoder information,
    // as the recorder does.
    void QueueVideo(const Bytes& frame) { script_.push_back({true, frame}); }
    void QueueSound(const Bytes& block) { script_.push_back({false, block}); }
    // The device's rhythm: three frames, then 100 ms of sound, ...; sound
    // left over follows the last frame.
    void QueueRecording(const RecorderVideo& video, int frames, int rate, int bits, int channels, int soundMs);
    // The same with the given sound (interleaved PCM of frameBytes a frame).
    void QueueRecording(const RecorderVideo& video, int frames, int rate, const Bytes& sound, int frameBytes);

    // Exit code set once the script is used up.
    void SetEndCode(int code) { endCode_ = code; }
    // Exit code set when this many frames are written (before the script ends).
    void StopAfterFrames(int frames, int code)
    {
        stopFrames_ = frames;
        stopCode_ = code;
    }

    const std::vector<Written>& written() const { return written_; }
    int postCreateCalls() const { return postCreateCalls_; }
    std::string postCreatePath() const { return postCreatePath_; }
    int frames() const { return m_nVideoFrames; }
    int soundSamples() const { return m_nAudioSamples; }
    int videoChunks() const { return m_nVideoChunkCount; }
    int soundChunks() const { return m_nAudioChunkCount; }
    const MOV_CHUNK& videoChunk(int i) const { return m_VideoChunk[i]; }
    const MOV_CHUNK& soundChunk(int i) const { return m_AudioChunk[i]; }

protected:
    int GetVideo(unsigned char* buffer) override;
    int GetAudio(unsigned char* buffer) override;
    void PreLoop() override;
    void PostAddVideoFrame() override;
    void PostAddAudioFrame() override;
    void PostCreateFile(const char* path) override;

private:
    struct Item
    {
        bool video;
        Bytes bytes;
    };
    std::deque<Item> script_;
    std::vector<Written> written_;
    int lastSize_ = 0;
    int endCode_ = MOV_EXIT_STOPPED;
    int stopFrames_ = -1;
    int stopCode_ = 0;
    int postCreateCalls_ = 0;
    std::string postCreatePath_;
};

// Interleaved PCM (little-endian, 16 or 24 bit) of a tone, `frames` long,
// starting at sample frame `start`.
Bytes ToneBlock(int rate, int bits, int channels, int start, int frames);

}  // namespace vrec::test
