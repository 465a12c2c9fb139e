#include "Middleware/GUI/Gui.h"

#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Thread.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

BITMAP* g_pBmp_battery[7];
BITMAP* g_pBmp_mode_movie;
BITMAP* g_pBmp_mode_audio;
BITMAP* g_pBmp_mode_photo;
BITMAP* g_pBmp_popup;
BITMAP* g_pBmp_selected;
BITMAP* g_pBmp_scrollbar;
BITMAP* g_pBmp_button;
BITMAP* g_pBmp_dir[2];
BITMAP* g_pBmp_type_dir;
BITMAP* g_pBmp_type_audio;
BITMAP* g_pBmp_type_error;
BITMAP* g_pBmp_type_error_bg;
BITMAP* g_pBmp_levelmeter[2];
BITMAP* g_pBmp_stat_play;
BITMAP* g_pBmp_stat_pause;
BITMAP* g_pBmp_stat_rec;
BITMAP* g_pBmp_stat_rec_ready;
BITMAP* g_pBmp_stat_stop;
BITMAP* g_pBmp_stat_ff;
BITMAP* g_pBmp_stat_rew;
BITMAP* g_pBmp_icon_autorec;
BITMAP* g_pBmp_icon_prerec;
BITMAP* g_pBmp_icon_lowcut;
BITMAP* g_pBmp_icon_zoom;
BITMAP* g_pBmp_icon_speed;
BITMAP* g_pBmp_wavrec_bg[2];
BITMAP* g_pBmp_range[2];
BITMAP* g_pBmp_repeat[4];
BITMAP* g_pBmp_divide;
BITMAP* g_pBmp_menu_bg;
BITMAP* g_pBmp_arrow_up;
BITMAP* g_pBmp_arrow_down;
BITMAP* g_pBmp_arrow_left;
BITMAP* g_pBmp_arrow_right;
BITMAP* g_pBmp_dotline_h;
BITMAP* g_pBmp_dotline_v;
BITMAP* g_pBmp_progress[2];
BITMAP* g_pBmp_volume[2];
BITMAP* g_pBmp_bigarrow_up;
BITMAP* g_pBmp_bigarrow_down;
BITMAP* g_pBmp_bigarrow_left;
BITMAP* g_pBmp_bigarrow_right;
BITMAP* g_pBmp_timer_2;
BITMAP* g_pBmp_timer_10;
BITMAP* g_pBmp_msg[10];
BITMAP* g_pBmp_shutdown_bg;
BITMAP* g_pBmp_usb_bg;
BITMAP* g_pBmp_autolevel;
BITMAP* g_pBmp_limiter;
BITMAP* g_pBmp_wb_icon[6];

unsigned char* g_pFont_a24;
unsigned char* g_pFont_a20;
unsigned char* g_pFont_a16;
unsigned char* g_pFont_f16;

// Widget state: the battery icon's blink and the progress bar's animation.
static DWORD s_dwPreDispTime = 0;
static int s_bDispIcon = 0;
static int s_nProgressPhase = 0;

// ---- Resources ----------------------------------------------------------------

struct BITMAP_FILE
{
    BITMAP** ppBitmap;
    const char* szPath;
};

