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

// Characters that end an unquoted word of a command line.
bool EndsWord(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) || std::strchr(";|&()<>`", c) != nullptr;
}

// End of the word that starts at i: quotes and backslashes are part of it.
size_t WordEnd(const std::string& command, size_t i)
{
    while (i < command.size() && !EndsWord(command[i])) {
        char c = command[i];
        if (c == '\\') {
            i += 2;
        } else if (c == '\'') {
            size_t close = command.find('\'', i + 1);
            i = close == std::string::npos ? command.size() : close + 1;
        } else if (c == '"') {
            ++i;
            while (i < command.size() && command[i] != '"')
                i += command[i] == '\\' ? 2 : 1;
            ++i;
        } else {
            ++i;
        }
    }
    return std::min(i, command.size());
}

// Where a word's text, once the shell has removed its quotes, begins: the
// raw index of its first literal character and that character's value.
// Quoted words read as paths too ('/sdcard/KS x; y/uImage').
size_t FirstLiteral(const std::string& word, size_t from)
{
    size_t i = from;
    while (i < word.size()) {
        char c = word[i];
        if ((c == '\'' || c == '"') && i + 1 < word.size() && word[i + 1] == c) {
            i += 2;  // an empty quote
        } else if (c == '\'' || c == '"' || c == '\\') {
            return i + 1 < word.size() ? i + 1 : std::string::npos;
        } else {
            return i;
        }
    }
    return std::string::npos;
}

// The text the shell makes of word[from..] (quotes removed), as far as it
// can be known without running it.
std::string Literal(const std::string& word, size_t from)
{
    std::string text;
    char quote = 0;
    for (size_t i = from; i < word.size(); ++i) {
        char c = word[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                text += c;
        } else if (c == '\\' && i + 1 < word.size()) {
            text += word[++i];
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                text += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else {
            text += c;
        }
    }
    return text;
}

bool Unquoted(const std::string& word)
{
    return word.find_first_of("'\"\\") == std::string::npos;
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

std::string BoardPaths::MapWord(const std::string& word, bool commandWord, const std::string& toolDir) const
{
    const std::vector<std::string>& tools = BoardToolNames();
    if (commandWord && !toolDir.empty() && Unquoted(word) && std::find(tools.begin(), tools.end(), word) != tools.end())
        return toolDir + "/" + word;
    // The path is the whole word, or what follows "name=" ("of=/dev/mtd4").
    size_t from = 0;
    size_t eq = word.find('=');
    if (eq != std::string::npos && Unquoted(word.substr(0, eq)))
        from = eq + 1;
    size_t first = FirstLiteral(word, from);
    if (first == std::string::npos || word[first] != '/') {
        if (from == 0)
            return word;
        first = FirstLiteral(word, 0);
        if (first == std::string::npos || word[first] != '/')
            return word;
        from = 0;
    }
    if (!IsMapped(Literal(word, from)))
        return word;
    // The root needs no quoting, so it goes in front of the path's first
    // character, inside any quotes the path has.
    return word.substr(0, first) + root_ + word.substr(first);
}

std::string BoardPaths::MapCommand(const std::string& command, const std::string& toolDir) const
{
    std::string out;
    out.reserve(command.size() + 64);
    bool commandWord = true;  // the next word starts a simple command
    size_t i = 0;
    while (i < command.size()) {
        char c = command[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == '<' || c == '>') {
            out += c;
            ++i;
            continue;
        }
        if (std::strchr(";|&()`", c)) {
            out += c;
            ++i;
            commandWord = true;
            continue;
        }
        size_t end = WordEnd(command, i);
        std::string word = command.substr(i, end - i);
        out += MapWord(word, commandWord, toolDir);
        // Assignments before a command ("A=1 cmd") keep the command position.
        commandWord = commandWord && Unquoted(word) && word.find('=') != std::string::npos;
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
