// SD cards of the board: each is a card image (partition table and FAT
// file system made by the real fdisk and mkfs.fat) plus the file tree of
// its mounted file system, kept in "<root>/cards/<name>/".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::board {

struct HardwareState;

struct PartitionInfo
{
    bool present = false;
    uint8_t type = 0;
    uint64_t startSector = 0;
    uint64_t sectorCount = 0;
};

struct FatInfo
{
    bool valid = false;
    int fatBits = 0;  // 12, 16 or 32
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t clusterBytes = 0;
    uint64_t dataClusters = 0;
    std::string oemName;      // bytes 3..10 of the boot sector
    std::string volumeLabel;
};

enum class CardFormat
{
    kBlank,        // never partitioned: zeroes
    kDevice,       // formatted by the recorder: FAT32 with 32 KiB clusters and the "KS   FAT" mark
    kForeign,      // formatted elsewhere: mkfs.fat's own OEM name
};

struct CardOptions
{
    uint64_t sizeBytes = 4ull << 30;
    CardFormat format = CardFormat::kDevice;
    int sectorsPerCluster = 64;  // 64 sectors: 32 KiB clusters
};

// Reads partition 1 of the MBR of an image (or device) file.
PartitionInfo ReadPartition(const std::string& imagePath);
// Reads the FAT boot sector at the start of the partition.
FatInfo ReadFat(const std::string& imagePath, const PartitionInfo& partition);

// Space of a FAT tree: clusters taken by the files and folders below dir.
uint64_t UsedClusters(const std::string& dir, uint32_t clusterBytes, bool fat32);

class CardStore
{
public:
    explicit CardStore(std::string root);

    std::string CardDir(const std::string& name) const { return root_ + "/cards/" + name; }
    std::string ImagePath(const std::string& name) const { return CardDir(name) + "/card.img"; }
    std::string FilesDir(const std::string& name) const { return CardDir(name) + "/files"; }
    bool Exists(const std::string& name) const;

    // Makes a new card with the real tools. Returns false and a reason.
    bool Create(const std::string& name, const CardOptions& options, std::string* why);

    // The slot: "<root>/slot" points at the card's folder while it is in.
    bool Insert(HardwareState& state, const std::string& name, std::string* why);
    void Remove(HardwareState& state);
    // Name of the card in the slot, empty when none.
    std::string Inserted() const;
    // Paths of the card in the slot (empty when none).
    std::string SlotImage() const;
    std::string SlotFiles() const;

private:
    std::string root_;
};

// Runs a program (no shell) with stdin fed from stdinText; returns its exit
// status, or -1 if it could not run. Output goes to *output when given, else
// to this process's stderr.
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinText,
               std::string* output);
// First existing path among the usual places of a system program.
std::string FindSystemProgram(const std::string& name);

// Space of a card as its FAT sees it: free bytes (whole clusters).
bool CardFreeBytes(const CardStore& cards, const std::string& name, uint64_t* freeBytes, std::string* why);
// Leaves freeBytes (rounded down to whole clusters) free on the card by
// making, resizing or removing a filler file at its root. False and a reason
// when the card cannot be brought there (less is free without the filler).
bool FillCard(const CardStore& cards, const std::string& name, uint64_t freeBytes, std::string* why);
constexpr const char kFillerName[] = "FILLER.BIN";

// The OEM name the recorder writes into cards it formats.
constexpr const char kDeviceOemName[] = "KS   FAT";
// The answers given to fdisk for one primary partition over the whole card.
std::string FdiskAnswers(bool fat16);

}  // namespace vrec::board
