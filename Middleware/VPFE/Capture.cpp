#include "Middleware/VPFE/Capture.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/CODEC/Jpeg.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"

#include <stdio.h>
#include <string.h>

#define VPFE_BUFFERS 7
#define VPFE_WIDTH 1280
#define VPFE_LINES 780  // a 1280 x 720 frame and its 320 x 240 preview behind it
#define SCALER_BUFFERS 3
#define PREVIEW_BYTES (320 * 240 * 2)
#define ZOOM_STEPS 31
#define FIRST_FRAMES_UNSHOWN 7
#define FRAMES_AFTER_AUDIO 6
#define DISP_ZOOM_DELAY 6
#define SETTLING_STEPS 4
#define SNAP_WAIT_POLLS 100  // of 100 ms

int g_bStartRecCap = 0;
int g_nZoom = 100;
int g_nDispZoom = -1;
int g_nWhiteBalance = 0;
int g_bTestCameraMode = 0;
int g_nVideoRecordWidth = 1280;
int g_nVideoRecordHeight = 720;
Fifo_Handle g_hResizerIn = nullptr;
Fifo_Handle g_hResizerFree = nullptr;
Buffer_Handle g_hResizeDstBuffer = nullptr;
Capture_Handle g_hCapture = nullptr;

static BufTab_Handle s_hVpfeBufTab = nullptr;
static Resize_Handle s_hResize = nullptr;
static int s_bResetReq = 0;
static int s_bStartPlayResize = 0;
static int s_nWhiteBalance = 0;
static int s_bThreadRunning = 0;
static int s_bSnapReq = 0;
static int s_bSnapTempReq = 0;
static int s_nSnapResult = 0;
// Scaler inputs the capture thread holds (not lent to a decoder or the player).
static int s_abScalerHeld[SCALER_BUFFERS] = {1, 1, 1};
// The capture device against the console using it while it goes away.
static void* s_pCaptureLock = nullptr;
static int s_nMissedFrames = 0;

int VPFE_GetMissedFrames(void)
{
    return s_nMissedFrames;
}

// Crop windows by zoom ((zoom - 100) / 10): 32 x 18 and 16 x 12 smaller per step.
struct ZOOM_PARA
{
    int nWidth;
    int nHeight;
};
static ZOOM_PARA s_ZoomPara720p[ZOOM_STEPS];
static ZOOM_PARA s_ZoomParaVGA[ZOOM_STEPS];

static void InitZoomTables(void)
{
    for (int i = 0; i < ZOOM_STEPS; ++i) {
        s_ZoomPara720p[i] = {1280 - 32 * i, 720 - 18 * i};
        s_ZoomParaVGA[i] = {640 - 16 * i, 480 - 12 * i};
    }
}

static const ZOOM_PARA& ZoomPara(int nZoom, int nWidth)
{
    int nIndex = (nZoom - 100) / 10;
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex >= ZOOM_STEPS)
        nIndex = ZOOM_STEPS - 1;
    return nWidth == 1280 ? s_ZoomPara720p[nIndex] : s_ZoomParaVGA[nIndex];
}

static void SetPictureSize(Buffer_Handle hBuf, int nX, int nY, int nWidth, int nHeight)
{
    BufferGfx_Dimensions dim = {nX, nY, nWidth, nHeight, nWidth * 2};
    BufferGfx_setDimensions(hBuf, &dim);
}

static void ReadRecordingSize(void)
{
    int nSize = static_cast<int>(GetParameter("/REC Quality/IMAGE SIZE", nullptr));
    g_nVideoRecordWidth = nSize == 640 ? 640 : 1280;
    g_nVideoRecordHeight = nSize == 640 ? 480 : 720;
}

// ---- Requests from other threads -------------------------------------------

void ResetVideoCapture(void)
{
    if (!s_bThreadRunning)
        return;
    s_bResetReq = 1;
    while (s_bResetReq && s_bThreadRunning)
        SleepMS(10);
}

