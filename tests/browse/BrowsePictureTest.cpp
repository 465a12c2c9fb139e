// The browse screen and the state control thread with the device's picture
// and sound threads running in this process: thumbnails of recordings made
// on the board (their first frames, against ffmpeg's), the card pulled
// while a file plays, USB storage waiting for the player, and the hand-over
// of the picture to HDMI and back.
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenBrowse.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenPlayer.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"
#include "sim/board/Card.h"
#include "sim/board/Compositor.h"
#include "sim/board/KeyBits.h"
#include "tests/browse/BrowseSupport.h"
#include "tests/player/Pictures.h"
#include "tests/video/support/VideoPipeline.h"
#include "tests/video/support/VideoSupport.h"

#include <cmath>
#include <cstdio>
#include <memory>

using namespace vrec::test;
using vrec::board::Rgb;
using vrec::board::RgbImage;

namespace {

using Paths = std::vector<std::string>;

constexpr int kCellW = 96, kCellH = 72;
constexpr int kBlock = 8;

class BrowsePictureTest : public BrowseTest
{
protected:
    void SetUp() override
    {
        BrowseTest::SetUp();
        StateControlReset();
        SetParameter("/REC Quality/SAMPLE RATE", 48000.0f);
        SetParameter("/REC Quality/SOUND FORMAT", 16.0f);
        pipeline_ = std::make_unique<VideoPipeline>(VideoPipeline::Writer::kDevice, true);
        ASSERT_TRUE(pipeline_->started());
    }

    void TearDown() override
    {
        PL_Stop(STOP_BY_SYSTEM);
        PL_Close();
        pipeline_.reset();
        BrowseTest::TearDown();
    }

    // A recording of about a second through the camera, encoder and writer.
    std::string Record(int width)
    {
        EXPECT_TRUE(pipeline_->EnterRecorder(width, ACTION_MODE_MOVIE));
        std::string path = pipeline_->RecordWithWriter(1.0);
        EXPECT_TRUE(pipeline_->LeaveRecorder());
        return path.substr(std::string("/sdcard").size());
    }

