// The board's mount table ("<root>/proc/mounts") and what mount and umount
// do to the file tree: a mounted card is its file tree seen at the mount
// point, a mounted tmpfs an emptied folder.
#pragma once

#include "sim/board/BoardPaths.h"
#include "sim/board/Card.h"

#include <string>

namespace vrec::board {

// Restores the table of a system that has just started.
void ResetMounts(const BoardPaths& paths);
// True when a line of the table names the device or the mount point
// (device paths, not host paths).
bool IsMounted(const BoardPaths& paths, const std::string& deviceOrDir);

// Results are exit statuses of the mount and umount commands; *message
// says what went wrong.
int MountCard(const BoardPaths& paths, const CardStore& cards, const std::string& mountPoint, std::string* message);
int MountTmpfs(const BoardPaths& paths, const std::string& mountPoint, const std::string& options,
               std::string* message);
int Unmount(const BoardPaths& paths, const std::string& deviceOrDir, std::string* message);

// The card partition's device path and its mount point on the device.
constexpr const char kCardPartition[] = "/dev/mmcblk0p1";
constexpr const char kCardDevice[] = "/dev/mmcblk0";
constexpr const char kCardMountPoint[] = "/media/mmcblk0p1";

}  // namespace vrec::board
