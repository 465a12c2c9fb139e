// The file half of the seam for a host tool: the files the user names are
// the host's own, reached as they are named; device trees stay refused.
#include "Lib/Sys.h"

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <cstring>
#include <unistd.h>

namespace {

bool DevicePath(const char* path)
{
    if (!path)
        return true;
    for (const char* tree : {"/dev/", "/proc/", "/sys/"})
        if (std::strncmp(path, tree, std::strlen(tree)) == 0)
            return true;
    return false;
}

int Refuse()
{
    errno = ENODEV;
    return -1;
}

}  // namespace

FILE* SYS_fopen(const char* path, const char* mode)
{
    if (DevicePath(path)) {
        errno = ENODEV;
        return nullptr;
    }
    return std::fopen(path, mode);
}

int SYS_stat(const char* path, struct stat* st) { return DevicePath(path) ? Refuse() : stat(path, st); }
int SYS_lstat(const char* path, struct stat* st) { return DevicePath(path) ? Refuse() : lstat(path, st); }
int SYS_access(const char* path, int mode) { return DevicePath(path) ? Refuse() : access(path, mode); }
int SYS_mkdir(const char* path, mode_t mode) { return DevicePath(path) ? Refuse() : mkdir(path, mode); }
int SYS_rmdir(const char* path) { return DevicePath(path) ? Refuse() : rmdir(path); }
int SYS_unlink(const char* path) { return DevicePath(path) ? Refuse() : unlink(path); }
int SYS_remove(const char* path) { return DevicePath(path) ? Refuse() : std::remove(path); }
int SYS_rename(const char* from, const char* to)
{
    return DevicePath(from) || DevicePath(to) ? Refuse() : std::rename(from, to);
}
int SYS_truncate(const char* path, off_t length) { return DevicePath(path) ? Refuse() : truncate(path, length); }
int SYS_utimes(const char* path, const struct timeval times[2]) { return DevicePath(path) ? Refuse() : utimes(path, times); }
DIR* SYS_opendir(const char* path)
{
    if (DevicePath(path)) {
        errno = ENODEV;
        return nullptr;
    }
    return opendir(path);
}
int SYS_statvfs(const char* path, struct statvfs* st) { return DevicePath(path) ? Refuse() : statvfs(path, st); }
ssize_t SYS_readlink(const char* path, char* buf, size_t size)
{
    return DevicePath(path) ? Refuse() : readlink(path, buf, size);
}
void SYS_sync(void) {}
int SYS_fdatasync(FILE* fp) { return fflush(fp) == 0 && fdatasync(fileno(fp)) == 0 ? 0 : -1; }
