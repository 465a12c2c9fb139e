// The browse screen in this process: its listings and windows, the popup
// of each kind of entry, folder creation, playlist editing, deletes (with
// names from other computers), the checks before divide and dub, the hand-
// over to the player screen, and what it draws.
#include "DrvLib/Key.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Media/PlaylistFile.h"
#include "Media/RemainMedia.h"
#include "Middleware/GUI/Gui.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenBrowse.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "player/Player.h"
#include "sim/board/Card.h"
#include "tests/browse/BrowseSupport.h"
#include "tests/support/BoxAnswerer.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace vrec::test;

namespace {

using Paths = std::vector<std::string>;

const Paths kMoviePopup = {"Cancel", "Play", "Info", "Add List", "Divide", "After Rec", "Delete"};
const Paths kSoundPopup = {"Cancel", "Play", "Info", "Add List", "Divide", "Delete"};
const Paths kPhotoPopup = {"Cancel", "Play", "Info", "Add List", "Delete"};

std::string CurrentDir()
{
    char dir[256];
    g_PlaylistCtrl.GetCurrentDir(dir);
    return dir;
}

std::string CurrentFile()
{
    char path[256];
    g_PlaylistCtrl.GetCurrentFilePath(path);
    return path;
}

// ---- Listings and popups ------------------------------------------------------------

TEST_F(BrowseTest, ListsTheModesFilesAndFoldersWithEachKindsPopup)
{
    for (const char* file : {"/MY_FOLDER/A.MOV", "/MY_FOLDER/B.WAV", "/MY_FOLDER/C.JPG", "/MY_FOLDER/D.jpeg",
                             "/MY_FOLDER/.hidden.MOV", "/MY_FOLDER/noext", "/MY_FOLDER/SUB/E.MOV",
                             "/MY_FOLDER/SUB/DEEP/F.MOV", "/OTHER/G.MOV"})
        Put(file);

    Open(ACTION_MODE_MOVIE);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER/SUB", "/MY_FOLDER/A.MOV"})) << "folders first, the mode's files only";
    EXPECT_EQ(Selected(), "/MY_FOLDER/A.MOV") << "the playing list's current file";
    EXPECT_EQ(Popup(), kMoviePopup);
    Press(KEY_ENTER);  // Cancel
    EXPECT_EQ(ActiveScreen(), "browse");
    Press(KEY_UP);
    EXPECT_EQ(Popup(), Paths({"Cancel", "Select", "All Del"}));
    Press(KEY_ENTER);

    // A first-level folder lists its files; deeper folders are not offered.
    Press(KEY_RIGHT);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER/SUB/E.MOV"}));
    Press(KEY_LEFT);
    EXPECT_EQ(Selected(), "/MY_FOLDER/SUB") << "the folder just left is selected";
    // The card's root holds only the recording folder.
    Press(KEY_LEFT);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER"}));
    EXPECT_EQ(Popup(), Paths({"Cancel", "Select", "Create", "All Del"}));
    Press(KEY_ENTER);
    Press(KEY_LEFT);
    EXPECT_EQ(ActiveScreen(), "menu");

    Open(ACTION_MODE_SOUND);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER/SUB", "/MY_FOLDER/B.WAV"}));
    SelectPath("/MY_FOLDER/B.WAV");
    EXPECT_EQ(Popup(), kSoundPopup);
    Press(KEY_ENTER);
    Open(ACTION_MODE_PHOTO);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER/SUB", "/MY_FOLDER/C.JPG", "/MY_FOLDER/D.jpeg"}));
    SelectPath("/MY_FOLDER/D.jpeg");
    EXPECT_EQ(Popup(), kPhotoPopup);
    Press(KEY_ENTER);

    // The empty playlist: nothing to choose, ENTER opens nothing.
    Press(KEY_F2);
    EXPECT_EQ(g_bPlaylist, 1);
    EXPECT_TRUE(Listing().empty());
    EXPECT_EQ(screen_browse::m_nCursor, -1);
    Press(KEY_ENTER);
    EXPECT_EQ(ActiveScreen(), "browse");
}

TEST_F(BrowseTest, ListAndGridWindowsFollowTheSelection)
{
    for (int i = 0; i < 10; ++i)
        Put("/MY_FOLDER/N" + std::to_string(i) + ".MOV");
    Open(ACTION_MODE_MOVIE);
    auto window = [] { return std::make_pair(screen_browse::m_nScroll, screen_browse::m_nCursor); };

    // List: six rows; the window moves by one and wraps at both ends.
    EXPECT_EQ(window(), std::make_pair(0, 0));
    Press(KEY_DOWN, 7);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N7.MOV");
    EXPECT_EQ(window(), std::make_pair(2, 5));
    Press(KEY_DOWN, 3);
    EXPECT_EQ(window(), std::make_pair(0, 0)) << "from the last entry to the first";
    Press(KEY_UP);
    EXPECT_EQ(window(), std::make_pair(4, 5)) << "from the first entry to the last";
    EXPECT_EQ(screen_browse::m_nScrollRange, 10);
    EXPECT_EQ(screen_browse::m_nScrollPage, 6);

    // A listing loaded with N5 selected shows it as far down as it can.
    screen_browse::m_bThumbnail = 0;
    snprintf(screen_browse::m_szSelFile, sizeof(screen_browse::m_szSelFile), "/MY_FOLDER/N5.MOV");
    screen_browse::SetDispDir(nullptr);
    EXPECT_EQ(window(), std::make_pair(4, 1));

    // The grid keeps the selection: three columns, two rows, by rows.
    Press(KEY_F1);
    EXPECT_EQ(screen_browse::m_bThumbnail, 1);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N5.MOV");
    EXPECT_EQ(window(), std::make_pair(1, 2));
    EXPECT_EQ(screen_browse::m_nScrollRange, 4);
    EXPECT_EQ(screen_browse::m_nScrollPage, 2);
    Press(KEY_RIGHT);
    EXPECT_EQ(window(), std::make_pair(1, 3));
    Press(KEY_RIGHT, 2);
    Press(KEY_RIGHT);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N9.MOV");
    EXPECT_EQ(window(), std::make_pair(2, 3)) << "past the window's last cell a row scrolls in";
    Press(KEY_RIGHT);
    Press(KEY_DOWN);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N9.MOV") << "nothing after the last entry";
    Press(KEY_UP);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N6.MOV");
    Press(KEY_LEFT);
    EXPECT_EQ(window(), std::make_pair(1, 2)) << "before the window's first cell a row scrolls in";
    Press(KEY_UP);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N2.MOV");
    EXPECT_EQ(window(), std::make_pair(0, 2));
    Press(KEY_UP);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N9.MOV") << "from the top row to the bottom";
    EXPECT_EQ(window(), std::make_pair(2, 3));
    Press(KEY_DOWN);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N9.MOV");
    Press(KEY_F1);
    EXPECT_EQ(Selected(), "/MY_FOLDER/N9.MOV");
    EXPECT_EQ(window(), std::make_pair(4, 5));

    // Four entries, the fourth selected: the first row stays in view.
    for (int i = 4; i < 10; ++i)
        ASSERT_EQ(unlink(HostPath("/sdcard/MY_FOLDER/N" + std::to_string(i) + ".MOV").c_str()), 0);
    Press(KEY_F1);
    snprintf(screen_browse::m_szSelFile, sizeof(screen_browse::m_szSelFile), "/MY_FOLDER/N3.MOV");
    screen_browse::SetDispDir(nullptr);
    EXPECT_EQ(window(), std::make_pair(0, 3));
}

// ---- Folders ----------------------------------------------------------------------------

TEST_F(BrowseTest, CreateMakesTheNextFreeFolderUntilFileFull)
{
    char name[64];
    for (int i = 0; i < 9998; ++i) {
        snprintf(name, sizeof(name), "/MY_FOLDER/KST7_%04d/", i);
        Put(name);
    }
    Open(ACTION_MODE_MOVIE, "/");
    ASSERT_EQ(Listing(), Paths({"/MY_FOLDER"}));
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Create"));
        EXPECT_TRUE(yes.Saw("Make Folder?"));
    }
    EXPECT_TRUE(OnCard("/MY_FOLDER/KST7_9998"));
    EXPECT_EQ(std::string(screen_browse::m_szDispDir), "/MY_FOLDER/KST7_9998");
    EXPECT_EQ(CurrentDir(), "/MY_FOLDER/KST7_9998");
    EXPECT_EQ(screen_browse::m_nCursor, -1) << "the new folder is empty";

