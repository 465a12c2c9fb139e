#include "Middleware/GUI/ScreenBrowse.h"

#include "DrvLib/FrameBuffer.h"
#include "DrvLib/Key.h"
#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Media/MediaReader.h"
#include "Media/PlaylistCtrl.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/BrowseThumbnail.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/ScreenPopup.h"
#include "player/Player.h"

#include <dirent.h>
#include <initializer_list>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <time.h>

int screen_browse::m_bThumbnail = 1;
char screen_browse::m_szDispDir[256] = "/MY_FOLDER";
char screen_browse::m_szSelFile[256] = "";
CFileTree screen_browse::m_FileTree;
CPlaylistFile screen_browse::m_PlaylistFile;
unsigned char screen_browse::m_nPlaylistIndex[PLAYLIST_MAX_ENTRIES];
unsigned char screen_browse::m_nBasePlaylistIndex[PLAYLIST_MAX_ENTRIES];
int screen_browse::m_nFileCount = 0;
int screen_browse::m_nCursor = -1;
int screen_browse::m_nScroll = 0;
int screen_browse::m_nScrollRange = 0;
int screen_browse::m_nScrollPage = 0;
int screen_browse::m_nFileLines = BROWSE_LIST_LINES;
int screen_browse::m_nNewMoveIndex = -1;
int screen_browse::m_nBaseMoveIndex = -1;
int screen_browse::m_nDispTitlePos = 0;
THUMBNAIL_INFO screen_browse::m_tThumbnailInfoTbl[BROWSE_THUMBNAILS];

#define BROWSE_FOLDER_LIMIT 9998     // entries of a folder before "Create" refuses
#define BROWSE_DIVIDE_LIMIT 9996     // ... before "Divide" refuses (it makes two files)
#define BROWSE_DUB_LIMIT 9997        // ... before "After Rec" refuses (it makes one)
#define BROWSE_FOLDER_NAMES 10000    // "KST7_0000" to "KST7_9999"
#define BROWSE_PATH_LIMIT 254
#define BROWSE_LIST_TOP 52           // first row of the "BROWSE" list
#define BROWSE_PLAYLIST_TOP 27       // ... of the "PLAY LIST" list
#define BROWSE_GRID_X 6
#define BROWSE_GRID_Y 52
#define BROWSE_GRID_DX 99
#define BROWSE_GRID_DY 82
#define BROWSE_COLOR_MOVING 0xC000   // the entry being moved
#define BROWSE_COLOR_CELL 0x2104     // a cell without a picture
#define BROWSE_ALL_DEL_TICK_MS 250

static int s_nDrawCount = 0;  // age of the thumbnails

// ---- Entries ----------------------------------------------------------------------

static int Setting(const char* szKey)
{
    return static_cast<int>(GetParameter(szKey, nullptr));
}

static void PlaylistRealPath(char* szOut)
{
    char szName[32];
    snprintf(szName, sizeof(szName), "/.PlayList.%d", GetActionMode());
    ToRealPath(szOut, szName);
}

static int FileExists(const char* szVPath)
{
    char szReal[300];
    ToRealPath(szReal, szVPath);
    struct stat st;
    return SYS_stat(szReal, &st) == 0;
}

