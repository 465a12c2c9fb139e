#include "Middleware/GUI/Graphics.h"

#include "Lib/Sys.h"
#include "Middleware/GUI/Gui.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

unsigned char* g_pDrawTarget = nullptr;
unsigned char g_AlphaTable5[GRA_ALPHA_TABLE5_SIZE];
unsigned char g_AlphaTable6[GRA_ALPHA_TABLE6_SIZE];

// Logical (x, y) lies at g_pDrawTarget + OFFSET + PIXEL * x + LINE * y.
static int LINE = -2;
static int PIXEL = 480;
static int OFFSET = 478;
static int ROTATE = 90;
static const unsigned char* s_pAlphaTable5 = g_AlphaTable5;
static const unsigned char* s_pAlphaTable6 = g_AlphaTable6;
static int s_bEnableMode = 1;
static int s_bTablesFilled = 0;

#define BMP_WIDTH_OFFSET 18
#define BMP_HEIGHT_OFFSET 22
#define BMP_DATA_OFFSET 54
#define FONT_CODES 128
#define CHAR_UNKNOWN '?'
#define CHAR_MARK 0x07

// ---- drawing surface --------------------------------------------------------

static inline int CanDraw(void)
{
    return s_bEnableMode && g_pDrawTarget;
}

static inline unsigned char* PixelAddress(int x, int y)
{
    return g_pDrawTarget + OFFSET + PIXEL * x + LINE * y;
}

static inline void Put(unsigned char* p, unsigned short wColor)
{
    *reinterpret_cast<unsigned short*>(p) = wColor;
}

static inline unsigned short Get(const unsigned char* p)
{
    return *reinterpret_cast<const unsigned short*>(p);
}

static inline int Max(int a, int b)
{
    return a > b ? a : b;
}

static inline int Min(int a, int b)
{
    return a < b ? a : b;
}

static void FillTables(void)
{
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            for (int nAlpha = 0; nAlpha < 256; ++nAlpha) {
                unsigned char v = static_cast<unsigned char>((a * nAlpha + b * (255 - nAlpha)) / 255);
                g_AlphaTable6[(a << 14) | (b << 8) | nAlpha] = v;
                if (a < 32 && b < 32)
                    g_AlphaTable5[(a << 13) | (b << 8) | nAlpha] = v;
            }
        }
    }
    s_bTablesFilled = 1;
}

int GRA_Init(void)
{
    if (!s_bTablesFilled)
        FillTables();
    s_pAlphaTable5 = g_AlphaTable5;
    s_pAlphaTable6 = g_AlphaTable6;
    GRA_SetRotate(90, 480);
    return 1;
}

void GRA_SetRotate(int nDegrees, int nStride)
{
    switch (nDegrees) {
    case 0:
        PIXEL = 2;
        LINE = nStride;
        OFFSET = 0;
        break;
    case 90:
        PIXEL = nStride;
        LINE = -2;
        OFFSET = 478;
        break;
    case 180:
        PIXEL = -2;
        LINE = -nStride;
        OFFSET = 239 * nStride + 638;
        break;
    case 270:
        PIXEL = -nStride;
        LINE = 2;
        OFFSET = 319 * nStride;
        break;
    default:
        return;
    }
    ROTATE = nDegrees;
}

int GRA_GetRotate(void)
{
    return ROTATE;
}

void GRA_EnableMode(int bOn)
{
    s_bEnableMode = bOn;
}

int GRA_GetEnableMode(void)
{
    return s_bEnableMode;
}

// ---- fills and lines --------------------------------------------------------

// n pixels from p, p stepping by nStep bytes, two pixels per turn.
static inline void FillRun(unsigned char* p, int nStep, int n, unsigned short wColor)
{
    int nStep2 = nStep * 2;
    for (; n >= 2; n -= 2, p += nStep2) {
        Put(p, wColor);
        Put(p + nStep, wColor);
    }
    if (n)
        Put(p, wColor);
}

// n pixels in a row of memory, eight bytes a store once aligned.
static inline void FillContiguous(unsigned char* p, int n, unsigned short wColor)
{
    for (; n > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --n, p += 2)
        Put(p, wColor);
    uint64_t qwPattern = wColor * 0x0001000100010001ULL;
    for (; n >= 4; n -= 4, p += 8)
        memcpy(p, &qwPattern, 8);
    for (; n > 0; --n, p += 2)
        Put(p, wColor);
}

