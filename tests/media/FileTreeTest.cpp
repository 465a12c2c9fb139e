// The file tree and the playlists on real board folders: sorting, filters,
// hidden files, the 9999-entry limits, the recursive play order, the
// temporary file, and the playlist files byte for byte.
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/FileTree.h"
#include "Media/PlaylistCtrl.h"
#include "Media/PlaylistFile.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vrec::test;

namespace {

class FileTreeTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        SetActionMode(ACTION_MODE_MOVIE);
        SetParameter("/Play Option/PLAY AREA", 0.0f);
    }

    void Folder(const std::string& path) { ASSERT_EQ(mkdir(HostPath("/sdcard" + path).c_str(), 0777), 0) << path; }
    void File(const std::string& path, const std::string& text = "x")
    {
        ASSERT_TRUE(WriteFile(HostPath("/sdcard" + path), text)) << path;
    }
    // Many empty files, made quickly.
    void Files(const std::string& folder, const char* pattern, int count)
    {
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof(name), pattern, i);
            int fd = open(HostPath("/sdcard" + folder + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            close(fd);
        }
    }

    static std::vector<std::string> Paths(CFileTree& tree)
    {
        std::vector<std::string> paths;
        char path[256];
        for (int i = 0; i < tree.GetTotalCount(); ++i) {
            tree.GetFilePath(i, path);
            paths.push_back(std::string(path) + (tree.IsDir(i) ? "/" : ""));
        }
        return paths;
    }

    static std::vector<std::string> Order(CPlaylistCtrl& list)
    {
        std::vector<std::string> paths;
        char path[256];
        for (int i = 0; i < list.GetCount(); ++i) {
            list.GetFilePath(i, path);
            paths.push_back(path);
        }
        return paths;
    }

    // The layout of a playlist file, made here from its description.
    static std::string Image(const std::vector<std::string>& entries)
    {
        std::string image(25348, '\0');
        uint32_t n = static_cast<uint32_t>(entries.size());
        for (int b = 0; b < 4; ++b)
            image[b] = static_cast<char>(n >> (8 * b));
        for (size_t i = 0; i < entries.size(); ++i)
            image.replace(4 + 256 * i, entries[i].size(), entries[i]);
        return image;
    }

    std::unique_ptr<CFileTree> tree = std::make_unique<CFileTree>();
    std::unique_ptr<CPlaylistCtrl> list = std::make_unique<CPlaylistCtrl>();
};

TEST_F(FileTreeTest, FoldersFirstThenByteOrderWithFiltersAndHiddenFiles)
{
    Folder("/MY_FOLDER/Z");
    Folder("/MY_FOLDER/a_dir");
    Folder("/MY_FOLDER/.hidden_dir");
    for (const char* name : {"A_9.MOV", "A_10.MOV", "b.mov", "c.wav", "d.JPG", "e.jpeg", ".hidden.MOV", "noext",
                             "x.MOV.tmp", "y.MoV"})
        File(std::string("/MY_FOLDER/") + name);

    tagFilterExt movies;
    FILTER_Set(&movies, "MOV");
    EXPECT_EQ(tree->ScanDir("/MY_FOLDER", &movies, 1), 6);
    EXPECT_EQ(Paths(*tree), (std::vector<std::string>{"/MY_FOLDER/Z/", "/MY_FOLDER/a_dir/", "/MY_FOLDER/A_10.MOV",
                                                      "/MY_FOLDER/A_9.MOV", "/MY_FOLDER/b.mov", "/MY_FOLDER/y.MoV"}));
    EXPECT_EQ(tree->GetDirCount(), 2);
    EXPECT_EQ(tree->GetFileCount(), 4);

    tagFilterExt photos;
    FILTER_Set(&photos, "JPG", "JPEG");
    tree->ScanDir("/MY_FOLDER", &photos, 0);
    EXPECT_EQ(Paths(*tree), (std::vector<std::string>{"/MY_FOLDER/d.JPG", "/MY_FOLDER/e.jpeg"}));

    // No filter: every file that is not hidden; an empty filter: none.
    tree->ScanDir("/MY_FOLDER", nullptr, 0);
    EXPECT_EQ(tree->GetTotalCount(), 9);
    tagFilterExt none;
    std::memset(&none, 0, sizeof(none));
    tree->ScanDir("/MY_FOLDER", &none, 1);
    EXPECT_EQ(Paths(*tree), (std::vector<std::string>{"/MY_FOLDER/Z/", "/MY_FOLDER/a_dir/"}));

    // The root: one slash; the one entry named; a folder that is not there.
    tree->ScanDir("/", nullptr, 1);
    EXPECT_EQ(Paths(*tree), (std::vector<std::string>{"/MY_FOLDER/", "/UTILITY/"}));
    EXPECT_EQ(tree->ScanDirOnly("/", "MY_FOLDER"), 1);
    EXPECT_EQ(Paths(*tree), (std::vector<std::string>{"/MY_FOLDER/"}));
    EXPECT_EQ(tree->ScanDirOnly("/MY_FOLDER", "b.mov"), 1);
    EXPECT_EQ(tree->ScanDirOnly("/", "NOTHING"), 0);
    EXPECT_EQ(tree->ScanDir("/NOT_THERE", nullptr, 1), 0);

    // Indexes outside the tree.
    tree->ScanDir("/MY_FOLDER", &movies, 1);
    char path[256] = "unchanged";
    for (int bad : {-1, 6, 9999}) {
        tree->GetFilePath(bad, path);
        EXPECT_STREQ(path, "") << bad;
        EXPECT_EQ(tree->IsDir(bad), 0) << bad;
    }
}

