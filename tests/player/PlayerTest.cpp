// The player in real time on the board's sound card: what the line output
// played, sample for sample, against the file; pause, stop, cue and review,
// the I/O loop, the level meter's delay, refused files and the HDMI format.
#include "DrvLib/Hdmi.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "tests/media/support/MovFixture.h"
#include "tests/player/PlayerFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

using namespace vrec::test;

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class PlayerSoundExactTest : public PlayerTest, public ::testing::WithParamInterface<Format>
{
};

// The board's line output holds the file's sound sample for sample, one
// channel slot late (the codec's serial port is fed one slot early).
TEST_P(PlayerSoundExactTest, AWavPlaysSampleForSample)
{
    const Format f = GetParam();
    const std::vector<uint8_t> sound = NoisePcm(f.bits, f.channels, f.rate, f.rate + f.bits);
    ASSERT_TRUE(Play(PutWav("KS0001.wav", f.rate, f.bits, f.channels, sound), ACTION_MODE_SOUND));
    EXPECT_EQ(PL_GetDuration(), 1000);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    WavData played = Played();
    EXPECT_EQ(played.rate, f.rate);
    EXPECT_EQ(played.bits, f.bits);
    std::vector<int32_t> source = Samples(sound, f.bits);
    if (f.channels == 1) {
        // The card plays mono on both channels.
        std::vector<int32_t> both;
        for (int32_t s : source) {
            both.push_back(s);
            both.push_back(s);
        }
        source = both;
    }
    EXPECT_EQ(FindCopy(Samples(played.data, f.bits), source, 64), f.channels == 2 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerSoundExactTest,
                         ::testing::Values(Format{48000, 16, 2}, Format{96000, 24, 2}, Format{44100, 16, 1}));

// A movie of the recorder's form: its sound track plays sample for sample.
TEST_F(PlayerTest, AMovieSoundTrackPlaysSampleForSample)
{
    std::unique_ptr<ScriptedCreator> creator = std::make_unique<ScriptedCreator>();
    RecorderVideo video;
    std::string error;
    ASSERT_TRUE(EncodeRecorderVideo(640, 480, 30, &video, &error)) << error;
    const std::vector<uint8_t> sound = NoisePcm(24, 2, 48000, 5);
    creator->QueueRecording(video, 30, 48000, sound, 6);
    ASSERT_EQ(creator->Create("/sdcard/KS0001.MOV", 640, 480, 30, 48000, 24, 2), MOV_EXIT_STOPPED);

    ASSERT_TRUE(Play("/sdcard/KS0001.MOV", ACTION_MODE_MOVIE));
    EXPECT_EQ(g_nVideoPlayWidth, 640);
    EXPECT_EQ(g_nVideoPlayFps, 30);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    WavData played = Played();
    EXPECT_EQ(played.bits, 24);
    EXPECT_EQ(FindCopy(Samples(played.data, 24), Samples(sound, 24), 64), 1);
}

// Files written by other programs play as they are: the reference sound is
// what ffmpeg or sox itself decodes from them.
TEST_F(PlayerTest, FilesFromFfmpegAndSoxPlaySampleForSample)
{
    struct Case
    {
        const char* name;
        const char* make;     // command that writes the file ("%s" is its path)
        const char* decode;   // command that writes its sound as raw PCM
        int bits;
        int mode;
    };
    const Case cases[] = {
        {"FF16.MOV",
         "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
         "anoisesrc=r=48000:a=0.3 -t 1 -c:v mpeg4 -bf 0 -ac 2 -c:a pcm_s16le '%s'",
         "ffmpeg -nostdin -v error -i '%s' -f s16le -", 16, ACTION_MODE_MOVIE},
        {"FF24.MOV",
         "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
         "anoisesrc=r=44100:a=0.3 -t 1 -c:v mpeg4 -bf 0 -ac 2 -c:a pcm_s24le '%s'",
         "ffmpeg -nostdin -v error -i '%s' -f s24le -", 24, ACTION_MODE_MOVIE},
        {"SOX.WAV", "sox -n -r 44100 -b 16 -c 2 '%s' synth 1 whitenoise vol 0.3",
         "sox '%s' -t raw -", 16, ACTION_MODE_SOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string device = std::string("/sdcard/") + c.name;
        char command[512];
        std::string out;
        snprintf(command, sizeof(command), c.make, HostPath(device).c_str());
        ASSERT_EQ(RunCommand(command, &out, true), 0) << out;
        std::string raw;
        snprintf(command, sizeof(command), c.decode, HostPath(device).c_str());
        ASSERT_EQ(RunCommand(command, &raw, false), 0);
        ASSERT_TRUE(Play(device, c.mode));
        ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
        WavData played = Played();
        EXPECT_EQ(FindCopy(Samples(played.data, c.bits), Samples(std::vector<uint8_t>(raw.begin(), raw.end()), c.bits),
                           64),
                  1);
        // The next file's format moves this record aside.
        std::remove((BoardRoot() + "/sound/played.wav").c_str());
    }
}

// Damaged and foreign files give error 2 (a missing one 1) and the player
// goes on playing good files.
TEST_F(PlayerTest, DamagedAndForeignFilesAreRefusedAndThePlayerStaysUsable)
{
    const std::vector<uint8_t> noise = NoisePcm(16, 2, 4800, 1);
    const std::string good = PutWav("GOOD.WAV", 48000, 16, 2, noise);
    std::string out;
    // Runs a command that writes the file named by its "%s".
    auto make = [&](const std::string& name, const std::string& command) {
        const std::string path = "'" + HostPath("/sdcard/" + name) + "'";
        std::string line = command;
        line.replace(line.find("%s"), 2, path);
        EXPECT_EQ(RunCommand(line, &out, true), 0) << line << "\n" << out;
        return "/sdcard/" + name;
    };
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
                               "sine=sample_rate=48000 -t 1 -bf 0 ";
    std::vector<std::string> refused = {
        make("H264.MOV", ffmpeg + "-c:v libx264 -preset ultrafast -c:a pcm_s16le %s"),
        make("AAC.MOV", ffmpeg + "-c:v mpeg4 -c:a aac %s"),
        make("EIGHT.WAV", "sox -n -r 48000 -b 8 -c 2 %s synth 0.5 sine 440"),
        // sox writes 24 bits with the extensible format header
        make("EXT24.WAV", "sox -n -r 48000 -b 24 -c 2 %s synth 0.5 sine 440"),
        make("BIG.JPG", "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1920x1080 -frames:v 1 %s"),
        make("PROG.JPG", "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240 -frames:v 1 -f image2pipe "
                         "-c:v ppm - | cjpeg -progressive -outfile %s"),
        PutWav("NOTES.TXT", 48000, 16, 2, noise),
    };
    const std::string movie = make("CUT.MOV", ffmpeg + "-c:v mpeg4 -c:a pcm_s16le %s");
    const std::string bytes = ReadFile(HostPath(movie));
    WriteFile(HostPath(movie), bytes.substr(0, bytes.size() * 2 / 3));
    refused.push_back(movie);

    for (const std::string& path : refused) {
        EXPECT_EQ(PL_Open(path.c_str()), 0) << path;
        EXPECT_EQ(PL_GetErrorCode(), 2) << path;
        EXPECT_FALSE(PL_IsOpen()) << path;
    }
    EXPECT_EQ(PL_Open("/sdcard/NONE.WAV"), 0);
    EXPECT_EQ(PL_GetErrorCode(), 1);

    ASSERT_TRUE(Play(good, ACTION_MODE_SOUND));
    EXPECT_EQ(PL_GetErrorCode(), 0);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    EXPECT_EQ(FindCopy(Samples(Played().data, 16), Samples(noise, 16), 64), 1);
}

// A recording cut short by a power loss keeps its start header: its sizes
// say 0xFFFFFFFF. It plays to the real end of its data.
TEST_F(PlayerTest, ARecordingCutByAPowerLossPlaysToTheEndOfItsData)
{
    const std::vector<uint8_t> noise = NoisePcm(16, 2, 22050 + 7, 3);
    const std::string device = PutWav("KS0002.wav", 44100, 16, 2, noise);
    std::string bytes = ReadFile(HostPath(device));
    bytes.replace(4, 4, "\xFF\xFF\xFF\xFF");
    bytes.replace(40, 4, "\xFF\xFF\xFF\xFF");
    bytes += "xy";  // half a frame
    WriteFile(HostPath(device), bytes);
    ASSERT_TRUE(Play(device, ACTION_MODE_SOUND));
    EXPECT_EQ(PL_GetDuration(), 500);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    EXPECT_EQ(FindCopy(Samples(Played().data, 16), Samples(noise, 16), 64), 1);
}

TEST_F(PlayerTest, PauseHoldsThePositionAndStopReturnsToTheTop)
{
    const std::string device = PutWav("KS0003.wav", 48000, 16, 2, NoisePcm(16, 2, 48000 * 3, 4));
    // Pause on a stopped player starts play.
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_TRUE(PL_Open(device.c_str()));
    PL_Pause();
    EXPECT_TRUE(PL_IsPlaying());
    ASSERT_TRUE(WaitForPos(600, 5.0));
    PL_Pause();
    EXPECT_TRUE(PL_IsPausing());
    const int held = PL_GetPos();
    Sleep(400);
    EXPECT_EQ(PL_GetPos(), held);
    EXPECT_FALSE(g_bAudioRenderRunning);
    PL_Pause();
    EXPECT_TRUE(PL_IsPlaying());
    EXPECT_TRUE(g_bAudioRenderRunning);
    ASSERT_TRUE(WaitForPos(held + 300, 5.0));

    // A sound file stops at once; the position is back at the top by the
    // play thread's next pass.
    EXPECT_EQ(PL_Stop(STOP_BY_USER), 1);
    EXPECT_TRUE(PL_IsStop());
    EXPECT_EQ(PL_GetStopReason(), STOP_BY_USER);
    EXPECT_FALSE(g_bAudioRenderRunning);
    EXPECT_TRUE(WaitForStop(STOP_BY_USER, 1.0));
    Sleep(300);
    EXPECT_EQ(PL_GetPos(), 0);
}

TEST_F(PlayerTest, CueStopsAtTheEndReviewAtTheTopAndPlayResumesWhereACueEnds)
{
    const std::vector<uint8_t> noise = NoisePcm(16, 2, 48000 * 4, 5);
    const std::string device = PutWav("KS0004.wav", 48000, 16, 2, noise);
    ASSERT_TRUE(Play(device, ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForPos(300, 5.0));
    PL_SetSeekSpeed(10, 1);
    EXPECT_FALSE(g_bAudioRenderRunning);  // silent while cueing
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 5.0));
    PL_SetSeekSpeed(0, 0);

    ASSERT_TRUE(Play(device, ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForPos(1000, 5.0));
    PL_SetSeekSpeed(-10, 1);
    ASSERT_TRUE(WaitForStop(STOP_BY_TOP, 5.0));
    PL_SetSeekSpeed(0, 0);

    // Cue to about 2 s, then play on from there.
    std::remove((BoardRoot() + "/sound/played.wav").c_str());
    ASSERT_TRUE(Play(device, ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForPos(200, 5.0));
    PL_SetSeekSpeed(5, 1);
    ASSERT_TRUE(WaitForPos(2000, 5.0));
    PL_SetSeekSpeed(0, 1);
    EXPECT_TRUE(PL_IsPlaying());
    const int from = PL_GetPos();
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    // The sound after the cue is the file's from that position on.
    const size_t at = static_cast<size_t>(from) * 48 * 2;
    const std::vector<int32_t> source = Samples(noise, 16);
    std::vector<int32_t> rest(source.begin() + at, source.end());
    EXPECT_GE(FindCopy(Samples(Played().data, 16), rest, 48000 * 2), 0);
}

// With the loop on, the end of the loop goes back to its start and review
// at its start goes on from a second before its end; the sound is the
// loop's, sample for sample.
TEST_F(PlayerTest, TheIoLoopWraps)
{
    const std::vector<uint8_t> noise = NoisePcm(16, 2, 48000 * 4, 6);
    const std::string device = PutWav("KS0005.wav", 48000, 16, 2, noise);
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_TRUE(PL_Open(device.c_str()));
    g_ctrlIoRepeat.SetStartPos(1000);
    g_ctrlIoRepeat.SetEndPos(2000);
    g_ctrlIoRepeat.EnableLoop();
    PL_Play();
    int highest = 0, wraps = 0, last = 0;
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(3500);) {
        const int pos = PL_GetPos();
        highest = std::max(highest, pos);
        if (pos < last - 500)
            ++wraps;
        last = pos;
        Sleep(5);
    }
    EXPECT_TRUE(PL_IsPlaying());
    EXPECT_GE(wraps, 1);
    EXPECT_LE(highest, 2000);
    PL_Stop(STOP_BY_SYSTEM);

    // Played: 0 .. 2 s of the file, then 1 .. 2 s again and again.
    const std::vector<int32_t> source = Samples(noise, 16);
    const std::vector<int32_t> played = Samples(Played().data, 16);
    std::vector<int32_t> expected(source.begin(), source.begin() + 2 * 96000);
    expected.insert(expected.end(), source.begin() + 96000, source.begin() + 2 * 96000);
    EXPECT_EQ(FindCopy(played, expected, 64), 1);

    // Review reaching the loop's start: on from OUT - 1000 ms.
    g_ctrlIoRepeat.SetStartPos(500);
    g_ctrlIoRepeat.SetEndPos(3000);
    g_ctrlIoRepeat.EnableLoop();
    PL_Play();
    ASSERT_TRUE(WaitForPos(1200, 5.0));
    PL_SetSeekSpeed(-5, 1);
    // Down to 500 ms, then on from 2000 ms (and on reviewing).
    ASSERT_TRUE(WaitForPos(1600, 5.0));
    // The stop asked for at the top was refused: still playing.
    EXPECT_TRUE(PL_IsPlaying());
    EXPECT_EQ(PL_GetStopReason(), STOP_BY_TOP);
    PL_SetSeekSpeed(0, 0);
}

// The meter shows each block's peaks eight pushes (400 ms of output) after
// the block was written, in step with what is heard.
TEST_F(PlayerTest, TheLevelMeterLagsTheOutputByEightPushes)
{
    std::vector<uint8_t> sound(48000 * 4, 0);  // 1 s of silence
    std::vector<uint8_t> tone = PackSine(16, 48000, 48000, 1000, 0.9, 1000, 0.9);
    sound.insert(sound.end(), tone.begin(), tone.end());
    ASSERT_TRUE(Play(PutWav("KS0006.wav", 48000, 16, 2, sound), ACTION_MODE_SOUND));
    int seenAt = -1;
    while (!PL_IsStop() && seenAt < 0) {
        const bool loud = g_fAudioLevelL > -20.0f;
        const int pos = PL_GetPos();
        if (loud)
            seenAt = pos;
        else
            Sleep(1);
    }
    // The first loud block (1000 .. 1100 ms) is pushed at 1050 ms; the
    // meter takes it eight half-blocks later.
    EXPECT_GE(seenAt, 1450);
    EXPECT_LE(seenAt, 1800);
}

TEST_F(PlayerTest, SpeedIsTakenFromTheSettingsExceptForNinetySixKilohertzSound)
{
    SetParameter("/GLOBAL/ENABLE SPEED", 1.0f);
    SetParameter("/PB Control/SPEED", 1.3f);
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_TRUE(PL_Open(PutWav("A.WAV", 48000, 16, 2, NoisePcm(16, 2, 4800, 1)).c_str()));
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 130);
    ASSERT_TRUE(PL_Open(PutWav("B.WAV", 96000, 24, 2, NoisePcm(24, 2, 9600, 1)).c_str()));
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 100);
    SetParameter("/GLOBAL/ENABLE SPEED", 0.0f);
    ASSERT_TRUE(PL_Open(PutWav("C.WAV", 48000, 16, 2, NoisePcm(16, 2, 4800, 1)).c_str()));
    EXPECT_EQ(g_VsaFilter.GetReqSpeed(), 100);
}

