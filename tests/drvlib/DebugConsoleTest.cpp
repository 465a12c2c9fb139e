// The console commands that reach the LED, HDMI and graphics modules, run
// on the real program.
#include "sim/board/HardwareState.h"
#include "tests/support/AppProcess.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

class DebugConsole : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = vrec::test::MakeFreshBoard("DebugConsole." +
                                           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        app_ = std::make_unique<vrec::test::AppProcess>(root_);
        ASSERT_TRUE(app_->Start());
        // The devices are open once the HDMI check answers from the device.
        bool ready = false;
        for (int i = 0; i < 100 && !ready; ++i) {
            app_->Send("chk_edid");
            ready = app_->WaitForOutput("checkResult=0", 100);
        }
        ASSERT_TRUE(ready) << app_->Output() << app_->Errors();
        state_ = std::make_unique<vrec::board::HardwareStateFile>(root_);
        ASSERT_TRUE(state_->ok());
    }

    void TearDown() override
    {
        if (!app_)
            return;
        app_->Send("quit");
        EXPECT_TRUE(app_->Wait(20000));
        EXPECT_EQ(app_->exitStatus(), 0);
    }

    // Sends a line and waits for text in the output after it.
    bool Ask(const std::string& line, const std::string& answer)
    {
        size_t before = app_->Output().size();
        app_->Send(line);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            std::string out = app_->Output();
            if (out.size() > before && out.find(answer, before) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "no \"" << answer << "\" after \"" << line << "\" in:\n" << app_->Output().substr(before);
        return false;
    }

    vrec::board::HardwareState& State() { return state_->state(); }

    std::string root_;
    std::unique_ptr<vrec::test::AppProcess> app_;
    std::unique_ptr<vrec::board::HardwareStateFile> state_;
};

TEST_F(DebugConsole, ProcessorRegisters)
{
    Ask("dm355 rd 1C7062C", "0x01C7062C = 0000FFFF\n");
    Ask("dm355 wr 1C70604 1234", "0x01C70604 = 00001234\n");
    EXPECT_EQ(State().registers.word[0x604 / 4].load(), 0x1234u);
    Ask("dm355 rd 1C70604", "0x01C70604 = 00001234\n");
    Ask("dm355 rd 3000000", "read error!!\n");
    ASSERT_TRUE(Ask("dm355 all", "0x01C71400 = 00000000\n"));
    std::string out = app_->Output();
    size_t ccdc = out.find("-- CCDC --\n0x01C70600 = 00000000\n");
    size_t ipipeif = out.find("-- IPIPEIF --\n0x01C70100 = ");
    size_t ipipe = out.find("-- IPIPE --\n0x01C71000 = ");
    ASSERT_NE(ccdc, std::string::npos);
    ASSERT_NE(ipipeif, std::string::npos);
    ASSERT_NE(ipipe, std::string::npos);
    EXPECT_LT(ccdc, ipipeif);
    EXPECT_LT(ipipeif, ipipe);
    EXPECT_NE(out.find("0x01C7075C = ", ccdc), std::string::npos);
    EXPECT_NE(out.find("0x01C70120 = 00000200\n", ipipeif), std::string::npos);
    // 0x600..0x75C, 0x100..0x128 and 0x1000..0x1400 in words.
    std::string dump = out.substr(ccdc);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 3 + 88 + 11 + 257);
}

TEST_F(DebugConsole, HdmiRegistersAndEdid)
{
    Ask("hdmi rd f5", "0xf5=75\n");
    Ask("hdmi wr 41 10", "0x41<-10\n");
    EXPECT_EQ(State().hdmi.registers[0x41].load(), 0x10);
    Ask("hdmi rd 41", "0x41=10\n");
    ASSERT_TRUE(Ask("hdmi all", "0xff=00\n"));
    EXPECT_NE(app_->Output().find("-- ADV7523 --\n0x00=14\n0x01=00\n0x02=18\n"), std::string::npos);

    Ask("edid rd 1", "read error!!\n");
    State().hdmi.cable = 1;
    State().hdmi.sink = 1;
    Ask("edid rd 1", "0x01=ff\n");
    Ask("edid rd 8", "0x08=5a\n");
    Ask("chk_edid", "checkResult=1\n");
    State().hdmi.sink = 0;
    Ask("chk_edid", "checkResult=0\n");
}

TEST_F(DebugConsole, OsdSwitchesDrawingOffAndOn)
{
    Ask("osd", "bEnableMode=0\n");
    Ask("osd", "bEnableMode=1\n");
    // The program has opened the LCD layer.
    EXPECT_EQ(State().display.fb[1].open.load(), 1);
    EXPECT_EQ(State().display.fb[1].windowEnabled.load(), 1);
}

}  // namespace
