// The soak: HD recorded for 40 minutes (or --minutes N) by the device's
// threads on a board of its own, across the 2,000,000,000-byte split.
// Reports the process's resident memory at the start and the end (the goal:
// flat within 2 MiB), the frames lost (by the camera's stamps, inside each
// file and across the split) and the frame times the camera found no
// buffer for (the goal: none), the sound capture overruns and monitor
// underruns, and whether both files decode without an error. Real time and
// a heavy load: not part of `make bench` nor of the tests; run it by hand:
//   cmake --build build --target soak_bench && build/bench/soak_bench [--minutes N]
#include "bench/support/BenchBoard.h"
#include "Lib/Global.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/GUI/Recorder.h"
#include "sim/board/Board.h"
#include "tests/media/support/MovParse.h"
#include "tests/video/support/VideoPipeline.h"
#include "tests/video/support/VideoSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

double ResidentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

std::vector<std::string> Movies()
{
    std::vector<std::string> names;
    const std::string folder = vrec::board::Board::Get().paths().Map("/sdcard/MY_FOLDER");
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(folder + "/" + entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

long long FileBytes(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    double minutes = 40;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--minutes") && i + 1 < argc)
            minutes = std::atof(argv[++i]);
    vrec::bench::OpenBenchBoard(VREC_BENCH_DIR, "soak-board");
    vrec::test::VideoPipeline pipeline(vrec::test::VideoPipeline::Writer::kDevice);
    if (!pipeline.started() || !pipeline.EnterRecorder(1280)) {
        std::fprintf(stderr, "soak: the recording path did not start\n");
        return 1;
    }
    g_RemainMedia.Update();
    g_bRecPause = 0;
    g_nRecPos = 0;
    vrec::board::HardwareState& hardware = vrec::board::Board::Get().state();
    const uint32_t droppedBefore = hardware.camera.dropped.load();
    const uint32_t overrunsBefore = hardware.sound.capture.xruns.load();
    const uint32_t underrunsBefore = hardware.sound.playback.xruns.load();
    g_bRecording = 1;
    if (!vrec::test::WaitUntil([] { return g_bMovWriterRunning != 0; }, 10.0)) {
        std::fprintf(stderr, "soak: the writer did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double residentStart = ResidentMiB();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(minutes * 60 - 10);
    while (std::chrono::steady_clock::now() < end) {
        const std::chrono::duration<double> left = end - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::min(std::chrono::duration<double>(60.0), left));
        std::printf("soak: %.0f MiB resident, %zu file(s), %u frame times without a buffer, %u overruns, %u underruns\n",
                    ResidentMiB(), Movies().size(), hardware.camera.dropped.load() - droppedBefore,
                    hardware.sound.capture.xruns.load() - overrunsBefore,
                    hardware.sound.playback.xruns.load() - underrunsBefore);
        std::fflush(stdout);
    }
    const double residentEnd = ResidentMiB();
    REC_Stop();
    vrec::test::WaitUntil([] { return g_bMovWriterRunning == 0; }, 30.0);
    const uint32_t dropped = hardware.camera.dropped.load() - droppedBefore;
    // An overrun loses sound from the recording; an underrun of the monitor
    // output is a click in the headphones only.
    const uint32_t overruns = hardware.sound.capture.xruns.load() - overrunsBefore;
    const uint32_t underruns = hardware.sound.playback.xruns.load() - underrunsBefore;

    long long lost = 0;
    bool allValid = true;
    long long lastStamp = -1;
    std::vector<std::string> movies = Movies();
    for (const std::string& movie : movies) {
        const std::string errors = vrec::test::DecodeErrors(movie);
        std::vector<vrec::test::DecodedFrame> frames = vrec::test::DecodeFrames(movie, 1280, 720);
        long long fileLost = 0;
        for (const vrec::test::DecodedFrame& frame : frames) {
            if (!frame.stamp)
                continue;
            if (lastStamp >= 0)
                fileLost += static_cast<long long>(frame.stamp->frame) - lastStamp - 1;
            lastStamp = frame.stamp->frame;
        }
        lost += fileLost;
        allValid = allValid && errors.empty() && !frames.empty();
        std::printf("soak: %s: %lld bytes, %zu frames, %lld lost before its end, %s\n", movie.c_str(),
                    FileBytes(movie), frames.size(), fileLost, errors.empty() ? "decodes cleanly" : errors.c_str());
    }
    std::printf("soak: %.1f min of HD in %zu file(s); resident %.1f MiB at the start, %.1f MiB at the end "
                "(end/start %.3f, %+.1f MiB); %lld frames lost, %u frame times without a buffer; "
                "%u sound capture overruns, %u monitor underruns; files %s\n",
                minutes, movies.size(), residentStart, residentEnd, residentEnd / residentStart,
                residentEnd - residentStart, lost, dropped, overruns, underruns, allValid ? "valid" : "NOT valid");
    pipeline.LeaveRecorder();
    const bool pass = movies.size() >= 2 && allValid && residentEnd - residentStart <= 2.0 && lost == 0 && dropped == 0 &&
                      overruns == 0;
    return pass ? 0 : 1;
}
