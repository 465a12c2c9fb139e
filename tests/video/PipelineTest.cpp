// The capture, video and display threads on the board in real time:
// movies recorded through them, the LCD and HDMI pictures, zoom, photos,
// the decoder's outputs and the test camera mode.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "media-stack/codec/Mpeg4Config.h"
#include "player/Player.h"
#include "sim/board/Board.h"
#include "sim/board/KeyBits.h"
#include "sim/board/camera/FrameStamp.h"
#include "sim/frontend/Pictures.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/PipelineFixture.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <thread>

using namespace vrec::test;
using vrec::board::RgbImage;
using vrec::frontend::Output;

namespace {

// Under the sanitizers the recording path may fall behind the camera; it
// must still never repeat or reorder a frame.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Frames may be lost only when the recording path was held up from outside
// (the sanitizers, or a host that stalled the writer or the capture).
bool LossExcused(const VideoPipeline& pipeline)
{
    return pipeline.HeldUp() || kSanitized;
}

vrec::board::HardwareState& State()
{
    return vrec::board::Board::Get().state();
}

// What a person sees, as the front end's snapshots show it (a PNG is left
// in the test's board folder).
RgbImage Look(Output output, const std::string& name)
{
    std::string why;
    vrec::frontend::Snapshot(BoardRoot(), State(), output, BoardRoot() + "/" + name + ".png", &why);
    return vrec::frontend::Capture(BoardRoot(), State(), output);
}

const uint8_t* Px(const RgbImage& image, int x, int y)
{
    return &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
}

// Centre of the scene's red marker, as fractions of the picture.
bool RedAt(const RgbImage& image, double* u, double* v)
{
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = Px(image, x, y);
            if (p[0] > 170 && p[1] < 90 && p[2] < 90) {
                sx += x;
                sy += y;
                ++n;
            }
        }
    if (n < 10)
        return false;
    *u = sx / n / image.width;
    *v = sy / n / image.height;
    return true;
}

// Light/dark changes of the checkerboard along a row.
int CheckerEdges(const RgbImage& image, int y)
{
    int edges = 0, last = -1;
    for (int x = 0; x + 4 <= image.width; x += 4) {
        int sum = 0;
        for (int i = 0; i < 4; ++i)
            sum += Px(image, x + i, y)[1];
        int level = sum / 4 > 122 ? 1 : 0;
        if (last >= 0 && level != last)
            ++edges;
        last = level;
    }
    return edges;
}

class PipelineTest : public PipelineFixture
{
};

TEST_F(PipelineTest, MoviesRecordedThroughTheThreadsAreWhatFfprobeExpects)
{
    for (int width : {1280, 640}) {
        const int height = width == 1280 ? 720 : 480;
        ASSERT_TRUE(pipeline_->EnterRecorder(width));
        const std::string device = "/sdcard/MY_FOLDER/movie" + std::to_string(width) + ".mov";
        ASSERT_TRUE(pipeline_->Record(3.0, device));
        ASSERT_TRUE(pipeline_->LeaveRecorder());
        const std::string path = HostPath(device);

        std::vector<ProbeFields> streams = ProbeStreams(path);
        ASSERT_EQ(streams.size(), 2u) << width;
        ProbeFields video = streams[0]["codec_type"] == "video" ? streams[0] : streams[1];
        ProbeFields sound = streams[0]["codec_type"] == "video" ? streams[1] : streams[0];
        EXPECT_EQ(video["codec_name"], "mpeg4");
        EXPECT_EQ(video["width"], std::to_string(width));
        EXPECT_EQ(video["height"], std::to_string(height));
        EXPECT_EQ(video["r_frame_rate"], "30/1");
        EXPECT_EQ(sound["codec_name"], "pcm_s16le");
        EXPECT_EQ(sound["sample_rate"], "48000");
        EXPECT_EQ(DecodeErrors(path), "");

        std::string types = PictureTypes(path);
        EXPECT_GE(types.size(), 80u);
        for (size_t i = 0; i < types.size(); ++i)
            EXPECT_EQ(types[i] == 'I', i % 30 == 0) << "frame " << i;
        // Every frame carries the camera's number, one after the other.
        std::vector<DecodedFrame> frames = DecodeFrames(path, width, height);
        ASSERT_EQ(frames.size(), types.size());
        const bool excused = LossExcused(*pipeline_);
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_TRUE(frames[i].stamp.has_value()) << "frame " << i;
            if (i == 0)
                continue;
            if (excused)
                EXPECT_GT(frames[i].stamp->frame, frames[i - 1].stamp->frame) << "frame " << i;
            else
                EXPECT_EQ(frames[i].stamp->frame, frames[i - 1].stamp->frame + 1) << "frame " << i;
        }
    }
}