TEST_F(FileTreeTest, TreeAndPlayOrderHoldAtMost9999Entries)
{
    Folder("/MY_FOLDER/BIG");
    Files("/MY_FOLDER/BIG", "K_%05d.MOV", 10050);
    tagFilterExt movies;
    FILTER_Set(&movies, "MOV");
    EXPECT_EQ(tree->ScanDir("/MY_FOLDER/BIG", &movies, 0), 9999);
    std::vector<std::string> paths = Paths(*tree);
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end()));
    EXPECT_TRUE(std::adjacent_find(paths.begin(), paths.end()) == paths.end());

    // The play order walks the whole tree and stops at the same limit.
    File("/MY_FOLDER/first.MOV");
    list->Init("/MY_FOLDER");
    EXPECT_EQ(list->GetCount(), 9999);
    char path[256];
    list->GetFilePath(0, path);
    EXPECT_STREQ(path, "/MY_FOLDER/first.MOV");
    EXPECT_FALSE(list->CheckValidIndex(9999));
    EXPECT_TRUE(list->CheckValidIndex(9998));
}

TEST_F(FileTreeTest, PlayOrderByAreaAndActionMode)
{
    Folder("/MY_FOLDER/SUB");
    Folder("/MY_FOLDER/SUB/DEEP");
    Folder("/MY_FOLDER/A2");
    for (const char* name : {"/MY_FOLDER/c.MOV", "/MY_FOLDER/a.MOV", "/MY_FOLDER/SUB/b.MOV", "/MY_FOLDER/SUB/DEEP/d.MOV",
                             "/MY_FOLDER/A2/e.MOV", "/MY_FOLDER/SUB/s.WAV", "/MY_FOLDER/p.JPG", "/MY_FOLDER/q.JPEG",
                             "/top.MOV"})
        File(name);

    // The whole tree: a folder's own files, then each subfolder in order.
    list->Init("/MY_FOLDER/SUB");
    EXPECT_EQ(Order(*list), (std::vector<std::string>{"/MY_FOLDER/a.MOV", "/MY_FOLDER/c.MOV", "/MY_FOLDER/A2/e.MOV",
                                                      "/MY_FOLDER/SUB/b.MOV", "/MY_FOLDER/SUB/DEEP/d.MOV"}));
    char text[256];
    GetParameter("/LOCAL/CurrentDir", text);
    EXPECT_STREQ(text, "/MY_FOLDER/SUB");

    // The current folder only: its subfolders stay out.
    SetParameter("/Play Option/PLAY AREA", 1.0f);
    list->ScanPlaylist();
    EXPECT_EQ(Order(*list), (std::vector<std::string>{"/MY_FOLDER/SUB/b.MOV"}));

    // Other modes, other files.
    SetParameter("/Play Option/PLAY AREA", 0.0f);
    SetActionMode(ACTION_MODE_SOUND);
    list->ScanPlaylist();
    EXPECT_EQ(Order(*list), (std::vector<std::string>{"/MY_FOLDER/SUB/s.WAV"}));
    SetActionMode(ACTION_MODE_PHOTO);
    list->ScanPlaylist();
    EXPECT_EQ(Order(*list), (std::vector<std::string>{"/MY_FOLDER/p.JPG", "/MY_FOLDER/q.JPEG"}));

    // The user's playlist, in its own order, missing files included.
    SetActionMode(ACTION_MODE_MOVIE);
    list->LoadPlaylist();
    for (const char* path : {"/MY_FOLDER/SUB/b.MOV", "/MY_FOLDER/gone.MOV", "/MY_FOLDER/a.MOV"})
        EXPECT_EQ(list->AddPlaylist(path), 1);
    SetParameter("/Play Option/PLAY AREA", 2.0f);
    list->ScanPlaylist();
    EXPECT_EQ(Order(*list), (std::vector<std::string>{"/MY_FOLDER/SUB/b.MOV", "/MY_FOLDER/gone.MOV", "/MY_FOLDER/a.MOV"}));

    // Index, names and search.
    list->SetCurrentIndex(2);
    list->SetCurrentIndex(5);  // not there: ignored
    EXPECT_EQ(list->GetCurrentIndex(), 2);
    list->GetCurrentFileName(text);
    EXPECT_STREQ(text, "a.MOV");
    list->GetFileDir(0, text);
    EXPECT_STREQ(text, "/MY_FOLDER/SUB");
    list->GetFileExt(0, text);
    EXPECT_STREQ(text, "MOV");
    EXPECT_EQ(list->SearchIndex("/MY_FOLDER/gone.MOV"), 1);
    EXPECT_EQ(list->SearchIndex("/MY_FOLDER/c.MOV"), -1);
    list->GetFilePath(3, text);
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(list->GetFilePathPointer(-1), "");

    // An empty folder is "/MY_FOLDER"; the next file name is there.
    EXPECT_EQ(list->SetCurrentDir(""), 1);
    list->GetCurrentDir(text);
    EXPECT_STREQ(text, "/MY_FOLDER");
}

