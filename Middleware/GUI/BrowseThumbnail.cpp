#include "Middleware/GUI/BrowseThumbnail.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Thread.h"
#include "Media/MediaReader.h"
#include "Middleware/CODEC/Video.h"
#include "Middleware/VPFE/Capture.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define THUMB_WIDTH 160
#define THUMB_HEIGHT 120
#define THUMB_WAIT_STEP_MS 10
#define THUMB_WAIT_STEPS 300  // 3 s for the decoder or the resizer

static BufTab_Handle s_hResizerDstTab = nullptr;
static BufTab_Handle s_hDecodeTab = nullptr;
static CMediaReader s_Reader;
// A decode or a scaling that did not finish in time still owns its buffers:
// they are not used again.
static int s_bDecodeLent = 0;
static int s_bResizeLent = 0;

int THUMB_Init(void)
{
    if (!s_hResizerDstTab) {
        s_hResizerDstTab = CreatePictureBufTab(1, THUMB_WIDTH, THUMB_HEIGHT);
        if (!s_hResizerDstTab) {
            ERR_PRINT("Failed to create resizerDst buftab\n");
            return 0;
        }
    }
    if (!s_hDecodeTab) {
        s_hDecodeTab = CreatePictureBufTab(2, 1280, 720);
        if (!s_hDecodeTab) {
            ERR_PRINT("Failed to create tmp decode buftab\n");
            return 0;
        }
    }
    return 1;
}

static int WaitUntilCleared(Buffer_Handle* phWatched)
{
    for (int i = 0; i < THUMB_WAIT_STEPS && *phWatched && !g_bQuit; ++i)
        SleepMS(THUMB_WAIT_STEP_MS);
    return *phWatched == nullptr;
}

static void SetPicture(Buffer_Handle hBuf, int x, int y, int nWidth, int nHeight, int nLineLength)
{
    BufferGfx_Dimensions dim = {x, y, nWidth, nHeight, nLineLength};
    BufferGfx_setDimensions(hBuf, &dim);
}

// The movie's first frame through the video thread's decode loop, which
// runs while the player side of movie mode is up.
static Buffer_Handle DecodeFirstFrame(void)
{
    if (!s_hDecodeTab || !g_hDecoderIn || s_bDecodeLent)
        return nullptr;
    for (int i = 0; i < THUMB_WAIT_STEPS && !(g_bVDecRunning && !g_hTmpDecodeDst) && !g_bQuit; ++i)
        SleepMS(THUMB_WAIT_STEP_MS);
    if (!g_bVDecRunning || g_hTmpDecodeDst)
        return nullptr;

    int nWidth = s_Reader.GetVideoWidth();
    int nHeight = s_Reader.GetVideoHeight();
    Buffer_Handle hIn = BufTab_getBuf(s_hDecodeTab, 0);
    Buffer_Handle hOut = BufTab_getBuf(s_hDecodeTab, 1);
    if (nWidth <= 0 || nHeight <= 0 || (nWidth & 1) || nWidth * nHeight * 2 > Buffer_getSize(hOut))
        return nullptr;
    const unsigned char* pConfig = nullptr;
    int nConfig = MOV_GetDecoderConfig(s_Reader.GetTrack(MOV_TRACK_VIDEO), &pConfig);
    long nOffset = 0;
    int nSize = 0, nRun = 0, nTotal = 0;
    if (!s_Reader.GetSamplePos(MOV_TRACK_VIDEO, 0, &nOffset, &nSize, &nRun, &nTotal) || nSize <= 0 ||
        nConfig + nSize > Buffer_getSize(hIn))
        return nullptr;
    unsigned char* pIn = reinterpret_cast<unsigned char*>(Buffer_getUserPtr(hIn));
    if (nConfig > 0)
        memcpy(pIn, pConfig, static_cast<size_t>(nConfig));
    if (!s_Reader.Read(pIn + nConfig, nOffset, nSize))
        return nullptr;
    Buffer_setNumBytesUsed(hIn, nConfig + nSize);

    g_nDecodeResult = 0;
    g_hTmpDecodeDst = hOut;
    Fifo_put(g_hDecoderIn, hIn);
    if (!WaitUntilCleared(&g_hTmpDecodeDst)) {
        printf("THUMB_Make(): one-frame decode timeout!!\n");
        s_bDecodeLent = 1;
        return nullptr;
    }
    if (g_nDecodeResult != 0)
        return nullptr;
    // The decode loop sizes its pictures by the player's file.
    SetPicture(hOut, 0, 0, nWidth, nHeight, nWidth * 2);
    return hOut;
}

