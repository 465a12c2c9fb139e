// The video front end: the camera through the capture driver, with the
// previewer/resizer chain that makes a preview of every frame.
#ifndef MEDIA_STACK_CAPTURE_H
#define MEDIA_STACK_CAPTURE_H

#include "media-stack/Dmai.h"

enum VideoStd_Type
{
    VideoStd_AUTO = 0,
    VideoStd_VGA = 5,       // 640 x 480
    VideoStd_720P_30 = 12,  // 1280 x 720, 30 frames/s
};

// Width and height of a standard; Dmai_EINVAL for one the board lacks.
int VideoStd_getResolution(int videoStd, int32_t* pWidth, int32_t* pHeight);

typedef struct Capture_Object* Capture_Handle;

struct Capture_Attrs
{
    int numBufs;
    int colorSpace;        // ColorSpace_UYVY
    int videoStd;          // VideoStd_Type
    int32_t width;         // frame size; -1: the standard's
    int32_t height;
    const char* captureDevice;
};

extern const Capture_Attrs Capture_Attrs_DEFAULT;

// Starts capturing into the first numBufs buffers of the table. Each
// buffer holds a frame and, behind its bytes, the frame's 320 x 240 preview.
Capture_Handle Capture_create(BufTab_Handle hBufTab, const Capture_Attrs* pAttrs);
int Capture_delete(Capture_Handle hCapture);

// Waits for the next frame (at most about 2 s). *phRaw receives the capture
// buffer (give it back with Capture_put); the frame is copied into *phFrame
// at that buffer's dimensions and the preview into *phPreview, both as the
// previewer chain is configured (Resize_chain_config2).
int Capture_get2(Capture_Handle hCapture, Buffer_Handle* phRaw, Buffer_Handle* phFrame, Buffer_Handle* phPreview);
int Capture_put(Capture_Handle hCapture, Buffer_Handle hRaw);
// Waits at most nMs for a frame to be ready: 1 when one is, else 0.
int Capture_waitFrame(Capture_Handle hCapture, int nMs);

// Read-out mirrored both ways (the camera head turned over).
int Capture_setFlip(Capture_Handle hCapture, int bFlip);
// The centred part of the field that is captured (zoom).
int Capture_setCrop(Capture_Handle hCapture, int32_t width, int32_t height);
// 0 auto, 1 bulb light, 2 fluorescent light, 3 stage light, 4 sunlight, 5 cloudy.
int Capture_setWhiteBalarance(Capture_Handle hCapture, int nWhiteBalance);
// The sensor's initialisation sequence again (flip, balance, crop, pattern off).
int Capture_cameraInit(Capture_Handle hCapture);
int Capture_setColrbar(Capture_Handle hCapture, int bOn);
int Capture_getCameraReg(Capture_Handle hCapture, int nReg, unsigned long* pdwValue);
int Capture_setCameraReg(Capture_Handle hCapture, int nReg, unsigned long dwValue);

// Frame size of the running capture.
int32_t Capture_getWidth(Capture_Handle hCapture);
int32_t Capture_getHeight(Capture_Handle hCapture);

#endif
