#include "tests/media/support/ScriptedCreator.h"

#include <cmath>
#include <cstring>

namespace vrec::test {

void ScriptedCreator::QueueRecording(const RecorderVideo& video, int frames, int rate, int bits, int channels, int soundMs)
{
    const int block = rate / 10;
    const int64_t soundFrames = static_cast<int64_t>(rate) * soundMs / 1000;
    int64_t queued = 0;
    for (int f = 0; f < frames; ++f) {
        QueueVideo(video.frames.at(f));
        if (f % 3 == 2 && queued < soundFrames) {
            int n = static_cast<int>(std::min<int64_t>(block, soundFrames - queued));
            QueueSound(ToneBlock(rate, bits, channels, static_cast<int>(queued), n));
            queued += n;
        }
    }
    while (queued < soundFrames) {
        int n = static_cast<int>(std::min<int64_t>(block, soundFrames - queued));
        QueueSound(ToneBlock(rate, bits, channels, static_cast<int>(queued), n));
        queued += n;
    }
}

int ScriptedCreator::GetVideo(unsigned char* buffer)
{
    if (script_.empty() || !script_.front().video)
        return 0;
    Bytes frame = std::move(script_.front().bytes);
    script_.pop_front();
    size_t skip = 0;
    if (m_nDecSpecInfoLen == 0 && frame.size() > kConfigHeaderSize && StartsWithCode(frame.data(), frame.size(), mediastack::kVideoObjectCode)) {
        std::memcpy(m_baDecSpecInfo, frame.data(), kConfigHeaderSize);
        m_nDecSpecInfoLen = static_cast<int>(kConfigHeaderSize);
        skip = kConfigHeaderSize;
    }
    std::memcpy(buffer, frame.data() + skip, frame.size() - skip);
    lastSize_ = static_cast<int>(frame.size() - skip);
    return lastSize_;
}

int ScriptedCreator::GetAudio(unsigned char* buffer)
{
    if (script_.empty() || script_.front().video)
        return 0;
    Bytes block = std::move(script_.front().bytes);
    script_.pop_front();
    std::memcpy(buffer, block.data(), block.size());
    lastSize_ = static_cast<int>(block.size());
    return lastSize_;
}

void ScriptedCreator::PreLoop()
{
    if (script_.empty())
        SetExitCode(endCode_);
}

void ScriptedCreator::PostAddVideoFrame()
{
    written_.push_back({true, GetCurrentPos() - lastSize_, lastSize_});
    if (stopFrames_ >= 0 && m_nVideoFrames >= stopFrames_)
        SetExitCode(stopCode_);
}

void ScriptedCreator::PostAddAudioFrame()
{
    written_.push_back({false, GetCurrentPos() - lastSize_, lastSize_});
}

void ScriptedCreator::PostCreateFile(const char* path)
{
    ++postCreateCalls_;
    postCreatePath_ = path;
    // No sample may be in the file yet: it ends after "ftyp" and "wide".
    if (GetCurrentPos() != 40)
        postCreatePath_ += " (position " + std::to_string(GetCurrentPos()) + ")";
}

Bytes ToneBlock(int rate, int bits, int channels, int start, int frames)
{
    const int bytes = bits / 8;
    Bytes out(static_cast<size_t>(frames) * channels * bytes);
    size_t o = 0;
    for (int i = 0; i < frames; ++i) {
        double t = static_cast<double>(start + i) / rate;
        for (int c = 0; c < channels; ++c) {
            double v = 0.4 * std::sin(2 * M_PI * (440.0 + 220.0 * c) * t);
            int32_t s = static_cast<int32_t>(v * ((1 << (bits - 1)) - 1));
            for (int b = 0; b < bytes; ++b)
                out[o++] = static_cast<uint8_t>(s >> (8 * b));
        }
    }
    return out;
}

}  // namespace vrec::test
