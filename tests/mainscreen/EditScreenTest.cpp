// Divide and dub from the main screen, end to end on the board: the halves
// and the dubbed movie are checked with ffprobe, ffmpeg and sox, and a copy
// that runs out of card says so and loses nothing.
#include "DrvLib/Key.h"
#include "Lib/Global.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/Recorder.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "sim/sound/SoundCardControl.h"
#include "tests/mainscreen/MainScreenFixture.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoxAnswerer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <set>
#include <thread>

using namespace vrec::test;
using vrec::board::Board;

namespace {

// A copy that starts with less than this free on the card finds it full.
constexpr uint64_t kCopyFloor = 36700160;

class EditScreen : public MainScreenTest
{
protected:
    static std::string Folder(const std::string& name = "") { return HostPath("/sdcard/MY_FOLDER/" + name); }

    static std::set<std::string> FolderFiles()
    {
        std::set<std::string> names;
        if (DIR* dir = opendir(Folder().c_str())) {
            while (dirent* entry = readdir(dir))
                if (entry->d_name[0] != '.')
                    names.insert(entry->d_name);
            closedir(dir);
        }
        return names;
    }

    static uint64_t Size(const std::string& hostPath)
    {
        struct stat st;
        return stat(hostPath.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }

    static void LeaveFree(uint64_t bytes)
    {
        Board& board = Board::Get();
        std::string why;
        ASSERT_TRUE(vrec::board::FillCard(board.cards(), board.cards().Inserted(), bytes, &why)) << why;
    }

    static ProbeFields Stream(const std::string& path, const std::string& type)
    {
        for (const ProbeFields& stream : ProbeStreams(path))
            if (stream.count("codec_type") && stream.at("codec_type") == type)
                return stream;
        return {};
    }

    static int VideoFrames(const std::string& path) { return std::atoi(Stream(path, "video")["nb_frames"].c_str()); }
    static double SoundSeconds(const std::string& path)
    {
        return std::atof(Stream(path, "audio")["duration"].c_str());
    }

    // The md5 of every video packet's bytes, a line each, in order.
    static std::string VideoPacketSums(const std::string& path)
    {
        std::string out;
        RunCommand("ffmpeg -nostdin -v error -i '" + path +
                       "' -map 0:v -c copy -f framemd5 - | grep -v '^#' | awk -F', *' '{print $NF}'",
                   &out);
        return out;
    }

    // sox's rough frequency of [from, from + seconds) of a file's sound, mixed
    // to mono first: sox's estimate is off for stereo.
    static double RoughFrequency(const std::string& path, double from, double seconds)
    {
        std::string out;
        RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -map 0:a -ss " + std::to_string(from) + " -t " +
                       std::to_string(seconds) + " -ac 1 -f wav - | sox -t wav - -n stat 2>&1 | grep Rough",
                   &out);
        size_t colon = out.find(':');
        return colon == std::string::npos ? -1.0 : std::atof(out.c_str() + colon + 1);
    }

    static void SetMicTone(int hz, double db)
    {
        vrec::sound::SetTone(State().sound, vrec::sound::Input::kBuiltInMics, hz, db, hz, db);
    }

    // Plays the opened file to at least ms and presses F1 (divide).
    void DivideAt(int ms)
    {
        Key(KEY_PLAY, 0);
        ASSERT_TRUE(WaitFor([ms] { return PL_GetPos() >= ms; }, 8000));
        Key(KEY_F1, 0);
        ASSERT_TRUE(WaitFor([] { return g_bDivideMode == 0; }, 20000)) << "the divide ends";
        usleep(500 * 1000);
    }

