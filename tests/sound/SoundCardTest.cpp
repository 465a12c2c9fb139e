// The board's sound card as a real ALSA device: negotiation, pacing, formats,
// mixer controls acting on the sound, the line output record, xruns, and
// the ALSA utilities pointed at it.
#include "sim/board/Board.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/sound/Alsa.h"
#include "tests/sound/Signal.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using namespace vrec::test;
using vrec::sound::Input;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The codec's serial data comes one slot late: frame i holds the right
// sample of frame i - 1 and the left of frame i. Returns the inputs' order.
Stereo InInputOrder(const Stereo& slots)
{
    Stereo s;
    for (size_t i = 0; i + 1 < slots.left.size(); ++i) {
        s.left.push_back(slots.right[i]);
        s.right.push_back(slots.left[i + 1]);
    }
    return s;
}

class SoundCardTest : public BoardTest
{
protected:
    vrec::board::SoundCard& card() { return vrec::board::Board::Get().state().sound; }

    // Captures seconds of sound in the inputs' order.
    Stereo Capture(double seconds, snd_pcm_format_t format = SND_PCM_FORMAT_S24_3LE, unsigned rate = 48000,
                   const char* device = "plughw:0,0")
    {
        AlsaPcm pcm(device, SND_PCM_STREAM_CAPTURE);
        EXPECT_EQ(pcm.openError(), 0) << snd_strerror(pcm.openError());
        EXPECT_EQ(pcm.Configure(format, rate, rate / 200, 500000), 0);
        std::vector<uint8_t> data = pcm.Read(static_cast<size_t>(seconds * rate));
        EXPECT_EQ(pcm.lastError(), 0) << snd_strerror(static_cast<int>(pcm.lastError()));
        int bits = format == SND_PCM_FORMAT_S16_LE ? 16 : 24;
        return InInputOrder(Unpack(data.data(), data.size(), bits));
    }

    WavData Played()
    {
        WavData wav;
        EXPECT_TRUE(ReadWav(BoardRoot() + "/sound/played.wav", &wav));
        return wav;
    }
};

TEST_F(SoundCardTest, OffersTheCodecsFormatsRatesAndChannels)
{
    AlsaPcm pcm("hw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.openError(), 0) << snd_strerror(pcm.openError());
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    ASSERT_GE(snd_pcm_hw_params_any(pcm.get(), hw), 0);
    for (unsigned rate : {44100u, 48000u, 96000u})
        EXPECT_EQ(snd_pcm_hw_params_test_rate(pcm.get(), hw, rate, 0), 0) << rate;
    EXPECT_LT(snd_pcm_hw_params_test_rate(pcm.get(), hw, 32000, 0), 0);
    EXPECT_EQ(snd_pcm_hw_params_test_format(pcm.get(), hw, SND_PCM_FORMAT_S16_LE), 0);
    EXPECT_EQ(snd_pcm_hw_params_test_format(pcm.get(), hw, SND_PCM_FORMAT_S24_3LE), 0);
    EXPECT_LT(snd_pcm_hw_params_test_format(pcm.get(), hw, SND_PCM_FORMAT_S32_LE), 0);
    EXPECT_EQ(snd_pcm_hw_params_test_channels(pcm.get(), hw, 2), 0);
    EXPECT_LT(snd_pcm_hw_params_test_channels(pcm.get(), hw, 1), 0);
    EXPECT_EQ(snd_pcm_hw_params_test_access(pcm.get(), hw, SND_PCM_ACCESS_RW_INTERLEAVED), 0);
    EXPECT_EQ(snd_pcm_hw_params_test_access(pcm.get(), hw, SND_PCM_ACCESS_MMAP_INTERLEAVED), 0);

    // Periods and buffers are negotiated: 5 ms periods in a 1 s buffer.
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 240, 1000000), 0);
    EXPECT_EQ(pcm.period(), 240u);
    EXPECT_EQ(pcm.buffer(), 48000u);
    EXPECT_EQ(card().capture.rate.load(), 48000);
    EXPECT_EQ(card().capture.bits.load(), 16);
    EXPECT_EQ(card().capture.periodFrames.load(), 240);
    EXPECT_EQ(card().capture.open.load(), 1);

    // Through plug any common format is converted.
    AlsaPcm plug("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(plug.openError(), 0);
    EXPECT_EQ(plug.Configure(SND_PCM_FORMAT_S32_LE, 32000, 320, 200000, 1), 0);
    EXPECT_EQ(plug.rate(), 32000u);
}