void GRA_SetPixel(int x, int y, unsigned short wColor)
{
    if (!CanDraw() || x < 0 || x >= GRA_WIDTH || y < 0 || y >= GRA_HEIGHT)
        return;
    Put(PixelAddress(x, y), wColor);
}

static void HLine(int x, int y, int nLength, unsigned short wColor)
{
    if (y < 0 || y >= GRA_HEIGHT)
        return;
    int x0 = Max(0, x);
    int x1 = Min(x + nLength, GRA_WIDTH);
    if (x0 >= x1)
        return;
    FillRun(PixelAddress(x0, y), PIXEL, x1 - x0, wColor);
}

static void VLine(int x, int y, int nLength, unsigned short wColor)
{
    if (x < 0 || x >= GRA_WIDTH)
        return;
    int y0 = Max(0, y);
    int y1 = Min(y + nLength, GRA_HEIGHT);
    if (y0 >= y1)
        return;
    FillRun(PixelAddress(x, y0), LINE, y1 - y0, wColor);
}

// The rectangle clipped to the screen; 0 when nothing of it is visible.
static int ClipRect(int x, int y, int w, int h, int* px0, int* py0, int* px1, int* py1)
{
    *px0 = Max(0, x);
    *py0 = Max(0, y);
    *px1 = Min(x + w, GRA_WIDTH);
    *py1 = Min(y + h, GRA_HEIGHT);
    return *px0 < *px1 && *py0 < *py1;
}

void GRA_FillRect(int x, int y, int w, int h, unsigned short wColor)
{
    int x0, y0, x1, y1;
    if (!CanDraw() || !ClipRect(x, y, w, h, &x0, &y0, &x1, &y1))
        return;
    // Fill along whichever logical axis is contiguous in memory.
    if (PIXEL == 2 || PIXEL == -2) {
        for (int yy = y0; yy < y1; ++yy)
            FillContiguous(PixelAddress(PIXEL > 0 ? x0 : x1 - 1, yy), x1 - x0, wColor);
    } else if (LINE == 2 || LINE == -2) {
        for (int xx = x0; xx < x1; ++xx)
            FillContiguous(PixelAddress(xx, LINE > 0 ? y0 : y1 - 1), y1 - y0, wColor);
    } else {
        GRA_FillRectNormal(x, y, w, h, wColor);
    }
}

void GRA_FillRectNormal(int x, int y, int w, int h, unsigned short wColor)
{
    int x0, y0, x1, y1;
    if (!CanDraw() || !ClipRect(x, y, w, h, &x0, &y0, &x1, &y1))
        return;
    unsigned char* pRow = PixelAddress(x0, y0);
    for (int yy = y0; yy < y1; ++yy, pRow += LINE)
        FillRun(pRow, PIXEL, x1 - x0, wColor);
}

void GRA_Clear(void)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GRA_TRANSPARENT);
}

void GRA_FrameRect(int x, int y, int w, int h, unsigned short wColor)
{
    if (!CanDraw())
        return;
    HLine(x, y, w, wColor);
    HLine(x, y + h - 1, w, wColor);
    VLine(x, y, h, wColor);
    VLine(x + w - 1, y, h, wColor);
}

void GRA_Rectangle(int x, int y, int w, int h, unsigned short wFrame, unsigned short wFill)
{
    GRA_FillRect(x + 1, y + 1, w - 2, h - 2, wFill);
    GRA_FrameRect(x, y, w, h, wFrame);
}

