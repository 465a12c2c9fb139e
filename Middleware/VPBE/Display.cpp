#include "Middleware/VPBE/Display.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Led.h"
#include "DrvLib/Msp430.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "media-stack/VideoDriver.h"
#include "player/Player.h"

#include <stdio.h>

#define VPBE_BUFFERS 3
#define DIS_BUFFERS 3
#define DIS_CAPTURE_BUFFERS 7
#define PREVIEW_WIDTH 320
#define PREVIEW_HEIGHT 240

enum
{
    LAYOUT_LCD = 0,
    LAYOUT_720P = 1,
    LAYOUT_VGA = 2,
};

int g_bDispHdmi = 0;
int g_bSetAV_MuteOFF_Flag = 0;
Fifo_Handle g_hDisplayIn = nullptr;
Fifo_Handle g_hDisplayFree = nullptr;
Fifo_Handle g_hDisplayForCaptureIn = nullptr;
Fifo_Handle g_hDisplayForCaptureFree = nullptr;
Display_Handle g_hDisplayHdmi = nullptr;

static BufTab_Handle s_hVpbeBufTab = nullptr;
static BufTab_Handle s_hDisBufTab = nullptr;
static BufTab_Handle s_hDisBufTabForCapture = nullptr;
static Display_Handle s_hDisplayLcd = nullptr;
static Rotation_Handle s_hRotation = nullptr;
static int s_nVpbeLayout = LAYOUT_LCD;
static int s_bChangeHdmiImageSize = 0;
static void* s_pHdmiLock = nullptr;  // the HDMI window against being made again

static void BlackFillTable(BufTab_Handle hBufTab)
{
    for (int i = 0; i < BufTab_getNumBufs(hBufTab); ++i)
        Buffer_BlackFill(BufTab_getBuf(hBufTab, i));
}

void DisplaySetVpbeBuftabType(int nType)
{
    static const BufferGfx_Dimensions s_aLayout[3] = {
        {0, 0, 240, 320, 480}, {0, 0, 1280, 720, 2560}, {0, 0, 640, 480, 1280}};
    if (nType < LAYOUT_LCD || nType > LAYOUT_VGA)
        return;
    s_nVpbeLayout = nType;
    for (int i = 0; i < BufTab_getNumBufs(s_hVpbeBufTab); ++i)
        BufferGfx_setDimensions(BufTab_getBuf(s_hVpbeBufTab, i), &s_aLayout[nType]);
    BlackFillTable(s_hVpbeBufTab);
}

int DisplayisLCD_Enable(void)
{
    return s_hDisplayLcd != nullptr;
}

void DisplayisChangeHdmiImageSize(void)
{
    s_bChangeHdmiImageSize = 1;
}

int DisplayHdmiExists(void)
{
    return g_hDisplayHdmi != nullptr;
}

int DisplayHdmiGet(Buffer_Handle* phBuf)
{
    TH_Lock(s_pHdmiLock);
    int nResult = g_hDisplayHdmi ? Display_get(g_hDisplayHdmi, phBuf) : Dmai_EFAIL;
    TH_Unlock(s_pHdmiLock);
    return nResult;
}

int DisplayHdmiPut(Buffer_Handle hBuf)
{
    TH_Lock(s_pHdmiLock);
    int nResult = g_hDisplayHdmi ? Display_put(g_hDisplayHdmi, hBuf) : Dmai_EFAIL;
    TH_Unlock(s_pHdmiLock);
    return nResult;
}

static Display_Handle CreateDisplay(int nLayout)
{
    static const int s_anSize[3][2] = {{240, 320}, {1280, 720}, {640, 480}};
    DisplaySetVpbeBuftabType(nLayout);
    Display_Attrs attrs = Display_Attrs_DEFAULT;
    attrs.numBufs = VPBE_BUFFERS;
    attrs.width = s_anSize[nLayout][0];
    attrs.height = s_anSize[nLayout][1];
    attrs.lineLength = attrs.width * 2;
    attrs.displayDevice = nLayout == LAYOUT_LCD ? VIDEO_LCD_DEVICE : VIDEO_HDMI_DEVICE;
    return Display_create(s_hVpbeBufTab, &attrs);
}

