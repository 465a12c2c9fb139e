// Damaged and hostile movie files: Open refuses them with 2 or lookups fail,
// never a crash, a read outside the file or a huge allocation.
#include "Media/MovReader.h"
#include "tests/media/fuzz/MovReaderFuzz.h"
#include "tests/media/support/MovFixture.h"

#include <cstdio>
#include <random>

using namespace vrec::test;

namespace {

void Put32(std::string& s, uint64_t at, uint32_t v)
{
    MOV_PutBE32(reinterpret_cast<unsigned char*>(&s[at]), v);
}

std::string BE32(uint32_t v)
{
    std::string s(4, '\0');
    Put32(s, 0, v);
    return s;
}

class MovBadInputTest : public MovTest
{
protected:
    void SetUp() override
    {
        MovTest::SetUp();
        // 30 small frames and 1 s of 8 kHz mono sound: a complete movie of 23 KB.
        for (int f = 0; f < 30; ++f) {
            Bytes frame = {0, 0, 1, 0xB6};
            frame.resize(100 + 13 * f, static_cast<uint8_t>(f));
            creator->QueueVideo(frame);
            if (f % 3 == 2)
                creator->QueueSound(ToneBlock(8000, 16, 1, 0, 800));
        }
        ASSERT_EQ(creator->Create("/sdcard/base.mov", 160, 120, 30, 8000, 16, 1), MOV_EXIT_STOPPED);
        base = ReadFile(HostPath("/sdcard/base.mov"));
        std::string error;
        ASSERT_TRUE(layout.Load(HostPath("/sdcard/base.mov"), &error)) << error;
    }

    // Open's result on these bytes; lookups all over both tracks on success.
    int Try(const std::string& bytes, const std::string& name = "bad.mov")
    {
        const std::string device = "/sdcard/" + name;
        const std::string host = HostPath(device);
        ::testing::internal::CaptureStdout();
        int result = MovReaderFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), device.c_str(),
                                      host.c_str());
        said = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(result, kFuzzViolation) << "a place outside the file was handed out";
        return result;
    }

    uint64_t At(const std::string& path)
    {
        const AtomNode* a = layout.Find(path);
        EXPECT_NE(a, nullptr) << path;
        return a ? a->offset : 0;
    }

    std::string base;
    MovFile layout;
    std::string said;
};

TEST_F(MovBadInputTest, TheBaseMovieIsGood)
{
    EXPECT_EQ(Try(base), 0);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/base.mov"), 0);
    EXPECT_EQ(r.GetSampleCount(1), 30);
    EXPECT_EQ(r.GetSampleCount(0), 8000);
    r.Close();
}

TEST_F(MovBadInputTest, TruncatedFilesAreRefused)
{
    const uint64_t moov = At("moov");
    for (uint64_t cut = 0; cut < base.size(); cut += cut < moov ? 331 : 1)
        ASSERT_EQ(Try(base.substr(0, cut)), 2) << "cut at " << cut;
}

