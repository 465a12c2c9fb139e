// One screen of the GUI: its table of operations, filled by the screen's
// creator (CreateScreen_<name>). Key handlers and draw operations return
// non-zero to ask for a complete redraw on the next loop pass.
#ifndef MIDDLEWARE_GUI_SCREENBASE_H
#define MIDDLEWARE_GUI_SCREENBASE_H

struct CScreenBase
{
    int (*OnInitialize)(void);
    const char* (*GetName)(void);
    int (*OnSetActive)(CScreenBase* pPrevious);
    int (*OnKillActive)(CScreenBase* pNext);
    int (*OnButtonPress)(unsigned long dwMask);
    int (*OnButtonRelease)(unsigned long dwMask);
    int (*OnButtonLongPress)(unsigned long dwMask);
    int (*OnButtonRepeat)(unsigned long dwMask);
    int (*OnDraw500ms)(void);
    int (*OnDraw100ms)(void);
    int (*OnDraw50ms)(int& bDrawn);
    void (*ResetAllDraw)(void);
    void (*OnTimer)(unsigned long dwMask);
    int (*OnCommand)(int nIndex, const char* szText);
};

// Fills every operation with one that does nothing (returns 0), so that a
// creator sets only the operations its screen has.
void SCREEN_InitTable(CScreenBase* pScreen);

// The creators, in the order the application registers them.
CScreenBase* CreateScreen_popup(void);
CScreenBase* CreateScreen_browse(void);
CScreenBase* CreateScreen_player(void);
CScreenBase* CreateScreen_menu(void);
CScreenBase* CreateScreen_testmode(void);
CScreenBase* CreateScreen_datetime(void);
CScreenBase* CreateScreen_filename(void);
CScreenBase* CreateScreen_info(void);
CScreenBase* CreateScreen_fwupdate(void);

#endif