void WaitStartPlayResizer(void)
{
    for (int i = 0; i < 400; ++i) {
        if (s_bStartPlayResize)
            return;
        SleepMS(10);
    }
    printf("timeout Start Play Resizer!!\n");
}

// The request stays pending until recorder mode has taken the photo; a
// capture path that never takes it (not in recorder mode) fails the request
// after 10 s rather than holding the caller for good.
static int WaitForSnap(int* pbRequest)
{
    s_nSnapResult = -2;
    *pbRequest = 1;
    for (int i = 0; *pbRequest && i < SNAP_WAIT_POLLS; ++i)
        SleepMS(100);
    if (*pbRequest) {
        *pbRequest = 0;
        return -2;
    }
    return s_nSnapResult;
}

int SnapImage(void)
{
    return WaitForSnap(&s_bSnapReq);
}

int SnapImageTemp(void)
{
    return WaitForSnap(&s_bSnapTempReq);
}

int IsSnapImage(void)
{
    return s_bSnapReq;
}

int IsSnapImageTemp(void)
{
    return s_bSnapTempReq;
}

int VPFE_GetCameraReg(int nReg, unsigned long* pdwValue)
{
    TH_Lock(s_pCaptureLock);
    int bOk = g_hCapture && Capture_getCameraReg(g_hCapture, nReg, pdwValue) == Dmai_EOK;
    TH_Unlock(s_pCaptureLock);
    return bOk;
}

int VPFE_SetCameraReg(int nReg, unsigned long dwValue)
{
    TH_Lock(s_pCaptureLock);
    int bOk = g_hCapture && Capture_setCameraReg(g_hCapture, nReg, dwValue) == Dmai_EOK;
    TH_Unlock(s_pCaptureLock);
    return bOk;
}

int VPFE_SetColorbar(int bOn)
{
    TH_Lock(s_pCaptureLock);
    int bOk = g_hCapture && Capture_setColrbar(g_hCapture, bOn) == Dmai_EOK;
    TH_Unlock(s_pCaptureLock);
    return bOk;
}

// ---- Capture table -----------------------------------------------------------

int ChgVpfeBufTabToRecMode(void)
{
    int nTaken = 0;
    for (int i = 0; i < SCALER_BUFFERS; ++i)
        nTaken += s_abScalerHeld[i];
    for (int nPoll = 0; nTaken < SCALER_BUFFERS && nPoll < 100; ++nPoll) {
        Buffer_Handle hBuf = nullptr;
        if ((Fifo_getNumEntries(g_hResizerFree) > 0 && Fifo_get(g_hResizerFree, &hBuf) == Dmai_EOK) ||
            (Fifo_getNumEntries(g_hResizerIn) > 0 && Fifo_get(g_hResizerIn, &hBuf) == Dmai_EOK)) {
            for (int i = 0; i < SCALER_BUFFERS; ++i)
                if (BufTab_getBuf(s_hVpfeBufTab, i) == hBuf && !s_abScalerHeld[i]) {
                    s_abScalerHeld[i] = 1;
                    ++nTaken;
                }
            continue;
        }
        SleepMS(10);
    }
    if (nTaken < SCALER_BUFFERS) {
        printf("ChgVpfeBufTabToRecMode()...timeout![%d][%d][%d]\n", Fifo_getNumEntries(g_hResizerFree),
               Fifo_getNumEntries(g_hResizerIn), nTaken);
        return 0;
    }
    BufTab_freeAll(s_hVpfeBufTab);
    for (int i = 0; i < VPFE_BUFFERS; ++i)
        SetPictureSize(BufTab_getBuf(s_hVpfeBufTab, i), 0, 0, VPFE_WIDTH, VPFE_LINES);
    return 1;
}

int ChgVpfeBufTabToPlayMode(void)
{
    BufTab_freeAll(s_hVpfeBufTab);
    for (int i = 0; i < SCALER_BUFFERS; ++i) {
        Buffer_Handle hBuf = BufTab_getBuf(s_hVpfeBufTab, i);
        SetPictureSize(hBuf, 0, 0, 1280, 720);
        if (s_abScalerHeld[i]) {
            s_abScalerHeld[i] = 0;
            Fifo_put(g_hResizerFree, hBuf);
        }
    }
    return 1;
}

