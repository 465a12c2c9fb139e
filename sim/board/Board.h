// The simulated board as the firmware process sees it: its root, hardware
// state, cards, clock, scheduling policy and the open device descriptors.
#pragma once

#include "sim/board/BoardPaths.h"
#include "sim/board/Card.h"
#include "sim/board/Device.h"
#include "sim/board/HardwareState.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace vrec::board {

class Board
{
public:
    // The board of this process, powered on at first use: the root named by
    // VRECSIM_ROOT, else the build's default board.
    static Board& Get();
    // Powers the board of this process on again on another root (tests).
    static bool Reopen(const std::string& root, std::string* why);

    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    const BoardPaths& paths() const { return paths_; }
    HardwareState& state() { return stateFile_->state(); }
    CardStore& cards() { return cards_; }
    const std::string& toolDir() const { return toolDir_; }

    // Clocks in microseconds since the epoch.
    static int64_t HostTimeUs();
    // The clocks count from the host time, or from the test clock while it is held.
    int64_t BaseTimeUs() { return BoardBaseTimeUs(state()); }
    int64_t SystemTimeUs() { return BaseTimeUs() + state().clock.systemOffsetUs.load(); }
    int64_t RtcTimeUs() { return BaseTimeUs() + state().clock.rtcOffsetUs.load(); }
    void SetRtcTimeUs(int64_t us) { state().clock.rtcOffsetUs = us - BaseTimeUs(); }
    void SetSystemTimeUs(int64_t us) { state().clock.systemOffsetUs = us - BaseTimeUs(); }

    // Device descriptors: a real descriptor number stands for each open device.
    int AddDevice(std::shared_ptr<BoardDevice> device);
    std::shared_ptr<BoardDevice> FindDevice(int fd);
    bool CloseDevice(int fd);

    // True when threads may get the real-time policy they ask for.
    bool RealtimeAllowed();

    // True when the card's file system is mounted read-only (write-protected card).
    bool CardReadOnly();
    // True when hostPath lies on the mounted card.
    bool OnCard(const std::string& hostPath) const;

private:
    explicit Board(const std::string& root);
    bool PowerOn(std::string* why);
    void StartKernel();
    void StopKernel();
    void KernelLoop();

    BoardPaths paths_;
    CardStore cards_;
    std::unique_ptr<HardwareStateFile> stateFile_;
    std::string toolDir_;

    std::mutex devicesLock_;
    std::unordered_map<int, std::shared_ptr<BoardDevice>> devices_;

    std::once_flag realtimeOnce_;
    bool realtime_ = false;

    std::atomic<bool> kernelStop_{false};
    std::thread kernel_;
};

}  // namespace vrec::board
