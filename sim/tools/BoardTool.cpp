// The board's stand-ins for the device's hardware utilities. One program,
// called by the name of the utility (mount, umount, fdisk, mkdosfs, dd,
// modprobe, rmmod, flash_eraseall, nandwrite, nanddump, reboot, date,
// amixer, time). The firmware's shell commands reach it with their device
// paths already mapped into the board root (VRECSIM_ROOT).
#include "sim/board/BoardPaths.h"
#include "sim/board/Card.h"
#include "sim/board/Flash.h"
#include "sim/board/HardwareState.h"
#include "sim/board/Mounts.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vrec::board;

namespace {

struct Context
{
    std::string tool;
    std::vector<std::string> args;
    BoardPaths paths;
    CardStore cards;
    HardwareStateFile stateFile;

    Context(std::string toolName, std::vector<std::string> arguments, const std::string& root)
        : tool(std::move(toolName)), args(std::move(arguments)), paths(root, {}), cards(root), stateFile(root)
    {
    }

    HardwareState& state() { return stateFile.state(); }
    // Device path of an argument (the mapper made it a host path).
    std::string Device(const std::string& arg) const { return paths.Unmap(arg); }
};

int Complain(const Context& ctx, const std::string& text, int status)
{
    std::fprintf(stderr, "%s: %s\n", ctx.tool.c_str(), text.c_str());
    return status;
}

[[noreturn]] void Exec(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "%s: %s\n", program.c_str(), std::strerror(errno));
    _exit(127);
}

// ---- Block devices: the card, its partition and the NAND partitions ------

struct BlockTarget
{
    bool device = false;
    std::string file;      // host file that holds the device's bytes
    uint64_t start = 0;
    uint64_t size = 0;
    bool present = true;   // a card is in the slot
    bool busy = false;     // the card is exported over USB: the host has it
    bool readOnly = false;
    bool flash = false;    // past the file's end the bytes are erased (0xFF)
    int mtd = 0;           // N of "/dev/mtdN"
};

BlockTarget ResolveBlock(Context& ctx, const std::string& arg)
{
    BlockTarget target;
    std::string dev = ctx.Device(arg);
    if (dev == kCardDevice || dev == kCardPartition) {
        target.device = true;
        target.file = ctx.cards.SlotImage();
        target.present = !target.file.empty() && ctx.state().card.inserted;
        target.readOnly = ctx.state().card.writeProtected != 0;
        target.busy = ctx.state().usb.gadgetLoaded != 0;
        if (!target.present)
            return target;
        struct stat st;
        if (stat(target.file.c_str(), &st) == 0)
            target.size = static_cast<uint64_t>(st.st_size);
        if (dev == kCardPartition) {
            PartitionInfo part = ReadPartition(target.file);
            target.present = part.present;
            target.start = part.startSector * 512;
            target.size = part.sectorCount * 512;
        }
        return target;
    }
    if (dev.rfind("/dev/mtd", 0) == 0 && dev.size() > 8) {
        target.device = true;
        target.flash = true;
        target.file = ctx.paths.FlashDir() + "/" + dev.substr(5);
        target.size = FlashPartitionSize(dev.substr(5));
        target.mtd = std::atoi(dev.c_str() + 8);
        struct stat st;
        target.present = target.size > 0 && stat(target.file.c_str(), &st) == 0;
    }
    return target;
}

// Flash bytes between the file's end and a write further on are erased.
bool PadErased(int fd, uint64_t position)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    std::vector<char> erased(65536, static_cast<char>(0xFF));
    for (uint64_t end = static_cast<uint64_t>(st.st_size); end < position;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(erased.size(), position - end));
        if (pwrite(fd, erased.data(), n, static_cast<off_t>(end)) != static_cast<ssize_t>(n))
            return false;
        end += n;
    }
    return true;
}

const FlashFault* FaultOf(Context& ctx, const BlockTarget& target, FlashFaultKind kind)
{
    const FlashFault& fault = ctx.state().flashFault;
    if (!target.flash || fault.kind.load() != kind || fault.partition.load() != target.mtd)
        return nullptr;
    return &fault;
}