// UYVY (BT.601, video range) to RGB565.
static uint16_t Rgb565(int nY, int nU, int nV)
{
    int c = 298 * (nY - 16);
    int d = nU - 128;
    int e = nV - 128;
    int r = (c + 409 * e + 128) >> 8;
    int g = (c - 100 * d - 208 * e + 128) >> 8;
    int b = (c + 516 * d + 128) >> 8;
    r = r < 0 ? 0 : r > 255 ? 255 : r;
    g = g < 0 ? 0 : g > 255 ? 255 : g;
    b = b < 0 ? 0 : b > 255 ? 255 : b;
    uint16_t w = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    // The colour key would make the pixel transparent.
    return w == GRA_TRANSPARENT ? static_cast<uint16_t>(GRA_TRANSPARENT ^ 0x20) : w;
}

static BITMAP* ToBitmap(Buffer_Handle hPicture)
{
    size_t nBytes = offsetof(BITMAP, aPixels) + static_cast<size_t>(THUMB_WIDTH) * THUMB_HEIGHT * 2;
    BITMAP* pBmp = static_cast<BITMAP*>(malloc(nBytes));
    if (!pBmp)
        return nullptr;  // the grid shows the file without its picture
    pBmp->nWidth = THUMB_WIDTH;
    pBmp->nHeight = THUMB_HEIGHT;
    const unsigned char* pRow = reinterpret_cast<const unsigned char*>(Buffer_getUserPtr(hPicture));
    const int nLine = THUMB_WIDTH * 2;
    for (int y = 0; y < THUMB_HEIGHT; ++y, pRow += nLine) {
        uint16_t* pOut = pBmp->aPixels + y * THUMB_WIDTH;
        for (int x = 0; x < THUMB_WIDTH; x += 2) {
            const unsigned char* p = pRow + x * 2;  // U Y0 V Y1
            pOut[x] = Rgb565(p[1], p[0], p[2]);
            pOut[x + 1] = Rgb565(p[3], p[0], p[2]);
        }
    }
    return pBmp;
}

// The picture scaled into the resizer output, whole and centred with black
// bars (as the LCD shows a wide movie).
static BITMAP* Scale(Buffer_Handle hPicture)
{
    if (!s_hResizerDstTab || !g_hResizerIn || s_bResizeLent || g_hResizeDstBuffer)
        return nullptr;
    BufferGfx_Dimensions src;
    BufferGfx_getDimensions(hPicture, &src);
    if (src.width <= 0 || src.height <= 0)
        return nullptr;
    WaitStartPlayResizer();

    Buffer_Handle hDst = BufTab_getBuf(s_hResizerDstTab, 0);
    const int nLine = THUMB_WIDTH * 2;
    SetPicture(hDst, 0, 0, THUMB_WIDTH, THUMB_HEIGHT, nLine);
    Buffer_BlackFill(hDst);
    int nWidth = THUMB_WIDTH;
    int nHeight = THUMB_HEIGHT;
    if (src.width * THUMB_HEIGHT > src.height * THUMB_WIDTH)
        nHeight = (THUMB_WIDTH * src.height / src.width + 1) & ~1;
    else
        nWidth = (THUMB_HEIGHT * src.width / src.height + 1) & ~1;
    if (nWidth < 2 || nHeight < 2)
        return nullptr;
    SetPicture(hDst, ((THUMB_WIDTH - nWidth) / 2) & ~1, (THUMB_HEIGHT - nHeight) / 2, nWidth, nHeight, nLine);

    g_hResizeDstBuffer = hDst;
    Fifo_put(g_hResizerIn, hPicture);
    if (!WaitUntilCleared(&g_hResizeDstBuffer)) {
        printf("THUMB_Make(): resizer timeout!!\n");
        s_bResizeLent = 1;
        return nullptr;
    }
    SetPicture(hDst, 0, 0, THUMB_WIDTH, THUMB_HEIGHT, nLine);
    return ToBitmap(hDst);
}

BITMAP* THUMB_Make(const char* szRealPath)
{
    if (s_Reader.Open(szRealPath) != 0)
        return nullptr;
    Buffer_Handle hPicture = s_Reader.GetImage();
    if (!hPicture && s_Reader.HasVideo())
        hPicture = DecodeFirstFrame();
    BITMAP* pBmp = hPicture ? Scale(hPicture) : nullptr;
    s_Reader.Close();
    return pBmp;
}
