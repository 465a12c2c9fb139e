#include "sim/board/Card.h"

#include "sim/board/HardwareState.h"
#include "sim/board/KeyBits.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vrec::board {

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

bool ReadAt(const std::string& path, uint64_t offset, uint8_t* buf, size_t size)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = pread(fd, buf, size, static_cast<off_t>(offset));
    close(fd);
    return n == static_cast<ssize_t>(size);
}

bool WriteAt(const std::string& path, uint64_t offset, const uint8_t* buf, size_t size)
{
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = pwrite(fd, buf, size, static_cast<off_t>(offset));
    bool ok = n == static_cast<ssize_t>(size) && fsync(fd) == 0;
    close(fd);
    return ok;
}

std::string Trimmed(const uint8_t* p, size_t n)
{
    std::string s(reinterpret_cast<const char*>(p), n);
    while (!s.empty() && (s.back() == ' ' || s.back() == 0))
        s.pop_back();
    return s;
}

uint64_t ClustersFor(uint64_t bytes, uint32_t clusterBytes)
{
    return (bytes + clusterBytes - 1) / clusterBytes;
}

// Directory entries (32 bytes each, with "." and "..") of a folder.
uint64_t FolderClusters(uint64_t entries, uint32_t clusterBytes)
{
    uint64_t n = ClustersFor((entries + 2) * 32, clusterBytes);
    return n == 0 ? 1 : n;
}

uint64_t WalkClusters(const std::string& dir, uint32_t clusterBytes, bool countFolder)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return 0;
    uint64_t total = 0;
    uint64_t entries = 0;
    while (struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        ++entries;
        // Long names take extra entries: one per 13 characters.
        entries += (std::strlen(e->d_name) + 12) / 13;
        std::string path = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            total += WalkClusters(path, clusterBytes, true);
        else if (S_ISREG(st.st_mode))
            total += ClustersFor(static_cast<uint64_t>(st.st_size), clusterBytes);
    }
    closedir(d);
    if (countFolder)
        total += FolderClusters(entries, clusterBytes);
    return total;
}

uint8_t Crc7(const uint8_t* data, size_t size)
{
    uint8_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            bool in = ((data[i] >> bit) & 1) != ((crc >> 6) & 1);
            crc = static_cast<uint8_t>((crc << 1) & 0x7F);
            if (in)
                crc ^= 0x09;
        }
    }
    return crc;
}

