// The board's camera as the framework's capture sees it (frames at 30 per
// second with their stamps, crop, the camera head and the read-out mirrors,
// white balance, colour bars, registers, other sources, sync marks) and the
// video windows that the compositor shows under the OSD.
#include "Lib/Global.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "media-stack/VideoDriver.h"
#include "sim/board/Board.h"
#include "sim/board/Compositor.h"
#include "sim/board/KeyBits.h"
#include "sim/board/camera/CameraControl.h"
#include "sim/board/camera/CameraRegisters.h"
#include "sim/board/camera/Scene.h"
#include "sim/board/camera/SyncMark.h"
#include "sim/sound/CaptureSignal.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <vector>

using namespace vrec::test;
using vrec::board::HardwareState;

namespace {

HardwareState& State()
{
    return vrec::board::Board::Get().state();
}

// The capture as recorder mode makes it: seven buffers with room for the
// preview behind each frame.
class Camera
{
public:
    Camera(int width, int height) : width_(width), height_(height), frame_(width, height), preview_(320, 240)
    {
        BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
        attrs.colorSpace = ColorSpace_UYVY;
        attrs.dim = {0, 0, 1280, 780, 2560};
        table_ = BufTab_create(7, 1280 * 780 * 2, reinterpret_cast<Buffer_Attrs*>(&attrs));
        Capture_Attrs cattrs = Capture_Attrs_DEFAULT;
        cattrs.numBufs = 7;
        cattrs.width = width;
        cattrs.height = height;
        capture_ = Capture_create(table_, &cattrs);
    }
    ~Camera()
    {
        if (capture_)
            Capture_delete(capture_);
        BufTab_delete(table_);
    }
    Capture_Handle handle() const { return capture_; }
    PictureBuffer& frame() { return frame_; }
    PictureBuffer& preview() { return preview_; }

    // The next frame into frame() and preview().
    bool Next()
    {
        Buffer_Handle raw = nullptr;
        Buffer_Handle frame = frame_.handle();
        Buffer_Handle preview = preview_.handle();
        if (Capture_get2(capture_, &raw, &frame, &preview) != Dmai_EOK)
            return false;
        return Capture_put(capture_, raw) == Dmai_EOK;
    }
    // The frame after those already waiting (settings made since apply).
    bool Fresh()
    {
        for (int i = 0; i < 10; ++i)
            if (!Next())
                return false;
        return true;
    }

    // Luma, U and V at (x, y) of the frame.
    void At(int x, int y, int* py, int* pu = nullptr, int* pv = nullptr)
    {
        const uint8_t* pair = frame_.data() + y * width_ * 2 + (x & ~1) * 2;
        *py = pair[(x & 1) ? 3 : 1];
        if (pu)
            *pu = pair[0];
        if (pv)
            *pv = pair[2];
    }

    // Centre of the red marker (V high, U low), as fractions of the frame.
    bool RedAt(double* u, double* v)
    {
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < height_; y += 4)
            for (int x = 0; x < width_; x += 4) {
                int luma, cu, cv;
                At(x, y, &luma, &cu, &cv);
                if (cv > 200 && cu < 110) {
                    sx += x;
                    sy += y;
                    ++n;
                }
            }
        if (n < 20)
            return false;
        *u = sx / n / width_;
        *v = sy / n / height_;
        return true;
    }

    // Light/dark changes of the checkerboard along the row at y.
    int CheckerEdges(int y)
    {
        int edges = 0;
        int last = -1;
        for (int x = 0; x + 8 <= width_; x += 8) {
            int sum = 0;
            for (int i = 0; i < 8; ++i) {
                int luma;
                At(x + i, y, &luma);
                sum += luma;
            }
            int level = sum / 8 > 121 ? 1 : 0;
            if (last >= 0 && level != last)
                ++edges;
            last = level;
        }
        return edges;
    }

private:
    int width_, height_;
    PictureBuffer frame_;
    PictureBuffer preview_;
    BufTab_Handle table_ = nullptr;
    Capture_Handle capture_ = nullptr;
};

class CameraTest : public BoardTest
{
};

