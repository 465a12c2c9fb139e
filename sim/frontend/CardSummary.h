// What a card holds, for the end of a run and for scenario checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::frontend {

struct CardEntry
{
    std::string path;  // as the device names it: "/MY_FOLDER/MOV_0001.MOV"
    bool folder = false;
    uint64_t size = 0;
};

// Every file and folder below filesDir, sorted by path.
std::vector<CardEntry> ListCard(const std::string& filesDir);
// "card card0: 2 folders, 3 files, 12.4 MB" and one line per entry.
std::string SummariseCard(const std::string& name, const std::string& filesDir);

}  // namespace vrec::frontend