TEST_F(SoundCardTest, OtherCardsAndDevicesDoNotExist)
{
    AlsaPcm other("plughw:1,0", SND_PCM_STREAM_CAPTURE);
    EXPECT_LT(other.openError(), 0);
    AlsaPcm device("hw:0,1", SND_PCM_STREAM_CAPTURE);
    EXPECT_LT(device.openError(), 0);
}

TEST_F(SoundCardTest, TwoSecondsOfCaptureTakeTwoSeconds)
{
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 240, 500000), 0);
    auto start = Clock::now();
    std::vector<uint8_t> data = pcm.Read(96000);
    double elapsed = Seconds(start);
    EXPECT_EQ(pcm.lastError(), 0);
    EXPECT_EQ(data.size(), 96000u * 4);
    EXPECT_GT(elapsed, 1.97);
    EXPECT_LT(elapsed, 2.15);
    EXPECT_EQ(card().capture.running.load(), 1);
    EXPECT_GE(card().capture.frames.load(), 96000);
}

TEST_F(SoundCardTest, CaptureHearsTheBuiltInMicrophonesTone)
{
    SetTone(card(), Input::kBuiltInMics, 1000, -6.0, 440, -20.0);
    Stereo s = Capture(0.5);
    EXPECT_NEAR(Db(SineAmplitude(s.left, 1000, 48000)), -6.0, 0.05);
    EXPECT_LT(SineAmplitude(s.left, 440, 48000), 1e-4);
    EXPECT_NEAR(Db(SineAmplitude(s.right, 440, 48000)), -20.0, 0.05);
    EXPECT_NEAR(ZeroCrossingHz(s.left, 48000), 1000, 2);
}

TEST_F(SoundCardTest, CodecDeliversTheChannelsOneSlotLate)
{
    // Equal tones on both inputs: in the inputs' order the channels match
    // sample for sample, in the slots' order they do not.
    SetTone(card(), Input::kBuiltInMics, 997, -3.0, 997, -3.0);
    AlsaPcm pcm("hw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S24_3LE, 48000, 240, 500000), 0);
    std::vector<uint8_t> data = pcm.Read(4800);
    Stereo slots = Unpack(data.data(), data.size(), 24);
    Stereo in = InInputOrder(slots);
    size_t differentSlots = 0;
    for (size_t i = 0; i < in.left.size(); ++i) {
        EXPECT_EQ(in.left[i], in.right[i]) << i;
        differentSlots += slots.left[i] != slots.right[i];
    }
    EXPECT_GT(differentSlots, in.left.size() / 2);
}

TEST_F(SoundCardTest, SixteenTwentyFourAndConvertedFormatsCarryTheSameLevel)
{
    SetTone(card(), Input::kBuiltInMics, 1000, -10.0, 1000, -10.0);
    EXPECT_NEAR(Db(SineAmplitude(Capture(0.2, SND_PCM_FORMAT_S16_LE).left, 1000, 48000)), -10.0, 0.05);
    EXPECT_NEAR(Db(SineAmplitude(Capture(0.2, SND_PCM_FORMAT_S24_3LE, 96000).left, 1000, 96000)), -10.0, 0.05);
    EXPECT_NEAR(Db(SineAmplitude(Capture(0.2, SND_PCM_FORMAT_S24_3LE, 44100).left, 1000, 44100)), -10.0, 0.05);

    // S32 at 32 kHz through plug: converted and resampled.
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S32_LE, 32000, 160, 500000), 0);
    std::vector<uint8_t> data = pcm.Read(6400);
    ASSERT_EQ(pcm.lastError(), 0);
    std::vector<double> left;
    const int32_t* p = reinterpret_cast<const int32_t*>(data.data());
    for (size_t i = 0; i < data.size() / 8; ++i)
        left.push_back(p[2 * i] / 2147483648.0);
    EXPECT_NEAR(ZeroCrossingHz(left, 32000), 1000, 3);
    EXPECT_NEAR(Db(Peak(left, 1000)), -10.0, 0.5);
}

