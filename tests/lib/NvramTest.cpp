// Settings store: file format, comment entries, local/global split, saves.
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "tests/support/BoardTest.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <sstream>

using namespace vrec::test;

namespace {

class NvramTest : public BoardTest
{
protected:
    std::string GlobalFile() { return HostPath(NVRAM_GLOBAL_FILE); }
    std::string LocalFile() { return HostPath(NVRAM_LOCAL_FILE); }

    void LoadWith(const std::string& global, const std::string& local)
    {
        ASSERT_TRUE(WriteFile(GlobalFile(), global));
        ASSERT_TRUE(WriteFile(LocalFile(), local));
        MENU_ResetDefaults();
        NVRAM_Load();
    }

    // A store file as a load completes it: the text, then every setting of
    // the default file whose key the text lacks.
    static std::string Healed(const std::string& text, const char* defaultFile)
    {
        std::string result = text;
        std::istringstream defaults(ReadFile(defaultFile));
        std::string line;
        while (std::getline(defaults, line)) {
            size_t eq = line.find('=');
            if (line.empty() || line[0] == '#' || eq == std::string::npos)
                continue;
            const std::string key = line.substr(0, eq + 1);
            if (text.compare(0, key.size(), key) != 0 && text.find("\n" + key) == std::string::npos)
                result += line + "\n";
        }
        return result;
    }
    static std::string HealedGlobal(const std::string& text) { return Healed(text, NVRAM_GLOBAL_DEFAULT); }
    static std::string HealedLocal(const std::string& text) { return Healed(text, NVRAM_LOCAL_DEFAULT); }
    // Entries a load adds to a global store that lacks every default.
    static int GlobalDefaults() { return CountLines(HealedGlobal("")); }
    static int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

    std::string Get(const char* key)
    {
        char text[NVRAM_TEXT_SIZE];
        NVRAM_Get(key, text);
        return text;
    }
};

TEST_F(NvramTest, CommentsAndEmptyLinesStayInPlaceAcrossSaves)
{
    LoadWith("# first\n/A/x=1\n\n# middle\n/A/y=two\n", "/LOCAL/CurrentDir=/MY_FOLDER\n");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(NVRAM_GlobalSave(), 1);
        NVRAM_Load();
    }
    EXPECT_EQ(ReadFile(GlobalFile()), HealedGlobal("# first\n/A/x=1\n\n# middle\n/A/y=two\n"));
}

TEST_F(NvramTest, KeyEndsAtTheFirstEqualsSign)
{
    LoadWith("/A/formula=a=b=c\n", "");
    EXPECT_EQ(Get("/A/formula"), "a=b=c");
    EXPECT_EQ(Get("/A/formula=a"), "");
}

TEST_F(NvramTest, CrLfIsReadAndLfIsWritten)
{
    LoadWith("/A/x=12\r\n# note\r\n/A/y=text\r\n", "");
    EXPECT_FLOAT_EQ(NVRAM_Get("/A/x", nullptr), 12.0f);
    EXPECT_EQ(Get("/A/y"), "text");
    NVRAM_GlobalSave();
    EXPECT_EQ(ReadFile(GlobalFile()), HealedGlobal("/A/x=12\n# note\n/A/y=text\n"));
}

TEST_F(NvramTest, LinesThatAreNotSettingsAreComments)
{
    // Blank or control first character, or no "=": kept verbatim.
    LoadWith(" /A/indented=1\n\t/A/tab=1\nno equals sign\n\x01/A/ctl=1\n/A/real=5\n", "");
    EXPECT_EQ(Get("/A/indented"), "");
    EXPECT_EQ(Get(" /A/indented"), "");
    EXPECT_EQ(Get("/A/real"), "5");
    EXPECT_EQ(NVRAM_GetCount(), 5 + GlobalDefaults() + 2);
    NVRAM_GlobalSave();
    EXPECT_EQ(ReadFile(GlobalFile()),
              HealedGlobal(" /A/indented=1\n\t/A/tab=1\nno equals sign\n\x01/A/ctl=1\n/A/real=5\n"));
}

