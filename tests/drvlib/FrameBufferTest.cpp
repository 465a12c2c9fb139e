// The frame-buffer driver on the board's OSD devices: banks, flips,
// pending layout and window changes, snapshots and a failed reopen.
#include "DrvLib/FrameBuffer.h"
#include "Middleware/GUI/Graphics.h"
#include "sim/board/Board.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFb0 = 0;  // "/dev/fb0", HDMI
constexpr int kFb2 = 1;  // "/dev/fb2", LCD

class FrameBuffer : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        ASSERT_EQ(GRA_Init(), 1);
        FB_ChgVram(1, 240, 320, 0);
        FB_SetEnable(1);
        ASSERT_EQ(FB_Init(), 1);
    }

    void TearDown() override
    {
        FB_ChgVram(1, 240, 320, 0);
        FB_SetEnable(1);
        FB_Flip();
        FB_Exit();
        BoardTest::TearDown();
    }

    static vrec::board::FrameBufferState& Fb(int index)
    {
        return vrec::board::Board::Get().state().display.fb[index];
    }

    // The pixels the board shows for a frame buffer: its memory file at the
    // panned offset.
    static std::vector<uint16_t> Shown(int index, int width, int height)
    {
        std::string path = vrec::test::BoardRoot() + (index == kFb0 ? "/fb0.mem" : "/fb2.mem");
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(Fb(index).yoffset.load()) * Fb(index).lineLength.load());
        std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
        in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 2));
        return pixels;
    }

    static bool AllAre(const std::vector<uint16_t>& pixels, uint16_t value)
    {
        for (uint16_t p : pixels)
            if (p != value)
                return false;
        return true;
    }
};

TEST_F(FrameBuffer, OpenSetsUpTheLcdLayer)
{
    vrec::board::FrameBufferState& fb = Fb(kFb2);
    EXPECT_EQ(fb.open.load(), 1);
    EXPECT_EQ(Fb(kFb0).open.load(), 0);
    EXPECT_EQ(fb.xres.load(), 240);
    EXPECT_EQ(fb.yres.load(), 320);
    EXPECT_EQ(fb.xresVirtual.load(), 240);
    EXPECT_EQ(fb.yresVirtual.load(), 640);
    EXPECT_EQ(fb.bitsPerPixel.load(), 16);
    EXPECT_EQ(fb.lineLength.load(), 480);
    EXPECT_EQ(fb.zoom.load(), 0);
    EXPECT_EQ(fb.zoomVertical.load(), 0);
    EXPECT_EQ(fb.colorKey.load(), 0xF81F);
    EXPECT_EQ(fb.colorKeyEnabled.load(), 1);
    EXPECT_EQ(fb.blendFactor.load(), 0);
    EXPECT_EQ(fb.windowEnabled.load(), 1);
    EXPECT_EQ(fb.blanked.load(), 0);
    // The open flips once: drawing goes to bank 0 while bank 1 is shown.
    EXPECT_EQ(fb.shownBank.load(), 1);
    EXPECT_EQ(g_pDrawTarget, FB_GetVramAddr(0));
    EXPECT_EQ(FB_GetVramAddr(1) - FB_GetVramAddr(0), 480 * 320);
    EXPECT_EQ(GRA_GetRotate(), 90);
}

TEST_F(FrameBuffer, FlipsAlternateTheBanks)
{
    unsigned char* start = g_pDrawTarget;
    uint32_t flips = Fb(kFb2).flips.load();
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(FB_Flip(), 1);
        EXPECT_EQ(Fb(kFb2).flips.load(), flips + static_cast<uint32_t>(i));
        bool odd = i % 2 == 1;
        EXPECT_EQ(Fb(kFb2).shownBank.load(), odd ? 0 : 1);
        EXPECT_EQ(g_pDrawTarget, FB_GetVramAddr(odd ? 1 : 0));
    }
    EXPECT_EQ(g_pDrawTarget, start);
}

TEST_F(FrameBuffer, SnapshotAfterAFlipIsTheFrameDrawnBeforeIt)
{
    GRA_FillRect(0, 0, 320, 240, 0x1234);
    ASSERT_EQ(FB_Flip(), 1);
    GRA_FillRect(0, 0, 320, 240, 0x5678);  // the next frame, not shown yet
    std::vector<uint16_t> snapshot(240 * 320);
    FB_GetVram(reinterpret_cast<unsigned char*>(snapshot.data()));
    EXPECT_TRUE(AllAre(snapshot, 0x1234));
    EXPECT_TRUE(AllAre(Shown(kFb2, 240, 320), 0x1234));
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_TRUE(AllAre(Shown(kFb2, 240, 320), 0x5678));
}

TEST_F(FrameBuffer, SetVramFillsTheBankBeingDrawn)
{
    std::vector<uint16_t> frame(240 * 320);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint16_t>(i * 7);
    FB_SetVram(reinterpret_cast<const unsigned char*>(frame.data()));
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Shown(kFb2, 240, 320), frame);
}

