#include "Middleware/GUI/ScreenPopup.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "Middleware/GUI/Gui.h"

#include <stdio.h>

char screen_popup::m_aItems[POPUP_MAX_ITEMS][POPUP_ITEM_SIZE];
int screen_popup::m_nItems = 0;
int screen_popup::m_nCursor = 0;
CScreenBase* screen_popup::m_pLastActive = nullptr;
unsigned char screen_popup::m_VramSv[SCREEN_FRAME_BYTES];

int PopupMenu(const char** pszItems)
{
    screen_popup::m_nItems = 0;
    for (int i = 0; pszItems && pszItems[i]; ++i) {
        if (screen_popup::m_nItems >= POPUP_MAX_ITEMS)
            continue;
        // Longer texts are cut to the slot.
        snprintf(screen_popup::m_aItems[screen_popup::m_nItems], POPUP_ITEM_SIZE, "%s", pszItems[i]);
        ++screen_popup::m_nItems;
    }
    g_ScreenManager.SetActive("popup", 1);
    return 0;
}

int screen_popup::OnInitialize(void) { return 1; }
const char* screen_popup::GetName(void) { return "popup"; }

int screen_popup::OnSetActive(CScreenBase* pPrevious)
{
    m_pLastActive = pPrevious;
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    m_nCursor = 0;
    FB_GetVram(m_VramSv);
    return 0;
}

int screen_popup::OnKillActive(CScreenBase* pNext)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 0);
    return 0;
}

int screen_popup::OnButtonPress(unsigned long dwMask)
{
    if (dwMask & KEY_UP) {
        if (m_nCursor > 0)
            --m_nCursor;
    } else if (dwMask & KEY_DOWN) {
        if (m_nCursor + 1 < m_nItems)
            ++m_nCursor;
    } else if (dwMask & KEY_ENTER) {
        CScreenBase* pScreen = m_pLastActive;
        g_ScreenManager.SetActive(pScreen);
        // An empty popup has no entry to hand over.
        if (pScreen && m_nItems > 0)
            pScreen->OnCommand(m_nCursor, m_aItems[m_nCursor]);
    }
    return 1;
}

int screen_popup::OnButtonRepeat(unsigned long dwMask)
{
    if (!(dwMask & (KEY_UP | KEY_DOWN)))
        return 0;
    return OnButtonPress(dwMask);
}

int screen_popup::OnDraw500ms(void)
{
    const char* apszItems[POPUP_MAX_ITEMS];
    for (int i = 0; i < m_nItems; ++i)
        apszItems[i] = m_aItems[i];
    FB_SetVram(m_VramSv);
    DrawPopupMenu(200, 40, apszItems, m_nItems, m_nCursor, nullptr);
    return 0;
}

CScreenBase* CreateScreen_popup(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_popup::OnInitialize;
    s_table.GetName = screen_popup::GetName;
    s_table.OnSetActive = screen_popup::OnSetActive;
    s_table.OnKillActive = screen_popup::OnKillActive;
    s_table.OnButtonPress = screen_popup::OnButtonPress;
    s_table.OnButtonRepeat = screen_popup::OnButtonRepeat;
    s_table.OnDraw500ms = screen_popup::OnDraw500ms;
    s_table.OnInitialize();
    return &s_table;
}
