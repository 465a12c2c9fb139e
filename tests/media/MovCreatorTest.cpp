// The movie creator: every byte of the layout, trimming of both tracks, exit
// codes, and files that ffprobe and ffmpeg read without complaint.
#include "Lib/Sys.h"
#include "Media/MovReader.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/StateControl.h"
#include "tests/media/support/MovFixture.h"

#include <cstdlib>
#include <numeric>

using namespace vrec::test;

namespace {

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unspaced(std::string hex)
{
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    return hex;
}

std::string Payload(const MovFile& f, const AtomNode* a)
{
    return a ? f.Text(a->payload(), a->size - 8) : std::string("<missing>");
}

// A byte range in the file.
struct Range
{
    int64_t offset;
    int64_t bytes;
    bool operator==(const Range& o) const { return offset == o.offset && bytes == o.bytes; }
};

std::ostream& operator<<(std::ostream& os, const Range& r)
{
    return os << "[" << r.offset << "+" << r.bytes << "]";
}

// Sound as written: runs of blocks not interrupted by a frame, cut to the
// kept number of bytes.
std::vector<Range> SoundRuns(const std::vector<ScriptedCreator::Written>& written, int64_t keptBytes)
{
    std::vector<Range> runs;
    bool open = false;
    for (const auto& w : written) {
        if (w.video) {
            open = false;
            continue;
        }
        if (open)
            runs.back().bytes += w.size;
        else
            runs.push_back({w.offset, w.size});
        open = true;
    }
    std::vector<Range> kept;
    for (Range r : runs) {
        if (keptBytes <= 0)
            break;
        r.bytes = std::min(r.bytes, keptBytes);
        keptBytes -= r.bytes;
        kept.push_back(r);
    }
    return kept;
}

std::vector<Range> MergedPackets(const std::vector<ProbePacket>& packets, int stream)
{
    std::vector<Range> runs;
    for (const ProbePacket& p : packets) {
        if (p.stream != stream)
            continue;
        if (!runs.empty() && runs.back().offset + runs.back().bytes == p.pos)
            runs.back().bytes += p.size;
        else
            runs.push_back({p.pos, p.size});
    }
    return runs;
}

class MovCreatorTest : public MovTest
{
protected:
    void SetUp() override
    {
        MovTest::SetUp();
        g_bSyncReq = 0;
    }

    std::vector<ScriptedCreator::Written> VideoWritten()
    {
        std::vector<ScriptedCreator::Written> v;
        for (const auto& w : creator->written())
            if (w.video)
                v.push_back(w);
        return v;
    }

    int64_t SampleBytes()
    {
        int64_t n = 0;
        for (const auto& w : creator->written())
            n += w.size;
        return n;
    }

