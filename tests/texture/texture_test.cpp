#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "platform/platform.h"
#include "scene/scene.h"
#include "support/support.h"
#include "tga_files.h"
#include "texture/texture.h"

namespace {

struct TextureTest : ::testing::Test {
    TempDir dir;
    void TearDown() override { heapHookReset(); }
};

uint8_t atlasIndex(int x, int y)
{
    return (uint8_t)(x * 3 + y * 7);
}

void writeAtlas(const std::string& path, int w, int h)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            pixels.push_back(atlasIndex(x, y));
    writeFile(path, greyTga(w, h, pixels));
}

// Checks a level's size and that its texels are the atlas block at (column, row).
void expectLevel(const Texture* t, int jx, int iy, int w, int h, int column, int row)
{
    const TextureLevel& level = t->levels[iy * t->levelsX + jx];
    ASSERT_EQ(level.width, w) << jx << "," << iy;
    ASSERT_EQ(level.height, h) << jx << "," << iy;
    for (int k = 0; k < h; k++)
        for (int i = 0; i < w; i++)
            ASSERT_EQ(level.texels[k * w + i], atlasIndex(column + i, row + k)) << jx << "," << iy;
}

} // namespace

TEST_F(TextureTest, SquareAtlasLevelsSitWhereTheWiderAndTallerOnesEnd)
{
    writeAtlas("a.tga", 256, 256);
    Texture* t = textureLoad("a.tga");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->halfWidth, 128);
    EXPECT_EQ(t->halfHeight, 128);
    EXPECT_EQ(t->levelsX, 7);
    EXPECT_EQ(t->levelsY, 7);
    const int starts[7] = {0, 128, 192, 224, 240, 248, 252};
    for (int iy = 0; iy < 7; iy++)
        for (int jx = 0; jx < 7; jx++)
            expectLevel(t, jx, iy, 128 >> jx, 128 >> iy, starts[jx], starts[iy]);
    textureRelease(t);
}

TEST_F(TextureTest, WideAtlasHasFewerLevelRows)
{
    writeAtlas("a.tga", 256, 64);
    Texture* t = textureLoad("a.tga");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->levelsX, 7);
    EXPECT_EQ(t->levelsY, 5);
    EXPECT_EQ(t->halfHeight, 32);
    // Level (3, 1) is entry 10: 16 x 16 from column 224, row 32.
    expectLevel(t, 3, 1, 16, 16, 224, 32);
    expectLevel(t, 6, 4, 2, 2, 252, 60);
    textureRelease(t);
}

TEST_F(TextureTest, LevelMasks)
{
    struct Case {
        int w, h, uMask, rowMask, sizeMask, vShift;
    } cases[] = {{128, 128, 127, 16256, 16383, 9}, {2, 2, 1, 2, 3, 15}, {64, 4, 63, 192, 255, 10}, {1, 8, 0, 7, 7, 16}};
    for (const Case& c : cases) {
        TextureLevel level;
        ASSERT_EQ(textureLevelInit(&level, c.w, c.h), 1);
        EXPECT_EQ(level.uMask, c.uMask);
        EXPECT_EQ(level.rowMask, c.rowMask);
        EXPECT_EQ(level.sizeMask, c.sizeMask);
        EXPECT_EQ(level.vShift, c.vShift);
        EXPECT_EQ(std::vector<uint8_t>(level.texels, level.texels + c.w * c.h), std::vector<uint8_t>(c.w * c.h, 0));
        heapFree(level.texels);
    }
}