TEST_F(CameraTest, FramesComeThirtyASecondWithTheirNumbersAndTheBoardTime)
{
    Camera camera(1280, 720);
    ASSERT_NE(camera.handle(), nullptr);
    EXPECT_EQ(State().camera.streaming.load(), 1);
    EXPECT_EQ(State().camera.width.load(), 1280);
    ASSERT_TRUE(camera.Next());
    uint32_t droppedBefore = State().camera.dropped.load();
    auto start = std::chrono::steady_clock::now();
    std::vector<vrec::board::FrameStamp> stamps;
    for (int i = 0; i < 45; ++i) {
        ASSERT_TRUE(camera.Next());
        std::optional<vrec::board::FrameStamp> stamp = StampOf(camera.frame().handle());
        ASSERT_TRUE(stamp.has_value()) << i;
        stamps.push_back(*stamp);
        EXPECT_TRUE(StampOf(camera.preview().handle()) == std::nullopt);  // too small to carry it
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 45 frames take 1.5 s of real time (a loaded machine may add to it).
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 3.0);
    // Numbers go up by one except where frame times found no buffer free.
    uint32_t gaps = 0;
    for (size_t i = 1; i < stamps.size(); ++i) {
        ASSERT_GT(stamps[i].frame, stamps[i - 1].frame);
        gaps += stamps[i].frame - stamps[i - 1].frame - 1;
        // 33 or 34 ms of board time per frame (the time of its instant).
        uint32_t ms = stamps[i].timeMs - stamps[i - 1].timeMs;
        EXPECT_NEAR(ms, 100.0 * (stamps[i].frame - stamps[i - 1].frame) / 3, 1.5) << i;
    }
    EXPECT_EQ(gaps, State().camera.dropped.load() - droppedBefore);
    // The stamp's time is the firmware's clock.
    DWORD now = GetTime();
    EXPECT_LT(DeltaTime(stamps.back().timeMs, now), 1000u);
}

TEST_F(CameraTest, ZoomCropsTheFieldMirrorsAndTheTurnedHeadFlipItAndBalanceTintsIt)
{
    Camera camera(1280, 720);
    ASSERT_NE(camera.handle(), nullptr);
    ASSERT_TRUE(camera.Fresh());
    // Sixteen cells across the field; zoom 200 (640 x 360) shows the middle eight.
    const int row = 720 * 70 / 100;
    EXPECT_EQ(camera.CheckerEdges(row), 15);
    ASSERT_EQ(Capture_setCrop(camera.handle(), 640, 360), Dmai_EOK);
    ASSERT_TRUE(camera.Fresh());
    EXPECT_EQ(camera.CheckerEdges(row), 7);
    ASSERT_EQ(Capture_setCrop(camera.handle(), 1280, 720), Dmai_EOK);

    // The red marker near the top left; mirrored both ways it is at the
    // bottom right; so it is when the camera head is turned over (CAMERA_SW
    // off); both together cancel.
    struct Case
    {
        bool flip, turned, atTopLeft;
    } cases[] = {{false, false, true}, {true, false, false}, {false, true, false}, {true, true, true}};
    for (const Case& c : cases) {
        vrec::board::SetKeyBits(State(), vrec::board::keybit::kCameraSw, !c.turned);
        ASSERT_EQ(Capture_setFlip(camera.handle(), c.flip), Dmai_EOK);
        ASSERT_TRUE(camera.Fresh());
        double u, v;
        ASSERT_TRUE(camera.RedAt(&u, &v)) << c.flip << c.turned;
        if (c.atTopLeft) {
            EXPECT_NEAR(u, 2.0 / 16, 0.03);
            EXPECT_NEAR(v, 4.0 / 12, 0.03);
        } else {
            EXPECT_NEAR(u, 14.0 / 16, 0.03);
            EXPECT_NEAR(v, 8.0 / 12, 0.03);
        }
    }
    vrec::board::SetKeyBits(State(), vrec::board::keybit::kCameraSw, true);
    Capture_setFlip(camera.handle(), 0);

    // The grey patch at the bottom centre: neutral with auto white balance,
    // blue under the bulb-light setting, warm under the cloudy one.
    auto patch = [&camera](int* u, int* v) {
        int y;
        camera.At(640, 720 * 10 / 12, &y, u, v);
    };
    int u, v;
    ASSERT_TRUE(camera.Fresh());
    patch(&u, &v);
    EXPECT_NEAR(u, 128, 4);
    EXPECT_NEAR(v, 128, 4);
    ASSERT_EQ(Capture_setWhiteBalarance(camera.handle(), 1), Dmai_EOK);
    ASSERT_TRUE(camera.Fresh());
    patch(&u, &v);
    EXPECT_GT(u, 140);
    EXPECT_LT(v, 118);
    ASSERT_EQ(Capture_setWhiteBalarance(camera.handle(), 5), Dmai_EOK);
    ASSERT_TRUE(camera.Fresh());
    patch(&u, &v);
    EXPECT_LT(u, 122);
    EXPECT_GT(v, 134);
    EXPECT_LT(Capture_setWhiteBalarance(camera.handle(), 6), 0);
}

