#include "Middleware/GUI/ScreenFileName.h"

#include "DrvLib/Key.h"
#include "Lib/Common.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/ScreenDateTime.h"
#include "Middleware/GUI/ScreenManager.h"

#include <stdio.h>
#include <string.h>

#define KEY_TYPE "/Setup/FILE NAME"
#define KEY_WORD "/Setup/FILE NAME/WORD"
#define KEY_CURRENT "/Setup/FILE NAME/CURRENT"

enum
{
    CURSOR_TYPE_LABEL = 0,
    CURSOR_TYPE_VALUE = 1,
    CURSOR_WORD_LABEL = 2,
    CURSOR_FIRST_CHAR = 3,
    CURSOR_LAST_CHAR = 8,
};

int screen_filename::m_nCursor = 0;
CScreenBase* screen_filename::m_pLastScreen = nullptr;
int screen_filename::m_bWordSv = 1;
char screen_filename::m_strWordSv[FILENAME_WORD_LENGTH + 1] = "KS0000";
const char* const screen_filename::s_szCharSet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!#$%&'()+,-.;=@[]^_`{}";

int screen_filename::OnInitialize(void) { return 1; }
const char* screen_filename::GetName(void) { return "filename"; }

int screen_filename::OnSetActive(CScreenBase* pPrevious)
{
    SCREEN_SetArrowRepeat(100);
    m_nCursor = CURSOR_TYPE_LABEL;
    m_pLastScreen = pPrevious;
    m_bWordSv = static_cast<int>(GetParameter(KEY_TYPE, nullptr)) == 0;

    char szWord[256];
    GetParameter(KEY_WORD, szWord);
    if (szWord[0] == 0) {
        strcpy(szWord, "KS0000");
        SetParameter(KEY_WORD, szWord);
    }
    // A shorter stored word is edited as if filled up with '0'.
    size_t nLen = strlen(szWord);
    for (int i = 0; i < FILENAME_WORD_LENGTH; ++i)
        m_strWordSv[i] = static_cast<size_t>(i) < nLen ? szWord[i] : '0';
    m_strWordSv[FILENAME_WORD_LENGTH] = 0;
    return 1;
}

int screen_filename::OnKillActive(CScreenBase* pNext)
{
    SCREEN_SetArrowRepeat(0);
    return 0;
}

void screen_filename::Return(void)
{
    SCREEN_ReturnToMenuOrPlayer(m_pLastScreen, 1);
}

void screen_filename::ToggleType(void)
{
    m_bWordSv = !m_bWordSv;
    SetParameter(KEY_TYPE, m_bWordSv ? 0.0f : 1.0f);
}

void screen_filename::StepChar(int nDelta)
{
    int nSet = static_cast<int>(strlen(s_szCharSet));
    char& c = m_strWordSv[m_nCursor - CURSOR_FIRST_CHAR];
    const char* p = strchr(s_szCharSet, c);
    int nIndex = (p && c) ? static_cast<int>(p - s_szCharSet) : (nDelta > 0 ? -1 : nSet);
    nIndex = (nIndex + nDelta + nSet) % nSet;
    c = s_szCharSet[nIndex];
    SetParameter(KEY_WORD, m_strWordSv);
}

int screen_filename::OnButtonPress(unsigned long dwMask)
{
    int bChar = m_nCursor >= CURSOR_FIRST_CHAR;
    if (dwMask & KEY_UP) {
        if (m_nCursor == CURSOR_WORD_LABEL)
            m_nCursor = CURSOR_TYPE_LABEL;
        else if (m_nCursor == CURSOR_TYPE_VALUE)
            ToggleType();
        else if (bChar)
            StepChar(1);
    } else if (dwMask & KEY_DOWN) {
        if (m_nCursor == CURSOR_TYPE_LABEL && m_bWordSv)
            m_nCursor = CURSOR_WORD_LABEL;
        else if (m_nCursor == CURSOR_TYPE_VALUE)
            ToggleType();
        else if (bChar)
            StepChar(-1);
    } else if (dwMask & KEY_LEFT) {
        if (m_nCursor == CURSOR_TYPE_LABEL || m_nCursor == CURSOR_WORD_LABEL)
            Return();
        else
            --m_nCursor;
    } else if (dwMask & KEY_RIGHT) {
        if (m_nCursor != CURSOR_TYPE_VALUE && m_nCursor < CURSOR_LAST_CHAR)
            ++m_nCursor;
    } else if (dwMask & KEY_ENTER) {
        if (m_nCursor == CURSOR_TYPE_LABEL)
            m_nCursor = CURSOR_TYPE_VALUE;
        else if (m_nCursor == CURSOR_TYPE_VALUE)
            m_nCursor = CURSOR_TYPE_LABEL;
        else if (m_nCursor == CURSOR_WORD_LABEL)
            m_nCursor = CURSOR_FIRST_CHAR;
        else
            m_nCursor = CURSOR_WORD_LABEL;
    } else if (dwMask & KEY_F1) {
        Return();
    } else if (dwMask & KEY_F3) {
        SetParameter(KEY_CURRENT, 0.0f);
    } else {
        return 0;
    }
    return 1;
}

