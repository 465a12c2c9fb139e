// The graphics library arrives with the drawing issue; until then drawing is off.
#include "Middleware/GUI/Graphics.h"

unsigned char* g_pDrawTarget = nullptr;

int GRA_Init(void) { return 0; }
void GRA_SetRotate(int nDegrees, int nStride) {}
int GRA_GetRotate(void) { return 90; }
void GRA_EnableMode(int bOn) {}
int GRA_GetEnableMode(void) { return 0; }
void GRA_SetPixel(int x, int y, unsigned short wColor) {}
void GRA_FillRect(int x, int y, int w, int h, unsigned short wColor) {}
void GRA_FillRectNormal(int x, int y, int w, int h, unsigned short wColor) {}
void GRA_Clear(void) {}
void GRA_FrameRect(int x, int y, int w, int h, unsigned short wColor) {}
void GRA_Rectangle(int x, int y, int w, int h, unsigned short wFrame, unsigned short wFill) {}
void GRA_Line(int x0, int y0, int x1, int y1, unsigned short wColor) {}
BITMAP* GRA_LoadBitmap(const char* szPath) { return nullptr; }
BITMAP* GRA_BuildBitmap(const unsigned char* pBmpFile) { return nullptr; }
void GRA_FreeBitmap(BITMAP* pBitmap) {}
void GRA_BitBlt(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h) {}
void GRA_BitBltT(int x, int y, BITMAP* pBitmap, int sx, int sy, int w, int h) {}
void GRA_BitBlt(int x, int y, BITMAP* pBitmap) {}
void GRA_BitBltT(int x, int y, BITMAP* pBitmap) {}
void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh) {}
void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap, int sx, int sy, int sw, int sh) {}
void GRA_StretchBlt(int dx, int dy, int dw, int dh, BITMAP* pBitmap) {}
void GRA_StretchBltT(int dx, int dy, int dw, int dh, BITMAP* pBitmap) {}
void GRA_StretchBltRaw(int dx, int dy, int dw, int dh, unsigned char* pPixels, int nSrcWidth, int nSrcHeight, int sx,
                       int sy, int sw, int sh) {}
void GRA_TileBlt(int x, int y, int w, int h, BITMAP* pBitmap) {}
unsigned char* GRA_LoadFont(const char* szPath) { return nullptr; }
void GRA_FreeFont(unsigned char* pFont) {}
void GRA_CalcStringS(int* pnWidth, int* pnHeight, const char* sz, unsigned char* pFont, int* pnMarks)
{
    *pnWidth = 0;
    *pnHeight = 0;
}
void GRA_DrawString(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont) {}
void GRA_DrawStringS(int x, int y, const char* sz, unsigned short wColor, unsigned char* pFont, int nMaxWidth) {}
void GRA_DrawStringF(int x, int y, const char* sz, unsigned short wColor, unsigned short wEdge, unsigned char* pFont,
                     int nMaxWidth) {}
void GRA_DrawStringSR(int xRight, int y, const char* sz, unsigned short wColor, unsigned char* pFont) {}
void GRA_DrawStringSC(int x, int y, int w, const char* sz, unsigned short wColor, unsigned char* pFont) {}
void GRA_DrawStringFR(int xRight, int y, const char* sz, unsigned short wColor, unsigned short wEdge,
                      unsigned char* pFont) {}
