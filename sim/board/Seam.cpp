// The firmware's system calls on device nodes and device paths, served by
// the simulated board.
#include "Lib/Sys.h"

#include "sim/board/Board.h"
#include "sim/board/Card.h"
#include "sim/board/CardFile.h"
#include "sim/board/Devices.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

using vrec::board::Board;
using vrec::board::BoardDevice;

namespace {

Board& B()
{
    return Board::Get();
}

std::string HostPath(const char* path)
{
    return path ? B().paths().Map(path) : std::string();
}

int Fail(int error)
{
    errno = error;
    return -1;
}

// Writes on a write-protected card fail as on a read-only mount.
bool RefusedOnReadOnlyCard(const std::string& hostPath)
{
    return B().OnCard(hostPath) && B().CardReadOnly();
}

bool WritesByFlags(int flags)
{
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

}  // namespace

int SYS_open(const char* path, int flags, mode_t mode)
{
    if (!path)
        return Fail(EFAULT);
    if (auto open = vrec::board::FindDeviceNode(path)) {
        std::shared_ptr<BoardDevice> device = open(B(), flags);
        if (!device)
            return -1;
        device->SetStatusFlags(flags & (O_ACCMODE | O_NONBLOCK | O_APPEND));
        return B().AddDevice(std::move(device));
    }
    std::string host = HostPath(path);
    if (WritesByFlags(flags) && RefusedOnReadOnlyCard(host))
        return Fail(EROFS);
    return open(host.c_str(), flags, mode);
}

int SYS_close(int fd)
{
    if (B().CloseDevice(fd))
        return 0;
    return close(fd);
}

ssize_t SYS_read(int fd, void* buf, size_t count)
{
    if (auto device = B().FindDevice(fd))
        return device->Read(buf, count);
    return read(fd, buf, count);
}

ssize_t SYS_write(int fd, const void* buf, size_t count)
{
    if (auto device = B().FindDevice(fd))
        return device->Write(buf, count);
    return write(fd, buf, count);
}

off_t SYS_lseek(int fd, off_t offset, int whence)
{
    if (auto device = B().FindDevice(fd))
        return device->Seek(offset, whence);
    return lseek(fd, offset, whence);
}

int SYS_ioctl(int fd, unsigned long request, void* arg)
{
    if (auto device = B().FindDevice(fd))
        return device->Ioctl(request, arg);
    return ioctl(fd, request, arg);
}

void* SYS_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (fd >= 0) {
        if (auto device = B().FindDevice(fd))
            return device->Map(length, prot, flags, offset);
    }
    return mmap(addr, length, prot, flags, fd, offset);
}

int SYS_munmap(void* addr, size_t length)
{
    return munmap(addr, length);
}

int SYS_fcntl(int fd, int cmd, long arg)
{
    auto device = B().FindDevice(fd);
    if (!device)
        return fcntl(fd, cmd, arg);
    switch (cmd) {
    case F_GETFL:
        return device->StatusFlags();
    case F_SETFL: {
        const int changeable = O_NONBLOCK | O_APPEND;
        device->SetStatusFlags((device->StatusFlags() & ~changeable) | (static_cast<int>(arg) & changeable));
        return 0;
    }
    default:
        return fcntl(fd, cmd, arg);
    }
}

