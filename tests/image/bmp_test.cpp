#include <gtest/gtest.h>

#include <vector>

#include "image/image.h"
#include "support/support.h"

namespace {

uint32_t swapRedBlue(uint32_t p)
{
    return (p & 0x00FF00) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
}

uint32_t le32(const std::string& s, size_t at)
{
    return (uint8_t)s[at] | (uint8_t)s[at + 1] << 8 | (uint8_t)s[at + 2] << 16 | (uint32_t)(uint8_t)s[at + 3] << 24;
}

// A BMP header built field by field, for files the writer would never make.
Bytes bmpHeader(int32_t width, int32_t height, unsigned bits = 24, unsigned compression = 0)
{
    Bytes b;
    b.u8('B').u8('M').u32(0).u16(0).u16(0).u32(54);
    b.u32(40).u32((uint32_t)width).u32((uint32_t)height).u16(1).u16(bits).u32(compression);
    b.u32(0).u32(96).u32(96).u32(0).u32(0);
    return b;
}

struct BmpTest : ::testing::Test {
    TempDir dir;
};

} // namespace

TEST_F(BmpTest, SizesAndPaddingFollowTheRowRule)
{
    struct Case {
        int w, h;
        uint32_t fileSize;
    } cases[] = {{640, 480, 54 + 1920 * 480}, {1, 1, 58}, {3, 2, 54 + 12 * 2}};
    for (const Case& c : cases) {
        std::vector<uint32_t> pixels((size_t)c.w * c.h, 0x00123456);
        Image image = {pixels.data(), c.w, c.h};
        ASSERT_EQ(writeBmp("out.bmp", &image), 1);
        std::string file = readFile("out.bmp");
        EXPECT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(le32(file, 2), c.fileSize);
        EXPECT_EQ(le32(file, 34), c.fileSize - 54);
        EXPECT_EQ(le32(file, 38), 96u);
        EXPECT_EQ(file.substr(0, 2), "BM");
    }
}

TEST_F(BmpTest, RowsAreStoredBottomUpAndSwappedPixelsReadBackUnswapped)
{
    const int w = 3, h = 2;
    std::vector<uint32_t> original = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00102030, 0x00405060, 0x00708090};
    std::vector<uint32_t> swapped;
    for (uint32_t p : original)
        swapped.push_back(swapRedBlue(p));
    Image image = {swapped.data(), w, h};
    ASSERT_EQ(writeBmp("out.bmp", &image), 1);
    std::string file = readFile("out.bmp");
    // First stored row is the last image row; triples are blue, green, red.
    EXPECT_EQ((uint8_t)file[54], 0x30);
    EXPECT_EQ((uint8_t)file[55], 0x20);
    EXPECT_EQ((uint8_t)file[56], 0x10);

    Image* back = readBmp("out.bmp");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, w);
    EXPECT_EQ(back->height, h);
    for (int i = 0; i < w * h; i++)
        EXPECT_EQ(back->pixels[i], original[i]) << i;
    imageRelease(back);
}

TEST_F(BmpTest, ReaderRefusesWhatItCannotRepresentSafely)
{
    std::string row(4, '\0');
    // Each refusal leaves a reason that names the file and the fault.
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"32-bit", bmpHeader(1, 1, 32).raw(row).data, "32 bits a pixel; only 24-bit BMPs are read"},
        {"compressed", bmpHeader(1, 1, 24, 1).raw(row).data, "compression 1; only uncompressed BMPs are read"},
        {"not BM", "XY" + bmpHeader(1, 1).raw(row).data.substr(2), "does not begin with 'BM'"},
        {"zero width", bmpHeader(0, 1).raw(row).data, "its size 0 x 1 is outside 1 to 16384 a side"},
        {"negative height", bmpHeader(1, -1).raw(row).data, "height -1: its rows are stored top-down"},
        {"too wide", bmpHeader(16385, 1).data + std::string(49156, '\0'), "its size 16385 x 1"},
        {"huge", bmpHeader(0x7FFFFFFF, 0x7FFFFFFF).raw(row).data, "its size 2147483647 x 2147483647"},
        {"truncated rows", bmpHeader(4, 4).raw(std::string(40, '\0')).data,
         "the file ends before its pixels: 4 x 4 needs 48 bytes of rows, the rest of the file holds 40"},
        {"short header", bmpHeader(1, 1).data.substr(0, 40), "shorter than the 54-byte BMP header"},
        {"empty", "", "shorter than the 54-byte BMP header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("bad.bmp", c.bytes);
        EXPECT_EQ(readBmp("bad.bmp"), nullptr);
        EXPECT_EQ(std::string(imageLoadReason()).rfind("bad.bmp: ", 0), 0u) << imageLoadReason();
        EXPECT_NE(std::string(imageLoadReason()).find(c.reason), std::string::npos) << imageLoadReason();
    }
    EXPECT_EQ(readBmp("missing.bmp"), nullptr);
    EXPECT_STREQ(imageLoadReason(), "missing.bmp: cannot be opened (No such file or directory)");

    writeFile("edge.bmp", bmpHeader(4, 4).raw(std::string(48, '\x7f')).data);
    Image* ok = readBmp("edge.bmp");
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(imageLoadReason(), "");
    EXPECT_EQ(ok->pixels[15], 0x007F7F7Fu);
    imageRelease(ok);
}

TEST_F(BmpTest, WriterReportsAFileItCannotCreate)
{
    uint32_t pixel = 0;
    Image image = {&pixel, 1, 1};
    EXPECT_EQ(writeBmp("no-such-folder/out.bmp", &image), 0);
}