TEST_F(CameraTest, RegistersColourBarsAndTheSensorsInitialisation)
{
    Camera camera(640, 480);
    ASSERT_NE(camera.handle(), nullptr);
    unsigned long value = 0;
    ASSERT_EQ(Capture_getCameraReg(camera.handle(), vrec::board::camreg::kChipVersion, &value), Dmai_EOK);
    EXPECT_EQ(value, 0x1801u);
    ASSERT_EQ(Capture_getCameraReg(camera.handle(), vrec::board::camreg::kColumnSize, &value), Dmai_EOK);
    EXPECT_EQ(value, 639u);  // the whole field of the format

    // Mirroring through the read-mode register, as the console writes it.
    ASSERT_EQ(Capture_setCameraReg(camera.handle(), vrec::board::camreg::kReadMode, 0xC000), Dmai_EOK);
    ASSERT_TRUE(camera.Fresh());
    double u, v;
    ASSERT_TRUE(camera.RedAt(&u, &v));
    EXPECT_GT(u, 0.5);

    // Colour bars: white, yellow, cyan, green, magenta, red, blue, black.
    ASSERT_EQ(Capture_setColrbar(camera.handle(), 1), Dmai_EOK);
    ASSERT_TRUE(camera.Fresh());
    int y, cu, cv;
    camera.At(40, 240, &y, &cu, &cv);
    EXPECT_GT(y, 160);
    EXPECT_NEAR(cu, 128, 3);
    camera.At(120, 240, &y, &cu, &cv);  // yellow: little blue
    EXPECT_LT(cu, 60);
    camera.At(600, 240, &y, &cu, &cv);
    EXPECT_LT(y, 20);
    EXPECT_FALSE(StampOf(camera.frame().handle()).has_value());

    // The sensor's initialisation puts everything back.
    ASSERT_EQ(Capture_cameraInit(camera.handle()), Dmai_EOK);
    for (int reg : {vrec::board::camreg::kReadMode, vrec::board::camreg::kTestPattern}) {
        ASSERT_EQ(Capture_getCameraReg(camera.handle(), reg, &value), Dmai_EOK);
        EXPECT_EQ(value, 0u) << reg;
    }
    ASSERT_TRUE(camera.Fresh());
    ASSERT_TRUE(camera.RedAt(&u, &v));
    EXPECT_LT(u, 0.5);
    EXPECT_LT(Capture_getCameraReg(camera.handle(), 256, &value), 0);
}

TEST_F(CameraTest, ASecondCaptureIsRefusedWhileOneRuns)
{
    Camera first(640, 480);
    ASSERT_NE(first.handle(), nullptr);
    Camera second(640, 480);
    EXPECT_EQ(second.handle(), nullptr);
}

