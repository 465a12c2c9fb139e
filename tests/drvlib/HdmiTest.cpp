// The HDMI transmitter driver on the board's ADV7523: registers, EDID,
// the EDID check, formats and mute.
#include "DrvLib/Hdmi.h"
#include "sim/board/Board.h"
#include "tests/support/BoardTest.h"

#include <gtest/gtest.h>

namespace {

class HdmiTransmitter : public vrec::test::BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        ASSERT_EQ(HDIM_Init(), 1);
    }
    void TearDown() override
    {
        HDIM_Exit();
        BoardTest::TearDown();
    }
    static vrec::board::Hdmi& Hdmi() { return vrec::board::Board::Get().state().hdmi; }
    static int Check()
    {
        int result = -1;
        EXPECT_EQ(HDMI_CheckEDID(&result), 1);
        return result;
    }
};

TEST_F(HdmiTransmitter, EdidCheckNeedsCableAndSink)
{
    EXPECT_EQ(Check(), 0);
    Hdmi().cable = 1;
    EXPECT_EQ(Check(), 0);
    Hdmi().sink = 1;
    EXPECT_EQ(Check(), 1);
    Hdmi().cable = 0;
    EXPECT_EQ(Check(), 0);
}

TEST_F(HdmiTransmitter, ACorruptEdidIsNotUsable)
{
    Hdmi().cable = 1;
    Hdmi().sink = 1;
    Hdmi().edid[20] = static_cast<uint8_t>(Hdmi().edid[20].load() ^ 0x01);  // checksum no longer matches
    EXPECT_EQ(Check(), 0);
    Hdmi().edid[20] = static_cast<uint8_t>(Hdmi().edid[20].load() ^ 0x01);
    EXPECT_EQ(Check(), 1);
    Hdmi().edid[0] = 0x01;
    EXPECT_EQ(Check(), 0);
}

TEST_F(HdmiTransmitter, EdidBytesComeFromTheSink)
{
    int value = -1;
    EXPECT_EQ(HDIM_DbgReadEDID(1, &value), 0);
    EXPECT_EQ(value, -1);
    Hdmi().cable = 1;
    Hdmi().sink = 1;
    ASSERT_EQ(HDIM_DbgReadEDID(0, &value), 1);
    EXPECT_EQ(value, 0x00);
    ASSERT_EQ(HDIM_DbgReadEDID(1, &value), 1);
    EXPECT_EQ(value, 0xFF);
    // The whole base block sums to zero.
    int sum = 0;
    for (int address = 0; address < 128; ++address) {
        ASSERT_EQ(HDIM_DbgReadEDID(address, &value), 1);
        sum += value;
    }
    EXPECT_EQ(sum % 256, 0);
}

TEST_F(HdmiTransmitter, RegistersReadAndWrite)
{
    int value = -1;
    ASSERT_EQ(HDIM_DbgReadReg(0xF5, &value), 1);
    EXPECT_EQ(value, 0x75);
    ASSERT_EQ(HDIM_DbgReadReg(0xF6, &value), 1);
    EXPECT_EQ(value, 0x23);
    ASSERT_EQ(HDIM_DbgWriteReg(0x41, 0x10), 1);
    EXPECT_EQ(Hdmi().registers[0x41].load(), 0x10);
    ASSERT_EQ(HDIM_DbgReadReg(0x41, &value), 1);
    EXPECT_EQ(value, 0x10);
    // Hot-plug (bit 6) and monitor sense (bit 5) follow the cable and sink.
    ASSERT_EQ(HDIM_DbgReadReg(0x42, &value), 1);
    EXPECT_EQ(value & 0x60, 0);
    Hdmi().cable = 1;
    ASSERT_EQ(HDIM_DbgReadReg(0x42, &value), 1);
    EXPECT_EQ(value & 0x60, 0x40);
    Hdmi().sink = 1;
    ASSERT_EQ(HDIM_DbgReadReg(0x42, &value), 1);
    EXPECT_EQ(value & 0x60, 0x60);
}

TEST_F(HdmiTransmitter, FormatsAndMuteReachTheBoard)
{
    ASSERT_EQ(HDMI_SetAudioFmt(16, 48000, 1280), 1);
    EXPECT_EQ(Hdmi().audioBits.load(), 16);
    EXPECT_EQ(Hdmi().audioRate.load(), 48000);
    EXPECT_EQ(Hdmi().audioWidth.load(), 1280);
    ASSERT_EQ(HDMI_SetVideoFmt(4), 1);
    EXPECT_EQ(Hdmi().videoFormat.load(), 4);
    ASSERT_EQ(HDMI_AV_Mute_ON(), 1);
    EXPECT_EQ(Hdmi().muted.load(), 1);
    ASSERT_EQ(HDMI_AV_Mute_OFF(), 1);
    EXPECT_EQ(Hdmi().muted.load(), 0);
}

TEST_F(HdmiTransmitter, AClosedTransmitterAnswersNothing)
{
    EXPECT_EQ(HDIM_Init(), 0);  // already open
    HDIM_Exit();
    int value = 0;
    int result = 0xFFFF;
    EXPECT_EQ(HDIM_DbgReadReg(0xF5, &value), 0);
    EXPECT_EQ(HDIM_DbgWriteReg(0x41, 1), 0);
    EXPECT_EQ(HDMI_CheckEDID(&result), 0);
    EXPECT_EQ(result, 0xFFFF);
    EXPECT_EQ(HDMI_SetVideoFmt(1), 0);
    EXPECT_EQ(HDMI_AV_Mute_ON(), 0);
    EXPECT_EQ(Hdmi().muted.load(), 0);
    ASSERT_EQ(HDIM_Init(), 1);
}

}  // namespace