TEST_F(MovBadInputTest, AtomsRunningPastTheirParentOrTheFile)
{
    std::string s = base;
    const uint64_t stsd = At("moov/trak[1]/mdia/minf/stbl/stsd");
    Put32(s, stsd, layout.U32(stsd) + 4096);
    EXPECT_EQ(Try(s), 2);

    s = base;
    Put32(s, At("mdat"), 0x7FFFFFF0u);
    EXPECT_EQ(Try(s), 2);

    s = base;
    const uint64_t moov = At("moov");
    Put32(s, moov, layout.U32(moov) + 1);
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, ZeroAnd64BitSizesAreNotSupported)
{
    for (uint32_t size : {0u, 1u, 4u, 7u}) {
        std::string s = base;
        Put32(s, 32, size);  // "wide"
        EXPECT_EQ(Try(s), 2) << size;
    }
    // A 64-bit size spelled out after the header.
    std::string s = base.substr(0, 32) + BE32(1) + "free" + BE32(0) + BE32(16) + base.substr(40);
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, EnormousEntryCounts)
{
    const char* tables[] = {"stts", "stsc", "stsz", "stco", "stsd", "stss"};
    for (int track = 0; track < 2; ++track) {
        for (const char* table : tables) {
            const std::string path =
                "moov/trak[" + std::to_string(track) + "]/mdia/minf/stbl/" + table;
            if (!layout.Find(path))
                continue;
            for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x40000001u, 0x10000000u}) {
                std::string s = base;
                // stsz: sample size, then the count
                const uint64_t field = At(path) + 12 + (std::string(table) == "stsz" ? 4 : 0);
                Put32(s, field, count);
                int result = Try(s);
                // Sync samples are not read, nor is the count of equal-sized sound samples.
                if (std::string(table) == "stss" || (track == 0 && std::string(table) == "stsz"))
                    EXPECT_EQ(result, 0) << path;
                else
                    EXPECT_EQ(result, 2) << path << " count " << count;
            }
        }
    }
    // Sample counts adding up past what an int holds.
    std::string s = base;
    Put32(s, At("moov/trak[0]/mdia/minf/stbl/stts") + 16, 0xFFFFFFF0u);
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, NoAllocationLargerThanTheFile)
{
    std::string s = base;
    const uint64_t stsd = At("moov/trak[1]/mdia/minf/stbl/stsd");
    Put32(s, stsd + 16, 0x7FFFFFF0u);  // the entry's size
    EXPECT_EQ(Try(s), 2);
    Put32(s, stsd + 16, 4u);  // too small to hold its format code
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, LookupsPastTheTablesFail)
{
    // Fewer chunk offsets than chunks, fewer sizes than frames.
    std::string s = base;
    Put32(s, At("moov/trak[1]/mdia/minf/stbl/stco") + 12, 2);
    Put32(s, At("moov/trak[0]/mdia/minf/stbl/stco") + 12, 1);
    ASSERT_EQ(Try(s, "short.mov"), 0);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/short.mov"), 0);
    long offset;
    int size, count, total;
    EXPECT_TRUE(r.GetSamplePos(1, 5, &offset, &size, &count, &total));  // chunk 1
    EXPECT_FALSE(r.GetSamplePos(1, 6, &offset, &size, &count, &total));  // chunk 2
    EXPECT_TRUE(r.GetSamplePos(0, 799, &offset, &size, &count, &total));
    EXPECT_FALSE(r.GetSamplePos(0, 800, &offset, &size, &count, &total));
    r.Close();

    s = base;
    Put32(s, At("moov/trak[1]/mdia/minf/stbl/stsz") + 16, 20);
    ASSERT_EQ(Try(s, "sizes.mov"), 0);
    ASSERT_EQ(r.Open("/sdcard/sizes.mov"), 0);
    EXPECT_TRUE(r.GetSamplePos(1, 19, &offset, &size, &count, &total));
    EXPECT_FALSE(r.GetSamplePos(1, 20, &offset, &size, &count, &total));
    r.Close();
}

TEST_F(MovBadInputTest, ChunkOffsetsOutsideTheFileAreNotHandedOut)
{
    std::string s = base;
    const uint64_t stco = At("moov/trak[1]/mdia/minf/stbl/stco");
    Put32(s, stco + 16 + 4 * 3, 0xFFFFFF00u);  // chunk 3: frames 9..11
    Put32(s, stco + 16 + 4 * 4, static_cast<uint32_t>(base.size()) - 10);  // chunk 4 runs past the end
    ASSERT_EQ(Try(s, "offsets.mov"), 0);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/offsets.mov"), 0);
    long offset;
    int size, count, total;
    EXPECT_TRUE(r.GetSamplePos(1, 8, &offset, &size, &count, &total));
    for (int i = 9; i < 15; ++i)
        EXPECT_FALSE(r.GetSamplePos(1, i, &offset, &size, &count, &total)) << i;
    EXPECT_TRUE(r.GetSamplePos(1, 15, &offset, &size, &count, &total));
    r.Close();

    // A sound chunk whose run goes past the end keeps only what is in the file.
    s = base;
    const uint64_t soundStco = At("moov/trak[0]/mdia/minf/stbl/stco");
    Put32(s, soundStco + 16, static_cast<uint32_t>(base.size()) - 100);
    ASSERT_EQ(Try(s, "cut.mov"), 0);
    ASSERT_EQ(r.Open("/sdcard/cut.mov"), 0);
    ASSERT_TRUE(r.GetSamplePos(0, 0, &offset, &size, &count, &total));
    EXPECT_EQ(count, 50);
    EXPECT_EQ(total, 100);
    r.Close();
}

