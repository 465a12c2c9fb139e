// Power of the simulated device: starting the firmware on power-on,
// restarting it after a reboot, powering it off as a person does, and
// telling why it stopped.
#pragma once

#include "sim/frontend/Controls.h"
#include "sim/frontend/FirmwareProcess.h"

#include <string>

namespace vrec::frontend {

enum class PowerEvent
{
    kNone,
    kPoweredOff,  // the firmware switched the power off (exit status 0)
    kRebooted,    // "reboot": the firmware was started again
    kCrashed,     // any other end: signal or non-zero status
};

class Supervisor
{
public:
    Supervisor(FirmwareConfig config, Controls& controls);

    // Starts the firmware unless it runs; false and the reason when it cannot.
    bool PowerOn(std::string* why);
    bool IsOn();
    // Notices the end of the firmware; restarts it after a reboot. *message
    // says what happened (with the last lines of its standard error after a crash).
    PowerEvent Poll(std::string* message);
    // Holds the power key until the firmware switches itself off; falls back
    // to the console's "quit", then to cutting the power. Says which it took.
    std::string PowerOff();
    // The battery pulled out: the firmware ends at once.
    void PowerCut();

    FirmwareProcess& process() { return process_; }
    int boots() const { return boots_; }

private:
    bool OtherFirmwareRuns(std::string* why);
    std::string Describe(PowerEvent event);

    FirmwareProcess process_;
    Controls& controls_;
    bool wasOn_ = false;
    int boots_ = 0;
};

}  // namespace vrec::frontend