// On HDMI the sound goes out as 16-bit frames (rounded from 24 bits) and
// the transmitter is told the format once.
TEST_F(PlayerTest, OnHdmiTwentyFourBitSoundPlaysAsSixteenBitFrames)
{
    ASSERT_EQ(HDIM_Init(), 1);
    vrec::board::HardwareState& state = vrec::board::Board::Get().state();
    state.hdmi.cable = 1;
    state.hdmi.sink = 1;
    g_bHdmi = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bDispHdmi != 0; }, 5.0));
    g_bSetAV_MuteOFF_Flag = 0;
    const std::vector<uint8_t> sound = NoisePcm(24, 2, 24000, 8);
    ASSERT_TRUE(Play(PutWav("KS0007.wav", 48000, 24, 2, sound), ACTION_MODE_SOUND));
    EXPECT_EQ(state.hdmi.audioBits.load(), 16);
    EXPECT_EQ(state.hdmi.audioRate.load(), 48000);
    EXPECT_EQ(g_bSetAV_MuteOFF_Flag, 1);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    EXPECT_EQ(state.hdmi.muted.load(), 1);  // muted again at the stop
    WavData played = Played();
    EXPECT_EQ(played.bits, 16);
    std::vector<int32_t> rounded;
    for (int32_t s : Samples(sound, 24))
        rounded.push_back(std::min(s + ((s & 0x80) ? 256 : 0), 0x7FFFFF) >> 8);
    EXPECT_EQ(FindCopy(Samples(played.data, 16), rounded, 64), 1);
    g_bHdmi = 0;
    ASSERT_TRUE(WaitUntil([] { return g_bDispHdmi == 0; }, 5.0));
    HDIM_Exit();
}

