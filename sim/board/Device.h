// A device node served by the board: what the firmware's system calls on
// an open "/dev/..." descriptor do.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <sys/mman.h>
#include <sys/types.h>

namespace vrec::board {

class Board;

class BoardDevice
{
public:
    virtual ~BoardDevice() = default;

    virtual ssize_t Read(void* buf, size_t count)
    {
        errno = EINVAL;
        return -1;
    }
    virtual ssize_t Write(const void* buf, size_t count)
    {
        errno = EINVAL;
        return -1;
    }
    virtual off_t Seek(off_t offset, int whence)
    {
        errno = ESPIPE;
        return -1;
    }
    virtual int Ioctl(unsigned long request, void* arg)
    {
        errno = ENOTTY;
        return -1;
    }
    virtual void* Map(size_t length, int prot, int flags, off_t offset)
    {
        errno = ENODEV;
        return MAP_FAILED;
    }
    // For select: true when a read would return data now.
    virtual bool Readable() { return true; }

    // The descriptor's access mode and status flags (O_NONBLOCK), as
    // fcntl F_GETFL/F_SETFL see them.
    int StatusFlags() const { return statusFlags_.load(); }
    void SetStatusFlags(int flags) { statusFlags_ = flags; }

protected:
    // A failed call: -1 with errno set.
    static int Fail(int error)
    {
        errno = error;
        return -1;
    }

private:
    std::atomic<int> statusFlags_{0};
};

}  // namespace vrec::board