// "%04d/%02d/%02d %02d:%02d" of the file's time (UTC fields).
static int FileDate(const char* szVPath, char* szOut, long long* pnSize)
{
    char szReal[300];
    ToRealPath(szReal, szVPath);
    struct stat st;
    if (SYS_stat(szReal, &st) != 0) {
        strcpy(szOut, "????" "/??" "/??" " ??:??");
        if (pnSize)
            *pnSize = 0;
        return 0;
    }
    struct tm t;
    gmtime_r(&st.st_mtime, &t);
    sprintf(szOut, "%04d/%02d/%02d %02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
    if (pnSize)
        *pnSize = st.st_size;
    return 1;
}

static const char* BaseName(const char* szPath)
{
    const char* p = strrchr(szPath, '/');
    return p ? p + 1 : szPath;
}

void screen_browse::GetFilePath(int nIndex, char* szOut)
{
    szOut[0] = 0;
    if (nIndex < 0 || nIndex >= m_nFileCount)
        return;
    if (g_bPlaylist)
        m_PlaylistFile.GetFilePath(m_nPlaylistIndex[nIndex], szOut);
    else
        m_FileTree.GetFilePath(nIndex, szOut);
}

int screen_browse::IsDir(int nIndex)
{
    return !g_bPlaylist && nIndex >= 0 && nIndex < m_nFileCount && m_FileTree.IsDir(nIndex);
}

void screen_browse::GetFileDir(int nIndex, char* szOut)
{
    GetFilePath(nIndex, szOut);
    char* p = strrchr(szOut, '/');
    if (p)
        *p = 0;
}

int screen_browse::GetSelIndex(void)
{
    if (m_nCursor < 0)
        return -1;
    return m_nCursor + m_nScroll * (m_bThumbnail ? BROWSE_GRID_COLUMNS : 1);
}

int screen_browse::SavePlaylistFile(void)
{
    char szPath[64];
    PlaylistRealPath(szPath);
    return m_PlaylistFile.Save(szPath);
}

// ---- The window over the listing ---------------------------------------------------

void screen_browse::SetWindow(int nIndex)
{
    const int n = m_nFileCount;
    if (m_bThumbnail) {
        m_nScrollRange = (n + BROWSE_GRID_COLUMNS - 1) / BROWSE_GRID_COLUMNS;
        m_nScrollPage = BROWSE_GRID_ROWS;
    } else {
        m_nScrollRange = n;
        m_nScrollPage = m_nFileLines;
    }
    if (n <= 0 || nIndex < 0) {
        m_nCursor = -1;
        m_nScroll = 0;
        return;
    }
    if (nIndex >= n)
        nIndex = n - 1;
    if (m_bThumbnail) {
        int nLastRow = (n - 1) / BROWSE_GRID_COLUMNS;
        if (nIndex / BROWSE_GRID_COLUMNS == nLastRow && n > BROWSE_GRID_COLUMNS) {
            m_nScroll = nLastRow - 1;
            m_nCursor = nIndex % BROWSE_GRID_COLUMNS + BROWSE_GRID_COLUMNS;
        } else {
            m_nScroll = nIndex / BROWSE_GRID_COLUMNS;
            m_nCursor = nIndex % BROWSE_GRID_COLUMNS;
        }
    } else if (n <= m_nFileLines) {
        m_nScroll = 0;
        m_nCursor = nIndex;
    } else if (nIndex + m_nFileLines > n) {
        m_nScroll = n - m_nFileLines;
        m_nCursor = nIndex - m_nScroll;
    } else {
        m_nScroll = nIndex;
        m_nCursor = 0;
    }
}

// The selection is kept by path across every reload.
static void NoteSelection(void)
{
    screen_browse::GetFilePath(screen_browse::GetSelIndex(), screen_browse::m_szSelFile);
    screen_browse::m_nDispTitlePos = 0;
}

void screen_browse::Select(int nIndex)
{
    SetWindow(nIndex);
    NoteSelection();
}

void screen_browse::LoadListing(void)
{
    char szPath[64];
    PlaylistRealPath(szPath);
    m_PlaylistFile.Load(szPath);
    m_nFileLines = g_bPlaylist ? BROWSE_LIST_LINES + 1 : BROWSE_LIST_LINES;
    if (g_bPlaylist) {
        m_nFileCount = m_PlaylistFile.GetCount();
        for (int i = 0; i < PLAYLIST_MAX_ENTRIES; ++i)
            m_nPlaylistIndex[i] = m_nBasePlaylistIndex[i] = static_cast<unsigned char>(i);
    } else if (strcmp(m_szDispDir, "/") == 0) {
        m_FileTree.ScanDirOnly("/", "MY_FOLDER");
        m_nFileCount = m_FileTree.GetTotalCount();
    } else {
        tagFilterExt filter;
        FILTER_SetMode(&filter, GetActionMode());
        int bFirstLevel = strchr(m_szDispDir + 1, '/') == nullptr;
        m_FileTree.ScanDir(m_szDispDir, &filter, bFirstLevel);
        m_nFileCount = m_FileTree.GetTotalCount();
    }
    int nSel = m_nFileCount > 0 ? 0 : -1;
    char szEntry[256];
    for (int i = 0; m_szSelFile[0] && i < m_nFileCount; ++i) {
        GetFilePath(i, szEntry);
        if (strcmp(szEntry, m_szSelFile) == 0) {
            nSel = i;
            break;
        }
    }
    SetWindow(nSel);
    if (nSel >= 0)
        GetFilePath(nSel, m_szSelFile);
}

void screen_browse::SetDispDir(const char* szDir)
{
    if (szDir && szDir != m_szDispDir)
        snprintf(m_szDispDir, sizeof(m_szDispDir), "%s", szDir);
    LoadListing();
}

// ---- Navigation -----------------------------------------------------------------------

void screen_browse::MoveUp(void)
{
    const int n = m_nFileCount;
    if (n <= 0)
        return;
    if (!m_bThumbnail) {
        if (m_nCursor > 0)
            --m_nCursor;
        else if (m_nScroll > 0)
            --m_nScroll;
        else
            SetWindow(n - 1);
    } else if (m_nCursor >= BROWSE_GRID_COLUMNS) {
        m_nCursor -= BROWSE_GRID_COLUMNS;
    } else if (m_nScroll > 0) {
        --m_nScroll;
    } else {
        int nIndex = (n - 1) / BROWSE_GRID_COLUMNS * BROWSE_GRID_COLUMNS + m_nCursor % BROWSE_GRID_COLUMNS;
        SetWindow(nIndex < n ? nIndex : n - 1);
    }
    NoteSelection();
}

void screen_browse::MoveDown(void)
{
    const int n = m_nFileCount;
    const int nSel = GetSelIndex();
    if (nSel < 0)
        return;
    if (!m_bThumbnail) {
        if (nSel >= n - 1) {
            m_nScroll = 0;
            m_nCursor = 0;
        } else if (m_nCursor < m_nFileLines - 1) {
            ++m_nCursor;
        } else {
            ++m_nScroll;
        }
    } else {
        if (nSel / BROWSE_GRID_COLUMNS + 1 >= (n + BROWSE_GRID_COLUMNS - 1) / BROWSE_GRID_COLUMNS)
            return;
        int nNext = nSel + BROWSE_GRID_COLUMNS < n ? nSel + BROWSE_GRID_COLUMNS : n - 1;
        if (m_nCursor >= BROWSE_GRID_COLUMNS)
            ++m_nScroll;
        m_nCursor = nNext - m_nScroll * BROWSE_GRID_COLUMNS;
    }
    NoteSelection();
}

void screen_browse::MoveLeft(void)
{
    if (GetSelIndex() <= 0)
        return;
    if (m_nCursor > 0) {
        --m_nCursor;
    } else {
        --m_nScroll;
        m_nCursor = BROWSE_GRID_COLUMNS - 1;
    }
    NoteSelection();
}

void screen_browse::MoveRight(void)
{
    const int nSel = GetSelIndex();
    if (nSel < 0 || nSel + 1 >= m_nFileCount)
        return;
    if (m_nCursor < BROWSE_GRID_COLUMNS * BROWSE_GRID_ROWS - 1) {
        ++m_nCursor;
    } else {
        ++m_nScroll;
        m_nCursor = BROWSE_GRID_COLUMNS;
    }
    NoteSelection();
}

// ---- Moving a playlist entry --------------------------------------------------------

// The displayed order: the starting order with the moved entry taken out
// and put in at the selection.
void screen_browse::FollowMove(void)
{
    const int n = m_nFileCount;
    m_nNewMoveIndex = GetSelIndex();
    unsigned char aOthers[PLAYLIST_MAX_ENTRIES];
    int k = 0;
    for (int i = 0; i < n; ++i)
        if (i != m_nBaseMoveIndex)
            aOthers[k++] = m_nBasePlaylistIndex[i];
    unsigned char nMoved = m_nBasePlaylistIndex[m_nBaseMoveIndex];
    for (int i = 0, j = 0; i < n; ++i)
        m_nPlaylistIndex[i] = i == m_nNewMoveIndex ? nMoved : aOthers[j++];
    NoteSelection();
}

void screen_browse::EndMove(void)
{
    m_nNewMoveIndex = -1;
    m_nBaseMoveIndex = -1;
}

int screen_browse::PressWhileMoving(unsigned long dwMask)
{
    if (dwMask & (KEY_F1 | KEY_F2 | KEY_MENU))
        return 0;
    if (dwMask & KEY_F3) {
        // The stored order comes back; the entry under the cursor stays selected.
        NoteSelection();
        EndMove();
        LoadListing();
        return 1;
    }
    if (dwMask & KEY_ENTER) {
        NoteSelection();
        static CPlaylistFile s_Ordered;
        s_Ordered.DeleteAll();
        char szPath[256];
        for (int i = 0; i < m_nFileCount; ++i) {
            GetFilePath(i, szPath);
            s_Ordered.Add(szPath);
        }
        m_PlaylistFile.Copy(s_Ordered);
        SavePlaylistFile();
        EndMove();
        ReloadPlaylists();
        LoadListing();
        return 1;
    }
    if (dwMask & KEY_UP)
        MoveUp();
    else if (dwMask & KEY_DOWN)
        MoveDown();
    else if (m_bThumbnail && (dwMask & KEY_LEFT))
        MoveLeft();
    else if (m_bThumbnail && (dwMask & KEY_RIGHT))
        MoveRight();
    else if (dwMask & KEY_LEFT) {
        g_bRecorder = 0;
        g_ScreenManager.SetActive("menu", 1);
        return 1;
    } else
        return 0;
    FollowMove();
    return 1;
}

// ---- Screen operations ------------------------------------------------------------------

int screen_browse::OnInitialize(void)
{
    m_bThumbnail = 1;
    memset(m_tThumbnailInfoTbl, 0, sizeof(m_tThumbnailInfoTbl));
    THUMB_Init();
    return 1;
}

const char* screen_browse::GetName(void) { return "browse"; }

int screen_browse::OnSetActive(CScreenBase* pPrevious)
{
    if (g_bRecorder) {
        if (REC_IsRecording() || Setting("/Rec Option/PRE REC") == 1)
            REC_Stop();
        g_bRecorder = 0;
    } else if (PL_IsPlaying() || PL_IsPausing()) {
        PL_Stop(STOP_BY_SYSTEM);
    }
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 100);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 100);
    FreeThumbnails();
    EndMove();
    if (pPrevious && strcmp(pPrevious->GetName(), "popup") == 0) {
        printf("Pre Popup!!\n");
        return 1;
    }
    printf("Set Active!!\n");
    g_PlaylistCtrl.GetCurrentFilePath(m_szSelFile);
    g_PlaylistCtrl.GetCurrentDir(m_szDispDir);
    SetDispDir(nullptr);
    return 1;
}

