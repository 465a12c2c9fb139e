#include "sim/frontend/Scenario.h"

#include "sim/board/KeyBits.h"

#include <gtest/gtest.h>

namespace {

using namespace vrec::frontend;
namespace kb = vrec::board::keybit;

Scenario Parse(const std::string& text)
{
    Scenario s;
    std::string why;
    EXPECT_TRUE(ParseScenarioText(text, "t.vsc", s, &why)) << why;
    return s;
}

std::string Error(const std::string& text)
{
    Scenario s;
    std::string why;
    EXPECT_FALSE(ParseScenarioText(text, "t.vsc", s, &why)) << text;
    return why;
}

TEST(ScenarioParse, Durations)
{
    EXPECT_EQ(ParseDuration("500ms"), 500);
    EXPECT_EQ(ParseDuration("2s"), 2000);
    EXPECT_EQ(ParseDuration("1.5s"), 1500);
    EXPECT_EQ(ParseDuration("3m"), 180000);
    EXPECT_EQ(ParseDuration("2"), -1) << "a duration needs its unit";
    EXPECT_EQ(ParseDuration("-1s"), -1);
    EXPECT_EQ(ParseDuration("fast"), -1);
}

TEST(ScenarioParse, KeySteps)
{
    Scenario s = Parse("# a comment\n\npress menu\nhold STOP DISPLAY for 2s\nhold F1\nrelease F1\nrelease all\n");
    ASSERT_EQ(s.steps.size(), 5u);
    EXPECT_EQ(s.steps[0].kind, Step::Kind::kPress);
    EXPECT_EQ(s.steps[0].line, 3);
    EXPECT_EQ(s.steps[0].keys, std::vector<uint32_t>{kb::kMenu});
    EXPECT_EQ(s.steps[1].kind, Step::Kind::kHold);
    EXPECT_EQ(s.steps[1].keys, (std::vector<uint32_t>{kb::kStop, kb::kDisplay}));
    EXPECT_EQ(s.steps[1].ms, 2000);
    EXPECT_EQ(s.steps[2].ms, 0) << "hold without 'for' keeps the key down";
    EXPECT_EQ(s.steps[2].keys, std::vector<uint32_t>{kb::kF1});
    EXPECT_TRUE(s.steps[4].allKeys);
}

TEST(ScenarioParse, DeviceSteps)
{
    Scenario s = Parse("set HEADPHONES on\nset hold off\ncard new spare 512M\ncard foreign other\ncard insert\n"
                       "card remove\nhdmi plug nosink\nhdmi unplug\nusb plug\nbattery 1\nadapter on\nvolume 127\n"
                       "snap lcd a.png\npower cut\nconsole free\nquit\n");
    ASSERT_EQ(s.steps.size(), 16u);
    EXPECT_EQ(s.steps[0].which, Switch::kHeadphones);
    EXPECT_TRUE(s.steps[0].on);
    EXPECT_FALSE(s.steps[1].on);
    EXPECT_EQ(s.steps[2].action, "new");
    EXPECT_EQ(s.steps[2].sizeBytes, 512ull << 20);
    EXPECT_EQ(s.steps[3].action, "foreign");
    EXPECT_EQ(s.steps[3].sizeBytes, 4ull << 30);
    EXPECT_TRUE(s.steps[4].name.empty());
    EXPECT_FALSE(s.steps[6].sink);
    EXPECT_FALSE(s.steps[7].on);
    EXPECT_EQ(s.steps[9].number, 1);
    EXPECT_EQ(s.steps[11].number, 127);
    EXPECT_EQ(s.steps[12].output, Output::kLcd);
    EXPECT_EQ(s.steps[12].name, "a.png");
    EXPECT_EQ(s.steps[13].action, "cut");
    EXPECT_EQ(s.steps[14].name, "free");
    EXPECT_EQ(s.steps[15].kind, Step::Kind::kQuit);
}

TEST(ScenarioParse, CheckDetails)
{
    Scenario s = Parse("expect led peak off\nexpect backlight on within 2s\nexpect backlight 4\nexpect screen menu\n"
                       "expect file /MY_FOLDER/*.MOV within 1m\nexpect no file /x.txt\nexpect power off\n"
                       "expect card unmounted\nexpect pixel lcd 10 5 #3ABBDE 8\nexpect console hello world\n");
    ASSERT_EQ(s.steps.size(), 10u);
    const Check& led = s.steps[0].check;
    EXPECT_EQ(led.what, Check::What::kLed);
    EXPECT_EQ(led.name, "peak");
    EXPECT_FALSE(led.on);
    EXPECT_EQ(s.steps[1].check.level, -1);
    EXPECT_EQ(s.steps[1].check.withinMs, 2000);
    EXPECT_EQ(s.steps[2].check.level, 4);
    EXPECT_EQ(s.steps[3].check.name, "menu");
    EXPECT_TRUE(s.steps[4].check.on);
    EXPECT_EQ(s.steps[4].check.name, "/MY_FOLDER/*.MOV");
    EXPECT_EQ(s.steps[4].check.withinMs, 60000);
    EXPECT_FALSE(s.steps[5].check.on);
    EXPECT_FALSE(s.steps[6].check.on);
    EXPECT_FALSE(s.steps[7].check.on);
    const Check& pixel = s.steps[8].check;
    EXPECT_EQ(pixel.x, 10);
    EXPECT_EQ(pixel.y, 5);
    EXPECT_EQ(pixel.colour, 0x3ABBDEu);
    EXPECT_EQ(pixel.tolerance, 8);
    EXPECT_EQ(s.steps[9].check.name, "hello world");
}

TEST(ScenarioParse, MicrophoneSourcesAndCardFilling)
{
    Scenario s = Parse("sound builtin tone 1000 -6\nsound external tone 440 -20 880 -30.5\nsound builtin noise -40\n"
                       "sound jack wav take.wav -3\nsound inner host\nsound external silence\ncard fill 40M\n"
                       "card fill 0\ncard fill 512K\n");
    ASSERT_EQ(s.steps.size(), 9u);
    const SoundSource& tone = s.steps[0].sound;
    EXPECT_EQ(s.steps[0].kind, Step::Kind::kSound);
    EXPECT_EQ(s.steps[0].soundInput, SoundInputName::kBuiltIn);
    EXPECT_EQ(tone.kind, SoundSource::Kind::kTone);
    EXPECT_EQ(tone.hz[0], 1000);
    EXPECT_EQ(tone.hz[1], 1000);
    EXPECT_DOUBLE_EQ(tone.db[1], -6.0);
    const SoundSource& two = s.steps[1].sound;
    EXPECT_EQ(s.steps[1].soundInput, SoundInputName::kExternal);
    EXPECT_EQ(two.hz[0], 440);
    EXPECT_EQ(two.hz[1], 880);
    EXPECT_DOUBLE_EQ(two.db[0], -20.0);
    EXPECT_DOUBLE_EQ(two.db[1], -30.5);
    EXPECT_EQ(s.steps[2].sound.kind, SoundSource::Kind::kNoise);
    EXPECT_DOUBLE_EQ(s.steps[2].sound.db[1], -40.0);
    EXPECT_EQ(s.steps[3].sound.kind, SoundSource::Kind::kWavFile);
    EXPECT_EQ(s.steps[3].sound.wavFile, "take.wav");
    EXPECT_DOUBLE_EQ(s.steps[3].sound.db[0], -3.0);
    EXPECT_EQ(s.steps[4].sound.kind, SoundSource::Kind::kHost);
    EXPECT_EQ(s.steps[5].sound.kind, SoundSource::Kind::kSilence);
    EXPECT_EQ(s.steps[6].action, "fill");
    EXPECT_EQ(s.steps[6].sizeBytes, 40ull << 20);
    EXPECT_EQ(s.steps[7].sizeBytes, 0u);
    EXPECT_EQ(s.steps[8].sizeBytes, 512ull << 10);

    EXPECT_NE(Error("sound mouth tone 1 1").find("builtin|external"), std::string::npos);
    EXPECT_NE(Error("sound builtin music").find("silence, tone, noise, wav and host"), std::string::npos);
    EXPECT_NE(Error("sound builtin tone 1000").find("tone HZ DB"), std::string::npos);
    EXPECT_NE(Error("sound builtin tone 1000 loud").find("level in dB"), std::string::npos);
    EXPECT_NE(Error("sound builtin tone 99999 -6").find("1 to 48000"), std::string::npos);
    EXPECT_NE(Error("sound builtin noise -200").find("level in dB"), std::string::npos);
    EXPECT_NE(Error("sound builtin wav").find("wav FILE"), std::string::npos);
    EXPECT_NE(Error("sound builtin silence now").find("unexpected 'now'"), std::string::npos);
    EXPECT_NE(Error("card fill").find("more words"), std::string::npos);
    EXPECT_NE(Error("card fill lots").find("card fill FREE"), std::string::npos);
    EXPECT_NE(Error("card fill 100G").find("card fill FREE"), std::string::npos);
}

TEST(ScenarioParse, ErrorsNameTheLineAndTheFault)
{
    EXPECT_EQ(Error("wait 1s\npress JUMP\n"), "t.vsc:2: unknown key 'JUMP'");
    EXPECT_NE(Error("wait soon").find("not a duration"), std::string::npos);
    EXPECT_NE(Error("set LID on").find("unknown switch 'LID'"), std::string::npos);
    EXPECT_NE(Error("set HOLD maybe").find("on or off"), std::string::npos);
    EXPECT_NE(Error("battery 9").find("0 to 7"), std::string::npos);
    EXPECT_NE(Error("volume 128").find("0 to 127"), std::string::npos);
    EXPECT_NE(Error("hold PLAY for").find("more words"), std::string::npos);
    EXPECT_NE(Error("press").find("name the keys"), std::string::npos);
    EXPECT_NE(Error("card new ../escape").find("plain name"), std::string::npos);
    EXPECT_NE(Error("card new big 100G").find("card size"), std::string::npos);
    EXPECT_NE(Error("snap tv x.png").find("snap lcd or snap hdmi"), std::string::npos);
    EXPECT_NE(Error("power up").find("power on"), std::string::npos);
    EXPECT_NE(Error("expect file relative.txt").find("start with '/'"), std::string::npos);
    EXPECT_NE(Error("expect file /../etc/passwd").find("stay on the card"), std::string::npos);
    EXPECT_NE(Error("expect led green on").find("rec, peak and camera"), std::string::npos);
    EXPECT_NE(Error("expect power on within").find("within DURATION"), std::string::npos);
    EXPECT_NE(Error("expect pixel lcd 1 2 red").find("#RRGGBB"), std::string::npos);
    EXPECT_NE(Error("wait 1s extra").find("unexpected 'extra'"), std::string::npos);
    EXPECT_NE(Error("dance").find("unknown step 'dance'"), std::string::npos);
    std::string why;
    Scenario s;
    EXPECT_FALSE(ParseScenario("/nonexistent/x.vsc", s, &why));
    EXPECT_NE(why.find("cannot read"), std::string::npos);
}

TEST(ScenarioParse, CameraSteps)
{
    Scenario s = Parse("camera scene\ncamera BARS\ncamera host\ncamera file /clips/a b.mp4\ncamera sync\ncamera sync on\n"
                       "camera sync off\n");
    ASSERT_EQ(s.steps.size(), 7u);
    for (const Step& step : s.steps)
        EXPECT_EQ(step.kind, Step::Kind::kCamera);
    EXPECT_EQ(s.steps[1].action, "bars");
    EXPECT_EQ(s.steps[3].action, "file");
    EXPECT_EQ(s.steps[3].name, "/clips/a b.mp4");
    EXPECT_EQ(s.steps[4].number, -1);
    EXPECT_EQ(s.steps[5].number, 1);
    EXPECT_EQ(s.steps[6].number, 0);
    EXPECT_NE(Error("camera").find("camera scene, bars"), std::string::npos);
    EXPECT_NE(Error("camera file").find("camera file PATH"), std::string::npos);
    EXPECT_NE(Error("camera scene now").find("unexpected"), std::string::npos);
    EXPECT_NE(Error("camera sync often").find("on or off"), std::string::npos);
}

}  // namespace

