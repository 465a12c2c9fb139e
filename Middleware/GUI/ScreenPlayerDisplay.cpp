// What the player/recorder screen draws, and where: times, the remaining
// recording time, the level meter, quality labels, status and setting
// icons, the file name, the position bar and the popups. Each element is
// redrawn in place over its own rectangle, restored to the background
// first, and only when its value changed (twice, once for each bank).
#include "Middleware/GUI/ScreenPlayer.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Led.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/Audio/LevelMeter.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/StateControl.h"
#include "Middleware/VPFE/Capture.h"
#include "player/Player.h"

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define COLOR_TIMER 0xC7E0        // the time while the self-timer counts
#define COLOR_TRACK 0xC638        // position bar
#define COLOR_PLAYED 0x001F
#define COLOR_VOLUME_BOX 0xDF1B
#define METER_TOP 30
#define METER_BOTTOM 192
#define METER_HEIGHT 162
#define METER_POPUP_CUT 42
#define BAR_WIDTH 182
#define PEAK_HOLD_MS 2000
#define TITLE_MAX_WIDTH 250

static int SettingInt(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

// ---- Drawing helpers ----------------------------------------------------------------

// An element's last drawn value and how many more times it is drawn
// unchanged, so that a change reaches both frame-buffer banks.
struct SHOWN
{
    long long nValue;
    int nCount;
};

static const long long NOT_SHOWN = LLONG_MIN;

static int Changed(SHOWN& shown, long long nValue)
{
    if (shown.nValue != nValue) {
        shown.nValue = nValue;
        shown.nCount = 2;
        return 1;
    }
    if (shown.nCount > 0) {
        --shown.nCount;
        return 1;
    }
    return 0;
}

static BITMAP* s_pBackground = nullptr;  // the background image of modes 1 and 3
static int s_bFullRedrawReq = 0;

void screen_player::RequestFullRedraw(void)
{
    m_nAllDraw = 2;
    s_bFullRedrawReq = 1;
}

static int TakeRedrawRequest(void)
{
    int bRequest = s_bFullRedrawReq;
    s_bFullRedrawReq = 0;
    return bRequest;
}

void screen_player::RestoreRect(int x, int y, int w, int h)
{
    switch (m_nClearMode) {
    case CLEAR_BLACK:
        GRA_FillRect(x, y, w, h, GUI_COLOR_BLACK);
        break;
    case CLEAR_WAVREC:
    case CLEAR_ERROR:
        if (s_pBackground)
            GRA_BitBlt(x, y, s_pBackground, x, y, w, h);
        break;
    default:
        GRA_FillRect(x, y, w, h, GRA_TRANSPARENT);
        break;
    }
}

static int TextWidth(const char* sz, unsigned char* pFont)
{
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, sz, pFont, nullptr);
    return w;
}

// Rows a string drawn at y may ink: y - 4 and the glyph cell's height.
static int TextHeight(unsigned char* pFont)
{
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, "0", pFont, nullptr);
    return h;
}

// White text on a black edge, the readouts' style.
static void Text(int x, int y, const char* sz, unsigned char* pFont, unsigned short wColor = GUI_COLOR_WHITE)
{
    GRA_DrawStringF(x, y, sz, wColor, GUI_COLOR_BLACK, pFont, 0);
}

static void TextRight(int xRight, int y, const char* sz, unsigned char* pFont, unsigned short wColor = GUI_COLOR_WHITE)
{
    GRA_DrawStringFR(xRight, y, sz, wColor, GUI_COLOR_BLACK, pFont);
}

// Restores the rectangle of a text of nWidth pixels at (x, y).
static void RestoreText(int x, int y, int nWidth, unsigned char* pFont)
{
    screen_player::RestoreRect(x - 2, y - 4, nWidth + 5, TextHeight(pFont) + 1);
}

static void Blit(int x, int y, BITMAP* pBitmap)
{
    if (pBitmap)
        GRA_BitBltT(x, y, pBitmap);
}

static int HasFiles(void)
{
    return g_PlaylistCtrl.GetCount() > 0;
}

static int IsDub(void)
{
    return g_bAfterRecording;
}

static int IsSpeed96k(void)
{
    return GetActionMode() == ACTION_MODE_SOUND && g_nAudioPlayFreq == 96000;
}

// ---- Change-detected elements ----------------------------------------------------------

static SHOWN s_nH, s_nM, s_nS;             // time readout fields
static SHOWN s_RemainH, s_RemainM, s_RemainS;
static SHOWN s_nPreL, s_nPreR;             // level bars
static SHOWN s_bPrePeakL, s_bPrePeakR;     // clip lamps
static SHOWN s_fPreDispAudioLevelMax;      // peak-hold readout (tenths of dB)
static SHOWN s_Quality;
static SHOWN s_Counter;
static SHOWN s_Status;
static SHOWN s_PlaySetting;
static SHOWN s_Title;
static SHOWN s_Zoom;
static SHOWN s_LowCut;
static SHOWN s_LevelControl;
static SHOWN s_Volume;
static SHOWN s_VolumeBar;
static int s_bTimeDrawnBefore = 0;
static long long s_nRemainSeconds = 0;
static float s_fHeldLevel = -96.0f;
static DWORD s_dwHeldTime = 0;
static char s_szShownTitle[256] = "";
static int s_nCameraLed = -1;

