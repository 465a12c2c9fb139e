// The firmware update screen arrives with its own issue; until then it is a pending screen.
#include "Middleware/GUI/PendingScreen.h"

class screen_fwupdate : public SCREEN_Pending<screen_fwupdate>
{
public:
    static constexpr const char* NAME = "fwupdate";
    static constexpr const char* TITLE = "F/W UPDATE";
    static constexpr int RETURN_DIRECT = 0;
};

CScreenBase* CreateScreen_fwupdate(void)
{
    return screen_fwupdate::Create();
}