TEST_F(CameraTest, VideoFilesAndTheHostCommandAreSourcesToo)
{
    // A file of 10 frames: the camera goes on past its end.
    const std::string file = HostPath("/sdcard/clip.mp4");
    std::string out;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i color=c=red:size=320x240:rate=30 -frames:v 10 "
                         "-pix_fmt yuv420p '" + file + "'",
                         &out, true),
              0)
        << out;
    ASSERT_TRUE(vrec::board::SetCameraFile(State().camera, file));
    {
        Camera camera(640, 480);
        ASSERT_NE(camera.handle(), nullptr);
        for (int i = 0; i < 25; ++i)
            ASSERT_TRUE(camera.Next());
        int y, u, v;
        camera.At(320, 240, &y, &u, &v);
        EXPECT_GT(v, 200);  // red, scaled to the whole frame
        camera.At(630, 470, &y, &u, &v);
        EXPECT_GT(v, 200);
    }

    // The host's camera is a command: here one that makes green frames.
    setenv("VRECSIM_HOST_CAMERA",
           "exec ffmpeg -nostdin -v error -f lavfi -i color=c=green:size=${VREC_CAMERA_WIDTH}x${VREC_CAMERA_HEIGHT}:rate=30 "
           "-f rawvideo -pix_fmt uyvy422 -",
           1);
    vrec::board::SetCameraHost(State().camera);
    {
        Camera camera(640, 480);
        ASSERT_NE(camera.handle(), nullptr);
        int y = 0, u = 0, v = 0;
        for (int i = 0; i < 90 && !(u < 100 && v < 100); ++i) {
            ASSERT_TRUE(camera.Next());
            camera.At(320, 240, &y, &u, &v);
        }
        EXPECT_LT(u, 100);  // green
        EXPECT_LT(v, 100);
    }
    unsetenv("VRECSIM_HOST_CAMERA");
    vrec::board::SetCameraScene(State().camera);
}

// Straight V4L2 on the board's capture node, for the frames' instants.
TEST_F(CameraTest, TheSyncMarkWhitensTheFrameOfItsInstantAndClicksOnTheMicrophones)
{
    int fd = SYS_open(VIDEO_CAPTURE_DEVICE, O_RDWR);
    ASSERT_GE(fd, 0);
    v4l2_format fmt = {};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = 640;
    fmt.fmt.pix.height = 480;
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_UYVY;
    ASSERT_EQ(SYS_ioctl(fd, VIDIOC_S_FMT, &fmt), 0);
    v4l2_requestbuffers req = {};
    req.count = 4;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_USERPTR;
    ASSERT_EQ(SYS_ioctl(fd, VIDIOC_REQBUFS, &req), 0);
    std::vector<std::vector<uint8_t>> memory(4, std::vector<uint8_t>(640 * 480 * 2));
    auto queue = [&](uint32_t i) {
        v4l2_buffer buf = {};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_USERPTR;
        buf.index = i;
        buf.m.userptr = reinterpret_cast<unsigned long>(memory[i].data());
        buf.length = static_cast<uint32_t>(memory[i].size());
        return SYS_ioctl(fd, VIDIOC_QBUF, &buf);
    };
    for (uint32_t i = 0; i < 4; ++i)
        ASSERT_EQ(queue(i), 0);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(SYS_ioctl(fd, VIDIOC_STREAMON, &type), 0);

    int64_t mark = vrec::board::RequestSyncMark(State().camera, 300);
    int whiteFrames = 0;
    int64_t whiteAt = -1;
    for (int i = 0; i < 30; ++i) {
        v4l2_buffer buf = {};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_USERPTR;
        ASSERT_EQ(SYS_ioctl(fd, VIDIOC_DQBUF, &buf), 0);  // blocking
        int64_t instant = static_cast<int64_t>(buf.timestamp.tv_sec) * 1000000000 + buf.timestamp.tv_usec * 1000LL;
        const uint8_t* p = memory[buf.index].data();
        // A row below the stamp, across the whole frame.
        int bright = 0;
        for (int x = 0; x < 640; ++x)
            bright += p[200 * 1280 + 2 * x + 1] > 225;
        if (bright == 640) {
            ++whiteFrames;
            whiteAt = instant;
        }
        ASSERT_EQ(queue(buf.index), 0);
    }
    SYS_ioctl(fd, VIDIOC_STREAMOFF, &type);
    SYS_close(fd);
    EXPECT_EQ(whiteFrames, 1);
    EXPECT_LE(std::llabs(whiteAt - mark), 1000);  // the frame's instant is the mark's (to the us of its stamp)

    // The microphones hear the click from the mark's instant on: the
    // sample whose instant is the mark is the first loud one.
    vrec::board::SoundCard& card = State().sound;
    card.inner.kind = vrec::board::kSoundSilence;
    card.mixer.captureSource = 0;
    vrec::sound::CaptureSignal signal(card, 48000, &State().camera);
    std::vector<int32_t> samples(2 * 4800);
    const int before = 1000;  // samples of silence before the mark
    int64_t first = mark - static_cast<int64_t>(before * 1e9 / 48000);
    signal.Generate(samples.data(), 4800, nullptr, first);
    int loud = -1;
    for (int i = 0; i < 4800 && loud < 0; ++i)
        if (std::abs(samples[2 * i + 1]) > 1000000)  // left channel (its slot is on time)
            loud = i;
    EXPECT_NEAR(loud, before, 1);
    int quietAfter = 0;
    for (int i = before + 400; i < 4800; ++i)
        quietAfter += samples[2 * i + 1] == 0;
    EXPECT_EQ(quietAfter, 4800 - before - 400);  // a click, not a tone
}

