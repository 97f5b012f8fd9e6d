#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "support/support.h"
#include "tga_files.h"
#include "texture/texture.h"

using namespace std::string_literals;

namespace {

struct TgaTest : ::testing::Test {
    TempDir dir;
    void TearDown() override { heapHookReset(); }
};

std::vector<uint8_t> indicesOf(const TgaImage* image)
{
    return std::vector<uint8_t>(image->indices, image->indices + image->width * image->height);
}

// 3 x 2 picture, two 24-bit palette entries; top row 0 1 0, bottom row 1 1 0.
std::string twoRowFile(bool topFirst)
{
    TgaSpec s;
    s.mapLength = 2;
    s.width = 3;
    s.height = 2;
    s.descriptor = topFirst ? 0x20 : 0;
    Bytes b = tgaHeader(s);
    b.u8(0x10).u8(0x20).u8(0x30).u8(0xFF).u8(0x00).u8(0x80);
    const std::string top = {0, 1, 0}, bottom = {1, 1, 0};
    b.raw(topFirst ? top + bottom : bottom + top);
    return b.data;
}

} // namespace

TEST_F(TgaTest, BothRowOrdersGiveTheSameImageTopRowFirst)
{
    const std::vector<uint8_t> expected = {0, 1, 0, 1, 1, 0};
    for (bool topFirst : {false, true}) {
        writeFile("a.tga", twoRowFile(topFirst));
        TgaImage* image = readTga("a.tga");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 3);
        EXPECT_EQ(image->height, 2);
        EXPECT_EQ(indicesOf(image), expected);
        ASSERT_EQ(image->paletteCount, 2);
        // Stored blue, green, red.
        EXPECT_EQ(image->palette[0], 0x302010u);
        EXPECT_EQ(image->palette[1], 0x8000FFu);
        tgaRelease(image);
    }
}

TEST_F(TgaTest, ColourMapEntrySizes)
{
    struct Case {
        unsigned size;
        std::string entry;
        uint32_t colour;
    } cases[] = {
        {16, Bytes().u16(0x7FFF).data, 0xF8F8F8},
        {16, Bytes().u16(0x8000 | 0x7C00).data, 0xF80000}, // top bit ignored
        {16, Bytes().u16(0x001F).data, 0x0000F8},
        {15, Bytes().u16(0x03E0).data, 0x00F800},
        {24, Bytes().u8(0x10).u8(0x20).u8(0x30).data, 0x302010},
        {32, Bytes().u8(0x01).u8(0x02).u8(0x03).u8(0x04).data, 0x030201},
    };
    for (const Case& c : cases) {
        TgaSpec s;
        s.mapLength = 1;
        s.entrySize = c.size;
        writeFile("m.tga", tgaHeader(s).raw(c.entry).u8(0).data);
        TgaImage* image = readTga("m.tga");
        ASSERT_NE(image, nullptr) << c.size;
        EXPECT_EQ(image->palette[0], c.colour) << c.size;
        tgaRelease(image);
    }
}