    Press(KEY_LEFT, 2);
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Create"));
        EXPECT_EQ(yes.Texts().size(), 1u) << "no question: the folder is full";
        EXPECT_TRUE(yes.Saw("File Full"));
    }
    EXPECT_FALSE(OnCard("/MY_FOLDER/KST7_9999"));

    // Every name taken, but files without an extension are not listed.
    for (int i = 5000; i < 9999; ++i) {
        snprintf(name, sizeof(name), "/sdcard/MY_FOLDER/KST7_%04d", i);
        ASSERT_EQ(rmdir(HostPath(name).c_str()), 0);
        Put(name + 7);
    }
    Put("/MY_FOLDER/KST7_9999");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Create"));
        EXPECT_TRUE(yes.Saw("Make Folder?"));
        EXPECT_TRUE(yes.Saw("File Full"));
    }
}

// ---- The playlist --------------------------------------------------------------------------

TEST_F(BrowseTest, PlaylistEntriesAreAddedMovedRestoredAndCleared)
{
    for (const char* file : {"/MY_FOLDER/A.MOV", "/MY_FOLDER/B.MOV", "/MY_FOLDER/C.MOV"})
        Put(file);
    Open(ACTION_MODE_MOVIE);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Choose("Add List"));
        Press(KEY_DOWN);
    }
    const Paths abc = {"/MY_FOLDER/A.MOV", "/MY_FOLDER/B.MOV", "/MY_FOLDER/C.MOV"};
    EXPECT_EQ(PlaylistOnCard(), abc);
    EXPECT_EQ(g_PlaylistCtrl.GetPlaylistCount(), 3);

    Press(KEY_F2);
    EXPECT_EQ(Listing(), abc);
    EXPECT_EQ(Popup(), Paths({"Cancel", "Play", "Info", "Move", "Delete", "All Clr"}));
    Press(KEY_ENTER);

    // A move shown, then cancelled: the stored order comes back.
    SelectPath("/MY_FOLDER/A.MOV");
    ASSERT_TRUE(Choose("Move"));
    Press(KEY_DOWN);
    EXPECT_EQ(Listing(), Paths({"/MY_FOLDER/B.MOV", "/MY_FOLDER/A.MOV", "/MY_FOLDER/C.MOV"}));
    EXPECT_EQ(screen_browse::m_nNewMoveIndex, 1);
    Press(KEY_MENU);
    Press(KEY_F1);
    Press(KEY_F2);
    EXPECT_EQ(ActiveScreen(), "browse") << "MENU, F1 and F2 wait while an entry moves";
    EXPECT_EQ(g_bPlaylist, 1);
    Press(KEY_F3);
    EXPECT_EQ(screen_browse::m_nNewMoveIndex, -1);
    EXPECT_EQ(Listing(), abc);
    EXPECT_EQ(Selected(), "/MY_FOLDER/A.MOV");
    EXPECT_EQ(PlaylistOnCard(), abc);

    // A move committed with ENTER is stored, and the playing list follows it.
    SetParameter("/Play Option/PLAY AREA", 2.0f);
    g_PlaylistCtrl.ScanPlaylist();
    ASSERT_TRUE(Choose("Move"));
    Press(KEY_DOWN, 2);
    Press(KEY_ENTER);
    const Paths bca = {"/MY_FOLDER/B.MOV", "/MY_FOLDER/C.MOV", "/MY_FOLDER/A.MOV"};
    EXPECT_EQ(PlaylistOnCard(), bca);
    EXPECT_EQ(Listing(), bca);
    EXPECT_EQ(Selected(), "/MY_FOLDER/A.MOV");
    char path[256];
    g_PlaylistCtrl.GetFilePath(0, path);
    EXPECT_STREQ(path, "/MY_FOLDER/B.MOV");

    // Deleting in the playlist removes the entry, not the file.
    SelectPath("/MY_FOLDER/C.MOV");
    ASSERT_TRUE(Choose("Delete"));
    EXPECT_EQ(PlaylistOnCard(), Paths({"/MY_FOLDER/B.MOV", "/MY_FOLDER/A.MOV"}));
    EXPECT_TRUE(OnCard("/MY_FOLDER/C.MOV"));
    EXPECT_EQ(Selected(), "/MY_FOLDER/A.MOV") << "the next entry takes the deleted one's place";
    EXPECT_EQ(g_PlaylistCtrl.GetCount(), 2);

    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("All Clr"));
        EXPECT_TRUE(yes.Saw("--- PLAY LIST ALL CLEAR ---"));
    }
    EXPECT_TRUE(PlaylistOnCard().empty());
    EXPECT_EQ(screen_browse::m_nCursor, -1);

    // A full playlist takes no more.
    CPlaylistFile full;
    for (int i = 0; i < PLAYLIST_MAX_ENTRIES; ++i)
        full.Add("/MY_FOLDER/A.MOV");
    ASSERT_EQ(full.Save(HostPath("/sdcard/.PlayList.0").c_str()), 1);
    g_PlaylistCtrl.LoadPlaylist();
    Press(KEY_F2);
    SelectPath("/MY_FOLDER/B.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Add List"));
        EXPECT_TRUE(yes.Saw("PLAYLIST Full"));
    }
    EXPECT_EQ(PlaylistOnCard().size(), static_cast<size_t>(PLAYLIST_MAX_ENTRIES));
}

