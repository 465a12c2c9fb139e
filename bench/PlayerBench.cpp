// The player against peers on the same input:
//  - the variable-speed filter at 150 % on ten seconds of 96 kHz 24-bit
//    stereo, driven as the play audio thread drives it (a ten-block window
//    slid one block a call), against "sox ... tempo 1.5";
//  - the firmware process's CPU per second of an HD movie (recorded on the
//    board) played to HDMI, against "ffmpeg -threads 1 -i FILE -f null -"
//    decoding the same file.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/Audio/VSAFilter.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "bench/support/BenchBoard.h"
#include "bench/support/TestSound.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "tests/video/support/VideoPipeline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = vrec::bench::kTestSoundRate;
constexpr int kSeconds = vrec::bench::kTestSoundSeconds;
constexpr int kSpeed = 150;
constexpr int kBlockBytes = vrec::bench::kTestSoundFrameBytes * (kRate * kSpeed / 1000);

const std::vector<uint8_t>& Input()
{
    return vrec::bench::TestSound();
}

void BM_VsaFilter(benchmark::State& state)
{
    const std::vector<uint8_t>& in = Input();
    std::vector<uint8_t> window(10 * static_cast<size_t>(kBlockBytes));
    std::vector<uint8_t> out(57856);
    for (auto _ : state) {
        CVSAFilter filter;
        filter.SetInputParameter(kRate, 24, 2, kSpeed / 100.0f);
        std::memset(window.data(), 0, window.size());
        size_t next = 0;
        for (int call = 0; next < in.size(); ++call) {
            std::memmove(window.data(), window.data() + kBlockBytes, 9 * static_cast<size_t>(kBlockBytes));
            size_t n = std::min(static_cast<size_t>(kBlockBytes), in.size() - next);
            std::memcpy(window.data() + 9 * static_cast<size_t>(kBlockBytes), in.data() + next, n);
            next += n;
            int left = 0, right = 0;
            filter.FilterExecute(out.data(), window.data(), static_cast<int>(window.size()), &left, &right, call == 0);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.counters["sound_s"] = kSeconds;
}

void BM_SoxTempo(benchmark::State& state)
{
    const std::string dir = VREC_BENCH_DIR;
    const std::string inPath = dir + "/tempo-input.raw";
    const std::string outPath = dir + "/tempo-output-sox.raw";
    {
        std::ofstream f(inPath, std::ios::binary);
        f.write(reinterpret_cast<const char*>(Input().data()), static_cast<std::streamsize>(Input().size()));
    }
    const std::string raw = "-t raw -r 96000 -e signed -b 24 -c 2 ";
    const std::string command = "sox -q " + raw + inPath + " " + raw + outPath + " tempo 1.5";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
    state.counters["sound_s"] = kSeconds;
}

// ---- HD movie playback --------------------------------------------------------

constexpr double kMovieSeconds = 5.0;

using vrec::bench::CpuSeconds;

// The board, the device's threads with the player's, HDMI plugged, and an
// HD movie recorded through the camera: made once for the whole run.
const std::string& HdMovie()
{
    static std::unique_ptr<vrec::test::VideoPipeline> pipeline;
    static std::string movie = [] {
        vrec::bench::OpenBenchBoard(VREC_BENCH_DIR, "player-board");
        pipeline = std::make_unique<vrec::test::VideoPipeline>(vrec::test::VideoPipeline::Writer::kStandIn, true);
        const std::string device = "/sdcard/HD.MOV";
        if (!pipeline->started() || !pipeline->EnterRecorder(1280) || !pipeline->Record(kMovieSeconds, device) ||
            !pipeline->LeaveRecorder()) {
            std::fprintf(stderr, "the movie was not recorded\n");
            std::exit(1);
        }
        vrec::board::HardwareState& state = vrec::board::Board::Get().state();
        state.hdmi.cable = 1;
        state.hdmi.sink = 1;
        g_bHdmi = 1;
        for (int i = 0; i < 500 && !g_bDispHdmi; ++i)
            usleep(10000);
        return device;
    }();
    return movie;
}

// Each iteration plays the movie to its end, then lets ffmpeg decode it;
// the time is the firmware's CPU seconds per second of movie.
void BM_HdPlayback(benchmark::State& state)
{
    const std::string& movie = HdMovie();
    const std::string host = vrec::board::Board::Get().paths().Map(movie);
    double firmware = 0, ffmpeg = 0;
    for (auto _ : state) {
        SetActionMode(ACTION_MODE_MOVIE);
        double before = CpuSeconds(RUSAGE_SELF);
        if (!PL_Open(movie.c_str())) {
            state.SkipWithError("the movie did not open");
            break;
        }
        const double seconds = PL_GetDuration() / 1000.0;
        PL_Play();
        while (!(PL_IsStop() && !PL_IsStopping()))
            usleep(10000);
        const double firmwareCpu = (CpuSeconds(RUSAGE_SELF) - before) / seconds;

        before = CpuSeconds(RUSAGE_CHILDREN);
        const std::string command = "ffmpeg -nostdin -v error -threads 1 -i '" + host + "' -f null -";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        const double ffmpegCpu = (CpuSeconds(RUSAGE_CHILDREN) - before) / seconds;
        firmware += firmwareCpu;
        ffmpeg += ffmpegCpu;
        state.SetIterationTime(firmwareCpu);
    }
    state.counters["firmware_cpu_per_s"] = firmware / static_cast<double>(state.iterations());
    state.counters["ffmpeg_cpu_per_s"] = ffmpeg / static_cast<double>(state.iterations());
    state.counters["cpu_vs_ffmpeg"] = ffmpeg > 0 ? firmware / ffmpeg : 0;
}

// Ten seconds of 96 kHz 24-bit stereo at 150 %: the filter against sox (sox
// includes its start-up and file reading; the filter its window sliding).
BENCHMARK(BM_VsaFilter)->Name("Tempo150_96k24_10s:CVSAFilter");
BENCHMARK(BM_SoxTempo)->Name("Tempo150_96k24_10s:peer");
// The firmware's CPU per second of HD movie played to HDMI; its peer ratio
// is the counter cpu_vs_ffmpeg (ffmpeg decodes the same file in the same
// iteration).
BENCHMARK(BM_HdPlayback)->Name("HdPlayback5s:CpuPerSecond")->UseManualTime()->Iterations(1);

}  // namespace
