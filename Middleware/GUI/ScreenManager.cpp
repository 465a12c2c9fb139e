#include "Middleware/GUI/ScreenManager.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Hdmi.h"
#include "DrvLib/Key.h"
#include "DrvLib/Led.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Middleware/GUI/AppMain.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/VPBE/Display.h"
#include "player/Player.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

CScreenManager g_ScreenManager;

int g_bDimmerBacklightOn = 0;
DWORD g_dwDimmerPreTime = 0;

// The first pending HDMI mute release after start-up is kept for the next
// complete draw, so that the picture is settled before it is unmuted.
static int s_bFirstMuteOff = 1;

// ---- Empty operations -------------------------------------------------------

static int NopInit(void) { return 1; }
static const char* NopName(void) { return ""; }
static int NopScreen(CScreenBase*) { return 0; }
static int NopKey(unsigned long) { return 0; }
static int NopDraw(void) { return 0; }
static int NopDraw50(int&) { return 0; }
static void NopReset(void) {}
static void NopTimer(unsigned long) {}
static int NopCommand(int, const char*) { return 0; }

void SCREEN_InitTable(CScreenBase* pScreen)
{
    pScreen->OnInitialize = NopInit;
    pScreen->GetName = NopName;
    pScreen->OnSetActive = NopScreen;
    pScreen->OnKillActive = NopScreen;
    pScreen->OnButtonPress = NopKey;
    pScreen->OnButtonRelease = NopKey;
    pScreen->OnButtonLongPress = NopKey;
    pScreen->OnButtonRepeat = NopKey;
    pScreen->OnDraw500ms = NopDraw;
    pScreen->OnDraw100ms = NopDraw;
    pScreen->OnDraw50ms = NopDraw50;
    pScreen->ResetAllDraw = NopReset;
    pScreen->OnTimer = NopTimer;
    pScreen->OnCommand = NopCommand;
}

// ---- Registration and activation --------------------------------------------

CScreenManager::CScreenManager()
{
    m_nScreens = 0;
    memset(m_apScreen, 0, sizeof(m_apScreen));
    m_pActive = nullptr;
    m_dwButtonState = 0;
    memset(m_adwPressTime, 0, sizeof(m_adwPressTime));
    memset(m_adwAutoRepeat, 0, sizeof(m_adwAutoRepeat));
    memset(m_anRepeatCount, 0, sizeof(m_anRepeatCount));
    memset(m_abNeedRelease, 0, sizeof(m_abNeedRelease));
    m_szBoxText[0] = 0;
    m_szYesLabel[0] = 0;
    m_szNoLabel[0] = 0;
    m_dwYesKey = 0;
    m_dwNoKey = 0;
    m_nBoxState = BOX_NONE;
    m_nBoxResult = 0;
    m_dwBoxTimeout = 0;
    m_bSkipKeyUpdate = 0;
}

int CScreenManager::Add(CScreenBase* pScreen)
{
    if (m_nScreens >= SCREEN_MAX)
        return -1;
    m_apScreen[m_nScreens] = pScreen;
    return m_nScreens++;
}

CScreenBase* CScreenManager::FindScreen(const char* szName)
{
    if (!szName)
        return nullptr;
    for (int i = 0; i < m_nScreens; ++i) {
        if (strcmp(m_apScreen[i]->GetName(), szName) == 0)
            return m_apScreen[i];
    }
    return nullptr;
}

const char* CScreenManager::GetActive()
{
    return m_pActive ? m_pActive->GetName() : nullptr;
}

static void NoteActive(CScreenBase* pScreen)
{
    SYS_NoteState("screen", pScreen ? pScreen->GetName() : "");
}

int CScreenManager::SetActive(CScreenBase* pNext)
{
    CScreenBase* pPrevious = m_pActive;
    m_pActive = nullptr;
    if (pPrevious)
        pPrevious->OnKillActive(pNext);
    m_pActive = pNext;
    NoteActive(pNext);
    if (!pNext)
        return 0;
    pNext->ResetAllDraw();
    return pNext->OnSetActive(pPrevious);
}

