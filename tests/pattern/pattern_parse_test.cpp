// The pattern tool's parsers, format choice, rule conversion and placement,
// run on text in memory.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "pattern/pattern.h"
#include "platform/platform.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

Cells cellsOf(const Pattern& p)
{
    Cells cells;
    for (int32_t k = 0; k < p.count; k++)
        cells.insert({p.cells[k].x, p.cells[k].y});
    return cells;
}

const Cells glider = {{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};

struct Good {
    PatternFormat format;
    std::string text;
    int width, height;
    Cells cells;
    std::string rule;
};

struct Bad {
    PatternFormat format;
    std::string text;
    int line;
    std::string words;
};

int parse(PatternFormat format, const std::string& text, Pattern* p, PatternError* e)
{
    *e = PatternError{-1, ""};
    return parsePattern(format, text.data(), text.size(), p, e);
}

} // namespace

TEST(PatternParse, ReadsWellFormedPatterns)
{
    const Good cases[] = {
        {PATTERN_RLE, "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n", 3, 3, glider, "B3/S23"},
        {PATTERN_RLE, "#C crlf, runs over lines\r\nx=4,y=2\r\n2o2b\r\n$4o!\r\n", 4, 2,
         {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}}, ""},
        {PATTERN_RLE, "x = 2, y = 1\n.A!ignored: text after the end", 2, 1, {{1, 0}}, ""},
        {PATTERN_RLE, "x = 1, y = 1\no$!\n", 1, 1, {{0, 0}}, ""},
        {PATTERN_RLE, "x = 3, y = 3, rule = B3/S23:T64,64\n2$2bo!", 3, 3, {{2, 2}}, "B3/S23:T64,64"},
        {PATTERN_RLE, "X = 3, Y = 3, skip = 1, fps = 10, Rule = B3/S23\nbx$2by$3o5b$$!", 3, 3, glider, "B3/S23"},
        {PATTERN_RLE, "\xEF\xBB\xBF#N lone CR\rx = 3, y = 3\rbo$2bo$\r\n3o!\r\x1A\x1A", 3, 3, glider, ""},
        {PATTERN_CELLS, "!Name: Glider\n.O.\n..O\nOOO\n", 3, 3, glider, ""},
        {PATTERN_CELLS, "O\n\n..O  \n\n\n", 3, 3, {{0, 0}, {2, 2}}, ""},
        // Comment lines ending in a lone CR, rows in CRLF: seen in a real collection.
        {PATTERN_CELLS, "!Name: Glider\r!\r.O.\r\n..O\r\nOOO\r\n", 3, 3, glider, ""},
        {PATTERN_CELLS, "\xEF\xBB\xBF.O.\r..O\rOOO\x1A", 3, 3, glider, ""},
        {PATTERN_LIFE105, "#Life 1.05\r\n#D Glider\r\n#N\r\n#P -1 -1\r\n.*\r\n..*\r\n***\r\n", 3, 3, glider,
         "B3/S23"},
        {PATTERN_LIFE105, "#Life 1.05\n#R 23/36\n#P 0 0\n**\n\n#P 10 5\n*\n", 11, 6,
         {{0, 0}, {1, 0}, {10, 5}}, "23/36"},
        {PATTERN_LIFE105, "#Life 1.05\n.*\n#P 0 0\n*.\n", 2, 1, {{0, 0}, {1, 0}}, ""},
        // A bare "#P" (blanks after it too) starts a block at (0, 0) afresh.
        {PATTERN_LIFE105, "#Life 1.05\n#P 3 3\n*\n#P\n.*\n#P  \t\n*\n", 4, 4, {{3, 3}, {1, 0}, {0, 0}}, ""},
        {PATTERN_LIFE106, "#Life 1.06\r0 -1\r1 0\r\n-1 1\n0 1\r1 1", 3, 3, glider, ""},
        {PATTERN_LIFE106, "#Life 1.06\n#D duplicates count once\n5 5\n 5\t5 \n+7 -2\n", 3, 8, {{0, 7}, {2, 0}}, ""},
    };
    for (const Good& c : cases) {
        SCOPED_TRACE(c.text);
        Pattern p;
        PatternError e;
        ASSERT_EQ(parse(c.format, c.text, &p, &e), 1) << e.message;
        EXPECT_EQ(p.format, c.format);
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_EQ(cellsOf(p), c.cells);
        EXPECT_EQ(p.count, (int32_t)c.cells.size());
        EXPECT_EQ(std::string(p.rule), c.rule);
        patternRelease(&p);
    }
}