int screen_browse::OnKillActive(CScreenBase* pNext)
{
    g_ScreenManager.SetButtonAutoRepeat(KEY_UP, 0);
    g_ScreenManager.SetButtonAutoRepeat(KEY_DOWN, 0);
    return 0;
}

int screen_browse::OnButtonPress(unsigned long dwMask)
{
    if (m_nNewMoveIndex >= 0)
        return PressWhileMoving(dwMask);
    const int nSel = GetSelIndex();
    if (dwMask & KEY_UP) {
        MoveUp();
    } else if (dwMask & KEY_DOWN) {
        MoveDown();
    } else if (dwMask & KEY_LEFT) {
        if (m_bThumbnail) {
            MoveLeft();
        } else if (!g_bPlaylist && strcmp(m_szDispDir, "/") != 0) {
            // Up to the parent, with the folder just left selected.
            snprintf(m_szSelFile, sizeof(m_szSelFile), "%s", m_szDispDir);
            char* p = strrchr(m_szDispDir, '/');
            if (p == m_szDispDir)
                p[1] = 0;
            else if (p)
                *p = 0;
            LoadListing();
        } else {
            g_bRecorder = 0;
            g_ScreenManager.SetActive("menu", 1);
        }
    } else if (dwMask & KEY_RIGHT) {
        if (m_bThumbnail) {
            MoveRight();
        } else if (IsDir(nSel)) {
            GetFilePath(nSel, m_szDispDir);
            m_szSelFile[0] = 0;
            LoadListing();
        }
    } else if (dwMask & KEY_F1) {
        m_bThumbnail = !m_bThumbnail;
        SetWindow(nSel);
    } else if (dwMask & KEY_F2) {
        g_bPlaylist = !g_bPlaylist;
        LoadListing();
    } else if (dwMask & KEY_F3) {
        g_bRecorder = 0;
        if (PL_IsStop())
            g_bKeepStop = 1;
        g_ScreenManager.SetActive("player", 1);
    } else if (dwMask & KEY_MENU) {
        g_bRecorder = 0;
        g_ScreenManager.SetActive("menu", 1);
    } else if (dwMask & KEY_ENTER) {
        if (nSel >= 0)
            OpenPopup();
    } else {
        return 0;
    }
    return 1;
}