TEST_F(MovBadInputTest, MalformedSampleToChunkTables)
{
    const uint64_t stsc = At("moov/trak[1]/mdia/minf/stbl/stsc") + 16;
    struct Case
    {
        uint64_t at;
        uint32_t value;
        const char* what;
    } cases[] = {
        {stsc + 4, 0, "no samples per chunk"},
        {stsc, 0, "first chunk 0"},
        {stsc, 0x7FFFFFFF, "first chunk past the table"},
    };
    for (const Case& c : cases) {
        std::string s = base;
        Put32(s, c.at, c.value);
        ASSERT_EQ(Try(s, "stsc.mov"), 0) << c.what;
        CMovReader r;
        ASSERT_EQ(r.Open("/sdcard/stsc.mov"), 0);
        long offset;
        int size, count, total;
        EXPECT_FALSE(r.GetSamplePos(1, 0, &offset, &size, &count, &total)) << c.what;
        r.Close();
    }
    // More entries than the atom holds.
    std::string s = base;
    Put32(s, At("moov/trak[1]/mdia/minf/stbl/stsc") + 12, 2);
    EXPECT_EQ(Try(s, "stsc2.mov"), 2);

    // Entries (1, 3), (2, 2), (3, 4) whose first chunks stop ascending.
    auto runs = std::make_unique<ScriptedCreator>();
    for (int run : {3, 2, 4}) {
        for (int i = 0; i < run; ++i)
            runs->QueueVideo(Bytes{0, 0, 1, 0xB6, 1, 2, 3, 4});
        runs->QueueSound(ToneBlock(8000, 16, 1, 0, 800));
    }
    ASSERT_EQ(runs->Create("/sdcard/runs.mov", 160, 120, 30, 8000, 16, 1), MOV_EXIT_STOPPED);
    s = ReadFile(HostPath("/sdcard/runs.mov"));
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(HostPath("/sdcard/runs.mov"), &error)) << error;
    const uint64_t entries = f.Find("moov/trak[1]/mdia/minf/stbl/stsc")->payload() + 8;
    ASSERT_EQ(f.U32(entries - 4), 3u);
    ASSERT_EQ(f.U32(entries + 12), 2u);
    Put32(s, entries + 12, 1);
    ASSERT_EQ(Try(s, "stsc3.mov"), 0);
    CMovReader r;
    ASSERT_EQ(r.Open("/sdcard/stsc3.mov"), 0);
    long offset;
    int size, count, total;
    EXPECT_FALSE(r.GetSamplePos(1, 7, &offset, &size, &count, &total));
    r.Close();
}

TEST_F(MovBadInputTest, MissingMediaDataOrIndex)
{
    std::string s = base;
    s.replace(At("mdat") + 4, 4, "free");
    EXPECT_EQ(Try(s), 2);
    s = base.substr(0, At("moov"));  // a recording whose index was never written
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, UnknownAtomsAndBrands)
{
    std::string s = base;
    s.replace(36, 4, "junk");
    EXPECT_EQ(Try(s), 2);
    EXPECT_EQ(said, "other:0x00000020:0x6B6E756A\n");

    s = base;
    s.replace(8, 4, "isom");
    EXPECT_EQ(Try(s), 2);

    s = BE32(8) + "ftyp" + base.substr(32);
    EXPECT_EQ(Try(s), 2);

    // "udta" and "free" are skipped whole, whatever they hold.
    s = base + BE32(20) + "udta" + BE32(12) + "junk" + "abcd" + BE32(8) + "free";
    EXPECT_EQ(Try(s), 0);
}

