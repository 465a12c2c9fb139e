// The display thread: the video layer of the LCD or of HDMI.
#ifndef MIDDLEWARE_VPBE_DISPLAY_H
#define MIDDLEWARE_VPBE_DISPLAY_H

#include "media-stack/Dmai.h"

extern int g_bDispHdmi;            // the output actually in use is HDMI
extern int g_bSetAV_MuteOFF_Flag;  // release the HDMI mute after the next complete draws

// Player pictures (320 x 240) for the LCD and their free buffers.
extern Fifo_Handle g_hDisplayIn;
extern Fifo_Handle g_hDisplayFree;
// Camera previews (320 x 240) and their free buffers.
extern Fifo_Handle g_hDisplayForCaptureIn;
extern Fifo_Handle g_hDisplayForCaptureFree;

// The HDMI video window while it exists (null otherwise).
extern Display_Handle g_hDisplayHdmi;

void* DisplayThread(void* pArg);

// Screen-buffer layout of the video table: 0 LCD (240 x 320), 1 HDMI 720p,
// 2 HDMI VGA; the buffers are black-filled.
void DisplaySetVpbeBuftabType(int nType);
int DisplayisLCD_Enable(void);
// Asks for the HDMI window to be made again for the current picture size.
void DisplayisChangeHdmiImageSize(void);

// Screen buffers of the HDMI window for the decoder and the scaler, safe
// against the window being made again meanwhile.
int DisplayHdmiExists(void);
int DisplayHdmiGet(Buffer_Handle* phBuf);
int DisplayHdmiPut(Buffer_Handle hBuf);

#endif