static const BITMAP_FILE s_aBitmapFile[] = {
    {&g_pBmp_battery[0], "img/battery_0.bmp"},
    {&g_pBmp_battery[1], "img/battery_0.bmp"},
    {&g_pBmp_battery[2], "img/battery_0.bmp"},
    {&g_pBmp_battery[3], "img/battery_1.bmp"},
    {&g_pBmp_battery[4], "img/battery_2.bmp"},
    {&g_pBmp_battery[5], "img/battery_3.bmp"},
    {&g_pBmp_battery[6], "img/battery_4.bmp"},
    {&g_pBmp_mode_movie, "img/mode_movie.bmp"},
    {&g_pBmp_mode_audio, "img/mode_audio.bmp"},
    {&g_pBmp_mode_photo, "img/mode_photo.bmp"},
    {&g_pBmp_popup, "img/popup.bmp"},
    {&g_pBmp_selected, "img/selected.bmp"},
    {&g_pBmp_scrollbar, "img/scrollbar.bmp"},
    {&g_pBmp_button, "img/button.bmp"},
    {&g_pBmp_dir[0], "img/dir_0.bmp"},
    {&g_pBmp_dir[1], "img/dir_1.bmp"},
    {&g_pBmp_type_dir, "img/type_dir.bmp"},
    {&g_pBmp_type_audio, "img/type_audio.bmp"},
    {&g_pBmp_type_error, "img/type_error.bmp"},
    {&g_pBmp_type_error_bg, "img/type_error_bg.bmp"},
    {&g_pBmp_levelmeter[0], "img/levelmeter_0.bmp"},
    {&g_pBmp_levelmeter[1], "img/levelmeter_1.bmp"},
    {&g_pBmp_stat_play, "img/stat_play.bmp"},
    {&g_pBmp_stat_pause, "img/stat_pause.bmp"},
    {&g_pBmp_stat_rec, "img/stat_rec.bmp"},
    {&g_pBmp_stat_rec_ready, "img/stat_rec_ready.bmp"},
    {&g_pBmp_stat_stop, "img/stat_stop.bmp"},
    {&g_pBmp_stat_ff, "img/stat_ff.bmp"},
    {&g_pBmp_stat_rew, "img/stat_rew.bmp"},
    {&g_pBmp_icon_autorec, "img/icon_autorec.bmp"},
    {&g_pBmp_icon_prerec, "img/icon_prerec.bmp"},
    {&g_pBmp_icon_lowcut, "img/icon_lowcut.bmp"},
    {&g_pBmp_icon_zoom, "img/zoom.bmp"},
    {&g_pBmp_icon_speed, "img/icon_speed.bmp"},
    {&g_pBmp_wavrec_bg[0], "img/wavrec_bg_0.bmp"},
    {&g_pBmp_wavrec_bg[1], "img/wavrec_bg_1.bmp"},
    {&g_pBmp_range[0], "img/range_0.bmp"},
    {&g_pBmp_range[1], "img/range_1.bmp"},
    {&g_pBmp_repeat[1], "img/repeat_1.bmp"},
    {&g_pBmp_repeat[2], "img/repeat_2.bmp"},
    {&g_pBmp_repeat[3], "img/repeat_3.bmp"},
    {&g_pBmp_divide, "img/divide.bmp"},
    {&g_pBmp_menu_bg, "img/menu_bg.bmp"},
    {&g_pBmp_arrow_up, "img/arrow_up.bmp"},
    {&g_pBmp_arrow_down, "img/arrow_down.bmp"},
    {&g_pBmp_arrow_left, "img/arrow_left.bmp"},
    {&g_pBmp_arrow_right, "img/arrow_right.bmp"},
    {&g_pBmp_dotline_h, "img/dotline_h.bmp"},
    {&g_pBmp_dotline_v, "img/dotline_v.bmp"},
    {&g_pBmp_progress[0], "img/progress_0.bmp"},
    {&g_pBmp_progress[1], "img/progress_1.bmp"},
    {&g_pBmp_volume[0], "img/volume_0.bmp"},
    {&g_pBmp_volume[1], "img/volume_1.bmp"},
    {&g_pBmp_bigarrow_up, "img/bigarrow_up.bmp"},
    {&g_pBmp_bigarrow_down, "img/bigarrow_down.bmp"},
    {&g_pBmp_bigarrow_left, "img/bigarrow_left.bmp"},
    {&g_pBmp_bigarrow_right, "img/bigarrow_right.bmp"},
    {&g_pBmp_timer_2, "img/timer_2.bmp"},
    {&g_pBmp_timer_10, "img/timer_10.bmp"},
    {&g_pBmp_msg[0], "img/msg_0.bmp"},
    {&g_pBmp_shutdown_bg, "img/shutdown_bg.bmp"},
    {&g_pBmp_usb_bg, "img/usb_bg.bmp"},
    {&g_pBmp_autolevel, "img/icon_autolevel.bmp"},
    {&g_pBmp_limiter, "img/icon_limiter.bmp"},
    {&g_pBmp_wb_icon[0], "img/WB_auto.bmp"},
    {&g_pBmp_wb_icon[1], "img/WB_incandescent.bmp"},
    {&g_pBmp_wb_icon[2], "img/WB_fluorescent.bmp"},
    {&g_pBmp_wb_icon[3], "img/WB_stagelight.bmp"},
    {&g_pBmp_wb_icon[4], "img/WB_sunlight.bmp"},
    {&g_pBmp_wb_icon[5], "img/WB_cloudy.bmp"},
};

struct FONT_FILE
{
    unsigned char** ppFont;
    const char* szPath;
};

static const FONT_FILE s_aFontFile[] = {
    {&g_pFont_a24, "font/Androgyne_24.bmp"},
    {&g_pFont_a20, "font/Androgyne_20.bmp"},
    {&g_pFont_a16, "font/Androgyne_16.bmp"},
    {&g_pFont_f16, "font/FreeSans_16.bmp"},
};

static void LoadFailed(const char* szPath) __attribute__((noreturn));
static void LoadFailed(const char* szPath)
{
    printf("************************** load %s failed. \n", szPath);
    fflush(stdout);
    exit(1);
}