TEST_F(PlayerTest, DurationsAndInformationStrings)
{
    std::unique_ptr<ScriptedCreator> creator = std::make_unique<ScriptedCreator>();
    RecorderVideo video;
    std::string error;
    ASSERT_TRUE(EncodeRecorderVideo(640, 480, 30, &video, &error)) << error;
    // 1 s of video, 2 s of sound: the shorter is the movie's duration.
    creator->QueueRecording(video, 30, 48000, 24, 2, 2000);
    ASSERT_EQ(creator->Create("/sdcard/LONGSND.MOV", 640, 480, 30, 48000, 24, 2), MOV_EXIT_STOPPED);
    creator = std::make_unique<ScriptedCreator>();
    creator->QueueRecording(video, 30, 44100, 16, 2, 500);
    ASSERT_EQ(creator->Create("/sdcard/SHORTSND.MOV", 640, 480, 30, 44100, 16, 2), MOV_EXIT_STOPPED);

    SetActionMode(ACTION_MODE_MOVIE);
    ASSERT_TRUE(PL_Open("/sdcard/LONGSND.MOV"));
    EXPECT_EQ(PL_GetDuration(), 1000);
    char szVideo[64], szAudio[64];
    PL_GetInfoStr(szVideo, szAudio);
    EXPECT_STREQ(szAudio, "24bit,STEREO,48k");
    EXPECT_EQ(std::string(szVideo).rfind("VGA,30fps,", 0), 0u) << szVideo;
    double mbps = std::atof(szVideo + 10);
    const double expected = (PL_GetFileSize() * 1000.0 / 1000 - 6.0 * 48000) * 8 / 1e6;
    EXPECT_NEAR(mbps, expected, 0.006) << szVideo;

    ASSERT_TRUE(PL_Open("/sdcard/SHORTSND.MOV"));
    EXPECT_EQ(PL_GetDuration(), 500);
    PL_GetInfoStr(szVideo, szAudio);
    EXPECT_STREQ(szAudio, "16bit,STEREO,44.1K");

    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_TRUE(PL_Open(PutWav("MONO.WAV", 44100, 16, 1, NoisePcm(16, 1, 44100 * 3 / 2, 2)).c_str()));
    EXPECT_EQ(PL_GetDuration(), 1500);
    PL_GetInfoStr(szVideo, szAudio);
    EXPECT_STREQ(szVideo, "");
    EXPECT_STREQ(szAudio, "16bit,MONO,44.1K");
    char szTitle[256];
    PL_GetTitle(szTitle);
    EXPECT_STREQ(szTitle, "MONO.WAV");
    // The last file and mode are kept for the next power-on.
    char szLast[256];
    GetParameter("/LOCAL/LastFile", szLast);
    EXPECT_STREQ(szLast, "/MONO.WAV");
    EXPECT_EQ(GetParameter("/GLOBAL/LastMode", nullptr), 1.0f);
}