static int HdmiLayoutForPlayWidth(void)
{
    return g_nVideoPlayWidth == 1280 ? LAYOUT_720P : LAYOUT_VGA;
}

static int CreateHdmiDisplay(void)
{
    int nLayout = HdmiLayoutForPlayWidth();
    printf(nLayout == LAYOUT_720P ? "Display_create():720P\n" : "Display_create():VGA\n");
    TH_Lock(s_pHdmiLock);
    g_hDisplayHdmi = CreateDisplay(nLayout);
    TH_Unlock(s_pHdmiLock);
    return g_hDisplayHdmi != nullptr;
}

static void DeleteHdmiDisplay(void)
{
    TH_Lock(s_pHdmiLock);
    if (g_hDisplayHdmi)
        Display_delete(g_hDisplayHdmi);
    g_hDisplayHdmi = nullptr;
    TH_Unlock(s_pHdmiLock);
}

// Pictures waiting for the LCD go back to their free queues.
static void ReturnWaitingPictures(void)
{
    for (int nRound = 0; nRound < 30; ++nRound) {
        Buffer_Handle hBuf = nullptr;
        int bMoved = 0;
        if (Fifo_getNumEntries(g_hDisplayIn) > 0 && Fifo_get(g_hDisplayIn, &hBuf) == Dmai_EOK) {
            Fifo_put(g_hDisplayFree, hBuf);
            bMoved = 1;
        }
        if (Fifo_getNumEntries(g_hDisplayForCaptureIn) > 0 && Fifo_get(g_hDisplayForCaptureIn, &hBuf) == Dmai_EOK) {
            Fifo_put(g_hDisplayForCaptureFree, hBuf);
            bMoved = 1;
        }
        if (!bMoved)
            SleepMS(10);
    }
}

static int SwitchToHdmi(void)
{
    LED_SetBacklight(0);
    ReturnWaitingPictures();
    if (s_hDisplayLcd)
        Display_delete(s_hDisplayLcd);
    s_hDisplayLcd = nullptr;
    MSP430_SetLcdReset(0);
    if (!CreateHdmiDisplay()) {
        ERR_PRINT("Failed to create display device fb1\n");
        return 0;
    }
    s_bChangeHdmiImageSize = 0;
    printf("DisplayThread()->g_bSetAV_MuteOFF_Flag\n");
    g_bSetAV_MuteOFF_Flag = 1;
    FB_ChgVram(0, 640, 480, 1);
    SleepMS(70);
    return 1;
}

static int SwitchToLcd(void)
{
    // Let the decoder finish what the player queued for HDMI (a decoder
    // that does not run will not: then at most 5 s).
    DWORD dwStart = GetTime();
    for (int nEmpty = 0; nEmpty < 30 && !g_bQuit;) {
        if (g_hDecoderIn && Fifo_getNumEntries(g_hDecoderIn) > 0 && DeltaTime(dwStart, GetTime()) < 5000) {
            SleepMS(20);
            continue;
        }
        ++nEmpty;
        SleepMS(10);
    }
    g_bDispHdmi = 0;
    DeleteHdmiDisplay();
    MSP430_SetLcdReset(1);
    s_hDisplayLcd = CreateDisplay(LAYOUT_LCD);
    if (!s_hDisplayLcd) {
        ERR_PRINT("Failed to create display device fb3\n");
        return 0;
    }
    FB_ChgVram(1, 240, 320, 0);
    SleepMS(70);
    LED_SetBacklight(static_cast<int>(GetParameter("/Setup/DIMMER", nullptr)));
    return 1;
}

