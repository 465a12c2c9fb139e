// A registered screen whose own behaviour arrives later: it shows its
// header and a hint, and MENU leads to the menu.
#ifndef MIDDLEWARE_GUI_PENDINGSCREEN_H
#define MIDDLEWARE_GUI_PENDINGSCREEN_H

#include "DrvLib/Key.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenManager.h"

// Screen supplies NAME, TITLE and RETURN_DIRECT (1: back to the menu as it
// was left, as a screen opened from the menu does; 0: the menu's start).
template <class Screen>
class SCREEN_Pending
{
public:
    static const char* GetName(void) { return Screen::NAME; }

    static int OnButtonPress(unsigned long dwMask)
    {
        if (dwMask != KEY_MENU)
            return 0;
        if (Screen::RETURN_DIRECT) {
            static const unsigned long s_adwArrow[] = {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT};
            for (unsigned long dwArrow : s_adwArrow)
                g_ScreenManager.SetButtonAutoRepeat(dwArrow, 100);
            g_ScreenManager.SetActive("menu", 0);
        } else {
            g_ScreenManager.SetActive("menu", 1);
        }
        return 1;
    }

    static int OnDraw500ms(void)
    {
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
        DrawHeader(Screen::TITLE);
        GRA_DrawStringSC(0, 100, GRA_WIDTH, "Press MENU for the menu", GUI_COLOR_WHITE, g_pFont_a20);
        return 0;
    }

    static CScreenBase* Create(void)
    {
        static CScreenBase s_table;
        SCREEN_InitTable(&s_table);
        s_table.GetName = GetName;
        s_table.OnButtonPress = OnButtonPress;
        s_table.OnButtonRepeat = OnButtonPress;
        s_table.OnDraw500ms = OnDraw500ms;
        s_table.OnInitialize();
        return &s_table;
    }
};

#endif
