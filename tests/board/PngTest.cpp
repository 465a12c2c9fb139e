#include "sim/board/Image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using vrec::board::ReadPng;
using vrec::board::RgbImage;
using vrec::board::WritePng;

std::string OutputPath(const std::string& name)
{
    mkdir(VREC_TEST_OUTPUT, 0755);
    return std::string(VREC_TEST_OUTPUT) + "/" + name;
}

RgbImage Gradient(int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 7);
            p[1] = static_cast<uint8_t>(y * 13);
            p[2] = static_cast<uint8_t>((x ^ y) * 3);
        }
    return image;
}

TEST(Png, WrittenPictureReadsBackUnchanged)
{
    RgbImage image = Gradient(37, 21);  // odd sizes: no row padding assumed
    std::string path = OutputPath("roundtrip.png");
    std::string why;
    ASSERT_TRUE(WritePng(image, path, &why)) << why;
    RgbImage back = ReadPng(path, &why);
    ASSERT_EQ(back.width, 37) << why;
    ASSERT_EQ(back.height, 21);
    EXPECT_EQ(back.rgb, image.rgb);
}

TEST(Png, BadFilesGiveAnEmptyPictureAndAReason)
{
    std::string why;
    EXPECT_TRUE(ReadPng(OutputPath("does-not-exist.png"), &why).empty());
    EXPECT_NE(why.find("cannot open"), std::string::npos) << why;

    std::string text = OutputPath("not-a-png.png");
    std::ofstream(text) << "hello, this is text";
    why.clear();
    EXPECT_TRUE(ReadPng(text, &why).empty());
    EXPECT_NE(why.find("not a PNG"), std::string::npos) << why;

    // A file cut in the middle of its pixel data.
    std::string whole = OutputPath("whole.png");
    ASSERT_TRUE(WritePng(Gradient(200, 200), whole, &why)) << why;
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string cut = OutputPath("cut.png");
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    why.clear();
    EXPECT_TRUE(ReadPng(cut, &why).empty());
    EXPECT_FALSE(why.empty());
}

TEST(Png, WritingFailsCleanly)
{
    std::string why;
    EXPECT_FALSE(WritePng(RgbImage{}, OutputPath("empty.png"), &why));
    EXPECT_FALSE(why.empty());

    RgbImage inconsistent = Gradient(4, 4);
    inconsistent.rgb.resize(10);
    EXPECT_FALSE(WritePng(inconsistent, OutputPath("bad.png"), &why));

    why.clear();
    EXPECT_FALSE(WritePng(Gradient(4, 4), OutputPath("no-such-folder/x.png"), &why));
    EXPECT_NE(why.find("cannot create"), std::string::npos) << why;
}

}  // namespace