// ---- Recorder and test camera modes ------------------------------------------

struct REC_CAPTURE
{
    Previewer_Handle hPrv;
    int nWidth;
    int nHeight;
};

static void DeleteScaler(void)
{
    if (s_hResize)
        Resize_delete(s_hResize);
    s_hResize = nullptr;
}

// The scaler, the previewer chained behind the capture, and the capture device.
static int StartCamera(CaptureEnv* pEnv, REC_CAPTURE& rec)
{
    rec.nWidth = g_nVideoRecordWidth;
    rec.nHeight = g_nVideoRecordHeight;
    s_hResize = Resize_create(nullptr);
    if (!s_hResize) {
        ERR_PRINT("Failed to create resize device\n");
        return 0;
    }
    Previewer_Attrs prvAttrs = Previewer_Attrs_DEFAULT;
    prvAttrs.autoWhiteBalance = g_nWhiteBalance == 0 ? 1 : 0;
    rec.hPrv = Previewer_create(&prvAttrs);
    if (!rec.hPrv) {
        ERR_PRINT("Failed to create previewer device\n");
        return 0;
    }
    Buffer_Handle hFrame = nullptr;
    Buffer_Handle hPreview = nullptr;
    if (Fifo_get(pEnv->hInFifo, &hFrame) != Dmai_EOK || Fifo_get(g_hDisplayForCaptureFree, &hPreview) != Dmai_EOK) {
        ERR_PRINT("Failed to Resize_chain_config()\n");
        return 0;
    }
    SetPictureSize(hFrame, 0, 0, rec.nWidth, rec.nHeight);
    int bChained = Resize_chain_config2(s_hResize, rec.hPrv, hFrame, hPreview) == Dmai_EOK;
    int bPreviewer = bChained && Previewer_config2(rec.hPrv, hFrame, hPreview) == Dmai_EOK;
    Fifo_put(pEnv->hInFifo, hFrame);
    Fifo_put(g_hDisplayForCaptureFree, hPreview);
    if (!bChained || !bPreviewer) {
        ERR_PRINT(bChained ? "Failed to Previewer_config2()\n" : "Failed to Resize_chain_config()\n");
        return 0;
    }
    Capture_Attrs attrs = Capture_Attrs_DEFAULT;
    attrs.numBufs = VPFE_BUFFERS;
    attrs.colorSpace = ColorSpace_UYVY;
    attrs.width = rec.nWidth;
    attrs.height = rec.nHeight;
    attrs.videoStd = rec.nWidth == 1280 ? VideoStd_720P_30 : VideoStd_VGA;
    Capture_Handle hCapture = Capture_create(s_hVpfeBufTab, &attrs);
    if (!hCapture) {
        ERR_PRINT("Failed to create capture device\n");
        return 0;
    }
    Capture_setWhiteBalarance(hCapture, g_nWhiteBalance);
    s_nWhiteBalance = g_nWhiteBalance;
    g_hCapture = hCapture;
    return 1;
}

static void StopCamera(REC_CAPTURE& rec)
{
    TH_Lock(s_pCaptureLock);
    Capture_Handle hCapture = g_hCapture;
    g_hCapture = nullptr;
    TH_Unlock(s_pCaptureLock);
    if (hCapture) {
        Capture_setCrop(hCapture, rec.nWidth, rec.nHeight);
        Capture_setWhiteBalarance(hCapture, 0);
        Capture_cameraInit(hCapture);
        Capture_delete(hCapture);
    }
    if (rec.hPrv)
        Previewer_delete(rec.hPrv);
    rec.hPrv = nullptr;
    DeleteScaler();
}

// The capture thread cannot wait for good on a queue whose other side may
// have stopped.
static Buffer_Handle TakeBuffer(Fifo_Handle hFifo)
{
    Buffer_Handle hBuf = nullptr;
    return Fifo_getPoll(hFifo, &hBuf, 200) == Dmai_EOK ? hBuf : nullptr;
}

