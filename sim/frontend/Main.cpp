// vrecsim: the front end of the simulated recorder (see --help).
#include "sim/board/BoardLayout.h"
#include "sim/board/HardwareState.h"
#include "sim/frontend/Controls.h"
#include "sim/frontend/Options.h"
#include "sim/frontend/Scenario.h"
#include "sim/frontend/ScenarioRunner.h"
#include "sim/frontend/Supervisor.h"
#include "sim/frontend/Window.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using namespace vrec::frontend;

namespace {

int RunHeadless(Controls& controls, Supervisor& supervisor, const Options& options, const std::string& path)
{
    Scenario scenario;
    std::string why;
    if (!ParseScenario(path, scenario, &why)) {
        std::fprintf(stderr, "vrecsim: %s\n", why.c_str());
        return 2;
    }
    ScenarioRunner runner(controls, supervisor, options.outDir, stdout);
    runner.SetFontDir(options.approot + "/font");
    return runner.Run(scenario) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // A firmware that has gone must not take the front end with it.
    std::signal(SIGPIPE, SIG_IGN);
    Options options;
    std::string why;
    if (!ParseOptions(argc, argv, options, &why)) {
        std::fprintf(stderr, "vrecsim: %s\n", why.c_str());
        return 2;
    }
    if (options.help) {
        PrintHelp(argv[0]);
        return 0;
    }
    if (!vrec::board::PrepareBoardRoot(options.root, &why)) {
        std::fprintf(stderr, "vrecsim: %s\n", why.c_str());
        return 2;
    }
    if (mkdir(options.outDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "vrecsim: cannot make %s: %s\n", options.outDir.c_str(), std::strerror(errno));
        return 2;
    }
    vrec::board::HardwareStateFile stateFile(options.root);
    if (!stateFile.ok()) {
        std::fprintf(stderr, "vrecsim: cannot map the hardware state of %s\n", options.root.c_str());
        return 2;
    }
    Controls controls(options.root, stateFile.state());
    controls.ReleaseAllKeys();

    FirmwareConfig config;
    config.program = options.app;
    config.workDir = options.approot;
    config.boardRoot = options.root;
    config.echo = !options.quiet;
    config.logPath = options.root + "/log/firmware.log";
    Supervisor supervisor(config, controls);

    bool headless = options.headless || !options.scenario.empty();
    if (!headless && (options.window || DisplayAvailable())) {
        WindowOptions window;
        window.snapshotDir = options.outDir;
        window.screenshot = options.screenshot;
        window.screenshotAfterMs = options.screenshotAfterMs;
        window.soundFile = options.soundFile;
        return RunWindow(controls, supervisor, window);
    }
    std::string scenario = options.scenario;
    if (scenario.empty()) {
        scenario = VREC_DEMO_SCENARIO;
        std::printf("vrecsim: no display; running the demo scenario %s\n", scenario.c_str());
    }
    return RunHeadless(controls, supervisor, options, scenario);
}
