#include "tests/browse/BrowseSupport.h"

#include "DrvLib/Key.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/PlaylistCtrl.h"
#include "Media/PlaylistFile.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/GUI/ScreenBrowse.h"
#include "Middleware/GUI/ScreenManager.h"
#include "Middleware/GUI/ScreenMenu.h"
#include "Middleware/GUI/ScreenPopup.h"
#include "player/Player.h"
#include "tests/support/BoardTest.h"
#include "tests/support/Files.h"

#include <cstring>
#include <sys/stat.h>

namespace vrec::test {

void BrowseTest::TearDown()
{
    PL_Stop(STOP_BY_SYSTEM);
    PL_Close();
    GuiTest::TearDown();
}

void BrowseTest::SetUp()
{
    GuiTest::SetUp();
    g_bRecorder = 0;
    g_bPlaylist = 0;
    g_bDivideMode = 0;
    g_bAfterRecMode = 0;
    g_bKeepStop = 0;
    SetParameter("/Play Option/PLAY AREA", 0.0f);
    screen_browse::m_bThumbnail = 0;
}

static void MakeFolders(const std::string& hostPath)
{
    for (size_t slash = hostPath.find('/', 1); slash != std::string::npos; slash = hostPath.find('/', slash + 1))
        mkdir(hostPath.substr(0, slash).c_str(), 0777);
}

void BrowseTest::Put(const std::string& cardPath, const std::string& content)
{
    std::string host = HostPath("/sdcard" + cardPath);
    MakeFolders(host);
    if (host.back() == '/')
        return;
    ASSERT_TRUE(WriteFile(host, content)) << host;
}

bool BrowseTest::OnCard(const std::string& cardPath)
{
    struct stat st;
    return lstat(HostPath("/sdcard" + cardPath).c_str(), &st) == 0;
}

void BrowseTest::Open(int mode, const char* folder)
{
    SetActionMode(mode);
    g_PlaylistCtrl.Init(folder);
    g_ScreenManager.SetActive("browse", 1);
}

int BrowseTest::Press(unsigned long mask, int times)
{
    int result = 0;
    for (int i = 0; i < times; ++i)
        result = g_ScreenManager.OnButtonPress(mask);
    return result;
}

std::vector<std::string> BrowseTest::Listing()
{
    std::vector<std::string> paths;
    char path[256];
    for (int i = 0; i < screen_browse::m_nFileCount; ++i) {
        screen_browse::GetFilePath(i, path);
        paths.emplace_back(path);
    }
    return paths;
}

std::string BrowseTest::Selected()
{
    char path[256];
    screen_browse::GetFilePath(screen_browse::GetSelIndex(), path);
    return path;
}

bool BrowseTest::SelectPath(const std::string& path)
{
    std::vector<std::string> paths = Listing();
    for (size_t i = 0; i < paths.size(); ++i) {
        if (paths[i] != path)
            continue;
        // By the keys, as a person does.
        for (size_t n = 0; n < paths.size() && Selected() != path; ++n)
            Press(KEY_DOWN);
        return Selected() == path;
    }
    return false;
}

std::vector<std::string> BrowseTest::Popup()
{
    std::vector<std::string> items;
    Press(KEY_ENTER);
    if (ActiveScreen() != "popup")
        return items;
    for (int i = 0; i < screen_popup::m_nItems; ++i)
        items.emplace_back(screen_popup::m_aItems[i]);
    return items;
}

bool BrowseTest::Choose(const std::string& item)
{
    std::vector<std::string> items = Popup();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] != item)
            continue;
        Press(KEY_DOWN, static_cast<int>(i));
        Press(KEY_ENTER);
        return true;
    }
    if (ActiveScreen() == "popup")
        Press(KEY_ENTER);  // "Cancel"
    return false;
}

std::vector<std::string> BrowseTest::PlaylistOnCard(int mode)
{
    CPlaylistFile file;
    file.Load(HostPath("/sdcard/.PlayList." + std::to_string(mode)).c_str());
    std::vector<std::string> paths;
    char path[256];
    for (int i = 0; i < file.GetCount(); ++i) {
        file.GetFilePath(i, path);
        paths.emplace_back(path);
    }
    return paths;
}

double BrowseTest::IconShown(const vrec::board::RgbImage& lcd, const BITMAP* icon, int x, int y)
{
    int opaque = 0, shown = 0;
    for (int j = 0; j < icon->nHeight; ++j)
        for (int i = 0; i < icon->nWidth; ++i) {
            uint16_t p = icon->aPixels[j * icon->nWidth + i];
            if (p == GRA_TRANSPARENT)
                continue;
            ++opaque;
            shown += Same(At(lcd, x + i, y + j), Shown(p));
        }
    return opaque ? static_cast<double>(shown) / opaque : 0;
}

}  // namespace vrec::test
