// Photos: what the JPEG functions write is read by djpeg and identify as a
// baseline quality-90 picture of the recording size; what they read is
// only a baseline JPEG of at most 1280 x 720 whose segments stay inside it.
#include "Middleware/CODEC/Jpeg.h"
#include "tests/media/support/MovParse.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/VideoSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vrec::test;

namespace {

class JpegTest : public BoardTest
{
protected:
    static void SetUpTestSuite()
    {
        OpenEngine();
        ASSERT_TRUE(JPEG_Init());
    }
    static void TearDownTestSuite() { JPEG_Exit(); }

    // Makes a picture file with ImageMagick; its host path.
    std::string Convert(const std::string& name, const std::string& args)
    {
        std::string path = HostPath("/sdcard/" + name);
        std::string out;
        EXPECT_EQ(RunCommand("convert " + args + " '" + path + "'", &out, true), 0) << out;
        return path;
    }

    // Luma and chroma of pixel (x, y) of a decoded picture.
    static void Pixel(Buffer_Handle picture, int x, int y, int* py, int* pu, int* pv)
    {
        BufferGfx_Dimensions dim;
        BufferGfx_getDimensions(picture, &dim);
        const uint8_t* row = reinterpret_cast<const uint8_t*>(Buffer_getUserPtr(picture)) + y * dim.lineLength;
        const uint8_t* pair = row + (x & ~1) * 2;
        *pu = pair[0];
        *py = pair[(x & 1) ? 3 : 1];
        *pv = pair[2];
    }
};

TEST_F(JpegTest, PhotosAreBaselineQualityNinetyAndComeBackWhole)
{
    for (int width : {1280, 640}) {
        const int height = width == 1280 ? 720 : 480;
        PictureBuffer picture(width, height);
        DrawScene(picture.handle(), 1234);
        const std::string device = "/sdcard/photo" + std::to_string(width) + ".jpg";
        ASSERT_TRUE(JPEG_EncodeToFile(device.c_str(), picture.handle()));
        const std::string path = HostPath(device);

        std::string out;
        EXPECT_EQ(RunCommand("djpeg '" + path + "' > /dev/null", &out, true), 0) << out;
        ASSERT_EQ(RunCommand("identify -format '%m %w %h %[interlace] %[jpeg:sampling-factor] %Q' '" + path + "'", &out), 0);
        EXPECT_EQ(out, "JPEG " + std::to_string(width) + " " + std::to_string(height) + " None 2x1,1x1,1x1 90");
        // A baseline frame header (SOF0), no progressive one.
        const std::string bytes = ReadFile(path);
        EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);
        EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);

        Buffer_Handle decoded = JPEG_DecodeFromFile(device.c_str());
        ASSERT_NE(decoded, nullptr);
        BufferGfx_Dimensions dim;
        BufferGfx_getDimensions(decoded, &dim);
        EXPECT_EQ(dim.width, width);
        EXPECT_EQ(dim.height, height);
        EXPECT_EQ(Buffer_getNumBytesUsed(decoded), width * height * 2);
        std::optional<vrec::board::FrameStamp> stamp = StampOf(decoded);
        ASSERT_TRUE(stamp.has_value());
        EXPECT_EQ(stamp->frame, 1234u);
    }
}

