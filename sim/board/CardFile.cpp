#include "sim/board/CardFile.h"

#include "sim/board/Board.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::board {

namespace {

// The free clusters of the card in the slot, shared by every card file of
// this process. Measured from the card's file tree when a file is opened for
// writing and whenever it seems to run out (others may have freed space).
class FreeClusters
{
public:
    static FreeClusters& Get()
    {
        static FreeClusters instance;
        return instance;
    }

    std::mutex& lock() { return lock_; }

    // False when the card has no FAT to measure.
    bool Measure(Board& board)
    {
        std::string image = board.cards().SlotImage();
        FatInfo fat = ReadFat(image, ReadPartition(image));
        if (!fat.valid)
            return false;
        uint64_t used = UsedClusters(board.cards().SlotFiles(), fat.clusterBytes, fat.fatBits == 32);
        clusterBytes_ = fat.clusterBytes;
        free_ = used < fat.dataClusters ? static_cast<int64_t>(fat.dataClusters - used) : 0;
        return true;
    }

    uint32_t clusterBytes() const { return clusterBytes_; }
    int64_t free() const { return free_; }
    void Take(int64_t clusters) { free_ -= clusters; }

private:
    std::mutex lock_;
    uint32_t clusterBytes_ = 0;
    int64_t free_ = 0;
};

struct CardFile
{
    int fd = -1;
    bool append = false;
    uint32_t cardChanges = 0;  // the slot's change count when opened
    uint32_t clusterBytes = 0;
    uint64_t clusters = 0;     // clusters the file holds
};

uint64_t ClustersFor(uint64_t bytes, uint32_t clusterBytes)
{
    return clusterBytes ? (bytes + clusterBytes - 1) / clusterBytes : 0;
}

// The card this file was opened on is still in the slot, never pulled since.
bool CardStillIn(const CardFile& file)
{
    HardwareState& state = Board::Get().state();
    return state.card.inserted.load() && state.card.changes.load() == file.cardChanges;
}

ssize_t Read(void* cookie, char* buf, size_t size)
{
    CardFile& file = *static_cast<CardFile*>(cookie);
    if (!CardStillIn(file)) {
        errno = EIO;
        return -1;
    }
    return read(file.fd, buf, size);
}

ssize_t WriteAll(int fd, const char* buf, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, buf + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t Write(void* cookie, const char* buf, size_t size)
{
    CardFile& file = *static_cast<CardFile*>(cookie);
    Board& board = Board::Get();
    if (!CardStillIn(file)) {
        errno = EIO;
        return -1;
    }
    if (board.CardReadOnly()) {
        errno = EROFS;
        return -1;
    }
    if (size == 0 || file.clusterBytes == 0)
        return WriteAll(file.fd, buf, size);
    off_t pos;
    if (file.append) {
        struct stat st;
        pos = fstat(file.fd, &st) == 0 ? st.st_size : -1;
    } else {
        pos = lseek(file.fd, 0, SEEK_CUR);
    }
    if (pos < 0)
        return -1;
    uint64_t needed = ClustersFor(static_cast<uint64_t>(pos) + size, file.clusterBytes);
    if (needed <= file.clusters)
        return WriteAll(file.fd, buf, size);

    FreeClusters& space = FreeClusters::Get();
    std::lock_guard<std::mutex> guard(space.lock());
    const int64_t extra = static_cast<int64_t>(needed - file.clusters);
    if (space.free() < extra)
        space.Measure(board);
    if (space.free() < extra) {
        // As much as the last free cluster holds, then the card is full.
        uint64_t room = (file.clusters + static_cast<uint64_t>(std::max<int64_t>(space.free(), 0))) * file.clusterBytes;
        if (room <= static_cast<uint64_t>(pos)) {
            errno = ENOSPC;
            return -1;
        }
        size = static_cast<size_t>(room - static_cast<uint64_t>(pos));
    }
    const bool cut = needed > file.clusters && space.free() < static_cast<int64_t>(needed - file.clusters);
    ssize_t n = WriteAll(file.fd, buf, size);
    if (n > 0 && cut)
        errno = ENOSPC;  // stdio reports a short write with the error of the call
    if (n > 0) {
        uint64_t now = ClustersFor(static_cast<uint64_t>(pos) + static_cast<uint64_t>(n), file.clusterBytes);
        if (now > file.clusters) {
            space.Take(static_cast<int64_t>(now - file.clusters));
            file.clusters = now;
        }
    }
    return n;
}

int Seek(void* cookie, off64_t* offset, int whence)
{
    CardFile& file = *static_cast<CardFile*>(cookie);
    off64_t result = lseek64(file.fd, *offset, whence);
    if (result < 0)
        return -1;
    *offset = result;
    return 0;
}

int Close(void* cookie)
{
    CardFile* file = static_cast<CardFile*>(cookie);
    int result = close(file->fd);
    delete file;
    return result;
}

// fopen's mode as open flags; false for a mode fopen refuses.
bool OpenFlags(const char* mode, int* flags, std::string* cookieMode)
{
    if (!mode || !std::strchr("rwa", mode[0]))
        return false;
    bool plus = std::strchr(mode + 1, '+') != nullptr;
    int access = plus ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
    int more = mode[0] == 'w' ? O_CREAT | O_TRUNC : mode[0] == 'a' ? O_CREAT | O_APPEND : 0;
    if (std::strchr(mode + 1, 'x'))
        more |= O_EXCL;
    *flags = access | more | O_CLOEXEC;
    *cookieMode = std::string(1, mode[0]) + (plus ? "+" : "");
    return true;
}

}  // namespace

FILE* OpenCardFile(Board& board, const std::string& hostPath, const char* mode)
{
    int flags = 0;
    std::string cookieMode;
    if (!OpenFlags(mode, &flags, &cookieMode)) {
        errno = EINVAL;
        return nullptr;
    }
    const bool writes = (flags & O_ACCMODE) != O_RDONLY;
    if (writes && board.CardReadOnly()) {
        errno = EROFS;
        return nullptr;
    }
    auto* file = new CardFile;
    file->cardChanges = board.state().card.changes.load();
    file->append = (flags & O_APPEND) != 0;
    file->fd = open(hostPath.c_str(), flags, 0666);
    if (file->fd < 0) {
        int error = errno;
        delete file;
        errno = error;
        return nullptr;
    }
    if (writes) {
        FreeClusters& space = FreeClusters::Get();
        std::lock_guard<std::mutex> guard(space.lock());
        if (space.Measure(board)) {
            struct stat st;
            file->clusterBytes = space.clusterBytes();
            if (fstat(file->fd, &st) == 0)
                file->clusters = ClustersFor(static_cast<uint64_t>(st.st_size), file->clusterBytes);
        }
    }
    cookie_io_functions_t io = {Read, Write, Seek, Close};
    FILE* fp = fopencookie(file, cookieMode.c_str(), io);
    if (!fp) {
        int error = errno;
        close(file->fd);
        delete file;
        errno = error;
        return nullptr;
    }
    return fp;
}

}  // namespace vrec::board
