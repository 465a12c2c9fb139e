// A random user: presses and holds keys, flips switches, pulls and inserts
// the card, plugs HDMI and USB, changes the battery and cuts the power,
// seeded and repeatable, while checking that the firmware never crashes or
// hangs. At the end the device accepts its card once more and every file on
// it must open in the real tools (ffprobe, sox, djpeg), the settings stores
// must be text of key=value lines. A failure prints the seed and the events
// so far as scenario steps, to replay them.
#pragma once

#include "sim/frontend/Controls.h"
#include "sim/frontend/Supervisor.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vrec::frontend {

struct MonkeyHooks
{
    std::function<void(int ms)> pass;   // lets time pass, watching the firmware
    std::function<int()> crashes;       // crashes seen so far
};

class Monkey
{
public:
    Monkey(Controls& controls, Supervisor& supervisor, MonkeyHooks hooks, FILE* report);

    // False (with the seed and the events on the report) when an invariant broke.
    bool Run(uint32_t seed, int durationMs);

private:
    void Act();
    void Step(const std::string& line);
    void Wait(int ms, bool record = true);
    void PowerOn();
    bool Settle(std::string* why);
    bool CheckFiles(std::string* why);
    bool Fail(const std::string& why);
    int Uniform(int lo, int hi);

    Controls& controls_;
    Supervisor& supervisor_;
    MonkeyHooks hooks_;
    FILE* report_;
    std::mt19937 random_;
    uint32_t seed_ = 0;
    std::vector<std::string> events_;
    std::string removedCard_;
    bool broken_ = false;
    std::string brokenWhy_;
    uint32_t lastPolls_ = 0;
    int stillMs_ = 0;  // on, and the key lines not polled for this long
};

}  // namespace vrec::frontend