namespace {

TEST(ScenarioParse, TextAndDurationChecks)
{
    Scenario s = Parse("expect text a24 at 208 178 05 within 8s\nexpect text f16 #000000 REC SETTING\n"
                       "expect text a20 No Movie File\nexpect duration /MY_FOLDER/*.mov 5.3s 300ms\n"
                       "expect duration /A.wav 2s\n");
    ASSERT_EQ(s.steps.size(), 5u);
    const Check& time = s.steps[0].check;
    EXPECT_EQ(time.what, Check::What::kText);
    EXPECT_EQ(time.font, "a24");
    EXPECT_EQ(time.x, 208);
    EXPECT_EQ(time.y, 178);
    EXPECT_EQ(time.name, "05");
    EXPECT_EQ(time.colour, 0xFFFFFFu) << "white, the OSD's edged text, unless a colour is given";
    EXPECT_EQ(time.withinMs, 8000);
    EXPECT_EQ(s.steps[1].check.colour, 0u);
    EXPECT_EQ(s.steps[1].check.name, "REC SETTING");
    EXPECT_EQ(s.steps[2].check.x, -1) << "anywhere on the LCD";
    EXPECT_EQ(s.steps[2].check.name, "No Movie File");
    const Check& length = s.steps[3].check;
    EXPECT_EQ(length.what, Check::What::kDuration);
    EXPECT_EQ(length.name, "/MY_FOLDER/*.mov");
    EXPECT_EQ(length.durationMs, 5300);
    EXPECT_EQ(length.toleranceMs, 300);
    EXPECT_EQ(s.steps[4].check.toleranceMs, 200);

    EXPECT_NE(Error("expect text b12 hello").find("fonts are"), std::string::npos);
    EXPECT_NE(Error("expect text a16 at 400 10 x").find("0 to 319"), std::string::npos);
    EXPECT_NE(Error("expect text a16").find("expect text FONT"), std::string::npos);
    EXPECT_NE(Error("expect duration MY_FOLDER/a.mov 2s").find("start with '/'"), std::string::npos);
    EXPECT_NE(Error("expect duration /a.mov soon").find("not a duration"), std::string::npos);
}

}  // namespace