static void ForgetAll(void)
{
    SHOWN* apShown[] = {&s_nH,        &s_nM,     &s_nS,       &s_RemainH,     &s_RemainM,
                        &s_RemainS,   &s_nPreL,  &s_nPreR,    &s_bPrePeakL,   &s_bPrePeakR,
                        &s_fPreDispAudioLevelMax, &s_Quality, &s_Counter,     &s_Status,
                        &s_PlaySetting, &s_Title, &s_Zoom,    &s_LowCut,      &s_LevelControl,
                        &s_Volume,    &s_VolumeBar};
    for (SHOWN* p : apShown) {
        p->nValue = NOT_SHOWN;
        p->nCount = 0;
    }
}

static void SetCameraLed(int bOn)
{
    if (bOn != s_nCameraLed) {
        s_nCameraLed = bOn;
        LED_SetCamera(bOn);
    }
}

// ---- Time readouts -------------------------------------------------------------------

int screen_player::DrawTime(int bPartial)
{
    const int bRecorder = g_bRecorder;
    const int x = bRecorder ? 135 : 101;
    const int y = bRecorder ? 178 : 152;
    const int bCounting = m_nSelfTimer > 50;
    const unsigned short wColor = bCounting ? COLOR_TIMER : GUI_COLOR_WHITE;

    long long t;
    if (m_nSelfTimer > 0) {
        if (bCounting) {
            t = (m_nSelfTimer + 999) / 1000 * 1000;
            SetCameraLed((m_nSelfTimer + 999) % 1000 < 200);
        } else {
            t = 0;
            SetCameraLed(1);
        }
    } else if (bRecorder) {
        t = g_bRecording ? g_nRecPos : 0;
    } else {
        t = PL_GetPos() - 400;
        if (t < 0)
            t = 0;
    }

    if (!bPartial) {
        s_nH.nValue = s_nM.nValue = s_nS.nValue = NOT_SHOWN;
        Text(x + 7, y + 8, "H", g_pFont_a16);
        Text(x + 53, y + 8, "M", g_pFont_a16);
        Text(x + 101, y + 8, "S", g_pFont_a16);
        if (!bRecorder && !HasFiles()) {
            TextRight(x, y, "--", g_pFont_a24);
            Text(x + 25, y, "--", g_pFont_a24);
            Text(x + 73, y, "--", g_pFont_a24);
            return 0;
        }
    } else if (!bRecorder && !HasFiles()) {
        return 0;
    }

    const long long s = t / 1000;
    const int nColourKey = bCounting ? 1 : 0;  // a change of colour is a change
    char sz[16];
    const int nFieldWidth = TextWidth("00", g_pFont_a24);
    if (Changed(s_nH, (s / 3600) * 2 + nColourKey)) {
        RestoreText(x - nFieldWidth, y, nFieldWidth, g_pFont_a24);
        snprintf(sz, sizeof(sz), "%2d", static_cast<int>(s / 3600 % 100));
        TextRight(x, y, sz, g_pFont_a24, wColor);
    }
    if (Changed(s_nM, (s / 60 % 60) * 2 + nColourKey)) {
        RestoreText(x + 25, y, nFieldWidth, g_pFont_a24);
        snprintf(sz, sizeof(sz), "%02d", static_cast<int>(s / 60 % 60));
        Text(x + 25, y, sz, g_pFont_a24, wColor);
    }
    int bSeconds = 0;
    if (Changed(s_nS, (s % 60) * 2 + nColourKey)) {
        RestoreText(x + 73, y, nFieldWidth, g_pFont_a24);
        snprintf(sz, sizeof(sz), "%02d", static_cast<int>(s % 60));
        Text(x + 73, y, sz, g_pFont_a24, wColor);
        bSeconds = 1;
    }
    return bSeconds;
}

void screen_player::DrawRemainTime(int bPartial, int bTimeUpdated)
{
    if (!bPartial) {
        Text(268, 186, ":", g_pFont_a16);
        Text(293, 186, ":", g_pFont_a16);
        s_RemainH.nValue = s_RemainM.nValue = s_RemainS.nValue = NOT_SHOWN;
    }
    if (!bPartial || bTimeUpdated) {
        if (!g_RemainMedia.IsAvaiableSpace()) {
            s_nRemainSeconds = 0;
        } else {
            long long nVideo = 0;
            if (GetActionMode() == ACTION_MODE_MOVIE)
                nVideo = g_nVideoRecordWidth == 1280 ? 937500 : 312500;
            long long nBytesPerSecond = nVideo + static_cast<long long>(g_nAudioFreq) * g_nAudioSampleBytes;
            long long nBytes = g_RemainMedia.GetRemainSize() - 31457280LL;
            s_nRemainSeconds = nBytesPerSecond > 0 && nBytes > 0 ? nBytes / nBytesPerSecond : 0;
        }
    }
    const long long s = s_nRemainSeconds;
    const int nWidth = TextWidth("00", g_pFont_a16);
    char sz[16];
    if (Changed(s_RemainH, s / 3600)) {
        RestoreText(249, 186, nWidth, g_pFont_a16);
        snprintf(sz, sizeof(sz), "%02d", static_cast<int>(s / 3600 % 100));
        Text(249, 186, sz, g_pFont_a16);
    }
    if (Changed(s_RemainM, s / 60 % 60)) {
        RestoreText(274, 186, nWidth, g_pFont_a16);
        snprintf(sz, sizeof(sz), "%02d", static_cast<int>(s / 60 % 60));
        Text(274, 186, sz, g_pFont_a16);
    }
    if (Changed(s_RemainS, s % 60)) {
        RestoreText(300, 186, nWidth, g_pFont_a16);
        snprintf(sz, sizeof(sz), "%02d", static_cast<int>(s % 60));
        Text(300, 186, sz, g_pFont_a16);
    }
}