    // The whole layout against what the creator was given and wrote.
    void CheckLayout(const std::string& path, int width, int height, int rate, int bits, uint32_t duration,
                     const Bytes& config)
    {
        MovFile f;
        std::string error;
        ASSERT_TRUE(f.Load(path, &error)) << error;
        const int frames = creator->frames();
        const int samples = creator->soundSamples();
        const int keys = (frames + 29) / 30;

        EXPECT_EQ(Hex(f.Text(0, 40)), Unspaced("00000020 66747970 71742020 20050300 71742020 00000000 00000000 00000000"
                                               "00000008 77696465"));
        ASSERT_GE(f.top().size(), 4u);
        const AtomNode& mdat = f.top()[2];
        EXPECT_EQ(mdat.type, "mdat");
        EXPECT_EQ(mdat.offset, 40u);
        EXPECT_EQ(mdat.size, 8u + static_cast<uint64_t>(SampleBytes()));
        const AtomNode& moov = f.top()[3];
        ASSERT_EQ(moov.type, "moov");
        EXPECT_EQ(moov.offset, 48u + static_cast<uint64_t>(SampleBytes()));
        EXPECT_EQ(moov.offset + moov.size, f.bytes().size());

        // Children in order.
        std::vector<std::string> order;
        for (const AtomNode& a : moov.children)
            order.push_back(a.type);
        EXPECT_EQ(order, (std::vector<std::string>{"mvhd", "trak", "trak"}));

        const uint32_t now = static_cast<uint32_t>(SYS_time(nullptr)) + 2082844800u;
        const AtomNode* mvhd = f.Find("moov/mvhd");
        ASSERT_NE(mvhd, nullptr);
        ASSERT_EQ(mvhd->size, 108u);
        const uint64_t m = mvhd->payload();
        const uint32_t stamp = f.U32(m + 4);
        EXPECT_NEAR(static_cast<double>(stamp), static_cast<double>(now), 30.0);
        EXPECT_EQ(Hex(Payload(f, mvhd)),
                  Unspaced("00000000") + Hex(f.Text(m + 4, 4)) + Hex(f.Text(m + 4, 4)) + "000003e8" +
                      Hex(f.Text(m + 16, 4)) + Unspaced("00010000 0100 00000000000000000000"
                                                        "00010000 00000000 00000000 00000000 00010000 00000000"
                                                        "00000000 00000000 40000000"
                                                        "000000000000000000000000000000000000000000000000 00000002"));
        EXPECT_EQ(f.U32(m + 16), duration);

        const std::string T = Hex(f.Text(m + 4, 4));
        const std::string D = Hex(f.Text(m + 16, 4));
        const std::string matrix = Unspaced("00010000 00000000 00000000 00000000 00010000 00000000 00000000 00000000 40000000");
        auto hex32 = [](uint32_t v) {
            std::string s(4, '\0');
            MOV_PutBE32(reinterpret_cast<unsigned char*>(&s[0]), v);
            return Hex(s);
        };
        auto hex16 = [](unsigned v) {
            std::string s = {static_cast<char>(v >> 8), static_cast<char>(v)};
            return Hex(s);
        };

        // Sound track.
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/tkhd"))),
                  "0000000f" + T + T + "00000001" + "00000000" + D + "0000000000000000" + "0000" + "0000" + "0100" +
                      "0000" + matrix + "00000000" + "00000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/mdhd"))),
                  "00000000" + T + T + hex32(rate) + hex32(samples) + "00000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/hdlr"))),
                  "00000000" + Hex("mhlrsounkstr") + "0000000000000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/minf/smhd"))), "0000000000000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/minf/dinf/dref"))),
                  Unspaced("00000000 00000001 0000000c 616c6973 00000001"));
        const std::string soundStsd =
            bits == 24 ? Unspaced("00000000 00000001 00000072 696e3234 000000000000 0001 0001 0000 00000000 0002 0018 "
                                  "ffff 0000") +
                             hex16(rate & 0xFFFF) +
                             Unspaced("0000 00000001 00000003 00000006 00000002 00000026 77617665 0000000c 66726d61 "
                                      "696e3234 0000000a 656e6461 0001 00000008 00000000 00000018 6368616e 00000000 "
                                      "00650002 00000000 00000000")
                       : Unspaced("00000000 00000001 00000034 736f7774 000000000000 0001 0001 0000 00000000 0002") +
                             hex16(bits) + "00000000" + hex16(rate & 0xFFFF) +
                             Unspaced("0000 00000001 00000002 00000004 00000002");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/minf/stbl/stsd"))), soundStsd);
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/minf/stbl/stts"))),
                  "00000000" + std::string("00000001") + hex32(samples) + "00000001");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[0]/mdia/minf/stbl/stsz"))),
                  "00000000" + std::string("00000001") + hex32(samples));

        // Video track.
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/tkhd"))),
                  "0000000f" + T + T + "00000002" + "00000000" + D + "0000000000000000" + "0000" + "0000" + "0000" +
                      "0000" + matrix + hex32(width << 16) + hex32(height << 16));
        for (const char* a : {"clef", "prof", "enof"})
            EXPECT_EQ(Hex(Payload(f, f.Find(std::string("moov/trak[1]/tapt/") + a))),
                      "00000000" + hex32(width << 16) + hex32(height << 16))
                << a;
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/mdhd"))),
                  "00000000" + T + T + hex32(3000) + hex32(frames * 100) + "00000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/hdlr"))), "00000000" + Hex("mhlrvidekstr") + "0000000000000000");
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/vmhd"))), Unspaced("00000001 0040 8000 8000 8000"));
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/dinf/dref"))),
                  Unspaced("00000000 00000001 0000000c 616c6973 00000001"));
        ASSERT_EQ(config.size(), 18u);
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stsd"))),
                  Unspaced("00000000 00000001 00000099 6d703476 000000000000 0001 0000 0000 00000000 00000000 00000000") +
                      hex16(width) + hex16(height) + Unspaced("00000000 00000000 00000000 0001") + std::string(64, '0') +
                      Unspaced("0018 ffff 00000043 65736473 00000000 0380808032 000000 0480808024 20 11 002710 00400000 "
                               "00400000 0580808012") +
                      Hex(std::string(config.begin(), config.end())) + Unspaced("0680808001 02"));
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stts"))),
                  "00000000" + std::string("00000001") + hex32(frames) + "00000064");
        std::string sizes;
        std::vector<ScriptedCreator::Written> video = VideoWritten();
        for (int i = 0; i < frames; ++i)
            sizes += hex32(video.at(i).size);
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stsz"))), "00000000" + std::string("00000000") +
                                                                                     hex32(frames) + sizes);
        std::string sync;
        for (int i = 0; i < keys; ++i)
            sync += hex32(1 + 30 * i);
        EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stss"))), "00000000" + hex32(keys) + sync);

        // Chunk tables: offsets where each run began; entries where counts change.
        int entries[2] = {0, 0};
        for (int t = 0; t < 2; ++t) {
            const bool isVideo = t == 1;
            const int chunks = isVideo ? creator->videoChunks() : creator->soundChunks();
            std::string stsc, stco;
            for (int k = 0; k < chunks; ++k) {
                const MOV_CHUNK& c = isVideo ? creator->videoChunk(k) : creator->soundChunk(k);
                const MOV_CHUNK* before = k ? (isVideo ? &creator->videoChunk(k - 1) : &creator->soundChunk(k - 1)) : nullptr;
                if (c.nSamples && (!before || before->nSamples != c.nSamples)) {
                    stsc += hex32(k + 1) + hex32(c.nSamples) + "00000001";
                    ++entries[t];
                }
                stco += hex32(c.dwOffset);
            }
            const std::string stbl = std::string("moov/trak[") + (isVideo ? "1" : "0") + "]/mdia/minf/stbl/";
            EXPECT_EQ(Hex(Payload(f, f.Find(stbl + "stsc"))), "00000000" + hex32(entries[t]) + stsc) << t;
            EXPECT_EQ(Hex(Payload(f, f.Find(stbl + "stco"))), "00000000" + hex32(chunks) + stco) << t;
        }
        const int64_t expectMoov = 1073 + 12 * (entries[0] + entries[1]) +
                                   4 * (creator->soundChunks() + creator->videoChunks() + frames + keys) +
                                   (bits == 24 ? 62 : 0);
        EXPECT_EQ(static_cast<int64_t>(moov.size), expectMoov);
    }

    // What ffprobe and ffmpeg make of the file.
    void CheckWithTools(const std::string& path, int width, int height, int rate, int bits, uint32_t duration)
    {
        std::vector<ProbeFields> streams = ProbeStreams(path);
        ASSERT_EQ(streams.size(), 2u);
        ProbeFields sound = streams[0], video = streams[1];
        EXPECT_EQ(sound["codec_type"], "audio");
        EXPECT_EQ(sound["codec_name"], bits == 24 ? "pcm_s24le" : "pcm_s16le");
        EXPECT_EQ(sound["sample_rate"], std::to_string(rate));
        EXPECT_EQ(sound["channels"], "2");
        EXPECT_EQ(video["codec_type"], "video");
        EXPECT_EQ(video["codec_name"], "mpeg4");
        EXPECT_EQ(video["width"], std::to_string(width));
        EXPECT_EQ(video["height"], std::to_string(height));
        EXPECT_EQ(video["r_frame_rate"], "30/1");
        EXPECT_EQ(video["nb_frames"], std::to_string(creator->frames()));
        EXPECT_NEAR(std::atof(ProbeFormat(path)["duration"].c_str()), duration / 1000.0, 0.0005);

        std::vector<ProbePacket> packets = ProbePackets(path);
        std::vector<ScriptedCreator::Written> written = VideoWritten();
        int i = 0;
        for (const ProbePacket& p : packets) {
            if (p.stream != 1)
                continue;
            ASSERT_LT(i, creator->frames());
            EXPECT_EQ(p.pos, written[i].offset) << "frame " << i;
            EXPECT_EQ(p.size, written[i].size) << "frame " << i;
            EXPECT_EQ(p.key, i % 30 == 0) << "frame " << i;
            ++i;
        }
        EXPECT_EQ(i, creator->frames());
        const int64_t soundBytes = static_cast<int64_t>(creator->soundSamples()) * 2 * (bits / 8);
        EXPECT_EQ(MergedPackets(packets, 0), SoundRuns(creator->written(), soundBytes));
        EXPECT_EQ(DecodeErrors(path), "");
    }
};