void GRA_Line(int x0, int y0, int x1, int y1, unsigned short wColor)
{
    if (!CanDraw())
        return;
    if (x0 == x1) {
        VLine(x0, Min(y0, y1), abs(y1 - y0) + 1, wColor);
        return;
    }
    if (y0 == y1) {
        HLine(Min(x0, x1), y0, abs(x1 - x0) + 1, wColor);
        return;
    }
    int dx = abs(x1 - x0);
    int dy = abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1;
    int sy = y0 < y1 ? 1 : -1;
    if (dx >= dy) {
        int nError = dx / 2;
        for (int x = x0, y = y0;; x += sx) {
            GRA_SetPixel(x, y, wColor);
            if (x == x1)
                break;
            nError -= dy;
            if (nError < 0) {
                y += sy;
                nError += dx;
            }
        }
    } else {
        int nError = dy / 2;
        for (int x = x0, y = y0;; y += sy) {
            GRA_SetPixel(x, y, wColor);
            if (y == y1)
                break;
            nError -= dx;
            if (nError < 0) {
                x += sx;
                nError += dy;
            }
        }
    }
}

// ---- bitmaps ----------------------------------------------------------------

static inline int Bmp16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

static inline int BmpStride(int nWidth)
{
    return (3 * nWidth + 3) & ~3;
}

// Bytes a 24-bit BMP needs for its header and rows.
static long BmpNeededSize(const unsigned char* pFile)
{
    return BMP_DATA_OFFSET + static_cast<long>(BmpStride(Bmp16(pFile + BMP_WIDTH_OFFSET))) *
                                 Bmp16(pFile + BMP_HEIGHT_OFFSET);
}

BITMAP* GRA_BuildBitmap(const unsigned char* pBmpFile)
{
    int nWidth = Bmp16(pBmpFile + BMP_WIDTH_OFFSET);
    int nHeight = Bmp16(pBmpFile + BMP_HEIGHT_OFFSET);
    int nStride = BmpStride(nWidth);
    size_t nBytes = offsetof(BITMAP, aPixels) + static_cast<size_t>(nWidth) * nHeight * 2;
    if (nBytes < sizeof(BITMAP))
        nBytes = sizeof(BITMAP);
    BITMAP* pBitmap = static_cast<BITMAP*>(malloc(nBytes));
    if (!pBitmap)
        return nullptr;
    pBitmap->nWidth = static_cast<uint16_t>(nWidth);
    pBitmap->nHeight = static_cast<uint16_t>(nHeight);
    uint16_t* pOut = pBitmap->aPixels;
    const unsigned char* pData = pBmpFile + BMP_DATA_OFFSET;
    for (int r = 0; r < nHeight; ++r) {
        const unsigned char* pIn = pData + static_cast<size_t>(nHeight - 1 - r) * nStride;
        for (int c = 0; c < nWidth; ++c, pIn += 3) {
            int b5 = pIn[0] * 31 / 255;
            int g6 = pIn[1] * 63 / 255;
            int r5 = pIn[2] * 31 / 255;
            *pOut++ = static_cast<uint16_t>((r5 << 11) | (g6 << 5) | b5);
        }
    }
    return pBitmap;
}

// The whole file in one heap block; null on any failure.
static unsigned char* LoadFile(const char* szPath)
{
    FILE* fp = SYS_fopen(szPath, "rb");
    if (!fp)
        return nullptr;
    unsigned char* pData = nullptr;
    long nSize = -1;
    if (fseek(fp, 0, SEEK_END) == 0)
        nSize = ftell(fp);
    if (nSize >= BMP_DATA_OFFSET && fseek(fp, 0, SEEK_SET) == 0)
        pData = static_cast<unsigned char*>(malloc(static_cast<size_t>(nSize)));
    if (pData && fread(pData, 1, static_cast<size_t>(nSize), fp) != static_cast<size_t>(nSize)) {
        free(pData);
        pData = nullptr;
    }
    // A truncated image would be read beyond its end.
    if (pData && BmpNeededSize(pData) > nSize) {
        free(pData);
        pData = nullptr;
    }
    fclose(fp);
    return pData;
}

BITMAP* GRA_LoadBitmap(const char* szPath)
{
    unsigned char* pFile = LoadFile(szPath);
    if (!pFile)
        return nullptr;
    BITMAP* pBitmap = GRA_BuildBitmap(pFile);
    free(pFile);
    return pBitmap;
}

void GRA_FreeBitmap(BITMAP* pBitmap)
{
    free(pBitmap);
}

