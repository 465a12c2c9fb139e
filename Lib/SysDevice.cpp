// The device's own system calls: every seam function is the Linux call.
#include "Lib/Sys.h"

#include <fcntl.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

int SYS_open(const char* path, int flags, mode_t mode) { return open(path, flags, mode); }
int SYS_close(int fd) { return close(fd); }
ssize_t SYS_read(int fd, void* buf, size_t count) { return read(fd, buf, count); }
ssize_t SYS_write(int fd, const void* buf, size_t count) { return write(fd, buf, count); }
off_t SYS_lseek(int fd, off_t offset, int whence) { return lseek(fd, offset, whence); }
int SYS_ioctl(int fd, unsigned long request, void* arg) { return ioctl(fd, request, arg); }
void* SYS_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return mmap(addr, length, prot, flags, fd, offset);
}
int SYS_munmap(void* addr, size_t length) { return munmap(addr, length); }
int SYS_fcntl(int fd, int cmd, long arg) { return fcntl(fd, cmd, arg); }
int SYS_select(int nfds, fd_set* r, fd_set* w, fd_set* e, struct timeval* timeout)
{
    return select(nfds, r, w, e, timeout);
}
FILE* SYS_fopen(const char* path, const char* mode) { return fopen(path, mode); }
int SYS_stat(const char* path, struct stat* st) { return stat(path, st); }
int SYS_lstat(const char* path, struct stat* st) { return lstat(path, st); }
int SYS_access(const char* path, int mode) { return access(path, mode); }
int SYS_mkdir(const char* path, mode_t mode) { return mkdir(path, mode); }
int SYS_rmdir(const char* path) { return rmdir(path); }
int SYS_unlink(const char* path) { return unlink(path); }
int SYS_remove(const char* path) { return remove(path); }
int SYS_rename(const char* from, const char* to) { return rename(from, to); }
int SYS_truncate(const char* path, off_t length) { return truncate(path, length); }
int SYS_utimes(const char* path, const struct timeval times[2]) { return utimes(path, times); }
DIR* SYS_opendir(const char* path) { return opendir(path); }
int SYS_statvfs(const char* path, struct statvfs* st) { return statvfs(path, st); }
ssize_t SYS_readlink(const char* path, char* buf, size_t size) { return readlink(path, buf, size); }
void SYS_sync(void) { sync(); }
int SYS_fdatasync(FILE* fp) { return fflush(fp) == 0 && fdatasync(fileno(fp)) == 0 ? 0 : -1; }
int SYS_gettimeofday(struct timeval* tv) { return gettimeofday(tv, nullptr); }
time_t SYS_time(time_t* t) { return time(t); }
int SYS_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*), void* arg)
{
    return pthread_create(thread, attr, routine, arg);
}
int SYS_setpriority(int which, id_t who, int prio) { return setpriority(static_cast<__priority_which_t>(which), who, prio); }
void SYS_NoteState(const char* szName, const char* szValue) {}
int SYS_ShellCommand(const char* cmd, char* out, size_t size)
{
    size_t n = strlen(cmd);
    if (n + 1 > size)
        return -1;
    memcpy(out, cmd, n + 1);
    return 0;
}