TEST_F(JpegTest, OnlyBaselinePicturesUpTo1280By720AreOpened)
{
    struct Case
    {
        const char* name;
        const char* args;  // ImageMagick's, the output file behind them
        bool accepted;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"progressive.jpg", "-size 320x240 xc:red -interlace JPEG", false, 0, 0},
        {"wide.jpg", "-size 1281x16 xc:red", false, 0, 0},
        {"tall.jpg", "-size 16x721 xc:red", false, 0, 0},
        {"lines720.jpg", "-size 640x720 xc:red", true, 640, 720},
        {"largest.jpg", "-size 1280x720 xc:blue", true, 1280, 720},
        {"odd.jpg", "-size 321x3 xc:red", true, 322, 3},
        {"sampled420.jpg", "-size 64x48 xc:red -sampling-factor 2x2", true, 64, 48},
        {"gray.jpg", "-size 64x48 xc:gray50 -colorspace Gray", true, 64, 48},
        {"png.jpg", "-size 64x48 xc:red png:", false, 0, 0},  // a PNG named like a photo
    };
    for (const Case& c : cases) {
        const std::string device = std::string("/sdcard/") + c.name;
        std::string out;
        std::string args = c.args;
        std::string command = "convert " + args + (args.back() == ':' ? "" : " ") + "'" + HostPath(device) + "'";
        ASSERT_EQ(RunCommand(command, &out, true), 0) << command << "\n" << out;
        Buffer_Handle decoded = JPEG_DecodeFromFile(device.c_str());
        EXPECT_EQ(decoded != nullptr, c.accepted) << c.name;
        if (!decoded)
            continue;
        BufferGfx_Dimensions dim;
        BufferGfx_getDimensions(decoded, &dim);
        EXPECT_EQ(dim.width, c.width) << c.name;
        EXPECT_EQ(dim.height, c.height) << c.name;
        int y, u, v;
        Pixel(decoded, 1, 1, &y, &u, &v);
        if (c.name[0] == 'g') {  // grey: no colour
            EXPECT_NEAR(u, 128, 3) << c.name;
            EXPECT_NEAR(v, 128, 3) << c.name;
        } else if (std::string(c.name) == "largest.jpg") {
            EXPECT_GT(u, 200) << c.name;  // blue
        } else {
            EXPECT_GT(v, 200) << c.name;  // red
            EXPECT_LT(u, 110) << c.name;
        }
    }
    EXPECT_EQ(JPEG_DecodeFromFile("/sdcard/missing.jpg"), nullptr);

    // A file larger than the data buffer would be read only in part.
    std::string big = Convert("big.jpg", "-size 1280x720 xc:red");
    std::string bytes = ReadFile(big);
    bytes.append(2000000, '\0');
    ASSERT_TRUE(WriteFile(big, bytes));
    EXPECT_EQ(JPEG_DecodeFromFile("/sdcard/big.jpg"), nullptr);

    // A picture whose coded data stops early still decodes, as far as it goes.
    std::string cut = ReadFile(Convert("cut.jpg", "-size 320x240 plasma:fractal"));
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(WriteFile(HostPath("/sdcard/cut.jpg"), cut));
    EXPECT_NE(JPEG_DecodeFromFile("/sdcard/cut.jpg"), nullptr);
}

TEST_F(JpegTest, SegmentsAreWalkedInsideTheData)
{
    auto acceptable = [](std::vector<unsigned char> bytes) {
        return JPEG_IsAcceptable(bytes.data(), static_cast<int>(bytes.size()));
    };
    // SOI, SOF0 (length 17: 8-bit, 720 lines, 1280 wide, ...).
    const std::vector<unsigned char> sof = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x02, 0xD0, 0x05, 0x00};
    EXPECT_TRUE(acceptable(sof));
    EXPECT_FALSE(acceptable({0xFF, 0xD8}));
    EXPECT_FALSE(acceptable({0xFF, 0xD9, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x02, 0xD0, 0x05, 0x00}));
    // The frame header cut before its width.
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x02, 0xD0, 0x05}));
    // An application segment claiming more bytes than there are: the walk
    // stops at the end instead of reading the SOF0 lying beyond it.
    std::vector<unsigned char> longApp = {0xFF, 0xD8, 0xFF, 0xE0, 0x7F, 0xF0, 0x00, 0x00};
    EXPECT_FALSE(acceptable(longApp));
    // Zero and tiny lengths, a missing marker, image data before the frame header.
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10}));
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0x12, 0x34, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11, 0x08}));
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10}));
    // A comment before the frame header is walked over; zero sizes are refused.
    EXPECT_TRUE(acceptable({0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i', 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10}));
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x00, 0x00, 0x10}));
    EXPECT_FALSE(acceptable({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x00}));
}

}  // namespace