int screen_browse::OnButtonRepeat(unsigned long dwMask)
{
    if (!(dwMask & (KEY_UP | KEY_DOWN)))
        return 0;
    return OnButtonPress(dwMask & (KEY_UP | KEY_DOWN));
}

int screen_browse::OnButtonLongPress(unsigned long dwMask) { return 0; }

void screen_browse::OpenPopup(void)
{
    static const char* s_apszPlaylist[] = {"Cancel", "Play", "Info", "Move", "Delete", "All Clr", nullptr};
    static const char* s_apszMyFolder[] = {"Cancel", "Select", "Create", "All Del", nullptr};
    static const char* s_apszFolder[] = {"Cancel", "Select", "All Del", nullptr};
    static const char* s_apszMovie[] = {"Cancel", "Play", "Info", "Add List", "Divide", "After Rec", "Delete", nullptr};
    static const char* s_apszSound[] = {"Cancel", "Play", "Info", "Add List", "Divide", "Delete", nullptr};
    static const char* s_apszPhoto[] = {"Cancel", "Play", "Info", "Add List", "Delete", nullptr};
    const int nSel = GetSelIndex();
    if (g_bPlaylist) {
        PopupMenu(s_apszPlaylist);
    } else if (IsDir(nSel)) {
        char szPath[256];
        GetFilePath(nSel, szPath);
        PopupMenu(strcmp(szPath, "/MY_FOLDER") == 0 ? s_apszMyFolder : s_apszFolder);
    } else if (GetActionMode() == ACTION_MODE_MOVIE) {
        PopupMenu(s_apszMovie);
    } else if (GetActionMode() == ACTION_MODE_SOUND) {
        PopupMenu(s_apszSound);
    } else {
        PopupMenu(s_apszPhoto);
    }
}

int screen_browse::OnCommand(int nIndex, const char* szText)
{
    const int nSel = GetSelIndex();
    if (nSel < 0 || !szText)
        return 0;
    char szPath[256];
    GetFilePath(nSel, szPath);
    if (strcmp(szText, "Select") == 0)
        CmdSelect(szPath);
    else if (strcmp(szText, "Create") == 0)
        CmdCreate();
    else if (strcmp(szText, "All Del") == 0)
        CmdAllDelete(szPath);
    else if (strcmp(szText, "Play") == 0)
        CmdPlay(szPath);
    else if (strcmp(szText, "Info") == 0)
        CmdInfo(szPath);
    else if (strcmp(szText, "Add List") == 0)
        CmdAddList(szPath);
    else if (strcmp(szText, "Divide") == 0)
        CmdDivide(szPath);
    else if (strcmp(szText, "After Rec") == 0)
        CmdAfterRec(szPath);
    else if (strcmp(szText, "Move") == 0) {
        m_nNewMoveIndex = nSel;
        m_nBaseMoveIndex = nSel;
    } else if (strcmp(szText, "Delete") == 0)
        CmdDelete(nSel, szPath);
    else if (strcmp(szText, "All Clr") == 0)
        CmdAllClear();
    return 1;
}

// ---- Commands ------------------------------------------------------------------------

// The playing list follows a changed playlist when it is made from it.
void screen_browse::RescanPlayingList(int bKeepFile)
{
    char szCurrent[256];
    g_PlaylistCtrl.GetCurrentFilePath(szCurrent);
    int nIndex = g_PlaylistCtrl.GetCurrentIndex();
    g_PlaylistCtrl.ScanPlaylist();
    int nCount = g_PlaylistCtrl.GetCount();
    if (nCount <= 0)
        return;
    int nFound = bKeepFile && szCurrent[0] ? g_PlaylistCtrl.SearchIndex(szCurrent) : -1;
    g_PlaylistCtrl.SetCurrentIndex(nFound >= 0 ? nFound : (nIndex < nCount ? nIndex : nCount - 1));
}