// The HDMI window follows the size of the pictures played.
static int FollowPlaySize(void)
{
    if (!g_hDisplayHdmi || (s_nVpbeLayout == HdmiLayoutForPlayWidth() && !s_bChangeHdmiImageSize))
        return 1;
    s_bChangeHdmiImageSize = 0;
    printf(HdmiLayoutForPlayWidth() == LAYOUT_720P ? "DisplayThread(720p)\n" : "DisplayThread(vga)\n");
    DeleteHdmiDisplay();
    if (!CreateHdmiDisplay()) {
        ERR_PRINT("Failed to create display device fb1\n");
        return 0;
    }
    if (GetActionMode() == ACTION_MODE_PHOTO && !g_bKeepStop) {
        printf("DisplayThread(222)->g_bSetAV_MuteOFF_Flag\n");
        g_bSetAV_MuteOFF_Flag = 1;
    }
    return 1;
}

// The next picture for the LCD: a player picture, else a camera preview
// (every third one, or in audio mode one in thirty unless a photo was taken).
static Buffer_Handle TakePicture(int* pbPreview)
{
    static int s_nPreviews = 0;
    Buffer_Handle hBuf = nullptr;
    if (Fifo_getNumEntries(g_hDisplayIn) > 0 && Fifo_get(g_hDisplayIn, &hBuf) == Dmai_EOK) {
        *pbPreview = 0;
        return hBuf;
    }
    while (Fifo_getNumEntries(g_hDisplayForCaptureIn) > 0 && Fifo_get(g_hDisplayForCaptureIn, &hBuf) == Dmai_EOK) {
        ++s_nPreviews;
        int bShow;
        if (GetActionMode() != ACTION_MODE_SOUND) {
            bShow = s_nPreviews % 3 == 0;
        } else {
            bShow = g_bPhotoCaptured || s_nPreviews >= 30;
            if (bShow)
                s_nPreviews = 0;
        }
        if (bShow) {
            *pbPreview = 1;
            return hBuf;
        }
        Fifo_put(g_hDisplayForCaptureFree, hBuf);
    }
    return nullptr;
}

// Turns the 320 x 240 picture into the portrait panel and shows it.
static int ShowOnLcd(Buffer_Handle hPicture, int bPreview, int* pbRotationReady)
{
    Buffer_Handle hScreen = nullptr;
    if (Display_get(s_hDisplayLcd, &hScreen) != Dmai_EOK) {
        ERR_PRINT("Failed to get display buffer\n");
        return 0;
    }
    if (!*pbRotationReady) {
        if (Rotation_config(s_hRotation, hPicture, hScreen) != Dmai_EOK) {
            ERR_PRINT("Failed to Rotation_config()\n");
            return 0;
        }
        *pbRotationReady = 1;
    }
    int nDirection = bPreview ? 1 - g_bCameraFlip : 0;
    if (Rotation_execute(s_hRotation, hPicture, hScreen, nDirection) != Dmai_EOK) {
        ERR_PRINT("cannot Rotation execute \n");
        return 0;
    }
    if (Display_put(s_hDisplayLcd, hScreen) != Dmai_EOK) {
        ERR_PRINT("Failed to put display buffer\n");
        return 0;
    }
    return 1;
}

