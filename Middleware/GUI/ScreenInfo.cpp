// The information screen arrives with its own issue; until then it is a pending screen.
#include "Middleware/GUI/PendingScreen.h"

class screen_info : public SCREEN_Pending<screen_info>
{
public:
    static constexpr const char* NAME = "info";
    static constexpr const char* TITLE = "INFORMATION";
    static constexpr int RETURN_DIRECT = 1;
};

CScreenBase* CreateScreen_info(void)
{
    return screen_info::Create();
}
