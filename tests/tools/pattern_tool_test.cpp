// veltrix-pattern end to end: converts well-known patterns, loads the written
// Life.ini and Rules.ini the way the program does and checks that the board
// evolves as those patterns are known to.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "life/life.h"
#include "support/support.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

const char gliderRle[] = "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n";

const char gosperGunRle[] =
    "#N Gosper glider gun\n"
    "#C The first known gun: one glider every 30 generations.\n"
    "x = 36, y = 9, rule = B3/S23\n"
    "24bo$22bobo$12b2o6b2o12b2o$11bo3bo4b2o12b2o$2o8bo5bo3b2o$2o8bo3bob2o4b\n"
    "obo$10bo5bo7bo$11bo3bo$12b2o!\n";

const char rPentominoCells[] = "!Name: R-pentomino\n.OO\nOO.\n.O.\n";

int convert(const std::string& arguments, std::string* output)
{
    return runCommand(std::string(VELTRIX_BIN_DIR) + "/veltrix-pattern " + arguments + " 2>&1", output);
}

Cells alive(const LifeGrid* grid)
{
    Cells cells;
    for (int x = 0; x < 64; x++)
        for (int y = 0; y < 64; y++)
            if (grid->cells[x * 64 + y] == LIFE_ALIVE)
                cells.insert({x, y});
    return cells;
}

Cells shifted(const Cells& cells, int dx, int dy)
{
    Cells out;
    for (auto& c : cells)
        out.insert({c.first + dx, c.second + dy});
    return out;
}

// Conway's rule on an unbounded plane: the reference for patterns that stay
// clear of the board's edges.
Cells referenceStep(const Cells& cells)
{
    Cells candidates, next;
    for (auto& c : cells)
        for (int dx = -1; dx <= 1; dx++)
            for (int dy = -1; dy <= 1; dy++)
                candidates.insert({c.first + dx, c.second + dy});
    for (auto& c : candidates) {
        int n = 0;
        for (int dx = -1; dx <= 1; dx++)
            for (int dy = -1; dy <= 1; dy++)
                n += (dx || dy) && cells.count({c.first + dx, c.second + dy});
        if (n == 3 || (n == 2 && cells.count(c)))
            next.insert(c);
    }
    return next;
}

// Loads the converted files as the program's start-up does.
LifeGrid* loadConverted(LifeRule* rule)
{
    *rule = loadRules();
    return loadLife("Life.ini");
}

} // namespace

TEST(PatternTool, GliderIsCentredAndMovesOneCellDiagonallyEveryFourGenerations)
{
    TempDir dir;
    writeFile("glider.rle", gliderRle);
    std::string out;
    ASSERT_EQ(convert("glider.rle --board", &out), 0) << out;
    // The 3 x 3 box's middle cell (1, 1) lands on (32, 32).
    EXPECT_EQ(readFile("Life.ini"), "5\n31 33 0\n32 31 0\n32 33 0\n33 32 0\n33 33 0\n");
    EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
    EXPECT_NE(out.find("Cells written: 5"), std::string::npos) << out;
    EXPECT_NE(out.find("Cells dropped: 0"), std::string::npos) << out;
    EXPECT_NE(out.find("Bounding box: (31, 31) to (33, 33)"), std::string::npos) << out;
    EXPECT_NE(out.find("Rule: B3/S23"), std::string::npos) << out;

    LifeRule rule;
    LifeGrid* grid = loadConverted(&rule);
    ASSERT_NE(grid, nullptr);
    const Cells start = alive(grid);
    for (int k = 1; k <= 7; k++) {
        for (int i = 0; i < 4; i++)
            lifeStep(grid, &rule);
        EXPECT_EQ(alive(grid), shifted(start, k, k)) << "after " << 4 * k << " generations";
    }
    lifeRelease(grid);
}

TEST(PatternTool, GosperGunEmitsAGliderEveryThirtyGenerations)
{
    TempDir dir;
    writeFile("gun.rle", gosperGunRle);
    std::string out;
    ASSERT_EQ(convert("gun.rle --board --at 0 0", &out), 0) << out;
    EXPECT_NE(out.find("Cells written: 36"), std::string::npos) << out;
    EXPECT_NE(out.find("Bounding box: (0, 0) to (35, 8)"), std::string::npos) << out;

    LifeRule rule;
    LifeGrid* grid = loadConverted(&rule);
    ASSERT_NE(grid, nullptr);
    const Cells gun = alive(grid);
    ASSERT_EQ(gun.size(), 36u);
    auto inGunBox = [](const std::pair<int, int>& c) { return c.first < 36 && c.second < 9; };
    Cells firstGlider;
    // Four gliders leave before the first one reaches the board's corner.
    for (int k = 1; k <= 4; k++) {
        for (int i = 0; i < 30; i++)
            lifeStep(grid, &rule);
        Cells inside, outside;
        for (auto& c : alive(grid))
            (inGunBox(c) ? inside : outside).insert(c);
        EXPECT_EQ(inside, gun) << "the gun repeats every 30 generations, k = " << k;
        EXPECT_EQ(outside.size(), 5u * k) << "one 5-cell glider more every 30 generations, k = " << k;
        if (k == 1)
            firstGlider = outside;
        for (auto& c : firstGlider)
            EXPECT_TRUE(outside.count(c)) << "every glider leaves from the same place, k = " << k;
    }
    lifeRelease(grid);
}

