// The window mode of the front end: the device as a person holds it, its
// LEDs, the HDMI picture in a second window while a cable is in, keyboard
// keys for the device's keys and a panel of switches and cables.
#pragma once

#include "sim/frontend/Controls.h"
#include "sim/frontend/Supervisor.h"

#include <string>

namespace vrec::frontend {

struct WindowOptions
{
    std::string snapshotDir;  // F11/F12 snapshots
    std::string screenshot;   // save the window picture after screenshotAfterMs, then close
    int screenshotAfterMs = 3000;
    std::string soundFile;    // a WAV file the microphone rows offer
};

// True when a display seems to be there.
bool DisplayAvailable();

// Runs until the window is closed; powers the device on first. Returns the
// exit status of the program.
int RunWindow(Controls& controls, Supervisor& supervisor, const WindowOptions& options);

}  // namespace vrec::frontend
