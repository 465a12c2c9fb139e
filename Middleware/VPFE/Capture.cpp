// Camera capture arrives with the video issue; until then the thread idles.
#include "Middleware/VPFE/Capture.h"

#include "Lib/Global.h"

int g_bStartRecCap = 0;
int g_nVideoRecordWidth = 1280;  // stand-in until the capture thread sets it
int g_nVideoRecordHeight = 720;
int g_nZoom = 100;
int g_nWhiteBalance = 0;

void ResetVideoCapture(void) {}

// Stand-ins until the video issue lands (remove then): no scaler runs.
Fifo_Handle g_hResizerIn = nullptr;
Fifo_Handle g_hResizerFree = nullptr;
void WaitStartPlayResizer(void) {}

void* CaptureTread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

// Stand-ins until the capture thread arrives (remove with it).
int g_bTestCameraMode = 0;
int VPFE_SetColorbar(int bOn) { return 0; }

int VPFE_GetCameraReg(int nReg, unsigned long* pdwValue) { return 0; }
int VPFE_SetCameraReg(int nReg, unsigned long dwValue) { return 0; }