// The time readout, and in the recorder the remaining time, which follows
// each new second of the readout.
static void DrawTimes(int bPartial)
{
    int bSeconds = screen_player::DrawTime(bPartial);
    if (g_bRecorder && GetActionMode() != ACTION_MODE_PHOTO) {
        int bNewSecond = bSeconds && !s_bTimeDrawnBefore;
        screen_player::DrawRemainTime(bPartial, bNewSecond);
    }
    s_bTimeDrawnBefore = bSeconds;
}

// ---- Level meter ---------------------------------------------------------------------

void screen_player::DrawLevelMeter(int bPartial)
{
    const int bRecording = g_bRecorder || IsDub();
    const int bStereo = bRecording ? g_nAudioChannels == 2 : (g_nAudioPlayChannels == 2 || !HasFiles());
    const int nCut = m_bSpeedPopup ? METER_POPUP_CUT : 0;

    if (!bPartial) {
        Blit(2, METER_TOP, g_pBmp_levelmeter[0]);
        if (g_bRecorder || HasFiles()) {
            if (bStereo) {
                Text(10, 191, "L", g_pFont_a16);
                Text(21, 191, "R", g_pFont_a16);
            } else {
                Text(1, 191, "MONO", g_pFont_a16);
            }
        }
        s_nPreL.nValue = s_nPreR.nValue = NOT_SHOWN;
        s_bPrePeakL.nValue = s_bPrePeakR.nValue = NOT_SHOWN;
        s_fPreDispAudioLevelMax.nValue = NOT_SHOWN;
    }

    struct BAR
    {
        int x;
        int nLevel;
        int nPeak;
        SHOWN* pShown;
        SHOWN* pPeakShown;
    } aBar[2] = {{10, g_nAudioLevelL, g_nPeakL, &s_nPreL, &s_bPrePeakL},
                 {22, g_nAudioLevelR, g_nPeakR, &s_nPreR, &s_bPrePeakR}};
    for (BAR& bar : aBar) {
        int n = bar.nLevel < 0 ? 0 : bar.nLevel > METER_HEIGHT ? METER_HEIGHT : bar.nLevel;
        if (Changed(*bar.pShown, n * 64 + nCut)) {
            RestoreRect(bar.x, METER_TOP, 8, METER_HEIGHT - nCut);
            // The scale's unlit segments above the bar.
            int nUnlit = METER_HEIGHT - (n > nCut ? n : nCut);
            if (g_pBmp_levelmeter[0] && nUnlit > 0)
                GRA_BitBltT(bar.x, METER_TOP, g_pBmp_levelmeter[0], bar.x - 2, 0, 8, nUnlit);
            if (n - nCut > 0 && g_pBmp_levelmeter[1])
                GRA_BitBlt(bar.x, METER_BOTTOM - n, g_pBmp_levelmeter[1], 0, METER_HEIGHT - n, 8, n - nCut);
        }
        int bClip = bar.nPeak > 0;
        if (Changed(*bar.pPeakShown, bClip)) {
            if (bClip)
                GRA_FillRect(bar.x, 24, 8, 3, GUI_COLOR_RED);
            else
                RestoreRect(bar.x, 24, 8, 3);
        }
    }

    // Peak hold: the louder channel's dB level, held for 2 s unless passed.
    float fLevel = g_fAudioLevelL > g_fAudioLevelR ? g_fAudioLevelL : g_fAudioLevelR;
    DWORD dwNow = GetTime();
    if (fLevel > s_fHeldLevel || DeltaTime(s_dwHeldTime, dwNow) >= PEAK_HOLD_MS) {
        s_fHeldLevel = fLevel;
        s_dwHeldTime = dwNow;
    }
    if (m_bSpeedPopup)
        return;
    long long nTenths = static_cast<long long>(s_fHeldLevel * 10.0f + (s_fHeldLevel < 0 ? -0.5f : 0.5f));
    if (Changed(s_fPreDispAudioLevelMax, nTenths)) {
        RestoreRect(0, 205, 60, 14);
        char sz[16];
        if (s_fHeldLevel <= -96.0f)
            snprintf(sz, sizeof(sz), "--dB");
        else
            snprintf(sz, sizeof(sz), "%01.1fdB", s_fHeldLevel);
        Text(1, 205, sz, g_pFont_a16);
    }
}

// ---- Labels and icons ----------------------------------------------------------------