int SYS_select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout)
{
    // Board descriptors are ready by their device's state, the others by the kernel.
    std::vector<std::pair<int, std::shared_ptr<BoardDevice>>> boardReads;
    bool otherFds = writefds || exceptfds;
    if (readfds) {
        for (int fd = 0; fd < nfds; ++fd) {
            if (!FD_ISSET(fd, readfds))
                continue;
            if (auto device = B().FindDevice(fd))
                boardReads.emplace_back(fd, device);
            else
                otherFds = true;
        }
    }
    if (boardReads.empty())
        return select(nfds, readfds, writefds, exceptfds, timeout);

    using Clock = std::chrono::steady_clock;
    bool forever = timeout == nullptr;
    Clock::time_point deadline = Clock::now();
    if (timeout)
        deadline += std::chrono::seconds(timeout->tv_sec) + std::chrono::microseconds(timeout->tv_usec);
    fd_set in, out, err;
    for (;;) {
        int ready = 0;
        FD_ZERO(&in);
        FD_ZERO(&out);
        FD_ZERO(&err);
        if (otherFds) {
            fd_set r, w, e;
            FD_ZERO(&r);
            if (readfds)
                r = *readfds;
            for (auto& entry : boardReads)
                FD_CLR(entry.first, &r);
            if (writefds)
                w = *writefds;
            if (exceptfds)
                e = *exceptfds;
            struct timeval zero = {0, 0};
            int n = select(nfds, &r, writefds ? &w : nullptr, exceptfds ? &e : nullptr, &zero);
            if (n < 0)
                return -1;
            ready += n;
            in = r;
            if (writefds)
                out = w;
            if (exceptfds)
                err = e;
        }
        for (auto& entry : boardReads) {
            if (entry.second->Readable()) {
                FD_SET(entry.first, &in);
                ++ready;
            }
        }
        if (ready > 0 || (!forever && Clock::now() >= deadline)) {
            if (readfds)
                *readfds = in;
            if (writefds)
                *writefds = out;
            if (exceptfds)
                *exceptfds = err;
            if (timeout) {
                timeout->tv_sec = 0;
                timeout->tv_usec = 0;
            }
            return ready;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

FILE* SYS_fopen(const char* path, const char* mode)
{
    if (!path) {
        errno = EFAULT;
        return nullptr;
    }
    std::string host = HostPath(path);
    if (B().OnCard(host))
        return vrec::board::OpenCardFile(B(), host, mode);
    return fopen(host.c_str(), mode);
}

int SYS_stat(const char* path, struct stat* st)
{
    return stat(HostPath(path).c_str(), st);
}

int SYS_lstat(const char* path, struct stat* st)
{
    return lstat(HostPath(path).c_str(), st);
}

int SYS_access(const char* path, int mode)
{
    std::string host = HostPath(path);
    if ((mode & W_OK) && RefusedOnReadOnlyCard(host))
        return Fail(EROFS);
    return access(host.c_str(), mode);
}

#define REFUSE_ON_READ_ONLY_CARD(host) \
    if (RefusedOnReadOnlyCard(host))   \
    return Fail(EROFS)

int SYS_mkdir(const char* path, mode_t mode)
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return mkdir(host.c_str(), mode);
}

int SYS_rmdir(const char* path)
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return rmdir(host.c_str());
}

int SYS_unlink(const char* path)
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return unlink(host.c_str());
}

int SYS_remove(const char* path)
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return remove(host.c_str());
}

int SYS_rename(const char* from, const char* to)
{
    std::string hostFrom = HostPath(from);
    std::string hostTo = HostPath(to);
    REFUSE_ON_READ_ONLY_CARD(hostFrom);
    REFUSE_ON_READ_ONLY_CARD(hostTo);
    return rename(hostFrom.c_str(), hostTo.c_str());
}

int SYS_truncate(const char* path, off_t length)
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return truncate(host.c_str(), length);
}

int SYS_utimes(const char* path, const struct timeval times[2])
{
    std::string host = HostPath(path);
    REFUSE_ON_READ_ONLY_CARD(host);
    return utimes(host.c_str(), times);
}

DIR* SYS_opendir(const char* path)
{
    return opendir(HostPath(path).c_str());
}

