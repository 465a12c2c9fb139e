// System calls on device nodes and on the device's own absolute paths.
//
// Every access the firmware makes to "/dev/...", "/sdcard", "/mnt/mtd5",
// "/tmp", "/proc/mounts" and the like goes through these functions, so
// that the program can be linked against the device's kernel (plain Linux
// calls, Lib/SysDevice.cpp) or against another board that serves the same
// nodes and paths. Relative paths (the working directory: img/, font/,
// default settings) may use the C library directly.
#ifndef LIB_SYS_H
#define LIB_SYS_H

#include <dirent.h>
#include <stdio.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <sys/types.h>
#include <pthread.h>
#include <time.h>

int SYS_open(const char* path, int flags, mode_t mode = 0);
int SYS_close(int fd);
ssize_t SYS_read(int fd, void* buf, size_t count);
ssize_t SYS_write(int fd, const void* buf, size_t count);
off_t SYS_lseek(int fd, off_t offset, int whence);
int SYS_ioctl(int fd, unsigned long request, void* arg);
void* SYS_mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int SYS_munmap(void* addr, size_t length);
int SYS_fcntl(int fd, int cmd, long arg = 0);
int SYS_select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout);

// Requests whose argument is a value rather than a pointer.
inline int SYS_ioctl(int fd, unsigned long request, unsigned long value)
{
    return SYS_ioctl(fd, request, reinterpret_cast<void*>(value));
}

FILE* SYS_fopen(const char* path, const char* mode);
int SYS_stat(const char* path, struct stat* st);
int SYS_lstat(const char* path, struct stat* st);
int SYS_access(const char* path, int mode);
int SYS_mkdir(const char* path, mode_t mode);
int SYS_rmdir(const char* path);
int SYS_unlink(const char* path);
int SYS_remove(const char* path);
int SYS_rename(const char* from, const char* to);
int SYS_truncate(const char* path, off_t length);
int SYS_utimes(const char* path, const struct timeval times[2]);
DIR* SYS_opendir(const char* path);
int SYS_statvfs(const char* path, struct statvfs* st);
ssize_t SYS_readlink(const char* path, char* buf, size_t size);
void SYS_sync(void);
// Hands a file's buffered bytes to the card and waits until they are on it.
int SYS_fdatasync(FILE* fp);

// The device's clock (set by "date" and the RTC).
int SYS_gettimeofday(struct timeval* tv);
time_t SYS_time(time_t* t);

// Scheduling: the device runs its threads under SCHED_FIFO and nice -20.
int SYS_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*), void* arg);
int SYS_setpriority(int which, id_t who, int prio);

// Lets the board observe a state of the program that no device shows, for
// the front end's checks: "screen" (the active screen), "box" (the text of
// a message box just opened). The device ignores it.
void SYS_NoteState(const char* szName, const char* szValue);

// Turns a shell command line into the one "/bin/sh -c" runs. Returns 0 and
// writes at most size bytes (NUL included) into out, -1 if it does not fit.
int SYS_ShellCommand(const char* cmd, char* out, size_t size);

#endif
