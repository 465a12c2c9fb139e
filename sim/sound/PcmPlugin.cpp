// The board's sound card, PCM side: an ALSA I/O plugin for capture and
// playback, paced by a clock at the sample rate. Capture delivers what the
// codec's ADC makes of the selected input; playback goes to the line
// output. Over-runs and under-runs happen when the program is late, and the
// board can inject them and a suspend.
#include "sim/sound/CaptureSignal.h"
#include "sim/sound/CardLink.h"
#include "sim/sound/LineOutput.h"
#include "sim/sound/PacingClock.h"
#include "sim/sound/Samples.h"

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <time.h>
#include <vector>

namespace {

using namespace vrec::sound;
using vrec::board::SoundStream;

class BoardPcm
{
public:
    explicit BoardPcm(snd_pcm_stream_t stream) : capture_(stream == SND_PCM_STREAM_CAPTURE) {}

    snd_pcm_ioplug_t io{};
    CardLink link;
    PacingClock clock;

    SoundStream& status() { return capture_ ? link.card().capture : link.card().playback; }
    bool capture() const { return capture_; }

    void Opened()
    {
        seenOverruns_ = link.card().overrunRequests.load();
        seenUnderruns_ = link.card().underrunRequests.load();
        seenSuspends_ = link.card().suspendRequests.load();
        status().open = 1;
        status().running = 0;
        status().opens.fetch_add(1);
        clock.WakeNow();
    }

    void Closed()
    {
        clock.Stop();
        status().running = 0;
        status().open = 0;
    }

    int HwParams()
    {
        rate_ = io.rate;
        bits_ = io.format == SND_PCM_FORMAT_S16_LE ? 16 : 24;
        frameBytes_ = 2 * bits_ / 8;
        buffer_ = io.buffer_size;
        period_ = io.period_size;
        if (capture_) {
            signal_ = std::make_unique<CaptureSignal>(link.card(), static_cast<int>(rate_), &link.state().camera);
            loopback_.reset();
            ringFrames_ = std::max<uint64_t>(2 * buffer_, rate_ / 2);
            ring_.assign(2 * ringFrames_, 0);
            // As the codec's driver does, setting a stream up unmutes it.
            link.card().mixer.adcMute = 0;
        } else {
            output_ = std::make_unique<LineOutput>(link, static_cast<int>(rate_), bits_);
            ringFrames_ = 2 * buffer_;
            playRing_.assign(ringFrames_ * frameBytes_, 0);
            // As the codec's driver does, setting a stream up ends the zero
            // output and the mute.
            link.card().mixer.zeroOutput = 0;
            link.card().mixer.dacMute = 0;
        }
        status().rate = static_cast<int>(rate_);
        status().bits = bits_;
        status().periodFrames = static_cast<int>(period_);
        status().bufferFrames = static_cast<int>(buffer_);
        return 0;
    }

    int SwParams(snd_pcm_sw_params_t* params)
    {
        snd_pcm_uframes_t value;
        if (snd_pcm_sw_params_get_stop_threshold(params, &value) == 0)
            stopThreshold_ = value;
        if (snd_pcm_sw_params_get_avail_min(params, &value) == 0)
            availMin_ = value ? value : 1;
        if (snd_pcm_sw_params_get_boundary(params, &value) == 0)
            boundary_ = value;
        return 0;
    }

    int Prepare()
    {
        clock.Stop();
        status().running = 0;
        hw_ = 0;
        startHw_ = 0;
        generated_ = 0;
        played_ = 0;
        xrun_ = false;
        clock.WakeNow();
        return 0;
    }

    int Start()
    {
        startHw_ = hw_;
        clock.Drain();
        clock.Start(rate_, std::min<uint64_t>(period_, availMin_));
        status().running = 1;
        return 0;
    }

    int Stop()
    {
        if (!capture_ && clock.running())
            Update();
        clock.Stop();
        status().running = 0;
        clock.WakeNow();
        return 0;
    }

    int Resume()
    {
        // Restarts the clock where the stream stood, so that recovery ends.
        if (io.state == SND_PCM_STATE_SUSPENDED) {
            startHw_ = hw_;
            clock.Start(rate_, std::min<uint64_t>(period_, availMin_));
            status().running = 1;
            snd_pcm_ioplug_set_state(&io, SND_PCM_STATE_RUNNING);
        }
        return 0;
    }

    snd_pcm_sframes_t Pointer()
    {
        if (Update() < 0)
            return -EPIPE;
        uint64_t position = boundary_ ? hw_ % boundary_ : hw_;
        return static_cast<snd_pcm_sframes_t>(position);
    }

