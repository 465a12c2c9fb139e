#include "sim/board/Flash.h"

namespace vrec::board {

namespace {

struct Partition
{
    const char* name;
    uint64_t size;
};

// Parameters, kernel, root file system, application, settings.
const Partition kPartitions[] = {
    {"mtd1", 1u << 20}, {"mtd2", 4u << 20}, {"mtd3", 16u << 20}, {"mtd4", 16u << 20}, {"mtd5", 4u << 20},
};

const char* const kNames[] = {"mtd1", "mtd2", "mtd3", "mtd4", "mtd5", nullptr};

}  // namespace

uint64_t FlashPartitionSize(const std::string& name)
{
    for (const Partition& p : kPartitions)
        if (name == p.name)
            return p.size;
    return 0;
}

const char* const* FlashPartitionNames()
{
    return kNames;
}

}  // namespace vrec::board