TEST_F(FrameBuffer, LayoutChangesOnlyAtTheNextFlip)
{
    FB_ChgVram(0, 640, 480, 1);
    EXPECT_EQ(Fb(kFb0).open.load(), 0);
    EXPECT_EQ(Fb(kFb2).open.load(), 1);
    EXPECT_EQ(GRA_GetRotate(), 90);

    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Fb(kFb2).open.load(), 0);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 0);  // switched off when closed
    EXPECT_EQ(Fb(kFb0).open.load(), 1);
    EXPECT_EQ(Fb(kFb0).xres.load(), 640);
    EXPECT_EQ(Fb(kFb0).yres.load(), 480);
    EXPECT_EQ(Fb(kFb0).lineLength.load(), 1280);
    EXPECT_EQ(Fb(kFb0).zoom.load(), 1);
    EXPECT_EQ(Fb(kFb0).windowEnabled.load(), 1);
    EXPECT_EQ(GRA_GetRotate(), 0);
    EXPECT_EQ(FB_GetVramAddr(1) - FB_GetVramAddr(0), 1280 * 480);

    // Drawing now lands landscape in the top-left 320 x 240 of fb0.
    GRA_Clear();
    GRA_FillRect(0, 0, 320, 240, 0x00FF);
    ASSERT_EQ(FB_Flip(), 1);
    std::vector<uint16_t> shown = Shown(kFb0, 640, 480);
    EXPECT_EQ(shown[0], 0x00FF);
    EXPECT_EQ(shown[239 * 640 + 319], 0x00FF);
    EXPECT_NE(shown[239 * 640 + 320], 0x00FF);
    EXPECT_NE(shown[240 * 640], 0x00FF);

    FB_ChgVram(1, 240, 320, 0);
    EXPECT_EQ(GRA_GetRotate(), 0);
    EXPECT_EQ(Fb(kFb0).open.load(), 1);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(GRA_GetRotate(), 90);
    EXPECT_EQ(Fb(kFb0).open.load(), 0);
    EXPECT_EQ(Fb(kFb2).open.load(), 1);
}

TEST_F(FrameBuffer, TheSameLayoutDoesNotReopen)
{
    uint32_t flips = Fb(kFb2).flips.load();
    FB_ChgVram(1, 240, 320, 0);
    ASSERT_EQ(FB_Flip(), 1);
    // A reopen would have panned twice (once inside the open).
    EXPECT_EQ(Fb(kFb2).flips.load(), flips + 1);
    // Only the width tells layouts apart.
    FB_ChgVram(1, 240, 100, 2);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Fb(kFb2).flips.load(), flips + 2);
    EXPECT_EQ(Fb(kFb2).yres.load(), 320);
    EXPECT_EQ(Fb(kFb2).zoom.load(), 0);
}

TEST_F(FrameBuffer, WindowTogglesApplyAtTheFollowingFlips)
{
    EXPECT_EQ(FB_GetEnable(), 1);
    FB_ToggleEnable();
    EXPECT_EQ(FB_GetEnable(), 0);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 1);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 0);
    FB_ToggleEnable();
    EXPECT_EQ(FB_GetEnable(), 1);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 0);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 1);

    FB_SetEnable(5);
    FB_ToggleEnable();
    EXPECT_EQ(FB_GetEnable(), 0);
    FB_SetEnable(0);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_EQ(Fb(kFb2).windowEnabled.load(), 0);
}

TEST_F(FrameBuffer, FailedReopenStopsDrawingUntilALaterLayoutOpens)
{
    // A directory where fb0's memory should be: the device cannot open.
    std::string memory = vrec::test::BoardRoot() + "/fb0.mem";
    unlink(memory.c_str());
    ASSERT_EQ(mkdir(memory.c_str(), 0755), 0);
    FB_ChgVram(0, 640, 480, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(FB_Flip(), 0);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("open fb failed."), std::string::npos) << errors;
    EXPECT_EQ(g_pDrawTarget, nullptr);
    EXPECT_EQ(FB_GetVramAddr(0), nullptr);
    // Drawing and snapshots are harmless meanwhile.
    GRA_FillRect(0, 0, 320, 240, 0xFFFF);
    GRA_SetPixel(3, 3, 0xFFFF);
    std::vector<uint16_t> snapshot(640 * 480, 0x1111);
    FB_GetVram(reinterpret_cast<unsigned char*>(snapshot.data()));
    FB_SetVram(reinterpret_cast<const unsigned char*>(snapshot.data()));
    EXPECT_TRUE(AllAre(snapshot, 0x1111));
    EXPECT_EQ(FB_Flip(), 0);
    EXPECT_EQ(g_pDrawTarget, nullptr);

    FB_ChgVram(1, 240, 320, 0);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_NE(g_pDrawTarget, nullptr);
    EXPECT_EQ(GRA_GetRotate(), 90);
    GRA_FillRect(0, 0, 320, 240, 0x2222);
    ASSERT_EQ(FB_Flip(), 1);
    EXPECT_TRUE(AllAre(Shown(kFb2, 240, 320), 0x2222));
    rmdir(memory.c_str());
}

}  // namespace
