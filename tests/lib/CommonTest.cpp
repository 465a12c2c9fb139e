// Common utilities: file names, paths, texts, sizes, shell runners, files.
#include "Lib/Common.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/StateControl.h"
#include "tests/support/BoardTest.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace vrec::test;

namespace {

class CommonTest : public BoardTest
{
protected:
    std::string Folder() { return HostPath("/sdcard/MY_FOLDER"); }
    void Touch(const std::string& name) { ASSERT_TRUE(WriteFile(Folder() + "/" + name, "x")); }
    std::string NextName(const char* ext)
    {
        char name[256] = "";
        if (!GetNextFileName(name, "/sdcard/MY_FOLDER", ext))
            return "<none>";
        return name;
    }
};

TEST_F(CommonTest, NextNameSkipsNumbersUsedByAnyMediaType)
{
    SetParameter("/Setup/FILE NAME/CURRENT", 41.0f);
    SetParameter("/Setup/FILE NAME/WORD", "KS0000");
    Touch("KS0000_0042.mov");
    Touch("KS0000_0043.jpg");
    Touch("OTHER_0044.wav");
    EXPECT_EQ(NextName("wav"), "KS0000_0044.wav");
}

TEST_F(CommonTest, NumberOnlyAdvancesWhenSaved)
{
    SetParameter("/Setup/FILE NAME/CURRENT", 7.0f);
    EXPECT_EQ(NextName("mov"), "KS0000_0008.mov");
    EXPECT_EQ(NextName("mov"), "KS0000_0008.mov");
    EXPECT_EQ(SaveFileNumber(), 1);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/FILE NAME/CURRENT", nullptr), 8.0f);
    EXPECT_EQ(SaveFileNumber(), 0);
    EXPECT_EQ(NextName("jpg"), "KS0000_0009.jpg");
}

TEST_F(CommonTest, NoNameIsLeftAfter9999)
{
    SetParameter("/Setup/FILE NAME/CURRENT", 9999.0f);
    EXPECT_EQ(NextName("wav"), "<none>");
    SetParameter("/Setup/FILE NAME/CURRENT", 9998.0f);
    Touch("KS0000_9999.wav");
    EXPECT_EQ(NextName("mov"), "<none>");
}

TEST_F(CommonTest, SaveWithoutPendingNumberStoresNothing)
{
    SetParameter("/Setup/FILE NAME/CURRENT", 3.0f);
    EXPECT_EQ(SaveFileNumber(), 0);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/FILE NAME/CURRENT", nullptr), 3.0f);
}

TEST_F(CommonTest, EmptyWordBecomesKs0000)
{
    SetParameter("/Setup/FILE NAME/WORD", "");
    SetParameter("/Setup/FILE NAME/CURRENT", 0.0f);
    EXPECT_EQ(NextName("wav"), "KS0000_0001.wav");
    char word[NVRAM_TEXT_SIZE];
    GetParameter("/Setup/FILE NAME/WORD", word);
    EXPECT_STREQ(word, "KS0000");
}

TEST_F(CommonTest, DateSchemeUsesTheDeviceDate)
{
    SetParameter("/Setup/FILE NAME", 1.0f);
    SetParameter("/Setup/FILE NAME/CURRENT", 0.0f);
    time_t now = SYS_time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char expected[64];
    snprintf(expected, sizeof(expected), "%02d%02d%02d_0001.mov", local.tm_year % 100, local.tm_mon + 1,
             local.tm_mday);
    EXPECT_EQ(NextName("mov"), expected);
}

TEST_F(CommonTest, DamagedCounterStartsAtOne)
{
    SetParameter("/Setup/FILE NAME/CURRENT", -50.0f);
    EXPECT_EQ(NextName("wav"), "KS0000_0001.wav");
}

TEST(PathText, RealPaths)
{
    char out[256];
    ToRealPath(out, "/");
    EXPECT_STREQ(out, "/sdcard");
    ToRealPath(out, "/MY_FOLDER");
    EXPECT_STREQ(out, "/sdcard/MY_FOLDER");
    ToRealPath(out, "/", "a.wav");
    EXPECT_STREQ(out, "/sdcard/a.wav");
    ToRealPath(out, "/MY_FOLDER", "a.wav");
    EXPECT_STREQ(out, "/sdcard/MY_FOLDER/a.wav");
    ToRealPath(out, "/MY_FOLDER/", "a.wav");
    EXPECT_STREQ(out, "/sdcard/MY_FOLDER/a.wav");
}

TEST(PathText, NamesExtensionsAndCase)
{
    char out[256];
    GetFileName(out, "/sdcard/MY_FOLDER/KS0000_0001.mov");
    EXPECT_STREQ(out, "KS0000_0001.mov");
    GetFileName(out, "plain");
    EXPECT_STREQ(out, "plain");
    GetFileExt(out, "/a/b.tar.gz");
    EXPECT_STREQ(out, "gz");
    GetFileExt(out, "noext");
    EXPECT_STREQ(out, "");
    char s[] = "a-b-c";
    Replace(s, '-', '_');
    EXPECT_STREQ(s, "a_b_c");
    ToUpper(s);
    EXPECT_STREQ(s, "A_B_C");
}

TEST(PathText, DigitsRoundingAndHex)
{
    EXPECT_EQ(IsDigit("123"), 1);
    EXPECT_EQ(IsDigit("-1.5"), 1);
    EXPECT_EQ(IsDigit("+"), 1);
    EXPECT_EQ(IsDigit(""), 0);
    EXPECT_EQ(IsDigit("1e5"), 0);
    EXPECT_EQ(IsDigit("WORD"), 0);
    EXPECT_EQ(dtoi(2.5), 2);  // "%.0f" rounds half to even
    EXPECT_EQ(dtoi(2.6), 3);
    EXPECT_EQ(dtoi(-1.7), -2);
    unsigned char bytes[16];
    Hex2Bytes(bytes, "00112233445566778899aabbccddeeffEXTRA", 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], static_cast<unsigned char>(i * 0x11)) << i;
    Hex2Bytes(bytes, "ff", 0);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[15], 0);
}