void screen_browse::ReloadPlaylists(void)
{
    g_PlaylistCtrl.LoadPlaylist();
    if (Setting("/Play Option/PLAY AREA") == 2)
        RescanPlayingList(0);
}

void screen_browse::CmdSelect(const char* szFolder)
{
    SetParameter("/Play Option/PLAY AREA", 1.0f);
    char szCurrent[256];
    g_PlaylistCtrl.GetCurrentFilePath(szCurrent);
    g_PlaylistCtrl.SetCurrentDir(szFolder);
    g_PlaylistCtrl.ScanPlaylist();
    int nIndex = szCurrent[0] ? g_PlaylistCtrl.SearchIndex(szCurrent) : -1;
    if (nIndex >= 0)
        g_PlaylistCtrl.SetCurrentIndex(nIndex);
    g_bRecorder = 0;
    g_bKeepStop = 1;
    g_ScreenManager.SetActive("player", 1);
}

void screen_browse::CmdCreate(void)
{
    static CFileTree s_Folder;
    tagFilterExt filter;
    FILTER_SetMode(&filter, GetActionMode());
    s_Folder.ScanDir("/MY_FOLDER", &filter, 1);
    if (s_Folder.GetTotalCount() > BROWSE_FOLDER_LIMIT) {
        g_ScreenManager.Error("File Full");
        return;
    }
    if (!g_ScreenManager.Confirm("Make Folder?", KEY_F1, "Make Folder", KEY_F3, "Cancel"))
        return;
    char szName[64];
    char szReal[300];
    int n = 0;
    for (; n < BROWSE_FOLDER_NAMES; ++n) {
        snprintf(szName, sizeof(szName), "/MY_FOLDER/KST7_%04d", n);
        ToRealPath(szReal, szName);
        struct stat st;
        if (SYS_stat(szReal, &st) != 0)
            break;
    }
    if (n == BROWSE_FOLDER_NAMES) {
        g_ScreenManager.Error("File Full");
        return;
    }
    if (SYS_mkdir(szReal, 0777) != 0) {
        printf("error mkdir(%s):%s\n", szReal, strerror(errno));
        return;
    }
    SYS_sync();
    g_PlaylistCtrl.SetCurrentDir(szName);
    m_szSelFile[0] = 0;
    SetDispDir(szName);
}

static void DrawDeleteProgress(void* pCtx)
{
    DrawProgressBar(64, 120, 192, 24, *static_cast<int*>(pCtx));
    FB_Flip();
}

int screen_browse::OnAllDeleteProgress(int& nCounter, const char* szCommand)
{
    DrawDeleteProgress(&nCounter);
    return vsystemTick(szCommand, BROWSE_ALL_DEL_TICK_MS, DrawDeleteProgress, &nCounter);
}

void screen_browse::CmdAllDelete(const char* szFolder)
{
    if (!g_ScreenManager.Confirm("All Delete?", KEY_F1, "Delete", KEY_F3, "Cancel"))
        return;
    // The mode's files of the folder, as the listing shows them; sub-folders stay.
    static CFileTree s_Files;
    tagFilterExt filter;
    FILTER_SetMode(&filter, GetActionMode());
    s_Files.ScanDir(szFolder, &filter, 0);
    const int nFiles = s_Files.GetTotalCount();
    int nCounter = 0;
    char szPath[256];
    char szReal[300];
    char szQuoted[1300];
    char szCommand[1400];
    for (int i = 0; i < nFiles; ++i) {
        s_Files.GetFilePath(i, szPath);
        ToRealPath(szReal, szPath);
        nCounter = i * 100 / nFiles;
        // Names come from the card: each goes to the shell as one quoted word.
        if (!ShellQuote(szQuoted, sizeof(szQuoted), szReal))
            continue;
        snprintf(szCommand, sizeof(szCommand), "rm -rf %s", szQuoted);
        if (OnAllDeleteProgress(nCounter, szCommand) != 0)
            printf("All Del: %s failed\n", szReal);
        m_PlaylistFile.Delete(szPath);
    }
    SYS_sync();
    SavePlaylistFile();
    ReloadPlaylists();
    for (; nCounter <= 100; ++nCounter) {
        DrawDeleteProgress(&nCounter);
        SleepMS(50);
    }
    LoadListing();
}

// The chosen file becomes the playing list's current file: found in the
// list, or standing in for the current index.
int screen_browse::SelectForPlayer(const char* szPath)
{
    int nIndex = g_PlaylistCtrl.SearchIndex(szPath);
    if (nIndex < 0) {
        nIndex = g_PlaylistCtrl.GetCurrentIndex();
        if (nIndex < 0)
            nIndex = 0;
        g_PlaylistCtrl.SetTempFile(nIndex, szPath);
    }
    g_PlaylistCtrl.SetCurrentIndex(nIndex);
    return nIndex;
}

void screen_browse::CmdPlay(const char* szPath)
{
    if (g_bPlaylist && !FileExists(szPath)) {
        g_ScreenManager.Error("File Not Found\nPLAYLIST");
        return;
    }
    int nIndex = g_PlaylistCtrl.SearchIndex(szPath);
    if (nIndex < 0) {
        int nArea = Setting("/Play Option/PLAY AREA");
        if (nArea == 1) {
            char szDir[256];
            snprintf(szDir, sizeof(szDir), "%s", szPath);
            char* p = strrchr(szDir, '/');
            if (p)
                *p = 0;
            g_PlaylistCtrl.SetCurrentDir(szDir);
            g_PlaylistCtrl.ScanPlaylist();
            nIndex = g_PlaylistCtrl.SearchIndex(szPath);
        } else if (nArea == 2) {
            nIndex = SelectForPlayer(szPath);
        }
        if (nIndex < 0) {
            printf("no file!!\n");
            return;
        }
    }
    g_bRecorder = 0;
    g_bKeepStop = 0;
    g_PlaylistCtrl.SetCurrentIndex(nIndex);
    g_ScreenManager.SetActive("player", 1);
}

