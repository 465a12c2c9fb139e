// The seam (Lib/Sys.h) without any device: for the firmware's unit tests
// that need no board, run on the device's processor under qemu-user, and
// for host tools. Every device node fails with ENODEV and no shell command
// runs, so that nothing reaches the host's own devices; time and threads
// are the host's. The file half is NoDeviceFiles.cpp (refuses every path)
// or a tool's own.
#include "Lib/Sys.h"

#include <errno.h>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

int Refuse()
{
    errno = ENODEV;
    return -1;
}

}  // namespace

int SYS_open(const char*, int, mode_t) { return Refuse(); }
int SYS_close(int) { return Refuse(); }
ssize_t SYS_read(int, void*, size_t) { return Refuse(); }
ssize_t SYS_write(int, const void*, size_t) { return Refuse(); }
off_t SYS_lseek(int, off_t, int) { return Refuse(); }
int SYS_ioctl(int, unsigned long, void*) { return Refuse(); }
void* SYS_mmap(void*, size_t, int, int, int, off_t)
{
    errno = ENODEV;
    return MAP_FAILED;
}
int SYS_munmap(void*, size_t) { return Refuse(); }
int SYS_fcntl(int, int, long) { return Refuse(); }
int SYS_select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout)
{
    // Without descriptors it is a sleep (SleepMS, SleepUS).
    if (nfds == 0 && !readfds && !writefds && !exceptfds)
        return select(0, nullptr, nullptr, nullptr, timeout);
    return Refuse();
}

int SYS_gettimeofday(struct timeval* tv) { return gettimeofday(tv, nullptr); }
time_t SYS_time(time_t* t) { return time(t); }

int SYS_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*), void* arg)
{
    // Real-time policies are the device's: here threads inherit the normal
    // policy and keep the caller's other attributes (the caller's own
    // attributes object, which it destroys right after).
    if (attr)
        pthread_attr_setinheritsched(const_cast<pthread_attr_t*>(attr), PTHREAD_INHERIT_SCHED);
    return pthread_create(thread, attr, routine, arg);
}

int SYS_setpriority(int, id_t, int) { return 0; }

void SYS_NoteState(const char*, const char*) {}

int SYS_ShellCommand(const char*, char*, size_t) { return -1; }