// NAND programming: a write starts on a page, and it can only clear bits,
// so what a page holds afterwards is the old bytes AND the new ones (an
// erased page, all 0xFF, takes the new bytes as they are).
bool FlashProgram(Context& ctx, const BlockTarget& target, int fd, uint64_t offset, const char* data, size_t size,
                  std::string* why)
{
    if (offset % kFlashPageSize != 0) {
        *why = "Invalid argument (writes start on a " + std::to_string(kFlashPageSize) + "-byte page)";
        return false;
    }
    if (FaultOf(ctx, target, kFlashFaultWriteError)) {
        *why = "Input/output error";
        return false;
    }
    std::vector<char> cells(size, static_cast<char>(0xFF));
    ssize_t held = pread(fd, cells.data(), size, static_cast<off_t>(offset));
    if (held < 0 || !PadErased(fd, offset)) {
        *why = std::strerror(errno);
        return false;
    }
    for (size_t i = 0; i < size; ++i)
        cells[i] = static_cast<char>(cells[i] & data[i]);
    if (pwrite(fd, cells.data(), size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size)) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

// What reading flash gives: erased past the file's end, and an injected
// flipped bit where there is one.
void FlashRead(Context& ctx, const BlockTarget& target, uint64_t offset, char* data, size_t got, size_t want)
{
    std::fill(data + got, data + want, static_cast<char>(0xFF));
    if (const FlashFault* fault = FaultOf(ctx, target, kFlashFaultFlippedBit)) {
        uint64_t at = static_cast<uint64_t>(fault->offset.load());
        if (at >= offset && at < offset + want)
            data[at - offset] = static_cast<char>(data[at - offset] ^ 1);
    }
}

uint64_t ParseSize(const std::string& text)
{
    char* end = nullptr;
    uint64_t value = std::strtoull(text.c_str(), &end, 10);
    std::string suffix = end ? end : "";
    if (suffix == "k" || suffix == "K")
        value *= 1024;
    else if (suffix == "M")
        value *= 1024 * 1024;
    else if (suffix == "G")
        value *= 1024ull * 1024 * 1024;
    else if (suffix == "b")
        value *= 512;
    return value;
}

int RunDd(Context& ctx)
{
    std::map<std::string, std::string> ops;
    for (const std::string& arg : ctx.args) {
        size_t eq = arg.find('=');
        if (eq != std::string::npos)
            ops[arg.substr(0, eq)] = arg.substr(eq + 1);
    }
    BlockTarget in = ResolveBlock(ctx, ops.count("if") ? ops["if"] : "");
    BlockTarget out = ResolveBlock(ctx, ops.count("of") ? ops["of"] : "");
    if (!in.device && !out.device)
        Exec(FindSystemProgram("dd"), ctx.args);

    for (BlockTarget* t : {&in, &out}) {
        if (t->device && !t->present)
            return Complain(ctx, "can't open device: No such device or address", 1);
        if (t->device && t->busy)
            return Complain(ctx, "can't open device: Device or resource busy", 1);
    }
    if (out.device && out.readOnly)
        return Complain(ctx, "can't open '" + ctx.Device(ops["of"]) + "': Read-only file system", 1);

    uint64_t bs = ops.count("bs") ? ParseSize(ops["bs"]) : 512;
    if (bs == 0)
        return Complain(ctx, "invalid number '" + ops["bs"] + "'", 1);
    bool limited = ops.count("count") != 0;
    uint64_t count = limited ? ParseSize(ops["count"]) : 0;
    uint64_t skip = ops.count("skip") ? ParseSize(ops["skip"]) : 0;
    uint64_t seek = ops.count("seek") ? ParseSize(ops["seek"]) : 0;

    int inFd = ops.count("if") ? open(in.device ? in.file.c_str() : ops["if"].c_str(), O_RDONLY | O_CLOEXEC)
                               : STDIN_FILENO;
    if (inFd < 0)
        return Complain(ctx, "can't open '" + ops["if"] + "': " + std::strerror(errno), 1);
    int outFlags = (out.flash ? O_RDWR : O_WRONLY) | O_CLOEXEC;
    if (!out.device)
        outFlags |= O_CREAT;
    int outFd = ops.count("of") ? open(out.device ? out.file.c_str() : ops["of"].c_str(), outFlags, 0644)
                                : STDOUT_FILENO;
    if (outFd < 0)
        return Complain(ctx, "can't open '" + ops["of"] + "': " + std::strerror(errno), 1);
    if (!out.device && ops.count("of") && ops["conv"].find("notrunc") == std::string::npos) {
        if (ftruncate(outFd, static_cast<off_t>(seek * bs)) != 0)
            return Complain(ctx, std::string("truncate: ") + std::strerror(errno), 1);
    }

    std::vector<char> block(bs);
    uint64_t inPos = skip * bs;
    uint64_t outPos = seek * bs;
    uint64_t recordsIn = 0, recordsOut = 0, bytes = 0;
    while (!limited || recordsIn < count) {
        size_t want = static_cast<size_t>(bs);
        if (in.device) {
            if (inPos >= in.size)
                break;
            want = static_cast<size_t>(std::min<uint64_t>(bs, in.size - inPos));
        }
        ssize_t got = in.device || ops.count("if") ? pread(inFd, block.data(), want, static_cast<off_t>(in.start + inPos))
                                                   : read(inFd, block.data(), want);
        if (got < 0 && errno == ESPIPE)
            got = read(inFd, block.data(), want);
        if (got < 0)
            return Complain(ctx, std::string("read error: ") + std::strerror(errno), 1);
        if (in.flash) {
            FlashRead(ctx, in, inPos, block.data(), static_cast<size_t>(got), want);
            got = static_cast<ssize_t>(want);
        }
        if (got == 0)
            break;
        ++recordsIn;
        inPos += static_cast<uint64_t>(got);
        size_t put = static_cast<size_t>(got);
        if (out.device) {
            if (outPos >= out.size)
                return Complain(ctx, "error writing: No space left on device", 1);
            put = static_cast<size_t>(std::min<uint64_t>(put, out.size - outPos));
        }
        std::string why;
        if (out.flash && !FlashProgram(ctx, out, outFd, outPos, block.data(), put, &why))
            return Complain(ctx, "write error: " + why, 1);
        ssize_t wrote = out.flash ? static_cast<ssize_t>(put)
                        : ops.count("of") ? pwrite(outFd, block.data(), put, static_cast<off_t>(out.start + outPos))
                                          : write(outFd, block.data(), put);
        if (wrote < 0)
            return Complain(ctx, std::string("write error: ") + std::strerror(errno), 1);
        ++recordsOut;
        outPos += static_cast<uint64_t>(wrote);
        bytes += static_cast<uint64_t>(wrote);
    }
    if (inFd != STDIN_FILENO)
        close(inFd);
    if (outFd != STDOUT_FILENO && close(outFd) != 0)
        return Complain(ctx, std::string("close: ") + std::strerror(errno), 1);
    std::fprintf(stderr, "%llu+0 records in\n%llu+0 records out\n%llu bytes copied\n",
                 static_cast<unsigned long long>(recordsIn), static_cast<unsigned long long>(recordsOut),
                 static_cast<unsigned long long>(bytes));
    return 0;
}

// ---- mount, umount --------------------------------------------------------

int RunMount(Context& ctx)
{
    std::string type, options;
    std::vector<std::string> positional;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "-t" && i + 1 < ctx.args.size())
            type = ctx.args[++i];
        else if (a == "-o" && i + 1 < ctx.args.size())
            options = ctx.args[++i];
        else if (!a.empty() && a[0] == '-')
            continue;
        else
            positional.push_back(a);
    }
    if (positional.empty()) {
        FILE* fp = std::fopen(ctx.paths.MountsFile().c_str(), "r");
        char line[1024];
        while (fp && std::fgets(line, sizeof(line), fp))
            std::fputs(line, stdout);
        if (fp)
            std::fclose(fp);
        return 0;
    }
    std::string message;
    int status;
    if (type == "tmpfs") {
        std::string dir = ctx.Device(positional.back());
        status = MountTmpfs(ctx.paths, dir, options, &message);
    } else if (positional.size() == 2 && ctx.Device(positional[0]) == kCardPartition) {
        if (ctx.state().usb.gadgetLoaded) {
            // The USB host has the card now.
            message = "mounting " + std::string(kCardPartition) + " failed: Device or resource busy";
            status = 32;
        } else {
            status = MountCard(ctx.paths, ctx.cards, ctx.Device(positional[1]), &message);
        }
    } else {
        message = "mounting " + ctx.Device(positional[0]) + " failed: No such device";
        status = 32;
    }
    if (status != 0)
        Complain(ctx, message, status);
    return status;
}

