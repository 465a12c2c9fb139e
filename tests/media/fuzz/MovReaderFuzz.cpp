#include "tests/media/fuzz/MovReaderFuzz.h"

#include "Media/MovReader.h"

#include <climits>
#include <cstdio>
#include <vector>

namespace vrec::test {

bool WriteFuzzInput(const char* path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

namespace {

// Every place handed out lies inside the file and can be read.
bool CheckPlace(CMovReader& reader, int kind, int index)
{
    static unsigned char buffer[1 << 16];
    long offset = -1;
    int size = -1, count = -1, total = -1;
    if (!reader.GetSamplePos(kind, index, &offset, &size, &count, &total))
        return true;
    const long long length = reader.GetFileLength();
    if (offset < 0 || size < 0 || count < 1 || total < size || offset + (long long)total > length)
        return false;
    int n = total < (int)sizeof(buffer) ? total : (int)sizeof(buffer);
    return reader.Read(buffer, offset, n) != 0;
}

}  // namespace

int MovReaderFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath)
{
    if (!WriteFuzzInput(hostPath, data, size))
        return 1;
    CMovReader reader;
    int result = reader.Open(devicePath);
    if (result == 0) {
        for (int kind = 0; kind < 2; ++kind) {
            const int n = reader.GetSampleCount(kind);
            // (a track may claim INT_MAX samples: nothing lies behind that)
            const int after = n < INT_MAX ? n + 1 : INT_MAX;
            std::vector<int> indexes = {-1, 0, 1, n - 1, n, after, INT_MAX, INT_MIN};
            for (int i = 2; i < 64 && i < n; ++i)
                indexes.push_back(i);
            // 64 more spread over the rest; in 64 bits, since n may be
            // near INT_MAX.
            for (long long i = 64; n > 0 && i < n; i += n / 64 + 1)
                indexes.push_back((int)i);
            for (int index : indexes)
                if (!CheckPlace(reader, kind, index))
                    result = kFuzzViolation;
            reader.GetFps(kind);
            reader.GetSampleIndex(kind, 1e12);
            reader.GetSampleIndex(kind, 45.0);
        }
        int flag = 0, rate, bits, channels;
        reader.HasAudio(&flag);
        reader.HasVideo();
        reader.GetAudioInfo(&rate, &bits, &channels);
        reader.GetVideoWidth();
    }
    reader.Close();
    return result;
}

}  // namespace vrec::test
