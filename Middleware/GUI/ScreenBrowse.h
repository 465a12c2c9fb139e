// The browse screen: the recordings of the current mode as the card's
// folders ("BROWSE") or as the mode's playlist ("PLAY LIST"), as a text
// list or a grid of thumbnails, with a popup menu of actions per entry.
#ifndef MIDDLEWARE_GUI_SCREENBROWSE_H
#define MIDDLEWARE_GUI_SCREENBROWSE_H

#include "Media/FileTree.h"
#include "Media/PlaylistFile.h"
#include "Middleware/GUI/Graphics.h"
#include "Middleware/GUI/ScreenBase.h"

#define BROWSE_THUMBNAILS 12         // thumbnails kept
#define BROWSE_GRID_COLUMNS 3
#define BROWSE_GRID_ROWS 2
#define BROWSE_LIST_LINES 6          // rows of the "BROWSE" list (7 in "PLAY LIST")
#define BROWSE_ROW_HEIGHT 27
#define BROWSE_THUMB_WIDTH 96
#define BROWSE_THUMB_HEIGHT 72
#define BROWSE_RESIZED_WIDTH 160     // the resizer's picture of a file
#define BROWSE_RESIZED_HEIGHT 120
#define BROWSE_CARD_RESERVE 31457280LL  // space that divide and dub leave on the card

struct THUMBNAIL_INFO
{
    char szPath[256];
    int nLastUse;   // draw count of the last use; 0 = slot free
    int bMade;      // made, with a picture or without (then pBmp is null)
    BITMAP* pBmp;
};

class screen_browse
{
public:
    static int OnInitialize(void);
    static const char* GetName(void);
    static int OnSetActive(CScreenBase* pPrevious);
    static int OnKillActive(CScreenBase* pNext);
    static int OnButtonPress(unsigned long dwMask);
    static int OnButtonRepeat(unsigned long dwMask);
    static int OnButtonLongPress(unsigned long dwMask);
    static int OnDraw500ms(void);
    static int OnCommand(int nIndex, const char* szText);

    // Loads the listing of szDir (of m_szDispDir when null).
    static void SetDispDir(const char* szDir);
    static int SavePlaylistFile(void);
    static void GetFileDir(int nIndex, char* szOut);
    // Runs a shell command with the progress bar of "All Del" kept alive.
    static int OnAllDeleteProgress(int& nCounter, const char* szCommand);

    static int m_bThumbnail;
    static char m_szDispDir[256];
    static char m_szSelFile[256];
    static CFileTree m_FileTree;
    static CPlaylistFile m_PlaylistFile;
    static unsigned char m_nPlaylistIndex[PLAYLIST_MAX_ENTRIES];
    static unsigned char m_nBasePlaylistIndex[PLAYLIST_MAX_ENTRIES];
    static int m_nFileCount;
    static int m_nCursor;
    static int m_nScroll;
    static int m_nScrollRange;
    static int m_nScrollPage;
    static int m_nFileLines;
    static int m_nNewMoveIndex;
    static int m_nBaseMoveIndex;
    static int m_nDispTitlePos;
    static THUMBNAIL_INFO m_tThumbnailInfoTbl[BROWSE_THUMBNAILS];

    // The selected entry's index, -1 for none.
    static int GetSelIndex(void);
    // Path of entry nIndex of the listing ("" for a bad index).
    static void GetFilePath(int nIndex, char* szOut);
    static int IsDir(int nIndex);

private:
    static void LoadListing(void);
    static void SetWindow(int nIndex);
    static void Select(int nIndex);
    static void MoveUp(void);
    static void MoveDown(void);
    static void MoveLeft(void);
    static void MoveRight(void);
    static int PressWhileMoving(unsigned long dwMask);
    static void FollowMove(void);
    static void EndMove(void);
    static void OpenPopup(void);
    static void ReloadPlaylists(void);
    static void RescanPlayingList(int bKeepFile);

    static void CmdSelect(const char* szPath);
    static void CmdCreate(void);
    static void CmdAllDelete(const char* szFolder);
    static void CmdPlay(const char* szPath);
    static void CmdInfo(const char* szPath);
    static void CmdAddList(const char* szPath);
    static void CmdDivide(const char* szPath);
    static void CmdAfterRec(const char* szPath);
    static void CmdDelete(int nIndex, const char* szPath);
    static void CmdAllClear(void);
    static int SelectForPlayer(const char* szPath);

    static void DrawList(void);
    static void DrawGrid(void);
    static void DrawTitleLine(void);
    static void DrawCell(int nIndex, int x, int y);
    static BITMAP* Thumbnail(const char* szPath);
    static void FreeThumbnails(void);
};

#endif
