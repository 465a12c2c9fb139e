// The capture thread: camera frames, previews, scaling and snapshots.
#ifndef MIDDLEWARE_VPFE_CAPTURE_H
#define MIDDLEWARE_VPFE_CAPTURE_H

#include "media-stack/Dmai.h"

struct CaptureEnv
{
    Fifo_Handle hOutFifo;  // FIFO B: captured frames to the video thread
    Fifo_Handle hInFifo;   // FIFO A: capture buffers given back
};

extern int g_bStartRecCap;  // the first frame of a recorder-mode run has been taken

void* CaptureTread(void* pArg);

// Size of the movie being recorded, from "/REC Quality/IMAGE SIZE".
// Stand-in until the capture thread lands: it sets them; remove this note then.
extern int g_nVideoRecordWidth;
extern int g_nVideoRecordHeight;

extern int g_nZoom;          // requested zoom in percent, 100-400
extern int g_nWhiteBalance;  // requested white balance, 0-5

// Restarts the capture with the current settings (image size).
void ResetVideoCapture(void);
// Waits (at most 4 s) until player mode is ready to scale pictures.
void WaitStartPlayResizer(void);

// Pictures to scale for the screens, and the free scaler inputs.
extern Fifo_Handle g_hResizerIn;
extern Fifo_Handle g_hResizerFree;

// Camera sensor registers for the debug console; 0 while no capture device exists.
int VPFE_GetCameraReg(int nReg, unsigned long* pdwValue);
int VPFE_SetCameraReg(int nReg, unsigned long dwValue);

// Test camera mode: the capture runs for the test mode's camera page.
extern int g_bTestCameraMode;
// The capture device's colour bar (test mode); 0 while no capture device exists.
int VPFE_SetColorbar(int bOn);

#endif
