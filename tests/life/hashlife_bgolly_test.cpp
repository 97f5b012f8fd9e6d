// Hashlife against bgolly's own hashlife (Debian's batch runner of the
// community's program): real files of its HashLife folder, read by the
// project's readers, and random soups under several kinds of rule, at a
// power of two and an odd generation. Cell for cell where the result is
// small; population and box where it is large.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>

#include "hashlife_support.h"
#include "life/world.h"
#include "pattern/pattern.h"
#include "platform/platform.h"
#include "support/support.h"

namespace {

using namespace hashlife_support;

const char* const patternFolder = "/usr/share/golly/Patterns/HashLife/";

struct HashlifeBgolly : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        if (access("/usr/bin/bgolly", X_OK) != 0)
            GTEST_SKIP() << "bgolly is not installed (Debian package golly)";
    }
};

// A pattern file read as the program reads one; false when it cannot be.
bool readPattern(const std::string& path, Pattern* pattern)
{
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path.c_str(), PATTERN_MAX_FILE, &bytes, &size))
        return false;
    char* text = (char*)bytes;
    PatternError error{};
    if (!patternGunzip(&text, &size, &error))
        return false;
    const int ok = parsePattern(detectFormat(text, size, path.c_str()), text, size, pattern, &error);
    heapFree(text);
    EXPECT_EQ(ok, 1) << path << ": " << error.message;
    return ok == 1;
}

Cells patternCells(const Pattern& p)
{
    Cells cells;
    for (int32_t i = 0; i < p.count; i++)
        cells.insert({p.top + p.cells[i].y, p.left + p.cells[i].x});
    return cells;
}

// bgolly's hashlife run on a file; its macrocell output places the cells
// where they are.
bool bgollyRun(const std::string& path, int64_t generations, Pattern* out)
{
    std::string printed;
    const std::string command =
        "/usr/bin/bgolly -a HashLife -q -q -m " + std::to_string(generations) + " -o out.mc '" + path + "' 2>&1";
    EXPECT_EQ(runCommand(command, &printed), 0) << command << "\n" << printed;
    return readPattern("out.mc", out);
}

Cells moved(const Cells& cells, int64_t dx, int64_t dy)
{
    Cells out;
    for (const Cell& c : cells)
        out.insert({c.first + dy, c.second + dx});
    return out;
}

// Ours against bgolly's at each generation, stepped there from the last.
// bgolly's cells at generation 0 say where its output puts ours: a macrocell
// file read back lands where the file put it (absolute), an RLE soup's
// position comes back one row up, or at the origin when it is far out.
void compareWithBgolly(const std::string& path, const UniverseRule& rule, const Cells& start,
    std::initializer_list<int64_t> generations, bool absolute)
{
    Pattern first{};
    ASSERT_TRUE(bgollyRun(path, 0, &first));
    const Cells placed = patternCells(first);
    patternRelease(&first);
    ASSERT_EQ(placed.size(), start.size());
    const int64_t dx = placed.begin()->second - start.begin()->second, dy = placed.begin()->first - start.begin()->first;
    ASSERT_TRUE(moved(start, dx, dy) == placed) << path;
    if (absolute) {
        ASSERT_TRUE(dx == 0 && dy == 0) << path << " read back moved by " << dx << "," << dy;
    }
    World* world = hashlifeOf(rule);
    ASSERT_NE(world, nullptr);
    fill(world, start);
    for (int64_t generation : generations) {
        SCOPED_TRACE(path + " at generation " + std::to_string(generation));
        ASSERT_EQ(worldStep(world, generation - worldGeneration(world)), 1) << world->failure;
        ASSERT_EQ(worldGeneration(world), generation);
        Pattern theirs{};
        ASSERT_TRUE(bgollyRun(path, generation, &theirs));
        EXPECT_EQ(worldPopulation(world), theirs.count);
        WorldBox box;
        ASSERT_EQ(worldBounds(world, &box), 1);
        EXPECT_EQ(box.left + dx, theirs.left);
        EXPECT_EQ(box.top + dy, theirs.top);
        EXPECT_EQ(box.right + dx, theirs.left + theirs.width - 1);
        EXPECT_EQ(box.bottom + dy, theirs.top + theirs.height - 1);
        if (theirs.count <= 300000) {
            const Cells ours = moved(cellsOf(world), dx, dy), expected = patternCells(theirs);
            EXPECT_TRUE(ours == expected) << universe_model::difference(ours, expected);
        }
        patternRelease(&theirs);
    }
    worldRelease(world);
}

