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

extern unsigned char* g_pDrawTarget;

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

BITMAP* GRA_LoadBitmap(const char* szPath);
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

unsigned char* GRA_LoadFont(const char* szPath);
void GRA_FreeFont(unsigned char* pFont);
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