int RunUmount(Context& ctx)
{
    std::string target;
    for (const std::string& a : ctx.args)
        if (!a.empty() && a[0] != '-')
            target = a;
    if (target.empty())
        return Complain(ctx, "bad usage", 1);
    std::string message;
    int status = Unmount(ctx.paths, ctx.Device(target), &message);
    if (status != 0)
        Complain(ctx, message, status);
    return status;
}

// ---- fdisk, mkdosfs --------------------------------------------------------

int RunFdisk(Context& ctx)
{
    std::vector<std::string> args;
    bool found = false;
    for (const std::string& a : ctx.args) {
        if (!a.empty() && a[0] != '-') {
            if (ctx.Device(a) != kCardDevice)
                return Complain(ctx, "cannot open " + ctx.Device(a) + ": No such file or directory", 1);
            BlockTarget card = ResolveBlock(ctx, a);
            if (!card.present)
                return Complain(ctx, "cannot open " + std::string(kCardDevice) + ": No medium found", 1);
            if (card.busy)
                return Complain(ctx, "cannot open " + std::string(kCardDevice) + ": Device or resource busy", 1);
            if (card.readOnly)
                return Complain(ctx, "cannot open " + std::string(kCardDevice) + ": Read-only file system", 1);
            args.push_back(card.file);
            found = true;
        } else {
            args.push_back(a);
        }
    }
    if (!found)
        return Complain(ctx, "bad usage", 1);
    std::string fdisk = FindSystemProgram("fdisk");
    if (fdisk.empty())
        return Complain(ctx, "the fdisk program (package fdisk) is not installed", 127);
    Exec(fdisk, args);
}

