// Movie files: the creator's write throughput against dd on the same disk,
// and Open and sample lookups of a one-hour movie against libavformat. Each
// benchmark runs its peer in the same iteration and reports the ratio of
// the two times as a counter ("time_vs_...").
#include "Media/MovCreator.h"
#include "Media/MovReader.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The board of the benchmarks, kept in the build tree between runs.
const vrec::board::Board& BenchBoard()
{
    static bool ready = [] {
        const std::string root = std::string(VREC_BENCH_DIR) + "/board";
        std::string why;
        setenv("VRECSIM_ROOT", root.c_str(), 1);
        if (!vrec::board::PrepareBoardRoot(root, &why) || !vrec::board::Board::Reopen(root, &why)) {
            std::fprintf(stderr, "no board: %s\n", why.c_str());
            std::exit(1);
        }
        return true;
    }();
    (void)ready;
    return vrec::board::Board::Get();
}

std::string HostPath(const std::string& devicePath)
{
    return BenchBoard().paths().Map(devicePath);
}

void SyncFile(const std::string& hostPath)
{
    int fd = open(hostPath.c_str(), O_RDONLY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// A recording as the recorder delivers it: runs of frames (three on
// average, two to four with jitter), each followed by one sound block.
class SyntheticRecording : public CMovCreator
{
public:
    SyntheticRecording(int frameBytes, int blockBytes, int64_t groups, bool jitter)
        : frame_(static_cast<size_t>(frameBytes)), block_(static_cast<size_t>(blockBytes), 0x11), groups_(groups),
          jitter_(jitter)
    {
        for (size_t i = 0; i < frame_.size(); ++i)
            frame_[i] = static_cast<unsigned char>(i * 131);
        std::memcpy(frame_.data(), "\0\0\1\xB6", 4);
        m_nDecSpecInfoLen = 18;
        NextGroup();
    }

protected:
    int GetVideo(unsigned char* buffer) override
    {
        if (left_ <= 0)
            return 0;
        --left_;
        // sizes vary a little, as an encoder's do
        int n = static_cast<int>(frame_.size()) - static_cast<int>((frames_++ * 37) % 64);
        std::memcpy(buffer, frame_.data(), static_cast<size_t>(n));
        return n;
    }
    int GetAudio(unsigned char* buffer) override
    {
        if (left_ > 0 || group_ > groups_)
            return 0;
        std::memcpy(buffer, block_.data(), block_.size());
        NextGroup();
        return static_cast<int>(block_.size());
    }
    void PreLoop() override
    {
        if (group_ > groups_)
            SetExitCode(MOV_EXIT_STOPPED);
    }

private:
    void NextGroup()
    {
        ++group_;
        if (!jitter_) {
            left_ = 3;
        } else if (pending_) {  // a 2 after a 4 keeps the mean at 3
            left_ = pending_;
            pending_ = 0;
        } else {
            int r = static_cast<int>(random_() % 3);
            left_ = r == 0 ? 4 : 3;
            pending_ = r == 0 ? 2 : 0;
        }
        if (group_ > groups_)
            left_ = 0;
    }

    std::vector<unsigned char> frame_;
    std::vector<unsigned char> block_;
    int64_t groups_;
    bool jitter_;
    int64_t group_ = 0;
    int left_ = 0;
    int pending_ = 0;
    int64_t frames_ = 0;
    std::minstd_rand random_{7};
};

// 7.5 Mbit/s at 30 frames/s, 100 ms of 48 kHz 16-bit stereo: one group of
// three frames and a block is 100 ms; 1 GiB takes about 16 minutes.
constexpr int kFrameBytes = 7500000 / 8 / 30;
constexpr int kBlockBytes = 4800 * 4;
constexpr int64_t kGiB = 1LL << 30;
constexpr int64_t kGroups = kGiB / (3 * kFrameBytes + kBlockBytes);

void BM_CreatorVersusDd(benchmark::State& state)
{
    const std::string movie = "/sdcard/MY_FOLDER/bench.mov";
    const std::string movieHost = HostPath(movie);
    const std::string ddHost = HostPath("/sdcard/MY_FOLDER/dd.bin");
    double creatorTotal = 0, ddTotal = 0;
    static int64_t bytes = 0;  // of the last movie: dd writes as many
    static bool ddFirst = false;  // alternates across repetitions too
    for (auto _ : state) {
        double creatorSeconds = 0, ddSeconds = 0;
        auto runCreator = [&] {
            auto creator = std::make_unique<SyntheticRecording>(kFrameBytes, kBlockBytes, kGroups, false);
            auto start = Clock::now();
            creator->Create(movie.c_str(), 1280, 720, 30, 48000, 16, 2);
            SyncFile(movieHost);
            creatorSeconds = Seconds(start);
            FILE* f = std::fopen(movieHost.c_str(), "rb");
            if (f) {
                fseeko(f, 0, SEEK_END);
                bytes = ftello(f);
                std::fclose(f);
            }
        };
        auto runDd = [&] {
            const int64_t count = bytes > 0 ? bytes : kGiB;
            const std::string cmd = "dd if=/dev/zero of='" + ddHost + "' bs=1M count=" + std::to_string(count) +
                                    " iflag=count_bytes conv=fsync status=none";
            auto start = Clock::now();
            if (std::system(cmd.c_str()) != 0)
                state.SkipWithError("dd failed");
            ddSeconds = Seconds(start);
        };
        if (ddFirst && bytes > 0) {
            runDd();
            runCreator();
        } else {
            runCreator();
            runDd();
        }
        ddFirst = !ddFirst;
        std::remove(movieHost.c_str());
        std::remove(ddHost.c_str());
        state.SetIterationTime(creatorSeconds);
        creatorTotal += creatorSeconds;
        ddTotal += ddSeconds;
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["creator_MBps"] = bytes / 1e6 * state.iterations() / creatorTotal;
    state.counters["dd_MBps"] = bytes / 1e6 * state.iterations() / ddTotal;
    state.counters["time_vs_dd"] = creatorTotal / ddTotal;
}
// Each repetition writes 2 GiB: three are enough, whatever the runner asks.
BENCHMARK(BM_CreatorVersusDd)
    ->Name("MovWrite1GiB:CMovCreator_vs_dd")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kSecond);

// A one-hour movie: 108,000 frames, 36,000 sound chunks and 36,000 video
// chunks of two to four frames, small samples (only the tables matter).
const std::string& OneHourMovie()
{
    static const std::string path = [] {
        const std::string device = "/sdcard/MY_FOLDER/hour.mov";
        const std::string host = HostPath(device);
        if (access(host.c_str(), R_OK) != 0) {
            auto creator = std::make_unique<SyntheticRecording>(96, 1600, 36000, true);
            if (creator->Create(device.c_str(), 1280, 720, 30, 8000, 16, 1) != MOV_EXIT_STOPPED) {
                std::fprintf(stderr, "cannot make %s\n", host.c_str());
                std::exit(1);
            }
        }
        return device;
    }();
    return path;
}

struct FormatDeleter
{
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using Format = std::unique_ptr<AVFormatContext, FormatDeleter>;

Format OpenWithLibavformat(const std::string& host)
{
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, host.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    return Format(ctx);
}

void BM_OpenOneHourMovie(benchmark::State& state)
{
    const std::string& device = OneHourMovie();
    const std::string host = HostPath(device);
    av_log_set_level(AV_LOG_ERROR);
    double ours = 0, peer = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        CMovReader reader;
        if (reader.Open(device.c_str()) != 0 || reader.GetSampleCount(1) != 108000)
            state.SkipWithError("Open failed");
        reader.Close();
        double t = Seconds(start);
        start = Clock::now();
        Format f = OpenWithLibavformat(host);
        if (!f)
            state.SkipWithError("libavformat cannot open it");
        f.reset();
        peer += Seconds(start);
        ours += t;
        state.SetIterationTime(t);
    }
    state.counters["libavformat_ms"] = peer * 1000 / state.iterations();
    state.counters["time_vs_libavformat"] = ours / peer;
}
BENCHMARK(BM_OpenOneHourMovie)
    ->Name("MovOpenOneHour:CMovReader_vs_libavformat")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Frames spread through the hour in random order (seeking), or in order
// (playing); the peer looks the same frames up in libavformat's index.
void SamplePosBench(benchmark::State& state, bool inOrder)
{
    const std::string& device = OneHourMovie();
    CMovReader reader;
    if (reader.Open(device.c_str()) != 0) {
        state.SkipWithError("Open failed");
        return;
    }
    Format f = OpenWithLibavformat(HostPath(device));
    AVStream* video = nullptr;
    for (unsigned i = 0; f && i < f->nb_streams; ++i)
        if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            video = f->streams[i];
    if (!video) {
        state.SkipWithError("no video stream for libavformat");
        return;
    }
    std::vector<int> frames(1000);
    std::minstd_rand random(3);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = inOrder ? static_cast<int>(54000 + i) : static_cast<int>(random() % 108000);

    double ours = 0, peer = 0;
    int64_t lookups = 0, checksum = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (int frame : frames) {
            long offset;
            int size, count, total;
            if (!reader.GetSamplePos(1, frame, &offset, &size, &count, &total)) {
                state.SkipWithError("lookup failed");
                break;
            }
            checksum += offset;
        }
        double t = Seconds(start);
        start = Clock::now();
        for (int frame : frames) {
            const int64_t ts = static_cast<int64_t>(frame) * 100;  // time scale 3000, 100 a frame
            int at = av_index_search_timestamp(video, ts, AVSEEK_FLAG_ANY);
            const AVIndexEntry* e = at >= 0 ? avformat_index_get_entry(video, at) : nullptr;
            checksum -= e ? e->pos : 0;
        }
        peer += Seconds(start);
        ours += t;
        lookups += static_cast<int64_t>(frames.size());
        state.SetIterationTime(t);
    }
    reader.Close();
    if (checksum != 0)
        state.SkipWithError("places differ from libavformat's");
    state.counters["us_per_lookup"] = ours * 1e6 / lookups;
    state.counters["libavformat_us"] = peer * 1e6 / lookups;
    state.counters["time_vs_libavformat"] = ours / peer;
}

void BM_GetSamplePosSpread(benchmark::State& state)
{
    SamplePosBench(state, false);
}
BENCHMARK(BM_GetSamplePosSpread)
    ->Name("MovSeek1000Frames:GetSamplePos_vs_libavformat")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_GetSamplePosInOrder(benchmark::State& state)
{
    SamplePosBench(state, true);
}
BENCHMARK(BM_GetSamplePosInOrder)
    ->Name("MovPlay1000Frames:GetSamplePos_vs_libavformat")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