// The whole recording path of the device: camera, capture, video and
// writer threads, named by the recorder in the current folder.
class DeviceWriterTest : public DeviceWriterFixture
{
};

TEST_F(DeviceWriterTest, AMovieRecordedThroughTheCaptureVideoAndWriterThreads)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    const std::string device = pipeline_->RecordWithWriter(4.0);
    ASSERT_FALSE(device.empty());
    EXPECT_NE(device.find(".mov"), std::string::npos) << device;
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    const std::string path = HostPath(device);

    std::vector<ProbeFields> streams = ProbeStreams(path);
    ASSERT_EQ(streams.size(), 2u);
    const int videoIndex = streams[0]["codec_type"] == "video" ? 0 : 1;
    EXPECT_EQ(streams[videoIndex]["codec_name"], "mpeg4");
    EXPECT_EQ(streams[videoIndex]["width"], "1280");
    EXPECT_EQ(streams[videoIndex]["height"], "720");
    EXPECT_EQ(streams[videoIndex]["r_frame_rate"], "30/1");
    EXPECT_EQ(streams[1 - videoIndex]["codec_name"], "pcm_s16le");
    EXPECT_EQ(streams[1 - videoIndex]["sample_rate"], "48000");
    EXPECT_EQ(DecodeErrors(path), "");
    std::string types = PictureTypes(path);
    EXPECT_GE(types.size(), 110u);
    for (size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(types[i] == 'I', i % 30 == 0) << "frame " << i;
    std::vector<DecodedFrame> frames = DecodeFrames(path, 1280, 720);
    ASSERT_EQ(frames.size(), types.size());
    const bool excused = LossExcused(*pipeline_);
    for (size_t i = 1; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].stamp.has_value() && frames[i - 1].stamp.has_value()) << i;
        if (excused)
            EXPECT_GT(frames[i].stamp->frame, frames[i - 1].stamp->frame) << "frame " << i;
        else
            EXPECT_EQ(frames[i].stamp->frame, frames[i - 1].stamp->frame + 1) << "frame " << i;
    }
}

TEST_F(PipelineTest, TheLcdShowsThePreviewUprightAndTurnedWhenTheCameraIsTurnedOver)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    RgbImage lcd = Look(Output::kLcd, "preview");
    ASSERT_EQ(lcd.width, 320);
    ASSERT_EQ(lcd.height, 240);
    // The HD picture letter-boxed: black above and below.
    EXPECT_LT(Px(lcd, 160, 10)[1], 30);
    EXPECT_LT(Px(lcd, 160, 230)[1], 30);
    double u, v;
    ASSERT_TRUE(RedAt(lcd, &u, &v));
    EXPECT_NEAR(u, 2.0 / 16, 0.04);  // top left, unmirrored
    EXPECT_NEAR(v, (30 + 180 * 4.0 / 12) / 240, 0.04);

    // CAMERA_SW off: the head is turned over, the capture mirrors both ways
    // (the recording stays upright) and the LCD's quarter turn goes the
    // other way, so the LCD shows the picture turned.
    vrec::board::SetKeyBits(State(), vrec::board::keybit::kCameraSw, false);
    g_bCameraFlip = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    lcd = Look(Output::kLcd, "preview-turned");
    ASSERT_TRUE(RedAt(lcd, &u, &v));
    EXPECT_NEAR(u, 14.0 / 16, 0.04);
    EXPECT_NEAR(v, (30 + 180 * 8.0 / 12) / 240, 0.04);
    ASSERT_TRUE(pipeline_->Record(1.0, "/sdcard/turned.mov"));
    std::vector<DecodedFrame> frames = DecodeFrames(HostPath("/sdcard/turned.mov"), 1280, 720);
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames.back().stamp.has_value());  // the stamp reads left to right: upright
    ASSERT_TRUE(pipeline_->LeaveRecorder());
}

