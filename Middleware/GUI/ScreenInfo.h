// The information screen: the file open in the player, the card, or the
// system, as the opener chose with g_nInfoType.
#ifndef MIDDLEWARE_GUI_SCREENINFO_H
#define MIDDLEWARE_GUI_SCREENINFO_H

#include "Middleware/GUI/ScreenBase.h"

#define INFO_FOLDER_LEVELS 4

enum
{
    INFO_PAGE_FILE = 0,
    INFO_PAGE_CARD = 1,
};

class screen_info
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnButtonPress(unsigned long dwMask);
    static int OnDraw500ms(void);

    // Adds the recordings and folders of szFolder and of its sub-folders,
    // down to four levels below the folder the count started in.
    static void SubSerachTotalFileCount(const char* szFolder, int& nFiles, int& nFolders, int nLevel = 0);

    static CScreenBase* m_pLastActive;
    // The card page's counts, made when the page opens.
    static int m_nTotalFiles;
    static int m_nTotalFolders;

private:
    static void DrawFilePage(void);
    static void DrawCardPage(void);
    static void DrawSystemPage(void);
};

#endif