TEST_F(FileTreeTest, TemporaryFileStandsInForItsIndex)
{
    File("/MY_FOLDER/a.MOV");
    File("/MY_FOLDER/b.MOV");
    File("/MY_FOLDER/c.MOV");
    list->Init("/MY_FOLDER");
    char text[256];
    list->SetTempFile(1, "/ELSEWHERE/t.MOV");
    list->GetFilePath(1, text);
    EXPECT_STREQ(text, "/ELSEWHERE/t.MOV");
    list->GetFileDir(1, text);
    EXPECT_STREQ(text, "/ELSEWHERE");
    EXPECT_EQ(list->SearchIndex("/ELSEWHERE/t.MOV"), 1);
    EXPECT_EQ(list->SearchIndex("/MY_FOLDER/b.MOV"), -1);
    list->ClearTempFile();
    EXPECT_EQ(list->GetTempFileIndex(), -1);
    list->GetFilePath(1, text);
    EXPECT_STREQ(text, "/MY_FOLDER/b.MOV");

    // An empty order with a temporary file counts one.
    SetParameter("/Play Option/PLAY AREA", 1.0f);
    list->SetCurrentDir("/UTILITY");
    list->ScanPlaylist();
    EXPECT_EQ(list->GetCount(), 0);
    list->SetTempFile(0, "/MY_FOLDER/c.MOV");
    EXPECT_EQ(list->GetCount(), 1);
    EXPECT_TRUE(list->CheckValidIndex(0));
    list->GetCurrentFilePath(text);
    EXPECT_STREQ(text, "/MY_FOLDER/c.MOV");
    // A rescan forgets it.
    list->ScanPlaylist();
    EXPECT_EQ(list->GetCount(), 0);
}

