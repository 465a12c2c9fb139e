// The date/time screen: sets the real-time clock.
#ifndef MIDDLEWARE_GUI_SCREENDATETIME_H
#define MIDDLEWARE_GUI_SCREENDATETIME_H

#include "Middleware/GUI/ScreenBase.h"

class screen_datetime
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnDraw500ms(void);

    static int m_nCursor;  // 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second
    static int m_nYear;
    static int m_nMonth;
    static int m_nDay;
    static int m_nHour;
    static int m_nMinute;
    static int m_nSecond;
    static CScreenBase* m_pLastScreen;

private:
    static void Return(void);
    static void Step(int nDelta);
};

// Shared by the date/time and file-name screens: back to the screen that
// opened them. The menu is made active again as it was left, with the
// auto-repeat of its arrows; any other screen gets the player.
void SCREEN_ReturnToMenuOrPlayer(CScreenBase* pPrevious, int bAlwaysDirect);
// Auto-repeat of the four arrow keys (0 = off).
void SCREEN_SetArrowRepeat(unsigned long dwMS);

#endif
