#include "tests/media/fuzz/MediaReaderFuzz.h"

#include "Media/MediaReader.h"
#include "tests/media/fuzz/MovReaderFuzz.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vrec::test {

const char* MediaFuzzExtension(const uint8_t* data, size_t size)
{
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0)
        return ".wav";
    if (size >= 8 && (std::memcmp(data + 4, "ftyp", 4) == 0 || std::memcmp(data + 4, "wide", 4) == 0))
        return ".mov";
    return ".jpg";
}

namespace {

// A run handed out lies in the file, holds whole sample frames and reads.
bool CheckSoundRun(CMediaReader& reader, int index, int frameBytes, std::vector<unsigned char>& buffer)
{
    long offset = -1;
    int size = -1, count = -1, total = -1;
    if (!reader.GetSamplePos(0, index, &offset, &size, &count, &total))
        return true;
    if (offset < 0 || count < 1 || total != count * frameBytes ||
        offset + (long long)total > (long long)reader.GetFileLength())
        return false;
    buffer.resize(static_cast<size_t>(total));
    return reader.Read(buffer.data(), offset, total) != 0;
}

}  // namespace

int MediaReaderFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath)
{
    if (!WriteFuzzInput(hostPath, data, size))
        return 1;
    CMediaReader reader;
    int result = reader.Open(devicePath);
    if (result == 0) {
        int rate = 0, bits = 0, channels = 0;
        reader.GetAudioInfo(&rate, &bits, &channels);
        const int frames = reader.GetSampleCount(0);
        if (frames >= 0) {
            // A playable sound track: a format the player takes, and a
            // duration that agrees with the frames.
            if ((bits != 16 && bits != 24) || channels < 1 || channels > 2 || rate < 1 || rate > 96000 ||
                reader.GetDuration() != (DWORD)((long long)frames * 1000 / rate))
                result = kFuzzViolation;
            std::vector<unsigned char> buffer;
            const int frameBytes = bits / 8 * channels;
            // (a track may claim INT_MAX samples: nothing lies behind that)
            const int after = frames < INT_MAX ? frames + 1 : INT_MAX;
            std::vector<int> indexes = {-1, 0, 1, frames - 1, frames, after, INT_MAX, INT_MIN};
            for (long long i = 2; frames > 0 && i < frames; i += frames / 16 + 1)
                indexes.push_back(static_cast<int>(i));
            for (int index : indexes)
                if (result == 0 && !CheckSoundRun(reader, index, frameBytes, buffer))
                    result = kFuzzViolation;
        }
        // A picture track is the decoded image and nothing else.
        long offset = -1;
        int bytes = -1, count = -1, total = -1;
        if (reader.GetImage() &&
            (!reader.GetSamplePos(1, 0, &offset, &bytes, &count, &total) || bytes <= 0 || count != 1))
            result = kFuzzViolation;
    }
    reader.Close();
    return result;
}

}  // namespace vrec::test