TEST(SizeText, IntToString)
{
    char out[64];
    IntToString(0, out);
    EXPECT_STREQ(out, "0 byte");
    IntToString(1023, out);
    EXPECT_STREQ(out, "1023 byte");
    IntToString(1536, out);
    EXPECT_STREQ(out, "1.5K byte");
    IntToString(1048576 * 3, out);
    EXPECT_STREQ(out, "3.0M byte");
    IntToString(1073741824, out);
    EXPECT_STREQ(out, "1.0G byte");
    IntToString(-1073741824, out);
    EXPECT_STREQ(out, "-1.0G byte");
}

TEST(SizeText, Int64ToString)
{
    char out[64];
    Int64ToString(5000, out);
    EXPECT_STREQ(out, "5000B");
    Int64ToString(10240, out);
    EXPECT_STREQ(out, "10240B");
    Int64ToString(10241, out);
    EXPECT_STREQ(out, "10KB");
    Int64ToString(10485761, out);
    EXPECT_STREQ(out, "10MB");
    Int64ToString(32LL << 30, out);
    EXPECT_STREQ(out, "32GB");
}

TEST_F(CommonTest, ShellRunnersReturnTheExitStatus)
{
    EXPECT_EQ(vsystem("exit 0"), 0);
    EXPECT_EQ(vsystem("exit 3"), 3);
    EXPECT_EQ(vsystem("kill -9 $$"), -257);
    EXPECT_EQ(System("exit 5"), 1);
    int progress = 0;
    EXPECT_EQ(vsystem2(progress, "sleep 0.35"), 0);
    EXPECT_GE(progress, 3);
    EXPECT_LE(progress, 5);
}

TEST_F(CommonTest, ShellCommandsReachTheBoardsPaths)
{
    EXPECT_EQ(vsystem("echo hello > /tmp/shell.txt"), 0);
    EXPECT_EQ(ReadFile(HostPath("/tmp/shell.txt")), "hello\n");
    EXPECT_EQ(vsystem("mv -f /tmp/shell.txt /sdcard/moved.txt"), 0);
    EXPECT_TRUE(FileExists(HostPath("/sdcard/moved.txt")));
    EXPECT_FALSE(FileExists("/sdcard/moved.txt"));
}

TEST_F(CommonTest, CopyFileCopiesAndReportsFailures)
{
    std::string data(5000, 'q');
    WriteFile(HostPath("/sdcard/src.bin"), data);
    EXPECT_EQ(CopyFile("/sdcard/src.bin", "/sdcard/dst.bin"), 1);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/dst.bin")), data);
    EXPECT_EQ(CopyFile("/sdcard/missing.bin", "/sdcard/dst2.bin"), 0);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/dst2.bin")));
    EXPECT_EQ(CopyFile("/sdcard/src.bin", "/sdcard/no/such/dir/x"), 0);
}

TEST_F(CommonTest, MountTableNamesTheCard)
{
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 1);
    EXPECT_EQ(IsMount("/dev/mmcblk0"), 0);
    EXPECT_EQ(System("umount /dev/mmcblk0p1"), 1);
    EXPECT_EQ(IsMount("/dev/mmcblk0p1"), 0);
}