int GUI_Init(void)
{
    for (const BITMAP_FILE& file : s_aBitmapFile) {
        *file.ppBitmap = GRA_LoadBitmap(file.szPath);
        if (!*file.ppBitmap)
            LoadFailed(file.szPath);
    }
    for (const FONT_FILE& file : s_aFontFile) {
        *file.ppFont = GRA_LoadFont(file.szPath);
        if (!*file.ppFont)
            LoadFailed(file.szPath);
    }
    return 1;
}

// ---- Header, buttons, scroll bar -------------------------------------------------

static int TextWidth(const char* sz, unsigned char* pFont)
{
    int nWidth = 0;
    int nHeight = 0;
    GRA_CalcStringS(&nWidth, &nHeight, sz, pFont, nullptr);
    return nWidth;
}

int DrawBatteryIcon(int x, int y)
{
    if (g_Msp430_bAdapterConnect) {
        GRA_BitBltT(x, y, g_pBmp_battery[6]);
        return 1;
    }
    int nLevel = g_Msp430_nBatteryLevel;
    if (nLevel <= 0)
        return 1;
    if (nLevel == 1) {
        DWORD dwNow = GetTime();
        if (DeltaTime(s_dwPreDispTime, dwNow) >= 500) {
            s_bDispIcon = !s_bDispIcon;
            s_dwPreDispTime = dwNow;
        }
        if (s_bDispIcon)
            GRA_BitBltT(x, y, g_pBmp_battery[1]);
        return s_bDispIcon;
    }
    // The controller's level field reaches 7; the icons end at the full one.
    GRA_BitBltT(x, y, g_pBmp_battery[nLevel > 6 ? 6 : nLevel]);
    return 1;
}

void DrawHeader(const char* szTitle, int bNoIcons)
{
    GRA_FillRect(0, 0, GRA_WIDTH, GUI_HEADER_HEIGHT, GUI_COLOR_HEADER);
    const char* sz = szTitle ? szTitle : "";
    int nWidth = TextWidth(sz, g_pFont_a24);
    GRA_DrawStringF((GRA_WIDTH - nWidth) / 2, 2, sz, GUI_COLOR_WHITE, GUI_COLOR_HEADER_EDGE, g_pFont_a24, 0);
    if (bNoIcons)
        return;
    int nMode = GetActionMode();
    BITMAP* pMode = nMode == ACTION_MODE_SOUND   ? g_pBmp_mode_audio
                    : nMode == ACTION_MODE_PHOTO ? g_pBmp_mode_photo
                                                 : g_pBmp_mode_movie;
    GRA_BitBltT(1, 1, pMode);
    DrawBatteryIcon(295, 5);
}

void DrawHeader(const char* szTitle)
{
    DrawHeader(szTitle, 0);
}

int DrawButton(int nSlot, const char* szLabel)
{
    static const int s_anSlotX[3] = {2, 108, 214};
    if (nSlot < 0 || nSlot > 2)
        return 0;
    int x = s_anSlotX[nSlot];
    const char* sz = szLabel ? szLabel : "";
    GRA_TileBlt(x, GUI_BUTTON_Y, GUI_BUTTON_WIDTH, GUI_BUTTON_HEIGHT, g_pBmp_button);
    int nWidth = TextWidth(sz, g_pFont_f16);
    GRA_DrawStringS(x + (GUI_BUTTON_WIDTH - nWidth) / 2, GUI_BUTTON_Y + 1, sz, GUI_COLOR_TEXT, g_pFont_f16, 0);
    return 1;
}

void DrawScrollBar(int x, int y, int nTotal, int nVisible, int nFirst)
{
    const int nTrack = 145;
    GRA_BitBltT(x, y, g_pBmp_scrollbar);
    if (nTotal < 1)
        return;
    int nOffset = 0;
    int nLength = nTrack;
    if (nTotal > nVisible) {
        int nThumb = nTrack * nVisible / nTotal;
        int nTravel;
        if (nThumb <= 2) {
            nLength = 3;
            nTravel = nTrack - 3;
        } else {
            nLength = nThumb;
            nTravel = nTrack - nThumb;
        }
        nOffset = nFirst * nTravel / (nTotal - nVisible);
    }
    GRA_FillRect(x + 3, y + 14 + nOffset, 3, nLength, GUI_COLOR_SCROLL_THUMB);
}

// ---- Popup list ---------------------------------------------------------------------

