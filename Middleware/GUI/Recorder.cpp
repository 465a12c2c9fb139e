// Recording arrives with the recorder screen; until then nothing records.
#include "Middleware/GUI/Recorder.h"

int g_bRecording = 0;
int g_bRecPause = 0;
int g_bPhotoCaptured = 0;
int g_bAfterRecording = 0;
int g_bAfterRecMode = 0;
int g_nRecPos = 0;
int g_bDivideMode = 0;
int g_nPlaybackVol = 25;
int g_bStepSeek = 0;

int REC_IsRecording(void) { return g_bRecording; }
void REC_Start(void) {}
void REC_Stop(void)
{
    g_bRecording = 0;
    g_bRecPause = 0;
    g_bPhotoCaptured = 0;
}
