// A device node served by the board: what the firmware's system calls on
// an open "/dev/..." descriptor do.
#pragma once

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
};

}  // namespace vrec::board