TEST_F(NvramTest, NumbersAndTextsReadBack)
{
    LoadWith("/A/word=WORD\n/A/num=-2.5\n", "");
    char text[NVRAM_TEXT_SIZE];
    EXPECT_EQ(NVRAM_Get("/A/word", text), 0.0f);
    EXPECT_STREQ(text, "WORD");
    EXPECT_FLOAT_EQ(NVRAM_Get("/A/num", nullptr), -2.5f);
    EXPECT_EQ(NVRAM_Get("/A/missing", text), 0.0f);
    EXPECT_STREQ(text, "");
}

TEST_F(NvramTest, SaveSplitsLocalAndGlobalKeys)
{
    LoadWith("/A/g=1\n", "/LOCAL/CurrentDir=/X\n");
    NVRAM_Set("/LOCAL/LastFile", "KS0000_0001.wav", 0);
    NVRAM_Set("/A/h", "2", 0);
    NVRAM_GlobalSave();
    NVRAM_LocalSave();
    EXPECT_EQ(ReadFile(GlobalFile()), HealedGlobal("/A/g=1\n") + "/A/h=2\n");
    EXPECT_EQ(ReadFile(LocalFile()), "/LOCAL/CurrentDir=/X\n/LOCAL/LastFile=KS0000_0001.wav\n");
}

TEST_F(NvramTest, CommentsOfTheLocalStoreMoveToTheGlobalStore)
{
    LoadWith("/A/g=1\n", "# card notes\n/LOCAL/CurrentDir=/X\n");
    NVRAM_GlobalSave();
    NVRAM_LocalSave();
    EXPECT_EQ(ReadFile(GlobalFile()), HealedGlobal("/A/g=1\n") + "# card notes\n");
    EXPECT_EQ(ReadFile(LocalFile()), HealedLocal("/LOCAL/CurrentDir=/X\n"));
}

TEST_F(NvramTest, LocalKeyIsSavedAtOnceOnlyWhenItChanges)
{
    LoadWith("", "/LOCAL/LastFile=a.wav\n");
    // Mark the file so that a rewrite would show.
    WriteFile(LocalFile(), "/LOCAL/LastFile=a.wav\n# untouched\n");
    NVRAM_Set("/LOCAL/LastFile", "a.wav", 1);
    EXPECT_EQ(ReadFile(LocalFile()), "/LOCAL/LastFile=a.wav\n# untouched\n");
    NVRAM_Set("/LOCAL/LastFile", "b.wav", 1);
    EXPECT_EQ(ReadFile(LocalFile()), HealedLocal("/LOCAL/LastFile=b.wav\n"));
}

TEST_F(NvramTest, GlobalKeyWaitsForTheNextGlobalSave)
{
    LoadWith(HealedGlobal(""), "");
    NVRAM_Set("/Setup/AUTO OFF", "5", 1);
    EXPECT_EQ(ReadFile(GlobalFile()), HealedGlobal(""));
    NVRAM_GlobalSave();
    EXPECT_NE(ReadFile(GlobalFile()).find("/Setup/AUTO OFF=5\n"), std::string::npos);
    EXPECT_EQ(ReadFile(GlobalFile()).find("/Setup/AUTO OFF=30\n"), std::string::npos);
}

TEST_F(NvramTest, MissingStoresComeFromTheDefaults)
{
    unlink(GlobalFile().c_str());
    unlink(LocalFile().c_str());
    NVRAM_Load();
    EXPECT_EQ(ReadFile(GlobalFile()), ReadFile("./NVRAM_G.txt"));
    EXPECT_EQ(ReadFile(LocalFile()), ReadFile("./NVRAM_L.txt"));
    EXPECT_EQ(Get("/LOCAL/CurrentDir"), "/MY_FOLDER");
    EXPECT_EQ(Get("/Setup/FILE NAME/WORD"), "KS0000");
}

TEST_F(NvramTest, StoreThatCannotBeCreatedContributesNothing)
{
    // No card mounted: the local store and its default copy both fail.
    unlink(GlobalFile().c_str());
    ASSERT_EQ(system(("rm -rf " + HostPath("/media/mmcblk0p1")).c_str()), 0);
    NVRAM_Load();
    EXPECT_EQ(NVRAM_IsInitialized(), 1);
    EXPECT_EQ(Get("/LOCAL/CurrentDir"), "");
    EXPECT_EQ(Get("/GLOBAL/LastMode"), "0");
}