// The zoom table narrows the crop by 32 x 18 per 10 %: zoom 200 shows three
// quarters of the field (960 x 540), zoom 300 half of it (640 x 360).
TEST_F(PipelineTest, ZoomNarrowsTheFieldAndTheRecordingRepeatsThePictureMeanwhile)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int row = 30 + 180 * 70 / 100;
    EXPECT_EQ(CheckerEdges(Look(Output::kLcd, "zoom100"), row), 15);

    pipeline_->StartRecording();  // frames flow; nobody writes them
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(WaitUntil([] { return g_nDispZoom == 100; }, 1.0));
    g_nZoom = 200;
    ASSERT_TRUE(WaitUntil([] { return g_nDispZoom == 200; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(CheckerEdges(Look(Output::kLcd, "zoom200"), row), 11);
    g_nZoom = 300;
    ASSERT_TRUE(WaitUntil([] { return g_nDispZoom == 300; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(CheckerEdges(Look(Output::kLcd, "zoom300"), row), 7);
    pipeline_->StopRecording();
    ASSERT_TRUE(pipeline_->LeaveRecorder());

    // A recording across a zoom change: three frames repeat the picture
    // before it, and no frame shows the field half way.
    g_nZoom = 100;
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    std::thread zoomer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        g_nZoom = 200;
    });
    ASSERT_TRUE(pipeline_->Record(2.5, "/sdcard/zoom.mov"));
    zoomer.join();
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    std::vector<DecodedFrame> frames = DecodeFrames(HostPath("/sdcard/zoom.mov"), 1280, 720);
    ASSERT_GT(frames.size(), 60u);
    int repeats = 0;
    int jumps = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].stamp.has_value()) << i;
        uint32_t step = frames[i].stamp->frame - frames[i - 1].stamp->frame;
        repeats += step == 0;
        jumps += step > 1;
    }
    EXPECT_EQ(repeats, 3);
    if (!LossExcused(*pipeline_)) {
        EXPECT_LE(jumps, 1);  // the frames that waited while the picture repeated
    }
}

