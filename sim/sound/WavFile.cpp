#include "sim/sound/WavFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::sound {

namespace {

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

float DecodeSample(const uint8_t* p, int bits, bool isFloat)
{
    if (isFloat) {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    switch (bits) {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<int16_t>(Le16(p)) / 32768.0f;
    case 24: {
        int32_t v = static_cast<int32_t>((static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                          (static_cast<uint32_t>(p[2]) << 16))
                                         << 8) >>
                    8;
        return v / 8388608.0f;
    }
    default:
        return static_cast<int32_t>(Le32(p)) / 2147483648.0f;
    }
}

constexpr size_t kHeaderSize = 44;

void MakeHeader(uint8_t* h, int rate, int bits, uint32_t dataBytes)
{
    int blockAlign = 2 * bits / 8;
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, 1);
    PutLe16(h + 22, 2);
    PutLe32(h + 24, static_cast<uint32_t>(rate));
    PutLe32(h + 28, static_cast<uint32_t>(rate * blockAlign));
    PutLe16(h + 32, static_cast<uint16_t>(blockAlign));
    PutLe16(h + 34, static_cast<uint16_t>(bits));
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataBytes);
}

// True when the file at fd was written by us in this format.
bool SameFormat(int fd, int rate, int bits)
{
    uint8_t h[kHeaderSize];
    if (pread(fd, h, sizeof(h), 0) != static_cast<ssize_t>(sizeof(h)))
        return false;
    uint8_t want[kHeaderSize];
    MakeHeader(want, rate, bits, 0);
    return std::memcmp(h, want, 4) == 0 && std::memcmp(h + 8, want + 8, 28) == 0 && std::memcmp(h + 36, "data", 4) == 0;
}

}  // namespace

bool ReadWavClip(const std::string& path, WavClip* clip, std::string* why)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);

    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 || std::memcmp(data.data() + 8, "WAVE", 4) != 0) {
        *why = path + " is not a WAV file";
        return false;
    }
    int format = 0, channels = 0, rate = 0, bits = 0;
    const uint8_t* samples = nullptr;
    size_t sampleBytes = 0;
    for (size_t pos = 12; pos + 8 <= data.size();) {
        uint32_t size = Le32(&data[pos + 4]);
        const uint8_t* body = &data[pos + 8];
        size_t avail = data.size() - pos - 8;
        if (std::memcmp(&data[pos], "fmt ", 4) == 0 && size >= 16 && avail >= 16) {
            format = Le16(body);
            channels = Le16(body + 2);
            rate = static_cast<int>(Le32(body + 4));
            bits = Le16(body + 14);
            if (format == 0xFFFE && size >= 26 && avail >= 26)
                format = Le16(body + 24);  // extensible: the sub-format's tag
        } else if (std::memcmp(&data[pos], "data", 4) == 0) {
            samples = body;
            sampleBytes = size < avail ? size : avail;  // a truncated file keeps what it has
            break;
        }
        pos += 8 + size + (size & 1);
    }
    bool isFloat = format == 3;
    bool known = (format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) || (isFloat && bits == 32);
    if (!known || channels < 1 || rate < 1000 || rate > 384000) {
        *why = path + ": unsupported WAV format";
        return false;
    }
    if (!samples) {
        *why = path + " has no sound data";
        return false;
    }
    size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
    size_t frames = sampleBytes / frameBytes;
    if (frames == 0) {
        *why = path + " has no sound data";
        return false;
    }
    clip->rate = rate;
    clip->frames.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* p = samples + i * frameBytes;
        float left = DecodeSample(p, bits, isFloat);
        float right = channels > 1 ? DecodeSample(p + bits / 8, bits, isFloat) : left;
        clip->frames[2 * i] = left;
        clip->frames[2 * i + 1] = right;
    }
    return true;
}

WavAppender::~WavAppender()
{
    Close();
}

bool WavAppender::Open(const std::string& path, int rate, int bits, std::string* why)
{
    Close();
    std::string folder = path.substr(0, path.rfind('/'));
    mkdir(folder.c_str(), 0755);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    flock(fd, LOCK_EX);
    struct stat st;
    bool empty = fstat(fd, &st) == 0 && st.st_size == 0;
    if (!empty && !SameFormat(fd, rate, bits)) {
        // Another format played before: keep that record beside the new one.
        std::string aside = path.substr(0, path.size() - 4) + "-previous.wav";
        rename(path.c_str(), aside.c_str());
        flock(fd, LOCK_UN);
        close(fd);
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            *why = "cannot open " + path + ": " + std::strerror(errno);
            return false;
        }
        flock(fd, LOCK_EX);
        empty = true;
    }
    if (empty) {
        uint8_t h[kHeaderSize];
        MakeHeader(h, rate, bits, 0);
        if (pwrite(fd, h, sizeof(h), 0) != static_cast<ssize_t>(sizeof(h))) {
            *why = "cannot write " + path + ": " + std::strerror(errno);
            flock(fd, LOCK_UN);
            close(fd);
            return false;
        }
    }
    flock(fd, LOCK_UN);
    fd_ = fd;
    return true;
}

void WavAppender::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool WavAppender::Append(const uint8_t* data, size_t bytes)
{
    if (fd_ < 0)
        return false;
    flock(fd_, LOCK_EX);
    struct stat st;
    bool ok = fstat(fd_, &st) == 0 && st.st_size >= static_cast<off_t>(kHeaderSize);
    if (ok) {
        off_t end = st.st_size;
        uint64_t dataBytes = static_cast<uint64_t>(end) + bytes - kHeaderSize;
        if (dataBytes > 0xFFFFFF00u) {
            // The record stops growing at the WAV size limit.
            flock(fd_, LOCK_UN);
            return false;
        }
        ok = pwrite(fd_, data, bytes, end) == static_cast<ssize_t>(bytes);
        uint8_t sizes[4];
        PutLe32(sizes, static_cast<uint32_t>(36 + dataBytes));
        ok = pwrite(fd_, sizes, 4, 4) == 4 && ok;
        PutLe32(sizes, static_cast<uint32_t>(dataBytes));
        ok = pwrite(fd_, sizes, 4, 40) == 4 && ok;
    }
    flock(fd_, LOCK_UN);
    return ok;
}

}  // namespace vrec::sound
