// Runs the benchmarks of a program interleaved and repeated, then prints
// every benchmark's time as a ratio against the peer of its group: the
// benchmark named "<group>:peer" (memset, memcpy, ...) on the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Median
{
    std::string name;
    double seconds = 0;  // in the benchmark's own unit
    std::string unit;
};

class PeerReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_.push_back({Name(run.run_name), run.GetAdjustedRealTime(), benchmark::GetTimeUnitString(run.time_unit)});
    }

    void PrintRatios()
    {
        std::sort(medians_.begin(), medians_.end(), [](const Median& a, const Median& b) { return a.name < b.name; });
        std::map<std::string, double> peers;
        for (const Median& m : medians_)
            if (Role(m.name) == "peer")
                peers[Group(m.name)] = m.seconds;
        std::printf("\n%-40s %15s %10s\n", "benchmark (median of repetitions)", "real time", "x peer");
        for (const Median& m : medians_) {
            auto peer = peers.find(Group(m.name));
            if (Role(m.name) == "peer")
                std::printf("%-40s %12.4g %-2s %10s\n", m.name.c_str(), m.seconds, m.unit.c_str(), "1.00");
            else if (peer != peers.end() && peer->second > 0)
                std::printf("%-40s %12.4g %-2s %10.2f\n", m.name.c_str(), m.seconds, m.unit.c_str(),
                            m.seconds / peer->second);
        }
    }

private:
    // The benchmark and its arguments, without the run settings
    // ("/iterations:1/repeats:3/manual_time"), so that subject and peer pair up.
    static std::string Name(const benchmark::BenchmarkName& name)
    {
        return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
    }
    static std::string Group(const std::string& name) { return name.substr(0, name.find(':')); }
    static std::string Role(const std::string& name)
    {
        size_t colon = name.find(':');
        return colon == std::string::npos ? std::string() : name.substr(colon + 1);
    }

    std::vector<Median> medians_;
};

}  // namespace

int main(int argc, char** argv)
{
    // Repeated and interleaved so that subject and peer see the same machine.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions.data(), interleave.data(), aggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    PeerReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