TEST_F(SoundCardTest, MixerHoldsTheCodecsControls)
{
    AlsaMixer mixer;
    ASSERT_TRUE(mixer.ok());
    snd_mixer_elem_t* dac = mixer.Find("Line out DAC");
    ASSERT_NE(dac, nullptr);
    long min = -1, max = -1;
    EXPECT_TRUE(snd_mixer_selem_has_playback_volume(dac));
    EXPECT_FALSE(snd_mixer_selem_has_capture_volume(dac));
    snd_mixer_selem_get_playback_volume_range(dac, &min, &max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 120);
    snd_mixer_elem_t* pga = mixer.Find("Capture PGA");
    ASSERT_NE(pga, nullptr);
    EXPECT_TRUE(snd_mixer_selem_has_capture_volume(pga));
    snd_mixer_selem_get_capture_volume_range(pga, &min, &max);
    EXPECT_EQ(max, 48);

    using Items = std::vector<std::string>;
    EXPECT_EQ(mixer.Items("ExCap"), (Items{"Off", "On"}));
    EXPECT_EQ(mixer.Items("Zero Output"), (Items{"Disable", "Enable"}));
    EXPECT_EQ(mixer.Items("DAC Mute"), (Items{"Off", "On"}));
    EXPECT_EQ(mixer.Items("ADC Mute"), (Items{"Off", "On"}));
    EXPECT_EQ(mixer.Items("Capture Source Select"), (Items{"Inner_Mic", "Ext_Mic", "Ext_Mic_Bias", "Line"}));
    EXPECT_EQ(mixer.Items("Mic Gain"), (Items{"Low", "Mid", "High"}));
    EXPECT_EQ(mixer.Items("Capture Level Ctrl"), (Items{"Off", "Auto", "Limiter"}));
    EXPECT_EQ(mixer.Items("Speaker Ctrl"), (Items{"Off", "On"}));
    EXPECT_EQ(mixer.Items("Zero Cross"), (Items{"Off", "On"}));
    EXPECT_EQ(mixer.Items("Reg. dump"), (Items{"Disable", "Enable"}));

    // Values land in the board's state, where the PCM side and the front
    // end see them.
    ASSERT_TRUE(mixer.SetEnum("Speaker Ctrl", "On"));
    EXPECT_EQ(card().mixer.speaker.load(), 1);
    ASSERT_TRUE(mixer.SetEnum("Capture Source Select", "Ext_Mic_Bias"));
    EXPECT_EQ(card().mixer.captureSource.load(), 2);
    EXPECT_EQ(snd_mixer_selem_set_playback_volume_all(dac, 60), 0);
    EXPECT_EQ(card().mixer.lineOutDac.load(), 60);
}

