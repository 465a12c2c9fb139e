// Atom writers: sizes patched on close, into a file on the card and into memory.
#include "Media/MovAtom.h"
#include "tests/support/BoardTest.h"

#include <cstring>
#include <string>

using namespace vrec::test;

namespace {

std::string BE32(uint32_t v)
{
    std::string s(4, '\0');
    MOV_PutBE32(reinterpret_cast<unsigned char*>(&s[0]), v);
    return s;
}

// moov { abcd(12 bytes of payload), efgh(4), empty }
template <typename Writer>
void WriteSmallTree(Writer& w)
{
    MOV_ATOM* moov = w.CreateAtom(nullptr, "moov");
    ASSERT_NE(moov, nullptr);
    EXPECT_EQ(moov->size, 8u);
    EXPECT_EQ(moov->type, MOV_FOURCC('m', 'o', 'o', 'v'));
    MOV_ATOM* a = w.CreateAtom(moov, "abcd");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->parent, moov);
    EXPECT_EQ(a->position, 8);
    EXPECT_TRUE(w.WriteAtom(a, "0123456789AB", 12));
    EXPECT_EQ(a->size, 20u);
    EXPECT_TRUE(w.CloseAtom(a));
    EXPECT_EQ(moov->size, 28u);
    EXPECT_TRUE(w.AddChild(moov, "efgh", nullptr, 0));
    EXPECT_EQ(moov->size, 36u);
    MOV_ATOM* v = w.CreateAtom(moov, "valu");
    EXPECT_TRUE(w.WriteAtom(v, 0x01020304u));
    EXPECT_TRUE(w.CloseAtom(v));
    EXPECT_TRUE(w.CloseAtom(moov));
}

std::string SmallTreeBytes()
{
    return BE32(48) + "moov" + BE32(20) + "abcd0123456789AB" + BE32(8) + "efgh" + BE32(12) + "valu" +
           std::string("\x01\x02\x03\x04", 4);
}

class MovWriterTest : public BoardTest
{
};

TEST_F(MovWriterTest, SizesArePatchedIntoTheFileWhenAtomsClose)
{
    CMovWriter w;
    ASSERT_TRUE(w.Create("/sdcard/tree.mov"));
    WriteSmallTree(w);
    EXPECT_EQ(w.GetCurrentPos(), 48);  // back at the end after every close
    w.Close();
    EXPECT_EQ(ReadFile(HostPath("/sdcard/tree.mov")), SmallTreeBytes());
}

TEST_F(MovWriterTest, ParentTakesInClosedChildrenHeadersIncluded)
{
    CMovWriter w;
    ASSERT_TRUE(w.Create("/sdcard/p.mov"));
    MOV_ATOM* p = w.CreateAtom(nullptr, "prnt");
    ASSERT_TRUE(w.AddChild(p, "ch20", "123456789012", 12));
    ASSERT_TRUE(w.AddChild(p, "ch12", "1234", 4));
    EXPECT_EQ(p->size, 40u);
    ASSERT_TRUE(w.CloseAtom(p));
    w.Close();
    std::string bytes = ReadFile(HostPath("/sdcard/p.mov"));
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 8), BE32(40) + "prnt");
}

TEST_F(MovWriterTest, LengthsAndPlainWrites)
{
    CMovWriter w;
    ASSERT_TRUE(w.Create("/sdcard/w.bin"));
    EXPECT_FALSE(w.Create("/sdcard/other.bin"));  // one file at a time
    EXPECT_TRUE(w.Write("x", 0));
    EXPECT_FALSE(w.Write("x", -1));
    MOV_ATOM* a = w.CreateAtom(nullptr, "free");
    EXPECT_TRUE(w.WriteAtom(a, "x", 0));
    EXPECT_FALSE(w.WriteAtom(a, "x", -5));
    EXPECT_EQ(a->size, 8u);
    EXPECT_TRUE(w.Write("raw!", 4));  // plain writes change no atom
    EXPECT_EQ(a->size, 8u);
    EXPECT_TRUE(w.WriteDWord(0xA1B2C3D4u));
    EXPECT_TRUE(w.CloseAtom(a));
    w.Close();
    EXPECT_EQ(ReadFile(HostPath("/sdcard/w.bin")), BE32(8) + "freeraw!" + std::string("\xA1\xB2\xC3\xD4", 4));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/other.bin")));
}