    std::unique_ptr<VideoPipeline> pipeline_;
};

// A file's first picture as ffmpeg decodes it, fitted whole into the
// 160 x 120 thumbnail (centred on black, area-averaged) and taken to the
// 96 x 72 cell: RGB, row by row.
std::vector<uint8_t> Reference(const std::string& cardPath, int width, int height)
{
    char filter[160];
    if (width * 120 > height * 160) {
        int h = (160 * height / width + 1) & ~1;
        snprintf(filter, sizeof(filter), "scale=160:%d:flags=area,pad=160:120:0:%d:black", h, (120 - h) / 2);
    } else {
        int w = (120 * width / height + 1) & ~1;
        snprintf(filter, sizeof(filter), "scale=%d:120:flags=area,pad=160:120:%d:0:black", w, ((160 - w) / 2) & ~1);
    }
    std::string command = "ffmpeg -v error -i '" + HostPath("/sdcard" + cardPath) + "' -frames:v 1 -vf '" +
                          filter + ",scale=96:72:flags=neighbor' -f rawvideo -pix_fmt rgb24 - < /dev/null";
    std::vector<uint8_t> rgb(kCellW * kCellH * 3);
    FILE* pipe = popen(command.c_str(), "r");
    size_t got = pipe ? fread(rgb.data(), 1, rgb.size(), pipe) : 0;
    if (pipe)
        pclose(pipe);
    EXPECT_EQ(got, rgb.size()) << command;
    return rgb;
}

// The cell at (x, y) of the LCD as RGB, row by row.
std::vector<uint8_t> Cell(const RgbImage& lcd, int x, int y)
{
    std::vector<uint8_t> rgb;
    for (int j = 0; j < kCellH; ++j)
        for (int i = 0; i < kCellW; ++i) {
            Rgb p = BrowseTest::At(lcd, x + i, y + j);
            rgb.insert(rgb.end(), {p.r, p.g, p.b});
        }
    return rgb;
}

// Mean difference of two pictures' 8 x 8 block averages (0-255): blind to
// a pixel's shift in sampling, not to another picture.
double Distance(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    double total = 0;
    int n = 0;
    for (int by = 0; by < kCellH; by += kBlock)
        for (int bx = 0; bx < kCellW; bx += kBlock)
            for (int c = 0; c < 3; ++c) {
                double sa = 0, sb = 0;
                for (int j = by; j < by + kBlock; ++j)
                    for (int i = bx; i < bx + kBlock; ++i) {
                        sa += a[(j * kCellW + i) * 3 + c];
                        sb += b[(j * kCellW + i) * 3 + c];
                    }
                total += std::fabs(sa - sb) / (kBlock * kBlock);
                ++n;
            }
    return total / n;
}

int CellX(int cell) { return 6 + 99 * (cell % 3); }
int CellY(int cell) { return 52 + 82 * (cell / 3); }

// A WAV file of silence, 48 kHz 16-bit stereo.
void PutSilentWav(const std::string& cardPath, int seconds = 1)
{
    const uint32_t data = 48000 * 4 * seconds;
    std::string wav = "RIFF";
    auto le = [&wav](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav += static_cast<char>(v >> (8 * i) & 0xFF);
    };
    le(36 + data, 4);
    wav += "WAVEfmt ";
    le(16, 4);
    le(1, 2);
    le(2, 2);
    le(48000, 4);
    le(48000 * 4, 4);
    le(4, 2);
    le(16, 2);
    wav += "data";
    le(data, 4);
    wav.append(data, '\0');
    BrowseTest::Put(cardPath, wav);
}

TEST_F(BrowsePictureTest, TheGridShowsEachRecordingsFirstPicture)
{
    const std::string hd = Record(1280);
    const std::string sd = Record(640);
    ASSERT_TRUE(pipeline_->EnterRecorder(640, ACTION_MODE_PHOTO));
    ASSERT_EQ(SnapImage(), 0);
    ASSERT_TRUE(pipeline_->LeaveRecorder());

    Open(ACTION_MODE_MOVIE);
    ASSERT_EQ(Listing(), Paths({hd, sd}));
    Press(KEY_F1);
    ASSERT_EQ(screen_browse::m_bThumbnail, 1);
    // The decoder starts again after the recorder on a machine that may be busy.
    ASSERT_TRUE(WaitFor([] { return g_bVDecRunning != 0; }, 10000));
    g_ScreenManager.OnDraw500ms(1);
    RgbImage lcd = Lcd();
    Snap("grid-movies");
    std::vector<uint8_t> hdCell = Cell(lcd, CellX(0), CellY(0));
    std::vector<uint8_t> sdCell = Cell(lcd, CellX(1), CellY(1));
    std::vector<uint8_t> hdRef = Reference(hd, 1280, 720);
    std::vector<uint8_t> sdRef = Reference(sd, 640, 480);
    EXPECT_LT(Distance(hdCell, hdRef), 12.0) << "the HD movie's first frame, letterboxed";
    EXPECT_LT(Distance(sdCell, sdRef), 12.0) << "the SD movie's first frame";
    EXPECT_GT(Distance(hdCell, sdRef), 20.0) << "the two cells are told apart";

    // A photo: its picture; a sound recording: its icon, or its photo.
    Open(ACTION_MODE_PHOTO);
    Paths photos = Listing();
    ASSERT_EQ(photos.size(), 1u);
    const std::string photo = photos[0];
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    Snap("grid-photo");
    EXPECT_LT(Distance(Cell(lcd, CellX(0), CellY(0)), Reference(photo, 640, 480)), 12.0);

    PutSilentWav("/MY_FOLDER/A_SOUND.WAV");
    PutSilentWav("/MY_FOLDER/B_SOUND.WAV");
    ASSERT_EQ(std::system(("cp '" + HostPath("/sdcard" + photo) + "' '" +
                           HostPath("/sdcard/MY_FOLDER/B_SOUND.JPG") + "'")
                              .c_str()),
              0);
    Open(ACTION_MODE_SOUND);
    ASSERT_EQ(Listing(), Paths({"/MY_FOLDER/A_SOUND.WAV", "/MY_FOLDER/B_SOUND.WAV"}));
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    Snap("grid-sound");
    const BITMAP* icon = g_pBmp_type_audio;
    EXPECT_EQ(IconShown(lcd, icon, CellX(0) + (kCellW - icon->nWidth) / 2, CellY(0) + (kCellH - icon->nHeight) / 2),
              1.0);
    EXPECT_LT(Distance(Cell(lcd, CellX(1), CellY(1)), Reference(photo, 640, 480)), 12.0);
}

TEST_F(BrowsePictureTest, PullingTheCardStopsThePlayerAndSavesTheSettings)
{
    PutSilentWav("/MY_FOLDER/LONG.WAV", 20);
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_EQ(PL_Open("/sdcard/MY_FOLDER/LONG.WAV"), 1);
    PL_Play();
    ASSERT_TRUE(WaitFor([] { return PL_IsPlaying() != 0; }));
    NVRAM_Set("/Setup/BACKLIGHT", "30", 0);

    vrec::board::CardStore(BoardRoot()).Remove(State());
    ChkSdCard(0);
    EXPECT_TRUE(PL_IsStop());
    EXPECT_FALSE(PL_IsOpen());
    EXPECT_EQ(g_bSdCard, 0);
    EXPECT_FALSE(IsMount(SDCARD_PARTITION));
    EXPECT_NE(ReadFile(HostPath("/mnt/mtd5/NVRAM.txt")).find("/Setup/BACKLIGHT=30\n"), std::string::npos);
}

// The player screen takes what the browse screen hands it: "Play" plays the
// file, "Select" and HOME leave the file open, stopped; a card's stored
// position comes back the same way.
TEST_F(BrowsePictureTest, ThePlayerTakesTheFileTheBrowseScreenHandsIt)
{
    PutSilentWav("/MY_FOLDER/A.WAV", 8);
    PutSilentWav("/MY_FOLDER/SUB/C.WAV", 8);
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    auto heldOn = [](const char* name) {
        return WaitFor([name] {
            return PL_IsOpen() && !PL_IsPlaying() && g_bKeepStop == 0 &&
                   std::string(screen_player::m_curFile) == name;
        });
    };

    Open(ACTION_MODE_SOUND);
    ASSERT_TRUE(SelectPath("/MY_FOLDER/A.WAV"));
    ASSERT_TRUE(Choose("Play"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_TRUE(WaitFor([] { return PL_IsPlaying() && PL_GetPos() > 200; }));
    EXPECT_STREQ(screen_player::m_curFile, "A.WAV");

    Open(ACTION_MODE_SOUND);
    EXPECT_FALSE(PL_IsPlaying()) << "the browse screen stops the player";
    ASSERT_TRUE(SelectPath("/MY_FOLDER/SUB"));
    ASSERT_TRUE(Choose("Select"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_TRUE(heldOn("C.WAV"));

    Open(ACTION_MODE_SOUND, "/MY_FOLDER/SUB");
    Press(KEY_F3);
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_TRUE(heldOn("C.WAV")) << "HOME: the stopped player with its file";

    // The card out and in again: the stored folder and file, held.
    SetParameter("/LOCAL/CurrentDir", "/MY_FOLDER/SUB");
    SetParameter("/LOCAL/LastFile", "/MY_FOLDER/SUB/C.WAV");
    NVRAM_LocalSave();
    vrec::board::CardStore cards(BoardRoot());
    std::string card = cards.Inserted();
    cards.Remove(State());
    ChkSdCard(0);
    EXPECT_FALSE(PL_IsOpen());
    std::string why;
    ASSERT_TRUE(cards.Insert(State(), card, &why)) << why;
    ASSERT_TRUE(WaitFor([] { return IsMount(SDCARD_PARTITION) != 0; }));
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    EXPECT_TRUE(heldOn("C.WAV"));
}

TEST_F(BrowsePictureTest, UsbStorageWaitsUntilPlaybackHasStopped)
{
    PutSilentWav("/MY_FOLDER/LONG.WAV", 20);
    ChkSdCard(KEY_SD_DETECT);
    SetActionMode(ACTION_MODE_SOUND);
    ASSERT_EQ(PL_Open("/sdcard/MY_FOLDER/LONG.WAV"), 1);
    PL_Play();
    ASSERT_TRUE(WaitFor([] { return PL_IsPlaying() != 0; }));
    const unsigned long cable = KEY_SD_DETECT | KEY_USB_DETECT;
    for (int pass = 0; pass < 8; ++pass)
        ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 0) << "not while a file plays";
    PL_Pause();
    ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 0) << "nor while it is paused";
    PL_Stop(STOP_BY_USER);
    ASSERT_TRUE(PL_IsStop());
    for (int pass = 0; pass < 4; ++pass)
        ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 0);
    ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 1) << "five passes after playback stopped";
    EXPECT_FALSE(PL_IsOpen());
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 1);
}