static int DisplayInit(void)
{
    g_hDisplayIn = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hDisplayFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hDisplayForCaptureIn = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hDisplayForCaptureFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    s_pHdmiLock = TH_CreateLock();
    s_hVpbeBufTab = CreatePictureBufTab(VPBE_BUFFERS, 1280, 720);
    s_hDisBufTab = CreatePictureBufTab(DIS_BUFFERS, PREVIEW_WIDTH, PREVIEW_HEIGHT);
    if (!g_hDisplayIn || !g_hDisplayFree || !g_hDisplayForCaptureIn || !g_hDisplayForCaptureFree || !s_hVpbeBufTab ||
        !s_hDisBufTab) {
        ERR_PRINT("Failed to create disp buftab\n");
        return 0;
    }
    s_hDisBufTabForCapture = CreatePictureBufTab(DIS_CAPTURE_BUFFERS, PREVIEW_WIDTH, PREVIEW_HEIGHT);
    if (!s_hDisBufTabForCapture) {
        ERR_PRINT("Failed to create s_hDisBufTabForCapture \n");
        return 0;
    }
    BlackFillTable(s_hVpbeBufTab);
    BlackFillTable(s_hDisBufTab);
    BlackFillTable(s_hDisBufTabForCapture);
    for (int i = 0; i < DIS_BUFFERS; ++i)
        Fifo_put(g_hDisplayFree, BufTab_getBuf(s_hDisBufTab, i));
    for (int i = 0; i < DIS_CAPTURE_BUFFERS; ++i)
        Fifo_put(g_hDisplayForCaptureFree, BufTab_getBuf(s_hDisBufTabForCapture, i));
    s_hRotation = Rotation_create(&Rotation_Attrs_DEFAULT);
    if (!s_hRotation) {
        ERR_PRINT("Failed to create rotation device\n");
        return 0;
    }
    s_hDisplayLcd = CreateDisplay(LAYOUT_LCD);
    if (!s_hDisplayLcd) {
        ERR_PRINT("Failed to create display device\n");
        return 0;
    }
    return 1;
}

static void DisplayExit(void)
{
    if (s_hDisplayLcd)
        Display_delete(s_hDisplayLcd);
    s_hDisplayLcd = nullptr;
    DeleteHdmiDisplay();
    if (s_hRotation)
        Rotation_delete(s_hRotation);
    s_hRotation = nullptr;
    Fifo_Handle* aphFifo[4] = {&g_hDisplayIn, &g_hDisplayFree, &g_hDisplayForCaptureIn, &g_hDisplayForCaptureFree};
    for (Fifo_Handle* phFifo : aphFifo) {
        if (*phFifo)
            Fifo_delete(*phFifo);
        *phFifo = nullptr;
    }
    BufTab_Handle* aphTab[3] = {&s_hVpbeBufTab, &s_hDisBufTab, &s_hDisBufTabForCapture};
    for (BufTab_Handle* phTab : aphTab) {
        if (*phTab)
            BufTab_delete(*phTab);
        *phTab = nullptr;
    }
    TH_DeleteLock(s_pHdmiLock);
    s_pHdmiLock = nullptr;
}

void* DisplayThread(void* pArg)
{
    if (!DisplayInit())
        gblSetQuit();
    Rendezvous_meet(g_hRendezvousInit);

    int bRotationReady = 0;
    while (!g_bQuit) {
        if (g_bHdmi && !g_bDispHdmi) {
            if (!SwitchToHdmi()) {
                gblSetQuit();
                break;
            }
            g_bDispHdmi = g_bHdmi;
        } else if (!g_bHdmi && g_bDispHdmi) {
            if (!SwitchToLcd()) {
                gblSetQuit();
                break;
            }
            bRotationReady = 0;
            g_bDispHdmi = g_bHdmi;
        }
        if (g_bDispHdmi && !FollowPlaySize()) {
            gblSetQuit();
            break;
        }

        int bPreview = 0;
        Buffer_Handle hPicture = TakePicture(&bPreview);
        if (!hPicture) {
            SleepMS(10);
            continue;
        }
        if (s_hDisplayLcd && !ShowOnLcd(hPicture, bPreview, &bRotationReady)) {
            gblSetQuit();
            break;
        }
        if (Fifo_put(bPreview ? g_hDisplayForCaptureFree : g_hDisplayFree, hPicture) < 0) {
            ERR_PRINT(bPreview ? "Failed to put display buffer 2\n" : "Failed to put display buffer 1\n");
            gblSetQuit();
            break;
        }
    }

    Rendezvous_force(g_hRendezvousInit);
    Fifo_flush(g_hDisplayFree);
    Rendezvous_meet(g_hRendezvousCleanup);
    DisplayExit();
    return nullptr;
}