// The frame and preview of the capture before, again (zoom settling).
static void ReusePrevious(Buffer_Handle hPrevRaw, Buffer_Handle hFrame, Buffer_Handle hPreview, int nWidth, int nHeight)
{
    const int8_t* pRaw = Buffer_getUserPtr(hPrevRaw);
    int32_t nFrameBytes = nWidth * nHeight * 2;
    if (hFrame) {
        memcpy(Buffer_getUserPtr(hFrame), pRaw, static_cast<size_t>(nFrameBytes));
        Buffer_setNumBytesUsed(hFrame, nFrameBytes);
    }
    if (hPreview) {
        int32_t nOffset = (nFrameBytes + 639) / 640 * 640;
        memcpy(Buffer_getUserPtr(hPreview), pRaw + nOffset, PREVIEW_BYTES);
        Buffer_setNumBytesUsed(hPreview, PREVIEW_BYTES);
    }
}

static void TakePhoto(Buffer_Handle hFrame, int bTemporary)
{
    if (bTemporary) {
        s_nSnapResult = hFrame && JPEG_EncodeToFile("/sdcard/.tmp.jpg", hFrame) ? 0 : -2;
        g_bPhotoCaptured = 1;
        s_bSnapTempReq = 0;
        return;
    }
    char szCurrent[512];
    char szDir[512];
    char szName[256];
    char szPath[800];
    g_PlaylistCtrl.GetCurrentDir(szCurrent);
    ToRealPath(szDir, szCurrent);
    if (!GetNextFileName(szName, szDir, "jpg")) {
        s_nSnapResult = -1;
    } else {
        snprintf(szPath, sizeof(szPath), "%s/%s", szDir, szName);
        if (hFrame && JPEG_EncodeToFile(szPath, hFrame)) {
            SaveFileNumber();
            s_nSnapResult = 0;
            SleepMS(1500);
        } else {
            s_nSnapResult = -2;
        }
    }
    s_bSnapReq = 0;
}

static int CardUnusable(void)
{
    return g_bUsbMode || !g_bSdCard || g_bSdCardFormatReq || g_bSdCardFormatting;
}

static int FramesWanted(void)
{
    if (GetActionMode() != ACTION_MODE_MOVIE || g_bRecPause)
        return 0;
    if (g_bRecording)
        return 1;
    return static_cast<int>(GetParameter("/Rec Option/PRE REC", nullptr)) == 1 && !g_bAfterRecMode && !g_bAfterRecording;
}

// While frames are not wanted, the thread waits for the next one watching
// for a recording to start, so that it knows the moment to a few ms.
static int WaitNoticingStart(long long* pllNoticedUs)
{
    *pllNoticedUs = 0;
    if (FramesWanted())
        return 1;
    while (!g_bQuit && !Capture_waitFrame(g_hCapture, 2)) {
        if (!*pllNoticedUs && FramesWanted())
            *pllNoticedUs = GetTimeUS();
    }
    return 0;
}

// A recording starts with the frame nearest to its start, as the sound
// does: when that is the frame before the one just taken, the earlier one
// is sent first (from the last capture, which is still held).
static void SendEarlierFrame(CaptureEnv* pEnv, const REC_CAPTURE& rec, Buffer_Handle hLastRaw, long long llLastRawUs,
                             long long llArrivalUs, long long llNoticedUs)
{
    const long long llFrameUs = 33333;
    if (!hLastRaw || !llNoticedUs || llArrivalUs - llLastRawUs > llFrameUs + llFrameUs / 2 ||
        llArrivalUs - llNoticedUs <= llFrameUs / 2 - 2000)
        return;
    Buffer_Handle hEarlier = TakeBuffer(pEnv->hInFifo);
    if (!hEarlier)
        return;
    SetPictureSize(hEarlier, 0, 0, rec.nWidth, rec.nHeight);
    ReusePrevious(hLastRaw, hEarlier, nullptr, rec.nWidth, rec.nHeight);
    if (Fifo_put(pEnv->hOutFifo, hEarlier) < 0)
        ERR_PRINT("Failed to send buffer to video thread\n");
}