// Removes what a folder of the board holds (a card's tree, the settings partition).
void EmptyTree(const Context& ctx, const std::string& dir)
{
    const std::string inside = ctx.paths.root() + "/";
    if (dir.size() <= inside.size() || dir.compare(0, inside.size(), inside) != 0 ||
        dir.find("/..") != std::string::npos)
        return;
    std::vector<std::string> args = {"-rf", "--one-file-system"};
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (struct dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            args.push_back(dir + "/" + e->d_name);
    closedir(d);
    if (args.size() > 2)
        RunProgram(FindSystemProgram("rm"), args, "", nullptr);
}

int RunMkdosfs(Context& ctx)
{
    std::vector<std::string> options;
    std::string device;
    for (const std::string& a : ctx.args) {
        if (!a.empty() && a[0] == '/' && ctx.Device(a).rfind("/dev/", 0) == 0)
            device = a;
        else
            options.push_back(a);
    }
    if (ctx.Device(device) != kCardPartition)
        return Complain(ctx, "unable to open " + ctx.Device(device) + ": No such file or directory", 1);
    BlockTarget part = ResolveBlock(ctx, device);
    if (!part.present)
        return Complain(ctx, "unable to open " + std::string(kCardPartition) + ": No such device or address", 1);
    if (part.busy)
        return Complain(ctx, "unable to open " + std::string(kCardPartition) + ": Device or resource busy", 1);
    if (part.readOnly)
        return Complain(ctx, "unable to open " + std::string(kCardPartition) + ": Read-only file system", 1);
    if (IsMounted(ctx.paths, kCardPartition))
        return Complain(ctx, std::string(kCardPartition) + " contains a mounted filesystem.", 1);
    std::string mkfs = FindSystemProgram("mkfs.fat");
    if (mkfs.empty())
        return Complain(ctx, "the mkfs.fat program (package dosfstools) is not installed", 127);
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--offset", std::to_string(part.start / 512), part.file, std::to_string(part.size / 1024)});
    int status = RunProgram(mkfs, args, "", nullptr);
    if (status == 0)
        EmptyTree(ctx, ctx.cards.SlotFiles());
    return status < 0 ? 1 : status;
}

// ---- USB gadget ------------------------------------------------------------

int RunModprobe(Context& ctx)
{
    if (ctx.args.empty())
        return Complain(ctx, "missing module name", 1);
    if (ctx.args[0] != "g_file_storage")
        return Complain(ctx, "FATAL: Module " + ctx.args[0] + " not found.", 1);
    bool card = false;
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a.rfind("file=", 0) != 0)
            continue;
        if (ctx.Device(a.substr(5)) != kCardDevice)
            return Complain(ctx, "ERROR: could not insert 'g_file_storage': No such device", 1);
        card = true;
    }
    if (!card)
        return Complain(ctx, "ERROR: could not insert 'g_file_storage': Invalid argument (no file=)", 1);
    if (ctx.state().usb.gadgetLoaded)
        return Complain(ctx, "ERROR: could not insert 'g_file_storage': File exists", 1);
    if (!ctx.state().card.inserted || ctx.cards.SlotImage().empty())
        return Complain(ctx, "ERROR: could not insert 'g_file_storage': No medium found", 1);
    // The card goes to the USB host; the device cannot mount it until rmmod.
    if (IsMounted(ctx.paths, kCardPartition))
        return Complain(ctx, "ERROR: could not insert 'g_file_storage': Device or resource busy", 1);
    ctx.state().usb.gadgetLoaded = 1;
    return 0;
}

