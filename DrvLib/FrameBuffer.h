// The on-screen-display frame buffer: two banks, flipped.
#ifndef DRVLIB_FRAMEBUFFER_H
#define DRVLIB_FRAMEBUFFER_H

#define FBIO_SETZOOM                   0x400C4624
#define FBIO_SET_BITMAP_BLEND_FACTOR   0x400C4631
#define FBIO_ENABLE_DISABLE_WIN        0x40014630

int FB_Init(void);
void FB_Exit(void);
int FB_Flip(void);
void FB_ChgVram(int nFb, int nWidth, int nHeight, int nZoom);
void FB_SetEnable(int bOn);
int FB_GetEnable(void);
void FB_ToggleEnable(void);
void FB_GetVram(unsigned char* pDst);
void FB_SetVram(const unsigned char* pSrc);
unsigned char* FB_GetVramAddr(int nBank);

#endif
