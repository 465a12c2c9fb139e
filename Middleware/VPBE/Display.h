// The display thread: LCD or HDMI output.
#ifndef MIDDLEWARE_VPBE_DISPLAY_H
#define MIDDLEWARE_VPBE_DISPLAY_H

extern int g_bDispHdmi;  // the output actually in use is HDMI

void* DisplayThread(void* pArg);

#endif
