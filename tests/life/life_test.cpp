#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "life/life.h"
#include "support/support.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

Cells alive(const LifeGrid* g)
{
    Cells cells;
    for (int x = 0; x < 64; x++)
        for (int y = 0; y < 64; y++)
            if (g->cells[x * 64 + y] == LIFE_ALIVE)
                cells.insert({x, y});
    return cells;
}

LifeGrid* gridOf(const Cells& cells)
{
    std::string text = std::to_string(cells.size()) + "\n";
    for (auto& c : cells)
        text += std::to_string(c.first) + " " + std::to_string(c.second) + " 0\n";
    writeFile("Life.ini", text);
    return loadLife("Life.ini");
}

// An independent reference step on a bounded board with Conway's rule.
Cells referenceStep(const Cells& cells)
{
    Cells next;
    for (int x = 0; x < 64; x++)
        for (int y = 0; y < 64; y++) {
            int n = 0;
            for (int dx = -1; dx <= 1; dx++)
                for (int dy = -1; dy <= 1; dy++)
                    if ((dx || dy) && cells.count({x + dx, y + dy}))
                        n++;
            bool live = cells.count({x, y}) > 0;
            if ((live && (n == 2 || n == 3)) || (!live && n == 3))
                next.insert({x, y});
        }
    return next;
}

struct LifeTest : ::testing::Test {
    TempDir dir;
    LifeRule rule = conwayRule;
    void SetUp() override { rule = loadRules(); }
};

} // namespace

TEST_F(LifeTest, PatternFileSetsOnlyCellsOnTheBoard)
{
    writeFile("Life.ini", "6\n1 2 0\n63 63 0\n5 5 1\n64 0 0\n0 -1 0\n\n  7\n8\n0\n");
    LifeGrid* g = loadLife("Life.ini");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(alive(g), (Cells{{1, 2}, {63, 63}, {7, 8}}));
    for (int i = 0; i < LIFE_CELLS; i++)
        ASSERT_TRUE(g->cells[i] == LIFE_DEAD || g->cells[i] == LIFE_ALIVE);
    lifeRelease(g);
}

TEST_F(LifeTest, BadPatternFilesNeverReadOutsideTheBoardOrHang)
{
    const char* cases[] = {
        "",                             // no count at all
        "-5\n1 1 0\n",                  // negative count
        "2147483647\n3 3 0\n",          // huge count, one triple
        "3\n1 1 0\nabc 2 2 0\n4 4 0\n", // garbage stops reading
        "2\n1 1\n",                     // cut-short triple
        "4\n--1 2 0 9 9 0\n",           // a failed read that still consumes input
    };
    for (const char* text : cases) {
        writeFile("Life.ini", text);
        LifeGrid* g = loadLife("Life.ini");
        ASSERT_NE(g, nullptr) << text;
        lifeRelease(g);
    }
    writeFile("Life.ini", "2147483647\n3 3 0\n");
    LifeGrid* g = loadLife("Life.ini");
    EXPECT_EQ(alive(g), (Cells{{3, 3}}));
    lifeRelease(g);
}

