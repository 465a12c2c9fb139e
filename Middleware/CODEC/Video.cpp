#include "Middleware/CODEC/Video.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Parameter.h"
#include "Lib/Thread.h"
#include "Middleware/CODEC/Jpeg.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPBE/Display.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"

#include <stdio.h>
#include <string.h>

// ---- Encoder ---------------------------------------------------------------

#define ENC_FRAMES 7
#define ENC_MAX_WIDTH 1280
#define ENC_MAX_HEIGHT 720

static BufTab_Handle s_hBufTab = nullptr;
static Venc1_Handle s_hVe1 = nullptr;
static VIDENC1_Params s_tVideoEnc1Params;
static MPEG4ENC_DynamicParams s_tVideoEnc1DynamicParams;
static int s_nEncWidth = 0;
static int s_nEncHeight = 0;
static int s_bVencStopReq = 0;

// ---- Decoder ---------------------------------------------------------------

#define DEC_INPUT_BUFFERS 2
#define DEC_OUTPUT_BUFFERS 3

Fifo_Handle g_hDecoderIn = nullptr;
Fifo_Handle g_hDecoderFree = nullptr;
int g_bVDecRunning = 0;
int g_bWaitDispImage = 0;
int g_bNonSkip = 0;
Buffer_Handle g_hTmpDecodeDst = nullptr;
int g_nDecodeResult = 0;

static BufTab_Handle s_hInBufTab = nullptr;
static BufTab_Handle s_hDecBufTab = nullptr;
static Vdec2_Handle s_hVd2 = nullptr;
static MPEG4DEC_Params s_tVideoDec2Params;
static VIDDEC2_DynamicParams s_tVideoDec2DynamicParams;
static int s_nVideoDecStat = 0;
static int s_nVideoDecCount = 0;
static int s_bVdecStopReq = 0;
static int s_bVdecDetectEOF = 1;
static int s_bVdecLoopRunning = 0;

static void SetPictureSize(Buffer_Handle hBuf, int nWidth, int nHeight)
{
    BufferGfx_Dimensions dim = {0, 0, nWidth, nHeight, nWidth * 2};
    BufferGfx_setDimensions(hBuf, &dim);
}

// ---- Encoder ---------------------------------------------------------------

