// Menu tree: display texts, conversions, the fall-back to the store.
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "tests/support/BoardTest.h"

using namespace vrec::test;

namespace {

class ParameterTest : public BoardTest
{
protected:
    std::string Text(const char* key)
    {
        char text[NVRAM_TEXT_SIZE];
        GetParameter(key, text);
        return text;
    }
    std::string Stored(const char* key)
    {
        char text[NVRAM_TEXT_SIZE];
        NVRAM_Get(key, text);
        return text;
    }
};

TEST_F(ParameterTest, ExplicitValueChoicesShowTheirLabel)
{
    EXPECT_FLOAT_EQ(GetParameter("/REC Quality/SAMPLE RATE", nullptr), 44100.0f);
    EXPECT_EQ(Text("/REC Quality/SAMPLE RATE"), "44.1kHz");
    SetParameter("/REC Quality/SAMPLE RATE", 96000.0f);
    EXPECT_EQ(Text("/REC Quality/SAMPLE RATE"), "96kHz");
}

TEST_F(ParameterTest, IndexChoicesShowTheLabelAtTheValue)
{
    SetParameter("/Input Setting/MIC GAIN", 1.0f);
    EXPECT_EQ(Text("/Input Setting/MIC GAIN"), "MID");
    SetParameter("/Input Setting/MIC GAIN", 7.0f);
    EXPECT_EQ(Text("/Input Setting/MIC GAIN"), "");
    SetParameter("/Input Setting/MIC GAIN", -1.0f);
    EXPECT_EQ(Text("/Input Setting/MIC GAIN"), "");
}

TEST_F(ParameterTest, RangesUseTheirFormat)
{
    SetParameter("/PB Control/SPEED", 1.2f);
    EXPECT_EQ(Text("/PB Control/SPEED"), "x 1.2");
    EXPECT_EQ(Text("/Play Option/SLIDE SHOW"), "3 sec");
    EXPECT_EQ(Text("/Play Option/CUE/REV SPEED"), "x 2");
}

TEST_F(ParameterTest, ActionsShowTheirValueAsANumber)
{
    EXPECT_EQ(Text("/Setup/DATE/TIME"), "0.000000");
    EXPECT_EQ(Text("/Setup/INFORMATION"), "FILE");
}

TEST_F(ParameterTest, ValuesAreStoredAsWholeNumbersOrDecimals)
{
    SetParameter("/PB Control/SPEED", 1.2f);
    EXPECT_EQ(Stored("/PB Control/SPEED"), "1.200000");
    SetParameter("/Setup/AUTO OFF", 5.0f);
    EXPECT_EQ(Stored("/Setup/AUTO OFF"), "5");
    SetParameter("/Rec Option/AUTO REC LEVEL", -12.0f);
    EXPECT_EQ(Stored("/Rec Option/AUTO REC LEVEL"), "-12");
    EXPECT_EQ(Text("/Rec Option/AUTO REC LEVEL"), "-12dB");
}

TEST_F(ParameterTest, TextSetsTheValueOfTheMatchingLabel)
{
    EXPECT_EQ(SetParameter("/Setup/DIMMER", "LOW"), 1);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/DIMMER", nullptr), 2.0f);
    EXPECT_EQ(SetParameter("/Setup/DIMMER", "DIM"), 0);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/DIMMER", nullptr), 2.0f);
    EXPECT_EQ(SetParameter("/Setup/DATE/TIME", "x"), 0);
    EXPECT_EQ(SetParameter("/Input Setting/INPUT TYPE", "MONO"), 1);
    EXPECT_FLOAT_EQ(GetParameter("/Input Setting/INPUT TYPE", nullptr), 1.0f);
}

TEST_F(ParameterTest, KeysOutsideTheTreeUseTheStore)
{
    EXPECT_EQ(FindL2("/Setup/FILE NAME/WORD"), nullptr);
    SetParameter("/Setup/FILE NAME/WORD", "TAKE");
    EXPECT_EQ(Text("/Setup/FILE NAME/WORD"), "TAKE");
    EXPECT_EQ(Stored("/Setup/FILE NAME/WORD"), "TAKE");
    EXPECT_EQ(FindL2("/Setup"), nullptr);
    EXPECT_EQ(FindL2("Setup/AUTO OFF"), nullptr);
    EXPECT_EQ(FindL2("/Setup/AUTO"), nullptr);
    EXPECT_NE(FindL2("/Input Setting/L/R SWAP"), nullptr);
}

TEST_F(ParameterTest, TheTreeHoldsEveryGroupInOrder)
{
    const char* const groups[] = {"Input Setting", "Rec Option", "Play Option", "PB Control",
                                  "REC Quality",   "Setup",      "PLAY LIST",   "BROWSE"};
    MENU_INFO* info = GetMenuInfo();
    for (int i = 0; i < MENU_MAX_GROUPS; ++i)
        EXPECT_STREQ(info->aGroup[i].szName, groups[i]);
    EXPECT_EQ(info->aGroup[6].aItem[0].szName, nullptr);
    EXPECT_EQ(info->aGroup[7].aItem[0].szName, nullptr);
}

TEST_F(ParameterTest, DefaultsApplyWhenTheStoreDoesNotNameAKey)
{
    WriteFile(HostPath(NVRAM_GLOBAL_FILE), "# nothing\n");
    MENU_ResetDefaults();
    NVRAM_Load();
    struct Expect { const char* key; float value; const char* text; };
    const Expect defaults[] = {
        {"/Input Setting/INPUT TYPE", 2, "STEREO"}, {"/Rec Option/SELF TIMER", 0, "OFF"},
        {"/Rec Option/AUTO REC LEVEL", 0, ""},      {"/REC Quality/SOUND FORMAT", 16, "WAV 16bit"},
        {"/REC Quality/IMAGE SIZE", 1280, "HD / 0.9M"}, {"/Setup/AUTO OFF", 30, "30min"},
        {"/Setup/BACKLIGHT", 0, "ON"},              {"/Setup/DIMMER", 4, "HIGH"},
        {"/Setup/BATTERY", 0, "ALKAL"},             {"/PB Control/SPEED", 1, "x 1.0"},
    };
    for (const Expect& e : defaults) {
        EXPECT_FLOAT_EQ(GetParameter(e.key, nullptr), e.value) << e.key;
        EXPECT_EQ(Text(e.key), e.text) << e.key;
    }
}

TEST_F(ParameterTest, StoredTextsReachTheTreeAtLoad)
{
    WriteFile(HostPath(NVRAM_GLOBAL_FILE), "/Setup/DIMMER=LOW\n/Setup/AUTO OFF=10\n");
    MENU_ResetDefaults();
    NVRAM_Load();
    EXPECT_FLOAT_EQ(GetParameter("/Setup/DIMMER", nullptr), 2.0f);
    EXPECT_FLOAT_EQ(GetParameter("/Setup/AUTO OFF", nullptr), 10.0f);
}

}  // namespace