TEST_F(SoundCardTest, CaptureControlsActOnTheSound)
{
    SetTone(card(), Input::kBuiltInMics, 1000, -30.0, 1000, -30.0);
    SetTone(card(), Input::kExternal, 500, -20.0, 500, -20.0);
    AlsaMixer mixer;
    ASSERT_TRUE(mixer.ok());
    auto level = [this](double hz) { return Db(SineAmplitude(Capture(0.15).left, hz, 48000)); };

    EXPECT_NEAR(level(1000), -30.0, 0.05);
    snd_mixer_selem_set_capture_volume_all(mixer.Find("Capture PGA"), 36);  // +6 dB
    EXPECT_NEAR(level(1000), -24.0, 0.05);
    snd_mixer_selem_set_capture_volume_all(mixer.Find("Capture PGA"), 0);  // -12 dB
    EXPECT_NEAR(level(1000), -42.0, 0.05);
    snd_mixer_selem_set_capture_volume_all(mixer.Find("Capture PGA"), 24);
    ASSERT_TRUE(mixer.SetEnum("Mic Gain", "High"));  // +20 dB on microphones
    EXPECT_NEAR(level(1000), -10.0, 0.05);
    ASSERT_TRUE(mixer.SetEnum("Mic Gain", "Mid"));  // +10 dB
    EXPECT_NEAR(level(1000), -20.0, 0.05);

    // The external jack is another input; the microphone gain does not
    // apply to the line input.
    ASSERT_TRUE(mixer.SetEnum("Capture Source Select", "Line"));
    EXPECT_NEAR(level(500), -20.0, 0.05);
    EXPECT_LT(SineAmplitude(Capture(0.1).left, 1000, 48000), 1e-4);
    ASSERT_TRUE(mixer.SetEnum("Capture Source Select", "Ext_Mic_Bias"));
    EXPECT_NEAR(level(500), -10.0, 0.05);
    ASSERT_TRUE(mixer.SetEnum("Mic Gain", "Low"));
    card().externalNeedsBias = 1;
    EXPECT_NEAR(level(500), -20.0, 0.05);
    ASSERT_TRUE(mixer.SetEnum("Capture Source Select", "Ext_Mic"));
    EXPECT_NEAR(level(500), -60.0, 0.1);  // an electret without plug-in power

    // The ADC mute silences a running capture; a new stream unmutes, as
    // the codec's driver does.
    ASSERT_TRUE(mixer.SetEnum("Capture Source Select", "Inner_Mic"));
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 240, 200000), 0);
    pcm.Read(2400);
    ASSERT_TRUE(mixer.SetEnum("ADC Mute", "On"));
    pcm.Read(9600);  // what was captured before the mute
    std::vector<uint8_t> muted = pcm.Read(4800);
    EXPECT_EQ(Peak(Unpack(muted.data(), muted.size(), 16).left), 0.0);
    EXPECT_NEAR(Db(SineAmplitude(Capture(0.1).left, 1000, 48000)), -30.0, 0.05);
    EXPECT_EQ(card().mixer.adcMute.load(), 0);
}

TEST_F(SoundCardTest, LimiterAndAutomaticLevelControlTheCaptureLevel)
{
    AlsaMixer mixer;
    ASSERT_TRUE(mixer.ok());
    SetTone(card(), Input::kBuiltInMics, 1000, -1.0, 1000, -1.0);
    snd_mixer_selem_set_capture_volume_all(mixer.Find("Capture PGA"), 36);  // +5 dBFS: clips
    EXPECT_NEAR(Peak(Capture(0.1).left), 1.0, 0.001);
    ASSERT_TRUE(mixer.SetEnum("Capture Level Ctrl", "Limiter"));
    Stereo limited = Capture(0.3);
    EXPECT_LT(Db(Peak(limited.left, 2400)), -2.9);
    EXPECT_GT(Db(Peak(limited.left, 2400)), -4.0);

    // Automatic level brings loud and quiet sound to about -12 dBFS.
    ASSERT_TRUE(mixer.SetEnum("Capture Level Ctrl", "Auto"));
    snd_mixer_selem_set_capture_volume_all(mixer.Find("Capture PGA"), 24);
    Stereo loud = Capture(0.5);
    EXPECT_NEAR(Db(Peak(loud.left, 24000 - 4800)), -12.0, 1.5);
    SetTone(card(), Input::kBuiltInMics, 1000, -26.0, 1000, -26.0);
    Stereo quiet = Capture(2.5);
    EXPECT_NEAR(Db(Peak(quiet.left, quiet.left.size() - 4800)), -12.0, 2.0);
}

