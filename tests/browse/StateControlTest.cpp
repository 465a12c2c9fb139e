// The state control thread's checks in this process, pass by pass, on the
// board's cards and lines: which cards are used, the card's own settings
// and position, USB storage, the HDMI rules that need no display, and the
// detect lines.
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Sound.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/StateControl.h"
#include "player/Player.h"
#include "sim/board/Card.h"
#include "sim/board/KeyBits.h"
#include "tests/browse/BrowseSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace vrec::test;

namespace {

class StateControlTest : public BrowseTest
{
protected:
    void SetUp() override
    {
        BrowseTest::SetUp();
        StateControlReset();
        g_bSdCard = 0;
        g_bSdCardFormatReq = 0;
        g_bSdCardFormatting = 0;
        g_bUsbMode = 0;
        g_bHdmi = 0;
        SetActionMode(ACTION_MODE_MOVIE);
    }

    vrec::board::CardStore Cards() { return vrec::board::CardStore(BoardRoot()); }

    // Takes the card out, as a person does, and lets the thread see it.
    void PullCard()
    {
        Cards().Remove(State());
        ChkSdCard(0);
    }

    // A new card in the slot, mounted by the board's hot-plug when it can be.
    void NewCard(const std::string& name, vrec::board::CardFormat format, int sectorsPerCluster = 64)
    {
        vrec::board::CardOptions options;
        options.sizeBytes = 256ull << 20;
        options.format = format;
        options.sectorsPerCluster = sectorsPerCluster;
        std::string why;
        ASSERT_TRUE(Cards().Create(name, options, &why)) << why;
        ASSERT_TRUE(Cards().Insert(State(), name, &why)) << why;
        if (format != vrec::board::CardFormat::kBlank) {
            ASSERT_TRUE(WaitFor([] { return IsMount(SDCARD_PARTITION) != 0; })) << "hot-plug mounts the card";
        }
    }
};

TEST_F(StateControlTest, OnlyCardsThisDeviceFormattedAreUsed)
{
    ChkSdCard(KEY_SD_DETECT);
    EXPECT_EQ(g_bSdCard, 1);
    EXPECT_EQ(g_bSdCardFormatReq, 0);
    EXPECT_TRUE(OnCard("/MY_FOLDER/") && OnCard("/UTILITY/"));
    EXPECT_TRUE(OnCard("/.NVRAM.txt")) << "the card gets its own settings";
    PullCard();
    EXPECT_EQ(g_bSdCard, 0);
    EXPECT_FALSE(IsMount(SDCARD_PARTITION));

    struct Refused
    {
        const char* name;
        vrec::board::CardFormat format;
        int sectorsPerCluster;
        bool writeProtected;
    };
    const Refused refused[] = {
        {"elsewhere", vrec::board::CardFormat::kForeign, 64, false},
        {"clusters16k", vrec::board::CardFormat::kDevice, 32, false},
        {"protected", vrec::board::CardFormat::kDevice, 64, true},
    };
    for (const Refused& card : refused) {
        SCOPED_TRACE(card.name);
        State().card.writeProtected = card.writeProtected ? 1 : 0;
        NewCard(card.name, card.format, card.sectorsPerCluster);
        ChkSdCard(KEY_SD_DETECT);
        EXPECT_EQ(g_bSdCardFormatReq, 1);
        EXPECT_EQ(g_bSdCard, 0);
        // The main loop asks; while the question is open nothing is checked,
        // and "No" brings it back at the next pass.
        g_bSdCardFormatReq = 0;
        g_bSdCardFormatting = 1;
        ChkSdCard(KEY_SD_DETECT);
        EXPECT_EQ(g_bSdCardFormatReq, 0);
        g_bSdCardFormatting = 0;
        ChkSdCard(KEY_SD_DETECT);
        EXPECT_EQ(g_bSdCardFormatReq, 1);
        // Taken out: no question, and nothing left mounted.
        PullCard();
        EXPECT_EQ(g_bSdCardFormatReq, 0);
        EXPECT_FALSE(IsMount(SDCARD_PARTITION));
        State().card.writeProtected = 0;
    }

    // A card that does not mount is offered for formatting 20 passes
    // after the device's own mount attempt.
    NewCard("blank", vrec::board::CardFormat::kBlank);
    for (int pass = 0; pass < 21; ++pass)
        ChkSdCard(KEY_SD_DETECT);
    EXPECT_EQ(g_bSdCardFormatReq, 0);
    ChkSdCard(KEY_SD_DETECT);
    EXPECT_EQ(g_bSdCardFormatReq, 1);
    PullCard();

    // Formatted by the device, the card is used.
    NewCard("formatted", vrec::board::CardFormat::kDevice);
    ChkSdCard(KEY_SD_DETECT);
    EXPECT_EQ(g_bSdCard, 1);
}

TEST_F(StateControlTest, TheCardsOwnSettingsAndPositionComeBack)
{
    Put("/MY_FOLDER/KST7_0002/A.MOV");
    Put("/MY_FOLDER/KST7_0002/B.MOV");
    Put("/.NVRAM.txt", "/LOCAL/CurrentDir=/MY_FOLDER/KST7_0002\n/LOCAL/LastFile=/MY_FOLDER/KST7_0002/B.MOV\n");
    g_ScreenManager.SetActive("player", 1);
    g_bKeepStop = 0;
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    char text[256];
    g_PlaylistCtrl.GetCurrentDir(text);
    EXPECT_STREQ(text, "/MY_FOLDER/KST7_0002");
    g_PlaylistCtrl.GetCurrentFilePath(text);
    EXPECT_STREQ(text, "/MY_FOLDER/KST7_0002/B.MOV");

    // Taking the card out saves the global settings.
    NVRAM_Set("/Setup/AUTO OFF", "7", 0);
    PullCard();
    EXPECT_NE(ReadFile(HostPath("/mnt/mtd5/NVRAM.txt")).find("/Setup/AUTO OFF=7\n"), std::string::npos);

    // Another card: its own settings; its folder has gone, so the recording folder.
    vrec::board::CardOptions options;
    options.sizeBytes = 256ull << 20;
    std::string why;
    ASSERT_TRUE(Cards().Create("other", options, &why)) << why;
    ASSERT_TRUE(WriteFile(Cards().FilesDir("other") + "/.NVRAM.txt",
                          "/LOCAL/CurrentDir=/MY_FOLDER/GONE\n/LOCAL/LastFile=/MY_FOLDER/X.MOV\n"));
    ASSERT_TRUE(Cards().Insert(State(), "other", &why)) << why;
    ASSERT_TRUE(WaitFor([] { return IsMount(SDCARD_PARTITION) != 0; }));
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    GetParameter("/LOCAL/LastFile", text);
    EXPECT_STREQ(text, "/MY_FOLDER/X.MOV");
    g_PlaylistCtrl.GetCurrentDir(text);
    EXPECT_STREQ(text, "/MY_FOLDER");
    EXPECT_EQ(g_bKeepStop, 0) << "nothing to show";

    // The first card again, in the recorder: the recording folder.
    PullCard();
    ASSERT_TRUE(Cards().Insert(State(), "card0", &why)) << why;
    ASSERT_TRUE(WaitFor([] { return IsMount(SDCARD_PARTITION) != 0; }));
    g_bRecorder = 1;
    ChkSdCard(KEY_SD_DETECT);
    g_PlaylistCtrl.GetCurrentDir(text);
    EXPECT_STREQ(text, "/MY_FOLDER");
    GetParameter("/LOCAL/LastFile", text);
    EXPECT_STREQ(text, "/MY_FOLDER/KST7_0002/B.MOV");
}

TEST_F(StateControlTest, UsbStorageTakesTheCardAfterFiveIdlePassesAndEndsInPowerOff)
{
    ChkSdCard(KEY_SD_DETECT);
    ASSERT_EQ(g_bSdCard, 1);
    const unsigned long cable = KEY_SD_DETECT | KEY_USB_DETECT;
    for (int pass = 0; pass < 4; ++pass)
        ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 0);
    // No accepted card: the count starts again.
    g_bSdCard = 0;
    ChkUsb(cable);
    g_bSdCard = 1;
    for (int pass = 0; pass < 4; ++pass)
        ChkUsb(cable);
    EXPECT_EQ(g_bUsbMode, 0);
    ChkUsb(cable);
    ASSERT_EQ(g_bUsbMode, 1);
    EXPECT_EQ(g_bSdCard, 0);
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 1);
    EXPECT_FALSE(IsMount(SDCARD_PARTITION));

    // The USB host has the card: the device cannot mount or open it, and
    // the card check leaves it alone.
    EXPECT_NE(vsystem("mount " SDCARD_PARTITION " " SDCARD_MOUNT_POINT), 0);
    int fd = SYS_open(SDCARD_PARTITION, O_RDONLY);
    EXPECT_LT(fd, 0);
    EXPECT_EQ(errno, EBUSY);
    ChkSdCard(cable);
    EXPECT_EQ(g_bSdCard, 0);
    EXPECT_EQ(g_bSdCardFormatReq, 0);

    // The cable pulled: the export ends and the device switches off at once.
    ChkUsb(KEY_SD_DETECT);
    EXPECT_EQ(State().usb.gadgetLoaded.load(), 0);
    EXPECT_EQ(g_bPowerOffReq, 1);
    EXPECT_GE(DeltaTime(g_dwPowerOffTime, GetTime()), 15000u) << "no 15 s notice";
    g_bPowerOffReq = 0;
}

