#include "tests/media/support/MovParse.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace vrec::test {

namespace {

const std::set<std::string>& Containers()
{
    static const std::set<std::string> names = {"moov", "trak", "mdia", "minf", "dinf", "stbl", "edts", "tapt"};
    return names;
}

ProbeFields ParseCompactLine(const std::string& line)
{
    ProbeFields fields;
    std::stringstream ss(line);
    std::string item;
    while (std::getline(ss, item, '|')) {
        size_t eq = item.find('=');
        if (eq != std::string::npos)
            fields[item.substr(0, eq)] = item.substr(eq + 1);
    }
    return fields;
}

std::vector<ProbeFields> ProbeLines(const std::string& args, const std::string& path)
{
    std::string out;
    RunCommand("ffprobe -v error " + args + " -of compact=p=0 '" + path + "'", &out);
    std::vector<ProbeFields> lines;
    std::stringstream ss(out);
    std::string line;
    while (std::getline(ss, line))
        if (!line.empty())
            lines.push_back(ParseCompactLine(line));
    return lines;
}

int64_t Number(const ProbeFields& f, const char* key)
{
    auto it = f.find(key);
    if (it == f.end() || it->second.empty() || it->second == "N/A")
        return -1;
    return std::stoll(it->second);
}

}  // namespace

bool MovFile::Load(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    bytes_ = ss.str();
    top_.clear();
    return Parse(0, bytes_.size(), &top_, error);
}

bool MovFile::Parse(uint64_t from, uint64_t to, std::vector<AtomNode>* out, std::string* error)
{
    uint64_t pos = from;
    while (pos < to) {
        if (to - pos < 8) {
            *error = "short atom header at " + std::to_string(pos);
            return false;
        }
        AtomNode node;
        node.offset = pos;
        node.size = U32(pos);
        node.type = bytes_.substr(pos + 4, 4);
        if (node.size < 8 || node.size > to - pos) {
            *error = "atom " + node.type + " at " + std::to_string(pos) + " has size " + std::to_string(node.size);
            return false;
        }
        if (Containers().count(node.type) && !Parse(pos + 8, pos + node.size, &node.children, error))
            return false;
        out->push_back(std::move(node));
        pos += out->back().size;
    }
    return true;
}

const AtomNode* MovFile::Find(const std::string& path) const
{
    const std::vector<AtomNode>* level = &top_;
    const AtomNode* found = nullptr;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        int index = 0;
        size_t bracket = part.find('[');
        if (bracket != std::string::npos) {
            index = std::stoi(part.substr(bracket + 1));
            part = part.substr(0, bracket);
        }
        found = nullptr;
        for (const AtomNode& node : *level) {
            if (node.type == part && index-- == 0) {
                found = &node;
                break;
            }
        }
        if (!found)
            return nullptr;
        level = &found->children;
    }
    return found;
}

uint32_t MovFile::U32(uint64_t o) const
{
    if (o + 4 > bytes_.size())
        return 0;
    auto b = reinterpret_cast<const unsigned char*>(bytes_.data()) + o;
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}

uint16_t MovFile::U16(uint64_t o) const
{
    if (o + 2 > bytes_.size())
        return 0;
    auto b = reinterpret_cast<const unsigned char*>(bytes_.data()) + o;
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

int RunCommand(const std::string& command, std::string* output, bool mergeStderr)
{
    std::string line = command + (mergeStderr ? " 2>&1" : "");
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    if (output)
        output->clear();
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        if (output)
            output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<ProbeFields> ProbeStreams(const std::string& path)
{
    return ProbeLines("-show_entries stream=index,codec_type,codec_name,codec_tag_string,width,height,r_frame_rate,"
                      "sample_rate,channels,bits_per_sample,duration,nb_frames",
                      path);
}

ProbeFields ProbeFormat(const std::string& path)
{
    std::vector<ProbeFields> lines = ProbeLines("-show_entries format=duration,format_name", path);
    return lines.empty() ? ProbeFields() : lines.front();
}

std::vector<ProbePacket> ProbePackets(const std::string& path)
{
    std::vector<ProbePacket> packets;
    for (const ProbeFields& f : ProbeLines("-show_entries packet=stream_index,pts,size,pos,flags", path)) {
        ProbePacket p;
        p.stream = static_cast<int>(Number(f, "stream_index"));
        p.pos = Number(f, "pos");
        p.size = Number(f, "size");
        p.pts = Number(f, "pts");
        auto flags = f.find("flags");
        p.key = flags != f.end() && !flags->second.empty() && flags->second[0] == 'K';
        packets.push_back(p);
    }
    return packets;
}

std::string DecodeErrors(const std::string& path)
{
    std::string out;
    int status = RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1 >/dev/null", &out);
    if (status != 0)
        out += "\nffmpeg exit status " + std::to_string(status);
    return out;
}

}  // namespace vrec::test
