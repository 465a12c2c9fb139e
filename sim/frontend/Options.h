// Command-line options of the front end.
#pragma once

#include <string>

namespace vrec::frontend {

struct Options
{
    std::string root;        // board root
    std::string app;         // the firmware program
    std::string approot;     // its working directory
    std::string scenario;    // headless: the scenario to run
    std::string outDir;      // snapshots with relative names
    bool window = false;     // a window even if no display seems to be there
    bool headless = false;   // no window even with a display
    bool quiet = false;      // firmware output to the log file only
    bool help = false;
    std::string screenshot;  // window: save its picture after screenshotAfterMs and close
    int screenshotAfterMs = 3000;
    std::string soundFile;   // window: a WAV file the microphone rows offer
};

// Fills in the defaults of the build; false and the reason on a bad option.
bool ParseOptions(int argc, char** argv, Options& out, std::string* why);
void PrintHelp(const char* program);

}  // namespace vrec::frontend