int RunRmmod(Context& ctx)
{
    if (ctx.args.empty() || ctx.args[0] != "g_file_storage" || !ctx.state().usb.gadgetLoaded)
        return Complain(ctx, "ERROR: Module " + (ctx.args.empty() ? std::string("?") : ctx.args[0]) +
                                 " is not currently loaded",
                        1);
    ctx.state().usb.gadgetLoaded = 0;
    return 0;
}

// ---- NAND flash ------------------------------------------------------------

int RunFlashEraseall(Context& ctx)
{
    std::string dev;
    for (const std::string& a : ctx.args)
        if (!a.empty() && a[0] != '-')
            dev = a;
    BlockTarget part = ResolveBlock(ctx, dev);
    if (!part.device || !part.present || ctx.Device(dev).rfind("/dev/mtd", 0) != 0)
        return Complain(ctx, "open flash error: No such file or directory", 1);
    if (truncate(part.file.c_str(), 0) != 0)
        return Complain(ctx, std::strerror(errno), 1);
    // The settings partition is mounted at /mnt/mtd5: its files are gone.
    if (ctx.Device(dev) == "/dev/mtd5")
        EmptyTree(ctx, ctx.paths.root() + "/mnt/mtd5");
    std::printf("Erasing 128 Kibyte @ %llx -- 100 %% complete.\n", static_cast<unsigned long long>(part.size));
    return 0;
}

int RunNandwrite(Context& ctx)
{
    bool pad = false;
    std::vector<std::string> positional;
    for (const std::string& a : ctx.args) {
        if (a == "-p" || a == "--pad")
            pad = true;
        else if (!a.empty() && a[0] != '-')
            positional.push_back(a);
    }
    if (positional.size() != 2)
        return Complain(ctx, "usage: nandwrite [-n] [-p] DEVICE FILE", 1);
    BlockTarget part = ResolveBlock(ctx, positional[0]);
    if (!part.device || !part.present || !part.flash)
        return Complain(ctx, "open flash error", 1);
    FILE* in = std::fopen(positional[1].c_str(), "rb");
    if (!in)
        return Complain(ctx, "cannot open " + ctx.Device(positional[1]) + ": " + std::strerror(errno), 1);
    std::vector<char> image;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), in)) > 0)
        image.insert(image.end(), buf, buf + n);
    bool readError = std::ferror(in) != 0;
    std::fclose(in);
    if (readError)
        return Complain(ctx, "read error on " + ctx.Device(positional[1]), 1);
    if (image.size() % kFlashPageSize != 0) {
        if (!pad)
            return Complain(ctx, "Input file is not page-aligned. Use the padding option.", 1);
        image.resize((image.size() / kFlashPageSize + 1) * kFlashPageSize, static_cast<char>(0xFF));
    }
    if (image.size() > part.size)
        return Complain(ctx, "Image " + std::to_string(image.size()) + " bytes, NAND block " +
                                 std::to_string(part.size) + " bytes: the image does not fit",
                        1);
    int fd = open(part.file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Complain(ctx, "open flash error", 1);
    std::string why;
    bool ok = FlashProgram(ctx, part, fd, 0, image.data(), image.size(), &why);
    if (close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok)
        return Complain(ctx, "write error: " + why, 1);
    return 0;
}

int RunNanddump(Context& ctx)
{
    std::string file, dev;
    for (size_t i = 0; i < ctx.args.size(); ++i) {
        if (ctx.args[i] == "-f" && i + 1 < ctx.args.size())
            file = ctx.args[++i];
        else if (!ctx.args[i].empty() && ctx.args[i][0] != '-')
            dev = ctx.args[i];
    }
    if (file.empty() || dev.empty())
        return Complain(ctx, "usage: nanddump [-n] [-o] [-b] -f FILE DEVICE", 1);
    std::vector<std::string> dd = {"if=" + dev, "of=" + file, "bs=131072"};
    Context sub(ctx.tool, dd, ctx.paths.root());
    return RunDd(sub);
}

// ---- reboot, date, amixer, time ----------------------------------------------

bool IsAncestor(pid_t pid)
{
    pid_t current = getppid();
    for (int depth = 0; depth < 8 && current > 1; ++depth) {
        if (current == pid)
            return true;
        char path[64];
        std::snprintf(path, sizeof(path), "/proc/%d/stat", static_cast<int>(current));
        FILE* fp = std::fopen(path, "r");
        if (!fp)
            return false;
        int self = 0, parent = 0;
        char name[256], state = 0;
        int n = std::fscanf(fp, "%d %255s %c %d", &self, name, &state, &parent);
        std::fclose(fp);
        if (n != 4)
            return false;
        current = parent;
    }
    return false;
}

