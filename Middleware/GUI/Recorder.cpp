#include "Middleware/GUI/Recorder.h"

#include "DrvLib/Msp430.h"
#include "Middleware/GUI/ScreenManager.h"

int g_bRecording = 0;
int g_bRecPause = 0;
int g_bPhotoCaptured = 0;
int g_bAfterRecording = 0;
int g_bAfterRecMode = 0;
int g_nRecPos = 0;
int g_bDivideMode = 0;
int g_nPlaybackVol = 25;
int g_bStepSeek = 0;

int g_bMovieRecHDMI = 0;
int g_bAudioRecHDMI = 0;
int g_bPhotoRecHDMI = 0;
int g_bMenuPlayHDMI = 0;
int g_bBrowsePlayHDMI = 0;

int REC_Start(void)
{
    if (g_Msp430_nBatteryLevel < 2) {
        g_ScreenManager.Error("BATTERY LOW !");
        return 0;
    }
    g_bRecording = 1;
    g_bRecPause = 0;
    g_nRecPos = 0;
    return 1;
}

void REC_Stop(void)
{
    g_bRecording = 0;
    g_bRecPause = 0;
    g_bPhotoCaptured = 0;
}

void REC_Pause(void)
{
    if (g_bRecording)
        g_bRecPause = !g_bRecPause;
}

int REC_IsRecording(void) { return g_bRecording; }
int REC_IsPausing(void) { return g_bRecPause; }
int REC_GetPos(void) { return g_bRecording ? g_nRecPos : 0; }
int REC_Standby(void) { return 1; }
