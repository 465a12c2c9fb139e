// The player's sound path against sox on the same input: the variable-speed
// filter at 150 % on ten seconds of 96 kHz 24-bit stereo, driven as the play
// audio thread drives it (a ten-block window slid one block a call), against
// "sox ... tempo 1.5" stretching the same samples.
#include "Middleware/Audio/VSAFilter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 96000;
constexpr int kSeconds = 10;
constexpr int kFrameBytes = 6;
constexpr int kSpeed = 150;
constexpr int kBlockBytes = kFrameBytes * (kRate * kSpeed / 1000);

// Ten seconds of a tone mix with noise, 24-bit stereo.
const std::vector<uint8_t>& Input()
{
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(static_cast<size_t>(kRate) * kSeconds * kFrameBytes);
        std::mt19937 random(1);
        std::normal_distribution<double> noise(0.0, 0.02);
        for (size_t i = 0; i < v.size() / 3; ++i) {
            double t = static_cast<double>(i / 2) / kRate;
            double x = 0.3 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 1000 * t) + noise(random);
            int32_t s = static_cast<int32_t>(std::lround(x * 8388607));
            v[3 * i] = static_cast<uint8_t>(s);
            v[3 * i + 1] = static_cast<uint8_t>(s >> 8);
            v[3 * i + 2] = static_cast<uint8_t>(s >> 16);
        }
        return v;
    }();
    return data;
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