TEST_F(StateControlTest, HdmiStaysOffInTheRecorderOnOtherScreensAndWithoutADisplay)
{
    ASSERT_EQ(HDIM_Init(), 1);
    ChkSdCard(KEY_SD_DETECT);
    vrec::board::SetKeyBits(State(), vrec::board::keybit::kHdmiCable, true);
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    const unsigned long cable = KEY_SD_DETECT | KEY_HDMI_DETECT;
    g_ScreenManager.SetActive("player", 1);
    g_bRecorder = 1;
    ChkHdmi(cable);
    EXPECT_EQ(g_bHdmi, 0) << "the recorder keeps the LCD";
    g_bRecorder = 0;
    g_ScreenManager.SetActive("menu", 1);
    ChkHdmi(cable);
    EXPECT_EQ(g_bHdmi, 0) << "only the player screen goes to HDMI";
    g_ScreenManager.SetActive("player", 1);
    State().hdmi.sink = 0;
    ChkHdmi(cable);
    EXPECT_EQ(g_bHdmi, 0) << "no display answers on the cable";
    HDIM_Exit();
}

TEST_F(StateControlTest, DetectLinesDriveTheSpeakerTheCameraLedAndFlip)
{
    SND_ValInit();
    using namespace vrec::board::keybit;
    auto pass = [](uint32_t set, uint32_t clear) {
        vrec::board::SetKeyBits(State(), clear, false);
        vrec::board::SetKeyBits(State(), set, true);
        KEY_Get(1, nullptr);
        StateControlPass();
    };
    // No headphones, speaker switch on, the player: the speaker plays.
    pass(kPhoneDetect | kCameraSw | kSdDetect, kSpeaker | kMicDetect);
    EXPECT_EQ(State().sound.mixer.speaker.load(), 1);
    EXPECT_EQ(g_bCameraFlip, 0);
    pass(0, kPhoneDetect);
    EXPECT_EQ(State().sound.mixer.speaker.load(), 0) << "headphones plugged";
    pass(kPhoneDetect, 0);
    EXPECT_EQ(State().sound.mixer.speaker.load(), 1);
    g_bRecorder = 1;
    pass(0, 0);
    EXPECT_EQ(State().sound.mixer.speaker.load(), 0) << "the recorder is silent";
    g_bRecorder = 0;
    pass(kSpeaker, 0);
    EXPECT_EQ(State().sound.mixer.speaker.load(), 0) << "the speaker switch";

    g_bRecording = 1;
    pass(kMicDetect, kCameraSw);
    EXPECT_EQ(State().leds.camera.load(), 1) << "the camera LED shows a recording";
    EXPECT_EQ(g_bCameraFlip, 1);
    EXPECT_EQ(g_bExtAudio, 1);
    g_bRecording = 0;
    pass(0, kMicDetect);
    EXPECT_EQ(State().leds.camera.load(), 0);
    EXPECT_EQ(g_bExtAudio, 0);

    // Any thread's sync request is served.
    uint32_t syncs = State().firmware.syncs.load();
    g_bSyncReq = 1;
    pass(0, 0);
    EXPECT_EQ(g_bSyncReq, 0);
    EXPECT_GT(State().firmware.syncs.load(), syncs);
    SND_ValExit();
}

}  // namespace
