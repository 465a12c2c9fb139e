// Start-up and shutdown of the device program on a board.
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Startup.h"
#include "sim/board/Board.h"
#include "tests/support/AppProcess.h"
#include "tests/support/BoardTest.h"

#include <chrono>
#include <thread>

using namespace vrec::test;

namespace {

class StartupTest : public BoardTest
{
};

TEST_F(StartupTest, StoredModeIsInPlaceBeforeAnyThread)
{
    WriteFile(HostPath("/mnt/mtd5/NVRAM.txt"), "/GLOBAL/LastMode=1\n/Setup/DIMMER=0\n");
    WriteFile(HostPath("/sdcard/.tmp.jpg"), "old");
    WriteFile(HostPath("/sdcard/.tmp.wav"), "old");
    MENU_ResetDefaults();
    MAIN_LoadSettings();
    EXPECT_EQ(GetActionMode(), 1);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/DIMMER", nullptr), 4.0f);
    EXPECT_FALSE(FileExists(HostPath("/sdcard/.tmp.jpg")));
    EXPECT_FALSE(FileExists(HostPath("/sdcard/.tmp.wav")));
    SetActionMode(0);
}

TEST_F(StartupTest, DamagedModeStartsInMovieMode)
{
    WriteFile(HostPath("/mnt/mtd5/NVRAM.txt"), "/GLOBAL/LastMode=7\n");
    MENU_ResetDefaults();
    testing::internal::CaptureStderr();
    MAIN_LoadSettings();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetActionMode(), 0);
    EXPECT_NE(err.find("LastMode"), std::string::npos);
}

TEST_F(StartupTest, QuitSavesBothStoresAndEndsWithStatusZero)
{
    unlink(HostPath("/mnt/mtd5/NVRAM.txt").c_str());
    unlink(HostPath("/sdcard/.NVRAM.txt").c_str());
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto start = std::chrono::steady_clock::now();
    app.Send("quit");
    ASSERT_TRUE(app.Wait(10000)) << app.Errors();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(app.exitStatus(), 0) << app.Errors();
    EXPECT_EQ(ReadFile(HostPath("/mnt/mtd5/NVRAM.txt")), ReadFile("./NVRAM_G.txt"));
    EXPECT_EQ(ReadFile(HostPath("/sdcard/.NVRAM.txt")), ReadFile("./NVRAM_L.txt"));
    // The normal policy was announced once.
    std::string err = app.Errors();
    size_t first = err.find("normal policy");
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("normal policy", first + 1), std::string::npos);
}

TEST_F(StartupTest, ChangedSettingsSurviveAPowerCycle)
{
    WriteFile(HostPath("/mnt/mtd5/NVRAM.txt"), "# mine\n/Setup/AUTO OFF=5\n/Setup/DIMMER=0\n");
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    app.Send("quit");
    ASSERT_TRUE(app.Wait(10000));
    EXPECT_EQ(app.exitStatus(), 0);
    // The dimmer fix-up was saved with the rest; the comment stayed, and the
    // keys the store lacked came back from the defaults after them.
    const std::string saved = ReadFile(HostPath("/mnt/mtd5/NVRAM.txt"));
    EXPECT_EQ(saved.rfind("# mine\n/Setup/AUTO OFF=5\n/Setup/DIMMER=4\n/GLOBAL/LastMode=0\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\n/REC Quality/SAMPLE RATE=44100\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("AUTO OFF=30"), std::string::npos) << saved;
}

TEST_F(StartupTest, EndOfConsoleInputDoesNotStopTheDevice)
{
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    app.CloseInput();
    EXPECT_FALSE(app.Wait(1500));
    EXPECT_FALSE(app.exited());
    app.Kill();
}

TEST_F(StartupTest, StartsWithoutACard)
{
    vrec::board::Board::Get().cards().Remove(vrec::board::Board::Get().state());
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    app.Send("quit");
    ASSERT_TRUE(app.Wait(10000));
    EXPECT_EQ(app.exitStatus(), 0) << app.Errors();
    EXPECT_TRUE(FileExists(HostPath("/mnt/mtd5/NVRAM.txt")));
}

}  // namespace
