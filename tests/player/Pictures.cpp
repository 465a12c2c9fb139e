#include "tests/player/Pictures.h"

#include "Lib/Global.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "sim/board/camera/FrameStamp.h"
#include "tests/video/support/VideoSupport.h"

#include <chrono>

namespace vrec::test {

namespace {

vrec::board::HardwareState& State()
{
    return vrec::board::Board::Get().state();
}

}  // namespace

uint32_t PicturesShown()
{
    return State().display.videoFrames.load();
}

std::optional<uint32_t> HdmiFrame(int width, int height)
{
    const std::string plane = ReadFile(BoardRoot() + "/video-hdmi.plane");
    vrec::board::FrameStamp stamp;
    if (plane.size() < static_cast<size_t>(width) * height * 2 ||
        !vrec::board::ReadFrameStamp(reinterpret_cast<const uint8_t*>(plane.data()) + 1, width, height, width * 2, 2,
                                     &stamp))
        return std::nullopt;
    return stamp.frame;
}

std::optional<uint32_t> LcdFrame(bool letterBoxed)
{
    const std::string plane = ReadFile(BoardRoot() + "/video-lcd.plane");
    if (plane.size() < 240u * 320 * 2)
        return std::nullopt;
    auto luma = [&](int px, int py) { return static_cast<uint8_t>(plane[(static_cast<size_t>(py) * 240 + px) * 2 + 1]); };
    std::vector<uint8_t> upright(320 * 240);
    for (int turn = 0; turn < 2; ++turn) {
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                upright[y * 320 + x] = turn == 0 ? luma(239 - y, x) : luma(y, 319 - x);
        const int top = letterBoxed ? 30 : 0;
        vrec::board::FrameStamp stamp;
        if (vrec::board::ReadFrameStamp(upright.data() + top * 320, 320, letterBoxed ? 180 : 240, 320, 1, &stamp))
            return stamp.frame;
    }
    return std::nullopt;
}

HdmiWatch::HdmiWatch(int width, int height) : start_(PicturesShown())
{
    thread_ = std::thread([this, width, height] {
        uint32_t last = start_;
        while (!stop_) {
            const uint32_t before = PicturesShown();
            if (before != last) {
                std::optional<uint32_t> frame = HdmiFrame(width, height);
                if (frame && PicturesShown() == before)
                    seen_.push_back({before - start_, *frame});
                last = before;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

const std::vector<HdmiWatch::Seen>& HdmiWatch::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return seen_;
}

void PlayerVideoTest::TearDown()
{
    g_bHdmi = 0;
    PlayerTest::TearDown();
}

std::string PlayerVideoTest::RecordMovie(int width, double seconds)
{
    const std::string path = "/sdcard/REC" + std::to_string(width) + ".MOV";
    EXPECT_TRUE(pipeline_->EnterRecorder(width));
    EXPECT_TRUE(pipeline_->Record(seconds, path));
    EXPECT_TRUE(pipeline_->LeaveRecorder());
    const int height = width == 1280 ? 720 : 480;
    frames_.clear();
    for (const DecodedFrame& f : DecodeFrames(HostPath(path), width, height)) {
        EXPECT_TRUE(f.stamp.has_value());
        frames_.push_back(f.stamp ? f.stamp->frame : 0);
    }
    EXPECT_GE(frames_.size(), static_cast<size_t>(seconds * 25));
    return path;
}

void PlayerVideoTest::PlugHdmi()
{
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    g_bHdmi = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bDispHdmi != 0; }, 5.0));
}

int PlayerVideoTest::IndexOf(uint32_t stamp) const
{
    for (size_t i = 0; i < frames_.size(); ++i)
        if (frames_[i] == stamp)
            return static_cast<int>(i);
    return -1;
}

}  // namespace vrec::test
