#include "sim/board/Board.h"

#include "sim/board/BoardLayout.h"
#include "sim/board/Mounts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#ifndef VREC_DEFAULT_BOARD_ROOT
#error "VREC_DEFAULT_BOARD_ROOT must name the build's default board root"
#endif
#ifndef VREC_BOARD_BIN
#error "VREC_BOARD_BIN must name the folder of the board tools"
#endif
#ifndef VREC_ALSA_CONFIG_PATH
#error "VREC_ALSA_CONFIG_PATH must list the ALSA configuration files of the board's sound card"
#endif
#ifndef VREC_BUILD_DIR
#error "VREC_BUILD_DIR must name the build tree"
#endif

namespace vrec::board {

namespace {

std::mutex g_boardLock;
std::unique_ptr<Board> g_board;

std::string RootFromEnvironment()
{
    const char* root = std::getenv("VRECSIM_ROOT");
    return (root && *root) ? root : VREC_DEFAULT_BOARD_ROOT;
}

[[noreturn]] void Fatal(const std::string& why)
{
    std::fprintf(stderr, "board: %s\n", why.c_str());
    std::fflush(nullptr);
    _exit(1);
}

}  // namespace

Board& Board::Get()
{
    std::lock_guard<std::mutex> guard(g_boardLock);
    if (!g_board) {
        std::unique_ptr<Board> board(new Board(RootFromEnvironment()));
        std::string why;
        if (!board->PowerOn(&why))
            Fatal(why);
        g_board = std::move(board);
    }
    return *g_board;
}

bool Board::Reopen(const std::string& root, std::string* why)
{
    std::lock_guard<std::mutex> guard(g_boardLock);
    g_board.reset();
    std::unique_ptr<Board> board(new Board(root));
    if (!board->PowerOn(why))
        return false;
    g_board = std::move(board);
    return true;
}

Board::Board(const std::string& root)
    : paths_(root, {VREC_BUILD_DIR}), cards_(paths_.root()), toolDir_(VREC_BOARD_BIN)
{
}

Board::~Board()
{
    StopKernel();
    std::lock_guard<std::mutex> guard(devicesLock_);
    for (auto& entry : devices_)
        close(entry.first);
    devices_.clear();
}

int64_t Board::HostTimeUs()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

bool Board::PowerOn(std::string* why)
{
    if (!PrepareBoardRoot(paths_.root(), why))
        return false;
    stateFile_ = std::make_unique<HardwareStateFile>(paths_.root());
    if (!stateFile_->ok()) {
        *why = "cannot map the hardware state of " + paths_.root();
        return false;
    }
    // The device's console is a serial line: its output appears line by line.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    PowerOnBoard(paths_, cards_, state());
    state().firmware.pid = static_cast<int32_t>(getpid());

    // The device's shell commands find the board's tools first.
    const char* path = std::getenv("PATH");
    std::string newPath = toolDir_ + ":" + (path ? path : "/usr/bin:/bin");
    setenv("PATH", newPath.c_str(), 1);
    setenv("VRECSIM_ROOT", paths_.root().c_str(), 1);
    // ALSA in this process (and the device's amixer) reaches the board's
    // sound card; the machine's own set-up is not used.
    setenv("ALSA_CONFIG_PATH", VREC_ALSA_CONFIG_PATH, 1);
    StartKernel();
    return true;
}

void Board::StartKernel()
{
    kernelStop_ = false;
    kernel_ = std::thread([this] { KernelLoop(); });
}

void Board::StopKernel()
{
    kernelStop_ = true;
    if (kernel_.joinable())
        kernel_.join();
}

// The part of the device's kernel that acts on its own: hot-plug mounts a
// card shortly after it is put in, as the device's automounter does.
void Board::KernelLoop()
{
    uint32_t seenChanges = state().card.changes.load();
    while (!kernelStop_) {
        usleep(50 * 1000);
        uint32_t changes = state().card.changes.load();
        if (changes == seenChanges)
            continue;
        seenChanges = changes;
        if (!state().card.inserted)
            continue;
        usleep(300 * 1000);
        if (state().card.changes.load() == seenChanges && state().card.inserted && !state().usb.gadgetLoaded)
            HotplugCardInserted(paths_, cards_);
    }
}

int Board::AddDevice(std::shared_ptr<BoardDevice> device)
{
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        return -1;
    std::lock_guard<std::mutex> guard(devicesLock_);
    devices_[fd] = std::move(device);
    return fd;
}

std::shared_ptr<BoardDevice> Board::FindDevice(int fd)
{
    std::lock_guard<std::mutex> guard(devicesLock_);
    auto it = devices_.find(fd);
    return it == devices_.end() ? nullptr : it->second;
}

bool Board::CloseDevice(int fd)
{
    std::shared_ptr<BoardDevice> device;
    {
        std::lock_guard<std::mutex> guard(devicesLock_);
        auto it = devices_.find(fd);
        if (it == devices_.end())
            return false;
        device = std::move(it->second);
        devices_.erase(it);
    }
    close(fd);
    return true;
}

bool Board::RealtimeAllowed()
{
    std::call_once(realtimeOnce_, [this] {
        const char* ask = std::getenv("VRECSIM_REALTIME");
        bool asked = ask && std::strcmp(ask, "1") == 0;
        struct rlimit limit;
        bool permitted = geteuid() == 0 ||
                         (getrlimit(RLIMIT_RTPRIO, &limit) == 0 &&
                          limit.rlim_cur >= static_cast<rlim_t>(sched_get_priority_max(SCHED_FIFO)));
        realtime_ = asked && permitted;
        if (realtime_)
            std::fprintf(stderr, "board: threads run under the real-time policy they ask for\n");
        else if (asked)
            std::fprintf(stderr, "board: real-time scheduling is not permitted here; threads run under the normal policy\n");
        else
            std::fprintf(stderr, "board: threads run under the normal policy (VRECSIM_REALTIME=1 asks for real-time)\n");
    });
    return realtime_;
}

bool Board::OnCard(const std::string& hostPath) const
{
    auto under = [&hostPath](const std::string& tree) {
        return hostPath.compare(0, tree.size(), tree) == 0 &&
               (hostPath.size() == tree.size() || hostPath[tree.size()] == '/');
    };
    return under(paths_.root() + "/sdcard") || under(paths_.root() + "/media/mmcblk0p1");
}

bool Board::CardReadOnly()
{
    return state().card.inserted && state().card.writeProtected;
}

}  // namespace vrec::board
