// The factory test mode: a key, power and card check page and a menu of
// test pages, reached by holding STOP and DISPLAY at power-on.
#ifndef MIDDLEWARE_GUI_SCREENTESTMODE_H
#define MIDDLEWARE_GUI_SCREENTESTMODE_H

#include "Middleware/GUI/ScreenBase.h"

#define TESTMODE_ENTRIES 8
#define TESTMODE_SECTOR_SIZE 512

enum
{
    TESTMODE_LEVEL_CHECK = 0,
    TESTMODE_LEVEL_MENU = 1,
    TESTMODE_LEVEL_PAGE = 2,
};

enum
{
    TESTMODE_SW = 0,
    TESTMODE_CARD,
    TESTMODE_VOLUME,
    TESTMODE_LCD,
    TESTMODE_RTC,
    TESTMODE_VERSION,
    TESTMODE_CAMERA,
    TESTMODE_BG,
};

class screen_testmode
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnButtonPress(unsigned long dwMask);
    static int OnButtonLongPress(unsigned long dwMask);
    static int OnDraw500ms(void);
    static int OnDraw50ms(int& bDrawn);

    static int m_nLevel;
    static int m_nCursor;
    static unsigned long m_nLastKey;
    static int m_bFlashLed_Rec;
    static int m_bFlashLed_Peak;
    static int m_bFlashLed_Camera;
    static const char* m_pTmpScreenName;
    static int m_nReadSector;
    static int m_bReadSectorOK;
    static int m_nLcdTestDraw;
    static int m_nFirstCameraDraw;
    // The last sector read on the CARD page.
    static unsigned char m_abSector[TESTMODE_SECTOR_SIZE];

private:
    static int CheckPageKey(unsigned long dwMask);
    static int MenuKey(unsigned long dwMask);
    static int PageKey(unsigned long dwMask);
    static void OpenPage(void);
    static void ReadNextSector(void);
    static void DrawCheckPage(void);
    static void DrawMenu(void);
    static void DrawPage(void);
    static void DrawIdentify(void);
};

// 1 while the CAMERA test page is shown; the capture and display code ask.
int TestModeIsCameraMenu(void);

#endif