// Destination and source of a blit clipped to the screen; 0 when nothing
// is to be drawn.
static int ClipBlit(int* px, int* py, const BITMAP* pBitmap, int* psx, int* psy, int* pw, int* ph)
{
    if (*px < 0) {
        *psx -= *px;
        *pw += *px;
        *px = 0;
    }
    if (*py < 0) {
        *psy -= *py;
        *ph += *py;
        *py = 0;
    }
    if (*px + *pw > GRA_WIDTH)
        *pw = GRA_WIDTH - *px;
    if (*py + *ph > GRA_HEIGHT)
        *ph = GRA_HEIGHT - *py;
    if (*psx < 0 || *psy < 0 || *psx + *pw > pBitmap->nWidth || *psy + *ph > pBitmap->nHeight)
        return 0;
    return *pw >= 1 && *ph >= 1;
}

static void CopyRun(unsigned char* p, const uint16_t* pSrc, int n)
{
    if (PIXEL == 2) {
        memcpy(p, pSrc, static_cast<size_t>(n) * 2);
        return;
    }
    int nStep = PIXEL;
    int nStep2 = PIXEL * 2;
    for (; n >= 2; n -= 2, p += nStep2, pSrc += 2) {
        Put(p, pSrc[0]);
        Put(p + nStep, pSrc[1]);
    }
    if (n)
        Put(p, pSrc[0]);
}

// Keyed pixels write back what is there, so the loop has no branch to
// mispredict on pictures with scattered transparent pixels.
static inline void PutKeyed(unsigned char* p, uint16_t wSource)
{
    uint16_t wOld = Get(p);
    Put(p, wSource == GRA_TRANSPARENT ? wOld : wSource);
}

static void CopyRunKeyed(unsigned char* p, const uint16_t* pSrc, int n)
{
    int nStep = PIXEL;
    int nStep2 = PIXEL * 2;
    for (; n >= 2; n -= 2, p += nStep2, pSrc += 2) {
        PutKeyed(p, pSrc[0]);
        PutKeyed(p + nStep, pSrc[1]);
    }
    if (n)
        PutKeyed(p, pSrc[0]);
}

static void Blit(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h, int bKeyed)
{
    if (!CanDraw() || !pBitmap || !ClipBlit(&x, &y, pBitmap, &sx, &sy, &w, &h))
        return;
    const uint16_t* pSrc = pBitmap->aPixels + static_cast<size_t>(sy) * pBitmap->nWidth + sx;
    unsigned char* pRow = PixelAddress(x, y);
    for (int r = 0; r < h; ++r, pRow += LINE, pSrc += pBitmap->nWidth) {
        if (bKeyed)
            CopyRunKeyed(pRow, pSrc, w);
        else
            CopyRun(pRow, pSrc, w);
    }
}

void GRA_BitBlt(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h)
{
    Blit(x, y, pBitmap, sx, sy, w, h, 0);
}

void GRA_BitBltT(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h)
{
    Blit(x, y, pBitmap, sx, sy, w, h, 1);
}

void GRA_BitBlt(int x, int y, BITMAP* pBitmap)
{
    if (pBitmap)
        Blit(x, y, pBitmap, 0, 0, pBitmap->nWidth, pBitmap->nHeight, 0);
}

void GRA_BitBltT(int x, int y, BITMAP* pBitmap)
{
    if (pBitmap)
        Blit(x, y, pBitmap, 0, 0, pBitmap->nWidth, pBitmap->nHeight, 1);
}

// Nearest-neighbour scaling of the sw x sh part at (sx, sy) of a pixel
// buffer of nSrcWidth x nSrcHeight to dw x dh at (dx, dy), 8.8 fixed point.
static void Stretch(int dx, int dy, int dw, int dh, const uint16_t* pPixels, int nSrcWidth, int nSrcHeight, int sx,
                    int sy, int sw, int sh, int bKeyed)
{
    if (!CanDraw() || !pPixels)
        return;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || sx < 0 || sy < 0 || sx + sw > nSrcWidth || sy + sh > nSrcHeight)
        return;
    int nStepX = (sw * 256) / dw;
    int nStepY = (sh * 256) / dh;
    int x0, y0, x1, y1;
    if (!ClipRect(dx, dy, dw, dh, &x0, &y0, &x1, &y1))
        return;
    int nAccX0 = dx < 0 ? -dx * nStepX : 0;
    int nAccY = dy < 0 ? -dy * nStepY : 0;
    const uint16_t* pOrigin = pPixels + sx;
    unsigned char* pRow = PixelAddress(x0, y0);
    for (int y = y0; y < y1; ++y, pRow += LINE, nAccY += nStepY) {
        const uint16_t* pSrcRow = pOrigin + static_cast<size_t>(sy + (nAccY >> 8)) * nSrcWidth;
        unsigned char* p = pRow;
        int nAccX = nAccX0;
        if (bKeyed) {
            for (int x = x0; x < x1; ++x, p += PIXEL, nAccX += nStepX)
                PutKeyed(p, pSrcRow[nAccX >> 8]);
        } else {
            for (int x = x0; x < x1; ++x, p += PIXEL, nAccX += nStepX)
                Put(p, pSrcRow[nAccX >> 8]);
        }
    }
}

