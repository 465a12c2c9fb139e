// The capture thread: camera frames, previews, scaling and snapshots.
#ifndef MIDDLEWARE_VPFE_CAPTURE_H
#define MIDDLEWARE_VPFE_CAPTURE_H

#include "media-stack/Dmai.h"

struct CaptureEnv
{
    Fifo_Handle hOutFifo;  // FIFO B: captured frames to the video thread
    Fifo_Handle hInFifo;   // FIFO A: capture buffers given back
};

extern int g_bStartRecCap;        // the first frame of a recorder-mode run has been taken
extern int g_nZoom;               // requested zoom in percent, 100-400
extern int g_nDispZoom;           // zoom in effect; -1 outside recorder mode
extern int g_nWhiteBalance;       // requested white balance, 0-5
extern int g_bTestCameraMode;     // the test mode's camera page runs
extern int g_nVideoRecordWidth;   // recording and photo size (1280 x 720 or 640 x 480)
extern int g_nVideoRecordHeight;

// Pictures to scale (player mode) and the scaler's free inputs.
extern Fifo_Handle g_hResizerIn;
extern Fifo_Handle g_hResizerFree;
// A caller's destination for the next scaled picture (browse thumbnails).
extern Buffer_Handle g_hResizeDstBuffer;

// The camera while a capture device exists (recorder or test camera mode),
// null otherwise.
extern Capture_Handle g_hCapture;

void* CaptureTread(void* pArg);

// Leaves the current mode and starts it again (new recording size, new
// settings); returns when the capture thread has done so.
void ResetVideoCapture(void);
// Waits up to 4 s until player mode is ready.
void WaitStartPlayResizer(void);

// Photos from recorder mode: SnapImage into the current folder (0, -1 no
// file name, -2 encode or write failed), SnapImageTemp into
// "/sdcard/.tmp.jpg" (0 or -2). They wait until the photo is taken.
int SnapImage(void);
int SnapImageTemp(void);
int IsSnapImage(void);
int IsSnapImageTemp(void);

// The capture table as 7 capture buffers (recorder) or 3 scaler inputs (player).
int ChgVpfeBufTabToRecMode(void);
int ChgVpfeBufTabToPlayMode(void);

// Recording frames lost since start because no frame buffer came back from
// the encoder in time (the writer or the encoder fell behind).
int VPFE_GetMissedFrames(void);

// Camera sensor registers for the debug console; 0 while no capture device exists.
int VPFE_GetCameraReg(int nReg, unsigned long* pdwValue);
int VPFE_SetCameraReg(int nReg, unsigned long dwValue);

// The capture device's colour bar (test mode); 0 while no capture device exists.
int VPFE_SetColorbar(int bOn);

#endif
