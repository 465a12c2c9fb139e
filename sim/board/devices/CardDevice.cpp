// "/dev/mmcblk0" and "/dev/mmcblk0p1": the card in the slot as a block
// device, and its first partition as the slice of the image the partition
// table names.
#include "sim/board/Board.h"
#include "sim/board/Devices.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vrec::board {

namespace {

class CardBlockDevice : public BoardDevice
{
public:
    CardBlockDevice(int fd, uint64_t start, uint64_t size) : fd_(fd), start_(start), size_(size) {}
    ~CardBlockDevice() override { close(fd_); }

    ssize_t Read(void* buf, size_t count) override
    {
        size_t n = Clip(count);
        ssize_t done = pread(fd_, buf, n, static_cast<off_t>(start_ + position_));
        if (done > 0)
            position_ += static_cast<uint64_t>(done);
        return done;
    }

    ssize_t Write(const void* buf, size_t count) override
    {
        if (position_ >= size_ && count > 0) {
            errno = ENOSPC;
            return -1;
        }
        size_t n = Clip(count);
        ssize_t done = pwrite(fd_, buf, n, static_cast<off_t>(start_ + position_));
        if (done > 0)
            position_ += static_cast<uint64_t>(done);
        return done;
    }

    off_t Seek(off_t offset, int whence) override
    {
        int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(position_)
                                           : whence == SEEK_END ? static_cast<int64_t>(size_) : -1;
        if (base < 0 || base + offset < 0) {
            errno = EINVAL;
            return -1;
        }
        position_ = static_cast<uint64_t>(base + offset);
        return static_cast<off_t>(position_);
    }

    int Ioctl(unsigned long request, void* arg) override
    {
        if (request == BLKGETSIZE64 && arg) {
            *static_cast<uint64_t*>(arg) = size_;
            return 0;
        }
        if (request == BLKGETSIZE && arg) {
            *static_cast<unsigned long*>(arg) = static_cast<unsigned long>(size_ / 512);
            return 0;
        }
        if (request == BLKSSZGET && arg) {
            *static_cast<int*>(arg) = 512;
            return 0;
        }
        errno = ENOTTY;
        return -1;
    }

private:
    size_t Clip(size_t count) const
    {
        if (position_ >= size_)
            return 0;
        uint64_t left = size_ - position_;
        return count < left ? count : static_cast<size_t>(left);
    }

    int fd_;
    uint64_t start_;
    uint64_t size_;
    uint64_t position_ = 0;
};

std::shared_ptr<BoardDevice> OpenCard(Board& board, int flags, bool partition)
{
    std::string image = board.cards().SlotImage();
    if (image.empty() || !board.state().card.inserted) {
        errno = ENOMEDIUM;
        return nullptr;
    }
    // Exported over USB: the host has the card.
    if (board.state().usb.gadgetLoaded) {
        errno = EBUSY;
        return nullptr;
    }
    int access = flags & O_ACCMODE;
    if (access != O_RDONLY && board.state().card.writeProtected) {
        errno = EROFS;
        return nullptr;
    }
    int fd = open(image.c_str(), (access == O_RDONLY ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    uint64_t start = 0;
    uint64_t size = static_cast<uint64_t>(lseek(fd, 0, SEEK_END));
    if (partition) {
        PartitionInfo part = ReadPartition(image);
        if (!part.present) {
            close(fd);
            errno = ENXIO;
            return nullptr;
        }
        start = part.startSector * 512;
        size = part.sectorCount * 512;
    }
    return std::make_shared<CardBlockDevice>(fd, start, size);
}

}  // namespace

std::shared_ptr<BoardDevice> OpenCardDevice(Board& board, int flags)
{
    return OpenCard(board, flags, false);
}

std::shared_ptr<BoardDevice> OpenCardPartition(Board& board, int flags)
{
    return OpenCard(board, flags, true);
}

}  // namespace vrec::board
