// The display thread: LCD or HDMI output.
#ifndef MIDDLEWARE_VPBE_DISPLAY_H
#define MIDDLEWARE_VPBE_DISPLAY_H

extern int g_bDispHdmi;  // the output actually in use is HDMI
extern int g_bSetAV_MuteOFF_Flag;  // release the HDMI mute after the next complete draws

void* DisplayThread(void* pArg);

#endif
