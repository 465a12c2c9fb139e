// The internal NAND flash: partitions "/dev/mtd1".."/dev/mtd5" kept in
// "<root>/flash/mtdN". A file holds only the bytes written since the last
// erase; everything past its end reads as erased (0xFF), so a board keeps
// no megabytes of erased flash.
#pragma once

#include <cstdint>
#include <string>

namespace vrec::board {

// Pages are the unit of NAND programming; erase blocks of erasing.
constexpr uint64_t kFlashPageSize = 2048;
constexpr uint64_t kFlashEraseBlockSize = 131072;

// Size of a partition ("mtd1".."mtd5"), 0 for no such partition.
uint64_t FlashPartitionSize(const std::string& name);
// Every partition's name, for laying out a board.
const char* const* FlashPartitionNames();

}  // namespace vrec::board