void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh)
{
    if (pBitmap)
        Stretch(dx, dy, dw, dh, pBitmap->aPixels, pBitmap->nWidth, pBitmap->nHeight, sx, sy, sw, sh, 0);
}

void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh)
{
    if (pBitmap)
        Stretch(dx, dy, dw, dh, pBitmap->aPixels, pBitmap->nWidth, pBitmap->nHeight, sx, sy, sw, sh, 1);
}

void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap)
{
    if (pBitmap)
        GRA_StretchBlt(dx, dy, dw, dh, pBitmap, 0, 0, pBitmap->nWidth, pBitmap->nHeight);
}

void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap)
{
    if (pBitmap)
        GRA_StretchBltT(dx, dy, dw, dh, pBitmap, 0, 0, pBitmap->nWidth, pBitmap->nHeight);
}

void GRA_StretchBltRaw(int dx, int dy, int dw, int dh, unsigned char* pPixels, int nSrcWidth, int nSrcHeight, int sx,
                       int sy, int sw, int sh)
{
    Stretch(dx, dy, dw, dh, reinterpret_cast<const uint16_t*>(pPixels), nSrcWidth, nSrcHeight, sx, sy, sw, sh, 0);
}

void GRA_TileBlt(int x, int y, int w, int h, BITMAP* pBitmap)
{
    if (!CanDraw() || !pBitmap)
        return;
    int cw = pBitmap->nWidth / 3;
    int ch = pBitmap->nHeight / 3;
    int nMidW = pBitmap->nWidth - 2 * cw;  // of the source
    int nMidH = pBitmap->nHeight - 2 * ch;
    int nRight = pBitmap->nWidth - cw;
    int nBottom = pBitmap->nHeight - ch;
    GRA_BitBltT(x, y, pBitmap, 0, 0, cw, ch);
    GRA_StretchBltT(x + cw, y, w - 2 * cw, ch, pBitmap, cw, 0, nMidW, ch);
    GRA_BitBltT(x + w - cw, y, pBitmap, nRight, 0, cw, ch);
    GRA_BitBltT(x, y + h - ch, pBitmap, 0, nBottom, cw, ch);
    GRA_StretchBltT(x + cw, y + h - ch, w - 2 * cw, ch, pBitmap, cw, nBottom, nMidW, ch);
    GRA_BitBltT(x + w - cw, y + h - ch, pBitmap, nRight, nBottom, cw, ch);
    GRA_StretchBltT(x, y + ch, cw, h - 2 * ch, pBitmap, 0, ch, cw, nMidH);
    GRA_StretchBltT(x + w - cw, y + ch, cw, h - 2 * ch, pBitmap, nRight, ch, cw, nMidH);
    GRA_StretchBltT(x + cw, y + ch, w - 2 * cw, h - 2 * ch, pBitmap, cw, ch, nMidW, nMidH);
}

// ---- text -------------------------------------------------------------------

// The parts of a font image (a bottom-up 24-bit BMP, pixels blue, green, red).
struct FONT_INFO
{
    const unsigned char* pTopRow;  // image row 0, the metadata row
    int nStride;                   // bytes from one file row to the next
    int nImageWidth;
    int nCellWidth;
    int nCellHeight;  // metadata row included
};