static void RecCaptureLoop(CaptureEnv* pEnv)
{
    printf("***** ENTER RECORDER MODE\n");
    REC_CAPTURE rec = {nullptr, 0, 0};
    if (!StartCamera(pEnv, rec)) {
        StopCamera(rec);
        gblSetQuit();
        return;
    }
    Buffer_Handle hFrame = nullptr;    // the recording frame held
    Buffer_Handle hLastRaw = nullptr;  // the last capture shown, kept until the next one
    long long llLastRawUs = 0;
    int bFirst = 1;
    int nFlip = -1;
    int nZoom = 100;
    int nDispZoomDelay = 0;
    int nSettling = 0;
    int nFrames = 0;
    int nAfterAudio = FRAMES_AFTER_AUDIO;
    g_nDispZoom = 100;

    while (!g_bQuit && !s_bResetReq && g_bRecorder && !g_bTestCameraMode) {
        if (CardUnusable()) {
            SleepMS(10);
            continue;
        }
        if (g_bCameraFlip != nFlip) {
            nFlip = g_bCameraFlip;
            Capture_setFlip(g_hCapture, nFlip);
        }
        if (g_nWhiteBalance != s_nWhiteBalance) {
            s_nWhiteBalance = g_nWhiteBalance;
            Previewer_setWhiteBalance(rec.hPrv, s_nWhiteBalance);
            Capture_setWhiteBalarance(g_hCapture, s_nWhiteBalance);
        }
        if (g_nZoom != nZoom) {
            nZoom = g_nZoom;
            const ZOOM_PARA& crop = ZoomPara(nZoom, rec.nWidth);
            Capture_setCrop(g_hCapture, crop.nWidth, crop.nHeight);
            nDispZoomDelay = DISP_ZOOM_DELAY;
            nSettling = hLastRaw ? SETTLING_STEPS : 0;
        }
        if (bFirst) {
            bFirst = 0;
            g_bStartRecCap = 1;
            printf("-- start cap --\n");
        }
        if (!hFrame) {
            hFrame = TakeBuffer(pEnv->hInFifo);
            if (hFrame) {
                SetPictureSize(hFrame, 0, 0, rec.nWidth, rec.nHeight);
                Buffer_setNumBytesUsed(hFrame, rec.nWidth * rec.nHeight * 2);
            }
        }
        Buffer_Handle hPreview = TakeBuffer(g_hDisplayForCaptureFree);

        Buffer_Handle hRaw = nullptr;
        long long llNoticedUs = 0;
        int bWantedBefore = 1;
        if (nSettling > 1) {
            // The last picture again rather than a half-cropped one.
            ReusePrevious(hLastRaw, hFrame, hPreview, rec.nWidth, rec.nHeight);
            SleepMS(33);
            --nSettling;
        } else {
            if (nSettling == 0)
                bWantedBefore = WaitNoticingStart(&llNoticedUs);
            // After the settling, frames that were already waiting are stale:
            // the first that takes a real wait is the new crop's.
            int nAttempts = nSettling == 1 ? 5 : 1;
            int nResult;
            for (int nTry = 0;; ++nTry) {
                DWORD dwStart = GetTime();
                nResult = Capture_get2(g_hCapture, &hRaw, &hFrame, &hPreview);
                if (nResult != Dmai_EOK || nTry + 1 >= nAttempts || DeltaTime(dwStart, GetTime()) > 15)
                    break;
                Capture_put(g_hCapture, hRaw);
            }
            nSettling = 0;
            if (nResult != Dmai_EOK) {
                ERR_PRINT("Failed to get capture buffer\n");
                if (hPreview)
                    Fifo_put(g_hDisplayForCaptureFree, hPreview);
                gblSetQuit();
                break;
            }
            long long llArrivalUs = GetTimeUS();
            ++nFrames;
            int bUnshown = nFrames <= FIRST_FRAMES_UNSHOWN;
            if (!bUnshown && GetActionMode() != ACTION_MODE_PHOTO) {
                if (!g_bAudioCaptureRunning2) {
                    nAfterAudio = FRAMES_AFTER_AUDIO;
                    bUnshown = 1;
                } else if (nAfterAudio > 0) {
                    --nAfterAudio;
                    bUnshown = 1;
                }
            }
            if (bUnshown) {
                Capture_put(g_hCapture, hRaw);
                if (hPreview)
                    Fifo_put(g_hDisplayForCaptureFree, hPreview);
                continue;
            }
            if (!bWantedBefore && FramesWanted())
                SendEarlierFrame(pEnv, rec, hLastRaw, llLastRawUs, llArrivalUs, llNoticedUs);
            if (hLastRaw)
                Capture_put(g_hCapture, hLastRaw);
            hLastRaw = hRaw;
            llLastRawUs = llArrivalUs;
        }
        if (nDispZoomDelay > 0 && --nDispZoomDelay == 0)
            g_nDispZoom = nZoom;

        int bTemporaryPhoto = s_bSnapTempReq;
        if (s_bSnapTempReq)
            TakePhoto(hFrame, 1);
        else if (s_bSnapReq)
            TakePhoto(hFrame, 0);

        if (FramesWanted()) {
            if (!hFrame) {
                ++s_nMissedFrames;
            } else {
                if (Fifo_put(pEnv->hOutFifo, hFrame) < 0)
                    ERR_PRINT("Failed to send buffer to video thread\n");
                hFrame = nullptr;
            }
        }
        if (hPreview) {
            if (g_bPhotoCaptured && !bTemporaryPhoto)
                Fifo_put(g_hDisplayForCaptureFree, hPreview);
            else
                Fifo_put(g_hDisplayForCaptureIn, hPreview);
        }
    }

    s_bResetReq = 0;
    g_bStartRecCap = 0;
    g_nDispZoom = -1;
    StopCamera(rec);
    if (hFrame)
        Fifo_put(pEnv->hInFifo, hFrame);
    Buffer_Handle hQueued = nullptr;
    while (Fifo_getNumEntries(pEnv->hOutFifo) > 0 && Fifo_get(pEnv->hOutFifo, &hQueued) == Dmai_EOK)
        Fifo_put(pEnv->hInFifo, hQueued);
    printf("***** LEAVE RECORDER MODE\n");
}

