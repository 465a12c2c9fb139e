// The file half of the seam without any device: every path fails with
// ENODEV, so that nothing reaches the host's own files.
#include "Lib/Sys.h"

#include <errno.h>

namespace {

int Refuse()
{
    errno = ENODEV;
    return -1;
}

}  // namespace

FILE* SYS_fopen(const char*, const char*)
{
    errno = ENODEV;
    return nullptr;
}
int SYS_stat(const char*, struct stat*) { return Refuse(); }
int SYS_lstat(const char*, struct stat*) { return Refuse(); }
int SYS_access(const char*, int) { return Refuse(); }
int SYS_mkdir(const char*, mode_t) { return Refuse(); }
int SYS_rmdir(const char*) { return Refuse(); }
int SYS_unlink(const char*) { return Refuse(); }
int SYS_remove(const char*) { return Refuse(); }
int SYS_rename(const char*, const char*) { return Refuse(); }
int SYS_truncate(const char*, off_t) { return Refuse(); }
int SYS_utimes(const char*, const struct timeval[2]) { return Refuse(); }
DIR* SYS_opendir(const char*)
{
    errno = ENODEV;
    return nullptr;
}
int SYS_statvfs(const char*, struct statvfs*) { return Refuse(); }
ssize_t SYS_readlink(const char*, char*, size_t) { return Refuse(); }
void SYS_sync(void) {}
int SYS_fdatasync(FILE*) { return Refuse(); }