TEST_F(TextureTest, ShadeEntriesAreTheColourTimesJOver64RoundedDown)
{
    TgaSpec s;
    s.mapLength = 2;
    s.width = 4;
    s.height = 4;
    // Entries (255, 128, 64) and white, stored blue, green, red.
    Bytes b = tgaHeader(s).u8(64).u8(128).u8(255).u8(255).u8(255).u8(255);
    b.raw(std::string(16, '\x01'));
    writeFile("s.tga", b.data);
    Texture* t = textureLoad("s.tga");
    ASSERT_NE(t, nullptr);
    struct Case {
        int colour, j;
        uint32_t shade;
    } cases[] = {{0, 0, 0}, {0, 1, 0x030201}, {0, 32, 0x7F4020}, {0, 63, 0xFB7E3F}, {1, 63, 0xFBFBFB}, {1, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(t->shades[c.colour * 64 + c.j], c.shade) << c.colour << " " << c.j;
    textureRelease(t);
}

TEST_F(TextureTest, AtlasSidesMustBePowersOfTwoFromFour)
{
    struct Case {
        int w, h;
        bool ok;
    } cases[] = {{4, 4, true}, {8, 256, true}, {12, 16, false}, {16, 24, false}, {2, 8, false}, {8, 2, false}, {1, 1, false}};
    for (const Case& c : cases) {
        writeAtlas("p.tga", c.w, c.h);
        Texture* t = textureLoad("p.tga");
        EXPECT_EQ(t != nullptr, c.ok) << c.w << "x" << c.h;
        if (!c.ok) {
            EXPECT_EQ(std::string(textureLoadReason()), "p.tga: the atlas is " + std::to_string(c.w) + " x " +
                      std::to_string(c.h) + "; both sides must be powers of two from 4");
        }
        if (t) {
            EXPECT_GE(t->levelsX, 1);
            EXPECT_GE(t->levelsY, 1);
        }
        textureRelease(t);
    }
}

TEST_F(TextureTest, EveryAllocationFailureGivesNull)
{
    writeAtlas("a.tga", 16, 8);
    heapHookReset();
    Texture* t = textureLoad("a.tga");
    ASSERT_NE(t, nullptr);
    const int64_t calls = heapHook.calls;
    textureRelease(t);
    for (int64_t n = 1; n <= calls; n++) {
        heapHookReset();
        heapHook.failAt = n;
        EXPECT_EQ(textureLoad("a.tga"), nullptr) << n;
    }
}

namespace {

struct Materials {
    std::vector<std::string> names;
    std::vector<Material> records;
    Scene scene = {};
    explicit Materials(const std::vector<std::string>& list) : names(list)
    {
        for (std::string& n : names)
            records.push_back(Material{&n[0], nullptr});
        scene.materialCount = (int32_t)records.size();
        scene.materials = records.data();
    }
    ~Materials()
    {
        for (Material& m : records)
            textureRelease(m.texture);
    }
};

} // namespace

TEST_F(TextureTest, FolderWithOrWithoutTrailingBackslash)
{
    makeFolder("Cells");
    writeAtlas("Cells/Body.tga", 8, 8);
    for (const char* folder : {"Cells", "Cells\\"}) {
        char buffer[16];
        strcpy(buffer, folder);
        Materials m({"Body"});
        EXPECT_EQ(loadMaterialTextures(&m.scene, buffer), 1) << folder;
        EXPECT_STREQ(buffer, "Cells");
        EXPECT_NE(m.records[0].texture, nullptr);
    }
}

TEST_F(TextureTest, StopsAtTheFirstMaterialWithoutTexture)
{
    makeFolder("Cells");
    writeAtlas("Cells/A.tga", 8, 8);
    writeAtlas("Cells/C.tga", 8, 8);
    char folder[] = "Cells";
    Materials m({"A", "B", "C"});
    EXPECT_EQ(loadMaterialTextures(&m.scene, folder), 0);
    EXPECT_NE(m.records[0].texture, nullptr);
    EXPECT_EQ(m.records[1].texture, nullptr);
    EXPECT_EQ(m.records[2].texture, nullptr);
    EXPECT_STREQ(textureLoadReason(), "Cells\\B.tga: cannot be opened (No such file or directory)");

    Materials none({});
    EXPECT_EQ(loadMaterialTextures(&none.scene, folder), 1);
}

TEST_F(TextureTest, PathsLongerThanTheFixedBufferStillWork)
{
    const std::string folder(200, 'f'), name(100, 'n');
    makeFolder(folder);
    writeAtlas(folder + "/" + name + ".tga", 8, 8);
    std::string buffer = folder;
    Materials m({name});
    EXPECT_EQ(loadMaterialTextures(&m.scene, &buffer[0]), 1);
    EXPECT_NE(m.records[0].texture, nullptr);
}