TEST_F(CameraTest, VideoWindowsFeedThePlanesTheCompositorShows)
{
    State().leds.backlight = 5;
    for (int layout = 0; layout < 3; ++layout) {
        const int width = layout == 0 ? 240 : layout == 1 ? 1280 : 640;
        const int height = layout == 0 ? 320 : layout == 1 ? 720 : 480;
        BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
        attrs.colorSpace = ColorSpace_UYVY;
        attrs.dim = {0, 0, width, height, width * 2};
        BufTab_Handle table = BufTab_create(3, 1280 * 720 * 2, reinterpret_cast<Buffer_Attrs*>(&attrs));
        Display_Attrs dattrs = Display_Attrs_DEFAULT;
        dattrs.width = width;
        dattrs.height = height;
        dattrs.lineLength = width * 2;
        dattrs.displayDevice = layout == 0 ? VIDEO_LCD_DEVICE : VIDEO_HDMI_DEVICE;
        Display_Handle display = Display_create(table, &dattrs);
        ASSERT_NE(display, nullptr) << layout;
        // Eight pictures through three buffers: each shown, the one before given back.
        for (int i = 0; i < 8; ++i) {
            Buffer_Handle screen = nullptr;
            ASSERT_EQ(Display_get(display, &screen), Dmai_EOK) << i;
            vrec::board::Yuv c = vrec::board::RgbToYuv(i * 30, 200, 255 - i * 30);
            uint8_t* p = reinterpret_cast<uint8_t*>(Buffer_getUserPtr(screen));
            for (int k = 0; k < width * height / 2; ++k) {
                p[4 * k] = c.u;
                p[4 * k + 1] = c.y;
                p[4 * k + 2] = c.v;
                p[4 * k + 3] = c.y;
            }
            ASSERT_EQ(Display_put(display, screen), Dmai_EOK);
        }
        vrec::board::RgbImage image;
        if (layout == 0) {
            EXPECT_EQ(State().display.lcdVideoShown.load(), 1);
            image = vrec::board::ComposeLcd(BoardRoot(), State());
        } else {
            EXPECT_EQ(State().display.hdmiVideoWidth.load(), width);
            EXPECT_EQ(State().display.hdmiVideoHeight.load(), height);
            vrec::board::SetKeyBits(State(), vrec::board::keybit::kHdmiCable, true);
            State().hdmi.cable = 1;
            State().hdmi.sink = 1;
            image = vrec::board::ComposeHdmi(BoardRoot(), State());
        }
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        const uint8_t* centre = &image.rgb[(static_cast<size_t>(height / 2) * width + width / 2) * 3];
        EXPECT_NEAR(centre[0], 210, 8);  // the last picture: (210, 200, 45)
        EXPECT_NEAR(centre[1], 200, 8);
        EXPECT_NEAR(centre[2], 45, 8);
        Display_delete(display);
        if (layout == 0)
            EXPECT_EQ(State().display.lcdVideoShown.load(), 0);
        else
            EXPECT_EQ(State().display.hdmiVideoWidth.load(), 0);
        BufTab_delete(table);
    }
}

}  // namespace
