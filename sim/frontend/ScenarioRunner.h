// Runs a scenario against the device: each step in turn, checks polled
// until they hold or time out, the firmware watched for crashes, and at the
// end a summary of the card.
#pragma once

#include "sim/frontend/Controls.h"
#include "sim/frontend/LcdText.h"
#include "sim/frontend/Scenario.h"
#include "sim/frontend/Supervisor.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace vrec::frontend {

class ScenarioRunner
{
public:
    // outDir: where relative snapshot names go.
    ScenarioRunner(Controls& controls, Supervisor& supervisor, std::string outDir, FILE* report);

    // Where the program's font images are, for the text checks.
    void SetFontDir(std::string fontDir) { fontDir_ = std::move(fontDir); }

    // Runs every step; returns the number of failed steps and checks.
    int Run(const Scenario& scenario);

private:
    bool RunStep(const Step& step, std::string* why);
    bool RunCard(const Step& step, std::string* why);
    bool RunFlash(const Step& step, std::string* why);
    bool RunSound(const Step& step, std::string* why);
    bool RunCamera(const Step& step, std::string* why);
    bool RunUsb(const Step& step, std::string* why);
    // A file named in the scenario: relative names are found beside it.
    std::string HostFile(const std::string& name) const;
    // Says when the card goes to the USB host and comes back.
    void WatchUsb();
    bool RunMonkey(const Step& step, std::string* why);
    bool Evaluate(const Check& check, std::string* got);
    bool Await(const Check& check, std::string* why);
    bool EvaluateText(const Check& check, std::string* got);
    bool EvaluateDuration(const Check& check, std::string* got);
    // Sleeps while watching the firmware.
    void Pass(int ms);
    void AwaitKeyRead(const std::vector<uint32_t>& keys, bool down);
    void WatchFirmware();
    double Seconds() const;
    void Note(const std::string& text);

    Controls& controls_;
    Supervisor& supervisor_;
    std::string outDir_;
    FILE* report_;
    std::string lastRemovedCard_;
    std::string scenarioDir_;  // relative WAV files are found here
    std::string fontDir_;
    std::map<std::string, FontImage> fonts_;
    int failures_ = 0;
    bool cardOnUsb_ = false;
    uint32_t boxesSeen_ = 0;  // boxes opened when a box check last held
    int crashes_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace vrec::frontend
