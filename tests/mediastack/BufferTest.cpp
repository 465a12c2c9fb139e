// Buffers, picture buffers and buffer tables.
#include "media-stack/Dmai.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace {

TEST(Buffer, HoldsSizeAndUsedBytes)
{
    Buffer_Handle h = Buffer_create(1000, &Buffer_Attrs_DEFAULT);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Buffer_getSize(h), 1000);
    EXPECT_EQ(Buffer_getNumBytesUsed(h), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(Buffer_getUserPtr(h)) % 32, 0u);
    EXPECT_EQ(Buffer_setNumBytesUsed(h, 1000), Dmai_EOK);
    EXPECT_EQ(Buffer_getNumBytesUsed(h), 1000);
    EXPECT_LT(Buffer_setNumBytesUsed(h, 1001), 0);
    EXPECT_EQ(Buffer_getNumBytesUsed(h), 1000);
    EXPECT_LT(Buffer_setUserPtr(h, nullptr), 0);  // owns its memory
    EXPECT_EQ(Buffer_delete(h), Dmai_EOK);
}

TEST(Buffer, ReferenceBuffersTakeAPointer)
{
    Buffer_Attrs attrs = Buffer_Attrs_DEFAULT;
    attrs.reference = 1;
    Buffer_Handle h = Buffer_create(64, &attrs);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Buffer_getUserPtr(h), nullptr);
    int8_t memory[64];
    EXPECT_EQ(Buffer_setUserPtr(h, memory), Dmai_EOK);
    EXPECT_EQ(Buffer_getUserPtr(h), memory);
    Buffer_delete(h);
}

TEST(PictureBuffer, DimensionsGoWithTheBuffer)
{
    BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
    attrs.colorSpace = ColorSpace_UYVY;
    attrs.dim = {0, 0, 640, 480, BufferGfx_calcLineLength(640, ColorSpace_UYVY)};
    EXPECT_EQ(attrs.dim.lineLength, 1280);
    Buffer_Handle h = Buffer_create(BufferGfx_calcSize(640, 480, ColorSpace_UYVY), &attrs.bAttrs);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Buffer_getSize(h), 640 * 480 * 2);
    EXPECT_EQ(BufferGfx_getColorSpace(h), ColorSpace_UYVY);
    EXPECT_EQ(ColorSpace_getBpp(ColorSpace_UYVY), 16);
    BufferGfx_Dimensions dim;
    ASSERT_EQ(BufferGfx_getDimensions(h, &dim), Dmai_EOK);
    EXPECT_EQ(dim.width, 640);
    BufferGfx_Dimensions crop = {16, 8, 320, 240, 1280};
    EXPECT_EQ(BufferGfx_setDimensions(h, &crop), Dmai_EOK);
    BufferGfx_getDimensions(h, &dim);
    EXPECT_EQ(dim.x, 16);
    EXPECT_EQ(dim.height, 240);
    BufferGfx_Dimensions tooTall = {0, 0, 640, 481, 1280};
    EXPECT_LT(BufferGfx_setDimensions(h, &tooTall), 0);
    EXPECT_EQ(BufferGfx_resetDimensions(h), Dmai_EOK);
    BufferGfx_getDimensions(h, &dim);
    EXPECT_EQ(dim.width, 640);
    EXPECT_EQ(dim.x, 0);
    Buffer_delete(h);
}

TEST(BufferTable, EqualBuffersFromOneBlock)
{
    BufTab_Handle t = BufTab_create(5, 57856, &Buffer_Attrs_DEFAULT);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(BufTab_getNumBufs(t), 5);
    std::set<int8_t*> starts;
    for (int i = 0; i < 5; ++i) {
        Buffer_Handle b = BufTab_getBuf(t, i);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(Buffer_getSize(b), 57856);
        EXPECT_EQ(Buffer_getBufTab(b), t);
        starts.insert(Buffer_getUserPtr(b));
        if (i > 0) {
            EXPECT_GE(Buffer_getUserPtr(b) - Buffer_getUserPtr(BufTab_getBuf(t, i - 1)), 57856);
        }
    }
    EXPECT_EQ(starts.size(), 5u);
    EXPECT_EQ(BufTab_getBuf(t, 5), nullptr);
    EXPECT_EQ(BufTab_getBuf(t, -1), nullptr);
    EXPECT_LT(Buffer_delete(BufTab_getBuf(t, 0)), 0);  // belongs to the table
    BufTab_delete(t);
}

TEST(BufferTable, FreeBuffersAreHandedOutOnce)
{
    BufTab_Handle t = BufTab_create(2, 16, &Buffer_Attrs_DEFAULT);
    Buffer_Handle a = BufTab_getFreeBuf(t);
    Buffer_Handle b = BufTab_getFreeBuf(t);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(BufTab_getFreeBuf(t), nullptr);
    BufTab_freeBuf(a);
    EXPECT_EQ(BufTab_getFreeBuf(t), a);
    BufTab_freeAll(t);
    EXPECT_NE(BufTab_getFreeBuf(t), nullptr);
    EXPECT_NE(BufTab_getFreeBuf(t), nullptr);
    BufTab_delete(t);
}

TEST(BufferTable, PictureTablesCarryTheirDimensions)
{
    BufferGfx_Attrs attrs = BufferGfx_Attrs_DEFAULT;
    attrs.dim = {0, 0, 1280, 720, 2560};
    BufTab_Handle t = BufTab_create(2, 1280 * 720 * 2, &attrs.bAttrs);
    ASSERT_NE(t, nullptr);
    BufferGfx_Dimensions dim;
    ASSERT_EQ(BufferGfx_getDimensions(BufTab_getBuf(t, 1), &dim), Dmai_EOK);
    EXPECT_EQ(dim.width, 1280);
    EXPECT_EQ(dim.lineLength, 2560);
    EXPECT_EQ(BufferGfx_getColorSpace(BufTab_getBuf(t, 1)), ColorSpace_UYVY);
    BufTab_delete(t);
}

TEST(Engine, OnlyTheConfiguredEngineOpens)
{
    CERuntime_init();
    int error = -1;
    Engine_Handle e = Engine_open("encodedecode", nullptr, &error);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(error, Engine_EOK);
    EXPECT_STREQ(Engine_getName(e), "encodedecode");
    Engine_close(e);
    EXPECT_EQ(Engine_open("other", nullptr, &error), nullptr);
    EXPECT_EQ(error, Engine_EEXIST);
}

}  // namespace
