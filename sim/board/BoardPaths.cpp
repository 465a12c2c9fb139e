#include "sim/board/BoardPaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace vrec::board {

namespace {

// Host paths the device program may use as they are: system programs and
// libraries, the standard streams and pseudo devices, its own process.
const char* const kPassThrough[] = {
    "/dev/null", "/dev/zero", "/dev/urandom", "/dev/random", "/dev/tty", "/dev/stdin", "/dev/stdout",
    "/dev/stderr", "/dev/fd/", "/bin/", "/sbin/", "/usr/", "/lib/", "/lib64/", "/etc/localtime",
    "/proc/self/", "/proc/meminfo", "/proc/cpuinfo", "/proc/loadavg", "/proc/stat", "/proc/vmstat",
};

bool HasPrefix(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// prefix names a tree: "/a/b" covers "/a/b" and "/a/b/...", not "/a/bc".
bool UnderTree(const std::string& path, const std::string& tree)
{
    if (!HasPrefix(path, tree))
        return false;
    return path.size() == tree.size() || path[tree.size()] == '/' || tree.back() == '/';
}

bool EndsPathToken(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) || std::strchr("'\";|&)<>`", c) != nullptr;
}

bool StartsPathToken(char previous)
{
    return std::isspace(static_cast<unsigned char>(previous)) || std::strchr("=<>'\"(;|&:`", previous) != nullptr;
}

}  // namespace

const std::vector<std::string>& BoardToolNames()
{
    static const std::vector<std::string> names = {
        "mount", "umount", "fdisk", "mkdosfs", "dd",     "modprobe", "rmmod", "flash_eraseall",
        "nandwrite", "nanddump", "reboot", "date", "amixer", "time",
    };
    return names;
}

BoardPaths::BoardPaths(std::string root, std::vector<std::string> keep) : root_(std::move(root)), keep_(std::move(keep))
{
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
}

bool BoardPaths::IsMapped(const std::string& path) const
{
    if (path.empty() || path[0] != '/')
        return false;
    if (UnderTree(path, root_))
        return false;
    for (const std::string& tree : keep_)
        if (!tree.empty() && UnderTree(path, tree))
            return false;
    for (const char* pass : kPassThrough)
        if (UnderTree(path, pass))
            return false;
    return true;
}

std::string BoardPaths::Map(const std::string& path) const
{
    if (!IsMapped(path))
        return path;
    if (path == "/")
        return root_;
    return root_ + path;
}

std::string BoardPaths::Unmap(const std::string& hostPath) const
{
    if (!UnderTree(hostPath, root_))
        return hostPath;
    std::string rest = hostPath.substr(root_.size());
    return rest.empty() ? "/" : rest;
}

std::string BoardPaths::MapCommand(const std::string& command, const std::string& toolDir) const
{
    const std::vector<std::string>& tools = BoardToolNames();
    std::string out;
    out.reserve(command.size() + 64);
    bool commandWord = true;  // the next word starts a simple command
    size_t i = 0;
    while (i < command.size()) {
        char c = command[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            out += c;
            ++i;
            continue;
        }
        if (std::strchr(";|&(", c)) {
            out += c;
            ++i;
            commandWord = true;
            continue;
        }
        if (c == '/' && (i == 0 || StartsPathToken(command[i - 1]))) {
            size_t end = i;
            while (end < command.size() && !EndsPathToken(command[end]))
                ++end;
            out += Map(command.substr(i, end - i));
            i = end;
            commandWord = false;
            continue;
        }
        // An ordinary word: a board tool name in command position runs the tool.
        size_t end = i;
        while (end < command.size() && !std::isspace(static_cast<unsigned char>(command[end])) &&
               !std::strchr(";|&()<>'\"", command[end]))
            ++end;
        if (end == i) {
            out += c;
            ++i;
            continue;
        }
        std::string word = command.substr(i, end - i);
        size_t eq = word.find('=');
        if (commandWord && !toolDir.empty() && std::find(tools.begin(), tools.end(), word) != tools.end())
            out += toolDir + "/" + word;
        else if (eq != std::string::npos && eq + 1 < word.size() && word[eq + 1] == '/')
            out += word.substr(0, eq + 1) + Map(word.substr(eq + 1));  // "of=/dev/..."
        else
            out += word;
        // Assignments before a command ("A=1 cmd") keep the command position.
        commandWord = commandWord && word.find('=') != std::string::npos;
        i = end;
    }
    return out;
}

bool IsUsableRoot(const std::string& root, std::string* why)
{
    if (root.empty() || root[0] != '/') {
        if (why)
            *why = "the board root must be an absolute path";
        return false;
    }
    for (char c : root) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._+-", c))) {
            if (why)
                *why = std::string("the board root may hold only letters, digits and / . _ + -, not '") + c + "'";
            return false;
        }
    }
    if (root == "/") {
        if (why)
            *why = "the board root cannot be /";
        return false;
    }
    return true;
}

}  // namespace vrec::board