TEST_F(BrowsePictureTest, HdmiTakesThePictureAndGivesItBack)
{
    const std::string sd = Record(640);
    ASSERT_EQ(HDIM_Init(), 1);
    ChkSdCard(KEY_SD_DETECT);
    g_ScreenManager.SetActive("player", 1);
    g_PlaylistCtrl.Init("/MY_FOLDER");
    ASSERT_EQ(g_PlaylistCtrl.GetCount(), 1);

    // A cable without a display: nothing changes.
    State().hdmi.sink = 0;
    State().hdmi.cable = 1;
    vrec::board::SetKeyBits(State(), vrec::board::keybit::kHdmiCable, true);
    const unsigned long cable = KEY_SD_DETECT | KEY_HDMI_DETECT;
    ChkHdmi(cable);
    EXPECT_EQ(g_bHdmi, 0);
    EXPECT_GT(State().leds.backlight.load(), 0);

    // With a display: the movie's first frame on HDMI at its size, the LCD
    // dark. (The main loop releases the transmitter's mute once it has drawn.)
    StartLoop();
    State().hdmi.sink = 1;
    ChkHdmi(cable);
    EXPECT_EQ(g_bHdmi, 1);
    EXPECT_EQ(g_bDispHdmi, 1);
    EXPECT_EQ(State().leds.backlight.load(), 0);
    ASSERT_TRUE(WaitFor([] { return State().display.hdmiVideoWidth.load() == 640 && g_bKeepStop == 0; }, 6000));
    EXPECT_TRUE(PL_IsOpen());
    ASSERT_TRUE(WaitFor([] { return State().hdmi.muted.load() == 0; }));
    RgbImage hdmi = vrec::board::ComposeHdmi(BoardRoot(), State());
    EXPECT_EQ(hdmi.width, 640);
    EXPECT_EQ(hdmi.height, 480);
    // The picture on HDMI is the movie's first frame (the camera's stamp in it).
    std::vector<DecodedFrame> frames = DecodeFrames(HostPath("/sdcard" + sd), 640, 480);
    ASSERT_FALSE(frames.empty());
    ASSERT_TRUE(frames[0].stamp.has_value());
    EXPECT_EQ(HdmiFrame(640, 480), frames[0].stamp->frame);

    // The cable out: the LCD again, lit, with the first frame held.
    State().hdmi.cable = 0;
    State().hdmi.sink = 0;
    vrec::board::SetKeyBits(State(), vrec::board::keybit::kHdmiCable, false);
    ChkHdmi(KEY_SD_DETECT);
    EXPECT_EQ(g_bHdmi, 0);
    EXPECT_EQ(g_bDispHdmi, 0);
    EXPECT_GT(State().leds.backlight.load(), 0);
    EXPECT_TRUE(PL_IsOpen()) << "the file is open again for the LCD";
    EXPECT_TRUE(WaitFor([&frames] { return g_bKeepStop == 0 && LcdFrame(false) == frames[0].stamp->frame; }, 6000));
    HDIM_Exit();
}

}  // namespace
