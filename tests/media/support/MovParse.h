// Looking into movie files from the outside: an atom parser of its own and
// the answers of the real tools (ffprobe, ffmpeg).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vrec::test {

struct AtomNode
{
    std::string type;
    uint64_t offset = 0;  // first header byte
    uint64_t size = 0;    // whole atom
    std::vector<AtomNode> children;
    uint64_t payload() const { return offset + 8; }
};

// A whole movie file in memory and its atom tree.
class MovFile
{
public:
    bool Load(const std::string& path, std::string* error);
    const std::string& bytes() const { return bytes_; }
    const std::vector<AtomNode>& top() const { return top_; }

    // "moov/trak[1]/mdia/minf/stbl/stsd": index [n] picks the n-th atom of
    // that type among its siblings (0 when left out). Null when missing.
    const AtomNode* Find(const std::string& path) const;
    uint32_t U32(uint64_t offset) const;
    uint16_t U16(uint64_t offset) const;
    std::string Text(uint64_t offset, size_t n) const { return bytes_.substr(offset, n); }

private:
    bool Parse(uint64_t from, uint64_t to, std::vector<AtomNode>* out, std::string* error);
    std::string bytes_;
    std::vector<AtomNode> top_;
};

// Runs a shell command and returns its exit status; output gets stdout
// (and stderr when mergeStderr).
int RunCommand(const std::string& command, std::string* output, bool mergeStderr = false);

// One line of "ffprobe -show_entries ... -of compact": key -> value.
using ProbeFields = std::map<std::string, std::string>;

struct ProbePacket
{
    int stream = -1;
    int64_t pos = -1;
    int64_t size = -1;
    int64_t pts = -1;
    bool key = false;
};

std::vector<ProbeFields> ProbeStreams(const std::string& path);
ProbeFields ProbeFormat(const std::string& path);
std::vector<ProbePacket> ProbePackets(const std::string& path);
// Decodes every frame with ffmpeg; returns what it wrote to stderr.
std::string DecodeErrors(const std::string& path);

}  // namespace vrec::test
