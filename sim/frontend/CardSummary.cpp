#include "sim/frontend/CardSummary.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace vrec::frontend {

namespace {

void Walk(const std::string& host, const std::string& device, std::vector<CardEntry>& out)
{
    DIR* d = opendir(host.c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.emplace_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string path = host + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        CardEntry entry{device + "/" + name, S_ISDIR(st.st_mode), static_cast<uint64_t>(st.st_size)};
        out.push_back(entry);
        if (entry.folder)
            Walk(path, entry.path, out);
    }
}

std::string Size(uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof(text), "%.1f KB", bytes / 1024.0);
    else
        std::snprintf(text, sizeof(text), "%.1f MB", bytes / (1024.0 * 1024.0));
    return text;
}

}  // namespace

std::vector<CardEntry> ListCard(const std::string& filesDir)
{
    std::vector<CardEntry> entries;
    if (!filesDir.empty())
        Walk(filesDir, "", entries);
    return entries;
}

std::string SummariseCard(const std::string& name, const std::string& filesDir)
{
    if (name.empty())
        return "no card in the slot\n";
    std::vector<CardEntry> entries = ListCard(filesDir);
    int folders = 0, files = 0;
    uint64_t bytes = 0;
    for (const CardEntry& e : entries) {
        folders += e.folder;
        files += !e.folder;
        bytes += e.folder ? 0 : e.size;
    }
    std::string text = "card " + name + ": " + std::to_string(folders) + " folders, " + std::to_string(files) +
                       " files, " + Size(bytes) + "\n";
    for (const CardEntry& e : entries)
        text += "  " + e.path + (e.folder ? "/" : "  " + Size(e.size)) + "\n";
    return text;
}

}  // namespace vrec::frontend