TEST_F(NvramTest, SetBeforeLoadingIsIgnored)
{
    // During a load the menu tree gets the values, the table does not get them twice.
    LoadWith(HealedGlobal("/Setup/AUTO OFF=5\n"), HealedLocal(""));
    EXPECT_EQ(NVRAM_GetCount(), GlobalDefaults() + 2);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/AUTO OFF", nullptr), 5.0f);
}

TEST_F(NvramTest, OverlongLinesKeysAndValuesAreLeftOutAlone)
{
    std::string longValue(200, 'v');
    std::string longKey = "/A/" + std::string(200, 'k');
    std::string hugeLine = "/A/huge=" + std::string(3000, 'h');
    std::string longComment = "#" + std::string(300, 'c');
    LoadWith("/A/before=1\n/A/long=" + longValue + "\n" + longKey + "=1\n" + hugeLine + "\n" + longComment +
                 "\n/A/after=2\n",
             "");
    EXPECT_EQ(Get("/A/before"), "1");
    EXPECT_EQ(Get("/A/after"), "2");
    EXPECT_EQ(Get("/A/long"), "");
    EXPECT_EQ(Get("/A/huge"), "");
    // The tail of the overlong line did not become a setting of its own.
    EXPECT_EQ(NVRAM_GetCount(), 3 + GlobalDefaults() + 2);
    // Setting an overlong value is refused and keeps the old one.
    NVRAM_Set("/A/before", longValue.c_str(), 0);
    EXPECT_EQ(Get("/A/before"), "1");
}

TEST_F(NvramTest, MoreSettingsThanEntriesNeverOverflowTheTable)
{
    std::string global;
    for (int i = 0; i < NVRAM_MAX_ENTRIES + 20; ++i)
        global += "/A/k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    LoadWith(global, "");
    EXPECT_EQ(NVRAM_GetCount(), NVRAM_MAX_ENTRIES);
    EXPECT_EQ(Get("/A/k0"), "0");
    EXPECT_EQ(Get("/A/k63"), "63");
    EXPECT_EQ(Get("/A/k64"), "");
    NVRAM_Set("/A/new", "1", 0);
    EXPECT_EQ(Get("/A/new"), "");
    EXPECT_EQ(NVRAM_GetCount(), NVRAM_MAX_ENTRIES);
}

TEST_F(NvramTest, MissingSettingsComeBackFromTheDefaultsWithOneLineEach)
{
    // A global store that lost two lines keeps its own values, and a card
    // whose store was emptied, then saved, gets its keys back.
    std::string global = HealedGlobal("/Setup/AUTO OFF=5\n");
    for (const char* lost : {"/Setup/DIMMER=4\n", "/REC Quality/SAMPLE RATE=44100\n"}) {
        size_t at = global.find(lost);
        ASSERT_NE(at, std::string::npos) << lost;
        global.erase(at, strlen(lost));
    }
    WriteFile(GlobalFile(), global);
    WriteFile(LocalFile(), "");
    MENU_ResetDefaults();
    SetParameter("/Setup/DIMMER", 2.0f);  // what the tree held before the load
    ::testing::internal::CaptureStderr();
    NVRAM_Load();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors,
              "NVRAM: /mnt/mtd5/NVRAM.txt lacked 2 settings, restored from ./NVRAM_G.txt: "
              "/REC Quality/SAMPLE RATE, /Setup/DIMMER\n"
              "NVRAM: /sdcard/.NVRAM.txt lacked 2 settings, restored from ./NVRAM_L.txt: /LOCAL/CurrentDir, "
              "/LOCAL/LastFile\n");
    EXPECT_EQ(Get("/Setup/AUTO OFF"), "5");
    EXPECT_EQ(Get("/Setup/DIMMER"), "4");
    EXPECT_FLOAT_EQ(GetParameter("/Setup/DIMMER", nullptr), 4.0f);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/AUTO OFF", nullptr), 5.0f);
    EXPECT_FLOAT_EQ(GetParameter("/REC Quality/SAMPLE RATE", nullptr), 44100.0f);
    EXPECT_EQ(Get("/LOCAL/CurrentDir"), "/MY_FOLDER");

    // Saved, the stores are whole again and the next load says nothing.
    NVRAM_GlobalSave();
    NVRAM_LocalSave();
    EXPECT_EQ(ReadFile(LocalFile()), ReadFile(NVRAM_LOCAL_DEFAULT));
    EXPECT_EQ(CountLines(ReadFile(GlobalFile())), GlobalDefaults());
    ::testing::internal::CaptureStderr();
    NVRAM_Load();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Get("/Setup/AUTO OFF"), "5");
}