int RunReboot(Context& ctx)
{
    ctx.state().firmware.rebootRequested = 1;
    pid_t firmware = ctx.state().firmware.pid.load();
    // Only the board's own firmware process, which started this command, is reset.
    if (firmware > 1 && IsAncestor(firmware)) {
        ctx.state().firmware.pid = 0;
        kill(firmware, SIGKILL);
    }
    return 0;
}

int RunDate(Context& ctx)
{
    std::string text;
    for (const std::string& a : ctx.args)
        if (!a.empty() && a[0] != '-' && a[0] != '+')
            text = a;
    if (!text.empty()) {
        struct tm t = {};
        int n = 0;
        if (std::sscanf(text.c_str(), "%d.%d.%d-%d:%d:%d%n", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                        &t.tm_min, &t.tm_sec, &n) != 6 ||
            static_cast<size_t>(n) != text.size())
            return Complain(ctx, "invalid date '" + text + "'", 1);
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        t.tm_isdst = -1;
        time_t when = mktime(&t);
        if (when == static_cast<time_t>(-1))
            return Complain(ctx, "invalid date '" + text + "'", 1);
        ctx.state().clock.systemOffsetUs = static_cast<int64_t>(when) * 1000000 - BoardBaseTimeUs(ctx.state());
    }
    time_t now = static_cast<time_t>((BoardBaseTimeUs(ctx.state()) + ctx.state().clock.systemOffsetUs.load()) / 1000000);
    struct tm local;
    localtime_r(&now, &local);
    char buf[64];
    std::strftime(buf, sizeof(buf), "%a %b %e %H:%M:%S %Z %Y", &local);
    std::printf("%s\n", buf);
    return 0;
}

int RunAmixer(Context& ctx)
{
    const char* config = std::getenv("ALSA_CONFIG_PATH");
    std::string amixer = FindSystemProgram("amixer");
    // Only the board's sound card, never the machine's own.
    if (!config || std::strstr(config, "vrec") == nullptr || amixer.empty())
        return Complain(ctx, "the board's sound card is not available", 1);
    std::vector<std::string> args = {"-D", "hw:0"};
    args.insert(args.end(), ctx.args.begin(), ctx.args.end());
    Exec(amixer, args);
}

int RunTime(Context& ctx)
{
    if (ctx.args.empty())
        return 0;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : ctx.args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "time: can't execute '%s': %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return Complain(ctx, std::strerror(errno), 1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "real\t%dm %.2fs\n", static_cast<int>(seconds / 60), seconds - 60 * static_cast<int>(seconds / 60));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* slash = std::strrchr(argv[0], '/');
    std::string tool = slash ? slash + 1 : argv[0];
    const char* root = std::getenv("VRECSIM_ROOT");
    if (!root || !*root) {
        std::fprintf(stderr, "%s: this is the simulated board's %s; it runs only inside a board (VRECSIM_ROOT)\n",
                     tool.c_str(), tool.c_str());
        return 1;
    }
    std::string why;
    if (!IsUsableRoot(root, &why)) {
        std::fprintf(stderr, "%s: %s\n", tool.c_str(), why.c_str());
        return 1;
    }
    Context ctx(tool, std::vector<std::string>(argv + 1, argv + argc), root);
    if (!ctx.stateFile.ok()) {
        std::fprintf(stderr, "%s: cannot open the board at %s\n", tool.c_str(), root);
        return 1;
    }

    static const std::map<std::string, std::function<int(Context&)>> kTools = {
        {"mount", RunMount},         {"umount", RunUmount},   {"fdisk", RunFdisk},
        {"mkdosfs", RunMkdosfs},     {"dd", RunDd},           {"modprobe", RunModprobe},
        {"rmmod", RunRmmod},         {"flash_eraseall", RunFlashEraseall},
        {"nandwrite", RunNandwrite}, {"nanddump", RunNanddump}, {"reboot", RunReboot},
        {"date", RunDate},           {"amixer", RunAmixer},   {"time", RunTime},
    };
    auto it = kTools.find(tool);
    if (it == kTools.end()) {
        std::fprintf(stderr, "vrec-board: unknown tool '%s'\n", tool.c_str());
        return 1;
    }
    return it->second(ctx);
}