// Highlight boxes of the cursor positions.
static const int s_anBoxX[9] = {64, 160, 64, 160, 173, 186, 199, 212, 225};
static const int s_anBoxY[9] = {60, 60, 90, 90, 90, 90, 90, 90, 90};
static const int s_anBoxW[9] = {64, 64, 64, 13, 13, 13, 13, 13, 13};

static void DrawHighlight(int nCursor)
{
    GRA_TileBlt(s_anBoxX[nCursor] - 4, s_anBoxY[nCursor] - 2, s_anBoxW[nCursor], 26, g_pBmp_selected);
}

static unsigned short TextColor(int nCursor, int nPosition)
{
    return nCursor == nPosition ? GUI_COLOR_BLACK : GUI_COLOR_WHITE;
}

static void DrawUpDown(int x, int y)
{
    GRA_BitBltT(x, y + 1, g_pBmp_arrow_up);
    GRA_BitBltT(x, y + 14, g_pBmp_arrow_down);
}

int screen_filename::OnDraw500ms(void)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    DrawHeader("File Name");
    DrawButton(0, "SET");
    DrawButton(2, "INC CLEAR");

    if (m_nCursor <= CURSOR_WORD_LABEL || m_bWordSv)
        DrawHighlight(m_nCursor);

    GRA_DrawStringSC(60, 60, 64, "TYPE", TextColor(m_nCursor, CURSOR_TYPE_LABEL), g_pFont_a24);
    // The word's brackets frame its six cells; both colons line up.
    int nOpenWidth = 0;
    int nOpenHeight = 0;
    GRA_CalcStringS(&nOpenWidth, &nOpenHeight, ": [", g_pFont_a24, nullptr);
    int xColon = 155 - nOpenWidth;
    GRA_DrawStringS(xColon, 60, ":", GUI_COLOR_WHITE, g_pFont_a24, 0);
    GRA_DrawStringS(156, 60, m_bWordSv ? "WORD" : "DATE", TextColor(m_nCursor, CURSOR_TYPE_VALUE), g_pFont_a24, 0);
    if (m_nCursor == CURSOR_TYPE_VALUE)
        DrawUpDown(208, 60);

    if (m_bWordSv) {
        GRA_DrawStringSC(60, 90, 64, "WORD", TextColor(m_nCursor, CURSOR_WORD_LABEL), g_pFont_a24);
        GRA_DrawStringS(xColon, 90, ": [", GUI_COLOR_WHITE, g_pFont_a24, 0);
        GRA_DrawStringS(156 + 13 * FILENAME_WORD_LENGTH + 1, 90, "]", GUI_COLOR_WHITE, g_pFont_a24, 0);
        for (int i = 0; i < FILENAME_WORD_LENGTH; ++i) {
            char szChar[2] = {m_strWordSv[i], 0};
            GRA_DrawStringSC(156 + 13 * i, 90, 13, szChar, TextColor(m_nCursor, CURSOR_FIRST_CHAR + i), g_pFont_a24);
        }
        if (m_nCursor >= CURSOR_FIRST_CHAR)
            DrawUpDown(250, 90);
    }

    GRA_DrawStringS(57, 157, "sample", GUI_COLOR_WHITE, g_pFont_a24, 0);
    char szDir[512];
    char szName[256];
    char szCurrent[256];
    g_PlaylistCtrl.GetCurrentDir(szCurrent);
    ToRealPath(szDir, szCurrent);
    if (!GetNextFileName(szName, szDir, "mov"))
        szName[0] = 0;
    GRA_DrawStringS(85, 178, szName, GUI_COLOR_WHITE, g_pFont_a20, 0);
    return 0;
}

CScreenBase* CreateScreen_filename(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_filename::OnInitialize;
    s_table.GetName = screen_filename::GetName;
    s_table.OnSetActive = screen_filename::OnSetActive;
    s_table.OnKillActive = screen_filename::OnKillActive;
    s_table.OnButtonPress = screen_filename::OnButtonPress;
    s_table.OnButtonRepeat = screen_filename::OnButtonPress;
    s_table.OnDraw500ms = screen_filename::OnDraw500ms;
    s_table.OnInitialize();
    return &s_table;
}