TEST_F(NvramTest, DamagedStoresAreKeptAsideAndReplacedByTheDefaults)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    garbage += "\n/Setup/AUTO OFF=5\n";
    const std::string erasedFlash(2048, '\xff');
    for (const std::string& damaged : {garbage, erasedFlash, std::string("/Setup/AUTO OFF=5\n\0\n", 20)}) {
        SCOPED_TRACE(damaged.size());
        ::testing::internal::CaptureStderr();
        LoadWith(damaged, "/LOCAL/CurrentDir=/X\n/LOCAL/LastFile=\xe9t\xe9.wav\n");
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors, "NVRAM: /mnt/mtd5/NVRAM.txt is damaged (not text): /mnt/mtd5/NVRAM.txt.damaged, the "
                          "defaults of ./NVRAM_G.txt take its place\n"
                          "NVRAM: /sdcard/.NVRAM.txt is damaged (not text): /sdcard/.NVRAM.txt.damaged, the "
                          "defaults of ./NVRAM_L.txt take its place\n");
        EXPECT_EQ(ReadFile(GlobalFile()), ReadFile(NVRAM_GLOBAL_DEFAULT));
        EXPECT_EQ(ReadFile(GlobalFile() + ".damaged"), damaged);
        EXPECT_EQ(ReadFile(LocalFile()), ReadFile(NVRAM_LOCAL_DEFAULT));
        EXPECT_EQ(Get("/Setup/AUTO OFF"), "30");
        EXPECT_EQ(Get("/LOCAL/CurrentDir"), "/MY_FOLDER");
        EXPECT_EQ(NVRAM_GetCount(), CountLines(ReadFile(NVRAM_GLOBAL_DEFAULT)) + 2);
    }
}

TEST_F(NvramTest, TextWithControlCharactersAndUtf8IsNoDamage)
{
    // A long UTF-8 comment is shortened between characters, so that the saved
    // store is text again.
    std::string comment = "# ";
    while (comment.size() < 200)
        comment += "\xc3\xa9";
    std::string global = HealedGlobal("\x01 control\n/Setup/FILE NAME/WORD=\xc3\xa9t\xc3\xa9\n" + comment + "\n");
    ::testing::internal::CaptureStderr();
    LoadWith(global, HealedLocal(""));
    NVRAM_GlobalSave();
    NVRAM_Load();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("damaged"), std::string::npos) << errors;
    EXPECT_FALSE(FileExists(GlobalFile() + ".damaged"));
    EXPECT_EQ(Get("/Setup/FILE NAME/WORD"), "\xc3\xa9t\xc3\xa9");
    const std::string saved = ReadFile(GlobalFile());
    EXPECT_NE(saved.find("\x01 control\n"), std::string::npos);
    // 127 bytes would end in half an "\xc3\xa9".
    EXPECT_NE(saved.find(comment.substr(0, 126) + "\n"), std::string::npos);
}

TEST_F(NvramTest, SaveFailsWithoutItsTemporaryFile)
{
    LoadWith("/A/g=1\n", "");
    ASSERT_EQ(system(("rm -rf " + HostPath("/tmp")).c_str()), 0);
    EXPECT_EQ(NVRAM_GlobalSave(), 0);
    EXPECT_EQ(ReadFile(GlobalFile()), "/A/g=1\n");
}

TEST_F(NvramTest, ResetCopiesTheDefaultsWithoutTouchingTheTable)
{
    LoadWith("/A/g=1\n", "/LOCAL/CurrentDir=/X\n");
    EXPECT_EQ(NVRAM_Reset(), 1);
    EXPECT_EQ(Get("/A/g"), "1");
    EXPECT_EQ(ReadFile(GlobalFile()), ReadFile("./NVRAM_G.txt"));
    EXPECT_EQ(ReadFile(LocalFile()), ReadFile("./NVRAM_L.txt"));
}

}  // namespace
