#include "tests/sound/Alsa.h"

#include <algorithm>
#include <cstring>

namespace vrec::test {

AlsaPcm::AlsaPcm(const char* name, snd_pcm_stream_t stream, int mode)
{
    openError_ = snd_pcm_open(&pcm_, name, stream, mode);
    if (openError_ < 0)
        pcm_ = nullptr;
}

AlsaPcm::~AlsaPcm()
{
    if (pcm_)
        snd_pcm_close(pcm_);
}

int AlsaPcm::Configure(snd_pcm_format_t format, unsigned rate, snd_pcm_uframes_t period, unsigned bufferUs,
                       unsigned channels, snd_pcm_uframes_t startThreshold)
{
    if (!pcm_)
        return -ENODEV;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int err;
    if ((err = snd_pcm_hw_params_any(pcm_, hw)) < 0 ||
        (err = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (err = snd_pcm_hw_params_set_format(pcm_, hw, format)) < 0 ||
        (err = snd_pcm_hw_params_set_channels(pcm_, hw, channels)) < 0)
        return err;
    rate_ = rate;
    if ((err = snd_pcm_hw_params_set_rate_near(pcm_, hw, &rate_, nullptr)) < 0)
        return err;
    period_ = period;
    if ((err = snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period_, nullptr)) < 0)
        return err;
    if ((err = snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &bufferUs, nullptr)) < 0)
        return err;
    if ((err = snd_pcm_hw_params(pcm_, hw)) < 0)
        return err;
    snd_pcm_hw_params_get_period_size(hw, &period_, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, &buffer_);

    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(pcm_, sw);
    bool capture = snd_pcm_stream(pcm_) == SND_PCM_STREAM_CAPTURE;
    snd_pcm_sw_params_set_start_threshold(pcm_, sw, startThreshold ? startThreshold : (capture ? 1 : buffer_));
    snd_pcm_sw_params_set_stop_threshold(pcm_, sw, buffer_);
    snd_pcm_sw_params_set_avail_min(pcm_, sw, period_);
    return snd_pcm_sw_params(pcm_, sw);
}

std::vector<uint8_t> AlsaPcm::Read(size_t frames)
{
    std::vector<uint8_t> data(static_cast<size_t>(snd_pcm_frames_to_bytes(pcm_, static_cast<snd_pcm_sframes_t>(frames))));
    size_t done = 0;
    lastError_ = 0;
    while (done < frames) {
        size_t want = std::min<size_t>(period_ ? period_ : 256, frames - done);
        snd_pcm_sframes_t n = snd_pcm_readi(pcm_, &data[snd_pcm_frames_to_bytes(pcm_, done)], want);
        if (n == -EAGAIN)
            continue;
        if (n < 0) {
            lastError_ = n;
            data.resize(snd_pcm_frames_to_bytes(pcm_, done));
            break;
        }
        done += static_cast<size_t>(n);
    }
    return data;
}

bool AlsaPcm::Write(const std::vector<uint8_t>& data)
{
    size_t frames = static_cast<size_t>(snd_pcm_bytes_to_frames(pcm_, static_cast<ssize_t>(data.size())));
    size_t done = 0;
    lastError_ = 0;
    while (done < frames) {
        size_t want = std::min<size_t>(period_ ? period_ : 256, frames - done);
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_, &data[snd_pcm_frames_to_bytes(pcm_, done)], want);
        if (n == -EAGAIN)
            continue;
        if (n < 0) {
            lastError_ = n;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

AlsaMixer::AlsaMixer()
{
    if (snd_mixer_open(&mixer_, 0) < 0) {
        mixer_ = nullptr;
        return;
    }
    if (snd_mixer_attach(mixer_, "hw:0") < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer_) < 0) {
        snd_mixer_close(mixer_);
        mixer_ = nullptr;
    }
}

AlsaMixer::~AlsaMixer()
{
    if (mixer_)
        snd_mixer_close(mixer_);
}

snd_mixer_elem_t* AlsaMixer::Find(const char* name)
{
    if (!mixer_)
        return nullptr;
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_selem_id_set_index(id, 0);
    return snd_mixer_find_selem(mixer_, id);
}

std::vector<std::string> AlsaMixer::Items(const char* name)
{
    std::vector<std::string> items;
    snd_mixer_elem_t* elem = Find(name);
    if (!elem || !snd_mixer_selem_is_enumerated(elem))
        return items;
    int n = snd_mixer_selem_get_enum_items(elem);
    for (int i = 0; i < n; ++i) {
        char text[64];
        if (snd_mixer_selem_get_enum_item_name(elem, i, sizeof(text), text) == 0)
            items.emplace_back(text);
    }
    return items;
}

bool AlsaMixer::SetEnum(const char* name, const char* item)
{
    std::vector<std::string> items = Items(name);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item)
            return snd_mixer_selem_set_enum_item(Find(name), SND_MIXER_SCHN_FRONT_LEFT, static_cast<unsigned>(i)) == 0;
    return false;
}

}  // namespace vrec::test