TEST_F(CommonTest, FileFacts)
{
    WriteFile(HostPath("/sdcard/f.bin"), "12345");
    EXPECT_EQ(GetFileSize("/sdcard/f.bin"), 5);
    EXPECT_EQ(GetFileSize("/sdcard/none.bin"), 0);
    EXPECT_EQ(IsReadOnlyFile("/sdcard/f.bin"), 0);
    chmod(HostPath("/sdcard/f.bin").c_str(), 0444);
    EXPECT_EQ(IsReadOnlyFile("/sdcard/f.bin"), 1);
    EXPECT_EQ(IsReadOnlyFile("/sdcard/none.bin"), 0);
    char path[512];
    GetMyPath(path, sizeof(path));
    EXPECT_NE(std::string(path).find("/lib_tests"), std::string::npos) << path;
}

TEST_F(CommonTest, BufferFiles)
{
    Buffer_Handle hBuf = Buffer_create(8, nullptr);
    ASSERT_NE(hBuf, nullptr);
    WriteFile(HostPath("/sdcard/in.bin"), "0123456789");
    EXPECT_EQ(Buffer_LoadFile(hBuf, "/sdcard/in.bin"), 1);
    EXPECT_EQ(Buffer_getNumBytesUsed(hBuf), 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Buffer_getUserPtr(hBuf)), 8), "01234567");
    EXPECT_EQ(Buffer_LoadFile(hBuf, "/sdcard/none.bin"), 0);
    Buffer_setNumBytesUsed(hBuf, 3);
    EXPECT_EQ(Buffer_SaveFile("/sdcard/out.bin", hBuf), 1);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/out.bin")), "012");
    EXPECT_EQ(Buffer_SaveFile("/sdcard/no/dir/out.bin", hBuf), 0);
    Buffer_delete(hBuf);
}

TEST(BlackFill, FillsOnlyTheActiveAreaOfAPicture)
{
    BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
    attrs.dim = {0, 0, 8, 4, 16};
    Buffer_Handle hBuf = Buffer_create(64, &attrs.bAttrs);
    ASSERT_NE(hBuf, nullptr);
    BufferGfx_Dimensions dim = {2, 1, 4, 2, 16};
    ASSERT_EQ(BufferGfx_setDimensions(hBuf, &dim), 0);
    Buffer_BlackFill(hBuf);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(hBuf));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool inside = y >= 1 && y < 3 && x >= 2 && x < 6;
            const uint8_t* px = p + y * 16 + x * 2;
            if (inside) {
                EXPECT_EQ(px[0], 0x80) << x << "," << y;
                EXPECT_EQ(px[1], 0x10) << x << "," << y;
            } else {
                EXPECT_EQ(px[0], 0) << x << "," << y;
                EXPECT_EQ(px[1], 0) << x << "," << y;
            }
        }
    }
    Buffer_delete(hBuf);
}

TEST(BlackFill, OtherColourSpacesAreLeftAlone)
{
    BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
    attrs.colorSpace = ColorSpace_RGB565;
    attrs.dim = {0, 0, 4, 2, 8};
    Buffer_Handle hBuf = Buffer_create(16, &attrs.bAttrs);
    memset(Buffer_getUserPtr(hBuf), 0x55, 16);
    testing::internal::CaptureStdout();
    Buffer_BlackFill(hBuf);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unsupported color space (3) for _Dmai_blackFill\n");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Buffer_getUserPtr(hBuf)[i], 0x55);
    Buffer_delete(hBuf);
}

}  // namespace

namespace {

class PowerOffRequestTest : public vrec::test::BoardTest
{
};

TEST_F(PowerOffRequestTest, NoticeShowsTheMessageFirstAndAPlainRequestActsAtOnce)
{
    g_bPowerOffReq = 0;
    g_dwPowerOffTime = 12345;
    PowerOffReq(1);
    EXPECT_EQ(g_bPowerOffReq, 1);
    EXPECT_EQ(g_dwPowerOffTime, 0u);
    // A pending request is not made again.
    g_dwPowerOffTime = 777;
    PowerOffReq(0);
    EXPECT_EQ(g_dwPowerOffTime, 777u);

    g_bPowerOffReq = 0;
    DWORD before = GetTime();
    PowerOffReq(0);
    EXPECT_EQ(g_bPowerOffReq, 1);
    // Dated 15 s back, so the main loop powers off without waiting.
    EXPECT_GE(DeltaTime(g_dwPowerOffTime, GetTime()), 15000u);
    EXPECT_LE(DeltaTime(before - 15000, g_dwPowerOffTime), 2000u);
    g_bPowerOffReq = 0;
    g_dwPowerOffTime = 0;
}

}  // namespace