void CScreenManager::SetActive(const char* szName, int bNotify)
{
    CScreenBase* pScreen = FindScreen(szName);
    if (!szName || strcmp(szName, "player") != 0)
        FB_SetEnable(1);
    if (bNotify) {
        SetActive(pScreen);
    } else {
        m_pActive = pScreen;
        NoteActive(pScreen);
    }
}

// ---- Button state machine ---------------------------------------------------

static int BitOf(unsigned long dwMask)
{
    for (int i = 0; i < SCREEN_KEY_BITS; ++i) {
        if (dwMask & (1UL << i))
            return i;
    }
    return -1;
}

int CScreenManager::GetButtonState(unsigned long dwMask)
{
    return (m_dwButtonState & dwMask) ? 1 : 0;
}

void CScreenManager::SetButtonAutoRepeat(unsigned long dwMask, unsigned long dwMS)
{
    int i = BitOf(dwMask);
    if (i < 0)
        return;
    m_adwAutoRepeat[i] = dwMS;
    m_anRepeatCount[i] = 0;
}

void CScreenManager::SetButtonNeedRelease(unsigned long dwMask)
{
    int i = BitOf(dwMask);
    if (i >= 0)
        m_abNeedRelease[i] = 1;
}

// A key still held: the long press once after 1500 ms, or the repeats from
// 500 ms on, counted down in steps of the 50 ms loop pass.
int CScreenManager::UpdateHeldKey(int i, unsigned long dwMask, DWORD dwNow)
{
    int bRedraw = 0;
    if (m_adwAutoRepeat[i] == 0) {
        if (m_adwPressTime[i] == 0)
            return 0;
        if (DeltaTime(static_cast<DWORD>(m_adwPressTime[i]), dwNow) >= SCREEN_LONG_PRESS_MS) {
            bRedraw = OnButtonLongPress(dwMask);
            m_adwPressTime[i] = 0;
            m_abNeedRelease[i] = 1;
        }
        return bRedraw;
    }
    if (m_adwPressTime[i] == 0 ||
        DeltaTime(static_cast<DWORD>(m_adwPressTime[i]), dwNow) < SCREEN_REPEAT_DELAY_MS)
        return 0;
    if (m_anRepeatCount[i] <= 0) {
        bRedraw = OnButtonRepeat(dwMask);
        m_anRepeatCount[i] = static_cast<int>(m_adwAutoRepeat[i]);
    }
    if (m_anRepeatCount[i] > 0)
        m_anRepeatCount[i] -= 50;
    return bRedraw;
}

int CScreenManager::UpdateKey(int i, unsigned long dwKeys, DWORD dwNow)
{
    unsigned long dwMask = 1UL << i;
    int bPressed = (dwKeys & dwMask) != 0;
    int bWas = (m_dwButtonState & dwMask) != 0;
    int bRedraw = 0;

    if (m_abNeedRelease[i] && !bPressed)
        m_abNeedRelease[i] = 0;
    if (bPressed && !bWas) {
        if (!m_abNeedRelease[i])
            bRedraw = OnButtonPress(dwMask);
        m_adwPressTime[i] = dwNow;
        m_anRepeatCount[i] = 0;
    } else if (bPressed && bWas) {
        bRedraw = UpdateHeldKey(i, dwMask, dwNow);
    } else if (!bPressed && bWas) {
        if (m_nBoxState == BOX_NONE && m_pActive)
            bRedraw = m_pActive->OnButtonRelease(dwMask);
    }
    return bRedraw;
}

