// Screen manager: registered screens, key events, drawing ticks and the
// modal boxes.
#ifndef MIDDLEWARE_GUI_SCREENMANAGER_H
#define MIDDLEWARE_GUI_SCREENMANAGER_H

#include "Lib/Thread.h"
#include "Middleware/GUI/ScreenBase.h"

#define SCREEN_MAX 32
#define SCREEN_KEY_BITS 24
#define SCREEN_FRAME_BYTES (640 * 480 * 2)  // the largest OSD layout

#define SCREEN_LONG_PRESS_MS 1500
#define SCREEN_REPEAT_DELAY_MS 500

enum
{
    BOX_NONE = 0,
    BOX_CONFIRM = 1,
    BOX_TIMER = 2,
};

extern int g_bDimmerBacklightOn;  // a key lit the backlight under the "ALL OFF" dimmer
extern DWORD g_dwDimmerPreTime;   // time of the last key press

struct SAVED_BOX;

class CScreenManager
{
public:
    CScreenManager();

    int Add(CScreenBase* pScreen);
    CScreenBase* FindScreen(const char* szName);
    const char* GetActive();
    CScreenBase* GetActiveScreen() { return m_pActive; }
    int SetActive(CScreenBase* pNext);
    void SetActive(const char* szName, int bNotify);

    int GetButtonState(unsigned long dwMask);
    void SetButtonAutoRepeat(unsigned long dwMask, unsigned long dwMS);
    void SetButtonNeedRelease(unsigned long dwMask);
    int UpdateButtonState(unsigned long dwKeys);

    int OnButtonPress(unsigned long dwMask);
    int OnButtonRelease(unsigned long dwMask);
    int OnButtonLongPress(unsigned long dwMask);
    int OnButtonRepeat(unsigned long dwMask);
    void OnTimer(unsigned long dwMask);

    int OnDraw500ms(int bForce);
    int OnDraw100ms(void);
    int OnDraw50ms(void);
    void DrawConfirmBox(void);

    int Confirm(const char* szText, unsigned long dwYesKey, const char* szYes, unsigned long dwNoKey,
                const char* szNo);
    int ConfirmTimer(const char* szText, unsigned long dwMS);
    int Alert(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    int Error(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));

    // Fields, in the order of the design; the main loop reads the box state.
    int m_nScreens;
    CScreenBase* m_apScreen[SCREEN_MAX];
    CScreenBase* m_pActive;
    unsigned char m_abFrameCopy[SCREEN_FRAME_BYTES];
    unsigned long m_dwButtonState;
    unsigned long m_adwPressTime[SCREEN_KEY_BITS];
    unsigned long m_adwAutoRepeat[SCREEN_KEY_BITS];
    int m_anRepeatCount[SCREEN_KEY_BITS];
    int m_abNeedRelease[SCREEN_KEY_BITS];
    char m_szBoxText[256];
    char m_szYesLabel[32];
    char m_szNoLabel[32];
    unsigned long m_dwYesKey;
    unsigned long m_dwNoKey;
    int m_nBoxState;
    int m_nBoxResult;
    unsigned long m_dwBoxTimeout;
    int m_bSkipKeyUpdate;

private:
    int UpdateKey(int nBit, unsigned long dwKeys, DWORD dwNow);
    int UpdateDeferredKey(int nBit, unsigned long dwKeys, DWORD dwNow);
    int UpdateHeldKey(int nBit, unsigned long dwMask, DWORD dwNow);
    void WakeBacklight(void);
    int DrawComplete(void);
    int IsHdmiQuiet(void);
    int RunBox(int nState, const SAVED_BOX& outer);
};

extern CScreenManager g_ScreenManager;

#endif