TEST_F(MovWriterTest, FailedWritesLeaveSizesAlone)
{
    CMovWriter w;
    EXPECT_FALSE(w.Create("/sdcard/no/such/dir/x.mov"));
    EXPECT_EQ(w.GetCurrentPos(), -1);
    EXPECT_FALSE(w.Write("abcd", 4));
    EXPECT_EQ(w.CreateAtom(nullptr, "moov"), nullptr);

    ASSERT_TRUE(w.Create("/sdcard/x.mov"));
    MOV_ATOM* a = w.CreateAtom(nullptr, "mdat");
    ASSERT_NE(a, nullptr);
    w.Close();  // the card went away under the writer
    EXPECT_FALSE(w.WriteAtom(a, "abcd", 4));
    EXPECT_FALSE(w.WriteAtom(a, 7u));
    EXPECT_EQ(a->size, 8u);
    EXPECT_FALSE(w.CloseAtom(a));  // frees the record all the same
}

TEST_F(MovWriterTest, ShortNamesArePaddedWithZeros)
{
    CMovWriter w;
    ASSERT_TRUE(w.Create("/sdcard/z.bin"));
    MOV_ATOM* a = w.CreateAtom(nullptr, "");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->type, 0u);
    EXPECT_EQ(std::memcmp(a->name, "\0\0\0\0\0\0\0\0", 8), 0);
    EXPECT_TRUE(w.CloseAtom(a));
    w.Close();
    EXPECT_EQ(ReadFile(HostPath("/sdcard/z.bin")), BE32(8) + std::string(4, '\0'));
}

TEST(MemMovWriterTest, BuildsTheSameBytesAsTheFileWriter)
{
    unsigned char buffer[256];
    std::memset(buffer, 0xEE, sizeof(buffer));
    CMemMovWriter w(buffer, sizeof(buffer));
    WriteSmallTree(w);
    EXPECT_EQ(w.GetCurrentPos(), 48);
    EXPECT_EQ(w.GetBuf(), buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 48), SmallTreeBytes());
    EXPECT_EQ(buffer[48], 0xEE);
}

TEST(MemMovWriterTest, CurrentPosIsTheLengthNotTheCursor)
{
    unsigned char buffer[64];
    CMemMovWriter w(buffer, sizeof(buffer));
    MOV_ATOM* outer = w.CreateAtom(nullptr, "moov");
    MOV_ATOM* inner = w.CreateAtom(outer, "trak");
    ASSERT_TRUE(w.WriteAtom(inner, "12345678", 8));
    ASSERT_TRUE(w.CloseAtom(inner));  // the size went in at offset 8
    EXPECT_EQ(w.GetCurrentPos(), 24);
    ASSERT_TRUE(w.CloseAtom(outer));
    EXPECT_EQ(w.GetCurrentPos(), 24);
    EXPECT_EQ(MOV_GetBE32(buffer), 24u);
    EXPECT_EQ(MOV_GetBE32(buffer + 8), 16u);
}

TEST(MemMovWriterTest, OverflowIsRefusedAndReported)
{
    unsigned char buffer[20];
    std::memset(buffer, 0, sizeof(buffer));
    CMemMovWriter w(buffer, sizeof(buffer));
    MOV_ATOM* a = w.CreateAtom(nullptr, "moov");
    ASSERT_NE(a, nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(w.WriteAtom(a, "0123456789abcdef", 16));
    std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("CMemMovWriter()::Write()::error!! buffer over!!\n"), std::string::npos) << said;
    EXPECT_EQ(a->size, 8u);
    EXPECT_TRUE(w.WriteAtom(a, "0123456789ab", 12));  // exactly fills the buffer
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(w.CreateAtom(a, "trak"), nullptr);
    EXPECT_FALSE(w.AddChild(a, "free", nullptr, 0));
    EXPECT_FALSE(w.WriteDWord(1));
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(w.CloseAtom(a));
    EXPECT_EQ(w.GetCurrentPos(), 20);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 20), BE32(20) + "moov0123456789ab");
}

}  // namespace
