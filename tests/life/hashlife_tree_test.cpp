// Macrocell files as trees: read straight into hashlife's nodes they put
// every cell where the listing reader puts it, hold trees of more cells than
// any list could (their population and box worked out by hand), carry the
// generation "#G" gives, and a hashlife world saved as Life.ini comes back
// from start-up's reading as it was, running on alike.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "hashlife_support.h"
#include "life/world.h"
#include "pattern/pattern.h"
#include "support/support.h"

namespace {

using namespace hashlife_support;

World* loadedWorld(const std::string& name, const std::string& text, PatternReport* report)
{
    writeFile(name, text);
    PatternError error{};
    World* world = patternLoadWorld(name.c_str(), report, &error, nullptr);
    EXPECT_NE(world, nullptr) << name << ": " << error.message;
    return world;
}

// The cells the listing reader gives, where the file puts them.
Cells listedCells(const std::string& text)
{
    Pattern pattern;
    PatternError error{};
    EXPECT_EQ(parsePattern(PATTERN_MACROCELL, text.data(), text.size(), &pattern, &error), 1) << error.message;
    Cells cells;
    for (int32_t i = 0; i < pattern.count; i++)
        cells.insert({pattern.top + pattern.cells[i].y, pattern.left + pattern.cells[i].x});
    patternRelease(&pattern);
    return cells;
}

// A quadtree whose node at each level holds the one below four times: a full
// square of 2^topLevel cells a side.
std::string fullTree(int topLevel)
{
    std::string text = "[M2]\n********$********$********$********$********$********$********$********\n";
    for (int level = 4; level <= topLevel; level++) {
        const std::string child = std::to_string(level - 3);
        text += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
    }
    return text;
}

TEST(HashlifeTree, TreesOpenOnHashlifeWithTheListedCellsWhereTheyLie)
{
    TempDir dir;
    const std::string files[] = {
        // A leaf for the whole pattern, which hashlife grows around itself.
        "[M2] (test)\n#R B3/S23\n#G 0\n$$..*$...*$.***$$$$\n",
        "[M2]\n*\n4 1 0 0 1\n5 0 0 2 0\n",
        // bgolly's own output for the Life 1.06 cell (0, 0).
        "[M2] (golly 3.3)\n#R B3/S23\n$$$$$$$*$\n4 0 1 0 0\n",
        // Nodes given twice and an empty square named by a node.
        "[M2]\n.*$*\n.*$*\n4 1 2 0 0\n4 0 0 0 0\n5 3 4 0 3\n6 0 5 5 0\n",
    };
    for (const std::string& text : files) {
        SCOPED_TRACE(text);
        PatternReport report;
        World* world = loadedWorld("p.mc", text, &report);
        ASSERT_NE(world, nullptr);
        EXPECT_STREQ(worldEngineName(world), "hashlife");
        EXPECT_TRUE(cellsOf(world) == listedCells(text));
        EXPECT_EQ(report.count, worldPopulation(world));
        worldRelease(world);
    }
}

TEST(HashlifeTree, TreesPastEveryListAreHeldWhole)
{
    TempDir dir;
    // Every cell of a square alive: 2^30 a side, the root's square from
    // -2^29 across and from 1 - 2^29 down; the same in a larger root's se
    // quarter; 2^40 a side, past 32-bit sides, its count past int64.
    struct Case {
        std::string text;
        int64_t left, top, side, population;
    } cases[] = {
        {fullTree(30), -((int64_t)1 << 29), 1 - ((int64_t)1 << 29), (int64_t)1 << 30, (int64_t)1 << 60},
        {fullTree(30) + "31 0 0 0 28\n", 0, 1, (int64_t)1 << 30, (int64_t)1 << 60},
        {fullTree(40), -((int64_t)1 << 39), 1 - ((int64_t)1 << 39), (int64_t)1 << 40, INT64_MAX},
    };
    for (const Case& c : cases) {
        PatternReport report;
        World* world = loadedWorld("full.mc", c.text, &report);
        ASSERT_NE(world, nullptr);
        EXPECT_EQ(worldPopulation(world), c.population);
        EXPECT_EQ(report.count, c.population);
        WorldBox box;
        ASSERT_EQ(worldBounds(world, &box), 1);
        EXPECT_EQ(box.left, c.left);
        EXPECT_EQ(box.top, c.top);
        EXPECT_EQ(box.right, c.left + c.side - 1);
        EXPECT_EQ(box.bottom, c.top + c.side - 1);
        EXPECT_EQ(worldGetCell(world, c.left, c.top), 1);
        EXPECT_EQ(worldGetCell(world, c.left - 1, c.top), 0);
        EXPECT_EQ(worldGetCell(world, c.left + c.side - 1, c.top + c.side), 0);
        worldRelease(world);
    }
}

TEST(HashlifeTree, TheGenerationOfTheFileIsTheWorlds)
{
    TempDir dir;
    PatternReport report;
    World* world = loadedWorld("g.mc", "[M2] (golly 3.3)\n#R B3/S23\n#G 9000000000\n$$..*$...*$.***$\n", &report);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(worldGeneration(world), 9000000000ll);
    worldRelease(world);
    for (const char* bad : {"#G\n", "#G -4\n", "#G 12x\n", "#G 99999999999999999999\n"}) {
        writeFile("bad.mc", std::string("[M2]\n") + bad + "*\n");
        PatternError error{};
        EXPECT_EQ(patternLoadWorld("bad.mc", &report, &error, nullptr), nullptr) << bad;
        EXPECT_EQ(error.line, 2) << bad;
        EXPECT_NE(std::string(error.message).find("'#G'"), std::string::npos) << error.message;
    }
}

TEST(HashlifeTree, SavedAsAMacrocellFileItComesBackAsItWas)
{
    TempDir dir;
    for (const char* rule : {"B3/S23", "B36/S23", "B2n3/S23-q"}) {
        SCOPED_TRACE(rule);
        const UniverseRule parsed = parsedRule(rule);
        World* world = hashlifeOf(parsed);
        ASSERT_NE(world, nullptr);
        std::mt19937 random(11);
        // Across the origin, and far off past the 32-bit plane.
        fill(world, universe_model::soup(random, -40, -33, 90, 70, 35));
        fill(world, universe_model::soup(random, ((int64_t)1 << 45) + 3, -((int64_t)1 << 50), 20, 20, 40));
        ASSERT_EQ(worldStep(world, 1001), 1) << world->failure;
        char reason[WORLD_REASON];
        ASSERT_EQ(worldSave(world, "", reason, sizeof reason), 1) << reason;
        ASSERT_EQ(readFile("Life.ini").compare(0, 5, "[M2] "), 0);
        WorldLoadNotes notes;
        World* read = worldLoadFiles(&notes);
        ASSERT_NE(read, nullptr) << lifeLoadReason();
        EXPECT_STREQ(worldEngineName(read), "hashlife");
        EXPECT_STREQ(read->ruleName, world->ruleName);
        EXPECT_EQ(worldGeneration(read), 1001);
        EXPECT_TRUE(cellsOf(read) == cellsOf(world));
        ASSERT_EQ(worldStep(world, 100), 1);
        ASSERT_EQ(worldStep(read, 100), 1);
        EXPECT_TRUE(cellsOf(read) == cellsOf(world));
        worldRelease(read);
        worldRelease(world);
    }
}

TEST(HashlifeTree, AMacrocellLifeIniUnderABoardOrB0RuleIsListed)
{
    TempDir dir;
    const std::string glider = "[M2]\n#G 12\n$$..*$...*$.***$\n";
    writeFile("Life.ini", glider);
    for (const char* rules : {"1 4 3 3", "B0136/S0125", "B3/S23:T40,30"}) {
        SCOPED_TRACE(rules);
        writeFile("Rules.ini", std::string(rules) + "\n");
        WorldLoadNotes notes;
        World* read = worldLoadFiles(&notes);
        ASSERT_NE(read, nullptr) << lifeLoadReason();
        EXPECT_STRNE(worldEngineName(read), "hashlife");
        if (read->fixedView) {
            // The board's cells are those of its square, as Life.ini's lines are.
            EXPECT_EQ(worldPopulation(read), 0);
        } else {
            EXPECT_TRUE(cellsOf(read) == listedCells(glider));
            EXPECT_EQ(worldGeneration(read), 12);
        }
        worldRelease(read);
    }
    writeFile("Life.ini", "[M2]\n4 1 0 0 0\n");
    WorldLoadNotes notes;
    EXPECT_EQ(worldLoadFiles(&notes), nullptr);
    EXPECT_NE(std::string(lifeLoadReason()).find("line 2: node 1 refers to node 1"), std::string::npos)
        << lifeLoadReason();
}

// Past WORLD_HASHLIFE_CELLS live cells, start-up's Life.ini of cell lines
// opens on hashlife, the cells where they were; under the threshold, or under
// a rule hashlife cannot run, on the universe.
TEST(HashlifeTree, PatternsPastTheThresholdOpenOnHashlife)
{
    TempDir dir;
    // A square of side 1449 holds 2,099,601 cells, 2,449 past the threshold;
    // two columns fewer leave it 449 under.
    const struct {
        int32_t width;
        const char* rules;
    } cases[] = {{1449, "B3/S23"}, {1447, "B3/S23"}, {1449, "B3/S23:T2000,2000"}, {1449, "B03/S23"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " " + c.rules);
        const int64_t count = (int64_t)c.width * 1449;
        std::string text = std::to_string(count) + "\n";
        text.reserve((size_t)count * 12);
        for (int32_t y = 0; y < 1449; y++)
            for (int32_t x = 0; x < c.width; x++)
                text += std::to_string(x - 700) + " " + std::to_string(y - 700) + " 0\n";
        writeFile("Life.ini", text);
        writeFile("Rules.ini", std::string(c.rules) + "\n");
        WorldLoadNotes notes;
        World* read = worldLoadFiles(&notes);
        ASSERT_NE(read, nullptr) << lifeLoadReason();
        const bool tree = c.width == 1449 && strcmp(c.rules, "B3/S23") == 0;
        EXPECT_STREQ(worldEngineName(read), tree ? "hashlife" : "universe");
        EXPECT_EQ(worldPopulation(read), count);
        WorldBox box;
        ASSERT_EQ(worldBounds(read, &box), 1);
        EXPECT_EQ(box.left, -700);
        EXPECT_EQ(box.top, -700);
        EXPECT_EQ(box.right, c.width - 701);
        EXPECT_EQ(box.bottom, 748);
        worldRelease(read);
    }
}

} // namespace
