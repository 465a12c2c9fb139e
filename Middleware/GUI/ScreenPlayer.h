// The player/recorder screen ("player"), the device's main screen. One
// class in three source files: ScreenPlayer.cpp (its state, the key
// dispatch, the recorder's keys and timers, the OSD rules for HDMI
// pictures), ScreenPlayerPlay.cpp (the player's keys, file changes, stop
// hooks, divide and sound dub) and ScreenPlayerDisplay.cpp (what is drawn
// and where).
#ifndef MIDDLEWARE_GUI_SCREENPLAYER_H
#define MIDDLEWARE_GUI_SCREENPLAYER_H

#include "Lib/Thread.h"
#include "Middleware/GUI/ScreenBase.h"
#include "Middleware/GUI/ScreenManager.h"

// Background kinds of the screen (m_nClearMode).
enum
{
    CLEAR_BLACK = 0,        // player with an empty list
    CLEAR_WAVREC = 1,       // audio mode without a picture
    CLEAR_TRANSPARENT = 2,  // the video shows
    CLEAR_ERROR = 3,        // the open file has an error
};

#define PLAYER_VOLUME_MAX 35
#define PLAYER_POPUP_TICKS 20  // 100 ms ticks the volume popup stays without a key

class screen_player
{
public:
    // Screen operations (ScreenPlayer.cpp; drawing in ScreenPlayerDisplay.cpp).
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnButtonRelease(unsigned long dwMask);
    static int OnButtonLongPress(unsigned long dwMask);
    static int OnButtonRepeat(unsigned long dwMask);
    static int OnDraw500ms(void);
    static int OnDraw100ms(void);
    static int OnDraw50ms(int& bDrawn);
    static void ResetAllDraw(void);
    static void OnTimer(unsigned long dwMask);
    static int OnCommand(int nIndex, const char* szText);

    // Progress of a divide or a dub's copy: the battery and a progress bar.
    static int OnCopyProgress(int nPercent);

    // The list's current file: opened (its name and folder noted), or
    // opened and held on its first frame; the list scanned again with an
    // index kept within it.
    static int OpenCurrent(void);
    static int ShowCurrent(void);
    static void RescanSelect(int nIndex);

    // A rectangle back to the screen's background; a complete redraw at
    // the next tick.
    static void RestoreRect(int x, int y, int w, int h);
    static void RequestFullRedraw(void);

    // OSD drawing over HDMI pictures.
    static void EnableDrawOsd(void);
    static void DisableDrawOsd(void);

    // Player keys, stop hooks and the dub (ScreenPlayerPlay.cpp). The key
    // handlers clear the keys they consume from dwKey.
    static int OnButtonPress_Play(unsigned long& dwKey);
    static int OnButtonPress_MovieAndAudioModePlay(unsigned long& dwKey);
    static int PreStop(int nReason);
    static void PostPlayerStop(int nReason);
    static void StopAfterRec(void);
    static void StartAfterRec(void);
    static void SlideShowStep(void);
    static void SetSeekSpeed(int nSpeed, int bResume);

    // Readouts (ScreenPlayerDisplay.cpp).
    static int DrawTime(int bPartial);
    static void DrawRemainTime(int bPartial, int bTimeUpdated);
    static void DrawLevelMeter(int bPartial);

    // State shared by the three parts.
    static int m_nAllDraw;
    static int m_bIsFirstDraw;
    static int m_bFileChanging;
    static int m_bSpeedPopup;
    static int m_bIoPopup;
    static int m_nVolumePopup;
    static int m_bDeletePopup;
    static int m_nSeekSpeedType;  // 0 none, 1 started while playing, 2 while paused or stopped
    static DWORD m_dwSeekStartTime;
    static int m_nSelfTimer;      // ms left, 0 = none
    static DWORD m_dwPreSelfTimerCheckTime;
    static int m_nSlideShowTimer; // ms left, 0 = no slide show
    static DWORD m_dwPreSlideShowCheckTime;
    static int m_bStopAfterRecReq;
    static int m_bOsdDrawEnable;
    static int m_bPreFBenable;
    static int m_nClearMode;
    static int m_nDispTitlePos;   // scroll position of a long file name
    static char m_curDir[256];    // directory of the current file
    static char m_curFile[256];   // name of the current file, "" for none
    static char s_szAfterRecPath[256];
    static unsigned char m_VramSv[SCREEN_FRAME_BYTES];

private:
    // Recorder (ScreenPlayer.cpp).
    static int OnButtonPress_Rec(unsigned long& dwKey);
    static int OnButtonPress_RecMovieAndAudio(unsigned long& dwKey);
    static int OnButtonPress_RecPhoto(unsigned long& dwKey);
    static int OnButtonPress_VolumePopup(unsigned long& dwKey);
    static int OnButtonPress_AfterRec(unsigned long& dwKey);
    static int StartRecordKey(int bPhoto);
    static void LeaveRecorder(int bStopRecording);
    static void Zoom(int nStep);
    static void SelfTimerStep(void);
    static void AutoRecStep(void);
    static int CheckRecorderError(void);
    static int CheckPlayerError(void);

    // Player (ScreenPlayerPlay.cpp).
    static int OnButtonPress_SpeedPopup(unsigned long& dwKey);
    static int OnButtonPress_IoPopup(unsigned long& dwKey);
    static int OnButtonPress_Divide(unsigned long& dwKey);
    static int OnButtonPress_PhotoModePlay(unsigned long& dwKey);
    static int OnButtonPress_GeneralPlay(unsigned long& dwKey);
    static int CueReview(unsigned long dwKey);
    static int MoveToLoopPoint(unsigned long dwKey);
    static void MoveTo(int nMs);
    static int DeleteFile(void);
    static int DivideFile(void);
    static int StepFile(int nStep);
    static int ChangeMode(void);
    static int GoToRecorder(void);
    static void WaitHdmiOff(void);

    // Display (ScreenPlayerDisplay.cpp).
    static void DrawAll(void);
    static void Draw500msUpdate(void);
    static int DrawFast(int bAudioTick);
};

// Recorder and player entry points of the screen for the rest of the system.
void PL_EnableDrawOsd(void);
void SPL_SetSeekSpeed(int nSpeed, int bResume);

#endif