int SYS_statvfs(const char* path, struct statvfs* st)
{
    std::string host = HostPath(path);
    if (statvfs(host.c_str(), st) != 0)
        return -1;
    Board& board = B();
    if (!board.OnCard(host))
        return 0;
    // The mounted card: its FAT geometry and the clusters its files take.
    std::string image = board.cards().SlotImage();
    vrec::board::FatInfo fat = vrec::board::ReadFat(image, vrec::board::ReadPartition(image));
    struct stat info;
    if (!fat.valid || lstat((board.paths().root() + "/media/mmcblk0p1").c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return 0;
    uint64_t used = vrec::board::UsedClusters(board.cards().SlotFiles(), fat.clusterBytes, fat.fatBits == 32);
    uint64_t total = fat.dataClusters;
    uint64_t free = used < total ? total - used : 0;
    st->f_bsize = fat.clusterBytes;
    st->f_frsize = fat.clusterBytes;
    st->f_blocks = total;
    st->f_bfree = free;
    st->f_bavail = free;
    st->f_namemax = 255;
    st->f_flag = board.CardReadOnly() ? ST_RDONLY : 0;
    return 0;
}

ssize_t SYS_readlink(const char* path, char* buf, size_t size)
{
    return readlink(HostPath(path).c_str(), buf, size);
}

int SYS_fdatasync(FILE* fp)
{
    // What reached the card file is the host's, which keeps it through a
    // power cut of the board.
    return fflush(fp) == 0 ? 0 : -1;
}

void SYS_sync(void)
{
    // The card and flash are files of the host, which keeps them.
    B().state().firmware.syncs.fetch_add(1);
}

int SYS_gettimeofday(struct timeval* tv)
{
    int64_t us = B().SystemTimeUs();
    tv->tv_sec = static_cast<time_t>(us / 1000000);
    tv->tv_usec = static_cast<suseconds_t>(us % 1000000);
    if (tv->tv_usec < 0) {
        tv->tv_usec += 1000000;
        tv->tv_sec -= 1;
    }
    return 0;
}

time_t SYS_time(time_t* t)
{
    struct timeval tv;
    SYS_gettimeofday(&tv);
    if (t)
        *t = tv.tv_sec;
    return tv.tv_sec;
}

int SYS_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*), void* arg)
{
    int inherit = PTHREAD_INHERIT_SCHED;
    if (attr)
        pthread_attr_getinheritsched(attr, &inherit);
    if (!attr || inherit == PTHREAD_INHERIT_SCHED || B().RealtimeAllowed()) {
        int result = pthread_create(thread, attr, routine, arg);
        if (result != EPERM || !attr)
            return result;
    }
    // The normal policy, keeping what else the attributes ask for.
    pthread_attr_t normal;
    pthread_attr_init(&normal);
    if (attr) {
        int detach = PTHREAD_CREATE_JOINABLE;
        size_t stack = 0;
        pthread_attr_getdetachstate(attr, &detach);
        pthread_attr_setdetachstate(&normal, detach);
        if (pthread_attr_getstacksize(attr, &stack) == 0 && stack > 0)
            pthread_attr_setstacksize(&normal, stack);
    }
    int result = pthread_create(thread, &normal, routine, arg);
    pthread_attr_destroy(&normal);
    return result;
}

int SYS_setpriority(int which, id_t who, int prio)
{
    // Nice values are the device's; on a shared PC they stay as they are.
    if (!B().RealtimeAllowed())
        return 0;
    return setpriority(static_cast<__priority_which_t>(which), who, prio);
}

void SYS_NoteState(const char* szName, const char* szValue)
{
    if (!szName || !szValue)
        return;
    vrec::board::Firmware& firmware = B().state().firmware;
    if (std::strcmp(szName, "screen") == 0) {
        std::snprintf(firmware.activeScreen, sizeof(firmware.activeScreen), "%s", szValue);
        firmware.screenChanges.fetch_add(1);
    } else if (std::strcmp(szName, "box") == 0) {
        vrec::board::BoxNote& box = B().state().box;
        std::snprintf(box.text, sizeof(box.text), "%s", szValue);
        box.opened.fetch_add(1);
    }
}

int SYS_ShellCommand(const char* cmd, char* out, size_t size)
{
    std::string mapped = B().paths().MapCommand(cmd ? cmd : "", B().toolDir());
    if (mapped.size() + 1 > size)
        return -1;
    std::memcpy(out, mapped.c_str(), mapped.size() + 1);
    return 0;
}