static void DrawQuality(int bPartial)
{
    int nRate, nChannels, nBits, nWidth;
    if (g_bRecorder) {
        nRate = g_nAudioFreq;
        nChannels = g_nAudioChannels;
        nBits = g_nAudioBits;
        nWidth = g_nVideoRecordWidth;
    } else if (HasFiles()) {
        nRate = g_nAudioPlayFreq;
        nChannels = g_nAudioPlayChannels;
        nBits = g_nAudioPlayBits;
        nWidth = g_nVideoPlayWidth;
    } else {
        nRate = nChannels = nBits = nWidth = 0;
    }
    const int nMode = GetActionMode();
    if (nMode == ACTION_MODE_SOUND)
        nWidth = 0;
    long long nKey = ((static_cast<long long>(nRate) * 8 + nChannels) * 64 + nBits) * 4096 + nWidth;
    if (!bPartial)
        s_Quality.nValue = NOT_SHOWN;
    if (!Changed(s_Quality, nKey))
        return;

    if (nMode == ACTION_MODE_PHOTO) {
        screen_player::RestoreRect(29, 3, 40, 16);
        Text(29, 3, nWidth == 640 ? "0.3M" : nWidth == 1280 ? "0.9M" : "", g_pFont_a16);
        return;
    }
    screen_player::RestoreRect(154, 2, 62, 16);
    Text(154, 2, nWidth == 640 ? "SD-VGA" : nWidth == 1280 ? "HD-720p" : "", g_pFont_a16);
    const char* szRate = nRate == 44100 ? "44.1k" : nRate == 48000 ? "48k" : nRate == 96000 ? "96k" : nullptr;
    char sz[32] = " ";
    if (szRate && (nBits == 16 || nBits == 24))
        snprintf(sz, sizeof(sz), "PCM %dBit %s", nBits, szRate);
    screen_player::RestoreRect(27, 2, 120, 16);
    Text(27, 2, sz, g_pFont_a16);
}

static void DrawCounter(int bPartial)
{
    if (g_bRecorder)
        return;
    const int bPhoto = GetActionMode() == ACTION_MODE_PHOTO;
    int nCount = g_PlaylistCtrl.GetCount();
    int nIndex = g_PlaylistCtrl.GetCurrentIndex();
    int bEmpty = nCount == 0 || (nCount == 1 && g_PlaylistCtrl.GetTempFileIndex() >= 0 &&
                                 !g_PlaylistCtrl.GetFilePathPointer(0)[0]);
    if (!bPartial)
        s_Counter.nValue = NOT_SHOWN;
    if (!Changed(s_Counter, bEmpty ? -1 : static_cast<long long>(nIndex) * 100000 + nCount))
        return;
    char sz[32];
    if (bEmpty)
        snprintf(sz, sizeof(sz), "0/0000");
    else
        snprintf(sz, sizeof(sz), "%d/%d", nIndex + 1, nCount);
    if (bPhoto) {
        screen_player::RestoreRect(192, 3, 90, 16);
        TextRight(280, 3, sz, g_pFont_a16);
    } else {
        screen_player::RestoreRect(234, 156, 86, 16);
        TextRight(318, 156, sz, g_pFont_a16);
    }
}

static BITMAP* StatusIcon(void)
{
    const int nMode = GetActionMode();
    if (g_bRecorder)
        return g_bRecording && !g_bRecPause ? g_pBmp_stat_rec : g_pBmp_stat_rec_ready;
    if (nMode == ACTION_MODE_PHOTO)
        return (PL_IsPlaying() || PL_IsPausing()) && screen_player::m_nSlideShowTimer > 0 ? g_pBmp_stat_play : nullptr;
    if (IsDub())
        return g_pBmp_stat_rec;
    int nSeek = PL_GetSeekSpeed();
    if (nSeek < 0)
        return g_pBmp_stat_rew;
    if (nSeek > 0)
        return g_pBmp_stat_ff;
    if (PL_IsPausing())
        return g_pBmp_stat_pause;
    if (PL_IsPlaying())
        return g_pBmp_stat_play;
    return g_pBmp_stat_stop;
}

static void DrawStatus(int bPartial)
{
    const int nMode = GetActionMode();
    int x, y;
    if (g_bRecorder) {
        x = 83;
        y = 176;
    } else if (nMode == ACTION_MODE_PHOTO) {
        x = 3;
        y = 194;
    } else {
        x = 43;
        y = 152;
    }
    if (!bPartial)
        s_Status.nValue = NOT_SHOWN;
    // While a stop is on its way the icon stays as it was.
    if (!g_bRecorder && nMode != ACTION_MODE_PHOTO && PL_IsStopping() && s_Status.nValue != NOT_SHOWN)
        return;
    BITMAP* pIcon = StatusIcon();
    if (!Changed(s_Status, reinterpret_cast<intptr_t>(pIcon)))
        return;
    screen_player::RestoreRect(x, y, 24, 22);
    Blit(x, y, pIcon);
}

