// The video back end: a video window of the LCD ("/dev/video2") or of HDMI
// ("/dev/video1") under the on-screen display, fed from the application's
// buffer table.
#ifndef MEDIA_STACK_DISPLAY_H
#define MEDIA_STACK_DISPLAY_H

#include "media-stack/Dmai.h"

typedef struct Display_Object* Display_Handle;

struct Display_Attrs
{
    int numBufs;
    int colorSpace;   // ColorSpace_UYVY
    int32_t width;    // picture size of the window
    int32_t height;
    int32_t lineLength;
    const char* displayDevice;
};

extern const Display_Attrs Display_Attrs_DEFAULT;

Display_Handle Display_create(BufTab_Handle hBufTab, const Display_Attrs* pAttrs);
int Display_delete(Display_Handle hDisplay);
// A screen buffer that is not on screen (waits at most about 1 s).
int Display_get(Display_Handle hDisplay, Buffer_Handle* phBuf);
// Shows the buffer; the one shown before comes back through Display_get.
int Display_put(Display_Handle hDisplay, Buffer_Handle hBuf);

#endif