TEST_F(MovCreatorTest, TenSecondsWithLongerSoundAreCutToTheVideo)
{
    RecorderVideo video = Video(640, 480, 300);
    creator->QueueRecording(video, 300, 48000, 16, 2, 10200);
    ASSERT_EQ(Record("/sdcard/MY_FOLDER/ten.mov", 640, 480, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), 300);
    EXPECT_EQ(creator->soundSamples(), 480000);
    int64_t kept = 0;
    for (int k = 0; k < creator->soundChunks(); ++k)
        kept += creator->soundChunk(k).nSamples;
    EXPECT_EQ(kept, 480000);
    EXPECT_EQ(creator->videoChunks(), 100);
    EXPECT_EQ(creator->soundChunks(), 100);
    EXPECT_EQ(creator->postCreateCalls(), 1);
    EXPECT_EQ(creator->postCreatePath(), "/sdcard/MY_FOLDER/ten.mov");
    EXPECT_EQ(creator->GetCreating(), 0);
    EXPECT_EQ(g_bSyncReq, 1);

    const std::string path = HostPath("/sdcard/MY_FOLDER/ten.mov");
    CheckLayout(path, 640, 480, 48000, 16, 10000, Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
    // 100 chunks of 3 frames and 100 sound chunks of equal size.
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(path, &error));
    EXPECT_EQ(f.top()[3].size, 3137u);
    CheckWithTools(path, 640, 480, 48000, 16, 10000);
}