// ---- Deleting -----------------------------------------------------------------------------

TEST_F(BrowseTest, DeleteAsksAndKeepsThePosition)
{
    for (const char* file : {"/MY_FOLDER/A.MOV", "/MY_FOLDER/B.MOV", "/MY_FOLDER/C.MOV", "/MY_FOLDER/D.MOV"})
        Put(file);
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/B.MOV");
    ASSERT_TRUE(Choose("Add List"));
    SelectPath("/MY_FOLDER/D.MOV");
    {
        BoxAnswerer no(0);
        ASSERT_TRUE(Choose("Delete"));
        EXPECT_EQ(no.Texts(), Paths({"--- FILE DELETE ---\nDelete D.MOV\nAre you sure ?"}));
    }
    EXPECT_TRUE(OnCard("/MY_FOLDER/D.MOV"));
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Delete"));
    }
    EXPECT_FALSE(OnCard("/MY_FOLDER/D.MOV"));
    EXPECT_EQ(Selected(), "/MY_FOLDER/C.MOV") << "the last entry deleted: the one before it";

    // A file of the playlist leaves it; the playing list keeps its file.
    SelectPath("/MY_FOLDER/C.MOV");
    g_PlaylistCtrl.SetCurrentIndex(2);
    ASSERT_EQ(CurrentFile(), "/MY_FOLDER/C.MOV");
    SelectPath("/MY_FOLDER/B.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Delete"));
    }
    EXPECT_FALSE(OnCard("/MY_FOLDER/B.MOV"));
    EXPECT_TRUE(PlaylistOnCard().empty());
    EXPECT_EQ(Selected(), "/MY_FOLDER/C.MOV");
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/C.MOV");
    EXPECT_EQ(g_PlaylistCtrl.GetCount(), 2);

    // A read-only file is protected.
    ASSERT_EQ(chmod(HostPath("/sdcard/MY_FOLDER/A.MOV").c_str(), 0444), 0);
    SelectPath("/MY_FOLDER/A.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Delete"));
        EXPECT_TRUE(yes.Saw("File Protected"));
        EXPECT_FALSE(yes.Saw("--- FILE DELETE ---"));
    }
    EXPECT_TRUE(OnCard("/MY_FOLDER/A.MOV"));
}

