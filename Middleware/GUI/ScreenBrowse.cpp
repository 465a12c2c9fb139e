// The browse screen arrives with its own issue; until then it is a pending screen.
#include "Middleware/GUI/PendingScreen.h"

class screen_browse : public SCREEN_Pending<screen_browse>
{
public:
    static constexpr const char* NAME = "browse";
    static constexpr const char* TITLE = "BROWSE";
    static constexpr int RETURN_DIRECT = 0;
};

CScreenBase* CreateScreen_browse(void)
{
    return screen_browse::Create();
}