// F1 and PLAY report their press at the release, so that a long press can
// stand alone.
int CScreenManager::UpdateDeferredKey(int i, unsigned long dwKeys, DWORD dwNow)
{
    unsigned long dwMask = 1UL << i;
    int bPressed = (dwKeys & dwMask) != 0;
    int bWas = (m_dwButtonState & dwMask) != 0;
    int bRedraw = 0;

    if (bPressed && !bWas) {
        m_adwPressTime[i] = dwNow;
        m_anRepeatCount[i] = 0;
    } else if (bPressed && bWas) {
        bRedraw = UpdateHeldKey(i, dwMask, dwNow);
    } else if (!bPressed && bWas) {
        if (!m_abNeedRelease[i]) {
            m_dwButtonState &= ~dwMask;
            bRedraw |= OnButtonPress(dwMask);
        }
        m_dwButtonState &= ~dwMask;
        if (m_nBoxState == BOX_NONE && m_pActive)
            bRedraw |= m_pActive->OnButtonRelease(dwMask);
    }
    if (m_abNeedRelease[i] && !bPressed)
        m_abNeedRelease[i] = 0;
    return bRedraw;
}

int CScreenManager::UpdateButtonState(unsigned long dwKeys)
{
    DWORD dwNow = GetTime();
    int bRedraw = 0;
    for (int i = 0; i < SCREEN_KEY_BITS; ++i) {
        unsigned long dwMask = 1UL << i;
        if (dwMask == KEY_F1 || dwMask == KEY_PLAY)
            bRedraw |= UpdateDeferredKey(i, dwKeys, dwNow);
        else
            bRedraw |= UpdateKey(i, dwKeys, dwNow);
    }
    if (m_bSkipKeyUpdate && m_nBoxState == BOX_NONE) {
        m_bSkipKeyUpdate = 0;
        return bRedraw ? 1 : 0;
    }
    m_dwButtonState = dwKeys;
    return bRedraw ? 1 : 0;
}

// ---- Dispatchers --------------------------------------------------------------

// Under the "ALL OFF" dimmer a key lights the backlight for a while; the
// main loop switches it off again 5 s after the last press.
void CScreenManager::WakeBacklight(void)
{
    if (static_cast<int>(GetParameter("/Setup/DIMMER", nullptr)) == 0 && !g_bDimmerBacklightOn) {
        LED_SetBacklight(4);
        g_bDimmerBacklightOn = 1;
    }
    g_dwDimmerPreTime = GetTime();
}

int CScreenManager::OnButtonPress(unsigned long dwMask)
{
    WakeBacklight();
    if (m_nBoxState == BOX_CONFIRM) {
        if (dwMask & m_dwYesKey)
            m_nBoxResult = 1;
        else if (dwMask & m_dwNoKey)
            m_nBoxResult = 0;
        return 0;
    }
    if (m_nBoxState == BOX_TIMER)
        return 0;
    return m_pActive ? m_pActive->OnButtonPress(dwMask) : 0;
}

int CScreenManager::OnButtonLongPress(unsigned long dwMask)
{
    if (m_nBoxState != BOX_NONE)
        return 0;
    if (dwMask == KEY_F1)
        PowerOff();
    return m_pActive ? m_pActive->OnButtonLongPress(dwMask) : 0;
}

int CScreenManager::OnButtonRepeat(unsigned long dwMask)
{
    if (m_nBoxState != BOX_NONE)
        return 0;
    WakeBacklight();
    return m_pActive ? m_pActive->OnButtonRepeat(dwMask) : 0;
}

int CScreenManager::OnButtonRelease(unsigned long dwMask)
{
    if (m_nBoxState != BOX_NONE)
        return 0;
    return m_pActive ? m_pActive->OnButtonRelease(dwMask) : 0;
}

void CScreenManager::OnTimer(unsigned long dwMask)
{
    if (m_pActive)
        m_pActive->OnTimer(dwMask);
}

// ---- Drawing ticks --------------------------------------------------------------

// On HDMI the OSD is left alone while a picture plays under it: no box, no
// pending mute release, and not a sound file playing (whose screen stays).
int CScreenManager::IsHdmiQuiet(void)
{
    return g_bDispHdmi && !(GetActionMode() == ACTION_MODE_SOUND && PL_IsPlaying()) && m_nBoxState == BOX_NONE &&
           !g_bSetAV_MuteOFF_Flag;
}

