// Screen manager: registered screens, key events, drawing ticks and the
// modal boxes.
#ifndef MIDDLEWARE_GUI_SCREENMANAGER_H
#define MIDDLEWARE_GUI_SCREENMANAGER_H

class CScreenManager
{
public:
    const char* GetActive();
    void SetActive(const char* szName, int bNotify);
    int Confirm(const char* szText, unsigned long dwYesKey, const char* szYes, unsigned long dwNoKey,
                const char* szNo);
    int ConfirmTimer(const char* szText, unsigned long dwMS);
    int Alert(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    int Error(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
};

extern CScreenManager g_ScreenManager;

#endif