static void DrawPlaySetting(int bPartial)
{
    if (g_bRecorder || GetActionMode() == ACTION_MODE_PHOTO)
        return;
    BITMAP* pIcon = nullptr;
    if (g_bDivideMode) {
        pIcon = g_pBmp_divide;
    } else if (g_ctrlIoRepeat.GetLoopEnable()) {
        pIcon = g_pBmp_repeat[3];
    } else if (!g_ctrlIoRepeat.GetSetting()) {
        int nRepeat = SettingInt("/Play Option/REPEAT");
        pIcon = nRepeat >= 1 && nRepeat <= 2 ? g_pBmp_repeat[nRepeat] : nullptr;
    }
    if (!bPartial)
        s_PlaySetting.nValue = NOT_SHOWN;
    if (!Changed(s_PlaySetting, reinterpret_cast<intptr_t>(pIcon)))
        return;
    screen_player::RestoreRect(36, 178, 28, 18);
    Blit(36, 178, pIcon);
}

// The file name; one longer than 20 bytes scrolls one step per update.
static void DrawTitle(int bPartial)
{
    const int bPhoto = GetActionMode() == ACTION_MODE_PHOTO;
    const int x = bPhoto ? 30 : 70;
    const int y = bPhoto ? 198 : 201;
    const int nSlot = bPhoto ? 290 : 250;
    const char* szName = screen_player::m_curFile;
    const int nLength = static_cast<int>(strlen(szName));

    if (strcmp(szName, s_szShownTitle) != 0) {
        snprintf(s_szShownTitle, sizeof(s_szShownTitle), "%s", szName);
        screen_player::m_nDispTitlePos = 0;
        s_Title.nValue = NOT_SHOWN;
    }
    if (!bPartial)
        s_Title.nValue = NOT_SHOWN;

    char szText[256];
    if (nLength <= 20) {
        if (!Changed(s_Title, 0))
            return;
        snprintf(szText, sizeof(szText), "%s", szName);
    } else {
        int nPos = screen_player::m_nDispTitlePos;
        int nPad = nPos > nLength ? nLength + 12 - nPos : 12;
        if (nPad <= 0) {
            nPos = 0;
            nPad = 12;
        }
        const char* szRest = nPos < nLength ? szName + nPos : "";
        // The rest of the name, a gap, and the name coming round again.
        int nUsed = snprintf(szText, sizeof(szText), "%s", szRest);
        if (nUsed > static_cast<int>(sizeof(szText)) - 1)
            nUsed = static_cast<int>(sizeof(szText)) - 1;
        for (int i = 0; i < nPad && nUsed < static_cast<int>(sizeof(szText)) - 1; ++i)
            szText[nUsed++] = ' ';
        snprintf(szText + nUsed, sizeof(szText) - nUsed, "%s", szName);
        s_Title.nValue = NOT_SHOWN;
        // Whole characters: a UTF-8 character of three bytes moves at once.
        const unsigned char* p = reinterpret_cast<const unsigned char*>(szName);
        int nStep = nPos + 2 < nLength && p[nPos] >= 0x80 && p[nPos + 1] >= 0x80 && p[nPos + 2] >= 0x80 ? 3 : 1;
        screen_player::m_nDispTitlePos = nPos + nStep;
    }
    screen_player::RestoreRect(x, y - 1, nSlot, 20);
    GRA_DrawStringF(x, y, szText, GUI_COLOR_WHITE, GUI_COLOR_BLACK, g_pFont_a20, TITLE_MAX_WIDTH);
}

static void DrawPositionBar(void)
{
    if (g_bRecorder || GetActionMode() == ACTION_MODE_PHOTO)
        return;
    screen_player::RestoreRect(67, 174, 192, 3);
    screen_player::RestoreRect(67, 185, 192, 3);
    GRA_FillRect(70, 177, 186, 8, GUI_COLOR_BLACK);
    GRA_FillRect(71, 178, 184, 6, GUI_COLOR_WHITE);
    GRA_FillRect(72, 179, 182, 4, COLOR_TRACK);
    const long long nDuration = PL_GetDuration();
    if (nDuration <= 0 || nDuration == 0x7FFFFFFF || !PL_IsOpen())
        return;
    long long nPos = PL_GetPos();
    int w = static_cast<int>(nPos * BAR_WIDTH / nDuration);
    if (w > BAR_WIDTH)
        w = BAR_WIDTH;
    if (w < 0)
        w = 0;
    GRA_FillRect(72, 179, w, 4, COLOR_PLAYED);
    if (g_bDivideMode) {
        int x = w >= BAR_WIDTH ? 249 : 67 + w;
        Blit(x, 174, g_pBmp_arrow_down);
        Blit(x, 182, g_pBmp_arrow_up);
        return;
    }
    int nIn = g_ctrlIoRepeat.GetStartPos();
    int nOut = g_ctrlIoRepeat.GetEndPos();
    if (nIn >= 0) {
        long long d = nIn * BAR_WIDTH / nDuration;
        Blit(d >= BAR_WIDTH ? 250 : 68 + static_cast<int>(d), 183, g_pBmp_range[0]);
    }
    if (nOut >= 0) {
        long long d = nOut * BAR_WIDTH / nDuration;
        Blit(d >= BAR_WIDTH ? 253 : 71 + static_cast<int>(d), 183, g_pBmp_range[1]);
    }
}

