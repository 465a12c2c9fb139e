#include "sim/sound/LineOutput.h"

#include "sim/sound/CaptureSignal.h"
#include "sim/sound/Controls.h"
#include "sim/sound/Samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vrec::sound {

LineOutput::LineOutput(CardLink& link, int rate, int bits)
    : link_(link), rate_(rate), bits_(bits), frameBytes_(2 * bits / 8)
{
}

void LineOutput::FollowSpeakers()
{
    bool wanted = link_.card().hostSpeakers.load() != 0;
    if (!wanted) {
        speakers_.Stop();
        speakersComplained_ = false;
        return;
    }
    if (speakers_.Running())
        return;
    if (!speakers_.Failed()) {
        std::string why;
        speakers_.Start(HostAudioPipe::Direction::kToHost, rate_, bits_, &why);
    }
    if (speakers_.Failed() && !speakersComplained_) {
        speakersComplained_ = true;
        std::fprintf(stderr, "vrec sound card: the host's speakers cannot be used\n");
    }
}

void LineOutput::Play(const uint8_t* frames, size_t count)
{
    const board::SoundMixer& mixer = link_.card().mixer;
    size_t bytes = count * static_cast<size_t>(frameBytes_);
    out_.resize(bytes);
    bool silent = mixer.dacMute.load() || mixer.zeroOutput.load();
    int volume = mixer.lineOutDac.load();
    if (silent || volume <= 0) {
        std::memset(out_.data(), 0, bytes);
    } else if (volume == 120) {
        std::memcpy(out_.data(), frames, bytes);  // 0 dB: the samples as written
    } else {
        double gain = DbToGain(LineOutGainDb(volume));
        int sampleBytes = bits_ / 8;
        for (size_t i = 0; i < 2 * count; ++i) {
            double v = std::nearbyint(ReadSample(frames + i * sampleBytes, bits_) * gain);
            int32_t s = static_cast<int32_t>(std::clamp(v, -8388608.0, 8388607.0));
            WriteSample(out_.data() + i * sampleBytes, bits_, s);
        }
    }

    if (!record_.IsOpen() && !recordFailed_) {
        std::string why;
        if (!record_.Open(link_.PlayedFile(), rate_, bits_, &why)) {
            recordFailed_ = true;
            std::fprintf(stderr, "vrec sound card: %s\n", why.c_str());
        }
    }
    record_.Append(out_.data(), bytes);

    FollowSpeakers();
    speakers_.Write(out_.data(), bytes, static_cast<size_t>(frameBytes_));
}

}  // namespace vrec::sound