    int Delay(snd_pcm_sframes_t* delay)
    {
        if (Update() < 0)
            return -EPIPE;
        uint64_t appl = io.appl_ptr;
        *delay = capture_ ? static_cast<snd_pcm_sframes_t>(hw_ - std::min(hw_, appl))
                          : static_cast<snd_pcm_sframes_t>(appl - std::min(hw_, appl));
        return 0;
    }

    int PollRevents(unsigned short* revents)
    {
        bool running = clock.running();
        clock.Drain();
        if (!running)
            clock.WakeNow();
        unsigned short ready = capture_ ? POLLIN : POLLOUT;
        if (Update() < 0 || io.state == SND_PCM_STATE_XRUN || io.state == SND_PCM_STATE_SUSPENDED) {
            *revents = ready;  // the next transfer reports the state
            return 0;
        }
        uint64_t appl = io.appl_ptr;
        uint64_t avail = capture_ ? hw_ - std::min(hw_, appl) : buffer_ - (appl - std::min(hw_, appl));
        *revents = avail >= availMin_ ? ready : 0;
        return 0;
    }

    snd_pcm_sframes_t Transfer(const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
    {
        // The frames of a transfer start at the application pointer; offset
        // and areas describe the caller's memory.
        uint64_t first = io.appl_ptr;
        if (capture_)
            ReadCapture(areas, offset, first, size);
        else
            WritePlayback(areas, offset, first, size);
        return static_cast<snd_pcm_sframes_t>(size);
    }

    int Drain()
    {
        // Playback: waits until the line output has taken every frame queued.
        while (!capture_ && clock.running() && io.state == SND_PCM_STATE_DRAINING) {
            if (Update() < 0)
                break;
            uint64_t appl = io.appl_ptr;
            if (hw_ >= appl)
                break;
            uint64_t waitUs = std::min<uint64_t>((appl - hw_) * 1000000 / rate_ + 100, 10000);
            struct timespec pause = {0, static_cast<long>(waitUs * 1000)};
            nanosleep(&pause, nullptr);
        }
        clock.Stop();
        status().running = 0;
        return 0;
    }

private:
    static uint8_t* SampleAt(const snd_pcm_channel_area_t& area, snd_pcm_uframes_t frame)
    {
        return static_cast<uint8_t*>(area.addr) + (area.first + frame * area.step) / 8;
    }

    void Generate(uint64_t upTo)
    {
        if (upTo > generated_ + ringFrames_)
            generated_ = upTo - ringFrames_;  // far behind: what lies before is lost anyway
        while (generated_ < upTo) {
            uint64_t at = generated_ % ringFrames_;
            uint64_t n = std::min<uint64_t>({upTo - generated_, ringFrames_ - at, kLoopbackChunk});
            int64_t firstNs = FrameInstantNs(generated_);
            if (CodecMonitors()) {
                signal_->Generate(&ring_[2 * at], n, loopbackSamples_.data(), firstNs);
                Loopback(n);
            } else {
                signal_->Generate(&ring_[2 * at], n, nullptr, firstNs);
            }
            generated_ += n;
        }
    }

    // The instant a captured frame was sampled: the clock started at startHw_.
    int64_t FrameInstantNs(uint64_t frame) const
    {
        if (!clock.running())
            return -1;
        double offset = (static_cast<double>(frame) - static_cast<double>(startHw_)) * 1e9 / rate_;
        return clock.StartNs() + static_cast<int64_t>(offset);
    }

    // With "ExCap" on and the monitor output open, the codec itself sends
    // its input to the line output.
    bool CodecMonitors()
    {
        return link.card().mixer.exCap.load() != 0 && link.card().playback.open.load() != 0;
    }

    void Loopback(uint64_t frames)
    {
        if (!loopback_)
            loopback_ = std::make_unique<LineOutput>(link, static_cast<int>(rate_), bits_);
        int sampleBytes = bits_ / 8;
        for (uint64_t i = 0; i < 2 * frames; ++i)
            WriteSample(&loopbackBytes_[i * sampleBytes], bits_, loopbackSamples_[i]);
        loopback_->Play(loopbackBytes_.data(), frames);
    }

    // The capture is a function of the frame number: a region visited twice
    // reads the same samples.
    void ReadCapture(const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset, uint64_t first, uint64_t size)
    {
        Generate(first + size);
        for (uint64_t i = 0; i < size; ++i) {
            uint64_t frame = first + i;
            bool kept = frame + ringFrames_ >= generated_;
            for (int c = 0; c < 2; ++c) {
                int32_t sample = kept ? ring_[2 * (frame % ringFrames_) + c] : 0;
                WriteSample(SampleAt(areas[c], offset + i), bits_, sample);
            }
        }
    }

    void WritePlayback(const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset, uint64_t first, uint64_t size)
    {
        int sampleBytes = bits_ / 8;
        for (uint64_t i = 0; i < size; ++i) {
            uint8_t* dst = &playRing_[((first + i) % ringFrames_) * frameBytes_];
            for (int c = 0; c < 2; ++c)
                std::memcpy(dst + c * sampleBytes, SampleAt(areas[c], offset + i), sampleBytes);
        }
    }

    void PlayUpTo(uint64_t target)
    {
        while (played_ < target) {
            uint64_t at = played_ % ringFrames_;
            uint64_t n = std::min(target - played_, ringFrames_ - at);
            output_->Play(&playRing_[at * frameBytes_], n);
            played_ += n;
        }
    }

    void Xrun()
    {
        xrun_ = true;
        clock.Stop();
        status().running = 0;
        status().xruns.fetch_add(1);
    }

    // Board requests: an injected over-run, under-run or suspend hits the
    // next running stream that looks.
    bool TakeRequest(vrec::board::AtomicWord& requests, uint32_t& seen)
    {
        uint32_t now = requests.load();
        if (now == seen)
            return false;
        seen = now;
        return true;
    }

    // Moves the hardware position to the clock; -EPIPE on an xrun.
    int Update()
    {
        if (xrun_)
            return -EPIPE;
        if (!clock.running())
            return 0;
        uint64_t previous = hw_;
        uint64_t position = startHw_ + clock.Elapsed();
        uint64_t appl = io.appl_ptr;
        if (capture_) {
            hw_ = position;
        } else {
            if (position >= appl) {
                position = appl;
                if (io.state != SND_PCM_STATE_DRAINING && buffer_ >= stopThreshold_) {
                    hw_ = position;
                    PlayUpTo(hw_);
                    status().frames.fetch_add(static_cast<int64_t>(hw_ - previous));
                    Xrun();
                    return -EPIPE;
                }
                // Ran dry without stopping: the clock waits for more data.
                uint64_t behind = startHw_ + clock.Elapsed() - appl;
                clock.Hold(behind);
            }
            hw_ = position;
            PlayUpTo(hw_);
        }
        status().frames.fetch_add(static_cast<int64_t>(hw_ - previous));

        vrec::board::SoundCard& card = link.card();
        if (TakeRequest(card.suspendRequests, seenSuspends_)) {
            clock.Stop();
            status().running = 0;
            snd_pcm_ioplug_set_state(&io, SND_PCM_STATE_SUSPENDED);
            return 0;
        }
        if (TakeRequest(capture_ ? card.overrunRequests : card.underrunRequests, capture_ ? seenOverruns_ : seenUnderruns_)) {
            Xrun();
            return -EPIPE;
        }
        if (capture_ && hw_ - std::min(hw_, appl) >= stopThreshold_) {
            Xrun();
            return -EPIPE;
        }
        return 0;
    }

    bool capture_;
    unsigned rate_ = 48000;
    int bits_ = 16;
    int frameBytes_ = 4;
    uint64_t buffer_ = 1;
    uint64_t period_ = 1;
    uint64_t stopThreshold_ = 1;
    uint64_t availMin_ = 1;
    uint64_t boundary_ = 0;

    uint64_t hw_ = 0;       // frames moved since prepare
    uint64_t startHw_ = 0;  // hw_ when the clock started
    bool xrun_ = false;
    uint32_t seenOverruns_ = 0;
    uint32_t seenUnderruns_ = 0;
    uint32_t seenSuspends_ = 0;

    std::unique_ptr<CaptureSignal> signal_;
    std::vector<int32_t> ring_;  // generated capture, by frame number
    uint64_t ringFrames_ = 1;
    uint64_t generated_ = 0;

    static constexpr uint64_t kLoopbackChunk = 4096;
    std::unique_ptr<LineOutput> loopback_;
    std::vector<int32_t> loopbackSamples_ = std::vector<int32_t>(2 * kLoopbackChunk);
    std::vector<uint8_t> loopbackBytes_ = std::vector<uint8_t>(2 * 3 * kLoopbackChunk);

    std::unique_ptr<LineOutput> output_;
    std::vector<uint8_t> playRing_;  // written playback, by frame number
    uint64_t played_ = 0;
};

BoardPcm* Of(snd_pcm_ioplug_t* io)
{
    return static_cast<BoardPcm*>(io->private_data);
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
    snd_pcm_ioplug_callback_t c = {};
    c.start = [](snd_pcm_ioplug_t* io) { return Of(io)->Start(); };
    c.stop = [](snd_pcm_ioplug_t* io) { return Of(io)->Stop(); };
    c.pointer = [](snd_pcm_ioplug_t* io) { return Of(io)->Pointer(); };
    c.transfer = [](snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset,
                    snd_pcm_uframes_t size) { return Of(io)->Transfer(areas, offset, size); };
    c.close = [](snd_pcm_ioplug_t* io) {
        BoardPcm* pcm = Of(io);
        pcm->Closed();
        delete pcm;
        return 0;
    };
    c.hw_params = [](snd_pcm_ioplug_t* io, snd_pcm_hw_params_t*) { return Of(io)->HwParams(); };
    c.sw_params = [](snd_pcm_ioplug_t* io, snd_pcm_sw_params_t* params) { return Of(io)->SwParams(params); };
    c.prepare = [](snd_pcm_ioplug_t* io) { return Of(io)->Prepare(); };
    c.drain = [](snd_pcm_ioplug_t* io) { return Of(io)->Drain(); };
    c.resume = [](snd_pcm_ioplug_t* io) { return Of(io)->Resume(); };
    c.poll_revents = [](snd_pcm_ioplug_t* io, struct pollfd*, unsigned int, unsigned short* revents) {
        return Of(io)->PollRevents(revents);
    };
    c.delay = [](snd_pcm_ioplug_t* io, snd_pcm_sframes_t* delay) { return Of(io)->Delay(delay); };
    return c;
}();

int SetConstraints(snd_pcm_ioplug_t* io)
{
    static const unsigned int kAccess[] = {SND_PCM_ACCESS_RW_INTERLEAVED, SND_PCM_ACCESS_MMAP_INTERLEAVED};
    static const unsigned int kFormats[] = {SND_PCM_FORMAT_S16_LE, SND_PCM_FORMAT_S24_3LE};
    static const unsigned int kRates[] = {44100, 48000, 96000};
    int err;
    if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 2, kAccess)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 2, kFormats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_RATE, 3, kRates)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 512 * 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 128, 4 * 1024 * 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024)) < 0)
        return err;
    return 0;
}