void screen_browse::CmdInfo(const char* szPath)
{
    if (g_bPlaylist && !FileExists(szPath)) {
        g_ScreenManager.Error("File Not Found\nPLAYLIST");
        return;
    }
    char szDate[32];
    char szSize[32] = "0 bytes";
    long long nSize = 0;
    if (FileDate(szPath, szDate, &nSize))
        IntToString(static_cast<int>(nSize), szSize);
    else
        printf("error stat():%s\n", strerror(errno));
    char szText[256];
    snprintf(szText, sizeof(szText), "--- FILE INFORMATION ---\n%s\n%s\n%s", BaseName(szPath), szDate, szSize);
    g_ScreenManager.Confirm(szText, 0, "", KEY_F3, "Close");
}

void screen_browse::CmdAddList(const char* szPath)
{
    if (g_PlaylistCtrl.GetPlaylistCount() >= PLAYLIST_MAX_ENTRIES || !m_PlaylistFile.Add(szPath)) {
        g_ScreenManager.Error("PLAYLIST Full");
        return;
    }
    SavePlaylistFile();
    ReloadPlaylists();
}

// True when the folder holds a file of that name in any case (the card's
// file system does not tell "A" from "a").
static int NameTaken(const char* szVDir, const char* szName)
{
    char szReal[300];
    ToRealPath(szReal, szVDir);
    DIR* pDir = SYS_opendir(szReal);
    if (!pDir)
        return 0;
    int bTaken = 0;
    while (struct dirent* pEnt = readdir(pDir)) {
        if (strcasecmp(pEnt->d_name, szName) == 0) {
            bTaken = 1;
            break;
        }
    }
    closedir(pDir);
    return bTaken;
}

// Room on the card for a copy of the file with the reserve left over.
static int RoomForCopy(const char* szPath)
{
    char szReal[300];
    ToRealPath(szReal, szPath);
    g_RemainMedia.Update();
    return g_RemainMedia.IsAvaiableSpace() &&
           g_RemainMedia.GetRemainSize() - GetFileSize(szReal) > BROWSE_CARD_RESERVE;
}

void screen_browse::CmdDivide(const char* szPath)
{
    if (m_nFileCount > BROWSE_DIVIDE_LIMIT) {
        g_ScreenManager.Error("File Full");
        return;
    }
    if (!RoomForCopy(szPath)) {
        g_ScreenManager.Error("Out of Card Space");
        return;
    }
    if (strlen(szPath) > BROWSE_PATH_LIMIT) {
        g_ScreenManager.Error("File Name ERR");
        return;
    }
    char szDir[256];
    snprintf(szDir, sizeof(szDir), "%s", szPath);
    char* pSlash = strrchr(szDir, '/');
    if (pSlash)
        *pSlash = 0;
    char szBase[256];
    snprintf(szBase, sizeof(szBase), "%s", BaseName(szPath));
    char* pDot = strrchr(szBase, '.');
    if (pDot)
        *pDot = 0;
    const char* szExt = GetActionMode() == ACTION_MODE_SOUND ? "wav" : "mov";
    for (const char* szPart : {"_a", "_b"}) {
        char szName[300];
        snprintf(szName, sizeof(szName), "%s%s.%s", szBase, szPart, szExt);
        if (NameTaken(szDir, szName)) {
            g_ScreenManager.Error("Dup File Name");
            return;
        }
    }
    SelectForPlayer(szPath);
    g_bRecorder = 0;
    g_bDivideMode = 1;
    g_bKeepStop = 0;
    g_ScreenManager.SetActive("player", 1);
}

void screen_browse::CmdAfterRec(const char* szPath)
{
    if (m_nFileCount > BROWSE_DUB_LIMIT) {
        g_ScreenManager.Error("File Full");
        return;
    }
    if (!RoomForCopy(szPath)) {
        g_ScreenManager.Error("Card Full !");
        return;
    }
    SelectForPlayer(szPath);
    // The new sound is recorded in the movie's own format.
    static CMediaReader s_Reader;
    char szReal[300];
    ToRealPath(szReal, szPath);
    if (s_Reader.Open(szReal) == 0) {
        int nRate = 0, nBits = 0, nChannels = 0;
        s_Reader.GetAudioInfo(&nRate, &nBits, &nChannels);
        SetParameter("/REC Quality/SAMPLE RATE", static_cast<float>(nRate));
        SetParameter("/REC Quality/SOUND FORMAT", static_cast<float>(nBits));
        SetParameter("/Input Setting/INPUT TYPE", static_cast<float>(nChannels));
        s_Reader.Close();
    }
    g_bRecorder = 1;
    g_bAfterRecMode = 1;
    g_ScreenManager.SetActive("player", 1);
}

