#include "tests/media/fuzz/MediaReaderFuzz.h"

#include "Lib/Global.h"
#include "Media/MediaReader.h"
#include "Middleware/CODEC/Jpeg.h"
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

// A run handed out lies in the file and reads; a WAV's runs hold whole
// sample frames (frameBytes, 0 for a movie).
bool CheckRun(CMediaReader& reader, int kind, int index, int frameBytes, std::vector<unsigned char>& buffer)
{
    long offset = -1;
    int size = -1, count = -1, total = -1;
    if (!reader.GetSamplePos(kind, index, &offset, &size, &count, &total))
        return true;
    if (offset < 0 || size < 0 || count < 1 || total < size ||
        offset + (long long)total > (long long)reader.GetFileLength())
        return false;
    if (frameBytes > 0 && total != count * frameBytes)
        return false;
    buffer.resize(static_cast<size_t>(total));
    return reader.Read(buffer.data(), offset, total) != 0;
}

// Indexes all over a track of n samples, and past both ends.
std::vector<int> Indexes(int n)
{
    // (a track may claim INT_MAX samples: nothing lies behind that)
    const int after = n < INT_MAX ? n + 1 : INT_MAX;
    std::vector<int> indexes = {-1, 0, 1, n - 1, n, after, INT_MAX, INT_MIN};
    for (long long i = 2; n > 0 && i < n; i += n / 16 + 1)
        indexes.push_back(static_cast<int>(i));
    return indexes;
}

// Photos decode through the codec engine into the JPEG module's buffers, as
// in the device program (made once, kept for the process).
void OpenJpegDecoder()
{
    static const bool ready = [] {
        if (!g_hEngine)
            g_hEngine = Engine_open("encodedecode", nullptr, nullptr);
        _Buffer_Object* picture = nullptr;
        JPEG_GetBuffer(&picture, nullptr);
        return picture != nullptr || JPEG_Init() != 0;
    }();
    (void)ready;
}

}  // namespace

int MediaReaderFuzzOne(const uint8_t* data, size_t size, const char* devicePath, const char* hostPath)
{
    OpenJpegDecoder();
    if (!WriteFuzzInput(hostPath, data, size))
        return 1;
    CMediaReader reader;
    int result = reader.Open(devicePath);
    const bool wav = std::strstr(devicePath, ".wav") != nullptr;
    if (result == 0) {
        int rate = 0, bits = 0, channels = 0;
        reader.GetAudioInfo(&rate, &bits, &channels);
        const int frames = reader.GetSampleCount(0);
        // A sound track is one the player can play; a WAV's duration is
        // that of its frames.
        if (frames >= 0 && ((bits != 16 && bits != 24) || channels < 1 || channels > 2 || rate < 1 || rate > 96000))
            result = kFuzzViolation;
        if (result == 0 && wav && reader.GetDuration() != (DWORD)((long long)frames * 1000 / rate))
            result = kFuzzViolation;
        std::vector<unsigned char> buffer;
        // (a photo's picture track is the decoded image, checked below)
        const int kinds = reader.GetImage() && !wav ? 1 : 2;
        for (int kind = 0; kind < kinds && result == 0; ++kind)
            for (int index : Indexes(reader.GetSampleCount(kind)))
                if (result == 0 && !CheckRun(reader, kind, index, wav && kind == 0 ? bits / 8 * channels : 0, buffer))
                    result = kFuzzViolation;
        // A picture track of a photo is the decoded image and nothing else.
        long offset = -1;
        int bytes = -1, count = -1, total = -1;
        if (!wav && reader.GetImage() &&
            (!reader.GetSamplePos(1, 0, &offset, &bytes, &count, &total) || offset != 0 || count != 1 ||
             bytes != Buffer_getNumBytesUsed(reader.GetImage()) || bytes <= 0))
            result = kFuzzViolation;
    }
    reader.Close();
    return result;
}

}  // namespace vrec::test