// The card is card 0 ("VREC") with one device.
bool IsOurDevice(snd_config_t* conf)
{
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf)
    {
        snd_config_t* node = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(node, &id) < 0)
            continue;
        if (std::strcmp(id, "card") == 0) {
            long number;
            const char* text;
            if (snd_config_get_integer(node, &number) == 0) {
                if (number != 0)
                    return false;
            } else if (snd_config_get_string(node, &text) == 0) {
                if (std::strcmp(text, "0") != 0 && std::strcmp(text, "VREC") != 0)
                    return false;
            }
        } else if (std::strcmp(id, "device") == 0) {
            long number;
            if (snd_config_get_integer(node, &number) == 0 && number != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" {

SND_PCM_PLUGIN_DEFINE_FUNC(vrec)
{
    if (!IsOurDevice(conf)) {
        SNDERR("the board has one sound card (0) with one device (0)");
        return -ENODEV;
    }
    auto pcm = std::make_unique<BoardPcm>(stream);
    std::string why;
    if (!pcm->link.Open(&why)) {
        SNDERR("board sound card: %s", why.c_str());
        return -ENODEV;
    }
    if (!pcm->clock.ok())
        return -errno;
    snd_pcm_ioplug_t& io = pcm->io;
    io.version = SND_PCM_IOPLUG_VERSION;
    io.name = "KESTRA7 board sound card (CS42L51)";
    io.callback = &kCallbacks;
    io.private_data = pcm.get();
    io.poll_fd = pcm->clock.fd();
    io.poll_events = POLLIN;  // the timer is readable; poll_revents says what it means
    io.mmap_rw = 0;
    io.flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA | SND_PCM_IOPLUG_FLAG_MONOTONIC;
    int err = snd_pcm_ioplug_create(&io, name, stream, mode);
    if (err < 0)
        return err;
    err = SetConstraints(&io);
    if (err < 0) {
        snd_pcm_ioplug_delete(&io);  // its close callback frees the object
        pcm.release();
        return err;
    }
    pcm->Opened();
    *pcmp = io.pcm;
    pcm.release();
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(vrec)

}  // extern "C"