TEST(PatternTool, RPentominoEvolvesAsOnAnOpenPlane)
{
    TempDir dir;
    writeFile("r.cells", rPentominoCells);
    writeFile("Rules.ini", "1 4 3 3\n");
    std::string out;
    ASSERT_EQ(convert("r.cells --board", &out), 0) << out;
    EXPECT_EQ(readFile("Life.ini"), "5\n31 32 0\n32 31 0\n32 32 0\n32 33 0\n33 31 0\n");
    EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
    EXPECT_NE(out.find("Conway's rule by convention"), std::string::npos) << out;

    LifeRule rule;
    LifeGrid* grid = loadConverted(&rule);
    ASSERT_NE(grid, nullptr);
    Cells expected = {{32, 31}, {33, 31}, {31, 32}, {32, 32}, {32, 33}};
    ASSERT_EQ(alive(grid), expected);
    // Until generation 80 it stays a cell away from every edge, so the board
    // must agree with the unbounded plane.
    for (int generation = 1; generation <= 80; generation++) {
        lifeStep(grid, &rule);
        expected = referenceStep(expected);
        for (auto& c : expected)
            ASSERT_TRUE(c.first >= 1 && c.first <= 62 && c.second >= 1 && c.second <= 62);
        ASSERT_EQ(alive(grid), expected) << "generation " << generation;
    }
    lifeRelease(grid);
}

TEST(PatternTool, CoordinateListPlacedWithAtAndCellsOffTheBoardDropped)
{
    TempDir dir;
    writeFile("g.lif", "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n");
    std::string out;
    ASSERT_EQ(convert("g.lif --board --at 62 0", &out), 0) << out;
    // Box cells (1, 0), (2, 1), (0, 2), (1, 2), (2, 2) from (62, 0): column 64 is off.
    EXPECT_EQ(readFile("Life.ini"), "3\n62 2 0\n63 0 0\n63 2 0\n");
    EXPECT_NE(out.find("Cells dropped: 2 (off the 64 x 64 board, not wrapped: (64, 1) (64, 2))"), std::string::npos)
        << out;
    EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
}