    // Sets up a dub of the list's first file as the browse screen does and
    // starts it with RECORD.
    void StartDub()
    {
        g_bRecorder = 1;
        g_bAfterRecMode = 1;
        Open(ACTION_MODE_MOVIE);
        Key(KEY_RECORD, 0);
        ASSERT_TRUE(WaitFor([] { return g_bAfterRecording == 1; }, 5000));
    }
};

TEST_F(EditScreen, DividingAMovieGivesTwoHalvesThatPlayAndAddUpToTheSource)
{
    PutMovie("KS0000_0001.mov", 6.0);
    const std::string source = Folder("KS0000_0001.mov");
    const std::string before = ReadFile(source);
    g_bDivideMode = 1;
    Open(ACTION_MODE_MOVIE);
    BoxAnswerer answerer(1);
    DivideAt(2300);
    EXPECT_TRUE(answerer.Saw("--- FILE DIVIDE ---\nDivide KS0000_0001.mov\nAre you sure ?"));

    const std::string first = Folder("KS0000_0001_a.mov");
    const std::string second = Folder("KS0000_0001_b.mov");
    const int frames = VideoFrames(source);
    const int firstFrames = VideoFrames(first);
    ASSERT_EQ(frames, 180);
    EXPECT_EQ(firstFrames % 30, 0) << "cut at a whole second";
    EXPECT_GE(firstFrames, 60);
    EXPECT_LE(firstFrames, 90);
    EXPECT_EQ(firstFrames + VideoFrames(second), frames);
    EXPECT_NEAR(SoundSeconds(first), firstFrames / 30.0, 0.05);
    EXPECT_NEAR(SoundSeconds(first) + SoundSeconds(second), SoundSeconds(source), 0.05);
    for (const std::string& half : {first, second}) {
        EXPECT_EQ(Stream(half, "video")["r_frame_rate"], "30/1") << half;
        EXPECT_EQ(DecodeErrors(half), "") << half;
    }
    // The halves' pictures are the source's, split where the cut is.
    std::string sums = VideoPacketSums(source);
    EXPECT_EQ(std::count(sums.begin(), sums.end(), '\n'), 180);
    EXPECT_EQ(VideoPacketSums(first) + VideoPacketSums(second), sums);
    EXPECT_EQ(ReadFile(source), before) << "the source stays as it was";
    EXPECT_EQ(g_PlaylistCtrl.GetCount(), 3);
}

TEST_F(EditScreen, DividingASoundFileGivesTwoHalvesWhoseDurationsAddUp)
{
    const std::string source = Folder("KS0000_0001.wav");
    ASSERT_EQ(RunCommand("sox -n -r 48000 -b 16 -c 2 '" + source + "' synth 5 sine 1000 vol 0.5", nullptr), 0);
    g_bDivideMode = 1;
    Open(ACTION_MODE_SOUND);
    ASSERT_EQ(g_PlaylistCtrl.GetCount(), 1);
    BoxAnswerer answerer(1);
    DivideAt(2300);

    auto soxi = [](const std::string& option, const std::string& path) {
        std::string out;
        RunCommand("soxi " + option + " '" + path + "'", &out);
        return out.substr(0, out.find('\n'));
    };
    const std::string first = Folder("KS0000_0001_a.wav");
    const std::string second = Folder("KS0000_0001_b.wav");
    const long long firstSamples = std::atoll(soxi("-s", first).c_str());
    EXPECT_EQ(firstSamples % 48000, 0) << "cut at a whole second";
    EXPECT_GE(firstSamples, 2 * 48000);
    EXPECT_EQ(firstSamples + std::atoll(soxi("-s", second).c_str()), 5 * 48000);
    for (const std::string& half : {first, second}) {
        EXPECT_EQ(soxi("-r", half), "48000") << half;
        EXPECT_EQ(soxi("-b", half), "16") << half;
        EXPECT_NEAR(RoughFrequency(half, 0.2, 0.5), 1000, 30) << half;
    }
}

TEST_F(EditScreen, ADivideThatRunsOutOfCardSaysSoAndLeavesNoHalf)
{
    PutMovie("KS0000_0001.mov", 6.0, 1280);
    const std::string source = Folder("KS0000_0001.mov");
    const std::string before = ReadFile(source);
    ASSERT_LT(Size(source), 12u << 20);
    // Room for the first half (a third or a half of the source), and then
    // too little for the second.
    LeaveFree(kCopyFloor + Size(source) / 6);
    g_bDivideMode = 1;
    Open(ACTION_MODE_MOVIE);
    BoxAnswerer answerer(1);
    std::atomic<uint64_t> firstLargest{0};
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        while (!stop) {
            firstLargest = std::max<uint64_t>(firstLargest, Size(Folder("KS0000_0001_a.mov")));
            usleep(2000);
        }
    });
    DivideAt(2300);
    stop = true;
    watcher.join();
    EXPECT_GE(firstLargest, Size(source) / 4) << "the first half was written, then removed";
    EXPECT_TRUE(WaitFor([&answerer] { return answerer.Saw("Card Full !\nFile not divided"); }, 3000));
    EXPECT_FALSE(FileExists(Folder("KS0000_0001_a.mov"))) << "no half passes for a divided file";
    EXPECT_FALSE(FileExists(Folder("KS0000_0001_b.mov")));
    EXPECT_EQ(ReadFile(source), before);
    EXPECT_EQ(g_PlaylistCtrl.GetCount(), 1);
}