TEST_F(BrowseTest, AllDelRemovesExactlyTheModesFilesOfTheFolderWhateverTheirNames)
{
    const std::string folder = "/MY_FOLDER/KST7_0001";
    const Paths hostile = {"my clip.MOV", "a;b.MOV", "$(touch x).MOV", "* .MOV", "it's.MOV", "`touch y`.MOV",
                           "-rf .MOV", "KS0000_0001.mov"};
    for (const std::string& name : hostile)
        Put(folder + "/" + name);
    const Paths kept = {folder + "/keep.WAV", folder + "/sub.MOV/inner.MOV", folder + " x/KS.MOV",
                        "/MY_FOLDER/KEEP.MOV", "/MY_FOLDER/.PlayList.MOV"};
    for (const std::string& path : kept)
        Put(path);
    Open(ACTION_MODE_MOVIE);
    // The playlist holds one file that goes and one that stays.
    SelectPath("/MY_FOLDER/KEEP.MOV");
    ASSERT_TRUE(Choose("Add List"));
    SelectPath(folder);
    Press(KEY_RIGHT);
    SelectPath(folder + "/a;b.MOV");
    ASSERT_TRUE(Choose("Add List"));
    Press(KEY_LEFT);
    ASSERT_EQ(Selected(), folder);

    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("All Del"));
        EXPECT_TRUE(yes.Saw("All Delete?"));
    }
    for (const std::string& name : hostile)
        EXPECT_FALSE(OnCard(folder + "/" + name)) << name;
    for (const std::string& path : kept)
        EXPECT_TRUE(OnCard(path)) << path;
    EXPECT_TRUE(OnCard(folder)) << "the folder itself stays";
    // No name ran as a command anywhere.
    for (const std::string& dir : {BoardRoot(), std::string("."), HostPath("/sdcard/MY_FOLDER"),
                                   HostPath("/sdcard" + folder)})
        for (const char* made : {"/x", "/y"})
            EXPECT_FALSE(FileExists(dir + made)) << dir << made;
    EXPECT_EQ(PlaylistOnCard(), Paths({"/MY_FOLDER/KEEP.MOV"}));
    EXPECT_EQ(Selected(), folder);
}

