// The file-name screen: new recordings are named by a six-character word or
// by the date, and the file counter can start again.
#ifndef MIDDLEWARE_GUI_SCREENFILENAME_H
#define MIDDLEWARE_GUI_SCREENFILENAME_H

#include "Middleware/GUI/ScreenBase.h"

#define FILENAME_WORD_LENGTH 6

class screen_filename
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnDraw500ms(void);

    // 0 "TYPE" label, 1 type value, 2 "WORD" label, 3-8 the characters.
    static int m_nCursor;
    static CScreenBase* m_pLastScreen;
    static int m_bWordSv;  // 1 when the type is WORD
    static char m_strWordSv[FILENAME_WORD_LENGTH + 1];

    static const char* const s_szCharSet;

private:
    static void ToggleType(void);
    static void StepChar(int nDelta);
    static void Return(void);
};

#endif
