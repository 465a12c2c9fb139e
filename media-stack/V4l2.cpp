#include "media-stack/V4l2.h"

#include "Lib/Sys.h"
#include "media-stack/VideoDriver.h"

#include <cerrno>
#include <sys/select.h>

namespace mediastack {

int Request(int fd, unsigned long request, void* arg)
{
    int r;
    do {
        r = SYS_ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

int WaitReadable(int fd, int ms)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    struct timeval timeout = {ms / 1000, (ms % 1000) * 1000};
    return SYS_select(fd + 1, &ready, nullptr, nullptr, &timeout);
}

bool SetFormat(int fd, uint32_t type, int32_t width, int32_t height, int32_t lineLength)
{
    v4l2_format fmt = {};
    fmt.type = type;
    fmt.fmt.pix.width = static_cast<uint32_t>(width);
    fmt.fmt.pix.height = static_cast<uint32_t>(height);
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_UYVY;
    fmt.fmt.pix.bytesperline = static_cast<uint32_t>(lineLength);
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    return Request(fd, VIDIOC_S_FMT, &fmt) == 0;
}

bool RequestBuffers(int fd, uint32_t type, int count)
{
    v4l2_requestbuffers req = {};
    req.count = static_cast<uint32_t>(count);
    req.type = type;
    req.memory = V4L2_MEMORY_USERPTR;
    return Request(fd, VIDIOC_REQBUFS, &req) == 0 && req.count == static_cast<uint32_t>(count);
}

bool Stream(int fd, uint32_t type, bool on)
{
    int t = static_cast<int>(type);
    return Request(fd, on ? VIDIOC_STREAMON : VIDIOC_STREAMOFF, &t) == 0;
}

int QueueBuffer(int fd, uint32_t type, BufTab_Handle hBufTab, int index, uint32_t bytesUsed)
{
    Buffer_Handle hBuf = BufTab_getBuf(hBufTab, index);
    if (!hBuf)
        return Dmai_EINVAL;
    v4l2_buffer buf = {};
    buf.type = type;
    buf.memory = V4L2_MEMORY_USERPTR;
    buf.index = static_cast<uint32_t>(index);
    buf.m.userptr = reinterpret_cast<unsigned long>(Buffer_getUserPtr(hBuf));
    buf.length = static_cast<uint32_t>(Buffer_getSize(hBuf));
    buf.bytesused = bytesUsed;
    return Request(fd, VIDIOC_QBUF, &buf) < 0 ? Dmai_EFAIL : Dmai_EOK;
}

int DequeueBuffer(int fd, uint32_t type, int waitMs, int* index)
{
    v4l2_buffer buf = {};
    buf.type = type;
    buf.memory = V4L2_MEMORY_USERPTR;
    while (Request(fd, VIDIOC_DQBUF, &buf) < 0) {
        if (errno != EAGAIN)
            return Dmai_EFAIL;
        int n = WaitReadable(fd, waitMs);
        if (n == 0)
            return Dmai_ETIMEOUT;
        if (n < 0 && errno != EINTR)
            return Dmai_EFAIL;
    }
    *index = static_cast<int>(buf.index);
    return Dmai_EOK;
}

int IndexInTable(BufTab_Handle hBufTab, int count, Buffer_Handle hBuf)
{
    for (int i = 0; i < count; ++i)
        if (BufTab_getBuf(hBufTab, i) == hBuf)
            return i;
    return -1;
}

}  // namespace mediastack
