#include "sim/board/Card.h"
#include "sim/board/HardwareState.h"
#include "sim/board/KeyBits.h"
#include "sim/frontend/CardSummary.h"
#include "sim/frontend/Controls.h"
#include "sim/frontend/Pictures.h"
#include "tests/frontend/FreshBoard.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace vrec::frontend;
namespace kb = vrec::board::keybit;

class ControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = vrec::test::PrepareFreshBoard(std::string("frontend-") +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        file_ = std::make_unique<vrec::board::HardwareStateFile>(root_);
        ASSERT_TRUE(file_->ok());
        controls_ = std::make_unique<Controls>(root_, file_->state());
    }
    vrec::board::HardwareState& state() { return file_->state(); }

    std::string root_;
    std::unique_ptr<vrec::board::HardwareStateFile> file_;
    std::unique_ptr<Controls> controls_;
};

TEST_F(ControlsTest, F1IsThePowerControllersKeyTheOthersAreKeyLines)
{
    controls_->SetKey(kb::kF1, true);
    EXPECT_EQ(state().power.f1Pressed.load(), 1);
    EXPECT_EQ(state().keys.mask.load() & kb::kF1, 0u) << "F1 never appears on the key lines";
    controls_->SetKey(kb::kPlay, true);
    controls_->SetKey(kb::kStop, true);
    EXPECT_TRUE(controls_->KeyDown(kb::kPlay));
    uint32_t changes = state().keys.changes.load();
    controls_->SetKey(kb::kPlay, false);
    EXPECT_GT(state().keys.changes.load(), changes);
    EXPECT_FALSE(controls_->KeyDown(kb::kPlay));
    EXPECT_TRUE(controls_->KeyDown(kb::kStop));
    controls_->ReleaseAllKeys();
    EXPECT_EQ(state().keys.mask.load() & 0x3FFFCu, 0u);
    EXPECT_EQ(state().power.f1Pressed.load(), 0);
    // Switches and detect lines survive releasing the keys.
    EXPECT_NE(state().keys.mask.load() & kb::kCameraSw, 0u);
    EXPECT_EQ(FindKey("record"), kb::kRecord);
    EXPECT_FALSE(FindKey("SPEAKER").has_value()) << "a switch is not a key";
    EXPECT_EQ(Keys().size(), 16u);
}

TEST_F(ControlsTest, SwitchesDriveTheirLinesIncludingTheInvertedHeadphoneDetect)
{
    EXPECT_FALSE(controls_->SwitchOn(Switch::kHeadphones)) << "a new board has no headphones in";
    EXPECT_NE(state().keys.mask.load() & kb::kPhoneDetect, 0u);
    controls_->SetSwitch(Switch::kHeadphones, true);
    EXPECT_EQ(state().keys.mask.load() & kb::kPhoneDetect, 0u) << "PHONE_DETECT is set while none are in";
    controls_->SetSwitch(Switch::kMic, true);
    EXPECT_NE(state().keys.mask.load() & kb::kMicDetect, 0u);
    controls_->SetSwitch(Switch::kHold, true);
    EXPECT_NE(state().keys.mask.load() & kb::kHold, 0u);
    controls_->SetSwitch(Switch::kCameraSw, false);
    EXPECT_EQ(state().keys.mask.load() & kb::kCameraSw, 0u);
    controls_->SetSwitch(Switch::kWriteProtect, true);
    EXPECT_EQ(state().card.writeProtected.load(), 1);
    for (const std::string& name : SwitchNames())
        EXPECT_TRUE(FindSwitch(name).has_value()) << name;
}

TEST_F(ControlsTest, CablesAdapterBatteryAndKnob)
{
    controls_->PlugHdmi(true);
    EXPECT_EQ(state().hdmi.cable.load(), 1);
    EXPECT_EQ(state().hdmi.sink.load(), 1);
    EXPECT_NE(state().keys.mask.load() & kb::kHdmiCable, 0u);
    controls_->PlugHdmi(true, false);
    EXPECT_EQ(state().hdmi.sink.load(), 0) << "a cable without a display";
    controls_->PlugHdmi(false);
    EXPECT_EQ(state().keys.mask.load() & kb::kHdmiCable, 0u);
    controls_->PlugUsb(true);
    EXPECT_NE(state().keys.mask.load() & kb::kUsbCable, 0u);
    EXPECT_EQ(state().usb.cable.load(), 1);
    controls_->SetAdapter(true);
    EXPECT_EQ(state().power.adapter.load(), 1);
    controls_->SetBattery(1);
    EXPECT_EQ(state().power.batteryLevel.load(), 1);
    controls_->SetBattery(12);
    EXPECT_EQ(state().power.batteryLevel.load(), 7);
    controls_->SetInputVolume(-5);
    EXPECT_EQ(state().power.inputVolume.load(), 0);
    controls_->SetInputVolume(200);
    EXPECT_EQ(state().power.inputVolume.load(), 127);
}