static void DrawButtons(void)
{
    const int nMode = GetActionMode();
    const char* aszLabel[3] = {nullptr, nullptr, nullptr};
    if (screen_player::m_nVolumePopup) {
        aszLabel[2] = "CLOSE";
    } else if (IsDub()) {
        // none while the new sound is recorded
    } else if (screen_player::m_bSpeedPopup && !g_bRecorder) {
        aszLabel[0] = SettingInt("/GLOBAL/ENABLE SPEED") ? "SPEED OFF" : "SPEED ON";
        aszLabel[2] = "CLOSE";
    } else if (!g_bRecorder) {
        if (nMode == ACTION_MODE_PHOTO) {
            aszLabel[0] = "SELF TIMER";
            aszLabel[1] = "DELETE ";
        } else if (g_bDivideMode) {
            aszLabel[0] = "DIVIDE";
            aszLabel[2] = "CANCEL";
        } else if (screen_player::m_bIoPopup) {
            aszLabel[0] = "IN";
            aszLabel[1] = "OUT";
            aszLabel[2] = "CLOSE";
        } else {
            aszLabel[0] = "I/O LOOP";
            aszLabel[1] = "DELETE";
            if (!IsSpeed96k())
                aszLabel[2] = "SPEED";
        }
    } else if (nMode == ACTION_MODE_PHOTO) {
        aszLabel[0] = "SELF TIMER";
    } else {
        if (g_bRecording && !g_bRecPause)
            aszLabel[0] = "DIVIDE";
        else if (nMode == ACTION_MODE_SOUND)
            aszLabel[0] = g_bPhotoCaptured ? "RECAPTURE" : "CAPTURE";
        aszLabel[1] = "INPUT SETTING";
        aszLabel[2] = "REC SETTING";
    }
    for (int i = 0; i < 3; ++i) {
        if (aszLabel[i])
            DrawButton(i, aszLabel[i]);
    }
}

static int LowCutShown(void)
{
    return SettingInt("/Input Setting/LOW CUT") > 0 && (!g_bExtAudio || SettingInt("/Input Setting/INPUT SELECT") == 0);
}

static BITMAP* LevelControlIcon(void)
{
    if (!g_bExtAudio || SettingInt("/Input Setting/INPUT SELECT") != 1)
        return nullptr;
    int nControl = SettingInt("/Input Setting/LEVEL CONTROL");
    return nControl == 1 ? g_pBmp_autolevel : nControl == 2 ? g_pBmp_limiter : nullptr;
}

// The recorder's input icons, kept current by the fast ticks.
static void DrawInputIcons(int bPartial)
{
    if (!bPartial)
        s_LowCut.nValue = s_LevelControl.nValue = NOT_SHOWN;
    int bLowCut = LowCutShown();
    if (Changed(s_LowCut, bLowCut)) {
        screen_player::RestoreRect(285, 21, 34, 16);
        if (bLowCut)
            Blit(285, 21, g_pBmp_icon_lowcut);
    }
    BITMAP* pLevel = LevelControlIcon();
    if (Changed(s_LevelControl, reinterpret_cast<intptr_t>(pLevel))) {
        screen_player::RestoreRect(236, 21, 44, 16);
        Blit(236, 21, pLevel);
    }
}

static void DrawZoom(int bPartial)
{
    if (!bPartial)
        s_Zoom.nValue = NOT_SHOWN;
    if (!Changed(s_Zoom, g_nZoom))
        return;
    // The icon and its value: the value's text lies beside the icon's slot.
    screen_player::RestoreRect(218, 1, 50, 20);
    if (g_nZoom == 100)
        return;
    Blit(218, 1, g_pBmp_icon_zoom);
    char sz[16];
    snprintf(sz, sizeof(sz), "x%01.1f", g_nZoom / 100.0);
    Text(236, 2, sz, g_pFont_a16);
}

// ---- Popups ------------------------------------------------------------------------

static void DrawTextBlack(int x, int y, const char* sz, unsigned char* pFont)
{
    GRA_DrawStringS(x, y, sz, GUI_COLOR_TEXT, pFont, 0);
}

// A popup's key hint: the key's arrow and what it does.
static void DrawKeyHint(int xArrow, int yArrow, BITMAP* pArrow, int xText, int yText, const char* szText)
{
    if (pArrow)
        GRA_BitBlt(xArrow, yArrow, pArrow);
    DrawTextBlack(xText, yText, szText, g_pFont_a16);
}

static void DrawIoPopup(void)
{
    GRA_TileBlt(40, 70, 270, 64, g_pBmp_popup);
    GRA_DrawStringSC(40, 78, 270, "--- I/O LOOP SETTING ---", GUI_COLOR_TEXT, g_pFont_a16);
    GRA_DrawStringSC(40, 102, 270, "\a enter \a : LOOP ON / OFF", GUI_COLOR_TEXT, g_pFont_a16);
}

static void DrawSpeedPopup(void)
{
    GRA_TileBlt(0, 150, 320, 90, g_pBmp_popup);
    GRA_DrawStringSC(0, 154, 320, "--- SPEED CONTROL ---", GUI_COLOR_TEXT, g_pFont_a20);
    char sz[32];
    snprintf(sz, sizeof(sz), "SPEED : %01.1f", GetParameter("/PB Control/SPEED", nullptr));
    GRA_DrawStringSC(0, 174, 320, sz, GUI_COLOR_TEXT, g_pFont_a24);
    DrawKeyHint(140, 200, g_pBmp_bigarrow_left, 77, 198, "Speed -");
    DrawKeyHint(170, 200, g_pBmp_bigarrow_right, 190, 198, "Speed +");
    DrawButtons();
}

