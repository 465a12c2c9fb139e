// Sound benchmarks, each against a peer run side by side on the same input:
//  - the input filter (low cut and equaliser, 96 kHz 24-bit stereo) against
//    sox's "highpass 80" on the same samples;
//  - the audio capture thread's CPU per second of sound against arecord
//    capturing the same stream from the board's card.
#include "DrvLib/Msp430.h"
#include "DrvLib/Sound.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/AudioPlay.h"
#include "Middleware/Audio/InputAudioFilter.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "bench/support/TestSound.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"
#include "sim/sound/SoundCardControl.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <pthread.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef VREC_BENCH_DIR
#error "VREC_BENCH_DIR must name a folder of the build tree for the benchmarks' files"
#endif

namespace {

constexpr int kRate = vrec::bench::kTestSoundRate;
constexpr int kSeconds = vrec::bench::kTestSoundSeconds;
constexpr int kFrameBytes = vrec::bench::kTestSoundFrameBytes;
constexpr int kBlockBytes = kRate / 200 * kFrameBytes;

const std::vector<uint8_t>& Input()
{
    return vrec::bench::TestSound();
}

void BM_FilterExecute_LowCutAndEq_96k24(benchmark::State& state)
{
    const std::vector<uint8_t>& in = Input();
    std::vector<uint8_t> out(in.size());
    CInputAudioFilter filter;
    filter.SetInputParameter(kRate, 24, 2);
    filter.SetLcfLevel(CInputAudioFilter::LCF_80HZ);
    filter.EnableEQ();
    for (auto _ : state) {
        int peakLeft = 0, peakRight = 0;
        for (size_t at = 0; at < in.size(); at += kBlockBytes)
            filter.FilterExecute(&out[at], &in[at], kBlockBytes, &peakLeft, &peakRight);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["sound_s"] = kSeconds;
}

void BM_SoxHighpass80_96k24(benchmark::State& state)
{
    std::string dir = VREC_BENCH_DIR;
    std::string inPath = dir + "/filter-input.raw";
    std::string outPath = dir + "/filter-output-sox.raw";
    {
        std::ofstream f(inPath, std::ios::binary);
        f.write(reinterpret_cast<const char*>(Input().data()), static_cast<std::streamsize>(Input().size()));
    }
    std::string raw = "-t raw -r 96000 -e signed -b 24 -c 2 ";
    std::string command = "sox -q " + raw + inPath + " " + raw + outPath + " highpass 80";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
    state.counters["sound_s"] = kSeconds;
}

// ---- Capture thread ---------------------------------------------------------

double ThreadCpuSeconds(pthread_t thread)
{
    clockid_t clock;
    struct timespec t = {};
    if (pthread_getcpuclockid(thread, &clock) == 0)
        clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

bool PowerOnBenchBoard()
{
    static bool ready = [] {
        std::string root = std::string(VREC_BENCH_DIR) + "/board";
        std::string why;
        if (!vrec::board::PrepareBoardRoot(root, &why) || !vrec::board::Board::Reopen(root, &why)) {
            std::fprintf(stderr, "bench board: %s\n", why.c_str());
            return false;
        }
        return true;
    }();
    return ready;
}

void BM_AudioCaptureThread_96k24(benchmark::State& state)
{
    if (!PowerOnBenchBoard()) {
        state.SkipWithError("no board");
        return;
    }
    vrec::board::SoundCard& card = vrec::board::Board::Get().state().sound;
    vrec::sound::SetNoise(card, vrec::sound::Input::kBuiltInMics, -20.0, -20.0);
    SetActionMode(ACTION_MODE_SOUND);
    SetParameter("/REC Quality/SAMPLE RATE", 96000.0f);
    SetParameter("/REC Quality/SOUND FORMAT", 24.0f);
    SetParameter("/Input Setting/LOW CUT", "80Hz");
    g_Msp430_nInputVolume = 64;
    SND_ValInit();
    g_hRendezvousInit = Rendezvous_create(3, &Rendezvous_Attrs_DEFAULT);
    g_hRendezvousCleanup = Rendezvous_create(3, &Rendezvous_Attrs_DEFAULT);
    pthread_t play, capture;
    pthread_create(&play, nullptr, AudioPlayThread, nullptr);
    pthread_create(&capture, nullptr, AudioCaptureThread, nullptr);
    Rendezvous_meet(g_hRendezvousInit);

    const double seconds = static_cast<double>(state.range(0));
    double cpu = 0;
    for (auto _ : state) {
        g_bRecorder = 1;
        g_bStartRecCap = 1;
        g_bRecording = 1;
        while (!g_bAudioCaptureRunning2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        double before = ThreadCpuSeconds(capture);
        auto start = std::chrono::steady_clock::now();
        // Take the recording buffers as the writer does.
        while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
            Buffer_Handle buf = nullptr;
            if (Fifo_getPoll(g_hAudioCaptureOut, &buf, 50) == Dmai_EOK && buf)
                Fifo_put(g_hAudioCaptureFree, buf);
        }
        cpu = ThreadCpuSeconds(capture) - before;
        state.SetIterationTime(cpu);
        g_bRecording = 0;
        g_bRecorder = 0;
        g_bStartRecCap = 0;
        while (g_bAudioCaptureRunning)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    state.counters["cpu_per_sound_s"] = cpu / seconds;

    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the monitor's flush
    g_bQuit = 1;
    Rendezvous_meet(g_hRendezvousCleanup);
    pthread_join(capture, nullptr);
    pthread_join(play, nullptr);
    g_bQuit = 0;
    SND_ValExit();
}

void BM_ArecordSameStream_96k24(benchmark::State& state)
{
    if (!PowerOnBenchBoard()) {
        state.SkipWithError("no board");
        return;
    }
    const int seconds = static_cast<int>(state.range(0));
    std::string out = std::string(VREC_BENCH_DIR) + "/arecord.wav";
    double cpu = 0;
    for (auto _ : state) {
        pid_t pid = fork();
        if (pid == 0) {
            std::string duration = std::to_string(seconds);
            execlp("arecord", "arecord", "-q", "-D", "plughw:0,0", "-f", "S24_3LE", "-r", "96000", "-c", "2", "-d",
                   duration.c_str(), out.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage = {};
        wait4(pid, &status, 0, &usage);
        cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
        state.SetIterationTime(cpu);
    }
    state.counters["cpu_per_sound_s"] = cpu / seconds;
}

BENCHMARK(BM_FilterExecute_LowCutAndEq_96k24)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SoxHighpass80_96k24)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_AudioCaptureThread_96k24)->Arg(5)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArecordSameStream_96k24)->Arg(5)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Keeps each run's time so that the pairs can be printed as ratios.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                seconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }

    void PrintRatio(const std::string& name, const std::string& peer, const char* what)
    {
        auto a = seconds_.find(name);
        auto b = seconds_.find(peer);
        if (a == seconds_.end() || b == seconds_.end() || b->second <= 0)
            return;
        std::printf("ratio %-46s %.3f  (%s)\n", (name + " / peer").c_str(), a->second / b->second, what);
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_FilterExecute_LowCutAndEq_96k24", "BM_SoxHighpass80_96k24",
                        "time for 10 s of 96 kHz 24-bit stereo; sox includes its start-up");
    reporter.PrintRatio("BM_AudioCaptureThread_96k24", "BM_ArecordSameStream_96k24",
                        "CPU for 5 s of capture; the firmware also filters, meters and monitors");
    benchmark::Shutdown();
    return 0;
}