// A pattern without a rule means Conway's, not whatever rule the last one left.
TEST(PatternTool, RulesByConventionUnlessKept)
{
    const struct {
        const char* name;
        const char* text;
        const char* arguments;
        const char* rules;
        const char* words;
    } cases[] = {
        {"g.cells", ".O.\n..O\nOOO\n", "", "1 4 3 3\n", "B3/S23 (none in the file: Conway's rule by convention)"},
        {"g.cells", ".O.\n..O\nOOO\n", "--keep-rules", "8 9 2 2\n", "Rules.ini left as it was"},
        {"g.rle", "x = 3, y = 3, skip = 1, fps = 5\nbo$2bo$3o!", "", "1 4 3 3\n",
         "line 1: unknown header fields ignored: skip fps"},
        {"g.rle", "x = 3, y = 3\nbo$2bo$3o!", "", "1 4 3 3\n", "by convention"},
        {"g.rle", "x = 3, y = 3, rule = B3/S23:P64,64\nbo$2bo$3o!", "--keep-rules", "1 4 3 3\n", "Rule: B3/S23,"},
        {"g.lif", "#Life 1.05\n#R 23/3\n.*\n", "", "1 4 3 3\n", "Life 1.05 pattern, 1 x 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.arguments);
        TempDir dir;
        writeFile(c.name, c.text);
        writeFile("Rules.ini", "8 9 2 2\n"); // Seeds, B2/S
        std::string out;
        ASSERT_EQ(convert(std::string(c.name) + " --board " + c.arguments, &out), 0) << out;
        EXPECT_EQ(readFile("Rules.ini"), c.rules);
        EXPECT_NE(out.find(c.words), std::string::npos) << out;
    }
}

// On a universe every cell stays where the file puts it, and Rules.ini names
// the rule, grid and all, whether or not four numbers could hold it.
TEST(PatternTool, UniverseKeepsTheCellsWhereTheFilePutsThemAndNamesTheRule)
{
    const struct {
        const char* name;
        const char* text;
        const char* life;
        const char* rules;
        const char* words;
    } cases[] = {
        {"glider.rle", gliderRle, "5\n1 0 0\n2 1 0\n0 2 0\n1 2 0\n2 2 0\n", "B3/S23\n",
         "Bounding box: (0, 0) to (2, 2)\nRule: B3/S23, written to Rules.ini\nWrote Life.ini and Rules.ini"},
        {"g.lif", "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n", "5\n-1 1 0\n0 -1 0\n0 1 0\n1 0 0\n1 1 0\n", "B3/S23\n",
         "Bounding box: (-1, -1) to (1, 1)\nRule: B3/S23 (none in the file"},
        {"torus.rle", "#CXRLE Pos=-5,7 Gen=3\nx = 3, y = 1, rule = b3s23:t20,20\n3o!\n", "3\n-5 7 0\n-4 7 0\n-3 7 0\n",
         "B3/S23:T20,20\n", "Rule: B3/S23:T20,20, written"},
        {"highlife.rle", "x = 3, y = 3, rule = 23/36\nbo$2bo$3o!\n", "5\n1 0 0\n2 1 0\n0 2 0\n1 2 0\n2 2 0\n",
         "B36/S23\n", "Rule: B36/S23, written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(c.name, c.text);
        std::string out;
        ASSERT_EQ(convert(c.name, &out), 0) << out;
        EXPECT_EQ(readFile("Life.ini"), c.life);
        EXPECT_EQ(readFile("Rules.ini"), c.rules);
        EXPECT_NE(out.find(c.words), std::string::npos) << out;
    }
}

TEST(PatternTool, HelpNamesFormatsRulesAndLimits)
{
    std::string out;
    ASSERT_EQ(convert("--help", &out), 0) << out;
    for (const char* words : {"run-length", "plaintext", "Life 1.05", "Life 1.06", "XLife", "dblife", "macrocell",
                              "gzip", "B3/S23", ":P64,64", "--at X Y", "from -2147483647 to 2147483647",
                              "--keep-rules", "64 MiB", "134217728 live"})
        EXPECT_NE(out.find(words), std::string::npos) << words;
}

TEST(PatternTool, RefusalsWriteNothing)
{
    const struct {
        const char* name;
        std::string text;
        const char* arguments;
        const char* words;
    } cases[] = {
        {"highlife.rle", "x = 3, y = 3, rule = B36/S23\nbo$2bo$3o!\n", "--board", "birth on 3 and 6 neighbours"},
        {"wide.rle", "#C\nx = 3, y = 3\nbo$2bo$2147483646b2o!\n", "", "line 3: column 20: live cells on row 3"},
        {"cut.rle", "x = 3, y = 3\nbo$2bo$3o", "", "line 2: the pattern ends without '!'"},
        {"huge.rle", "x = 3000000000, y = 1\n!", "", "line 1: header: x is more than 2147483647"},
        {"junk.rle", std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "", "line 1: byte 0x7F"},
        {"glider.rle", gliderRle, "--board --at 64 0", "none of the 5 live cells lands"},
        {"glider.rle", gliderRle, "--board --at -3 0", "is 3 x 3: choose that cell with veltrix-pattern --at X Y"},
        {"empty.cells", "!nothing here\r\n", "", "no live cells"},
        {"seeds.rle", "x = 1, y = 1, rule = B2/S:T64,64\no!", "--board", "wraps at its edges"},
        {"hensel.rle", "x = 3, y = 3, rule = B2n3/S23-q\nbo$2bo$3o!\n", "--board",
         "birth on 2 neighbours depends on which neighbours they are"},
        {"glider.rle", gliderRle, "--at 1", "usage"},
        {"missing.rle", "", "", "cannot open"},
        {"bounded.rle", "#CXRLE Pos=1,1\nx = 3, y = 3, rule = B3/S23:P4,4\nbo$2bo$3o!\n", "",
         "the cell (2, 1) lies outside"},
        {"states.lif", "#Life 1.05\n#R Nowhere\n.*\n", "", "no Nowhere.rule was found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (std::string(c.name) != "missing.rle")
            writeFile(c.name, c.text);
        writeFile("Life.ini", "1\n0 0 0\n");
        std::string out;
        EXPECT_EQ(convert(std::string(c.name) + " " + c.arguments, &out), 1);
        EXPECT_NE(out.find(c.words), std::string::npos) << out;
        EXPECT_EQ(readFile("Life.ini"), "1\n0 0 0\n");
        EXPECT_FALSE(fileIsThere("Rules.ini"));
        EXPECT_FALSE(fileIsThere("Life.ini.tmp"));
    }
}

// The file is read in growing blocks up to its limit: text after the '!' pads
// a glider to exactly 16 MiB, which converts, and one byte more is refused.
TEST(PatternTool, FilesUpTo64MiBAreReadWhole)
{
    const size_t limit = (size_t)64 << 20;
    const std::string glider = gliderRle;
    for (size_t size : {limit, limit + 1}) {
        SCOPED_TRACE(size);
        TempDir dir;
        writeFile("big.rle", glider + std::string(size - glider.size(), 'x'));
        std::string out;
        EXPECT_EQ(convert("big.rle", &out), size > limit ? 1 : 0) << out;
        EXPECT_EQ(out.find("larger than 64 MiB") != std::string::npos, size > limit) << out;
    }
}
