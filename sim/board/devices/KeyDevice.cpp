// "/dev/vreckey": the key, switch and detect lines as a 4-byte little-endian
// mask. A descriptor is readable while the lines changed since it last read
// them; a blocking read waits for such a change.
#include "sim/board/Board.h"
#include "sim/board/Devices.h"
#include "sim/board/KeyBits.h"

#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <thread>

namespace vrec::board {

namespace {

class KeyDevice : public BoardDevice
{
public:
    explicit KeyDevice(Board& board)
        : keys_(board.state().keys), polls_(board.state().keyPolls), reads_(board.state().keyReads)
    {
    }

    ssize_t Read(void* buf, size_t count) override
    {
        if (count < 4) {
            errno = EINVAL;
            return -1;
        }
        std::unique_lock<std::mutex> guard(lock_);
        while (!ChangedLocked()) {
            if (StatusFlags() & O_NONBLOCK) {
                errno = EAGAIN;
                return -1;
            }
            guard.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            guard.lock();
        }
        seenChanges_ = keys_.changes.load();
        // F1 belongs to the power controller.
        seenMask_ = keys_.mask.load() & ~keybit::kF1;
        fresh_ = false;
        reads_.mask = seenMask_;
        reads_.count.fetch_add(1);
        auto* out = static_cast<unsigned char*>(buf);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<unsigned char>(seenMask_ >> (8 * i));
        return 4;
    }

    bool Readable() override
    {
        polls_.count++;
        std::lock_guard<std::mutex> guard(lock_);
        return ChangedLocked();
    }

private:
    bool ChangedLocked() const
    {
        return fresh_ || keys_.changes.load() != seenChanges_ || (keys_.mask.load() & ~keybit::kF1) != seenMask_;
    }

    KeyLines& keys_;
    KeyPolls& polls_;
    KeyReads& reads_;
    std::mutex lock_;
    bool fresh_ = true;
    uint32_t seenChanges_ = 0;
    uint32_t seenMask_ = 0;
};

}  // namespace

std::shared_ptr<BoardDevice> OpenKeyDevice(Board& board, int flags)
{
    if ((flags & O_ACCMODE) != O_RDONLY) {
        errno = EACCES;
        return nullptr;
    }
    return std::make_shared<KeyDevice>(board);
}

}  // namespace vrec::board
