// The debug console: command matching, arguments, robustness.
#include "Debug2Loop.h"
#include "tests/support/AppProcess.h"
#include "tests/support/BoardTest.h"

#include <string>

using namespace vrec::test;

namespace {

class ConsoleTest : public BoardTest
{
protected:
    std::string Run(const std::string& line)
    {
        testing::internal::CaptureStdout();
        int more = Debug2Command(line.c_str());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(more, 1) << line;
        return out;
    }
};

TEST_F(ConsoleTest, QuitIsMatchedAsAPrefix)
{
    EXPECT_EQ(Debug2Command("quit"), 0);
    EXPECT_EQ(Debug2Command("quitting"), 0);
    EXPECT_EQ(Debug2Command(" quit"), 1);
    EXPECT_EQ(Debug2Command(""), 1);
}

TEST_F(ConsoleTest, UnknownLinesAreIgnored)
{
    EXPECT_EQ(Run("hello world"), "");
    EXPECT_EQ(Run("dm355"), "");
    EXPECT_EQ(Run("hdmi rd"), "");  // missing address
}

TEST_F(ConsoleTest, ShellCommandsRunWithTheirOutput)
{
    // The shell's own output goes straight to the console, not through stdio.
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    app.Send("ps");
    app.Send("free");
    app.Send("quit");
    ASSERT_TRUE(app.Wait(15000));
    EXPECT_NE(app.Output().find("Mem:"), std::string::npos) << app.Output();
}

TEST_F(ConsoleTest, EdidCheckReportsItsResult)
{
    std::string out = Run("chk_edid");
    EXPECT_EQ(out.rfind("checkResult=", 0), 0u) << out;
}

TEST_F(ConsoleTest, OsdTogglesTheEnableMode)
{
    std::string first = Run("osd");
    std::string second = Run("osd");
    EXPECT_EQ(first.rfind("bEnableMode=", 0), 0u) << first;
    EXPECT_EQ(second.rfind("bEnableMode=", 0), 0u) << second;
}

TEST_F(ConsoleTest, ArgumentsAreHexadecimalAndSeparatedByBlankCommaOrTab)
{
    // Register access reports either a value or a read error, never garbage.
    for (const char* line : {"dm355 rd 1c70600", "dm355 rd,0x01C70600", "dm355\trd\t1C70600"}) {
        std::string out = Run(line);
        EXPECT_TRUE(out.find("0x01C70600 = ") == 0 || out == "read error!!\n") << line << " -> " << out;
    }
    std::string out = Run("hdmi wr 10 ff");
    EXPECT_TRUE(out == "0x10<-ff\n" || out == "write error!!\n") << out;
}

TEST_F(ConsoleTest, OverlongAndBinaryLinesDoNoHarm)
{
    AppProcess app(BoardRoot());
    ASSERT_TRUE(app.Start());
    app.Send("quit" + std::string(5000, 'x'));  // read up to 255 characters: still "quit"
    ASSERT_TRUE(app.Wait(10000));
    EXPECT_EQ(app.exitStatus(), 0);

    AppProcess app2(BoardRoot());
    ASSERT_TRUE(app2.Start());
    app2.Send(std::string(3000, 'x') + "quit");  // the tail of a long line is not a command
    app2.Send(std::string("\x01\x02\xff\xfe", 4));
    EXPECT_FALSE(app2.Wait(1000));
    app2.Send("quit");
    ASSERT_TRUE(app2.Wait(10000));
    EXPECT_EQ(app2.exitStatus(), 0);
}

}  // namespace