TEST_F(LifeTest, APipeGivesTheSameBoardAsAFile)
{
    struct Case {
        const char* text;
        Cells cells;
    } cases[] = {
        {"2\n1 2 0\n3 4 0\n", {{1, 2}, {3, 4}}},
        // A sign without digits fails its triple but is consumed; the next
        // triples are read.
        {"3\n1 2 - 4 5 0 6 7 0\n", {{4, 5}, {6, 7}}},
        {"4\n--1 2 0 9 9 0\n", {{9, 9}}},
        {"3\n1 1 0\nabc 2 2 0\n4 4 0\n", {{1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        writeFile("Life.ini", c.text);
        LifeGrid* fromFile = loadLife("Life.ini");
        ASSERT_NE(fromFile, nullptr);
        EXPECT_EQ(alive(fromFile), c.cells);
        lifeRelease(fromFile);
        // The whole text fits in the pipe's buffer, so it is written and the
        // writing end closed before the pattern is read.
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        const size_t size = strlen(c.text);
        const bool written = write(ends[1], c.text, size) == (ssize_t)size;
        close(ends[1]);
        LifeGrid* fromPipe = written ? loadLife(("/dev/fd/" + std::to_string(ends[0])).c_str()) : nullptr;
        close(ends[0]);
        ASSERT_NE(fromPipe, nullptr);
        EXPECT_EQ(alive(fromPipe), c.cells);
        lifeRelease(fromPipe);
    }
}

TEST_F(LifeTest, UnreadablePatternFileGivesNoGridAndSaysWhy)
{
    EXPECT_EQ(loadLife("Life.ini"), nullptr);
    EXPECT_STREQ(lifeLoadReason(), "Life.ini: cannot be opened (No such file or directory)");
    // A folder opens on some systems but cannot be read: no board either,
    // rather than an empty one.
    makeFolder("Life.ini");
    EXPECT_EQ(loadLife("Life.ini"), nullptr);
    EXPECT_EQ(std::string(lifeLoadReason()).rfind("Life.ini: cannot be ", 0), 0u) << lifeLoadReason();
}

// What the board or the rule was read without is left as a warning; a file
// that gives what it should leaves none.
TEST_F(LifeTest, FilesWithoutTheirLeadingNumberLeaveAWarning)
{
    writeFile("Life.ini", "#Life 1.06\n0 0\n");
    LifeGrid* g = loadLife("Life.ini");
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(alive(g).empty());
    EXPECT_STREQ(lifeLoadReason(), "Life.ini: does not begin with a cell count; the board starts empty");
    lifeRelease(g);
    writeFile("Life.ini", "1\n2 3 0\n");
    g = loadLife("Life.ini");
    EXPECT_STREQ(lifeLoadReason(), "");
    lifeRelease(g);

    writeFile("Rules.ini", "B3/S23\n");
    rule = loadRules();
    EXPECT_STREQ(lifeLoadReason(), "Rules.ini: does not begin with a number; the rule stays Conway's, 1 4 3 3");
    writeFile("Rules.ini", "2 3\n");
    rule = loadRules();
    EXPECT_STREQ(lifeLoadReason(), "");
    remove("Rules.ini");
    rule = loadRules();
    EXPECT_STREQ(lifeLoadReason(), "");
}

TEST_F(LifeTest, RulesFileReplacesLeadingNumbersOnly)
{
    EXPECT_EQ(rule.surviveAbove, 1);
    EXPECT_EQ(rule.surviveBelow, 4);
    EXPECT_EQ(rule.birthMin, 3);
    EXPECT_EQ(rule.birthMax, 3);
    writeFile("Rules.ini", "0");
    rule = loadRules();
    EXPECT_EQ(rule.surviveAbove, 0);
    EXPECT_EQ(rule.surviveBelow, 4);
    EXPECT_EQ(rule.birthMin, 3);
    writeFile("Rules.ini", "5 6 x 8");
    rule = loadRules();
    EXPECT_EQ(rule.surviveAbove, 5);
    EXPECT_EQ(rule.surviveBelow, 6);
    EXPECT_EQ(rule.birthMin, 3);
    EXPECT_EQ(rule.birthMax, 3);
    writeFile("Rules.ini", "junk");
    rule = loadRules();
    EXPECT_EQ(rule.surviveAbove, 1);
}

TEST_F(LifeTest, NeighboursStopAtTheEdgesWithoutWrapping)
{
    LifeGrid* g = gridOf({{0, 0}, {1, 0}, {0, 1}, {1, 1}, {63, 0}, {0, 63}});
    EXPECT_EQ(countNeighbours(g, 0, 0, 0), 3);
    EXPECT_EQ(countNeighbours(g, 63, 1, 0), 1);
    EXPECT_EQ(countNeighbours(g, 2, 2, 0), 1);
    EXPECT_EQ(countNeighbours(g, -1, -1, 0), 1);
    lifeRelease(g);
}

TEST_F(LifeTest, StepMatchesAnIndependentReference)
{
    Cells blinker = {{10, 10}, {11, 10}, {12, 10}};
    LifeGrid* g = gridOf(blinker);
    lifeStep(g, &rule);
    EXPECT_EQ(alive(g), (Cells{{11, 9}, {11, 10}, {11, 11}}));
    lifeStep(g, &rule);
    EXPECT_EQ(alive(g), blinker);
    lifeRelease(g);

    Cells block = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    g = gridOf(block);
    lifeStep(g, &rule);
    EXPECT_EQ(alive(g), block);
    lifeRelease(g);

    Cells soup;
    unsigned seed = 12345;
    for (int i = 0; i < 1500; i++) {
        seed = seed * 1103515245u + 12345u;
        soup.insert({(int)(seed >> 8) % 64, (int)(seed >> 20) % 64});
    }
    g = gridOf(soup);
    for (int step = 0; step < 30; step++) {
        soup = referenceStep(soup);
        lifeStep(g, &rule);
        ASSERT_EQ(alive(g), soup) << "step " << step;
    }
    lifeRelease(g);
}

TEST_F(LifeTest, RulesAndOddCellValuesDriveTheStep)
{
    LifeGrid* g = gridOf({{5, 5}, {5, 6}, {6, 5}, {6, 6}});
    g->cells[40 * 64 + 40] = 7;
    g->cells[41 * 64 + 41] = 0;
    writeFile("Rules.ini", "2 3 3 3");
    rule = loadRules();
    lifeStep(g, &rule);
    EXPECT_TRUE(alive(g).empty());
    for (int i = 0; i < LIFE_CELLS; i++)
        ASSERT_EQ(g->cells[i], LIFE_DEAD);
    lifeRelease(g);

    g = gridOf({});
    rule = loadRules();
    lifeStep(g, &rule);
    EXPECT_TRUE(alive(g).empty());
    lifeRelease(g);
}

// Rules at the ends of the neighbour range, worked out by hand for one live
// cell at (10, 10): "-1 9 0 0" keeps every live cell and wakes every dead cell
// without live neighbours, so all but the eight around (10, 10) live;
// "8 9 0 8" lets no live cell survive and wakes every dead one.
TEST_F(LifeTest, RulesAtTheEndsOfTheNeighbourRange)
{
    const struct {
        const char* rules;
        bool centreAlive;
        bool ringAlive;
        bool farAlive;
    } cases[] = {{"-1 9 0 0", true, false, true}, {"8 9 0 8", false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        writeFile("Rules.ini", c.rules);
        rule = loadRules();
        LifeGrid* g = gridOf({{10, 10}});
        lifeStep(g, &rule);
        EXPECT_EQ(g->cells[10 * 64 + 10] == LIFE_ALIVE, c.centreAlive);
        for (int dx = -1; dx <= 1; dx++) {
            for (int dy = -1; dy <= 1; dy++) {
                if (dx || dy) {
                    EXPECT_EQ(g->cells[(10 + dx) * 64 + 10 + dy] == LIFE_ALIVE, c.ringAlive);
                }
            }
        }
        const int far[][2] = {{0, 0}, {63, 63}, {0, 63}, {12, 10}, {30, 40}};
        for (const auto& f : far) {
            EXPECT_EQ(g->cells[f[0] * 64 + f[1]] == LIFE_ALIVE, c.farAlive);
        }
        lifeRelease(g);
    }
}