void screen_browse::CmdDelete(int nIndex, const char* szPath)
{
    if (g_bPlaylist) {
        m_PlaylistFile.Delete(static_cast<int>(m_nPlaylistIndex[nIndex]));
        SavePlaylistFile();
        ReloadPlaylists();
    } else {
        char szReal[300];
        ToRealPath(szReal, szPath);
        if (IsReadOnlyFile(szReal)) {
            g_ScreenManager.Alert("File Protected");
            return;
        }
        char szText[256];
        snprintf(szText, sizeof(szText), "--- FILE DELETE ---\nDelete %s\nAre you sure ?", BaseName(szPath));
        if (!g_ScreenManager.Confirm(szText, KEY_F1, "YES", KEY_F3, "NO"))
            return;
        if (SYS_unlink(szReal) != 0)
            printf("error unlink(%s):%s\n", szReal, strerror(errno));
        SYS_sync();
        m_PlaylistFile.Delete(szPath);
        SavePlaylistFile();
        g_PlaylistCtrl.LoadPlaylist();
        RescanPlayingList(1);
    }
    m_szSelFile[0] = 0;
    LoadListing();
    Select(nIndex < m_nFileCount ? nIndex : m_nFileCount - 1);
}

void screen_browse::CmdAllClear(void)
{
    if (!g_ScreenManager.Confirm("--- PLAY LIST ALL CLEAR ---\n\nAre you sure ?", KEY_F1, "YES", KEY_F3, "NO"))
        return;
    m_PlaylistFile.DeleteAll();
    SavePlaylistFile();
    ReloadPlaylists();
    m_szSelFile[0] = 0;
    LoadListing();
    SetWindow(-1);
}

// ---- Drawing ---------------------------------------------------------------------------

static BITMAP* TypeIcon(const char* szPath, int bDir)
{
    if (bDir)
        return g_pBmp_type_dir;
    char szExt[256];
    GetFileExt(szExt, szPath);
    ToUpper(szExt);
    if (strcmp(szExt, "MOV") == 0)
        return g_pBmp_mode_movie;
    if (strcmp(szExt, "WAV") == 0)
        return g_pBmp_type_audio;
    if (strcmp(szExt, "JPG") == 0 || strcmp(szExt, "JPEG") == 0)
        return g_pBmp_mode_photo;
    return g_pBmp_type_error;
}

void screen_browse::FreeThumbnails(void)
{
    for (THUMBNAIL_INFO& info : m_tThumbnailInfoTbl) {
        if (info.pBmp)
            GRA_FreeBitmap(info.pBmp);
        memset(&info, 0, sizeof(info));
    }
}

// The cached thumbnail of a file, made when first drawn (null: no picture).
BITMAP* screen_browse::Thumbnail(const char* szPath)
{
    THUMBNAIL_INFO* pOldest = &m_tThumbnailInfoTbl[0];
    for (THUMBNAIL_INFO& info : m_tThumbnailInfoTbl) {
        if (info.bMade && strcmp(info.szPath, szPath) == 0) {
            info.nLastUse = s_nDrawCount;
            return info.pBmp;
        }
        if (info.nLastUse < pOldest->nLastUse)
            pOldest = &info;
    }
    if (pOldest->pBmp)
        GRA_FreeBitmap(pOldest->pBmp);
    snprintf(pOldest->szPath, sizeof(pOldest->szPath), "%s", szPath);
    char szReal[300];
    ToRealPath(szReal, szPath);
    pOldest->pBmp = THUMB_Make(szReal);
    pOldest->bMade = 1;
    pOldest->nLastUse = s_nDrawCount;
    return pOldest->pBmp;
}

void screen_browse::DrawCell(int nIndex, int x, int y)
{
    char szPath[256];
    GetFilePath(nIndex, szPath);
    BITMAP* pBmp = IsDir(nIndex) ? nullptr : Thumbnail(szPath);
    if (pBmp) {
        GRA_StretchBltT(x, y, BROWSE_THUMB_WIDTH, BROWSE_THUMB_HEIGHT, pBmp);
    } else {
        GRA_FillRect(x, y, BROWSE_THUMB_WIDTH, BROWSE_THUMB_HEIGHT, BROWSE_COLOR_CELL);
        BITMAP* pIcon = TypeIcon(szPath, IsDir(nIndex));
        GRA_BitBltT(x + (BROWSE_THUMB_WIDTH - pIcon->nWidth) / 2, y + (BROWSE_THUMB_HEIGHT - pIcon->nHeight) / 2,
                    pIcon);
    }
    if (g_bPlaylist) {
        char szNumber[16];
        snprintf(szNumber, sizeof(szNumber), "[%02d]", m_nPlaylistIndex[nIndex] + 1);
        unsigned short wColor = nIndex == m_nNewMoveIndex ? BROWSE_COLOR_MOVING : GUI_COLOR_WHITE;
        GRA_DrawStringF(x + 3, y + 2, szNumber, wColor, GUI_COLOR_BLACK, g_pFont_a16, BROWSE_THUMB_WIDTH - 6);
    }
}

