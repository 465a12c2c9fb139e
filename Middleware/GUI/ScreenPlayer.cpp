// The player and recorder screen arrives with its own issue; until then it
// is a pending screen that keeps the current file for the others.
#include "Middleware/GUI/ScreenPlayer.h"

#include "Middleware/GUI/PendingScreen.h"
#include "player/Player.h"

char screen_player::m_curDir[256] = "";
char screen_player::m_curFile[256] = "";

class screen_player_pending : public SCREEN_Pending<screen_player_pending>
{
public:
    static constexpr const char* NAME = "player";
    static constexpr const char* TITLE = "PLAYER";
    static constexpr int RETURN_DIRECT = 0;
};

CScreenBase* CreateScreen_player(void)
{
    return screen_player_pending::Create();
}

// Stand-ins for the screen's player hooks until the screen arrives (remove
// then). Only the I/O loop part of the stop hook is here: at the loop's end
// play goes on from its start, and review at its start goes on from a
// second before its end.
int PL_PreStop(int nReason)
{
    if (!PL_IsPlaying() || !g_ctrlIoRepeat.GetLoopEnable())
        return 1;
    if (nReason == STOP_BY_END) {
        PL_SetPos(g_ctrlIoRepeat.GetStartPos());
        return 0;
    }
    if (nReason == STOP_BY_TOP) {
        PL_SetPos(g_ctrlIoRepeat.GetEndPos() - 1000);
        return 0;
    }
    return 1;
}

void PL_PostStop(int nReason) {}

int PL_GetSlideShowing(void) { return 0; }

// Stand-ins for the player screen's HDMI requests and OSD switch until the
// screen arrives (remove then): nothing asks for them yet.
int g_bHdmiOffReq = 0;
int g_bMovieRecHDMI = 0;
int g_bPhotoRecHDMI = 0;
int g_bAudioRecHDMI = 0;
int g_bMenuPlayHDMI = 0;
void PL_EnableDrawOsd(void) {}
