// Playback arrives with the player issue. Until then PL_Init starts the two
// playback threads so that both meeting points are complete, and nothing plays.
#include "player/Player.h"

#include "Lib/Global.h"
#include "Lib/Thread.h"

int g_bAudioRenderRunning = 0;

void* PlayAudioThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

void* PlayVideoThread(void* pArg)
{
    gblIdleThreadBody();
    return nullptr;
}

int g_bKeepStop = 0;
int g_nAudioPlayFreq = 0;
CVSAFilter g_VsaFilter;

static TH_THREAD* s_pPlayAudioThread = nullptr;
static TH_THREAD* s_pPlayVideoThread = nullptr;

int PL_Init(void)
{
    s_pPlayAudioThread = TH_CreateThread(PlayAudioThread, nullptr, nullptr);
    s_pPlayVideoThread = TH_CreateThread(PlayVideoThread, nullptr, nullptr);
    return 1;
}

int PL_IsPlaying(void) { return 0; }

// Stand-ins until the player lands: it rests on a kept picture (stop
// reason 5), so that pictures decoded for it are shown.
int g_nVideoPlayWidth = 0;
int g_nVideoPlayHeight = 0;
int g_nVideoPlayFps = 30;
int PL_IsStop(void) { return 1; }
int PL_GetStopReason(void) { return 5; }
int PL_GetSeekSpeed(void) { return 0; }
int PL_Open(const char* szPath) { return 0; }
void PL_Play(void) {}
int PL_WaitKeepStop(void)
{
    g_bKeepStop = 0;
    return 1;
}
int PL_GetSlideShowing(void) { return 0; }
int PL_Stop(int bWait) { return 1; }
void PL_Close(void) {}

// Stand-ins until the player arrives (remove with it): no file is ever open.
int PL_IsOpen(void) { return 0; }
void PL_GetTitle(char* szTitle) { szTitle[0] = 0; }
void PL_GetDateStr(char* szDate) { szDate[0] = 0; }
unsigned long PL_GetFileSize(void) { return 0; }
void PL_GetInfoStr(char* szVideo, char* szAudio)
{
    szVideo[0] = 0;
    szAudio[0] = 0;
}