static void TestCameraLoop(CaptureEnv* pEnv)
{
    printf("***** ENTER TEST CAMERA MODE\n");
    g_nVideoPlayWidth = 1280;
    g_nVideoPlayHeight = 720;
    g_nVideoPlayFps = 30;
    g_nVideoRecordWidth = 1280;
    g_nVideoRecordHeight = 720;
    REC_CAPTURE rec = {nullptr, 0, 0};
    Framecopy_Handle hCopy = Framecopy_create(&Framecopy_Attrs_DEFAULT);
    if (!hCopy || !StartCamera(pEnv, rec)) {
        if (hCopy)
            Framecopy_delete(hCopy);
        StopCamera(rec);
        gblSetQuit();
        return;
    }
    int nFrames = 0;
    DWORD dwSecond = GetTime();
    while (!g_bQuit && !s_bResetReq && g_bTestCameraMode) {
        Buffer_Handle hPreview = g_bDispHdmi ? nullptr : TakeBuffer(g_hDisplayForCaptureFree);
        Buffer_Handle hRaw = nullptr;
        if (Capture_get2(g_hCapture, &hRaw, nullptr, &hPreview) != Dmai_EOK) {
            ERR_PRINT("Failed to get capture buffer\n");
            if (hPreview)
                Fifo_put(g_hDisplayForCaptureFree, hPreview);
            gblSetQuit();
            break;
        }
        if (g_bDispHdmi) {
            Buffer_Handle hScreen = nullptr;
            if (DisplayHdmiGet(&hScreen) == Dmai_EOK) {
                Framecopy_execute(hCopy, hRaw, hScreen);
                DisplayHdmiPut(hScreen);
            }
        } else if (hPreview) {
            Fifo_put(g_hDisplayForCaptureIn, hPreview);
        }
        Capture_put(g_hCapture, hRaw);
        ++nFrames;
        if (DeltaTime(dwSecond, GetTime()) >= 1000) {
            printf("%dfps\n", nFrames);
            nFrames = 0;
            dwSecond = GetTime();
        }
    }
    s_bResetReq = 0;
    StopCamera(rec);
    Framecopy_delete(hCopy);
    printf("***** LEAVE TEST CAMERA MODE\n");
}