TEST_F(SoundCardTest, PlaybackIsPacedAndRecordedOnTheLineOutput)
{
    std::vector<uint8_t> tone = PackSine(16, 48000, 48000, 440, 0.5, 880, 0.25);
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 960, 100000), 0);
    auto start = Clock::now();
    ASSERT_TRUE(pcm.Write(tone));
    EXPECT_EQ(snd_pcm_drain(pcm.get()), 0);
    double elapsed = Seconds(start);
    EXPECT_GT(elapsed, 0.97);
    EXPECT_LT(elapsed, 1.15);
    WavData played = Played();
    EXPECT_EQ(played.rate, 48000);
    EXPECT_EQ(played.bits, 16);
    EXPECT_EQ(played.channels, 2);
    EXPECT_EQ(played.data.size(), tone.size());
    EXPECT_TRUE(played.data == tone);
    EXPECT_EQ(card().playback.frames.load(), 48000);
}

TEST_F(SoundCardTest, PlaybackControlsActOnTheLineOutput)
{
    AlsaMixer mixer;
    ASSERT_TRUE(mixer.ok());
    snd_mixer_selem_set_playback_volume_all(mixer.Find("Line out DAC"), 108);  // -6 dB
    std::vector<uint8_t> tone = PackSine(24, 96000, 9600, 1000, 0.5, 1000, 0.5);
    {
        AlsaPcm pcm("hw:0,0", SND_PCM_STREAM_PLAYBACK);
        ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S24_3LE, 96000, 480, 100000), 0);
        ASSERT_TRUE(pcm.Write(tone));
        snd_pcm_drain(pcm.get());
    }
    WavData played = Played();
    EXPECT_EQ(played.bits, 24);
    EXPECT_NEAR(Db(SineAmplitude(Unpack(played.data.data(), played.data.size(), 24).left, 1000, 96000)), -12.0, 0.05);

    // A mute set while no stream runs holds until the next stream is set up.
    ASSERT_TRUE(mixer.SetEnum("Zero Output", "Enable"));
    AlsaPcm pcm("hw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S24_3LE, 96000, 480, 100000), 0);
    EXPECT_EQ(card().mixer.zeroOutput.load(), 0);
    ASSERT_TRUE(mixer.SetEnum("DAC Mute", "On"));
    ASSERT_TRUE(pcm.Write(tone));
    snd_pcm_drain(pcm.get());
    played = Played();
    ASSERT_EQ(played.data.size(), 2 * tone.size());
    std::vector<uint8_t> second(played.data.begin() + static_cast<long>(tone.size()), played.data.end());
    EXPECT_EQ(Peak(Unpack(second.data(), second.size(), 24).left), 0.0);
}

TEST_F(SoundCardTest, ReaderTooLateOverruns)
{
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 240, 85000), 0);
    pcm.Read(480);
    ASSERT_EQ(pcm.lastError(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    pcm.Read(240);
    EXPECT_EQ(pcm.lastError(), -EPIPE);
    EXPECT_EQ(snd_pcm_state(pcm.get()), SND_PCM_STATE_XRUN);
    EXPECT_EQ(card().capture.xruns.load(), 1u);
    ASSERT_EQ(snd_pcm_prepare(pcm.get()), 0);
    pcm.Read(2400);
    EXPECT_EQ(pcm.lastError(), 0);
}

TEST_F(SoundCardTest, WriterTooLateUnderruns)
{
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 480, 50000, 2, 480), 0);
    std::vector<uint8_t> block(960 * 4, 0);
    ASSERT_TRUE(pcm.Write(block));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(pcm.Write(block));
    EXPECT_EQ(pcm.lastError(), -EPIPE);
    ASSERT_EQ(snd_pcm_prepare(pcm.get()), 0);
    EXPECT_TRUE(pcm.Write(block));
}