TEST_F(FileTreeTest, PlaylistFileHasTheLayoutByteForByte)
{
    CPlaylistFile playlist;
    for (const char* path : {"/MY_FOLDER/a.MOV", "/MY_FOLDER/b.MOV", "/MY_FOLDER/a.MOV", "/MY_FOLDER/c.MOV",
                             "/MY_FOLDER/a.MOV"})
        ASSERT_EQ(playlist.Add(path), 1);
    // Every copy of a path goes.
    EXPECT_EQ(playlist.Delete("/MY_FOLDER/a.MOV"), -1);
    EXPECT_EQ(playlist.GetCount(), 2);
    playlist.Delete(7);  // not there: ignored
    ASSERT_EQ(playlist.Save("/sdcard/.PlayList.0"), 1);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/.PlayList.0")), Image({"/MY_FOLDER/b.MOV", "/MY_FOLDER/c.MOV"}));

    CPlaylistFile back;
    ASSERT_EQ(back.Load("/sdcard/.PlayList.0"), 1);
    char path[256];
    back.GetFilePath(1, path);
    EXPECT_STREQ(path, "/MY_FOLDER/c.MOV");
    back.Delete(0);
    EXPECT_EQ(back.SearchIndex("/MY_FOLDER/c.MOV"), 0);
    ASSERT_EQ(back.Save("/sdcard/.PlayList.0"), 1);
    // The freed slot is zero again.
    EXPECT_EQ(ReadFile(HostPath("/sdcard/.PlayList.0")), Image({"/MY_FOLDER/c.MOV"}));

    // Ninety-nine at most.
    CPlaylistFile full;
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(full.Add(("/MY_FOLDER/f" + std::to_string(i) + ".MOV").c_str()), 1);
    EXPECT_EQ(full.Add("/MY_FOLDER/one-more.MOV"), 0);
    back.Copy(full);
    EXPECT_EQ(back.GetCount(), 99);

    // Each mode its own file.
    std::unique_ptr<CPlaylistCtrl> ctrl = std::make_unique<CPlaylistCtrl>();
    SetActionMode(ACTION_MODE_SOUND);
    ctrl->LoadPlaylist();
    EXPECT_EQ(ctrl->GetPlaylistCount(), 0);
    ctrl->AddPlaylist("/MY_FOLDER/s.WAV");
    EXPECT_EQ(ctrl->SavePlaylist(), 1);
    EXPECT_EQ(ReadFile(HostPath("/sdcard/.PlayList.1")), Image({"/MY_FOLDER/s.WAV"}));
    SetActionMode(ACTION_MODE_MOVIE);
    ctrl->LoadPlaylist();
    EXPECT_EQ(ctrl->GetPlaylistCount(), 1);
    ctrl->DeletePlaylist("/MY_FOLDER/c.MOV");
    EXPECT_EQ(ctrl->GetPlaylistCount(), 0);
}

TEST_F(FileTreeTest, DamagedPlaylistFilesAreRefusedAndNothingElseIsLost)
{
    const std::string good = Image({"/MY_FOLDER/a.MOV"});
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/.PlayList.1"), Image({"/MY_FOLDER/s.WAV"})));
    std::string garbageCount = good;
    garbageCount[0] = static_cast<char>(200);
    std::string noEnd = good;
    noEnd.replace(4, 256, std::string(256, 'A'));
    std::string dirtySlot = good;
    dirtySlot[4 + 256 * 5 + 17] = 'x';
    std::string notAPath = Image({"MY_FOLDER/a.MOV"});
    const struct
    {
        const char* what;
        std::string bytes;
        const char* message;
    } kBad[] = {
        {"truncated", good.substr(0, good.size() - 1), "file too short"},
        {"oversized", good + "!", "file too long"},
        {"count", garbageCount, "count out of range"},
        {"unended entry", noEnd, "entry without end"},
        {"dirty slot", dirtySlot, "garbage in an unused slot"},
        {"not a path", notAPath, "entry that is no card path"},
        {"empty", "", "file too short"},
    };
    for (const auto& bad : kBad) {
        SCOPED_TRACE(bad.what);
        ASSERT_TRUE(WriteFile(HostPath("/sdcard/.PlayList.0"), bad.bytes));
        CPlaylistFile playlist;
        ASSERT_EQ(playlist.Add("/MY_FOLDER/kept-before.MOV"), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(playlist.Load("/sdcard/.PlayList.0"), 0);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("playlist /sdcard/.PlayList.0 refused: "), std::string::npos) << err;
        EXPECT_NE(err.find(bad.message), std::string::npos) << err;
        EXPECT_EQ(playlist.GetCount(), 0);
        // The damaged file stays as it was; the other mode's list still loads.
        EXPECT_EQ(ReadFile(HostPath("/sdcard/.PlayList.0")), bad.bytes);
        CPlaylistFile sound;
        EXPECT_EQ(sound.Load("/sdcard/.PlayList.1"), 1);
        EXPECT_EQ(sound.GetCount(), 1);
    }
    // A missing file is an empty list without complaint.
    CPlaylistFile none;
    testing::internal::CaptureStderr();
    EXPECT_EQ(none.Load("/sdcard/.PlayList.2"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