// A sound file has no frame to keep: the stop that keeps the first frame
// ends at once, with the player stopped at the top.
TEST_F(PlayerTest, KeepStopOfASoundFileEndsAtOnce)
{
    SetActionMode(ACTION_MODE_SOUND);
    g_bKeepStop = 1;
    ASSERT_TRUE(PL_Open(PutWav("KS0008.wav", 48000, 16, 2, NoisePcm(16, 2, 48000, 1)).c_str()));
    PL_Play();
    EXPECT_EQ(PL_WaitKeepStop(), 1);
    EXPECT_TRUE(PL_IsStop());
    EXPECT_EQ(PL_GetStopReason(), STOP_BY_KEEP);
    EXPECT_FALSE(g_bAudioRenderRunning);
    EXPECT_EQ(PL_GetPos(), 0);
}

// A new position while playing: the sound goes on from there.
TEST_F(PlayerTest, ASeekWhilePlayingGoesOnFromTheNewPosition)
{
    const std::vector<uint8_t> noise = NoisePcm(16, 2, 48000 * 3, 9);
    ASSERT_TRUE(Play(PutWav("KS0009.wav", 48000, 16, 2, noise), ACTION_MODE_SOUND));
    ASSERT_TRUE(WaitForPos(400, 5.0));
    PL_SetPos(2000);
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    // The play thread may move the position once more (one block) between
    // the request and its next pass.
    const std::vector<int32_t> source = Samples(noise, 16);
    std::vector<int32_t> rest(source.begin() + 2100 * 96, source.end());
    const long at = FindCopy(Samples(Played().data, 16), rest, 96000);
    EXPECT_GE(at, 400 * 96);
}

// A movie without a sound track runs on the clock and ends.
TEST_F(PlayerTest, AMovieWithoutSoundRunsOnTheClock)
{
    std::string out;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -t 1 -c:v mpeg4 '" +
                             HostPath("/sdcard/SILENT.MOV") + "'",
                         &out, true),
              0)
        << out;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Play("/sdcard/SILENT.MOV", ACTION_MODE_MOVIE));
    EXPECT_EQ(PL_GetDuration(), 1000);
    ASSERT_TRUE(WaitForPos(500, 5.0));
    ASSERT_TRUE(WaitForStop(STOP_BY_END, 10.0));
    // Its 1 s and the half second the end waits: not much less.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
}

}  // namespace