TEST_F(TgaTest, FullRunPacketFillsA128PixelRow)
{
    TgaSpec s;
    s.type = 9;
    s.mapLength = 8;
    s.width = 128;
    s.height = 3;
    Bytes b = tgaHeader(s);
    for (int i = 0; i < 8; i++)
        b.u8(i).u8(i).u8(i);
    for (int r = 0; r < 3; r++)
        b.u8(0xFF).u8(7);
    writeFile("r.tga", b.data);
    TgaImage* image = readTga("r.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(indicesOf(image), std::vector<uint8_t>(128 * 3, 7));
    tgaRelease(image);
}

TEST_F(TgaTest, PacketsRunningPastTheRowAreCutThere)
{
    // Width 4: a raw packet of 6 and a run of 9 overrun their rows; each next
    // row still starts at a fresh packet header.
    TgaSpec s;
    s.type = 9;
    s.mapLength = 16;
    s.width = 4;
    s.height = 3;
    s.descriptor = 0x20;
    Bytes b = tgaHeader(s);
    for (int i = 0; i < 16; i++)
        b.u8(i).u8(i).u8(i);
    b.u8(0x05).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6);
    b.u8(0x88).u8(9);
    b.u8(0x01).u8(10).u8(11).u8(0x81).u8(12);
    writeFile("o.tga", b.data);
    TgaImage* image = readTga("o.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(indicesOf(image), (std::vector<uint8_t>{1, 2, 3, 4, 9, 9, 9, 9, 10, 11, 12, 12}));
    tgaRelease(image);
}

// Bottom-up, the row below in memory is decoded first: a raw packet that
// spilled past its row would overwrite that row's first pixel, and past the
// last row, the end of the indices.
TEST_F(TgaTest, RawPacketPastItsRowInABottomUpFileLeavesTheRowBelow)
{
    TgaSpec s;
    s.type = 9;
    s.mapLength = 8;
    s.width = 2;
    s.height = 2;
    Bytes b = tgaHeader(s);
    for (int i = 0; i < 8; i++)
        b.u8(i).u8(i).u8(i);
    b.u8(0x02).u8(1).u8(2).u8(7);
    b.u8(0x02).u8(3).u8(4).u8(5);
    writeFile("u.tga", b.data);
    TgaImage* image = readTga("u.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(indicesOf(image), (std::vector<uint8_t>{3, 4, 1, 2}));
    tgaRelease(image);
}

TEST_F(TgaTest, GreyscaleRampAndColourMapByType)
{
    // Two 24-bit map entries, 0x302010 and 0x8000FF, where a file has a map.
    const std::string map2 = "\x10\x20\x30\xFF\x00\x80"s;
    struct Case {
        unsigned type;
        bool hasMap;
        bool ramp;
    } cases[] = {
        {3, false, true},
        {3, true, true}, // the ramp replaces the map
        {11, false, true},
        {11, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << (c.hasMap ? " with map" : " without map"));
        TgaSpec s;
        s.type = c.type;
        s.mapLength = c.hasMap ? 2 : 0;
        s.width = 4;
        s.descriptor = 0x20;
        Bytes b = tgaHeader(s);
        if (c.hasMap)
            b.raw(map2);
        const std::vector<uint8_t> pixels = c.ramp ? std::vector<uint8_t>{0, 7, 128, 255} : std::vector<uint8_t>{1, 0, 1, 1};
        if (c.type == 11)
            b.u8(0x03);
        b.data.append(pixels.begin(), pixels.end());
        writeFile("g.tga", b.data);
        TgaImage* image = readTga("g.tga");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(indicesOf(image), pixels);
        if (c.ramp) {
            ASSERT_EQ(image->paletteCount, 256);
            for (uint32_t i = 0; i < 256; i++)
                ASSERT_EQ(image->palette[i], i * 0x010101u);
        } else {
            ASSERT_EQ(image->paletteCount, 2);
            EXPECT_EQ(image->palette[0], 0x302010u);
            EXPECT_EQ(image->palette[1], 0x8000FFu);
        }
        tgaRelease(image);
    }
}

TEST_F(TgaTest, ImageIdIsSkipped)
{
    TgaSpec s;
    s.idLength = 255;
    s.mapLength = 1;
    s.width = 2;
    writeFile("id.tga", tgaHeader(s).u8(1).u8(2).u8(3).u8(0).u8(0).data);
    TgaImage* image = readTga("id.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->palette[0], 0x030201u);
    EXPECT_EQ(indicesOf(image), (std::vector<uint8_t>{0, 0}));
    tgaRelease(image);
}

TEST_F(TgaTest, BadFilesAreRefused)
{
    auto file = [](TgaSpec s, const std::string& map, const std::string& pixels) {
        return tgaHeader(s).raw(map).raw(pixels).data;
    };
    TgaSpec base;
    base.mapLength = 2;
    base.width = 2;
    const std::string map2(6, '\x40');
    TgaSpec trueColour = base, packedTrueColour = base, noImage = base, huffman = base;
    trueColour.type = 2;
    packedTrueColour.type = 10;
    noImage.type = 0;
    huffman.type = 33;
    TgaSpec longMap = base, oddEntry = base, noWidth = base, noMap = base, packed = base, huge = base;
    huge.height = 16385;
    longMap.mapLength = 257;
    oddEntry.entrySize = 8;
    noWidth.width = 0;
    noMap.mapLength = 0;
    packed.type = 9;
    // Each refusal leaves a reason that names the file and the fault.
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"true colour", file(trueColour, map2, std::string(6, '\0')), "image type 2 is true-colour"},
        {"packed true colour", file(packedTrueColour, map2, "\x81\0\0\0"s), "image type 10 is true-colour"},
        {"no image", file(noImage, map2, ""), "image type 0 holds no image"},
        {"compressed colour-mapped", file(huffman, map2, "\0\0"s),
         "image type 33 is not a colour-mapped, true-colour or greyscale TGA"},
        {"257 map entries", file(longMap, std::string(257 * 3, '\0'), "\0\0"s),
         "its colour map has 257 entries, more than the 256"},
        {"8-bit map entries", file(oddEntry, "\0\0"s, "\0\0"s), "colour-map entries of 8 bits"},
        {"zero width", file(noWidth, map2, ""), "its size 0 x 1 is outside 1 to 16384 a side"},
        {"height over 16384", file(huge, map2, std::string(2 * 16385, '\0')), "its size 2 x 16385"},
        {"index without palette", file(noMap, "", "\0\0"s), "a colour-mapped image without a colour map"},
        {"index 2 of 2 entries", file(base, map2, "\x01\x02"s),
         "pixel (1, 0) has colour index 2, but the colour map has 2 entries"},
        {"pixels cut short", file(base, map2, "\x01"s),
         "the file ends before its pixels: 2 x 1 plain pixels need at least 2 bytes, the rest of the file holds 1"},
        {"map cut short", file(base, map2.substr(0, 4), ""), "the file ends inside its colour map of 2 entries"},
        {"packet cut short", file(packed, map2, "\x01\x01"s), "the file ends inside pixel row 1 of 1"},
        {"run value missing", file(packed, map2, "\x81"s), "2 x 1 packed pixels need at least 2 bytes"},
        {"header only", tgaHeader(base).data.substr(0, 10), "shorter than the 18-byte TGA header"},
        {"empty", "", "shorter than the 18-byte TGA header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("bad.tga", c.bytes);
        EXPECT_EQ(readTga("bad.tga"), nullptr);
        const std::string reason = textureLoadReason();
        EXPECT_EQ(reason.rfind("bad.tga: ", 0), 0u) << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
    EXPECT_EQ(readTga("missing.tga"), nullptr);
    EXPECT_STREQ(textureLoadReason(), "missing.tga: cannot be opened (No such file or directory)");
    writeFile("good.tga", file(base, map2, "\x01\x00"s));
    TgaImage* good = readTga("good.tga");
    EXPECT_NE(good, nullptr);
    EXPECT_STREQ(textureLoadReason(), "");
    tgaRelease(good);
}

TEST_F(TgaTest, EveryAllocationFailureGivesNull)
{
    // The file's bytes, the record, its indices and its palette.
    writeFile("a.tga", twoRowFile(false));
    for (int n = 1; n <= 4; n++) {
        heapHookReset();
        heapHook.failAt = n;
        EXPECT_EQ(readTga("a.tga"), nullptr) << n;
    }
    heapHookReset();
    TgaImage* image = readTga("a.tga");
    EXPECT_EQ(heapHook.calls, 4);
    tgaRelease(image);
}

TEST_F(TgaTest, CutOrDamagedAtlasesAreRefusedOrReadWithinTheirPalette)
{
    const std::string atlas = readFile(std::string(VELTRIX_SOURCE_DIR) + "/data/Cells/Trim.tga");
    ASSERT_GT(atlas.size(), 1000u);
    for (size_t length = 0; length < atlas.size(); length += 61) {
        writeFile("cut.tga", atlas.substr(0, length));
        EXPECT_EQ(readTga("cut.tga"), nullptr) << length;
    }
    // Single damaged bytes in the header, the colour map and the packets.
    uint32_t seed = 12345;
    for (int trial = 0; trial < 300; trial++) {
        std::string damaged = atlas;
        seed = seed * 1103515245u + 12345u;
        const size_t at = trial < 18 ? (size_t)trial : (seed >> 8) % damaged.size();
        damaged[at] = (char)(damaged[at] ^ (1 + (seed >> 24) % 255));
        writeFile("damaged.tga", damaged);
        TgaImage* image = readTga("damaged.tga");
        if (!image)
            continue;
        for (int32_t i = 0; i < image->width * image->height; i++)
            ASSERT_LT(image->indices[i], image->paletteCount) << at;
        tgaRelease(image);
    }
}