TEST_F(ControlsTest, CardsGoInAndOutAndNewOnesAreFormattedAsAsked)
{
    ASSERT_EQ(controls_->CardInSlot(), "card0");
    controls_->RemoveCard();
    EXPECT_TRUE(controls_->CardInSlot().empty());
    EXPECT_EQ(state().keys.mask.load() & kb::kSdDetect, 0u);
    std::string why;
    EXPECT_FALSE(controls_->InsertCard("nosuchcard", &why));
    EXPECT_FALSE(why.empty());

    ASSERT_TRUE(controls_->NewCard("elsewhere", vrec::board::CardFormat::kForeign, 256ull << 20, &why)) << why;
    EXPECT_EQ(controls_->CardInSlot(), "elsewhere");
    EXPECT_NE(state().keys.mask.load() & kb::kSdDetect, 0u);
    vrec::board::CardStore store(root_);
    vrec::board::PartitionInfo part = vrec::board::ReadPartition(store.ImagePath("elsewhere"));
    ASSERT_TRUE(part.present);
    vrec::board::FatInfo fat = vrec::board::ReadFat(store.ImagePath("elsewhere"), part);
    ASSERT_TRUE(fat.valid);
    EXPECT_NE(fat.oemName, vrec::board::kDeviceOemName) << "a card formatted elsewhere lacks the recorder's mark";

    EXPECT_FALSE(controls_->NewCard("elsewhere", vrec::board::CardFormat::kDevice, 256ull << 20, &why));
    EXPECT_NE(why.find("exists"), std::string::npos);
    EXPECT_EQ(controls_->CardNames(), (std::vector<std::string>{"card0", "elsewhere"}));
}

TEST_F(ControlsTest, CardSummaryListsTheTreeWithSizes)
{
    std::string files = controls_->CardFiles();
    ASSERT_FALSE(files.empty());
    mkdir((files + "/MY_FOLDER").c_str(), 0755);
    ASSERT_TRUE(vrec::test::WriteFile(files + "/MY_FOLDER/MOV_0001.MOV", std::string(2048, 'x')));
    std::vector<CardEntry> entries = ListCard(files);
    bool found = false;
    for (const CardEntry& e : entries)
        if (e.path == "/MY_FOLDER/MOV_0001.MOV") {
            found = true;
            EXPECT_EQ(e.size, 2048u);
            EXPECT_FALSE(e.folder);
        }
    EXPECT_TRUE(found);
    std::string text = SummariseCard("card0", files);
    EXPECT_NE(text.find("card card0:"), std::string::npos) << text;
    EXPECT_NE(text.find("/MY_FOLDER/MOV_0001.MOV  2.0 KB"), std::string::npos) << text;
    EXPECT_EQ(SummariseCard("", ""), "no card in the slot\n");
}

TEST(Pictures, TheLcdIsTurnedUprightAsTheGuiDrawsIt)
{
    // The panel is 240 x 320; the GUI's logical (x, y) lies at panel column
    // 239 - y of row x.
    vrec::board::RgbImage panel;
    panel.width = 240;
    panel.height = 320;
    panel.rgb.assign(240 * 320 * 3, 0);
    auto put = [&](int col, int row, uint8_t r) { panel.rgb[(static_cast<size_t>(row) * 240 + col) * 3] = r; };
    put(239, 0, 10);   // logical (0, 0)
    put(0, 319, 20);   // logical (319, 239)
    put(239 - 5, 100, 30);  // logical (100, 5)
    vrec::board::RgbImage upright = UprightLcd(panel);
    ASSERT_EQ(upright.width, 320);
    ASSERT_EQ(upright.height, 240);
    auto at = [&](int x, int y) { return upright.rgb[(static_cast<size_t>(y) * 320 + x) * 3]; };
    EXPECT_EQ(at(0, 0), 10);
    EXPECT_EQ(at(319, 239), 20);
    EXPECT_EQ(at(100, 5), 30);
    EXPECT_TRUE(UprightLcd(vrec::board::RgbImage{}).empty());
}

}  // namespace