int CScreenManager::DrawComplete(void)
{
    int bDrawn = 0;
    m_pActive->OnDraw500ms();
    int bRedraw = m_pActive->OnDraw100ms();
    bRedraw |= m_pActive->OnDraw50ms(bDrawn);
    DrawConfirmBox();
    FB_Flip();
    // The bank now drawn into starts as a copy of the frame on display.
    FB_GetVram(m_abFrameCopy);
    FB_SetVram(m_abFrameCopy);
    return bRedraw;
}

int CScreenManager::OnDraw500ms(int bForce)
{
    if (!m_pActive)
        return 0;
    int bHdmi = g_bDispHdmi;
    int bMuteOffPending = g_bSetAV_MuteOFF_Flag;
    int bPlaying = PL_IsPlaying();
    int nMode = GetActionMode();
    if (!bForce && bHdmi && !bMuteOffPending && m_nBoxState == BOX_NONE &&
        !(nMode == ACTION_MODE_SOUND && bPlaying) &&
        !(nMode == ACTION_MODE_MOVIE && bPlaying && GRA_GetEnableMode()))
        return m_pActive->OnDraw100ms();

    if (bForce || (bHdmi && bMuteOffPending))
        m_pActive->ResetAllDraw();
    int bRedraw = DrawComplete();

    if (bHdmi && bMuteOffPending && m_pActive) {
        printf("OnDraw500ms() -> 2nd\n");
        bRedraw = DrawComplete();
        if (g_bSetAV_MuteOFF_Flag) {
            if (s_bFirstMuteOff) {
                s_bFirstMuteOff = 0;
            } else {
                g_bSetAV_MuteOFF_Flag = 0;
                printf("OnDraw500ms() -> HDMI_AV_Mute_OFF()\n");
                HDMI_AV_Mute_OFF();
            }
        }
    }
    return bRedraw;
}

int CScreenManager::OnDraw100ms(void)
{
    if (!m_pActive)
        return 0;
    if (IsHdmiQuiet())
        return m_pActive->OnDraw100ms();
    int bDrawn = 0;
    int bRedraw = m_pActive->OnDraw100ms();
    bRedraw |= m_pActive->OnDraw50ms(bDrawn);
    DrawConfirmBox();
    FB_Flip();
    return bRedraw;
}

int CScreenManager::OnDraw50ms(void)
{
    if (!m_pActive)
        return 0;
    if (IsHdmiQuiet())
        return 0;
    int bDrawn = 0;
    int bRedraw = m_pActive->OnDraw50ms(bDrawn);
    if (bDrawn) {
        DrawConfirmBox();
        FB_Flip();
    }
    return bRedraw;
}

void CScreenManager::DrawConfirmBox(void)
{
    if (m_nBoxState == BOX_CONFIRM)
        DrawConfirm(m_szBoxText, m_szYesLabel, m_szNoLabel);
    else if (m_nBoxState == BOX_TIMER)
        DrawConfirmTimer(m_szBoxText);
}

// ---- Modal boxes --------------------------------------------------------------

// What a box shows and waits for, kept while a box opened from inside its
// loop covers it: the outer box comes back afterwards and still waits for
// its own answer.
struct SAVED_BOX
{
    int nState;
    int nResult;
    char szText[256];
    char szYes[32];
    char szNo[32];
    unsigned long dwYesKey;
    unsigned long dwNoKey;
    unsigned long dwTimeout;
};

static void SaveBox(const CScreenManager& manager, SAVED_BOX& box)
{
    box.nState = manager.m_nBoxState;
    box.nResult = manager.m_nBoxResult;
    memcpy(box.szText, manager.m_szBoxText, sizeof(box.szText));
    memcpy(box.szYes, manager.m_szYesLabel, sizeof(box.szYes));
    memcpy(box.szNo, manager.m_szNoLabel, sizeof(box.szNo));
    box.dwYesKey = manager.m_dwYesKey;
    box.dwNoKey = manager.m_dwNoKey;
    box.dwTimeout = manager.m_dwBoxTimeout;
}

