// Where the device's paths live inside a board root, and how the device's
// absolute paths and shell command lines are mapped into it.
#pragma once

#include <string>
#include <vector>

namespace vrec::board {

// Names of the board tools that stand in for the device's utilities.
const std::vector<std::string>& BoardToolNames();

class BoardPaths
{
public:
    // root: the board root; keep: absolute trees used as they are (the
    // program's working directory, the build tree).
    BoardPaths(std::string root, std::vector<std::string> keep);

    const std::string& root() const { return root_; }

    // True when the device path must be served inside the board root.
    bool IsMapped(const std::string& devicePath) const;
    // The host path of a device path (unchanged when not mapped).
    std::string Map(const std::string& devicePath) const;
    // The device path of a host path inside the root (for messages and
    // board tools), or the path unchanged.
    std::string Unmap(const std::string& hostPath) const;

    // Rewrites every absolute path of a shell command line, and makes the
    // commands the board serves run the board's tools. Paths may be quoted
    // ('/sdcard/UTILITY/KS x; y'); what is quoted stays one word.
    std::string MapCommand(const std::string& command, const std::string& toolDir) const;

    // Fixed places inside the root.
    std::string CardsDir() const { return root_ + "/cards"; }
    std::string SlotLink() const { return root_ + "/slot"; }  // -> cards/<name> while a card is in
    std::string MountsFile() const { return root_ + "/proc/mounts"; }
    std::string CardMountPoint() const { return root_ + "/media/mmcblk0p1"; }
    std::string FlashDir() const { return root_ + "/flash"; }

private:
    std::string MapWord(const std::string& word, bool commandWord, const std::string& toolDir) const;

    std::string root_;
    std::vector<std::string> keep_;
};

// A root is accepted only when its path is absolute and needs no quoting in
// a shell command line.
bool IsUsableRoot(const std::string& root, std::string* why);

}  // namespace vrec::board
