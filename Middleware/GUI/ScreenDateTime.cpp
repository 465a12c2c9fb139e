#include "Middleware/GUI/ScreenDateTime.h"

#include "DrvLib/Key.h"
#include "DrvLib/Rtc.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenManager.h"

#include <stdio.h>
#include <string.h>

int screen_datetime::m_nCursor = 0;
int screen_datetime::m_nYear = 2012;
int screen_datetime::m_nMonth = 7;
int screen_datetime::m_nDay = 1;
int screen_datetime::m_nHour = 10;
int screen_datetime::m_nMinute = 0;
int screen_datetime::m_nSecond = 0;
CScreenBase* screen_datetime::m_pLastScreen = nullptr;

void SCREEN_SetArrowRepeat(unsigned long dwMS)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, dwMS);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, dwMS);
    g_ScreenManager.SetButtonAutoRepeat(KEY_LEFT, dwMS);
    g_ScreenManager.SetButtonAutoRepeat(KEY_RIGHT, dwMS);
}

void SCREEN_ReturnToMenuOrPlayer(CScreenBase* pPrevious, int bAlwaysDirect)
{
    SCREEN_SetArrowRepeat(0);
    int bMenu = pPrevious && strcmp(pPrevious->GetName(), "menu") == 0;
    if (bMenu) {
        // The menu is not activated anew, so it keeps its place; its arrows
        // repeat as they did before it opened this screen.
        SCREEN_SetArrowRepeat(100);
        g_ScreenManager.SetActive("menu", 0);
    } else if (bAlwaysDirect && pPrevious) {
        g_ScreenManager.SetActive(pPrevious->GetName(), 0);
    } else {
        g_ScreenManager.SetActive("player", 1);
    }
}

int screen_datetime::OnInitialize(void) { return 1; }
const char* screen_datetime::GetName(void) { return "datetime"; }

int screen_datetime::OnSetActive(CScreenBase* pPrevious)
{
    SCREEN_SetArrowRepeat(100);
    m_nCursor = 0;
    m_pLastScreen = pPrevious;
    if (!RTC_Read(&m_nYear, &m_nMonth, &m_nDay, &m_nHour, &m_nMinute, &m_nSecond))
        m_nYear = 0;
    if (m_nYear < 2000 || m_nYear > 2050) {
        m_nYear = 2012;
        m_nMonth = 7;
        m_nDay = 1;
        m_nHour = 10;
        m_nMinute = 0;
        m_nSecond = 0;
    }
    return 1;
}

int screen_datetime::OnKillActive(CScreenBase* pNext)
{
    SCREEN_SetArrowRepeat(0);
    return 0;
}

void screen_datetime::Return(void)
{
    SCREEN_ReturnToMenuOrPlayer(m_pLastScreen, 0);
}

static int Wrap(int nValue, int nLow, int nHigh)
{
    if (nValue > nHigh)
        return nLow;
    if (nValue < nLow)
        return nHigh;
    return nValue;
}

void screen_datetime::Step(int nDelta)
{
    switch (m_nCursor) {
    case 0:
        m_nYear += nDelta;
        if (m_nYear > 2099)
            m_nYear = 2099;
        if (m_nYear < 2000)
            m_nYear = 2000;
        break;
    case 1: m_nMonth = Wrap(m_nMonth + nDelta, 1, 12); break;
    case 2: m_nDay = Wrap(m_nDay + nDelta, 1, 31); break;
    case 3: m_nHour = Wrap(m_nHour + nDelta, 0, 23); break;
    case 4: m_nMinute = Wrap(m_nMinute + nDelta, 0, 59); break;
    default: m_nSecond = Wrap(m_nSecond + nDelta, 0, 59); break;
    }
}

int screen_datetime::OnButtonPress(unsigned long dwMask)
{
    if (dwMask & KEY_UP) {
        Step(1);
    } else if (dwMask & KEY_DOWN) {
        Step(-1);
    } else if (dwMask & KEY_LEFT) {
        if (m_nCursor > 0)
            --m_nCursor;
    } else if (dwMask & KEY_RIGHT) {
        if (m_nCursor < 5)
            ++m_nCursor;
    } else if (dwMask & KEY_F1) {
        if (!RTC_Write(m_nYear, m_nMonth, m_nDay, m_nHour, m_nMinute, m_nSecond))
            g_ScreenManager.Error("Ignore date.");
        else
            Return();
    } else if (dwMask & KEY_F3) {
        Return();
    } else {
        return 0;
    }
    return 1;
}

struct DATETIME_FIELD
{
    int x;
    int y;
    int nWidth;
    const char* szFormat;
};

static const DATETIME_FIELD s_aField[6] = {
    {64, 70, 64, "%04d"}, {151, 70, 44, "%02d"}, {220, 70, 44, "%02d"},
    {84, 130, 44, "%02d"}, {151, 130, 44, "%02d"}, {220, 130, 44, "%02d"},
};

int screen_datetime::OnDraw500ms(void)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    DrawHeader("Date/Time");
    DrawButton(0, "SET");
    DrawButton(2, "CANCEL");

    GRA_DrawStringS(124, 70, "-", GUI_COLOR_WHITE, g_pFont_a24, 0);
    GRA_DrawStringS(195, 70, "-", GUI_COLOR_WHITE, g_pFont_a24, 0);
    GRA_DrawStringS(124, 130, ":", GUI_COLOR_WHITE, g_pFont_a24, 0);
    GRA_DrawStringS(195, 130, ":", GUI_COLOR_WHITE, g_pFont_a24, 0);

    const int anValue[6] = {m_nYear, m_nMonth, m_nDay, m_nHour, m_nMinute, m_nSecond};
    for (int i = 0; i < 6; ++i) {
        const DATETIME_FIELD& field = s_aField[i];
        char szText[8];
        snprintf(szText, sizeof(szText), field.szFormat, anValue[i]);
        unsigned short wColor = GUI_COLOR_WHITE;
        if (i == m_nCursor) {
            GRA_TileBlt(field.x - 4, field.y - 2, field.nWidth, 26, g_pBmp_selected);
            GRA_BitBltT(field.x - 16 + field.nWidth, field.y + 1, g_pBmp_arrow_up);
            GRA_BitBltT(field.x - 16 + field.nWidth, field.y + 14, g_pBmp_arrow_down);
            wColor = GUI_COLOR_BLACK;
        }
        GRA_DrawStringS(field.x, field.y, szText, wColor, g_pFont_a24, 0);
    }
    return 0;
}

CScreenBase* CreateScreen_datetime(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_datetime::OnInitialize;
    s_table.GetName = screen_datetime::GetName;
    s_table.OnSetActive = screen_datetime::OnSetActive;
    s_table.OnKillActive = screen_datetime::OnKillActive;
    s_table.OnButtonPress = screen_datetime::OnButtonPress;
    s_table.OnButtonRepeat = screen_datetime::OnButtonPress;
    s_table.OnDraw500ms = screen_datetime::OnDraw500ms;
    s_table.OnInitialize();
    return &s_table;
}
