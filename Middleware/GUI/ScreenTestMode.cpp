// The factory test mode arrives with its own issue; until then it is a pending screen.
#include "Middleware/GUI/PendingScreen.h"

class screen_testmode : public SCREEN_Pending<screen_testmode>
{
public:
    static constexpr const char* NAME = "testmode";
    static constexpr const char* TITLE = "TEST MODE";
    static constexpr int RETURN_DIRECT = 0;
};

CScreenBase* CreateScreen_testmode(void)
{
    return screen_testmode::Create();
}