static int ParseFont(const unsigned char* pFont, FONT_INFO* pInfo)
{
    if (!pFont)
        return 0;
    int nWidth = Bmp16(pFont + BMP_WIDTH_OFFSET);
    int nHeight = Bmp16(pFont + BMP_HEIGHT_OFFSET);
    if (nWidth < 1 || nHeight < 1)
        return 0;
    pInfo->nStride = BmpStride(nWidth);
    pInfo->nImageWidth = nWidth;
    pInfo->pTopRow = pFont + BMP_DATA_OFFSET + static_cast<size_t>(nHeight - 1) * pInfo->nStride;
    pInfo->nCellWidth = pInfo->pTopRow[2];
    pInfo->nCellHeight = pInfo->pTopRow[1];
    if (pInfo->nCellHeight > nHeight)
        pInfo->nCellHeight = nHeight;
    return pInfo->nCellWidth > 0 && pInfo->nCellHeight > 0;
}

static inline int Advance(const FONT_INFO& font, int nCode)
{
    int nColumn = nCode * font.nCellWidth;
    return nColumn < font.nImageWidth ? font.pTopRow[nColumn * 3 + 2] : 0;
}

// The next character of a string: bytes from 0x80 up stand for '?', three
// of them in a row counting as one character.
static inline const unsigned char* NextChar(const unsigned char* p, int* pnCode)
{
    if (p[0] < 0x80) {
        *pnCode = p[0];
        return p + 1;
    }
    *pnCode = CHAR_UNKNOWN;
    if (p[1] >= 0x80 && p[2] >= 0x80)
        return p + 3;
    return p + 1;
}

// Calls op(screen pixel, red, green, blue) for every visible pixel of the
// glyph of nCode with the pen at px and the text at row y.
template <typename PixelOp>
static void DrawGlyph(const FONT_INFO& font, int nCode, int px, int y, PixelOp op)
{
    int nColumn = nCode * font.nCellWidth;
    int c0 = Max(0, -px);
    int c1 = Min(font.nCellWidth, GRA_WIDTH - px);
    c1 = Min(c1, font.nImageWidth - nColumn);
    int r0 = Max(1, 5 - y);
    int r1 = Min(font.nCellHeight, GRA_HEIGHT + 5 - y);
    if (c0 >= c1 || r0 >= r1)
        return;
    const unsigned char* pSrcRow = font.pTopRow - static_cast<ptrdiff_t>(r0) * font.nStride + (nColumn + c0) * 3;
    unsigned char* pRow = PixelAddress(px + c0, y - 5 + r0);
    for (int r = r0; r < r1; ++r, pSrcRow -= font.nStride, pRow += LINE) {
        const unsigned char* pSrc = pSrcRow;
        unsigned char* p = pRow;
        for (int c = c0; c < c1; ++c, pSrc += 3, p += PIXEL)
            op(p, pSrc[2], pSrc[1], pSrc[0]);
    }
}

// Draws the characters of a string from pen x - 4, stopping before the
// first character that would pass nLimit (no limit when nLimit < 0).
template <typename PixelOp>
static void DrawText(int x, int y, const char* sz, const FONT_INFO& font, int nLimit, int bSkipMarks, PixelOp op)
{
    int px = x - 4;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(sz);
    while (*p) {
        if (bSkipMarks && *p == CHAR_MARK) {
            ++p;
            continue;
        }
        int nCode;
        p = NextChar(p, &nCode);
        int nAdvance = Advance(font, nCode);
        if (nLimit >= 0 && px + nAdvance > nLimit)
            break;
        DrawGlyph(font, nCode, px, y, op);
        px += nAdvance + 1;
    }
}

static inline int TextLimit(int x, int nMaxWidth)
{
    return nMaxWidth != 0 ? x - 4 + nMaxWidth : GRA_WIDTH;
}

unsigned char* GRA_LoadFont(const char* szPath)
{
    return LoadFile(szPath);
}

void GRA_FreeFont(unsigned char* pFont)
{
    free(pFont);
}

