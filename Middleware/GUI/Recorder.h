// Recorder functions and flags of the player/recorder screen.
#ifndef MIDDLEWARE_GUI_RECORDER_H
#define MIDDLEWARE_GUI_RECORDER_H

extern int g_bRecording;
extern int g_bRecPause;
extern int g_bPhotoCaptured;
extern int g_bAfterRecording;
extern int g_bAfterRecMode;
extern int g_nRecPos;  // recorded ms, 100 per sound buffer
extern int g_bDivideMode;    // the file divide mode of the browse screen
extern int g_nPlaybackVol;   // output volume 0-35
extern int g_bStepSeek;      // a tapped cue or review runs on after the key is released

int REC_IsRecording(void);
void REC_Start(void);
void REC_Stop(void);

#endif
