// Recorder functions and flags of the player/recorder screen: the writer,
// capture and video threads follow the flags; the screen sets them.
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

// Hand-over flags: the recorder or the menu was entered from an HDMI
// picture, which comes back when HDMI is switched on again; the browse
// screen started play on HDMI itself.
extern int g_bMovieRecHDMI;
extern int g_bAudioRecHDMI;
extern int g_bPhotoRecHDMI;
extern int g_bMenuPlayHDMI;
extern int g_bBrowsePlayHDMI;

// 1 when the recording starts (the writer and capture threads follow the
// flags), 0 with "BATTERY LOW !" shown.
int REC_Start(void);
void REC_Stop(void);
void REC_Pause(void);
int REC_IsRecording(void);
int REC_IsPausing(void);
int REC_GetPos(void);
int REC_Standby(void);

#endif