void DrawPopupMenu(int x, int y, const char** pszItems, int nCount, int nSelected, const char* szTitle)
{
    if (nCount < 0) {
        nCount = 0;
        while (pszItems && pszItems[nCount])
            ++nCount;
    }
    int nWidest = 0;
    for (int i = 0; i < nCount; ++i) {
        int nWidth = TextWidth(pszItems[i], g_pFont_a20);
        if (nWidth > nWidest)
            nWidest = nWidth;
    }
    int nBoxW = nWidest + 32;
    int nItemsH = 20 * nCount + 8;
    int nItemTop;
    if (szTitle) {
        GRA_TileBlt(x, y, nBoxW, nItemsH + 20, g_pBmp_popup);
        GRA_DrawStringSC(x, y + 4, nBoxW, szTitle, GUI_COLOR_TEXT, g_pFont_a20);
        nItemTop = y + 24;
    } else {
        GRA_TileBlt(x, y, nBoxW, nItemsH, g_pBmp_popup);
        nItemTop = y + 4;
    }
    if (nSelected >= 0)
        GRA_TileBlt(x + 4, nItemTop + 20 * nSelected, nBoxW - 8, 20, g_pBmp_selected);
    for (int i = 0; i < nCount; ++i) {
        int nWidth = TextWidth(pszItems[i], g_pFont_a20);
        GRA_DrawStringS(x + (nBoxW - nWidth) / 2, nItemTop + 20 * i, pszItems[i], GUI_COLOR_TEXT, g_pFont_a20, 0);
    }
}

// ---- Message boxes ------------------------------------------------------------------

#define BOX_MAX_LINES 32
#define BOX_LINE_SIZE 256

struct BOX_TEXT
{
    BITMAP* pIcon;
    int nLines;
    char aszLine[BOX_MAX_LINES][BOX_LINE_SIZE];
    int nWidest;  // widest line in the 20-pixel font, measured only with an icon
};

// Splits a box message into its icon (0x08 and a digit) and its lines.
static void ParseBoxText(const char* szMessage, BOX_TEXT& text)
{
    const char* p = szMessage ? szMessage : "";
    text.pIcon = nullptr;
    if (p[0] == 0x08 && p[1] >= '0' && p[1] <= '9') {
        text.pIcon = g_pBmp_msg[p[1] - '0'];
        p += 2;
    }
    text.nLines = 0;
    for (;;) {
        const char* pEnd = strchr(p, '\n');
        size_t nLen = pEnd ? static_cast<size_t>(pEnd - p) : strlen(p);
        if (text.nLines < BOX_MAX_LINES) {
            size_t nCopy = nLen < BOX_LINE_SIZE - 1 ? nLen : BOX_LINE_SIZE - 1;
            memcpy(text.aszLine[text.nLines], p, nCopy);
            text.aszLine[text.nLines][nCopy] = 0;
            ++text.nLines;
        }
        if (!pEnd)
            break;
        p = pEnd + 1;
    }
    text.nWidest = 0;
    if (text.pIcon) {
        for (int i = 0; i < text.nLines; ++i) {
            int nWidth = TextWidth(text.aszLine[i], g_pFont_a20);
            if (nWidth > text.nWidest)
                text.nWidest = nWidth;
        }
    }
}

static void DrawBoxText(const BOX_TEXT& text, int nLeft, int nWidth, int nTop)
{
    if (text.pIcon) {
        int x = 156 - text.pIcon->nWidth - text.nWidest / 2;
        GRA_BitBltT(x > nLeft ? x : nLeft, nTop + 10, text.pIcon);
    }
    for (int i = 0; i < text.nLines; ++i)
        GRA_DrawStringSC(nLeft, nTop + 4 + 14 * i, nWidth, text.aszLine[i], GUI_COLOR_TEXT, g_pFont_a20);
}

void DrawConfirm(const char* szMessage, const char* szLeft, const char* szRight)
{
    static BOX_TEXT s_text;
    ParseBoxText(szMessage, s_text);
    int nBoxH = 14 * s_text.nLines + 32;
    int nTop = GRA_HEIGHT - nBoxH;
    GRA_TileBlt(0, nTop, GRA_WIDTH, nBoxH, g_pBmp_popup);
    DrawBoxText(s_text, 0, GRA_WIDTH, nTop);
    if (szLeft && szLeft[0])
        DrawButton(0, szLeft);
    if (szRight && szRight[0])
        DrawButton(2, szRight);
}

void DrawConfirmTimer(const char* szMessage)
{
    static BOX_TEXT s_text;
    ParseBoxText(szMessage, s_text);
    int nBoxH = 14 * s_text.nLines;
    int nTop = (GRA_HEIGHT - nBoxH) / 2;
    GRA_TileBlt(30, nTop, 260, nBoxH, g_pBmp_popup);
    DrawBoxText(s_text, 30, 260, nTop);
}

// ---- Progress bar -------------------------------------------------------------------

void DrawProgressBar(int x, int y, int w, int h, int nPercent)
{
    s_nProgressPhase = (s_nProgressPhase + 1) % 32;
    GRA_BitBlt(x, y, g_pBmp_progress[0], 0, 0, w, h);
    int nFill = (nPercent > 100 ? 100 : nPercent) * w / 100;
    GRA_BitBlt(x, y, g_pBmp_progress[1], 31 - s_nProgressPhase, 0, nFill, h);
}