TEST_F(MovBadInputTest, AThirdTrackIsRefused)
{
    const AtomNode* moov = layout.Find("moov");
    const AtomNode* video = layout.Find("moov/trak[1]");
    ASSERT_TRUE(moov && video);
    std::string extra = base.substr(video->offset, video->size);
    std::string s = base.substr(0, moov->offset) + BE32(static_cast<uint32_t>(moov->size + extra.size())) +
                    base.substr(moov->offset + 4, moov->size - 4) + extra;
    EXPECT_EQ(Try(s), 2);
}

TEST_F(MovBadInputTest, ShortHeadersAndTablesOutsideATrack)
{
    const std::string ftyp = base.substr(0, 40);
    const std::string mdat = BE32(8) + "mdat";
    auto movie = [&](const std::string& trak) {
        return ftyp + mdat + BE32(static_cast<uint32_t>(8 + trak.size())) + "moov" + trak;
    };
    std::string shortTkhd = BE32(48) + "trak" + BE32(40) + "tkhd" + std::string(32, '\0');
    EXPECT_EQ(Try(movie(shortTkhd)), 2);
    std::string noTrack = BE32(8 + 20) + "stts" + std::string(12, '\0');
    EXPECT_EQ(Try(movie(noTrack)), 2);
    std::string shortMvhd = BE32(16) + "mvhd" + std::string(8, '\0');
    EXPECT_EQ(Try(movie(shortMvhd)), 2);
    std::string zeroScale = BE32(108) + "mvhd" + std::string(100, '\0');
    EXPECT_EQ(Try(movie(zeroScale)), 2);
}

TEST_F(MovBadInputTest, DeeplyNestedContainers)
{
    const int depth = 100000;
    std::string s = base.substr(0, 40) + BE32(8) + "mdat";
    for (int i = 0; i < depth; ++i)
        s += BE32(static_cast<uint32_t>(8 * (depth - i))) + "moov";
    EXPECT_EQ(Try(s), 2);
}

// Positions and offsets are 32-bit: a longer file must not be read at
// wrapped offsets. The files are sparse.
TEST_F(MovBadInputTest, FilesOver2GiBAreRefused)
{
    const std::string moov = base.substr(At("moov"));
    for (uint64_t mdatEnd : {0x7F000000ull, 0x90000000ull}) {
        const std::string host = HostPath("/sdcard/big.mov");
        FILE* f = std::fopen(host.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string head = base.substr(0, 40) + BE32(static_cast<uint32_t>(mdatEnd - 40)) + "mdat";
        ASSERT_EQ(std::fwrite(head.data(), 1, head.size(), f), head.size());
        ASSERT_EQ(fseeko(f, static_cast<off_t>(mdatEnd), SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(moov.data(), 1, moov.size(), f), moov.size());
        ASSERT_EQ(std::fclose(f), 0);

        CMovReader r;
        ::testing::internal::CaptureStdout();
        int result = r.Open("/sdcard/big.mov");
        ::testing::internal::GetCapturedStdout();
        if (mdatEnd < 0x80000000ull) {
            EXPECT_EQ(result, 0);  // the same shape below the limit is read
            EXPECT_EQ(r.GetSampleCount(1), 30);
        } else {
            EXPECT_EQ(result, 2);
            EXPECT_EQ(r.GetSampleCount(1), -1);
        }
        r.Close();
        std::remove(host.c_str());
    }
}

TEST_F(MovBadInputTest, RandomDamageNeverLeadsOutsideTheFile)
{
    std::mt19937 random(20240501);
    const uint64_t moov = At("moov");
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        std::string s = base;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // mostly in the index, where damage matters
            uint64_t at = random() % 4 ? moov + random() % (s.size() - moov) : random() % s.size();
            s[at] = static_cast<char>(random() % 3 ? s[at] ^ (1 << (random() % 8)) : random() % 256);
        }
        int result = Try(s);
        ASSERT_TRUE(result == 0 || result == 2) << "round " << round;
        opened += result == 0;
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
