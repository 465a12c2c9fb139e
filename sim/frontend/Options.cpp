#include "sim/frontend/Options.h"

#include "sim/frontend/Scenario.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vrec::frontend {

namespace {

std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char* cwd = realpath(".", nullptr);
    std::string base = cwd ? cwd : ".";
    std::free(cwd);
    return base + "/" + path;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& out, std::string* why)
{
    out.root = VREC_DEFAULT_BOARD_ROOT;
    out.app = VREC_APP;
    out.approot = VREC_APP_ROOT;
    out.outDir = VREC_SNAPSHOT_DIR;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                *why = arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--root") {
            if (!value(out.root))
                return false;
        } else if (arg == "--app") {
            if (!value(out.app))
                return false;
        } else if (arg == "--approot") {
            if (!value(out.approot))
                return false;
        } else if (arg == "--scenario") {
            if (!value(out.scenario))
                return false;
        } else if (arg == "--out") {
            if (!value(out.outDir))
                return false;
        } else if (arg == "--window") {
            out.window = true;
        } else if (arg == "--headless") {
            out.headless = true;
        } else if (arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--screenshot") {
            if (!value(out.screenshot))
                return false;
        } else if (arg == "--wav") {
            if (!value(out.soundFile))
                return false;
        } else if (arg == "--after") {
            std::string text;
            if (!value(text))
                return false;
            out.screenshotAfterMs = ParseDuration(text);
            if (out.screenshotAfterMs < 0) {
                *why = "--after takes a duration (500ms, 3s)";
                return false;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            *why = "unknown option " + arg + " (see --help)";
            return false;
        } else if (out.scenario.empty()) {
            out.scenario = arg;
        } else {
            *why = "one scenario at a time";
            return false;
        }
    }
    if (out.window && out.headless) {
        *why = "--window and --headless exclude each other";
        return false;
    }
    out.root = Absolute(out.root);
    out.app = Absolute(out.app);
    out.approot = Absolute(out.approot);
    out.outDir = Absolute(out.outDir);
    out.screenshot = Absolute(out.screenshot);
    return true;
}

void PrintHelp(const char* program)
{
    std::printf(R"(%s: the simulated KESTRA7 recorder.

Usage: %s [OPTIONS] [SCENARIO]

Runs the device's firmware on a simulated board. With a display (DISPLAY or
WAYLAND_DISPLAY) it opens a window showing the device; with a SCENARIO, or
without a display, it runs headless: the scenario (or the demo) drives the
device and the exit status tells whether every step and check passed.

Options:
  --root DIR        board root, created when missing (default %s)
  --app PATH        the firmware program (default %s)
  --approot DIR     its working directory (default %s)
  --scenario FILE   run this scenario headless (same as giving it last)
  --out DIR         folder of snapshots with relative names (default %s)
  --window          open the window (fails without a display)
  --headless        no window: runs SCENARIO, or the demo (%s)
  --quiet           the firmware's output goes only to ROOT/log/firmware.log
  --screenshot FILE window: save the window as a PNG after --after (default 3s), then close
  --wav FILE        window: a WAV file the microphone rows (B, L) offer as a source
  --help            this text

The firmware's debug console is this program's standard input (window mode)
or the scenario's "console" steps. When it powers off, the device stays off
until the power key (F1) is pressed or "power on" runs; after "reboot" it
starts again at once; when it crashes, the reason and the last lines of its
standard error are shown.

Window: keys of the device
  F1 power key (press to switch on; hold to switch off)   F2 F3 soft keys
  Esc/M MENU  Tab MODE  D DISPLAY  T zoom tele  W zoom wide
  arrows UP DOWN LEFT RIGHT  Enter ENTER  R RECORD  Space PLAY  S/Backspace STOP
Window: switches and cables (or click them in the panel)
  H HOLD  K SPEAKER  C CAMERA_SW  J headphones  E external mic
  I card in/out  N next card image  P write protect
  X HDMI cable  U USB cable  A mains adapter
  -/+ battery level  [ / ] input-volume knob  F12 snapshot of the LCD  F11 of HDMI

Exit status: 0 all passed (or the window closed), 1 a step or check failed
or the firmware crashed, 2 bad options or scenario.

)",
                program, program, VREC_DEFAULT_BOARD_ROOT, VREC_APP, VREC_APP_ROOT, VREC_SNAPSHOT_DIR,
                VREC_DEMO_SCENARIO);
    std::printf("%s", ScenarioSyntax());
}

}  // namespace vrec::frontend