TEST_F(SoundCardTest, DelayCountsTheQueuedFrames)
{
    AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 480, 500000), 0);
    ASSERT_TRUE(pcm.Write(std::vector<uint8_t>(9600 * 4, 0)));
    snd_pcm_sframes_t delay = 0;
    ASSERT_EQ(snd_pcm_delay(pcm.get(), &delay), 0);
    EXPECT_EQ(delay, 9600);  // not started: the start threshold is the buffer
    ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(snd_pcm_delay(pcm.get(), &delay), 0);
    EXPECT_NEAR(delay, 9600 - 4800, 600);
}

TEST_F(SoundCardTest, BoardInjectsOverrunUnderrunAndSuspend)
{
    AlsaPcm capture("plughw:0,0", SND_PCM_STREAM_CAPTURE);
    ASSERT_EQ(capture.Configure(SND_PCM_FORMAT_S16_LE, 48000, 240, 500000), 0);
    capture.Read(480);
    vrec::sound::InjectOverrun(card());
    capture.Read(480);
    EXPECT_EQ(capture.lastError(), -EPIPE);
    ASSERT_EQ(snd_pcm_prepare(capture.get()), 0);
    capture.Read(480);
    EXPECT_EQ(capture.lastError(), 0);

    vrec::sound::InjectSuspend(card());
    capture.Read(480);
    EXPECT_EQ(capture.lastError(), -ESTRPIPE);
    EXPECT_EQ(snd_pcm_state(capture.get()), SND_PCM_STATE_SUSPENDED);
    EXPECT_EQ(snd_pcm_resume(capture.get()), 0);
    auto start = Clock::now();
    capture.Read(4800);
    EXPECT_EQ(capture.lastError(), 0);
    EXPECT_GT(Seconds(start), 0.08);  // paced again after the resume

    AlsaPcm playback("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
    ASSERT_EQ(playback.Configure(SND_PCM_FORMAT_S16_LE, 48000, 480, 100000, 2, 480), 0);
    std::vector<uint8_t> block(2400 * 4, 0);
    ASSERT_TRUE(playback.Write(block));
    vrec::sound::InjectUnderrun(card());
    EXPECT_FALSE(playback.Write(block) && playback.Write(block));
    EXPECT_EQ(playback.lastError(), -EPIPE);
}

TEST_F(SoundCardTest, SourcesToneNoiseWavFileAndSilence)
{
    // A mono 22.05 kHz file, resampled to the stream and looped.
    std::string path = BoardRoot() + "/source.wav";
    std::vector<uint8_t> stereo = PackSine(16, 22050, 22050 / 10, 300, 0.25, 300, 0.25);
    std::vector<uint8_t> mono;
    for (size_t i = 0; i < stereo.size(); i += 4) {
        mono.push_back(stereo[i]);
        mono.push_back(stereo[i + 1]);
    }
    ASSERT_TRUE(WriteWav(path, 22050, 16, 1, mono));
    ASSERT_TRUE(SetWavFile(card(), Input::kBuiltInMics, path));
    Stereo s = Capture(0.5);  // five times round the 100 ms file
    EXPECT_NEAR(Db(SineAmplitude(s.left, 300, 48000)), Db(0.25), 0.1);
    EXPECT_NEAR(Db(SineAmplitude(s.right, 300, 48000)), Db(0.25), 0.1);

    SetNoise(card(), Input::kBuiltInMics, -10.0, -10.0);
    s = Capture(0.3);
    double amplitude = std::pow(10.0, -0.5);
    EXPECT_LE(Peak(s.left), amplitude + 1e-6);
    EXPECT_NEAR(Rms(s.left) / (amplitude / std::sqrt(3.0)), 1.0, 0.05);
    EXPECT_NEAR(Rms(s.right) / (amplitude / std::sqrt(3.0)), 1.0, 0.05);

    SetSilence(card(), Input::kBuiltInMics);
    s = Capture(0.1);
    EXPECT_EQ(Peak(s.left), 0.0);
    EXPECT_EQ(Peak(s.right), 0.0);

    // A file that is not there: silence and a clear message.
    testing::internal::CaptureStderr();
    ASSERT_TRUE(SetWavFile(card(), Input::kBuiltInMics, BoardRoot() + "/missing.wav"));
    s = Capture(0.1);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Peak(s.left), 0.0);
    EXPECT_NE(errors.find("missing.wav"), std::string::npos) << errors;
}