TEST_F(MovCreatorTest, HighDefinitionWith24BitSound)
{
    RecorderVideo video = Video(1280, 720, 60);
    creator->QueueRecording(video, 60, 48000, 24, 2, 2000);
    ASSERT_EQ(Record("/sdcard/hd24.mov", 1280, 720, 48000, 24), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), 60);
    EXPECT_EQ(creator->soundSamples(), 96000);
    const std::string path = HostPath("/sdcard/hd24.mov");
    CheckLayout(path, 1280, 720, 48000, 24, 2000, Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
    CheckWithTools(path, 1280, 720, 48000, 24, 2000);
}

TEST_F(MovCreatorTest, ShorterSoundSetsTheDurationAndCutsTheVideo)
{
    // 10.05 s of video, 9.9 s of sound at 44.1 kHz.
    RecorderVideo video = Video(320, 240, 301);
    creator->QueueRecording(video, 301, 44100, 16, 2, 9900);
    ASSERT_EQ(Record("/sdcard/short.mov", 320, 240, 44100, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->soundSamples(), 436590);  // unchanged
    EXPECT_EQ(creator->frames(), 297);
    const std::string path = HostPath("/sdcard/short.mov");
    CheckLayout(path, 320, 240, 44100, 16, 9900, Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
    CheckWithTools(path, 320, 240, 44100, 16, 9900);
}

TEST_F(MovCreatorTest, DurationIsRoundedDownToWholeTenthsWhenSoundIsLonger)
{
    RecorderVideo video = Video(160, 120, 31);  // 1033 ms
    creator->QueueRecording(video, 31, 48000, 16, 2, 1500);
    ASSERT_EQ(Record("/sdcard/r.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), 30);
    EXPECT_EQ(creator->soundSamples(), 48000);
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(HostPath("/sdcard/r.mov"), &error)) << error;
    EXPECT_EQ(f.U32(f.Find("moov/mvhd")->payload() + 16), 1000u);
    // One sync sample for 30 frames.
    EXPECT_EQ(f.U32(f.Find("moov/trak[1]/mdia/minf/stbl/stss")->payload() + 4), 1u);
}

TEST_F(MovCreatorTest, ChunkRunsOfDifferentLengthGetTheirOwnEntries)
{
    RecorderVideo video = Video(160, 120, 15);
    const int runs[] = {3, 3, 3, 2, 4};
    int next = 0;
    for (int run : runs) {
        for (int i = 0; i < run; ++i)
            creator->QueueVideo(video.frames[next++]);
        creator->QueueSound(ToneBlock(48000, 16, 2, 0, 4800));
    }
    creator->QueueSound(ToneBlock(48000, 16, 2, 0, 4800));
    ASSERT_EQ(Record("/sdcard/runs.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), 15);
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(HostPath("/sdcard/runs.mov"), &error)) << error;
    EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stsc"))),
              Unspaced("00000000 00000003 00000001 00000003 00000001 00000004 00000002 00000001 00000005 00000004 "
                       "00000001"));
    // Five sound chunks: the sixth block followed the fifth without a frame between.
    EXPECT_EQ(creator->soundChunks(), 5);
    EXPECT_EQ(creator->soundChunk(4).nSamples, 4800);  // 500 ms kept of 600
    CheckLayout(HostPath("/sdcard/runs.mov"), 160, 120, 48000, 16, 500,
                Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
}

TEST_F(MovCreatorTest, RatesAbove16BitsKeepTheirLowBitsInTheDescription)
{
    RecorderVideo video = Video(160, 120, 30);
    creator->QueueRecording(video, 30, 96000, 24, 2, 1000);
    ASSERT_EQ(Record("/sdcard/hi.mov", 160, 120, 96000, 24), MOV_EXIT_STOPPED);
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(HostPath("/sdcard/hi.mov"), &error)) << error;
    const AtomNode* stsd = f.Find("moov/trak[0]/mdia/minf/stbl/stsd");
    ASSERT_NE(stsd, nullptr);
    EXPECT_EQ(f.U32(stsd->payload() + 40), 30464u << 16);
    EXPECT_EQ(f.U32(f.Find("moov/trak[0]/mdia/mdhd")->payload() + 12), 96000u);
    EXPECT_EQ(creator->soundSamples(), 96000);
    CheckLayout(HostPath("/sdcard/hi.mov"), 160, 120, 96000, 24, 1000,
                Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
    EXPECT_EQ(DecodeErrors(HostPath("/sdcard/hi.mov")), "");
}

TEST_F(MovCreatorTest, SixtyOneFramesHaveThreeSyncSamples)
{
    RecorderVideo video = Video(160, 120, 62);
    creator->QueueRecording(video, 62, 48000, 16, 2, 2050);
    ASSERT_EQ(Record("/sdcard/k.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->frames(), 61);
    MovFile f;
    std::string error;
    ASSERT_TRUE(f.Load(HostPath("/sdcard/k.mov"), &error)) << error;
    EXPECT_EQ(Hex(Payload(f, f.Find("moov/trak[1]/mdia/minf/stbl/stss"))),
              Unspaced("00000000 00000003 00000001 0000001f 0000003d"));
    CheckLayout(HostPath("/sdcard/k.mov"), 160, 120, 48000, 16, 2050,
                Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
}

TEST_F(MovCreatorTest, SoundBeforeTheFirstFrameIsDropped)
{
    RecorderVideo video = Video(160, 120, 30);
    creator->QueueSound(ToneBlock(48000, 16, 2, 0, 4800));
    creator->QueueSound(ToneBlock(48000, 16, 2, 0, 4800));
    creator->QueueRecording(video, 30, 48000, 16, 2, 1000);
    g_RemainMedia.Update();
    const int64_t before = g_RemainMedia.GetRemainSize();
    ASSERT_EQ(Record("/sdcard/d.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->soundSamples(), 48000);
    EXPECT_EQ(creator->written().front().video, true);
    EXPECT_EQ(creator->written().front().offset, 48);
    // The card-space account went down by exactly the bytes written.
    EXPECT_EQ(before - g_RemainMedia.GetRemainSize(), SampleBytes());
    CheckLayout(HostPath("/sdcard/d.mov"), 160, 120, 48000, 16, 1000,
                Bytes(video.frames[0].begin(), video.frames[0].begin() + 18));
}

TEST_F(MovCreatorTest, ExitCodesAndTheSyncRequest)
{
    RecorderVideo video = Video(160, 120, 30);
    const int codes[] = {MOV_EXIT_CARD_FULL, MOV_EXIT_SIZE_LIMIT, MOV_EXIT_BATTERY_LOW, MOV_EXIT_NEW_FILE,
                         MOV_EXIT_COPY_CANCELLED};
    for (int code : codes) {
        g_bSyncReq = 0;
        auto c = std::make_unique<ScriptedCreator>();
        c->QueueRecording(video, 30, 48000, 16, 2, 1000);
        c->StopAfterFrames(12, code);  // 400 ms of video, 300 ms of sound so far
        std::string name = "/sdcard/exit" + std::to_string(code) + ".mov";
        EXPECT_EQ(c->Create(name.c_str(), 160, 120, 30, 48000, 16, 2), code);
        EXPECT_EQ(c->GetExitCode(), code);
        EXPECT_EQ(c->GetCreating(), 0);
        EXPECT_EQ(g_bSyncReq, code == MOV_EXIT_SIZE_LIMIT || code == MOV_EXIT_NEW_FILE ? 0 : 1) << code;
        EXPECT_EQ(c->GetCurrentPos(), -1);  // no writer between files
        CMovReader reader;
        EXPECT_EQ(reader.Open(name.c_str()), 0) << code;
        EXPECT_EQ(reader.GetSampleCount(1), 9);
        reader.Close();
    }
}

TEST_F(MovCreatorTest, PreCreateOpensTheNextFileEarly)
{
    RecorderVideo video = Video(160, 120, 30);
    ASSERT_EQ(creator->PreCreate("/sdcard/early.mov"), 0);
    EXPECT_EQ(creator->GetCurrentPos(), 40);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/early.mov")).size(), 40u);  // "ftyp" and "wide" are out already
    creator->QueueRecording(video, 30, 48000, 16, 2, 1000);
    ASSERT_EQ(Record("/sdcard/early.mov", 160, 120, 48000, 16), MOV_EXIT_STOPPED);
    EXPECT_EQ(creator->postCreatePath(), "/sdcard/early.mov");
    CMovReader reader;
    EXPECT_EQ(reader.Open("/sdcard/early.mov"), 0);
    EXPECT_EQ(reader.GetSampleCount(1), 30);
    reader.Close();
}

TEST_F(MovCreatorTest, AnUnusedEarlyFileIsRemovedWhenAnotherIsOpened)
{
    ASSERT_EQ(creator->PreCreate("/sdcard/first.mov"), 0);
    ASSERT_EQ(creator->PreCreate("/sdcard/second.mov"), 0);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/first.mov")));
    EXPECT_TRUE(FileExists(HostPath("/sdcard/second.mov")));
}

TEST_F(MovCreatorTest, FilesThatCannotBeCreated)
{
    EXPECT_EQ(creator->PreCreate("/sdcard/missing/dir/a.mov"), -2);
    EXPECT_EQ(creator->GetCurrentPos(), -1);
    creator->QueueVideo(Bytes(100, 1));
    EXPECT_EQ(Record("/sdcard/missing/dir/a.mov", 160, 120, 48000, 16), -1);
    EXPECT_EQ(creator->GetCreating(), 0);
    EXPECT_EQ(g_bSyncReq, 0);
    // Formats a file could never hold (a copy takes them from its source).
    EXPECT_EQ(creator->Create("/sdcard/b.mov", 160, 120, 30, 48000, 16, 0), -1);
    EXPECT_EQ(creator->Create("/sdcard/b.mov", 160, 120, 0, 48000, 16, 2), -1);
    EXPECT_EQ(creator->Create("/sdcard/b.mov", 160, 120, 30, 0, 16, 2), -1);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/b.mov")));
}

TEST_F(MovCreatorTest, FullTablesEndTheFileAsAtTheSizeLimit)
{
    // One tiny frame and one tiny block per pass: a new chunk in each track
    // every pass, until the chunk tables are nearly full.
    const Bytes frame = {0, 0, 1, 0xB6, 0x10, 0x20, 0x30, 0x40};
    // At 20 Hz mono one 2-byte block is 50 ms, so the sound outlasts the video.
    const Bytes block(2, 0);
    for (int i = 0; i < MOV_MAX_CHUNKS + 10; ++i) {
        creator->QueueVideo(frame);
        creator->QueueSound(block);
    }
    EXPECT_EQ(creator->Create("/sdcard/full.mov", 160, 120, 30, 20, 16, 1), MOV_EXIT_SIZE_LIMIT);
    EXPECT_LT(creator->videoChunks(), MOV_MAX_CHUNKS);
    EXPECT_GT(creator->videoChunks(), MOV_MAX_CHUNKS - 100);
    EXPECT_EQ(g_bSyncReq, 0);
    CMovReader reader;
    ASSERT_EQ(reader.Open("/sdcard/full.mov"), 0);
    long offset;
    int size, count, total;
    const int last = reader.GetSampleCount(1) - 1;
    ASSERT_GT(last, 0);
    ASSERT_TRUE(reader.GetSamplePos(1, last, &offset, &size, &count, &total));
    EXPECT_EQ(size, 8);
    reader.Close();
}

}  // namespace
