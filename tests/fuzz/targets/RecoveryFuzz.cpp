// The recovery of a cut recording on any bytes: mode byte 0 is a movie
// (its length in 4 big-endian bytes, the movie, then its journal), 1 a WAV
// file. A file that is not recovered stays as it was; a recovered movie is
// whole for the reader and keeps its samples where they were; a recovered
// WAV file keeps its sound and gives its real sizes.
#include "Media/MovReader.h"
#include "Media/Recovery.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstring>
#include <sys/stat.h>

namespace vrec::fuzz {

namespace {

uint32_t Be32(const std::string& b, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 | static_cast<uint8_t>(b[at + 1]) << 16 |
           static_cast<uint8_t>(b[at + 2]) << 8 | static_cast<uint8_t>(b[at + 3]);
}

uint32_t Le32(const std::string& b, size_t at)
{
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int MovieRound(const uint8_t* data, size_t size)
{
    static const std::string movie = ScratchPath("cut.mov");
    static const std::string journal = ScratchPath("cut.jnl");
    if (size < 4)
        return kRefused;
    size_t length = static_cast<size_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
    length = std::min(length, size - 4);
    const std::string before(reinterpret_cast<const char*>(data + 4), length);
    if (!WriteBytes(movie, data + 4, length) || !WriteBytes(journal, data + 4 + length, size - 4 - length))
        return kViolation;
    const int result = RCV_RecoverMovie(movie.c_str(), journal.c_str());
    const bool exists = Exists(movie);
    switch (result) {
    case RCV_FAILED:
    case RCV_COMPLETE:
        return exists && ReadBytes(movie) == before ? (result == RCV_COMPLETE ? kAccepted : kRefused) : kViolation;
    case RCV_REMOVED:
        return exists ? kViolation : kRefused;
    case RCV_RECOVERED:
        break;
    default:
        return kViolation;
    }
    // Whole now: samples in place, the index after them, nothing left to do.
    const std::string after = ReadBytes(movie);
    if (after.size() < 56 || after.compare(0, 40, before, 0, 40) != 0 || after.compare(44, 4, "mdat") != 0)
        return kViolation;
    const size_t mdatEnd = 40 + Be32(after, 40);
    if (mdatEnd > before.size() || mdatEnd > after.size() || after.compare(48, mdatEnd - 48, before, 48, mdatEnd - 48) != 0)
        return kViolation;
    if (Exists(journal) || RCV_RecoverMovie(movie.c_str(), journal.c_str()) != RCV_COMPLETE)
        return kViolation;
    CMovReader reader;
    const int opened = reader.Open(movie.c_str());
    const bool playable = opened == 0 && reader.HasVideo() && reader.GetSampleCount(1) > 0;
    reader.Close();
    return playable ? kAccepted : kViolation;
}

int WavRound(const uint8_t* data, size_t size)
{
    static const std::string wav = ScratchPath("cut.wav");
    const std::string before(reinterpret_cast<const char*>(data), size);
    if (!WriteBytes(wav, data, size))
        return kViolation;
    const int result = RCV_RecoverWav(wav.c_str());
    const std::string after = ReadBytes(wav);
    if (result == RCV_FAILED || result == RCV_COMPLETE)
        return after == before ? (result == RCV_COMPLETE ? kAccepted : kRefused) : kViolation;
    if (result != RCV_RECOVERED || after.size() < 44 || after.size() > before.size())
        return kViolation;
    const uint32_t dataBytes = Le32(after, 40);
    const unsigned align = (static_cast<uint8_t>(after[22]) * static_cast<uint8_t>(after[34])) / 8;
    if (dataBytes != after.size() - 44 || Le32(after, 4) != dataBytes + 36 || align == 0 || dataBytes % align != 0 ||
        after.compare(44, dataBytes, before, 44, dataBytes) != 0)
        return kViolation;
    return RCV_RecoverWav(wav.c_str()) == RCV_COMPLETE ? kAccepted : kViolation;
}

int RecoveryRound(const uint8_t* data, size_t size)
{
    if (size < 1)
        return kRefused;
    return data[0] == 0 ? MovieRound(data + 1, size - 1) : WavRound(data + 1, size - 1);
}

}  // namespace

VREC_FUZZ_TARGET({"recovery", "tests/fuzz/corpus/recovery", 1 << 16, 64, nullptr, RecoveryRound});

}  // namespace vrec::fuzz
