// The frame buffer arrives with the drawing issue; until then it never opens.
#include "DrvLib/FrameBuffer.h"

int FB_Init(void) { return 0; }
void FB_Exit(void) {}
int FB_Flip(void) { return 0; }
void FB_ChgVram(int nFb, int nWidth, int nHeight, int nZoom) {}
void FB_SetEnable(int bOn) {}
int FB_GetEnable(void) { return 1; }
void FB_ToggleEnable(void) {}
void FB_GetVram(unsigned char* pDst) {}
void FB_SetVram(const unsigned char* pSrc) {}
unsigned char* FB_GetVramAddr(int nBank) { return nullptr; }