int VideoEncCreateVenc1(int nWidth, int nHeight)
{
    int bHd = nWidth == 1280;
    VIDENC1_Params& p = s_tVideoEnc1Params;
    p.size = sizeof(VIDENC1_Params);
    p.encodingPreset = 2;
    p.rateControlPreset = 1;
    p.maxHeight = nHeight;
    p.maxWidth = nWidth;
    p.maxFrameRate = 30000;
    p.maxBitRate = bHd ? 8000000 : 3000000;
    p.dataEndianness = XDM_BYTE;
    p.maxInterFrameInterval = 0;
    p.inputChromaFormat = XDM_YUV_422ILE;
    p.inputContentType = IVIDEO_PROGRESSIVE;
    p.reconChromaFormat = XDM_YUV_420P;

    VIDENC1_DynamicParams& d = s_tVideoEnc1DynamicParams.videncDynamicParams;
    d.size = sizeof(MPEG4ENC_DynamicParams);
    d.inputHeight = nHeight;
    d.inputWidth = nWidth;
    d.refFrameRate = 30000;
    d.targetFrameRate = 30000;
    d.targetBitRate = bHd ? 7500000 : 2500000;
    d.intraFrameInterval = 30;
    d.generateHeader = 0;
    d.captureWidth = 0;
    d.forceFrame = -1;
    d.interFrameInterval = 1;
    d.mbDataFlag = 0;
    static const XDAS_Int32 s_anExtension[13] = {0, 0, 0, 31, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    memcpy(s_tVideoEnc1DynamicParams.extension, s_anExtension, sizeof(s_anExtension));

    s_hVe1 = Venc1_create(g_hEngine, "mpeg4enc", &s_tVideoEnc1Params, &s_tVideoEnc1DynamicParams.videncDynamicParams);
    if (!s_hVe1) {
        ERR_PRINT("********** Failed to create video encoder: %s\n", "mpeg4enc");
        return 0;
    }
    s_nEncWidth = nWidth;
    s_nEncHeight = nHeight;
    for (int i = 0; i < ENC_FRAMES; ++i)
        SetPictureSize(BufTab_getBuf(s_hBufTab, i), nWidth, nHeight);
    return 1;
}

static void DeleteEncoder(void)
{
    if (s_hVe1)
        Venc1_delete(s_hVe1);
    s_hVe1 = nullptr;
}

int VideoEncInitVal(VideoEnv* pEnv)
{
    s_hBufTab = CreatePictureBufTab(ENC_FRAMES, ENC_MAX_WIDTH, ENC_MAX_HEIGHT);
    if (!s_hBufTab) {
        ERR_PRINT("Failed to allocate contiguous buffers\n");
        return 0;
    }
    for (int i = 0; i < ENC_FRAMES; ++i) {
        if (Fifo_put(pEnv->hCaptureFree, BufTab_getBuf(s_hBufTab, i)) < 0) {
            ERR_PRINT("Failed to send buffer to display thread\n");
            return 0;
        }
    }
    // One encode brings the coprocessor up before the threads start.
    if (VideoEncCreateVenc1(ENC_MAX_WIDTH, ENC_MAX_HEIGHT)) {
        Buffer_Handle hPicture = nullptr;
        Buffer_Handle hData = nullptr;
        JPEG_GetBuffer(&hPicture, &hData);
        if (hPicture && hData) {
            SetPictureSize(hPicture, ENC_MAX_WIDTH, ENC_MAX_HEIGHT);
            Venc1_process(s_hVe1, hPicture, hData);
        }
        DeleteEncoder();
    } else {
        printf("error VideoEncCreateVenc1()\n");
    }
    return 1;
}

void VideoEncExitVal(void)
{
    DeleteEncoder();
    if (s_hBufTab)
        BufTab_delete(s_hBufTab);
    s_hBufTab = nullptr;
}

void VideEncStop(void)
{
    s_bVencStopReq = 1;
}

// Frames still queued for the encoder go back to the capture thread.
static void ReturnQueuedFrames(VideoEnv* pEnv)
{
    int nEmpty = 0;
    for (int nPoll = 0; nPoll < 100 && nEmpty < 3; ++nPoll) {
        Buffer_Handle hFrame = nullptr;
        if (Fifo_getNumEntries(pEnv->hCaptureIn) > 0 && Fifo_get(pEnv->hCaptureIn, &hFrame) == Dmai_EOK) {
            Fifo_put(pEnv->hCaptureFree, hFrame);
            nEmpty = 0;
            continue;
        }
        ++nEmpty;
        SleepMS(10);
    }
}

void VideoEncodeLoop(VideoEnv* pEnv)
{
    int nPreRec = (g_bAfterRecMode || g_bAfterRecording) ? 0 : static_cast<int>(GetParameter("/Rec Option/PRE REC", nullptr));
    // The capture thread reads the recording size as its recorder run starts;
    // until it has taken the run's first frame the size may be the last run's.
    while (!g_bStartRecCap && g_bRecorder && !g_bQuit && GetActionMode() == ACTION_MODE_MOVIE)
        SleepMS(10);
    if (!g_bStartRecCap)
        return;
    printf("S:ENC\n");
    if (!VideoEncCreateVenc1(g_nVideoRecordWidth, g_nVideoRecordHeight)) {
        gblSetQuit();
        return;
    }
    s_bVencStopReq = 0;

    int nFrames = 0;
    while (!g_bQuit) {
        if (nPreRec == 1 && !g_bRecording &&
            (g_bAfterRecording || static_cast<int>(GetParameter("/Rec Option/PRE REC", nullptr)) != 1))
            break;
        if (!g_bRecorder || s_bVencStopReq || GetActionMode() != ACTION_MODE_MOVIE)
            break;
        if (Fifo_getNumEntries(pEnv->hCaptureIn) == 0) {
            SleepMS(10);
            continue;
        }
        Buffer_Handle hOut = nullptr;
        int nResult = Fifo_getPoll(pEnv->hEncodedFree, &hOut, 10);
        if (nResult == Dmai_ETIMEOUT)
            continue;
        if (nResult == Dmai_EFLUSH) {
            gblSetQuit();
            break;
        }
        if (nResult != Dmai_EOK) {
            ERR_PRINT("Failed to get buffer from video thread\n");
            gblSetQuit();
            break;
        }
        Buffer_Handle hFrame = nullptr;
        if (Fifo_get(pEnv->hCaptureIn, &hFrame) != Dmai_EOK) {
            Fifo_put(pEnv->hEncodedFree, hOut);
            gblSetQuit();
            break;
        }

        // The capture thread set the frame to the recording size; a size
        // changed since (the image size setting) needs an encoder of its own.
        BufferGfx_Dimensions dim;
        BufferGfx_getDimensions(hFrame, &dim);
        if (dim.width != s_nEncWidth || dim.height != s_nEncHeight) {
            DeleteEncoder();
            if (!VideoEncCreateVenc1(dim.width, dim.height)) {
                Fifo_put(pEnv->hCaptureFree, hFrame);
                Fifo_put(pEnv->hEncodedFree, hOut);
                gblSetQuit();
                break;
            }
        }
        SetPictureSize(hFrame, s_nEncWidth, s_nEncHeight);
        if (Venc1_process(s_hVe1, hFrame, hOut) < 0) {
            ERR_PRINT("Failed to encode video buffer\n");
            Fifo_put(pEnv->hCaptureFree, hFrame);
            Fifo_put(pEnv->hEncodedFree, hOut);
            gblSetQuit();
            break;
        }
        if (Fifo_put(pEnv->hEncodedOut, hOut) < 0)
            ERR_PRINT("Failed to send buffer to display thread\n");
        if (Fifo_put(pEnv->hCaptureFree, hFrame) < 0)
            ERR_PRINT("Failed to send buffer to display thread\n");
        if (++nFrames % 4 == 0)
            SleepUS(10);
    }

    DeleteEncoder();
    ReturnQueuedFrames(pEnv);
    printf("E:ENC\n");
}

// ---- Decoder ---------------------------------------------------------------

int VideoDecInitVal(void)
{
    g_hDecoderIn = Fifo_create(&Fifo_Attrs_DEFAULT);
    g_hDecoderFree = Fifo_create(&Fifo_Attrs_DEFAULT);
    if (!g_hDecoderIn || !g_hDecoderFree) {
        ERR_PRINT("Failed to create fifo for decoder\n");
        return 0;
    }
    s_hDecBufTab = CreatePictureBufTab(DEC_OUTPUT_BUFFERS, ENC_MAX_WIDTH, ENC_MAX_HEIGHT);
    if (!s_hDecBufTab) {
        ERR_PRINT("Failed to create BufTab for display pipe\n");
        return 0;
    }
    s_hInBufTab = BufTab_create(DEC_INPUT_BUFFERS, DECODER_INPUT_SIZE, &Buffer_Attrs_DEFAULT);
    if (!s_hInBufTab) {
        ERR_PRINT("Failed to create BufTab for decoder input \n");
        return 0;
    }
    for (int i = 0; i < DEC_INPUT_BUFFERS; ++i)
        Fifo_put(g_hDecoderFree, BufTab_getBuf(s_hInBufTab, i));
    return 1;
}

void VideoDecExitVal(void)
{
    if (s_hVd2)
        Vdec2_delete(s_hVd2);
    s_hVd2 = nullptr;
    if (s_hInBufTab)
        BufTab_delete(s_hInBufTab);
    if (s_hDecBufTab)
        BufTab_delete(s_hDecBufTab);
    if (g_hDecoderIn)
        Fifo_delete(g_hDecoderIn);
    if (g_hDecoderFree)
        Fifo_delete(g_hDecoderFree);
    s_hInBufTab = s_hDecBufTab = nullptr;
    g_hDecoderIn = g_hDecoderFree = nullptr;
}

static int DecodeShouldEnd(void)
{
    return g_bQuit || g_bRecorder || GetActionMode() != ACTION_MODE_MOVIE || s_bVdecStopReq;
}

// The HDMI output is being switched: its display may not exist.
static int HdmiChanging(void)
{
    return g_bDispHdmi != g_bHdmi || (g_bDispHdmi && !DisplayHdmiExists());
}

// Queued inputs go back to the player's free queue.
static void ReturnQueuedInputs(void)
{
    int nEmpty = 0;
    for (int nRound = 0; nRound < 20 && nEmpty < 5; ++nRound) {
        Buffer_Handle hIn = nullptr;
        if (Fifo_getNumEntries(g_hDecoderIn) > 0 && Fifo_get(g_hDecoderIn, &hIn) == Dmai_EOK) {
            Fifo_put(g_hDecoderFree, hIn);
            nEmpty = 0;
            continue;
        }
        ++nEmpty;
        SleepMS(10);
    }
}

int VideoDecodeLoop(void)
{
    printf("*** start decoder!!\n");
    VIDDEC2_Params& p = s_tVideoDec2Params.viddecParams;
    p.size = sizeof(MPEG4DEC_Params);
    p.maxHeight = ENC_MAX_HEIGHT;
    p.maxWidth = ENC_MAX_WIDTH;
    p.maxFrameRate = 30000;
    p.maxBitRate = 8000000;
    p.dataEndianness = XDM_BYTE;
    p.forceChromaFormat = XDM_YUV_422ILE;
    static const XDAS_Int32 s_anExtension[4] = {31, 0, 0, 1};
    memcpy(s_tVideoDec2Params.extension, s_anExtension, sizeof(s_anExtension));
    memset(&s_tVideoDec2DynamicParams, 0, sizeof(s_tVideoDec2DynamicParams));
    s_tVideoDec2DynamicParams.size = sizeof(VIDDEC2_DynamicParams);

    s_hVd2 = Vdec2_create(g_hEngine, "mpeg4dec", &p, &s_tVideoDec2DynamicParams);
    if (!s_hVd2) {
        ERR_PRINT("********** Failed to create video decoder: %s\n", "mpeg4dec");
        g_nDecodeResult = -999;
        gblSetQuit();
        return -999;
    }
    Vdec2_setBufTab(s_hVd2, s_hDecBufTab);
    s_nVideoDecStat = 0;
    s_nVideoDecCount = 0;
    s_bVdecLoopRunning = 1;

    int nResult = 0;
    int nSkip = 0;
    while (!DecodeShouldEnd()) {
        s_nVideoDecStat = 1;
        if (Fifo_getNumEntries(g_hDecoderIn) == 0) {
            SleepMS(10);
            continue;
        }
        if (HdmiChanging()) {
            printf("*** VideoDecodeLoop():%d-%d,0x%08lX!!\n", g_bDispHdmi, g_bHdmi,
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(g_hDisplayHdmi)));
            SleepMS(10);
            continue;
        }
        s_nVideoDecStat = 2;
        Buffer_Handle hIn = nullptr;
        if (Fifo_get(g_hDecoderIn, &hIn) != Dmai_EOK) {
            ERR_PRINT("Failed to get capture buffer\n");
            nResult = -1;
            break;
        }
        s_nVideoDecStat = 3;
        Buffer_Handle hCallerDst = g_hTmpDecodeDst;
        int bHdmi = !hCallerDst && g_bDispHdmi;
        Buffer_Handle hDst = hCallerDst;
        if (!hDst && bHdmi) {
            if (DisplayHdmiGet(&hDst) != Dmai_EOK) {
                ERR_PRINT("Failed to get display buffer\n");
                Fifo_put(g_hDecoderFree, hIn);
                nResult = -2;
                break;
            }
        } else if (!hDst && Fifo_get(g_hResizerFree, &hDst) != Dmai_EOK) {
            ERR_PRINT("Failed to get resizer buffer\n");
            Fifo_put(g_hDecoderFree, hIn);
            nResult = -3;
            break;
        }

        s_nVideoDecStat = 4;
        int nDecoded = Vdec2_process(s_hVd2, hIn, hDst);
        if (nDecoded < 0 || (nDecoded == Dmai_EBITERROR && Buffer_getNumBytesUsed(hIn) == 0)) {
            if (nDecoded < 0)
                ERR_PRINT("Failed to decode video buffer\n");
            else
                ERR_PRINT("Fatal bit error\n");
            nResult = nDecoded < 0 ? -6 : -7;
            if (!hCallerDst) {
                Fifo_put(g_hDecoderFree, hIn);
                if (bHdmi)
                    DisplayHdmiPut(hDst);
                else
                    Fifo_put(g_hResizerFree, hDst);
            } else {
                g_hTmpDecodeDst = nullptr;
            }
            break;
        }
        ++s_nVideoDecCount;

        s_nVideoDecStat = 5;
        if (g_bWaitDispImage) {
            while (g_bWaitDispImage && !DecodeShouldEnd())
                SleepMS(10);
            nSkip = 3;
        }

        s_nVideoDecStat = 6;
        if (!hCallerDst)
            Fifo_put(g_hDecoderFree, hIn);
        BufferGfx_Dimensions dim;
        BufferGfx_getDimensions(hDst, &dim);
        if (g_nVideoPlayWidth > 0 && g_nVideoPlayHeight > 0 &&
            g_nVideoPlayWidth * g_nVideoPlayHeight * 2 <= Buffer_getSize(hDst))
            SetPictureSize(hDst, g_nVideoPlayWidth, g_nVideoPlayHeight);

        s_nVideoDecStat = 7;
        if (hCallerDst) {
            // The caller takes the picture.
        } else if (bHdmi) {
            DisplayHdmiPut(hDst);
        } else if (nSkip > 0 && !g_bNonSkip && !PL_GetSeekSpeed()) {
            Fifo_put(g_hResizerFree, hDst);
            --nSkip;
        } else {
            Fifo_put(g_hResizerIn, hDst);
            g_bNonSkip = 0;
            nSkip = 2;
        }
        s_nVideoDecStat = 8;
        if (hCallerDst) {
            g_nDecodeResult = nDecoded == Dmai_EOK ? 0 : nDecoded;
            g_hTmpDecodeDst = nullptr;
        }
        s_nVideoDecStat = 9;
    }

    Vdec2_delete(s_hVd2);
    s_hVd2 = nullptr;
    printf("check start dec-in FIFO [%lu]\n", static_cast<unsigned long>(Fifo_getNumEntries(g_hDecoderIn)));
    ReturnQueuedInputs();
    printf("check end dec-in FIFO [%lu]\n", static_cast<unsigned long>(Fifo_getNumEntries(g_hDecoderIn)));
    s_bVdecStopReq = 0;
    s_bVdecDetectEOF = 1;
    s_bVdecLoopRunning = 0;
    printf("*** end decoder!!\n");
    g_nDecodeResult = nResult;
    return nResult;
}

