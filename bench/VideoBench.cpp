// The recording path's cost: the firmware process's CPU time per second of
// HD recording (camera, preview, encode, the writer thread, sound) against ffmpeg's
// mpeg4 encoder (-threads 1, 7.5 Mbit/s) on the same camera frames; and the
// frames lost in a minute of HD recording on this machine (goal: none).
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"
#include "tests/video/support/VideoPipeline.h"
#include "tests/video/support/VideoSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr double kSeconds = 5.0;  // of recording per iteration
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

double CpuSeconds(int who)
{
    struct rusage usage;
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The board and the device's threads, in recorder mode, for the whole run.
vrec::test::VideoPipeline& Pipeline()
{
    static std::unique_ptr<vrec::test::VideoPipeline> pipeline = [] {
        const std::string root = std::string(VREC_BENCH_DIR) + "/video-board";
        std::string why;
        std::system(("rm -rf '" + root + "'").c_str());
        setenv("VRECSIM_ROOT", root.c_str(), 1);
        if (!vrec::board::PrepareBoardRoot(root, &why) || !vrec::board::Board::Reopen(root, &why)) {
            std::fprintf(stderr, "no board: %s\n", why.c_str());
            std::exit(1);
        }
        MENU_ResetDefaults();
        NVRAM_Load();
        SetParameter("/REC Quality/SAMPLE RATE", 48000.0f);
        auto p = std::make_unique<vrec::test::VideoPipeline>(vrec::test::VideoPipeline::Writer::kDevice);
        if (!p->started() || !p->EnterRecorder(kWidth)) {
            std::fprintf(stderr, "the recording path did not start\n");
            std::exit(1);
        }
        return p;
    }();
    return *pipeline;
}

std::string CardPath(const std::string& name)
{
    return vrec::board::Board::Get().paths().Map("/sdcard/" + name);
}

// ffmpeg's CPU seconds for encoding seconds' worth of the camera's frames.
double FfmpegCpu(double seconds)
{
    const int frames = static_cast<int>(seconds * 30);
    vrec::test::PictureBuffer picture(kWidth, kHeight);
    const std::string command = "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt uyvy422 -s 1280x720 -r 30 -i - "
                                "-c:v mpeg4 -b:v 7.5M -g 30 -bf 0 -threads 1 '" + CardPath("peer.m4v") + "'";
    double before = CpuSeconds(RUSAGE_CHILDREN);
    FILE* pipe = popen(command.c_str(), "w");
    if (!pipe)
        return -1;
    for (int i = 0; i < frames; ++i) {
        vrec::test::DrawScene(picture.handle(), static_cast<uint32_t>(i));
        std::fwrite(picture.data(), 1, static_cast<size_t>(kWidth) * kHeight * 2, pipe);
    }
    if (pclose(pipe) != 0)
        return -1;
    return CpuSeconds(RUSAGE_CHILDREN) - before;
}

// Each iteration records, then lets ffmpeg encode as many frames of the
// same scene; the time is the firmware's CPU seconds per second recorded.
void BM_RecordingVersusFfmpeg(benchmark::State& state)
{
    vrec::test::VideoPipeline& pipeline = Pipeline();
    double firmware = 0, ffmpeg = 0;
    for (auto _ : state) {
        double before = CpuSeconds(RUSAGE_SELF);
        std::string movie = pipeline.RecordWithWriter(kSeconds);
        if (movie.empty()) {
            state.SkipWithError("the recording did not run");
            break;
        }
        std::remove(vrec::board::Board::Get().paths().Map(movie).c_str());
        double firmwareCpu = (CpuSeconds(RUSAGE_SELF) - before) / kSeconds;
        double ffmpegCpu = FfmpegCpu(kSeconds) / kSeconds;
        if (ffmpegCpu <= 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        firmware += firmwareCpu;
        ffmpeg += ffmpegCpu;
        state.SetIterationTime(firmwareCpu);
    }
    state.counters["firmware_cpu_per_s"] = firmware / static_cast<double>(state.iterations());
    state.counters["ffmpeg_cpu_per_s"] = ffmpeg / static_cast<double>(state.iterations());
    state.counters["cpu_vs_ffmpeg"] = ffmpeg > 0 ? firmware / ffmpeg : 0;
}

// One minute of HD: frames missing from the file (by their stamps) and
// frame times the camera found no buffer for.
void BM_MinuteOfHd(benchmark::State& state)
{
    vrec::test::VideoPipeline& pipeline = Pipeline();
    for (auto _ : state) {
        std::string movie = pipeline.RecordWithWriter(60.0);
        if (movie.empty()) {
            state.SkipWithError("the recording did not run");
            break;
        }
        std::string path = vrec::board::Board::Get().paths().Map(movie);
        std::vector<vrec::test::DecodedFrame> frames = vrec::test::DecodeFrames(path, kWidth, kHeight);
        std::remove(path.c_str());
        int64_t lost = 0;
        int unreadable = 0;
        for (size_t i = 1; i < frames.size(); ++i) {
            if (!frames[i].stamp || !frames[i - 1].stamp) {
                ++unreadable;
                continue;
            }
            lost += static_cast<int64_t>(frames[i].stamp->frame) - frames[i - 1].stamp->frame - 1;
        }
        state.counters["frames"] = static_cast<double>(frames.size());
        state.counters["lost"] = static_cast<double>(lost);
        state.counters["camera_dropped"] = pipeline.CameraDrops();
        state.counters["capture_missed"] = pipeline.CaptureMisses();
        state.counters["unreadable"] = unreadable;
        std::printf("60 s of HD: %zu frames, %lld lost, %u frame times without a buffer, %d frames without a frame "
                    "buffer\n",
                    frames.size(), static_cast<long long>(lost), pipeline.CameraDrops(), pipeline.CaptureMisses());
    }
}

}  // namespace

BENCHMARK(BM_RecordingVersusFfmpeg)
    ->Name("RecordHd:firmware_cpu_vs_ffmpeg")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinuteOfHd)->Name("RecordHdMinute:frames_lost")->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);
