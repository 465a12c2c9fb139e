// The scenario parser on any text: it accepts it, or refuses it naming the
// file and a line that exists; accepted steps carry their line and sane
// durations.
#include "sim/frontend/Scenario.h"
#include "tests/fuzz/FuzzTarget.h"

#include <algorithm>
#include <cstdlib>

namespace vrec::fuzz {

namespace {

int ScenarioRound(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    vrec::frontend::Scenario scenario;
    std::string why;
    if (!vrec::frontend::ParseScenarioText(text, "fuzz.vsc", scenario, &why)) {
        const std::string prefix = "fuzz.vsc:";
        if (why.compare(0, prefix.size(), prefix) != 0)
            return kViolation;
        const int line = std::atoi(why.c_str() + prefix.size());
        return line >= 1 && line <= lines ? kRefused : kViolation;
    }
    for (const vrec::frontend::Step& step : scenario.steps)
        if (step.line < 1 || step.line > lines || step.ms < 0 || step.check.withinMs < 0)
            return kViolation;
    const size_t end = text.find('\n');
    vrec::frontend::ParseDuration(text.substr(0, end));
    return kAccepted;
}

}  // namespace

VREC_FUZZ_TARGET({"scenario", "tests/fuzz/corpus/scenario", 4096, 16, nullptr, ScenarioRound});

}  // namespace vrec::fuzz