static void DrawVolumePopup(int bPartial)
{
    if (!bPartial) {
        s_Volume.nValue = s_VolumeBar.nValue = NOT_SHOWN;
        GRA_TileBlt(35, 66, 285, 85, g_pBmp_popup);
        GRA_DrawStringSC(35, 70, 285, "--- OUTPUT VOLUME ---", GUI_COLOR_TEXT, g_pFont_a20);
        DrawKeyHint(63, 114, g_pBmp_bigarrow_up, 77, 112, ": VOLUME +");
        DrawKeyHint(63, 133, g_pBmp_bigarrow_down, 77, 131, ": VOLUME -");
        DrawTextBlack(55, 89, "VOLUME:", g_pFont_a24);
    }
    if (Changed(s_Volume, g_nPlaybackVol)) {
        GRA_FillRect(145, 89, 30, 21, COLOR_VOLUME_BOX);
        char sz[8];
        snprintf(sz, sizeof(sz), "%d", g_nPlaybackVol);
        DrawTextBlack(145, 89, sz, g_pFont_a24);
    }
    int nBar = (g_nPlaybackVol + 2) / 3 * 7;
    if (Changed(s_VolumeBar, nBar) && g_pBmp_volume[0] && g_pBmp_volume[1]) {
        GRA_BitBlt(205, 100, g_pBmp_volume[0]);
        if (nBar > 0)
            GRA_BitBlt(205, 100, g_pBmp_volume[1], 0, 0, nBar, 38);
    }
}

static void DrawPopups(int bPartial)
{
    if (screen_player::m_bIoPopup)
        DrawIoPopup();
    if (screen_player::m_bSpeedPopup)
        DrawSpeedPopup();
    if (screen_player::m_nVolumePopup)
        DrawVolumePopup(bPartial);
}

// ---- Complete redraw and the 500 ms update ---------------------------------------------

static int ShowsLevelMeter(void)
{
    const int nMode = GetActionMode();
    if (nMode == ACTION_MODE_PHOTO)
        return 0;
    return nMode == ACTION_MODE_SOUND || g_bRecorder || IsDub();
}

static void DrawBackground(void)
{
    const int nMode = GetActionMode();
    int bPicture = g_bRecorder ? g_bPhotoCaptured : PL_IsImage();
    if (!g_bRecorder && !HasFiles())
        screen_player::m_nClearMode = CLEAR_BLACK;
    else if (!g_bRecorder && PL_GetErrorCode() != 0)
        screen_player::m_nClearMode = CLEAR_ERROR;
    else if (nMode == ACTION_MODE_SOUND && !bPicture)
        screen_player::m_nClearMode = CLEAR_WAVREC;
    else
        screen_player::m_nClearMode = CLEAR_TRANSPARENT;

    switch (screen_player::m_nClearMode) {
    case CLEAR_BLACK: {
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
        const char* szMessage = nMode == ACTION_MODE_SOUND   ? "No Audio File"
                                : nMode == ACTION_MODE_PHOTO ? "No Photo File"
                                                             : "No Movie File";
        GRA_DrawStringSC(0, 100, GRA_WIDTH, szMessage, GUI_COLOR_WHITE, g_pFont_a20);
        screen_player::m_curFile[0] = 0;
        s_pBackground = nullptr;
        break;
    }
    case CLEAR_WAVREC:
        s_pBackground = g_pBmp_wavrec_bg[g_bRecording ? 1 : 0];
        GRA_BitBlt(0, 0, s_pBackground);
        break;
    case CLEAR_ERROR:
        s_pBackground = g_pBmp_type_error_bg;
        GRA_BitBlt(0, 0, s_pBackground);
        break;
    default:
        s_pBackground = nullptr;
        GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GRA_TRANSPARENT);
        break;
    }
}