// ---- Player mode -------------------------------------------------------------

// A few LCD pictures black, so that a letter-box shows black bars.
static void BlackFillLcdPictures(void)
{
    Buffer_Handle ahBuf[3] = {nullptr, nullptr, nullptr};
    for (Buffer_Handle& hBuf : ahBuf) {
        hBuf = TakeBuffer(g_hDisplayFree);
        if (hBuf) {
            SetPictureSize(hBuf, 0, 0, 320, 240);
            Buffer_BlackFill(hBuf);
        }
    }
    for (Buffer_Handle hBuf : ahBuf)
        if (hBuf)
            Fifo_put(g_hDisplayFree, hBuf);
}

static int PrimeScaler(void)
{
    Buffer_Handle hSrc = TakeBuffer(g_hResizerFree);
    Buffer_Handle hDst = TakeBuffer(g_hResizerFree);
    int nResult = Dmai_EOK;
    if (hSrc && hDst) {
        SetPictureSize(hSrc, 0, 0, 640, 480);
        SetPictureSize(hDst, 0, 0, 320, 240);
        nResult = Resize_execute(s_hResize, hSrc, hDst);
        SetPictureSize(hSrc, 0, 0, 1280, 720);
        SetPictureSize(hDst, 0, 0, 1280, 720);
    }
    if (hSrc)
        Fifo_put(g_hResizerFree, hSrc);
    if (hDst)
        Fifo_put(g_hResizerFree, hDst);
    return nResult;
}

static void PlayerLoop(void)
{
    printf("***** ENTER PLAYER MODE\n");
    s_hResize = Resize_create(nullptr);
    if (!s_hResize) {
        ERR_PRINT("Failed to create resize device\n");
        gblSetQuit();
        return;
    }
    PrimeScaler();
    s_bStartPlayResize = 1;

    int nSourceWidth = 0;
    int nSourceHeight = 0;
    int bHdmiSeen = g_bDispHdmi;
    int nHdmiBlack = 2;
    while (!g_bQuit && !s_bResetReq && !g_bRecorder && !g_bTestCameraMode) {
        if (Fifo_getNumEntries(g_hResizerIn) == 0) {
            SleepMS(10);
            continue;
        }
        Buffer_Handle hSrc = nullptr;
        if (Fifo_get(g_hResizerIn, &hSrc) != Dmai_EOK)
            break;
        BufferGfx_Dimensions src;
        BufferGfx_getDimensions(hSrc, &src);
        if (src.width != nSourceWidth || src.height != nSourceHeight) {
            nSourceWidth = src.width;
            nSourceHeight = src.height;
            BlackFillLcdPictures();
            Resize_recreate(s_hResize);
        }
        if (g_bDispHdmi != bHdmiSeen) {
            bHdmiSeen = g_bDispHdmi;
            nHdmiBlack = 2;
        }

        Buffer_Handle hCallerDst = g_hResizeDstBuffer;
        int bHdmi = !hCallerDst && g_bDispHdmi;
        Buffer_Handle hDst = hCallerDst;
        if (bHdmi) {
            if (DisplayHdmiGet(&hDst) != Dmai_EOK) {
                Fifo_put(g_hResizerFree, hSrc);
                continue;
            }
            if (nHdmiBlack > 0) {
                --nHdmiBlack;
                Buffer_BlackFill(hDst);
            }
            if (nSourceWidth == 1280)
                SetPictureSize(hDst, 0, 0, 1280, 720);
            else
                SetPictureSize(hDst, 0, 0, 640, 480);
        } else if (!hDst) {
            hDst = TakeBuffer(g_hDisplayFree);
            if (!hDst) {
                Fifo_put(g_hResizerFree, hSrc);
                continue;
            }
            if (nSourceWidth == 1280)
                SetPictureSize(hDst, 0, 30, 320, 180);
            else
                SetPictureSize(hDst, 0, 0, 320, 240);
        }
        if (Resize_execute(s_hResize, hSrc, hDst) != Dmai_EOK) {
            ERR_PRINT("Failed to Resize_execute()\n");
            if (!hCallerDst) {
                Fifo_put(g_hResizerFree, hSrc);
                if (bHdmi)
                    DisplayHdmiPut(hDst);
                else
                    Fifo_put(g_hDisplayFree, hDst);
            }
            s_bResetReq = 1;  // player mode starts again
            break;
        }
        if (hCallerDst) {
            g_hResizeDstBuffer = nullptr;
            continue;
        }
        Fifo_put(g_hResizerFree, hSrc);
        if (bHdmi) {
            DisplayHdmiPut(hDst);
        } else {
            // The whole 320 x 240 picture goes to the display, bars included.
            SetPictureSize(hDst, 0, 0, 320, 240);
            if (PL_IsStop() && PL_GetStopReason() != 5)
                Fifo_put(g_hDisplayFree, hDst);
            else
                Fifo_put(g_hDisplayIn, hDst);
        }
    }

    s_bResetReq = 0;
    s_bStartPlayResize = 0;
    DeleteScaler();
    printf("***** LEAVE PLAYER MODE\n");
}