TEST_F(EditScreen, ADubKeepsThePictureAndReplacesTheSound)
{
    PutMovie("KS0000_0001.mov", 4.0);
    const std::string source = Folder("KS0000_0001.mov");
    SetMicTone(440, -12.0);
    BoxAnswerer answerer(1);
    StartDub();
    // The dub ends with the file and copies it to a new movie.
    ASSERT_TRUE(WaitFor([] { return g_bAfterRecording == 0; }, 15000));
    ASSERT_TRUE(WaitFor([] { return g_PlaylistCtrl.GetCount() == 2; }, 20000));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/.tmp.wav"))) << "the dub's sound is in the movie now";
    EXPECT_TRUE(answerer.Texts().empty());

    std::set<std::string> files = FolderFiles();
    files.erase("KS0000_0001.mov");
    ASSERT_EQ(files.size(), 1u);
    const std::string dubbed = Folder(*files.begin());
    EXPECT_EQ(VideoPacketSums(dubbed), VideoPacketSums(source)) << "the picture frame for frame";
    EXPECT_EQ(DecodeErrors(dubbed), "");
    EXPECT_NEAR(SoundSeconds(dubbed), SoundSeconds(source), 0.05);
    EXPECT_EQ(Stream(dubbed, "audio")["sample_rate"], "48000") << "the source's own sound format";
    EXPECT_NEAR(RoughFrequency(source, 1.0, 2.0), 1000, 30);
    EXPECT_NEAR(RoughFrequency(dubbed, 1.0, 2.0), 440, 30) << "the microphone's tone";
}

TEST_F(EditScreen, ADubWhoseCopyRunsOutOfCardKeepsTheNewSound)
{
    PutMovie("KS0000_0001.mov", 4.0, 1280);
    const std::string source = Folder("KS0000_0001.mov");
    const std::string before = ReadFile(source);
    // Room for the dub's sound (4 s at 48 kHz, 16-bit stereo: 750 KiB),
    // then too little for the movie.
    LeaveFree(kCopyFloor + (512 << 10));
    SetMicTone(440, -12.0);
    BoxAnswerer answerer(1);
    StartDub();
    ASSERT_TRUE(WaitFor([&answerer] { return answerer.Saw("Card Full !"); }, 25000));
    EXPECT_TRUE(answerer.Saw("New sound kept as"));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/.tmp.wav")));

    std::set<std::string> files = FolderFiles();
    files.erase("KS0000_0001.mov");
    ASSERT_EQ(files.size(), 1u) << "no movie from the failed copy";
    const std::string kept = Folder(*files.begin());
    EXPECT_EQ(kept.substr(kept.size() - 4), ".wav");
    EXPECT_NEAR(SoundSeconds(kept), 4.0, 0.5) << "the whole dub";
    EXPECT_NEAR(RoughFrequency(kept, 1.0, 2.0), 440, 30) << "the recorded dub";
    EXPECT_EQ(ReadFile(source), before);
}

}  // namespace