static void RestoreBox(CScreenManager& manager, const SAVED_BOX& box)
{
    memcpy(manager.m_szBoxText, box.szText, sizeof(box.szText));
    memcpy(manager.m_szYesLabel, box.szYes, sizeof(box.szYes));
    memcpy(manager.m_szNoLabel, box.szNo, sizeof(box.szNo));
    manager.m_dwYesKey = box.dwYesKey;
    manager.m_dwNoKey = box.dwNoKey;
    manager.m_dwBoxTimeout = box.dwTimeout;
    manager.m_nBoxResult = box.nResult;
    manager.m_nBoxState = box.nState;
    manager.m_bSkipKeyUpdate = 1;
}

// Runs a nested main loop for the box set up in the fields; outer is the box
// that was open before (state 0 for none).
int CScreenManager::RunBox(int nState, const SAVED_BOX& outer)
{
    m_nBoxResult = -1;
    m_nBoxState = nState;
    m_bSkipKeyUpdate = 1;
    SYS_NoteState("box", m_szBoxText);
    AppMainLoop();
    // A loop left for quitting leaves the box unanswered: it counts as "no".
    int nResult = m_nBoxResult == 1 ? 1 : 0;
    m_nBoxState = BOX_NONE;
    if (outer.nState != BOX_NONE)
        RestoreBox(*this, outer);
    return nResult;
}

int CScreenManager::Confirm(const char* szText, unsigned long dwYesKey, const char* szYes, unsigned long dwNoKey,
                            const char* szNo)
{
    SAVED_BOX outer;
    SaveBox(*this, outer);
    snprintf(m_szBoxText, sizeof(m_szBoxText), "%s", szText ? szText : "");
    snprintf(m_szYesLabel, sizeof(m_szYesLabel), "%s", szYes ? szYes : "");
    snprintf(m_szNoLabel, sizeof(m_szNoLabel), "%s", szNo ? szNo : "");
    m_dwYesKey = dwYesKey;
    m_dwNoKey = dwNoKey;
    if (dwYesKey)
        SetButtonNeedRelease(dwYesKey);
    if (dwNoKey)
        SetButtonNeedRelease(dwNoKey);
    int nResult = RunBox(BOX_CONFIRM, outer);
    OnDraw500ms(1);
    return nResult;
}

int CScreenManager::ConfirmTimer(const char* szText, unsigned long dwMS)
{
    SAVED_BOX outer;
    SaveBox(*this, outer);
    snprintf(m_szBoxText, sizeof(m_szBoxText), "%s", szText ? szText : "");
    m_dwBoxTimeout = dwMS;
    RunBox(BOX_TIMER, outer);
    return 0;
}

// Alert and Error: the caller's text inside a wrapper, answered by ENTER.
static int EnterBox(CScreenManager& manager, const char* szWrapped, va_list ap)
{
    char szText[256];
    vsnprintf(szText, sizeof(szText), szWrapped, ap);
    return manager.Confirm(szText, KEY_ENTER, "", 0, "");
}

int CScreenManager::Alert(const char* szFormat, ...)
{
    char szWrapped[512];
    snprintf(szWrapped, sizeof(szWrapped), "\n%s\n\n\x07  ENTER  \x07", szFormat);
    va_list ap;
    va_start(ap, szFormat);
    int nResult = EnterBox(*this, szWrapped, ap);
    va_end(ap);
    return nResult;
}

int CScreenManager::Error(const char* szFormat, ...)
{
    char szWrapped[512];
    snprintf(szWrapped, sizeof(szWrapped), "\x08%d\n%s\n\n\x07  ENTER  \x07", 0, szFormat);
    va_list ap;
    va_start(ap, szFormat);
    int nResult = EnterBox(*this, szWrapped, ap);
    va_end(ap);
    return nResult;
}
