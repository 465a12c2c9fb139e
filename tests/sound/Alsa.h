// The board's sound card as any ALSA program sees it, for the tests.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::test {

class AlsaPcm
{
public:
    AlsaPcm(const char* name, snd_pcm_stream_t stream, int mode = 0);
    ~AlsaPcm();
    AlsaPcm(const AlsaPcm&) = delete;
    AlsaPcm& operator=(const AlsaPcm&) = delete;

    int openError() const { return openError_; }
    snd_pcm_t* get() { return pcm_; }

    // Interleaved access, period near `period`, buffer time near bufferUs,
    // start threshold (0: the whole buffer for playback, 1 for capture).
    // Negative ALSA error on failure.
    int Configure(snd_pcm_format_t format, unsigned rate, snd_pcm_uframes_t period, unsigned bufferUs,
                  unsigned channels = 2, snd_pcm_uframes_t startThreshold = 0);
    snd_pcm_uframes_t period() const { return period_; }
    snd_pcm_uframes_t buffer() const { return buffer_; }
    unsigned rate() const { return rate_; }

    // Reads frames in period-sized pieces; stops at the first error, which
    // is kept in lastError().
    std::vector<uint8_t> Read(size_t frames);
    // Writes the whole data; stops at the first error.
    bool Write(const std::vector<uint8_t>& data);
    long lastError() const { return lastError_; }

private:
    snd_pcm_t* pcm_ = nullptr;
    int openError_ = 0;
    snd_pcm_uframes_t period_ = 0;
    snd_pcm_uframes_t buffer_ = 0;
    unsigned rate_ = 0;
    long lastError_ = 0;
};

class AlsaMixer
{
public:
    AlsaMixer();
    ~AlsaMixer();
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    bool ok() const { return mixer_ != nullptr; }
    snd_mixer_elem_t* Find(const char* name);
    bool SetEnum(const char* name, const char* item);
    std::vector<std::string> Items(const char* name);

private:
    snd_mixer_t* mixer_ = nullptr;
};

}  // namespace vrec::test
