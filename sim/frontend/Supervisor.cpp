#include "sim/frontend/Supervisor.h"

#include "sim/board/KeyBits.h"

#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace vrec::frontend {

namespace {

constexpr int kPowerKeyHoldMs = 3000;     // long press plus a margin
constexpr int kShutdownWaitMs = 15000;    // once the firmware has begun shutting down
constexpr int kConsoleQuitWaitMs = 10000;

bool IsFirmwareProcess(pid_t pid)
{
    char link[64], target[512];
    std::snprintf(link, sizeof(link), "/proc/%d/exe", static_cast<int>(pid));
    ssize_t n = readlink(link, target, sizeof(target) - 1);
    if (n <= 0)
        return false;
    target[n] = 0;
    std::string exe(target);
    return exe.size() >= 4 && exe.compare(exe.size() - 4, 4, "/app") == 0;
}

}  // namespace

Supervisor::Supervisor(FirmwareConfig config, Controls& controls) : process_(std::move(config)), controls_(controls)
{
}

bool Supervisor::OtherFirmwareRuns(std::string* why)
{
    pid_t other = controls_.state().firmware.pid.load();
    if (other <= 0 || other == process_.pid() || kill(other, 0) != 0 || !IsFirmwareProcess(other))
        return false;
    *why = "the board " + controls_.root() + " is in use: firmware process " + std::to_string(other) + " runs on it";
    return true;
}

bool Supervisor::PowerOn(std::string* why)
{
    if (IsOn())
        return true;
    if (OtherFirmwareRuns(why))
        return false;
    if (!process_.Start(why))
        return false;
    wasOn_ = true;
    ++boots_;
    return true;
}

bool Supervisor::IsOn()
{
    return process_.Running();
}

std::string Supervisor::Describe(PowerEvent event)
{
    switch (event) {
    case PowerEvent::kPoweredOff:
        return "the device is off";
    case PowerEvent::kRebooted:
        return "the device rebooted";
    case PowerEvent::kCrashed: {
        std::string text = "the firmware stopped: " + process_.Ending();
        std::string tail = process_.LastErrorLines(12);
        if (!tail.empty())
            text += "\nlast lines of its standard error:\n" + tail;
        return text;
    }
    case PowerEvent::kNone:
        break;
    }
    return {};
}

PowerEvent Supervisor::Poll(std::string* message)
{
    if (!wasOn_ || process_.Running())
        return PowerEvent::kNone;
    wasOn_ = false;
    board::HardwareState& state = controls_.state();
    PowerEvent event;
    if (state.firmware.rebootRequested.load()) {
        state.firmware.rebootRequested = 0;
        event = PowerEvent::kRebooted;
    } else if (process_.ExitedCleanly()) {
        event = PowerEvent::kPoweredOff;
    } else {
        event = PowerEvent::kCrashed;
    }
    state.firmware.pid = 0;
    controls_.state().power.f1Pressed = 0;
    if (message)
        *message = Describe(event);
    if (event == PowerEvent::kRebooted) {
        std::string why;
        if (!PowerOn(&why) && message)
            *message += "; it cannot start again: " + why;
    }
    return event;
}

std::string Supervisor::PowerOff()
{
    if (!IsOn())
        return "the device is already off";
    board::HardwareState& state = controls_.state();
    controls_.SetKey(board::keybit::kF1, true);
    bool off = process_.Wait(kPowerKeyHoldMs);
    if (!off && state.power.powerOffStarted.load())
        off = process_.Wait(kShutdownWaitMs);
    controls_.SetKey(board::keybit::kF1, false);
    std::string how = "powered off with the power key";
    if (!off) {
        // Firmware without a power-key handler still shuts down cleanly
        // through its console.
        process_.SendLine("quit");
        off = process_.Wait(kConsoleQuitWaitMs);
        how = "shut down through the console (\"quit\")";
    }
    if (!off) {
        process_.Signal(SIGKILL);
        process_.Wait(5000);
        how = "did not shut down; the power was cut";
    }
    wasOn_ = false;
    state.firmware.pid = 0;
    if (!process_.ExitedCleanly() && how.rfind("did not", 0) != 0)
        how += " (" + process_.Ending() + ")";
    return how;
}

void Supervisor::PowerCut()
{
    if (!IsOn())
        return;
    process_.Signal(SIGKILL);
    process_.Wait(5000);
    wasOn_ = false;
    controls_.state().firmware.pid = 0;
    controls_.state().power.powerCut = 1;
}

}  // namespace vrec::frontend