TEST_F(PipelineTest, PhotosGoToTheCurrentFolderAndTheTemporaryFile)
{
    for (int width : {1280, 640}) {
        ASSERT_TRUE(pipeline_->EnterRecorder(width, ACTION_MODE_PHOTO));
        EXPECT_EQ(SnapImage(), 0);
        EXPECT_FALSE(IsSnapImage());
        ASSERT_TRUE(pipeline_->LeaveRecorder());
    }
    std::vector<std::string> photos;
    DIR* dir = opendir(HostPath("/sdcard/MY_FOLDER").c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        if (std::string(e->d_name).find(".jpg") != std::string::npos)
            photos.push_back(e->d_name);
    closedir(dir);
    std::sort(photos.begin(), photos.end());
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(static_cast<int>(GetParameter("/Setup/FILE NAME/CURRENT", nullptr)), 2);
    const char* sizes[] = {"1280 720", "640 480"};
    for (size_t i = 0; i < photos.size(); ++i) {
        std::string out;
        std::string path = HostPath("/sdcard/MY_FOLDER/" + photos[i]);
        EXPECT_EQ(RunCommand("djpeg '" + path + "' > /dev/null", &out, true), 0) << out;
        ASSERT_EQ(RunCommand("identify -format '%w %h %[interlace] %Q' '" + path + "'", &out), 0);
        EXPECT_EQ(out, std::string(sizes[i]) + " None 90") << photos[i];
    }

    // In audio mode the LCD shows one preview in thirty; a photo goes to the
    // temporary file and stays on screen.
    ASSERT_TRUE(pipeline_->EnterRecorder(1280, ACTION_MODE_SOUND));
    uint32_t before = State().display.videoFrames.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    uint32_t shown = State().display.videoFrames.load() - before;
    EXPECT_GE(shown, 1u);
    EXPECT_LE(shown, 4u);
    EXPECT_EQ(SnapImageTemp(), 0);
    EXPECT_EQ(g_bPhotoCaptured, 1);
    EXPECT_TRUE(FileExists(HostPath("/sdcard/.tmp.jpg")));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    before = State().display.videoFrames.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(State().display.videoFrames.load(), before);
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    g_bPhotoCaptured = 0;
}

// The recorder's own stream, frame by frame, for the decoder's input queue.
std::vector<mediastack::Bytes> RecordedFrames(int width, int frames)
{
    const int height = width == 1280 ? 720 : 480;
    PictureBuffer picture(width, height);
    bool hd = width == 1280;
    VIDENC1_Params params = {sizeof(VIDENC1_Params), 2, 1, height, width, 30000, hd ? 8000000 : 3000000, XDM_BYTE, 0,
                             XDM_YUV_422ILE, IVIDEO_PROGRESSIVE, XDM_YUV_420P};
    MPEG4ENC_DynamicParams dyn = {{sizeof(MPEG4ENC_DynamicParams), height, width, 30000, 30000, hd ? 7500000 : 2500000,
                                   30, 0, 0, -1, 1, 0},
                                  {0, 0, 0, 31, 1, 0, 0, 0, 0, 0, 0, 0, 0}};
    Venc1_Handle encoder = Venc1_create(g_hEngine, "mpeg4enc", &params, &dyn.videncDynamicParams);
    Buffer_Handle out = Buffer_create(1382400, &Buffer_Attrs_DEFAULT);
    std::vector<mediastack::Bytes> result;
    for (int i = 0; encoder && i < frames; ++i) {
        DrawScene(picture.handle(), static_cast<uint32_t>(i));
        if (Venc1_process(encoder, picture.handle(), out) != Dmai_EOK)
            break;
        auto* p = reinterpret_cast<uint8_t*>(Buffer_getUserPtr(out));
        result.emplace_back(p, p + Buffer_getNumBytesUsed(out));
    }
    Venc1_delete(encoder);
    Buffer_delete(out);
    return result;
}

// Queues frames for the decode loop as the player does, paced at 30/s.
void Play(const std::vector<mediastack::Bytes>& frames)
{
    for (const mediastack::Bytes& f : frames) {
        Buffer_Handle in = nullptr;
        ASSERT_EQ(Fifo_getPoll(g_hDecoderFree, &in, 2000), Dmai_EOK);
        std::copy(f.begin(), f.end(), reinterpret_cast<uint8_t*>(Buffer_getUserPtr(in)));
        Buffer_setNumBytesUsed(in, static_cast<int32_t>(f.size()));
        Fifo_put(g_hDecoderIn, in);
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
}

// The stamp of the picture on the HDMI video plane.
std::optional<vrec::board::FrameStamp> HdmiStamp(int width, int height)
{
    std::string plane = ReadFile(BoardRoot() + "/video-hdmi.plane");
    vrec::board::FrameStamp stamp;
    if (plane.size() < static_cast<size_t>(width) * height * 2 ||
        !vrec::board::ReadFrameStamp(reinterpret_cast<const uint8_t*>(plane.data()) + 1, width, height, width * 2, 2,
                                     &stamp))
        return std::nullopt;
    return stamp;
}

TEST_F(PipelineTest, DecodedPicturesGoToHdmiAt720pAndVgaAndEveryThirdToTheLcd)
{
    // The LCD: through the scaler (letter-boxed) and the display thread.
    g_nVideoPlayWidth = 1280;
    g_nVideoPlayHeight = 720;
    ASSERT_TRUE(WaitUntil([] { return g_bVDecRunning != 0; }, 5.0));
    WaitStartPlayResizer();
    std::vector<mediastack::Bytes> hd = RecordedFrames(1280, 31);
    uint32_t before = State().display.videoFrames.load();
    Play(hd);
    ASSERT_TRUE(WaitUntil([] { return Fifo_getNumEntries(g_hDecoderIn) == 0; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(State().display.videoFrames.load() - before, 11u);  // frames 0, 3, ... 30
    RgbImage lcd = Look(Output::kLcd, "played");
    EXPECT_LT(Px(lcd, 160, 10)[1], 30);  // the letter-box
    double u, v;
    ASSERT_TRUE(RedAt(lcd, &u, &v));
    EXPECT_NEAR(u, 2.0 / 16, 0.04);
    EXPECT_NEAR(v, (30 + 180 * 4.0 / 12) / 240, 0.04);

    // HDMI: every frame, at the picture's size.
    g_bHdmi = 1;
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    ASSERT_TRUE(WaitUntil([] { return g_bDispHdmi != 0 && DisplayHdmiExists(); }, 5.0));
    EXPECT_EQ(g_bSetAV_MuteOFF_Flag, 1);
    before = State().display.videoFrames.load();
    Play(hd);
    ASSERT_TRUE(WaitUntil([] { return Fifo_getNumEntries(g_hDecoderIn) == 0; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(State().display.videoFrames.load() - before, 31u);
    EXPECT_EQ(State().display.hdmiVideoWidth.load(), 1280);
    std::optional<vrec::board::FrameStamp> stamp = HdmiStamp(1280, 720);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->frame, 30u);
    RgbImage hdmi = Look(Output::kHdmi, "hdmi-720p");
    EXPECT_EQ(hdmi.width, 1280);

    // A VGA movie: the HDMI window is made again at 640 x 480.
    VideoDecStop();
    g_nVideoPlayWidth = 640;
    g_nVideoPlayHeight = 480;
    std::vector<mediastack::Bytes> sd = RecordedFrames(640, 20);
    ASSERT_TRUE(WaitUntil([] { return g_bVDecRunning != 0; }, 5.0));
    Play(sd);
    ASSERT_TRUE(WaitUntil([] { return Fifo_getNumEntries(g_hDecoderIn) == 0; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(State().display.hdmiVideoWidth.load(), 640);
    EXPECT_EQ(State().display.hdmiVideoHeight.load(), 480);
    stamp = HdmiStamp(640, 480);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->frame, 19u);
    RgbImage vga = Look(Output::kHdmi, "hdmi-vga");
    EXPECT_EQ(vga.width, 640);
    EXPECT_EQ(vga.height, 480);

    // Unplugged: the LCD window again.
    g_bHdmi = 0;
    ASSERT_TRUE(WaitUntil([] { return g_bDispHdmi == 0 && DisplayisLCD_Enable(); }, 5.0));
    EXPECT_EQ(State().display.hdmiVideoWidth.load(), 0);

    // A stop ends the loop at once; an idle decoder's stop returns at once.
    VideoDecStop();
    auto start = std::chrono::steady_clock::now();
    VideoDecStop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(PipelineTest, OneFrameDecodesForThumbnailsAndDamagedInputEndsTheLoop)
{
    ASSERT_TRUE(WaitUntil([] { return g_bVDecRunning != 0; }, 5.0));
    std::vector<mediastack::Bytes> frames = RecordedFrames(640, 1);
    ASSERT_EQ(frames.size(), 1u);
    PictureBuffer thumbnail(1280, 720);
    Buffer_Handle in = nullptr;
    ASSERT_EQ(Fifo_getPoll(g_hDecoderFree, &in, 2000), Dmai_EOK);
    std::copy(frames[0].begin(), frames[0].end(), reinterpret_cast<uint8_t*>(Buffer_getUserPtr(in)));
    Buffer_setNumBytesUsed(in, static_cast<int32_t>(frames[0].size()));
    g_nDecodeResult = 1;
    g_hTmpDecodeDst = thumbnail.handle();
    Fifo_put(g_hDecoderIn, in);
    ASSERT_TRUE(WaitUntil([] { return g_hTmpDecodeDst == nullptr; }, 3.0));
    EXPECT_EQ(g_nDecodeResult, 0);
    std::optional<vrec::board::FrameStamp> stamp = StampOf(thumbnail.handle());
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->frame, 0u);
    Fifo_put(g_hDecoderFree, in);  // the caller owns its input

    // Bytes that are no video: the loop ends with the fatal bit error and
    // starts again; the input comes back.
    ASSERT_EQ(Fifo_getPoll(g_hDecoderFree, &in, 2000), Dmai_EOK);
    std::fill_n(reinterpret_cast<uint8_t*>(Buffer_getUserPtr(in)), 5000, 0x55);
    Buffer_setNumBytesUsed(in, 5000);
    Fifo_put(g_hDecoderIn, in);
    ASSERT_TRUE(WaitUntil([] { return g_nDecodeResult == -7; }, 3.0));
    ASSERT_TRUE(WaitUntil([] { return Fifo_getNumEntries(g_hDecoderFree) == 2; }, 3.0));
    ASSERT_TRUE(WaitUntil([] { return g_bVDecRunning != 0; }, 3.0));
}

TEST_F(PipelineTest, TestCameraModeShowsTheCameraOnTheLcdAndOnHdmi)
{
    g_bTestCameraMode = 1;
    ASSERT_TRUE(WaitUntil([] { return g_hCapture != nullptr; }, 5.0));
    ASSERT_TRUE(WaitUntil([] { return State().display.lcdVideoShown.load() != 0; }, 3.0));
    double u, v;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(RedAt(Look(Output::kLcd, "test-camera"), &u, &v));
    EXPECT_LT(u, 0.5);
    // The colour bars of the test page.
    EXPECT_EQ(Capture_setColrbar(g_hCapture, 1), Dmai_EOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    RgbImage bars = Look(Output::kLcd, "test-camera-bars");
    const uint8_t* yellow = Px(bars, 60, 120);
    EXPECT_GT(yellow[0], 150);
    EXPECT_LT(yellow[2], 60);
    Capture_setColrbar(g_hCapture, 0);

    g_bHdmi = 1;
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    ASSERT_TRUE(WaitUntil([] { return State().display.hdmiVideoWidth.load() == 1280; }, 5.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::optional<vrec::board::FrameStamp> first = HdmiStamp(1280, 720);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::optional<vrec::board::FrameStamp> later = HdmiStamp(1280, 720);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(later.has_value());
    EXPECT_GE(later->frame - first->frame, 8u);  // live: about 15 frames on
    Look(Output::kHdmi, "test-camera-hdmi");
    g_bTestCameraMode = 0;
    ASSERT_TRUE(WaitUntil([] { return g_hCapture == nullptr; }, 5.0));
}

TEST_F(PipelineTest, ResetVideoCaptureTakesTheNewImageSizeAndTheConsoleReachesTheCamera)
{
    ASSERT_TRUE(pipeline_->EnterRecorder(1280));
    EXPECT_EQ(State().camera.width.load(), 1280);
    unsigned long value = 0;
    ASSERT_TRUE(VPFE_GetCameraReg(0, &value));
    EXPECT_EQ(value, 0x1801u);
    ASSERT_TRUE(VPFE_SetCameraReg(0xA0, 1));
    ASSERT_TRUE(VPFE_GetCameraReg(0xA0, &value));
    EXPECT_EQ(value, 1u);

    SetParameter("/REC Quality/IMAGE SIZE", 640.0f);
    ResetVideoCapture();
    ASSERT_TRUE(WaitUntil([] { return State().camera.width.load() == 640 && State().camera.streaming.load(); }, 5.0));
    EXPECT_EQ(g_nVideoRecordWidth, 640);
    EXPECT_EQ(g_nVideoRecordHeight, 480);
    ASSERT_TRUE(VPFE_GetCameraReg(0xA0, &value));
    EXPECT_EQ(value, 0u);  // the sensor started afresh
    ASSERT_TRUE(pipeline_->LeaveRecorder());
    EXPECT_FALSE(VPFE_GetCameraReg(0, &value));  // no camera outside the recorder
}

}  // namespace
