// The player's sound path against sox on the same input: the variable-speed
// filter at 150 % on ten seconds of 96 kHz 24-bit stereo, driven as the play
// audio thread drives it (a ten-block window slid one block a call), against
// "sox ... tempo 1.5" stretching the same samples.
#include "Middleware/Audio/VSAFilter.h"
#include "bench/support/TestSound.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
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

// Ten seconds of 96 kHz 24-bit stereo at 150 %: the filter against sox (sox
// includes its start-up and file reading; the filter its window sliding).
BENCHMARK(BM_VsaFilter)->Name("Tempo150_96k24_10s:CVSAFilter");
BENCHMARK(BM_SoxTempo)->Name("Tempo150_96k24_10s:peer");

}  // namespace