TEST(PatternParse, RefusesBadInputNamingTheLine)
{
    std::string tooMany = "x = 4096, y = 4096\n";
    for (int row = 0; row < 300; row++)
        tooMany += "4096o$\n";
    const Bad cases[] = {
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$4o!", 2, "header says x = 3"},
        {PATTERN_RLE, "x = 3, y = 2\nbo$2bo$\n3o!", 3, "header says y = 2"},
        {PATTERN_RLE, "x = 1, y = 1\n4096$4096$o!", 2, "header says y = 1"},
        {PATTERN_RLE, "x = 3, y = 3\n\n0bo!", 3, "cannot start with 0"},
        {PATTERN_RLE, "x = 3, y = 3\n40961o!", 2, "larger than 4096"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$\n3o\n", 3, "without '!'"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$3o3\n", 2, "run count with no"},
        {PATTERN_RLE, "x = 3, y = 3\n3!", 2, "before '!'"},
        {PATTERN_RLE, "x = 5000, y = 3\n!", 1, "more than 4096"},
        {PATTERN_RLE, "x = 99999999999999999999, y = 3\n!", 1, "more than 4096"},
        {PATTERN_RLE, "x = 3\nbo!", 1, "both x and y"},
        {PATTERN_RLE, "#C\nbo$2bo$3o!", 2, "header"},
        {PATTERN_RLE, "x = 3, Y = 3, X = 4\nbo!", 1, "repeated field 'X'"},
        {PATTERN_RLE, "x = 3, y = 3\n5bo!", 2, "row 1 runs to 6 cells"},
        {PATTERN_RLE, "x = 3, y = 3\rbo$\r2bz!", 3, "'z'"},
        {PATTERN_RLE, "x = 3, y = 3\r\nbo$\r\x01!", 3, "not a text pattern"},
        {PATTERN_RLE, "x = 1, y = 1\no\x1A!\n", 2, "byte 0x1A"},
        {PATTERN_RLE, "x = 0, y = 0\nb!", 0, "no live cells"},
        {PATTERN_CELLS, "", 0, "no live cells"},
        {PATTERN_CELLS, "!nothing but a comment\r\n...\r\n", 0, "no live cells"},
        {PATTERN_LIFE105, "#Life 1.05\n#P 0 0\n...\n", 0, "no live cells"},
        {PATTERN_LIFE106, "#Life 1.06\n", 0, "no live cells"},
        {PATTERN_LIFE105, "#Life 1.06\n0 0\n", 1, "#Life 1.05"},
        {PATTERN_LIFE105, "#Life 1.05\n#P 1\n*\n", 2, "'#P' needs two whole numbers"},
        {PATTERN_LIFE105, "#Life 1.05\n*O*\n", 2, "column 2: unexpected 'O'"},
        {PATTERN_LIFE105, "#Life 1.05\n#P -1000000 0\n*\n#P 1000000 0\n*\n", 5, "more than 4096"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bz!", 2, "'z'"},
        {PATTERN_RLE, "x = 3, y = 3\nbo\xC3\xA9!", 2, "0xC3"},
        {PATTERN_RLE, "#C nothing but comments\n", 1, "no header"},
        {PATTERN_RLE, tooMany, 258, "more than 1048576 live cells"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$\x01!", 2, "not a text pattern"},
        {PATTERN_CELLS, "!c\n.O.\nO*O\n", 3, "column 2: unexpected '*'"},
        {PATTERN_CELLS, std::string(4097, '.'), 1, "wider than 4096"},
        {PATTERN_LIFE106, "0 0\n", 1, "#Life 1.06"},
        {PATTERN_LIFE106, "#Life 1.06\n1 2 3\n", 2, "unexpected text"},
        {PATTERN_LIFE106, "#Life 1.06\n1\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n1 x\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n2000000 0\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n0 0\n\n-2000 7\n2096 7\n", 5, "more than 4096"},
        {PATTERN_LIFE106, std::string("#Life 1.06\n0 0\0\n", 16), 2, "not a text pattern"},
        {PATTERN_UNKNOWN, "hello\n", 0, "cannot tell the format"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        Pattern p;
        PatternError e;
        EXPECT_EQ(parse(c.format, c.text, &p, &e), 0);
        EXPECT_EQ(e.line, c.line);
        EXPECT_NE(std::string(e.message).find(c.words), std::string::npos) << e.message;
        EXPECT_EQ(p.cells, nullptr);
    }
}

TEST(PatternParse, RunningOutOfMemoryIsAnErrorNotACrash)
{
    const std::string text = "x = 3, y = 3\nbo$2bo$3o!";
    Pattern p;
    PatternError e;
    heapHookReset();
    heapHook.failAt = 1;
    EXPECT_EQ(parse(PATTERN_RLE, text, &p, &e), 0);
    heapHookReset();
    EXPECT_EQ(e.line, 2);
    EXPECT_NE(std::string(e.message).find("out of memory"), std::string::npos);
}

TEST(PatternDetect, ContentFirstThenExtension)
{
    const struct {
        std::string text;
        const char* path;
        PatternFormat format;
    } cases[] = {
        {"#N Gun\n#C by someone\nx = 3, y = 3\nbo!", "a.txt", PATTERN_RLE},
        {"x=3,y=3\n!", nullptr, PATTERN_RLE},
        {"\n#Life 1.06\n0 0\n", "a.rle", PATTERN_LIFE106},
        {"!Name: x\n.O\n", "a.lif", PATTERN_CELLS},
        {"..O\nOO.\n", nullptr, PATTERN_CELLS},
        {"bo$2bo$3o!", "glider.RLE", PATTERN_RLE},
        {"#Life 1.05\n#P 0 0\n.O\n", "old.lif", PATTERN_LIFE105},
        {"\xEF\xBB\xBFX = 3, y = 3\r!", nullptr, PATTERN_RLE},
        {"!c\r.O\r", "a.rle", PATTERN_CELLS},
        {"junk", "a.cells", PATTERN_CELLS},
        {"junk", "dir.rle/file", PATTERN_UNKNOWN},
        {"", nullptr, PATTERN_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(detectFormat(c.text.data(), c.text.size(), c.path), c.format);
    }
}

TEST(PatternRule, FitsContiguousRangesIntoFourNumbers)
{
    const struct {
        const char* text;
        LifeRule four;
        const char* survive;  // the counts the rule lets live cells survive on
        const char* birth;
    } cases[] = {
        {"B3/S23", {1, 4, 3, 3}, "23", "3"},
        {"b3s23", {1, 4, 3, 3}, "23", "3"},
        {"S23/B3", {1, 4, 3, 3}, "23", "3"},
        {"23/3", {1, 4, 3, 3}, "23", "3"},
        {"B3/S12345", {0, 6, 3, 3}, "12345", "3"},
        {"B3/S0123", {-1, 4, 3, 3}, "0123", "3"},
        {"B0/S8", {7, 9, 0, 0}, "8", "0"},
        {"B345/S5", {4, 6, 3, 5}, "5", "345"},
        {"B/S", {8, 9, 9, 9}, "", ""},
        {"/3", {8, 9, 3, 3}, "", "3"},
        {"B3/S23:P64,64", {1, 4, 3, 3}, "23", "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RuleSets sets;
        LifeRule four;
        PatternError e = {0, ""};
        ASSERT_EQ(parseRule(c.text, &sets, &e), 1) << e.message;
        ASSERT_EQ(ruleToFour(&sets, &four, &e), 1) << e.message;
        EXPECT_EQ(four.surviveAbove, c.four.surviveAbove);
        EXPECT_EQ(four.surviveBelow, c.four.surviveBelow);
        EXPECT_EQ(four.birthMin, c.four.birthMin);
        EXPECT_EQ(four.birthMax, c.four.birthMax);
        // The program's own test, for every count a cell can have.
        for (int n = 0; n <= 8; n++) {
            const bool survives = four.surviveAbove < n && n < four.surviveBelow;
            const bool born = four.birthMin <= n && n <= four.birthMax;
            EXPECT_EQ(survives, strchr(c.survive, '0' + n) != nullptr) << n;
            EXPECT_EQ(born, strchr(c.birth, '0' + n) != nullptr) << n;
        }
    }
}

TEST(PatternRule, RefusesWhatFourNumbersCannotHold)
{
    const struct {
        const char* text;
        const char* words;
    } cases[] = {
        {"B36/S23", "birth on 3 and 6 neighbours is not one unbroken range"},
        {"B3/S238", "survival on 2, 3 and 8 neighbours"},
        {"B3/S23/G2", "multi-state"},
        {"23/3/2", "multi-state"},
        {"B39/S23", "9 neighbours is impossible"},
        {"B2n3/S23-q", "'n' after the digits"},
        {"B3/S23V", "'V' after the digits"},
        {"B3/S23:T64,64", "does not wrap"},
        {"B3/S23:P32,32", "another size"},
        {"B3/S23:P64,64,1", "another size"},
        {"B3/S23:", "unknown grid"},
        {"Life", "expected B/S notation"},
        {"B3", "both a B part and an S part"},
        {"23", "separated by '/'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RuleSets sets;
        LifeRule four;
        PatternError e = {0, ""};
        EXPECT_FALSE(parseRule(c.text, &sets, &e) && ruleToFour(&sets, &four, &e));
        EXPECT_NE(std::string(e.message).find(c.words), std::string::npos) << e.message;
    }
}

TEST(PatternPlace, CentresOnTheMiddleCell)
{
    const struct {
        int side, origin;
    } cases[] = {{0, 32}, {1, 32}, {3, 31}, {4, 30}, {64, 0}, {65, 0}, {4096, -2016}};
    for (const auto& c : cases) {
        Pattern p = {};
        p.width = c.side;
        p.height = c.side;
        int32_t left, top;
        centreOrigin(&p, &left, &top);
        EXPECT_EQ(left, c.origin) << c.side;
        EXPECT_EQ(top, c.origin) << c.side;
    }
}

TEST(PatternPlace, DropsCellsOffTheBoardWithoutWrapping)
{
    PatternCell block[9];
    for (int k = 0; k < 9; k++)
        block[k] = PatternCell{k % 3, k / 3};
    Pattern p = {};
    p.width = p.height = 3;
    p.cells = block;
    p.count = 9;
    Placement placed;
    placePattern(&p, 62, -1, &placed);
    // Columns 62 and 63 of rows 0 and 1 stay; column 64 and row -1 fall off.
    EXPECT_EQ(placed.written, 4);
    EXPECT_EQ(placed.dropped, 5);
    for (int i = 0; i < 64 * 64; i++) {
        const bool expected = i == 62 * 64 + 0 || i == 62 * 64 + 1 || i == 63 * 64 + 0 || i == 63 * 64 + 1;
        EXPECT_EQ(placed.alive[i] != 0, expected) << i;
    }
    EXPECT_EQ(placed.boxLow.x, 62);
    EXPECT_EQ(placed.boxHigh.x, 63);
    EXPECT_EQ(placed.boxLow.y, 0);
    EXPECT_EQ(placed.boxHigh.y, 1);
    EXPECT_EQ(placed.shownDrops[0].x, 62);
    EXPECT_EQ(placed.shownDrops[0].y, -1);
}
