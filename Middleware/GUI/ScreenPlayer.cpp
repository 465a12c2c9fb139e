// The player and recorder screen arrives with its own issue; until then it
// is a pending screen that keeps the current file for the others.
#include "Middleware/GUI/ScreenPlayer.h"

#include "Middleware/GUI/PendingScreen.h"

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