// The selected entry's name (scrolling when long) and date.
void screen_browse::DrawTitleLine(void)
{
    int nSel = GetSelIndex();
    if (nSel < 0)
        return;
    char szPath[256];
    GetFilePath(nSel, szPath);
    char szDate[32];
    FileDate(szPath, szDate, nullptr);
    int nDateWidth = 0, nHeight = 0;
    GRA_CalcStringS(&nDateWidth, &nHeight, szDate, g_pFont_a16, nullptr);
    const int nNameWidth = 296 - nDateWidth - 8 - 4;
    const char* szName = BaseName(szPath);
    int nWidth = 0;
    GRA_CalcStringS(&nWidth, &nHeight, szName, g_pFont_a16, nullptr);
    if (nWidth > nNameWidth) {
        if (m_nDispTitlePos >= static_cast<int>(strlen(szName)))
            m_nDispTitlePos = 0;
        szName += m_nDispTitlePos++;
    }
    GRA_DrawStringS(4, 28, szName, GUI_COLOR_WHITE, g_pFont_a16, nNameWidth);
    GRA_DrawStringSR(296, 28, szDate, GUI_COLOR_WHITE, g_pFont_a16);
}

void screen_browse::DrawGrid(void)
{
    DrawTitleLine();
    for (int nCell = 0; nCell < BROWSE_GRID_COLUMNS * BROWSE_GRID_ROWS; ++nCell) {
        int nIndex = m_nScroll * BROWSE_GRID_COLUMNS + nCell;
        if (nIndex >= m_nFileCount)
            break;
        int x = BROWSE_GRID_X + BROWSE_GRID_DX * (nCell % BROWSE_GRID_COLUMNS);
        int y = BROWSE_GRID_Y + BROWSE_GRID_DY * (nCell / BROWSE_GRID_COLUMNS);
        if (nCell == m_nCursor)
            GRA_TileBlt(x - 3, y - 3, BROWSE_THUMB_WIDTH + 6, BROWSE_THUMB_HEIGHT + 6, g_pBmp_selected);
        DrawCell(nIndex, x, y);
    }
}

void screen_browse::DrawList(void)
{
    int nTop = g_bPlaylist ? BROWSE_PLAYLIST_TOP : BROWSE_LIST_TOP;
    if (!g_bPlaylist) {
        GRA_BitBltT(27, 29, g_pBmp_dir[0]);
        const char* szFolder = strcmp(m_szDispDir, "/") == 0 ? "KESTRA7" : BaseName(m_szDispDir);
        GRA_DrawStringS(52, 27, szFolder, GUI_COLOR_WHITE, g_pFont_a20, 244);
    }
    char szPath[256];
    char szText[300];
    for (int nRow = 0; nRow < m_nFileLines && m_nScroll + nRow < m_nFileCount; ++nRow) {
        int nIndex = m_nScroll + nRow;
        int y = nTop + BROWSE_ROW_HEIGHT * nRow;
        GetFilePath(nIndex, szPath);
        if (nRow == m_nCursor)
            GRA_TileBlt(22, y, 278, BROWSE_ROW_HEIGHT - 1, g_pBmp_selected);
        GRA_BitBltT(27, y + 2, TypeIcon(szPath, IsDir(nIndex)));
        if (g_bPlaylist)
            snprintf(szText, sizeof(szText), "[%02d] %s", m_nPlaylistIndex[nIndex] + 1, BaseName(szPath));
        else
            snprintf(szText, sizeof(szText), "%s", BaseName(szPath));
        unsigned short wColor = nIndex == m_nNewMoveIndex ? BROWSE_COLOR_MOVING
                                : nRow == m_nCursor       ? GUI_COLOR_BLACK
                                                          : GUI_COLOR_WHITE;
        GRA_DrawStringS(54, y + 2, szText, wColor, g_pFont_a20, 244);
    }
}

int screen_browse::OnDraw500ms(void)
{
    ++s_nDrawCount;
    GRA_FillRect(0, 0, GRA_WIDTH, GRA_HEIGHT, GUI_COLOR_BLACK);
    DrawHeader(g_bPlaylist ? "PLAY LIST" : "BROWSE");
    if (m_nNewMoveIndex >= 0) {
        DrawButton(2, "CANCEL");
    } else {
        DrawButton(0, m_bThumbnail ? "FILE" : "THUMBNAIL");
        DrawButton(1, g_bPlaylist ? "BROWSE" : "PLAY LIST");
        DrawButton(2, "HOME");
    }
    DrawScrollBar(303, 34, m_nScrollRange, m_nScrollPage, m_nScroll);
    if (m_bThumbnail)
        DrawGrid();
    else
        DrawList();
    if (m_nFileCount == 0)
        GRA_DrawStringSC(0, 100, GRA_WIDTH, g_bPlaylist ? "No PLAY LIST" : "No File", GUI_COLOR_WHITE, g_pFont_a20);
    return 0;
}

CScreenBase* CreateScreen_browse(void)
{
    static CScreenBase s_table;
    SCREEN_InitTable(&s_table);
    s_table.OnInitialize = screen_browse::OnInitialize;
    s_table.GetName = screen_browse::GetName;
    s_table.OnSetActive = screen_browse::OnSetActive;
    s_table.OnKillActive = screen_browse::OnKillActive;
    s_table.OnButtonPress = screen_browse::OnButtonPress;
    s_table.OnButtonRepeat = screen_browse::OnButtonRepeat;
    s_table.OnButtonLongPress = screen_browse::OnButtonLongPress;
    s_table.OnDraw500ms = screen_browse::OnDraw500ms;
    s_table.OnCommand = screen_browse::OnCommand;
    s_table.OnInitialize();
    return &s_table;
}