// ---- Divide and dub ---------------------------------------------------------------------

// A movie with sound as another recorder would write it.
void PutMovie(const std::string& cardPath, const std::string& audio)
{
    std::string host = HostPath("/sdcard" + cardPath);
    std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
                          "sine=frequency=440 -t 0.5 -c:v mpeg4 " + audio + " '" + host + "' < /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST_F(BrowseTest, DivideAndDubCheckNamesSpaceAndCountFirst)
{
    PutMovie("/MY_FOLDER/CLIP.MOV", "-c:a pcm_s24le -ar 48000 -ac 1");
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/CLIP.MOV");

    // The halves would overwrite a file, whatever its case.
    for (const char* taken : {"/MY_FOLDER/CLIP_A.MOV", "/MY_FOLDER/clip_b.mov"}) {
        Put(taken);
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Divide"));
        EXPECT_TRUE(yes.Saw("Dup File Name")) << taken;
        ASSERT_EQ(unlink(HostPath(std::string("/sdcard") + taken).c_str()), 0);
    }
    EXPECT_EQ(g_bDivideMode, 0);

    // Too little room for a copy: 40 MiB free, 12 MiB to copy.
    Put("/MY_FOLDER/BIG.MOV");
    ASSERT_EQ(truncate(HostPath("/sdcard/MY_FOLDER/BIG.MOV").c_str(), 12 << 20), 0);
    vrec::board::CardStore cards(BoardRoot());
    std::string why;
    ASSERT_TRUE(vrec::board::FillCard(cards, cards.Inserted(), 40ull << 20, &why)) << why;
    screen_browse::SetDispDir(nullptr);
    SelectPath("/MY_FOLDER/BIG.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Divide"));
        ASSERT_TRUE(Choose("After Rec"));
        EXPECT_EQ(yes.Texts(), Paths({"\x08" "0\nOut of Card Space\n\n\x07  ENTER  \x07",
                                      "\x08" "0\nCard Full !\n\n\x07  ENTER  \x07"}));
    }
    ASSERT_TRUE(vrec::board::FillCard(cards, cards.Inserted(), 1ull << 30, &why)) << why;

    // A path too long for the halves' names.
    std::string deep = "/MY_FOLDER/" + std::string(200, 'L') + "/" + std::string(39, 'M') + ".MOV";
    ASSERT_EQ(deep.size(), 255u);
    Put(deep);
    Open(ACTION_MODE_MOVIE, deep.substr(0, deep.rfind('/')).c_str());
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Divide"));
        EXPECT_TRUE(yes.Saw("File Name ERR"));
    }

    // A folder near the file limit: one new file fits (the dub), two do not.
    char name[64];
    for (int i = 0; i < 9996; ++i) {
        snprintf(name, sizeof(name), "/MY_FOLDER/MANY/F%04d.MOV", i);
        Put(name, "");
    }
    PutMovie("/MY_FOLDER/MANY/ZZ.MOV", "-c:a pcm_s24le -ar 48000 -ac 1");
    Open(ACTION_MODE_MOVIE, "/MY_FOLDER/MANY");
    ASSERT_EQ(screen_browse::m_nFileCount, 9997);
    Press(KEY_UP);
    ASSERT_EQ(Selected(), "/MY_FOLDER/MANY/ZZ.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Divide"));
        EXPECT_TRUE(yes.Saw("File Full"));
    }
    SetParameter("/REC Quality/SAMPLE RATE", 44100.0f);
    SetParameter("/REC Quality/SOUND FORMAT", 16.0f);
    SetParameter("/Input Setting/INPUT TYPE", 2.0f);
    ASSERT_TRUE(Choose("After Rec"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_EQ(g_bRecorder, 1);
    EXPECT_EQ(g_bAfterRecMode, 1);
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/MANY/ZZ.MOV");
    // The new sound is recorded as the movie's sound is.
    EXPECT_EQ(GetParameter("/REC Quality/SAMPLE RATE", nullptr), 48000.0f);
    EXPECT_EQ(GetParameter("/REC Quality/SOUND FORMAT", nullptr), 24.0f);
    EXPECT_EQ(GetParameter("/Input Setting/INPUT TYPE", nullptr), 1.0f);

    // Divided in the player screen, as the playing list's current file.
    g_bRecorder = 0;
    g_bAfterRecMode = 0;
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/CLIP.MOV");
    ASSERT_TRUE(Choose("Divide"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_EQ(g_bDivideMode, 1);
    EXPECT_EQ(g_bRecorder, 0);
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/CLIP.MOV");
}

// ---- Information and the hand-over to the player -----------------------------------------

TEST_F(BrowseTest, InfoPlaySelectAndHomeHandTheFileToThePlayer)
{
    Put("/MY_FOLDER/A.MOV", std::string(1536, 'a'));
    Put("/MY_FOLDER/B.MOV");
    Put("/MY_FOLDER/SUB/C.MOV");
    struct timeval times[2] = {{1706704440, 0}, {1706704440, 0}};  // 2024-01-31 12:34 UTC
    ASSERT_EQ(utimes(HostPath("/sdcard/MY_FOLDER/A.MOV").c_str(), times), 0);
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/A.MOV");
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Info"));
        EXPECT_EQ(yes.Texts(), Paths({"--- FILE INFORMATION ---\nA.MOV\n2024/01/31 12:34\n1.5K byte"}));
    }

    // Playing the whole tree: the file is in the playing list.
    ASSERT_TRUE(Choose("Play"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_EQ(g_bKeepStop, 0);
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/A.MOV");

    // Playing a folder: the file's own folder becomes the playing list.
    SetParameter("/Play Option/PLAY AREA", 1.0f);
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/SUB");
    Press(KEY_RIGHT);
    ASSERT_TRUE(Choose("Play"));
    EXPECT_EQ(CurrentDir(), "/MY_FOLDER/SUB");
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/SUB/C.MOV");

    // Playing the playlist: a file outside it stands in for the current entry.
    SetParameter("/Play Option/PLAY AREA", 2.0f);
    Open(ACTION_MODE_MOVIE);
    SelectPath("/MY_FOLDER/A.MOV");
    ASSERT_TRUE(Choose("Add List"));
    g_PlaylistCtrl.ScanPlaylist();
    SelectPath("/MY_FOLDER/B.MOV");
    ASSERT_TRUE(Choose("Play"));
    EXPECT_EQ(CurrentFile(), "/MY_FOLDER/B.MOV");
    EXPECT_EQ(g_PlaylistCtrl.GetTempFileIndex(), 0);

    // A playlist entry whose file has gone.
    ASSERT_EQ(unlink(HostPath("/sdcard/MY_FOLDER/A.MOV").c_str()), 0);
    Open(ACTION_MODE_MOVIE);
    Press(KEY_F2);
    {
        BoxAnswerer yes(1);
        ASSERT_TRUE(Choose("Play"));
        ASSERT_TRUE(Choose("Info"));
        EXPECT_EQ(yes.Texts().size(), 2u);
        for (const std::string& text : yes.Texts())
            EXPECT_NE(text.find("File Not Found\nPLAYLIST"), std::string::npos) << text;
    }
    EXPECT_EQ(ActiveScreen(), "browse");

    // "Select" makes the folder the playing list, shown stopped.
    Press(KEY_F2);
    SelectPath("/MY_FOLDER/SUB");
    ASSERT_TRUE(Choose("Select"));
    EXPECT_EQ(ActiveScreen(), "player");
    EXPECT_EQ(GetParameter("/Play Option/PLAY AREA", nullptr), 1.0f);
    EXPECT_EQ(CurrentDir(), "/MY_FOLDER/SUB");

    // (What the player then shows: browse_picture_tests, with real files.)
    Open(ACTION_MODE_MOVIE);
    Press(KEY_F3);
    EXPECT_EQ(ActiveScreen(), "player");
    Open(ACTION_MODE_MOVIE);
    g_bRecorder = 1;
    Press(KEY_MENU);
    EXPECT_EQ(ActiveScreen(), "menu");
    EXPECT_EQ(g_bRecorder, 0);
}

// ---- Drawing --------------------------------------------------------------------------------

TEST_F(BrowseTest, DrawsTheListTheGridAndAnEmptyFolder)
{
    Put("/MY_FOLDER/A.MOV");
    Put("/MY_FOLDER/B.WAV");
    Put("/MY_FOLDER/SUB/");
    Open(ACTION_MODE_MOVIE);
    g_ScreenManager.OnDraw500ms(1);
    vrec::board::RgbImage lcd = Lcd();
    Snap("browse-list");
    // The folder's name by its icon; a row per entry, the selected one dark
    // on the selection bar.
    EXPECT_TRUE(ShowsText(lcd, 52, 27, "MY_FOLDER", g_pFont_a20, GUI_COLOR_WHITE));
    EXPECT_EQ(IconShown(lcd, g_pBmp_dir[0], 27, 29), 1.0);
    EXPECT_TRUE(ShowsText(lcd, 54, 52 + 2, "SUB", g_pFont_a20, GUI_COLOR_WHITE));
    EXPECT_EQ(IconShown(lcd, g_pBmp_type_dir, 27, 52 + 2), 1.0);
    EXPECT_EQ(IconShown(lcd, g_pBmp_mode_movie, 27, 52 + 27 + 2), 1.0);
    const vrec::board::Rgb bar = Shown(g_pBmp_selected->aPixels[10 * g_pBmp_selected->nWidth + 7]);
    auto barRow = [&bar](const vrec::board::RgbImage& shown, int y) { return CountNear(shown, 200, y + 4, 90, 16, bar); };
    auto darkText = [](const vrec::board::RgbImage& shown, int y) {
        return CountNear(shown, 54, y + 2, 60, 20, {0, 0, 0}, 8);
    };
    EXPECT_EQ(barRow(lcd, 52), 0);
    EXPECT_GT(barRow(lcd, 52 + 27), 90 * 16 / 3);
    EXPECT_GT(darkText(lcd, 52 + 27), 15) << "A.MOV in black on the bar";

    // The playlist's rows are numbered.
    ASSERT_TRUE(Choose("Add List"));
    Press(KEY_F2);
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    EXPECT_GT(barRow(lcd, 27), 90 * 16 / 3);
    EXPECT_GT(darkText(lcd, 27), 30) << "[01] A.MOV";

    // The grid: a file without a picture shows its type icon in its cell.
    Press(KEY_F2);
    Press(KEY_F1);
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    Snap("browse-grid");
    const BITMAP* icon = g_pBmp_mode_movie;
    EXPECT_EQ(IconShown(lcd, icon, 6 + 99 + (96 - icon->nWidth) / 2, 52 + (72 - icon->nHeight) / 2), 1.0);
    EXPECT_EQ(IconShown(lcd, g_pBmp_type_dir, 6 + (96 - 24) / 2, 52 + (72 - 22) / 2), 1.0);
    EXPECT_TRUE(ShowsText(lcd, 4, 28, "A.MOV", g_pFont_a16, GUI_COLOR_WHITE)) << "the selected entry's name on top";

    // An empty folder says so.
    Press(KEY_F1);
    Press(KEY_UP);
    Press(KEY_RIGHT);
    ASSERT_EQ(std::string(screen_browse::m_szDispDir), "/MY_FOLDER/SUB");
    g_ScreenManager.OnDraw500ms(1);
    lcd = Lcd();
    int w = 0, h = 0;
    GRA_CalcStringS(&w, &h, "No File", g_pFont_a20, nullptr);
    EXPECT_TRUE(ShowsText(lcd, (320 - w) / 2, 100, "No File", g_pFont_a20, GUI_COLOR_WHITE));
}

}  // namespace
