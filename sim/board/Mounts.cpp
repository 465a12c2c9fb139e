#include "sim/board/Mounts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vrec::board {

namespace {

const char kBaseMounts[] =
    "rootfs / rootfs rw 0 0\n"
    "/dev/root / jffs2 rw,relatime 0 0\n"
    "proc /proc proc rw,relatime 0 0\n"
    "sysfs /sys sysfs rw,relatime 0 0\n"
    "tmpfs /tmp tmpfs rw,relatime 0 0\n"
    "/dev/mtdblock5 /mnt/mtd5 jffs2 rw,relatime 0 0\n";

const char kVfatOptions[] =
    "vfat rw,relatime,fmask=0022,dmask=0022,codepage=cp437,iocharset=iso8859-1,shortname=mixed,errors=remount-ro 0 0";

// Holds an exclusive lock on the table while it is read and rewritten:
// the firmware's hot-plug and the board tools may change it at once.
class TableLock
{
public:
    explicit TableLock(const std::string& path) : fd_(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~TableLock()
    {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

private:
    int fd_;
};

struct MountLine
{
    std::string device;
    std::string dir;
    std::string text;
};

std::vector<MountLine> ReadTable(const std::string& path)
{
    std::vector<MountLine> lines;
    FILE* fp = std::fopen(path.c_str(), "r");
    if (!fp)
        return lines;
    char buf[1024];
    while (std::fgets(buf, sizeof(buf), fp)) {
        MountLine line;
        line.text = buf;
        std::istringstream in(line.text);
        in >> line.device >> line.dir;
        if (!line.device.empty())
            lines.push_back(line);
    }
    std::fclose(fp);
    return lines;
}

bool WriteTable(const std::string& path, const std::vector<MountLine>& lines)
{
    std::string temp = path + ".new";
    FILE* fp = std::fopen(temp.c_str(), "w");
    if (!fp)
        return false;
    for (const MountLine& line : lines) {
        std::fputs(line.text.c_str(), fp);
        if (line.text.empty() || line.text.back() != '\n')
            std::fputc('\n', fp);
    }
    bool ok = std::fclose(fp) == 0;
    return ok && rename(temp.c_str(), path.c_str()) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsEmptyDirectory(const std::string& path)
{
    DIR* d = opendir(path.c_str());
    if (!d)
        return false;
    bool empty = true;
    while (struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(d);
    return empty;
}

void RemoveTreeContents(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(d);
    for (const std::string& name : names) {
        std::string path = dir + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            RemoveTreeContents(path);
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
}

// Where the contents of a mount point wait while something is mounted over it.
std::string CoveredPath(const BoardPaths& paths, const std::string& mountPoint)
{
    std::string name = mountPoint;
    for (char& c : name)
        if (c == '/')
            c = '_';
    return paths.root() + "/.covered/" + name;
}

}  // namespace

void ResetMounts(const BoardPaths& paths)
{
    TableLock lock(paths.MountsFile());
    for (const MountLine& line : ReadTable(paths.MountsFile())) {
        if (line.device != kCardPartition)
            continue;
        std::string point = paths.Map(line.dir);
        struct stat st;
        if (lstat(point.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(point.c_str());
            std::string covered = CoveredPath(paths, line.dir);
            if (rename(covered.c_str(), point.c_str()) != 0)
                mkdir(point.c_str(), 0777);
        }
    }
    FILE* fp = std::fopen(paths.MountsFile().c_str(), "w");
    if (fp) {
        std::fputs(kBaseMounts, fp);
        std::fclose(fp);
    }
}

bool IsMounted(const BoardPaths& paths, const std::string& deviceOrDir)
{
    TableLock lock(paths.MountsFile());
    for (const MountLine& line : ReadTable(paths.MountsFile()))
        if (line.device == deviceOrDir || line.dir == deviceOrDir)
            return true;
    return false;
}

int MountCard(const BoardPaths& paths, const CardStore& cards, const std::string& mountPoint, std::string* message)
{
    const std::string device = kCardPartition;
    std::string point = paths.Map(mountPoint);
    TableLock lock(paths.MountsFile());
    std::vector<MountLine> table = ReadTable(paths.MountsFile());
    for (const MountLine& line : table) {
        if (line.device == device || line.dir == mountPoint) {
            *message = device + " is already mounted or " + mountPoint + " busy";
            return 32;
        }
    }
    if (!IsDirectory(point)) {
        *message = "mount point " + mountPoint + " does not exist";
        return 32;
    }
    std::string image = cards.SlotImage();
    if (image.empty()) {
        *message = "special device " + device + " does not exist";
        return 32;
    }
    FatInfo fat = ReadFat(image, ReadPartition(image));
    if (!fat.valid) {
        *message = "wrong fs type, bad option, bad superblock on " + device + ", missing codepage or helper program";
        return 32;
    }
    std::string covered;
    if (IsEmptyDirectory(point)) {
        rmdir(point.c_str());
    } else {
        covered = CoveredPath(paths, mountPoint);
        mkdir((paths.root() + "/.covered").c_str(), 0755);
        if (rename(point.c_str(), covered.c_str()) != 0) {
            *message = "cannot mount over " + mountPoint + ": " + std::strerror(errno);
            return 32;
        }
    }
    if (symlink((paths.root() + "/slot/files").c_str(), point.c_str()) != 0) {
        *message = "cannot mount on " + mountPoint + ": " + std::strerror(errno);
        if (covered.empty())
            mkdir(point.c_str(), 0777);
        else
            rename(covered.c_str(), point.c_str());
        return 32;
    }
    table.push_back({device, mountPoint, device + " " + mountPoint + " " + kVfatOptions + "\n"});
    WriteTable(paths.MountsFile(), table);
    return 0;
}

int MountTmpfs(const BoardPaths& paths, const std::string& mountPoint, const std::string& options,
               std::string* message)
{
    std::string point = paths.Map(mountPoint);
    if (!IsDirectory(point)) {
        *message = "mount point " + mountPoint + " does not exist";
        return 32;
    }
    TableLock lock(paths.MountsFile());
    std::vector<MountLine> table = ReadTable(paths.MountsFile());
    // A new tmpfs starts empty.
    RemoveTreeContents(point);
    std::string opts = options.empty() ? "rw" : "rw," + options;
    table.push_back({"tmpfs", mountPoint, "tmpfs " + mountPoint + " tmpfs " + opts + " 0 0\n"});
    WriteTable(paths.MountsFile(), table);
    return 0;
}

int Unmount(const BoardPaths& paths, const std::string& deviceOrDir, std::string* message)
{
    TableLock lock(paths.MountsFile());
    std::vector<MountLine> table = ReadTable(paths.MountsFile());
    // The newest mount on that device or folder goes first.
    for (size_t i = table.size(); i-- > 0;) {
        const MountLine line = table[i];
        if (line.device != deviceOrDir && line.dir != deviceOrDir)
            continue;
        if (line.device == kCardPartition) {
            std::string point = paths.Map(line.dir);
            struct stat st;
            if (lstat(point.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
                unlink(point.c_str());
                std::string covered = CoveredPath(paths, line.dir);
                if (rename(covered.c_str(), point.c_str()) != 0)
                    mkdir(point.c_str(), 0777);
            }
        }
        table.erase(table.begin() + static_cast<long>(i));
        WriteTable(paths.MountsFile(), table);
        return 0;
    }
    *message = deviceOrDir + ": not mounted.";
    return 32;
}

}  // namespace vrec::board
