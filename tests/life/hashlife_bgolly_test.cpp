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

// A pattern file loaded as the program loads one: onto the universe, where
// the file puts its cells; null when it cannot be.
World* loaded(const std::string& path)
{
    PatternReport report;
    PatternError error{};
    World* world = patternLoadWorld(path.c_str(), &report, &error, nullptr);
    EXPECT_NE(world, nullptr) << path << ": " << error.message;
    return world;
}

// bgolly's hashlife run on a file; its macrocell output places the cells
// where they are.
World* bgollyRun(const std::string& path, int64_t generations)
{
    std::string printed;
    const std::string command =
        "/usr/bin/bgolly -a HashLife -q -q -m " + std::to_string(generations) + " -o out.mc '" + path + "' 2>&1";
    EXPECT_EQ(runCommand(command, &printed), 0) << command << "\n" << printed;
    return loaded("out.mc");
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
    World* first = bgollyRun(path, 0);
    ASSERT_NE(first, nullptr);
    const Cells placed = cellsOf(first);
    worldRelease(first);
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
        World* theirs = bgollyRun(path, generation);
        ASSERT_NE(theirs, nullptr);
        EXPECT_EQ(worldPopulation(world), worldPopulation(theirs));
        WorldBox box, expected;
        ASSERT_EQ(worldBounds(world, &box), 1);
        ASSERT_EQ(worldBounds(theirs, &expected), 1);
        EXPECT_EQ(box.left + dx, expected.left);
        EXPECT_EQ(box.top + dy, expected.top);
        EXPECT_EQ(box.right + dx, expected.right);
        EXPECT_EQ(box.bottom + dy, expected.bottom);
        if (worldPopulation(theirs) <= 300000) {
            const Cells ours = moved(cellsOf(world), dx, dy), cells = cellsOf(theirs);
            EXPECT_TRUE(ours == cells) << universe_model::difference(ours, cells);
        }
        worldRelease(theirs);
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
        // Past a million cells: compared by population and box.
        {"catacryst.mc", 1 << 20, (1 << 20) + 3},
    };
    for (const Case& c : cases) {
        const std::string path = std::string(patternFolder) + c.file;
        World* start = loaded(path);
        if (!start)
            continue;
        const UniverseRule rule = parsedRule(start->ruleName);
        compareWithBgolly(path, rule, cellsOf(start), {c.power, c.odd}, true);
        worldRelease(start);
    }
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
            writeFile("soup.rle", universe_model::rleOf(start, text));
            compareWithBgolly(dir.path() + "/soup.rle", rule, start, {256, 1025}, false);
        }
    }
}

} // namespace
