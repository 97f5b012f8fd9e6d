#include <gtest/gtest.h>

#include <vector>

#include "image/image.h"
#include "support/support.h"

namespace {

const int W = 40, H = 30;

// The writer takes 0x00BBGGRR.
uint32_t swapRedBlue(uint32_t p)
{
    return (p & 0x00FF00) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
}

// A font sheet whose glyph for "A" (65) is solid 0x80 grey and whose other
// cells are empty; rows = number of cell rows.
void writeFont(int rows, uint32_t ink = 0x808080)
{
    const int fw = 176, fh = 13 * rows;
    std::vector<uint32_t> pixels((size_t)fw * fh, 0);
    const int cx = (65 & 15) * 11, cy = ((65 - 32) / 16) * 13;
    if (cy + 13 <= fh)
        for (int y = 0; y < 13; y++)
            for (int x = 0; x < 11; x++)
                pixels[(size_t)(cy + y) * fw + cx + x] = swapRedBlue(ink);
    Image image = {pixels.data(), fw, fh};
    ASSERT_EQ(writeBmp("Font.bmp", &image), 1);
}

struct FontTest : ::testing::Test {
    TempDir dir;
    std::vector<uint32_t> target = std::vector<uint32_t>(W * H, 0);
    void TearDown() override { fontRelease(); }
    uint32_t at(int x, int y) const { return target[(size_t)y * W + x]; }
    int painted() const
    {
        int n = 0;
        for (uint32_t p : target)
            n += p != 0;
        return n;
    }
};

} // namespace

TEST_F(FontTest, GlyphLosesColumnZeroAndRowZeroAndIsCutAtTheFarEdges)
{
    writeFont(6);
    ASSERT_EQ(fontLoad(W, H), 1);
    drawGlyph(0, 0, 'A', target.data());
    EXPECT_EQ(painted(), 10 * 12);
    EXPECT_EQ(at(0, 5), 0u);
    EXPECT_EQ(at(5, 0), 0u);
    EXPECT_EQ(at(10, 12), 0x808080u);

    std::fill(target.begin(), target.end(), 0);
    drawGlyph(1, 1, 'A', target.data());
    EXPECT_EQ(painted(), 11 * 13);

    std::fill(target.begin(), target.end(), 0);
    drawGlyph(W - 4, H - 3, 'A', target.data());
    EXPECT_EQ(painted(), 4 * 3);
    EXPECT_EQ(at(W - 1, H - 1), 0x808080u);
}

TEST_F(FontTest, AdditiveDrawingSaturatesEachChannel)
{
    struct Case {
        uint32_t ink, under, want;
    } cases[] = {
        {0x808080, 0x909090, 0xFFFFFF},
        {0x101010, 0x202020, 0x303030},
        {0xFF0010, 0x01F0F0, 0xFFF0FF},
    };
    for (const Case& c : cases) {
        writeFont(6, c.ink);
        ASSERT_EQ(fontLoad(W, H), 1);
        std::fill(target.begin(), target.end(), c.under);
        drawGlyphAdd(5, 5, 'A', target.data());
        EXPECT_EQ(at(6, 6), c.want);
        EXPECT_EQ(at(4, 4), c.under);
        fontRelease();
    }
    // A texel's top byte never reaches a black pixel.
    writeFont(6, 0x123456);
    ASSERT_EQ(fontLoad(W, H), 1);
    target[6 * W + 6] = 0;
    drawGlyphAdd(5, 5, 'A', target.data());
    EXPECT_EQ(at(6, 6), 0x123456u);
}

TEST_F(FontTest, TextAdvancesElevenPixelsAndFourteenALine)
{
    writeFont(6);
    ASSERT_EQ(fontLoad(W, H), 1);
    drawText("A\nA", 2, 1, target.data());
    EXPECT_EQ(at(2, 1), 0x808080u);
    EXPECT_EQ(at(2, 15), 0x808080u);
    EXPECT_EQ(at(2, 14), 0u); // one blank row between the lines
    std::fill(target.begin(), target.end(), 0);
    drawText("AA", 1, 1, target.data());
    EXPECT_EQ(at(12, 1), 0x808080u);
    EXPECT_EQ(painted(), 22 * 13);
}

TEST_F(FontTest, OutOfSheetCharactersAndMissingFontDrawNothing)
{
    writeFont(3); // too small for characters past the third cell row
    ASSERT_EQ(fontLoad(W, H), 1);
    drawText("\x01\x7f\x80\xff\t", 5, 5, target.data());
    EXPECT_EQ(painted(), 0);
    drawText(" ", 5, 5, target.data());
    EXPECT_EQ(painted(), 0);
    fontRelease();

    std::vector<uint32_t> before = target;
    drawTextAdd("AAA", 5, 5, target.data());
    drawGlyph(5, 5, 'A', target.data());
    EXPECT_EQ(target, before);
    EXPECT_EQ(fontLoad(W, H), 1) << "Font.bmp is still there";
    fontRelease();
    remove("Font.bmp");
    EXPECT_EQ(fontLoad(W, H), 0);
}
