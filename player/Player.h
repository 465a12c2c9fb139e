// The player: opening, playing and pacing MOV, WAV and JPEG files. The
// play audio thread is the clock of the play position; the play video
// thread follows it.
#ifndef PLAYER_PLAYER_H
#define PLAYER_PLAYER_H

#include "Middleware/Audio/VSAFilter.h"

// Reasons given to PL_Stop.
#define STOP_BY_SYSTEM 1  // open, card and state changes, other screens
#define STOP_BY_USER 2    // the stop key: back to the top, first frame kept
#define STOP_BY_END 3     // the end of the file or of the loop was reached
#define STOP_BY_TOP 4     // review reached the start (or the loop start)
#define STOP_BY_KEEP 5    // the kept first frame (or the still) is on screen

// The I/O (A-B) loop points, in ms; -1 = not set. The player screen fills
// them; nothing is checked here.
class CIoRepeat
{
public:
    CIoRepeat() : m_nStartPos(-1), m_nEndPos(-1), m_bSetting(0), m_bLoopEnable(0) {}

    int GetStartPos() { return m_nStartPos; }
    int GetEndPos() { return m_nEndPos; }
    void SetStartPos(int nMs) { m_nStartPos = nMs; }
    void SetEndPos(int nMs) { m_nEndPos = nMs; }
    void StartSetting() { m_bSetting = 1; }
    void EndSetting() { m_bSetting = 0; }
    int GetSetting() { return m_bSetting; }
    void EnableLoop() { m_bLoopEnable = 1; }
    void DisableLoop() { m_bLoopEnable = 0; }
    int GetLoopEnable() { return m_bLoopEnable; }
    void Reset()
    {
        m_bSetting = 0;
        m_bLoopEnable = 0;
        m_nStartPos = -1;
        m_nEndPos = -1;
    }

private:
    int m_nStartPos;
    int m_nEndPos;
    int m_bSetting;
    int m_bLoopEnable;
};

// Play format of the open file, for the screens and the video path.
extern int g_nAudioPlayFreq;
extern int g_nAudioPlayBits;
extern int g_nAudioPlayChannels;
extern int g_nVideoPlayWidth;
extern int g_nVideoPlayHeight;
extern int g_nVideoPlayFps;
extern int g_bAudioRenderRunning;  // the sound device is open for playback
extern int g_bKeepStop;            // a stop that leaves the first frame on screen is in progress
extern CVSAFilter g_VsaFilter;
extern CIoRepeat g_ctrlIoRepeat;

int PL_Init(void);
int PL_Open(const char* szPath);
int PL_Close(void);
void PL_Play(void);
int PL_Pause(void);
int PL_Stop(int nReason);
void PL_SetPos(int nMs);
void PL_SetSeekSpeed(int nSpeed, int bResume);
void PL_StartAudioRenderer(void);
void PL_StopAudioRenderer(void);
int PL_GetPos(void);
int PL_GetDuration(void);
int PL_IsOpen(void);
int PL_IsStopping(void);
int PL_GetStopReason(void);
int PL_GetSeekSpeed(void);
int PL_GetErrorCode(void);
int PL_GetDispErrorPopup(void);
void PL_SetDispErrorPopup(void);
int PL_GetStat(void);
int PL_IsPlaying(void);
int PL_IsPausing(void);
int PL_IsStop(void);
int PL_IsImage(void);
void PL_GetTitle(char* szTitle);
void PL_GetDateStr(char* szDate);
unsigned long PL_GetFileSize(void);
void PL_GetInfoStr(char* szVideo, char* szAudio);
int PL_WaitKeepStop(void);

// Hooks of the player screen, called by PL_Stop: PL_PreStop returns
// non-zero to let the stop happen; PL_PostStop follows a completed stop.
int PL_PreStop(int nReason);
void PL_PostStop(int nReason);
// The player screen's slide show is running.
int PL_GetSlideShowing(void);
// The player screen draws its OSD again (after HDMI pictures kept it off).
void PL_EnableDrawOsd(void);

void* PlayAudioThread(void* pArg);
void* PlayVideoThread(void* pArg);

#endif
