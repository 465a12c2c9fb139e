// Menu tree: every user setting with its type, current value and choices,
// and the access by key that falls back to the settings store.
#ifndef LIB_PARAMETER_H
#define LIB_PARAMETER_H

#define MENU_MAX_GROUPS 8
#define MENU_MAX_ITEMS 16
#define MENU_MAX_CHOICES 8

enum
{
    MENU_TYPE_LIST = 0,     // choice list
    MENU_TYPE_RANGE = 1,    // numeric range: min, max, step, display format
    MENU_TYPE_ACTION = 2,   // action or sub-screen
    MENU_TYPE_PAGES = 3,    // page list
};

struct MENU_ITEM
{
    const char* szName;
    int nType;
    float fValue;
    const char* aszChoice[MENU_MAX_CHOICES];  // null-terminated
};

struct MENU_GROUP
{
    const char* szName;
    int nCursor;
    int nScroll;
    MENU_ITEM aItem[MENU_MAX_ITEMS];  // the first item without a name ends the list
};

struct MENU_INFO
{
    int nSelectedGroup;
    MENU_GROUP aGroup[MENU_MAX_GROUPS];
};

MENU_INFO* GetMenuInfo(void);
MENU_ITEM* FindL2(const char* szKey);

float GetParameter(const char* szKey, char* szText);
int SetParameter(const char* szKey, float fValue);
int SetParameter(const char* szKey, const char* szText);

// Choice helpers shared with the menu screen: the value and the label of
// choice nIndex of an item ("44100:44.1kHz" gives 44100 and "44.1kHz").
float MENU_GetChoiceValue(const MENU_ITEM* pItem, int nIndex);
const char* MENU_GetChoiceLabel(const MENU_ITEM* pItem, int nIndex);
int MENU_GetChoiceCount(const MENU_ITEM* pItem);
// Restores every item, cursor and scroll to its compiled-in value.
void MENU_ResetDefaults(void);

#endif
