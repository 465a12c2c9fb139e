// Graphics library: drawing on the 320 x 240 logical OSD surface.
#ifndef MIDDLEWARE_GUI_GRAPHICS_H
#define MIDDLEWARE_GUI_GRAPHICS_H

#include <stdint.h>

#define GRA_WIDTH 320
#define GRA_HEIGHT 240
#define GRA_TRANSPARENT 0xF81F

struct BITMAP
{
    uint16_t nWidth;
    uint16_t nHeight;
    uint16_t aPixels[1];  // nWidth * nHeight pixels follow
};

// Base of the frame-buffer bank being drawn; set by FB_Flip.
extern unsigned char* g_pDrawTarget;

// Blend tables: entry (a << 13) | (b << 8) | alpha of the 5-bit table and
// (a << 14) | (b << 8) | alpha of the 6-bit one is
// floor((a * alpha + b * (255 - alpha)) / 255). Filled by GRA_Init.
#define GRA_ALPHA_TABLE5_SIZE (1 << 18)
#define GRA_ALPHA_TABLE6_SIZE (1 << 20)
extern unsigned char g_AlphaTable5[GRA_ALPHA_TABLE5_SIZE];
extern unsigned char g_AlphaTable6[GRA_ALPHA_TABLE6_SIZE];

int GRA_Init(void);
void GRA_SetRotate(int nDegrees, int nStride);
int GRA_GetRotate(void);
void GRA_EnableMode(int bOn);
int GRA_GetEnableMode(void);

void GRA_SetPixel(int x, int y, unsigned short wColor);
void GRA_FillRect(int x, int y, int w, int h, unsigned short wColor);
void GRA_FillRectNormal(int x, int y, int w, int h, unsigned short wColor);
void GRA_Clear(void);
void GRA_FrameRect(int x, int y, int w, int h, unsigned short wColor);
void GRA_Rectangle(int x, int y, int w, int h, unsigned short wFrame, unsigned short wFill);
void GRA_Line(int x0, int y0, int x1, int y1, unsigned short wColor);

// Loads a 24-bit BMP file; null when it cannot be read or is shorter than
// its header and rows.
BITMAP* GRA_LoadBitmap(const char* szPath);
// Converts a 24-bit BMP file image that holds all its rows.
BITMAP* GRA_BuildBitmap(const unsigned char* pBmpFile);
void GRA_FreeBitmap(BITMAP* pBitmap);
void GRA_BitBlt(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h);
void GRA_BitBltT(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h);
void GRA_BitBlt(int x, int y, BITMAP* pBitmap);
void GRA_BitBltT(int x, int y, BITMAP* pBitmap);
void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh);
void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh);
void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap);
void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap);
void GRA_StretchBltRaw(int dx, int dy, int dw, int dh, unsigned char* pPixels, int nSrcWidth, int nSrcHeight, int sx,
                       int sy, int sw, int sh);
void GRA_TileBlt(int x, int y, int w, int h, BITMAP* pBitmap);

// A font is its whole 24-bit BMP file: a metadata row and one cell per
// character code 0..127.
unsigned char* GRA_LoadFont(const char* szPath);
void GRA_FreeFont(unsigned char* pFont);
// Width and height of a string; each BEL (0x07) stores the width so far in
// the next of at most two pnMarks slots (pnMarks may be null).
void GRA_CalcStringS(int* pnWidth, int* pnHeight, const char* sz, unsigned char* pFont, int* pnMarks);
void GRA_DrawString(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont);
void GRA_DrawStringS(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont, int nMaxWidth);
void GRA_DrawStringF(int x, int y, const char* sz, unsigned short wColor, unsigned short wEdge, unsigned char* pFont,
                     int nMaxWidth);
void GRA_DrawStringSR(int xRight, int y, const char* sz, unsigned short wColor, unsigned char* pFont);
void GRA_DrawStringSC(int x, int y, int w, const char* sz, unsigned short wColor, unsigned char* pFont);
void GRA_DrawStringFR(int xRight, int y, const char* sz, unsigned short wColor, unsigned short wEdge,
                      unsigned char* pFont);

#endif