// The card identification register as an SD card reports it: manufacturer,
// OEM "KS", a product name after the size ("SD04G"), revision 1.0, a random
// serial number, this month as the manufacturing date, and the CRC7.
std::string MakeCid(uint64_t sizeBytes)
{
    std::random_device rd;
    uint8_t cid[16] = {};
    cid[0] = 0x4B;
    cid[1] = 'K';
    cid[2] = 'S';
    char name[8];
    if (sizeBytes >= (1ull << 30))
        std::snprintf(name, sizeof(name), "SD%02dG", static_cast<int>(std::min<uint64_t>(sizeBytes >> 30, 99)));
    else
        std::snprintf(name, sizeof(name), "S%03dM", static_cast<int>(std::min<uint64_t>(sizeBytes >> 20, 999)));
    std::memcpy(cid + 3, name, 5);
    cid[8] = 0x10;
    uint32_t serial = rd();
    for (int i = 0; i < 4; ++i)
        cid[9 + i] = static_cast<uint8_t>(serial >> (24 - 8 * i));
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    unsigned year = static_cast<unsigned>(std::max(0, local.tm_year - 100)) & 0xFF;
    cid[13] = static_cast<uint8_t>(year >> 4);
    cid[14] = static_cast<uint8_t>((year & 0x0F) << 4 | (local.tm_mon + 1));
    cid[15] = static_cast<uint8_t>(Crc7(cid, 15) << 1 | 1);
    char text[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", cid[i]);
    return text;
}

bool MakeDir(const std::string& path)
{
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

std::string FdiskAnswers(bool fat16)
{
    // new, primary, number 1, default first and last sector, type, write
    return fat16 ? "n\np\n1\n\n\nt\n6\nw\n" : "n\np\n1\n\n\nt\nc\nw\n";
}

PartitionInfo ReadPartition(const std::string& imagePath)
{
    PartitionInfo info;
    uint8_t mbr[512];
    if (!ReadAt(imagePath, 0, mbr, sizeof(mbr)) || mbr[510] != 0x55 || mbr[511] != 0xAA)
        return info;
    const uint8_t* entry = mbr + 446;
    info.type = entry[4];
    info.startSector = Le32(entry + 8);
    info.sectorCount = Le32(entry + 12);
    info.present = info.type != 0 && info.sectorCount > 0;
    return info;
}

FatInfo ReadFat(const std::string& imagePath, const PartitionInfo& partition)
{
    FatInfo info;
    if (!partition.present)
        return info;
    uint8_t bs[512];
    if (!ReadAt(imagePath, partition.startSector * 512, bs, sizeof(bs)) || bs[510] != 0x55 || bs[511] != 0xAA)
        return info;
    info.bytesPerSector = Le16(bs + 11);
    info.sectorsPerCluster = bs[13];
    uint32_t reserved = Le16(bs + 14);
    uint32_t fats = bs[16];
    uint32_t rootEntries = Le16(bs + 17);
    uint64_t totalSectors = Le16(bs + 19);
    if (totalSectors == 0)
        totalSectors = Le32(bs + 32);
    uint64_t fatSectors = Le16(bs + 22);
    bool fat32 = fatSectors == 0;
    if (fat32)
        fatSectors = Le32(bs + 36);
    if (info.bytesPerSector != 512 || info.sectorsPerCluster == 0 || fats == 0 || totalSectors == 0)
        return info;
    uint64_t rootSectors = (rootEntries * 32 + info.bytesPerSector - 1) / info.bytesPerSector;
    uint64_t overhead = reserved + fats * fatSectors + rootSectors;
    if (overhead >= totalSectors)
        return info;
    info.clusterBytes = info.bytesPerSector * info.sectorsPerCluster;
    info.dataClusters = (totalSectors - overhead) / info.sectorsPerCluster;
    info.fatBits = fat32 ? 32 : (info.dataClusters < 4085 ? 12 : 16);
    info.oemName = std::string(reinterpret_cast<const char*>(bs + 3), 8);
    info.volumeLabel = Trimmed(bs + (fat32 ? 71 : 43), 11);
    info.valid = true;
    return info;
}

uint64_t UsedClusters(const std::string& dir, uint32_t clusterBytes, bool fat32)
{
    if (clusterBytes == 0)
        return 0;
    // The FAT32 root folder lives in the data area; FAT16's has its own.
    return WalkClusters(dir, clusterBytes, fat32);
}

bool CardFreeBytes(const CardStore& cards, const std::string& name, uint64_t* freeBytes, std::string* why)
{
    std::string image = cards.ImagePath(name);
    FatInfo fat = ReadFat(image, ReadPartition(image));
    if (!fat.valid) {
        if (why)
            *why = "the card '" + name + "' has no FAT file system";
        return false;
    }
    uint64_t used = UsedClusters(cards.FilesDir(name), fat.clusterBytes, fat.fatBits == 32);
    *freeBytes = (used < fat.dataClusters ? fat.dataClusters - used : 0) * fat.clusterBytes;
    return true;
}

bool FillCard(const CardStore& cards, const std::string& name, uint64_t freeBytes, std::string* why)
{
    std::string filler = cards.FilesDir(name) + "/" + kFillerName;
    unlink(filler.c_str());
    FatInfo fat = ReadFat(cards.ImagePath(name), ReadPartition(cards.ImagePath(name)));
    uint64_t freeNow = 0;
    if (!CardFreeBytes(cards, name, &freeNow, why))
        return false;
    const int64_t target = static_cast<int64_t>(freeBytes / fat.clusterBytes * fat.clusterBytes);
    if (static_cast<int64_t>(freeNow) < target) {
        if (why)
            *why = "the card '" + name + "' has only " + std::to_string(freeNow) + " bytes free";
        return false;
    }
    // A sparse file: the card's space, not the host's. Its directory entry
    // may take a cluster of its own, so the size is corrected once measured.
    int64_t size = static_cast<int64_t>(freeNow) - target;
    for (int attempt = 0; attempt < 3 && size > 0; ++attempt) {
        int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        bool sized = fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
        if (fd >= 0)
            close(fd);
        if (!sized) {
            if (why)
                *why = "cannot make " + filler + ": " + std::strerror(errno);
            return false;
        }
        if (!CardFreeBytes(cards, name, &freeNow, why))
            return false;
        if (static_cast<int64_t>(freeNow) == target)
            return true;
        size += static_cast<int64_t>(freeNow) - target;
    }
    if (size <= 0)
        unlink(filler.c_str());
    return true;
}

std::string FindSystemProgram(const std::string& name)
{
    for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
        std::string path = dir + name;
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinText,
               std::string* output)
{
    int inPipe[2];
    int outPipe[2] = {-1, -1};
    if (pipe2(inPipe, O_CLOEXEC) != 0)
        return -1;
    if (output && pipe2(outPipe, O_CLOEXEC) != 0) {
        close(inPipe[0]);
        close(inPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
    if (output) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    if (output)
        close(outPipe[1]);
    if (rc != 0) {
        close(inPipe[1]);
        if (output)
            close(outPipe[0]);
        return -1;
    }
    size_t written = 0;
    while (written < stdinText.size()) {
        ssize_t n = write(inPipe[1], stdinText.data() + written, stdinText.size() - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    close(inPipe[1]);
    if (output) {
        char buf[4096];
        ssize_t n;
        while ((n = read(outPipe[0], buf, sizeof(buf))) > 0)
            output->append(buf, static_cast<size_t>(n));
        close(outPipe[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CardStore::CardStore(std::string root) : root_(std::move(root)) {}

bool CardStore::Exists(const std::string& name) const
{
    struct stat st;
    return stat(ImagePath(name).c_str(), &st) == 0;
}

bool CardStore::Create(const std::string& name, const CardOptions& options, std::string* why)
{
    auto fail = [why](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    if (name.empty() || name.size() >= kCardNameSize || name.find('/') != std::string::npos || name[0] == '.')
        return fail("bad card name '" + name + "'");
    if (!MakeDir(root_ + "/cards") || !MakeDir(CardDir(name)) || !MakeDir(FilesDir(name)))
        return fail("cannot create " + CardDir(name) + ": " + std::strerror(errno));
    std::string image = ImagePath(name);
    int fd = open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("cannot create " + image + ": " + std::strerror(errno));
    bool sized = ftruncate(fd, static_cast<off_t>(options.sizeBytes)) == 0;
    close(fd);
    if (!sized)
        return fail("cannot size " + image);
    FILE* cid = std::fopen((CardDir(name) + "/cid").c_str(), "w");
    if (cid) {
        std::fprintf(cid, "%s\n", MakeCid(options.sizeBytes).c_str());
        std::fclose(cid);
    }
    if (options.format == CardFormat::kBlank)
        return true;

    std::string fdisk = FindSystemProgram("fdisk");
    std::string mkfs = FindSystemProgram("mkfs.fat");
    if (fdisk.empty() || mkfs.empty())
        return fail("fdisk and mkfs.fat (packages fdisk, dosfstools) are needed to make a card");

    // As the recorder does: FAT32 first, FAT16 when the card is too small for it.
    for (bool fat16 : {false, true}) {
        std::string log;
        uint8_t zero[512] = {};
        if (!WriteAt(image, 0, zero, sizeof(zero)))
            return fail("cannot write " + image);
        if (RunProgram(fdisk, {"-u", image}, FdiskAnswers(fat16), &log) != 0)
            return fail("fdisk failed on " + image + ":\n" + log);
        PartitionInfo part = ReadPartition(image);
        if (!part.present)
            return fail("fdisk made no partition on " + image);
        std::vector<std::string> args;
        if (options.format == CardFormat::kDevice)
            args = {"-n", "KESTRA7"};
        args.insert(args.end(), {"-s", std::to_string(options.sectorsPerCluster)});
        if (fat16)
            args.insert(args.end(), {"-F", "16", "-S", "512"});
        args.insert(args.end(), {"--offset", std::to_string(part.startSector), image,
                                 std::to_string(part.sectorCount / 2)});
        log.clear();
        if (RunProgram(mkfs, args, "", &log) != 0) {
            if (!fat16)
                continue;
            return fail("mkfs.fat failed on " + image + ":\n" + log);
        }
        if (options.format == CardFormat::kDevice) {
            if (!WriteAt(image, part.startSector * 512 + 3, reinterpret_cast<const uint8_t*>(kDeviceOemName), 8))
                return fail("cannot mark " + image);
            MakeDir(FilesDir(name) + "/MY_FOLDER");
            MakeDir(FilesDir(name) + "/UTILITY");
        }
        return true;
    }
    return fail("no FAT file system fits " + image);
}

bool CardStore::Insert(HardwareState& state, const std::string& name, std::string* why)
{
    if (!Exists(name)) {
        if (why)
            *why = "no card named '" + name + "'";
        return false;
    }
    std::string link = root_ + "/slot";
    std::string temp = link + ".new";
    unlink(temp.c_str());
    if (symlink(("cards/" + name).c_str(), temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
        if (why)
            *why = "cannot insert the card: " + std::string(std::strerror(errno));
        return false;
    }
    std::snprintf(state.card.name, sizeof(state.card.name), "%s", name.c_str());
    state.card.inserted = 1;
    state.card.changes.fetch_add(1);
    SetKeyBits(state, keybit::kSdDetect, true);
    return true;
}

void CardStore::Remove(HardwareState& state)
{
    unlink((root_ + "/slot").c_str());
    state.card.inserted = 0;
    state.card.changes.fetch_add(1);
    SetKeyBits(state, keybit::kSdDetect, false);
}

std::string CardStore::Inserted() const
{
    char target[256];
    ssize_t n = readlink((root_ + "/slot").c_str(), target, sizeof(target) - 1);
    if (n <= 0)
        return {};
    target[n] = 0;
    const char* slash = std::strrchr(target, '/');
    return slash ? slash + 1 : target;
}

std::string CardStore::SlotImage() const
{
    std::string name = Inserted();
    return name.empty() ? std::string() : ImagePath(name);
}

std::string CardStore::SlotFiles() const
{
    std::string name = Inserted();
    return name.empty() ? std::string() : FilesDir(name);
}

}  // namespace vrec::board