void screen_player::DrawAll(void)
{
    const int nMode = GetActionMode();
    const int bRecorder = g_bRecorder;
    ForgetAll();
    DrawBackground();

    Blit(1, 1, nMode == ACTION_MODE_SOUND ? g_pBmp_mode_audio
               : nMode == ACTION_MODE_PHOTO ? g_pBmp_mode_photo
                                            : g_pBmp_mode_movie);
    if (ShowsLevelMeter())
        DrawLevelMeter(0);

    int nTimer = SettingInt("/Rec Option/SELF TIMER");
    if (nTimer == 2 || nTimer == 10)
        Blit(264, nMode == ACTION_MODE_PHOTO ? 20 : 38, nTimer == 2 ? g_pBmp_timer_2 : g_pBmp_timer_10);

    char sz[32];
    if (!bRecorder && nMode != ACTION_MODE_PHOTO && SettingInt("/GLOBAL/ENABLE SPEED") && !IsSpeed96k()) {
        float fSpeed = GetParameter("/PB Control/SPEED", nullptr);
        if (fSpeed < 0.95f || fSpeed > 1.05f) {
            Blit(218, 1, g_pBmp_icon_speed);
            snprintf(sz, sizeof(sz), "%01.1f", fSpeed);
            Text(266, 2, sz, g_pFont_a16);
        }
    }
    if (!bRecorder) {
        int nArea = SettingInt("/Play Option/PLAY AREA");
        const char* szArea = nArea == 1 ? "FOLDER" : nArea == 2 ? "P.LIST" : "ALL";
        if (nMode == ACTION_MODE_PHOTO)
            Text(134, 3, szArea, g_pFont_a16);
        else
            TextRight(318, 174, szArea, g_pFont_a16);
    }
    if (bRecorder && nMode != ACTION_MODE_SOUND) {
        DrawZoom(0);
        int nBalance = SettingInt("/Rec Option/WHITE BALANCE");
        if (nBalance >= 0 && nBalance < 6)
            Blit(270, 1, g_pBmp_wb_icon[nBalance]);
    }
    if (bRecorder && nMode != ACTION_MODE_PHOTO) {
        DrawInputIcons(0);
        if (!g_bAfterRecMode && !IsDub()) {
            if (SettingInt("/Rec Option/AUTO REC MODE") > 0)
                Blit(35, 162, g_pBmp_icon_autorec);
            if (SettingInt("/Rec Option/PRE REC") == 1)
                Blit(35, 180, g_pBmp_icon_prerec);
        }
    }
    DrawQuality(0);
    DrawBatteryIcon(297, 1);
    DrawPlaySetting(0);
    DrawCounter(0);
    if (!m_bSpeedPopup) {
        DrawButtons();
        if (nMode != ACTION_MODE_PHOTO || m_nSelfTimer > 50)
            DrawTimes(0);
        DrawStatus(0);
        DrawTitle(0);
        DrawPositionBar();
    }
    DrawPopups(0);
}

void screen_player::Draw500msUpdate(void)
{
    DrawQuality(1);
    RestoreRect(297, 1, 23, 15);
    DrawBatteryIcon(297, 1);
    DrawPlaySetting(1);
    DrawCounter(1);
    if (!m_bSpeedPopup) {
        DrawStatus(1);
        DrawTitle(1);
        DrawPositionBar();
    }
    DrawPopups(1);
}

int screen_player::OnDraw500ms(void)
{
    int bRedraw = 0;
    if (g_bRecorder)
        bRedraw |= CheckRecorderError();
    else if (m_nAllDraw > 0)
        bRedraw |= CheckPlayerError();
    if (m_bFileChanging)
        return bRedraw;

    if (m_nAllDraw > 0)
        DrawAll();
    else
        Draw500msUpdate();
    if (m_nAllDraw > 0)
        --m_nAllDraw;
    if (m_nAllDraw == 0)
        m_bIsFirstDraw = 1;
    return bRedraw;
}

// ---- Fast ticks ------------------------------------------------------------------------

// The readouts that follow the recording or the play: at 100 ms in movie
// and photo mode, at 50 ms in audio mode.
int screen_player::DrawFast(int bAudioTick)
{
    const int nMode = GetActionMode();
    const int bSeeking = PL_GetSeekSpeed() != 0;
    if (!m_bSpeedPopup && (bAudioTick || nMode == ACTION_MODE_MOVIE || m_nSelfTimer > 0))
        DrawTimes(1);
    if (!g_bRecorder) {
        if (bAudioTick || IsDub())
            DrawLevelMeter(1);
        if (bSeeking && !m_bSpeedPopup)
            DrawPositionBar();
        return 1;
    }
    if (nMode != ACTION_MODE_PHOTO) {
        DrawInputIcons(1);
        DrawLevelMeter(1);
    }
    if (nMode != ACTION_MODE_SOUND)
        DrawZoom(1);
    return 1;
}

// The REC LED: lit while recording, blinking while paused.
static void DriveRecLed(void)
{
    static int s_nRecLed = -1;
    int bOn = g_bRecorder && g_bRecording && (!g_bRecPause || GetTime() % 1000 < 500);
    if (bOn != s_nRecLed) {
        s_nRecLed = bOn;
        LED_SetRec(bOn);
    }
}

int screen_player::OnDraw100ms(void)
{
    int bRedraw = 0;
    if (m_nVolumePopup > 0 && --m_nVolumePopup == 0)
        bRedraw = 1;
    SlideShowStep();
    if (m_bStopAfterRecReq) {
        m_bStopAfterRecReq = 0;
        StopAfterRec();
        bRedraw = 1;
    }
    if (m_bIsFirstDraw && !m_bFileChanging && GetActionMode() != ACTION_MODE_SOUND)
        DrawFast(0);
    return bRedraw | TakeRedrawRequest();
}

int screen_player::OnDraw50ms(int& bDrawn)
{
    SelfTimerStep();
    AutoRecStep();
    DriveRecLed();
    if (m_nSelfTimer == 0 && s_nCameraLed > 0)
        SetCameraLed(0);
    const int nRedraw = TakeRedrawRequest();
    if (!m_bIsFirstDraw || m_bFileChanging)
        return nRedraw;
    const int nMode = GetActionMode();
    if (!g_bRecorder && !HasFiles()) {
        if (nMode == ACTION_MODE_SOUND) {
            DrawLevelMeter(1);
            bDrawn = 1;
        }
        return nRedraw;
    }
    if (nMode != ACTION_MODE_SOUND)
        return nRedraw;
    DrawFast(1);
    bDrawn = 1;
    return nRedraw;
}