void GRA_CalcStringS(int* pnWidth, int* pnHeight, const char* sz, unsigned char* pFont, int* pnMarks)
{
    FONT_INFO font;
    *pnWidth = 0;
    *pnHeight = 0;
    if (!sz || !ParseFont(pFont, &font))
        return;
    int nWidth = 0;
    int nMarks = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(sz);
    while (*p) {
        if (*p == CHAR_MARK) {
            if (pnMarks && nMarks < 2)
                pnMarks[nMarks++] = nWidth;
            ++p;
            continue;
        }
        int nCode;
        p = NextChar(p, &nCode);
        nWidth += Advance(font, nCode) + 1;
    }
    *pnWidth = nWidth;
    *pnHeight = font.nCellHeight - 1;
}

void GRA_DrawString(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont)
{
    FONT_INFO font;
    if (!CanDraw() || !sz || !ParseFont(pFont, &font))
        return;
    DrawText(x, y, sz, font, -1, 0, [wColor](unsigned char* p, int r, int, int) {
        if (r)
            Put(p, wColor);
    });
}

// Channel indexes of a colour for the blend tables.
struct BLEND_COLOR
{
    int nR, nG, nB;
};

static inline BLEND_COLOR BlendIndex(unsigned short wColor)
{
    return {((wColor >> 11) & 0x1F) << 13, ((wColor >> 5) & 0x3F) << 14, (wColor & 0x1F) << 13};
}

// blend(a, b, alpha) per channel with a given as table indexes.
static inline unsigned short Blend(const BLEND_COLOR& a, unsigned short wB, int nAlpha)
{
    int r = s_pAlphaTable5[a.nR | (((wB >> 11) & 0x1F) << 8) | nAlpha];
    int g = s_pAlphaTable6[a.nG | (((wB >> 5) & 0x3F) << 8) | nAlpha];
    int b = s_pAlphaTable5[a.nB | ((wB & 0x1F) << 8) | nAlpha];
    return static_cast<unsigned short>((r << 11) | (g << 5) | b);
}

void GRA_DrawStringS(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont, int nMaxWidth)
{
    FONT_INFO font;
    if (!CanDraw() || !sz || !ParseFont(pFont, &font))
        return;
    int nWidth, nHeight;
    int anMarks[2] = {-1, -1};
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, anMarks);
    if (anMarks[0] != -1 && anMarks[0] < anMarks[1])
        GRA_TileBlt(x + anMarks[0], y, anMarks[1] - anMarks[0], 20, g_pBmp_button);
    BLEND_COLOR text = BlendIndex(wColor);
    DrawText(x, y, sz, font, TextLimit(x, nMaxWidth), 1, [&text, wColor](unsigned char* p, int, int nAlpha, int) {
        if (nAlpha == 255)
            Put(p, wColor);
        else if (nAlpha)
            Put(p, Blend(text, Get(p), nAlpha));
    });
}

void GRA_DrawStringF(int x, int y, const char* sz, unsigned short wColor, unsigned short wEdge, unsigned char* pFont,
                     int nMaxWidth)
{
    FONT_INFO font;
    if (!CanDraw() || !sz || !ParseFont(pFont, &font))
        return;
    BLEND_COLOR text = BlendIndex(wColor);
    DrawText(x, y, sz, font, TextLimit(x, nMaxWidth), 0, [&text, wColor, wEdge](unsigned char* p, int, int nAlpha, int b) {
        if (b == 0)
            Put(p, nAlpha == 255 ? wColor : nAlpha == 0 ? wEdge : Blend(text, wEdge, nAlpha));
    });
}

void GRA_DrawStringSR(int xRight, int y, const char* sz, unsigned short wColor, unsigned char* pFont)
{
    int nWidth, nHeight;
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, nullptr);
    GRA_DrawStringS(xRight - nWidth, y, sz, wColor, pFont, 0);
}

void GRA_DrawStringSC(int x, int y, int w, const char* sz, unsigned short wColor, unsigned char* pFont)
{
    int nWidth, nHeight;
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, nullptr);
    GRA_DrawStringS(x + (w - nWidth) / 2, y, sz, wColor, pFont, 0);
}

void GRA_DrawStringFR(int xRight, int y, const char* sz, unsigned short wColor, unsigned short wEdge,
                      unsigned char* pFont)
{
    int nWidth, nHeight;
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, nullptr);
    GRA_DrawStringF(xRight - nWidth, y, sz, wColor, wEdge, pFont, 0);
}
