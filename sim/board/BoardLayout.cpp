#include "sim/board/BoardLayout.h"

#include "sim/board/BoardPaths.h"
#include "sim/board/Card.h"
#include "sim/board/Flash.h"
#include "sim/board/HardwareState.h"
#include "sim/board/KeyBits.h"
#include "sim/board/Mounts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::board {

namespace {

bool MakeDirs(const std::string& path)
{
    std::string partial;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    return true;
}

bool EnsureFile(const std::string& path, const char* contents)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return true;
    FILE* fp = std::fopen(path.c_str(), "w");
    if (!fp)
        return false;
    std::fputs(contents, fp);
    return std::fclose(fp) == 0;
}

bool EnsureSymlink(const std::string& path, const std::string& target)
{
    char buf[512];
    ssize_t n = readlink(path.c_str(), buf, sizeof(buf) - 1);
    if (n >= 0) {
        buf[n] = 0;
        if (target == buf)
            return true;
        unlink(path.c_str());
    }
    return symlink(target.c_str(), path.c_str()) == 0;
}

// A NAND partition of the internal flash: freshly erased, it holds no bytes.
bool EnsureFlashPartition(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return true;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

void EmptyFolder(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            EmptyFolder(path);
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
    closedir(d);
}

}  // namespace

bool PrepareBoardRoot(const std::string& root, std::string* why)
{
    if (!IsUsableRoot(root, why))
        return false;
    for (const char* dir : {"", "/dev", "/mnt/mtd5", "/tmp", "/proc/sys/vm", "/media", "/cards", "/flash",
                            "/sys/block/mmcblk0/device", "/log"}) {
        if (!MakeDirs(root + dir)) {
            if (why)
                *why = "cannot create " + root + dir + ": " + std::strerror(errno);
            return false;
        }
    }
    bool ok = EnsureFile(root + "/proc/sys/vm/drop_caches", "0\n") &&
              EnsureSymlink(root + "/sdcard", "media/mmcblk0p1") &&
              EnsureSymlink(root + "/sys/block/mmcblk0/device/cid", "../../../../slot/cid");
    for (const char* const* name = FlashPartitionNames(); *name; ++name)
        ok = ok && EnsureFlashPartition(root + "/flash/" + *name);
    if (!ok) {
        if (why)
            *why = "cannot lay out the board root " + root + ": " + std::strerror(errno);
        return false;
    }

    HardwareStateFile stateFile(root);
    if (!stateFile.ok()) {
        if (why)
            *why = "cannot map " + root + "/hardware.state";
        return false;
    }
    CardStore cards(root);
    DIR* d = opendir((root + "/cards").c_str());
    bool anyCard = false;
    while (d) {
        struct dirent* e = readdir(d);
        if (!e)
            break;
        if (e->d_name[0] != '.' && cards.Exists(e->d_name))
            anyCard = true;
    }
    if (d)
        closedir(d);
    if (!anyCard) {
        if (!cards.Create("card0", CardOptions{}, why))
            return false;
        if (!cards.Insert(stateFile.state(), "card0", why))
            return false;
    }
    return true;
}

void HotplugCardInserted(const BoardPaths& paths, const CardStore& cards)
{
    std::string point = paths.Map(kCardMountPoint);
    if (IsMounted(paths, kCardPartition))
        return;
    mkdir(point.c_str(), 0777);
    std::string message;
    MountCard(paths, cards, kCardMountPoint, &message);
}

void PowerOnBoard(const BoardPaths& paths, const CardStore& cards, HardwareState& state)
{
    state.clock.systemOffsetUs = state.clock.rtcOffsetUs.load();
    EmptyFolder(paths.root() + "/tmp");
    ResetMounts(paths);
    std::string point = paths.Map(kCardMountPoint);
    struct stat st;
    if (lstat(point.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        rmdir(point.c_str());  // left from the last run; hot-plug makes it again
    ResetDevicesAtPowerOn(state);
    state.power.powerOffStarted = 0;
    state.power.powerCut = 0;
    state.firmware.rebootRequested = 0;
    state.firmware.boots.fetch_add(1);
    // No gadget module is loaded in a system that has just started.
    state.usb.gadgetLoaded = 0;
    // The codec comes out of reset; the line output's record starts anew.
    ResetSoundCodec(state);
    state.sound.capture.open = 0;
    state.sound.capture.running = 0;
    state.sound.playback.open = 0;
    state.sound.playback.running = 0;
    unlink((paths.root() + "/sound/played.wav").c_str());
    // The slot link is the truth about the card (the state may be new).
    std::string inserted = cards.Inserted();
    if (inserted.empty()) {
        state.card.inserted = 0;
        SetKeyBits(state, keybit::kSdDetect, false);
    } else {
        std::snprintf(state.card.name, sizeof(state.card.name), "%s", inserted.c_str());
        state.card.inserted = 1;
        SetKeyBits(state, keybit::kSdDetect, true);
        HotplugCardInserted(paths, cards);
    }
}

}  // namespace vrec::board