TEST_F(SoundCardTest, HostCaptureAndSpeakersRunTheirCommands)
{
    // Stand-ins for the host's devices: sox makes the host's sound, cat
    // takes what the speakers would play.
    std::string heard = BoardRoot() + "/speakers.raw";
    setenv("VRECSIM_HOST_CAPTURE",
           "exec sox -q -n -t raw -r \"$VREC_SOUND_RATE\" -e signed -b 16 -c 2 - synth 3 sine 700", 1);
    setenv("VRECSIM_HOST_PLAYBACK", ("exec cat > " + heard).c_str(), 1);
    vrec::sound::SetHostCapture(card(), Input::kBuiltInMics);
    Stereo s = Capture(0.5);
    EXPECT_GT(SineAmplitude(s.left, 700, 48000, 12000), 0.5);

    vrec::sound::SetHostSpeakers(card(), true);
    std::vector<uint8_t> tone = PackSine(16, 48000, 4800, 440, 0.5, 440, 0.5);
    {
        AlsaPcm pcm("plughw:0,0", SND_PCM_STREAM_PLAYBACK);
        ASSERT_EQ(pcm.Configure(SND_PCM_FORMAT_S16_LE, 48000, 480, 50000), 0);
        ASSERT_TRUE(pcm.Write(tone)) << snd_strerror(static_cast<int>(pcm.lastError()));
        snd_pcm_drain(pcm.get());
    }
    unsetenv("VRECSIM_HOST_CAPTURE");
    unsetenv("VRECSIM_HOST_PLAYBACK");
    std::string raw = ReadFile(heard);
    EXPECT_EQ(raw.size(), tone.size());
    EXPECT_TRUE(raw == std::string(tone.begin(), tone.end()));
}

TEST_F(SoundCardTest, ArecordAndAplayReachTheBoardCard)
{
    SetTone(card(), Input::kBuiltInMics, 1000, -6.0, 1000, -6.0);
    std::string file = BoardRoot() + "/arecord.wav";
    auto start = Clock::now();
    ASSERT_EQ(std::system(("arecord -q -D plughw:0,0 -f S16_LE -r 44100 -c 2 -d 1 " + file).c_str()), 0);
    EXPECT_GT(Seconds(start), 0.95);
    WavData recorded;
    ASSERT_TRUE(ReadWav(file, &recorded));
    EXPECT_EQ(recorded.rate, 44100);
    EXPECT_EQ(recorded.data.size(), 44100u * 4);
    Stereo s = InInputOrder(Unpack(recorded.data.data(), recorded.data.size(), 16));
    EXPECT_NEAR(Db(SineAmplitude(s.left, 1000, 44100)), -6.0, 0.05);

    start = Clock::now();
    ASSERT_EQ(std::system(("aplay -q -D plughw:0,0 " + file).c_str()), 0);
    EXPECT_GT(Seconds(start), 0.95);
    WavData played = Played();
    EXPECT_EQ(played.rate, 44100);
    ASSERT_GE(played.data.size(), recorded.data.size());
    EXPECT_TRUE(std::equal(recorded.data.begin(), recorded.data.end(), played.data.begin()));
}

TEST_F(SoundCardTest, DevicesAmixerReachesTheBoardCard)
{
    // The device's amixer is the board's tool on the PATH the board gives.
    FILE* out = popen("amixer sset 'Mic Gain' High 2>&1 && amixer sset 'Reg. dump' Enable 2>&1", "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char line[256];
    while (fgets(line, sizeof(line), out))
        text += line;
    EXPECT_EQ(pclose(out), 0) << text;
    EXPECT_EQ(card().mixer.micGain.load(), 2);
    EXPECT_NE(text.find("cs42l51: R05 = 0x40"), std::string::npos) << text;
}

}  // namespace
