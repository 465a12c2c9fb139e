// The popup menu: a short list of choices over the screen that opened it;
// ENTER hands the chosen entry to that screen's OnCommand.
#ifndef MIDDLEWARE_GUI_SCREENPOPUP_H
#define MIDDLEWARE_GUI_SCREENPOPUP_H

#include "Middleware/GUI/ScreenBase.h"
#include "Middleware/GUI/ScreenManager.h"

#define POPUP_MAX_ITEMS 16
#define POPUP_ITEM_SIZE 32

// Opens the popup with a null-terminated list of texts; returns 0.
int PopupMenu(const char** pszItems);

class screen_popup
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnButtonRepeat(unsigned long dwMask);
    static int OnDraw500ms(void);

    static char m_aItems[POPUP_MAX_ITEMS][POPUP_ITEM_SIZE];
    static int m_nItems;
    static int m_nCursor;
    static CScreenBase* m_pLastActive;
    static unsigned char m_VramSv[SCREEN_FRAME_BYTES];
};

#endif