// ---- Thread ----------------------------------------------------------------

void* CaptureTread(void* pArg)
{
    CaptureEnv* pEnv = static_cast<CaptureEnv*>(pArg);
    InitZoomTables();
    if (!s_pCaptureLock)
        s_pCaptureLock = TH_CreateLock();
    g_hResizerIn = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hResizerFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    s_hVpfeBufTab = CreatePictureBufTab(VPFE_BUFFERS, VPFE_WIDTH, VPFE_LINES);
    if (!g_hResizerIn || !g_hResizerFree || !s_hVpfeBufTab) {
        ERR_PRINT("Failed to create capture buftab\n");
        gblSetQuit();
    } else {
        for (int i = 0; i < SCALER_BUFFERS; ++i)
            s_abScalerHeld[i] = 1;
        ChgVpfeBufTabToPlayMode();
    }
    g_nWhiteBalance = static_cast<int>(GetParameter("/Rec Option/WHITE BALANCE", nullptr));
    s_bThreadRunning = 1;
    Rendezvous_meet(g_hRendezvousInit);

    while (!g_bQuit) {
        ReadRecordingSize();
        g_nWhiteBalance = static_cast<int>(GetParameter("/Rec Option/WHITE BALANCE", nullptr));
        g_bStartRecCap = 0;
        if (g_bTestCameraMode) {
            ChgVpfeBufTabToRecMode();
            TestCameraLoop(pEnv);
            ChgVpfeBufTabToPlayMode();
        } else if (g_bRecorder) {
            ChgVpfeBufTabToRecMode();
            RecCaptureLoop(pEnv);
            ChgVpfeBufTabToPlayMode();
        } else {
            PlayerLoop();
        }
    }

    s_bThreadRunning = 0;
    Rendezvous_force(g_hRendezvousInit);
    Fifo_flush(pEnv->hOutFifo);
    Rendezvous_meet(g_hRendezvousCleanup);
    if (s_hVpfeBufTab)
        BufTab_delete(s_hVpfeBufTab);
    s_hVpfeBufTab = nullptr;
    DeleteScaler();
    if (g_hResizerIn)
        Fifo_delete(g_hResizerIn);
    if (g_hResizerFree)
        Fifo_delete(g_hResizerFree);
    g_hResizerIn = g_hResizerFree = nullptr;
    return nullptr;
}