TEST_F(HashlifeBgolly, RealFilesAtAPowerOfTwoAndAnOddGeneration)
{
    struct Case {
        const char* file;
        int64_t power, odd;
    };
    // Quadratic growth, a wedge, gliders sent far off, a fuse: each at
    // 2^k and then at an odd generation further on.
    const Case cases[] = {
        {"catacryst.mc", 1 << 12, 5001},
        {"metacatacryst.mc", 1 << 13, 10007},
        {"wedge-grow.mc", 1 << 14, 20001},
        {"nick-gotts-1.mc", 1 << 16, 100003},
        {"gotts-dots.mc", 1 << 10, 3333},
        {"unlimited-novelty.mc", 1 << 15, 40001},
        {"ruler.mc", 1 << 17, 131073},
        {"jagged.mc", 1 << 12, 4097},
    };
    for (const Case& c : cases) {
        const std::string path = std::string(patternFolder) + c.file;
        Pattern start{};
        if (!readPattern(path, &start))
            continue;
        const UniverseRule rule = parsedRule(start.rule[0] ? start.rule : "B3/S23");
        compareWithBgolly(path, rule, patternCells(start), {c.power, c.odd}, true);
        patternRelease(&start);
    }
}

std::string rleOf(const Cells& cells, const std::string& rule)
{
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const Cell& c : cells) {
        left = std::min(left, c.second);
        right = std::max(right, c.second);
        top = std::min(top, c.first);
        bottom = std::max(bottom, c.first);
    }
    std::string text = "#CXRLE Pos=" + std::to_string(left) + "," + std::to_string(top) + "\n";
    text += "x = " + std::to_string(right - left + 1) + ", y = " + std::to_string(bottom - top + 1) + ", rule = " + rule + "\n";
    for (int64_t y = top; y <= bottom; y++) {
        for (int64_t x = left; x <= right; x++)
            text += cells.count({y, x}) ? 'o' : 'b';
        text += y < bottom ? "$\n" : "!\n";
    }
    return text;
}

// A rule with few births (so soups neither die at once nor fill the plane)
// as a MAP string: entry j has the neighbourhood's top-left cell as its
// highest bit, six entries a base64 character.
std::string randomMap(std::mt19937& random)
{
    uint8_t next[512];
    for (int i = 0; i < 512; i++) {
        const int n = __builtin_popcount(i & ~16);
        next[i] = (i & 16) ? random() % 2 : (n == 3 && random() % 3 != 0);
    }
    const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string map = "MAP";
    for (int i = 0; i < 86; i++) {
        int v = 0;
        for (int b = 0; b < 6; b++) {
            const int j = i * 6 + b;
            int index = 0;
            for (int bit = 0; bit < 9; bit++)
                index |= ((j >> (8 - bit)) & 1) << bit;
            v = v << 1 | (j < 512 ? next[index] : 0);
        }
        map += digits[v];
    }
    return map;
}

TEST_F(HashlifeBgolly, SoupsUnderEveryKindOfRule)
{
    std::mt19937 random(2024);
    const std::string rules[] = {"B3/S23", "B36/S23", "B2n3/S23-q", "B3/S2-i34q", randomMap(random), randomMap(random)};
    for (const std::string& text : rules) {
        const UniverseRule rule = parsedRule(text);
        ASSERT_EQ(rule.next[0], 0) << text;
        for (int round = 0; round < 2; round++) {
            // Across the origin, and far out past the 32-bit plane.
            const int64_t x0 = round ? ((int64_t)1 << 40) + 5 : -30, y0 = round ? -((int64_t)1 << 36) - 3 : -25;
            const Cells start = universe_model::soup(random, x0, y0, 60, 50, 40);
            writeFile("soup.rle", rleOf(start, text));
            compareWithBgolly(dir.path() + "/soup.rle", rule, start, {256, 1025}, false);
        }
    }
}

} // namespace