void VideoDecStop(void)
{
    if (!s_bVdecLoopRunning)
        return;
    printf("VideoDecStop::%d, %d\n", s_nVideoDecStat, s_nVideoDecCount);
    s_bVdecDetectEOF = 0;
    g_bWaitDispImage = 0;
    s_bVdecStopReq = 1;
    int nWait = 0;
    while (!s_bVdecDetectEOF && nWait < 500) {
        SleepMS(10);
        ++nWait;
    }
    if (!s_bVdecDetectEOF)
        printf("VideoDecStop() ... timeout!![%d][%d][%d]\n", 5000, s_nVideoDecStat, s_nVideoDecCount);
    s_bVdecStopReq = 0;
}

// ---- Thread ----------------------------------------------------------------

void* VideoThread(void* pArg)
{
    VideoEnv* pEnv = static_cast<VideoEnv*>(pArg);
    if (!VideoEncInitVal(pEnv) || !VideoDecInitVal())
        gblSetQuit();
    Rendezvous_meet(g_hRendezvousInit);

    while (!g_bQuit) {
        if (GetActionMode() != ACTION_MODE_MOVIE) {
            SleepMS(10);
            continue;
        }
        if (g_bRecorder) {
            while (g_bRecorder && !g_bQuit && GetActionMode() == ACTION_MODE_MOVIE)
                VideoEncodeLoop(pEnv);
        } else {
            g_bVDecRunning = 1;
            VideoDecodeLoop();
            g_bVDecRunning = 0;
        }
    }

    Rendezvous_force(g_hRendezvousInit);
    Fifo_flush(pEnv->hEncodedOut);
    Fifo_flush(pEnv->hCaptureFree);
    Rendezvous_meet(g_hRendezvousCleanup);
    VideoEncExitVal();
    VideoDecExitVal();
    return nullptr;
}
