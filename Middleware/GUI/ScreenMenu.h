// The menu screen: the group grid, the item list of a group and the value
// editor. Every change is stored and applied at once.
#ifndef MIDDLEWARE_GUI_SCREENMENU_H
#define MIDDLEWARE_GUI_SCREENMENU_H

#include "Lib/Parameter.h"
#include "Middleware/GUI/ScreenBase.h"

#define MENU_ROWS 7

enum
{
    MENU_LEVEL_GROUPS = 0,
    MENU_LEVEL_ITEMS = 1,
    MENU_LEVEL_EDIT = 2,
};

extern int g_bMenuInputSetting;  // open directly in "Input Setting" (from the player)
extern int g_bMenuRecSetting;    // open directly in "Rec Option"
extern int g_nInfoType;          // page of the information screen: 0 file, 1 card, 2 system
extern int g_bPlaylist;          // the browse screen opens in playlist mode

class screen_menu
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnDraw500ms(void);
    static void ResetAllDraw(void);

    static int m_nLevel;
    static int m_nAllDraw;

    // The choice of a list item that its value selects, or -1.
    static int GetChoiceIndex(const MENU_ITEM* pItem);
    static int GetItemCount(const MENU_GROUP* pGroup);

private:
    static int IsDirect(void);
    static void ExitToPlayer(void);
    static MENU_GROUP* SelectedGroup(void);
    static MENU_ITEM* HighlightedItem(void);
    static int PressGroups(unsigned long dwMask);
    static int PressItems(unsigned long dwMask);
    static int PressEditor(unsigned long dwMask);
    static int RunAction(MENU_GROUP* pGroup, MENU_ITEM* pItem);
    static void ApplyValue(MENU_GROUP* pGroup, MENU_ITEM* pItem, float fValue);
    static void ApplyPlayArea(const char* szLabel);
    static void Initialize(void);
    static void DrawGroups(int bComplete);
    static void DrawItems(int bComplete);
    static void DrawRow(int nRow, int bComplete);
    static void DrawEditor(void);

    // What the last draw showed, for the partial redraws.
    static int m_nDrawnLevel;
    static int m_nDrawnGroup;
    static int m_nDrawnCursor;
    static int m_nDrawnScroll;
};

#endif
