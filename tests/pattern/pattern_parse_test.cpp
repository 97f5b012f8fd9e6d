// The pattern tool's parsers, format choice and placement, run on text in
// memory.
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
    const std::string mapRule =
        "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA:T30,20";
    const std::string slashedMap =
        "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDog/iA6ICAAIAAaIDogIAAgACAAIAA/AAAAA";
    const Good cases[] = {
        {PATTERN_RLE, "#N Glider\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n", 3, 3, glider, "B3/S23"},
        {PATTERN_RLE, "#C crlf, runs over lines\r\nx=4,y=2\r\n2o2b\r\n$4o!\r\n", 4, 2,
         {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}}, ""},
        {PATTERN_RLE, "x = 2, y = 1\nbo!ignored: text after the end", 2, 1, {{1, 0}}, ""},
        {PATTERN_RLE, "x = 1, y = 1\no$!\n", 1, 1, {{0, 0}}, ""},
        {PATTERN_RLE, "x = 1, y = 1, rule = " + mapRule + "\no!", 1, 1, {{0, 0}}, mapRule},
        {PATTERN_RLE, "x = 3, y = 3, rule = B3/S23:T64,64\n2$2bo!", 3, 3, {{2, 2}}, "B3/S23:T64,64"},
        // Rows past the header's box, as bgolly reads them: the box grows to hold their cells.
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$4o!", 4, 3, {{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}}, ""},
        {PATTERN_RLE, "x = 3, y = 2\nbo$2bo$\n3o!", 3, 3, glider, ""},
        {PATTERN_RLE, "x = 1, y = 1\n4096$4096$o!", 1, 8193, {{0, 8192}}, ""},
        {PATTERN_RLE, "x = 3, y = 3\n5bo!", 6, 3, {{5, 0}}, ""},
        {PATTERN_RLE, "x = 0, y = 0, rule = Life\n3o!", 3, 1, {{0, 0}, {1, 0}, {2, 0}}, "Life"},
        // Rows indented by blanks and tabs.
        {PATTERN_RLE, "#N indented\nx = 3, y = 3\n bo$\n\t2bo$\n  3o!\n", 3, 3, glider, ""},
        // A MAP string's base64 digits may be slashes; a Generations rule of two states is B/S.
        {PATTERN_RLE, "x = 1, y = 1, rule = " + slashedMap + "\no!", 1, 1, {{0, 0}}, slashedMap},
        {PATTERN_RLE, "x = 1, y = 1, rule = B3/S23/2\no!", 1, 1, {{0, 0}}, "B3/S23/2"},
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
        {PATTERN_LIFE106, "#Life 1.06\n#R S23/B36\n0 0\n", 1, 1, {{0, 0}}, "S23/B36"},
        {PATTERN_LIFE105, "#D no header line\r\n#P -1 -1\r\n.*\r\n..*\r\n***\r\n", 3, 3, glider, ""},
        // A box as wide as 32-bit coordinates allow.
        {PATTERN_RLE, "x = 2147483647, y = 1\no2147483645bo!", 2147483647, 1, {{0, 0}, {2147483646, 0}}, ""},
        {PATTERN_LIFE106, "#Life 1.06\n-1073741823 0\n1073741823 0\n", 2147483647, 1,
         {{0, 0}, {2147483646, 0}}, ""},
        // XLife: the L of block L is (0, 1), (0, 2), (1, 2), as a picture's
        // first row lies one below its '#P'. Turned once it is (-1, 0),
        // (-2, 0), (-2, 1), moved by (10, 0); plain at (20, 0); '#R 5 5'
        // moves the pair 0 0 to (5, 5). The box starts at (5, 0).
        {PATTERN_XLIFE, "#C turns\n#B L\n#P 0 0\n*.\n**\n#E\n#I :L 10 0 1 1\n#I :L 20 0 0 1 0\n#R 5 5\n0 0\n", 17,
         6, {{4, 0}, {3, 0}, {3, 1}, {15, 1}, {15, 2}, {16, 2}, {0, 5}}, ""},
        // Flipped, the L is (0, -1), (0, -2), (1, -2); flipped and turned, (1, 0), (2, 0), (2, 1).
        {PATTERN_XLIFE, "#B L\n#P\n*.\n**\n#E\n#I :L 0 0 0 -1\n", 2, 2, {{0, 1}, {0, 0}, {1, 0}}, ""},
        {PATTERN_XLIFE, "#B L\n#P\n*.\n**\n#E\n#I :L 0 0 1 -1\n#r 23/3\n", 2, 2, {{0, 0}, {1, 0}, {1, 1}},
         "23/3"},
        {PATTERN_XLIFE, "*..\n.**\n1 -1\n#A\n4 4\n", 5, 6, {{0, 1}, {1, 2}, {2, 2}, {1, 0}, {4, 5}}, ""},
        {PATTERN_CELLS, "!lower case\n.o\nO.o\n", 3, 2, {{1, 0}, {0, 1}, {2, 1}}, ""},
        {PATTERN_DBLIFE, "!dblife\n2.O\n\n3O\n!comment\n", 3, 3, {{2, 0}, {0, 2}, {1, 2}, {2, 2}}, ""},
        {PATTERN_DBLIFE, "!\n12.O2.O\n.o\n", 16, 2, {{12, 0}, {15, 0}, {1, 1}}, ""},
        // A position line, as dblife writes it below the comments, is a row without cells.
        {PATTERN_DBLIFE, "!\"Glider\"\n!\n1k1h@!\n.O\n2.O\n3O\n", 3, 4, {{1, 1}, {2, 2}, {0, 3}, {1, 3}, {2, 3}}, ""},
        {PATTERN_DBLIFE, "!\n6k@\r\nO\n", 1, 2, {{0, 1}}, ""},
        {PATTERN_MACROCELL, "[M2] (test)\n#R B3/S23\n#G 0\n$$..*$...*$.***$$$$\n", 3, 3, glider, "B3/S23"},
        // Leaf 1 is one cell; node 2 puts it at the north-west and south-east
        // corners of a 16-wide square, node 3 node 2 at the south-west of a 32-wide one.
        {PATTERN_MACROCELL, "[M2]\n*\n4 1 0 0 1\n5 0 0 2 0\n", 9, 9, {{0, 0}, {8, 8}}, ""},
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

// Where the file puts the box's top-left cell: a picture without a position
// at (0, 0), a macrocell square centred on (0, 0) as bgolly writes it.
TEST(PatternParse, KeepsWhereTheFilePutsTheBox)
{
    const struct {
        PatternFormat format;
        const char* text;
        int64_t left, top;
    } cases[] = {
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$3o!\n", 0, 0},
        {PATTERN_RLE, "#CXRLE Pos=-5,7 Gen=3\nx = 3, y = 3\nbo$2bo$3o!\n", -5, 7},
        {PATTERN_CELLS, ".O.\n..O\nOOO\n", 0, 0},
        {PATTERN_LIFE105, "#Life 1.05\n#P -1 -1\n.*\n..*\n***\n", -1, -1},
        {PATTERN_LIFE106, "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n", -1, -1},
        {PATTERN_XLIFE, "#B L\n#P 0 0\n*.\n**\n#E\n#I :L 10 0 1 1\n#R 5 5\n0 0\n", 5, 0},
        // Leaf cells from (1, 2) in a level-3 square whose corner is (-4, -3):
        // a root's rows run from 1 - half to half, as bgolly writes them.
        {PATTERN_MACROCELL, "[M2]\n$$..*$...*$.***$$$$\n", -3, -1},
        // Cells at (0, 16) and (8, 24) of a level-5 square whose corner is (-16, -15).
        {PATTERN_MACROCELL, "[M2]\n*\n4 1 0 0 1\n5 0 0 2 0\n", -16, 1},
        // bgolly's own output for the Life 1.06 cell (0, 0): row 7 of the ne leaf.
        {PATTERN_MACROCELL, "[M2] (golly 3.3)\n#R B3/S23\n$$$$$$$*$\n4 0 1 0 0\n", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Pattern p;
        PatternError e;
        ASSERT_EQ(parse(c.format, c.text, &p, &e), 1) << e.message;
        EXPECT_EQ(p.left, c.left);
        EXPECT_EQ(p.top, c.top);
        patternRelease(&p);
    }
}

TEST(PatternParse, RefusesBadInputNamingTheLine)
{
    // Nodes 2 to 30 double the side each time; the root is 2^33 wide.
    std::string wideTree = "[M2]\n*\n";
    for (int level = 4; level <= 33; level++)
        wideTree += std::to_string(level) + " " + std::to_string(level - 3) + " 0 0 " + std::to_string(level - 3) + "\n";
    const Bad cases[] = {
        {PATTERN_RLE, "x = 3, y = 3\n\n0bo!", 3, "cannot start with 0"},
        {PATTERN_RLE, "x = 3, y = 3\n2147483648o!", 2, "larger than 2147483647"},
        {PATTERN_RLE, "x = 2, y = 1\n.yP!", 2, "'yP' names a state past 255"},
        {PATTERN_RLE, "x = 2, y = 1\n.AY!", 2, "unexpected 'Y'"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$\n3o\n", 3, "without '!'"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bo$3o3\n", 2, "run count with no"},
        {PATTERN_RLE, "x = 3, y = 3\n3!", 2, "before '!'"},
        {PATTERN_RLE, "x = 2147483648, y = 3\n!", 1, "more than 2147483647"},
        {PATTERN_RLE, "x = 3, y = 3\n2147483647bo!", 2, "run to 2147483648 cells; a box of more than 2147483647"},
        {PATTERN_RLE, "x = 3, y = 3\n2147483647$o!", 2, "live cells on row 2147483648"},
        {PATTERN_RLE, "x = 99999999999999999999, y = 3\n!", 1, "more than 2147483647"},
        {PATTERN_RLE, "x = 3\nbo!", 1, "both x and y"},
        {PATTERN_RLE, "#CXRLE Pos=4\nx = 3, y = 3\nbo!", 1, "'#CXRLE Pos=' needs two whole numbers"},
        {PATTERN_RLE, "#C\nbo$2bo$3o!", 2, "header"},
        {PATTERN_RLE, "x = 3, Y = 3, X = 4\nbo!", 1, "repeated field 'X'"},
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
        {PATTERN_LIFE105, "#Life 1.05\n#P -2000000000 0\n*\n#P 2000000000 0\n*\n", 5, "more than 2147483647"},
        {PATTERN_LIFE105, "#P 0 2147483647\n*\n*\n", 3, "past the 32-bit coordinates"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$2bz!", 2, "'z'"},
        {PATTERN_RLE, "x = 3, y = 3\nbo\xC3\xA9!", 2, "0xC3"},
        {PATTERN_RLE, "#C nothing but comments\n", 1, "no header"},
        {PATTERN_RLE, "x = 3, y = 3\nbo$\x01!", 2, "not a text pattern"},
        {PATTERN_CELLS, "!c\n.O.\nO*O\n", 3, "column 2: unexpected '*'"},
        {PATTERN_LIFE106, "0 0\n", 1, "#Life 1.06"},
        {PATTERN_LIFE106, "#Life 1.06\n1 2 3\n", 2, "unexpected text"},
        {PATTERN_LIFE106, "#Life 1.06\n1\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n1 x\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n2147483648 0\n", 2, "two whole numbers"},
        {PATTERN_LIFE106, "#Life 1.06\n0 0\n\n-2147483647 7\n2147483647 7\n", 4, "more than 2147483647"},
        {PATTERN_LIFE106, "#Life 1.06\n#R\n0 0\n", 2, "'#R' names no rule"},
        {PATTERN_XLIFE, "#I :nope 1 2\n", 1, "no block '#B nope'"},
        {PATTERN_XLIFE, "#B a\n#I :a\n#E\n#I :a\n", 2, "more than 16 deep"},
        {PATTERN_XLIFE, "#I other.life 0 0\n", 1, "'#I other.life' includes another file"},
        {PATTERN_XLIFE, "#B g\n#P\n*\n#E\n#I :g 0 0 0 1 5\n", 5, "after 5 generations"},
        {PATTERN_XLIFE, "#I :g x\n", 1, "expected '#I :name x y"},
        {PATTERN_XLIFE, "#R\n1 2 3\n", 2, "two whole numbers"},
        {PATTERN_XLIFE, "#R 1\n0 0\n#P 1 x\n", 3, "'#P' takes two whole numbers"},
        {PATTERN_XLIFE, "#P\n*x\n", 2, "column 2: unexpected 'x'"},
        {PATTERN_XLIFE, "#M\n3o!\n", 1, "'#M' run-length"},
        {PATTERN_XLIFE, "#B g\n#P\n*\n#E\n", 0, "library of blocks"},
        {PATTERN_XLIFE, "#B\n", 1, "'#B' needs a block name"},
        {PATTERN_DBLIFE, "O\n", 1, "first line starting with '!'"},
        {PATTERN_DBLIFE, "!c\n3\n", 2, "a count with no '.' or 'O'"},
        {PATTERN_DBLIFE, "!c\n.X\n", 2, "column 2: unexpected 'X'"},
        {PATTERN_DBLIFE, "!c\n2147483648O\n", 2, "count larger than 2147483647"},
        {PATTERN_DBLIFE, "!c\n2147483647.O\n", 2, "wider than 2147483647"},
        {PATTERN_DBLIFE, "!c\n6k@x\n", 2, "column 2: unexpected 'k'"},
        {PATTERN_MACROCELL, "#R B3/S23\n*\n", 1, "expected the first line '[M2]"},
        {PATTERN_MACROCELL, "[M2]\n1 0 0 0 1\n*\n", 3, "a leaf of 8 x 8 cells in a file of leaves of 2 x 2"},
        {PATTERN_MACROCELL, "[M2]\n*\n4 1 0 0 2\n", 3, "refers to node 2, which is not defined before it"},
        {PATTERN_MACROCELL, "[M2]\n*\n4 1 0 0 1\n5 1 0 0 0\n", 4, "children of level 4; node 1 is of level 3"},
        {PATTERN_MACROCELL, "[M2]\n63 0 0 0 0\n", 2, "past 64-bit coordinates"},
        {PATTERN_MACROCELL, "[M2]\n*........\n", 2, "column 9: '.' does not fit an 8 x 8 leaf"},
        {PATTERN_MACROCELL, "[M2]\n4 0 0 0\n", 2, "five whole numbers"},
        {PATTERN_MACROCELL, wideTree, 0, "spread over 8589934585 x 8589934585 cells"},
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
    // Room for the counted cells is taken before the body is read again.
    EXPECT_EQ(e.line, 0);
    EXPECT_NE(std::string(e.message).find("not enough memory"), std::string::npos) << e.message;
}

TEST(PatternParse, CellLimitRefusesBeforeListingEveryCell)
{
    // 4^12 cells from a file of a few hundred bytes: each node holds its child four times.
    std::string tree = "[M2]\n********$********$********$********$********$********$********$********\n";
    for (int level = 4; level <= 15; level++) {
        const std::string child = std::to_string(level - 3);
        tree += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
    }
    const struct {
        PatternFormat format;
        std::string text;
        int line;
        const char* words;
    } cases[] = {
        {PATTERN_RLE, "x = 5, y = 1\n5o!", 2, "more than 4 live cells"},
        {PATTERN_DBLIFE, "!\n5O\n", 2, "more than 4 live cells"},
        {PATTERN_DBLIFE, "!\n2O\n3O\n", 3, "more than 4 live cells"},
        {PATTERN_RLE, "x = 1, y = 1\n2o$2o$o!", 2, "more than 4 live cells"},
        // A block's cells are counted once, however often it is included.
        {PATTERN_XLIFE, "#B a\n#P\n***\n#E\n#I :a\n#I :a 0 1\n", 6, "more than 4 live cells"},
        {PATTERN_LIFE106, "#Life 1.06\n0 0\n1 1\n2 2\n3 3\n4 4\n", 6, "more than 4 live cells"},
        {PATTERN_MACROCELL, tree, 0, "holds 1073741824 live cells, more than the 4 this program lists"},
    };
    const PatternLimits kept = patternLimits;
    patternLimits.maxCells = 4;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        Pattern p;
        PatternError e;
        EXPECT_EQ(parse(c.format, c.text, &p, &e), 0);
        EXPECT_EQ(e.line, c.line);
        EXPECT_NE(std::string(e.message).find(c.words), std::string::npos) << e.message;
        EXPECT_EQ(p.cells, nullptr);
    }
    patternLimits = kept;
    Pattern p;
    PatternError e;
    EXPECT_EQ(parse(PATTERN_MACROCELL, tree, &p, &e), 0);
    EXPECT_NE(std::string(e.message).find("more than the 134217728 this program lists"), std::string::npos)
        << e.message;
}

TEST(PatternGzip, DecompressesByTheMagicBytesNotTheName)
{
    // gzip of "x = 3, y = 3\nbo$2bo$3o!\n".
    const std::string glider("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\x03\xAB\x50\xB0\x55\x30\xD6\x51\xA8\x04\x51"
                             "\x5C\x49\xF9\x2A\x46\x40\x6C\x9C\xAF\xC8\x05\x00\x1C\x8F\xFA\xCD\x18\x00\x00\x00",
                             40);
    std::string broken = glider;
    broken[33] ^= 1;  // the stored checksum
    const struct {
        std::string bytes;
        const char* text;   // what comes out, null when refused
        const char* words;  // the refusal
    } cases[] = {
        {glider, "x = 3, y = 3\nbo$2bo$3o!\n", ""},
        {glider + glider, "x = 3, y = 3\nbo$2bo$3o!\nx = 3, y = 3\nbo$2bo$3o!\n", ""},
        {glider.substr(0, 32), nullptr, "cut short"},
        {broken, nullptr, "broken"},
        {"x = 1, y = 1\no!", "x = 1, y = 1\no!", ""},
    };
    for (const auto& c : cases) {
        char* text = (char*)heapAlloc(c.bytes.size());
        memcpy(text, c.bytes.data(), c.bytes.size());
        size_t size = c.bytes.size();
        PatternError e = {0, ""};
        const int ok = patternGunzip(&text, &size, &e);
        if (!patternGzipBuilt() && c.bytes[0] == '\x1F') {
            EXPECT_EQ(ok, 0);
            EXPECT_NE(std::string(e.message).find("gzip-compressed; this build"), std::string::npos);
        } else if (c.text) {
            ASSERT_EQ(ok, 1) << e.message;
            EXPECT_EQ(std::string(text, size), c.text);
        } else {
            EXPECT_EQ(ok, 0);
            EXPECT_NE(std::string(e.message).find(c.words), std::string::npos) << e.message;
        }
        EXPECT_EQ(text == nullptr, ok == 0);
        heapFree(text);
    }
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
        {"!Name: x\n!\n.O\n12.O\n", "a.cells", PATTERN_DBLIFE},
        {"#D about\n#N\n#P -1 -1\n.*\n", "a.rle", PATTERN_LIFE105},
        {"#C c\n#R 23/3\n#P 0 0\n*\n", nullptr, PATTERN_LIFE105},
        {"#I :a\n\n#B a\n#P\n*\n#E\n", "a.lif", PATTERN_XLIFE},
        {"#R\n0 0\n", nullptr, PATTERN_XLIFE},
        {"*..\n.**\n", "a.cells", PATTERN_XLIFE},
        {"#C written by XLife\n#R -5 -5\nx = 3, y = 3\nbo!", nullptr, PATTERN_RLE},
        {"[M2] (golly 3.3)\n#R B3/S23\n*\n", "a.rle", PATTERN_MACROCELL},
        {"junk", "a.mc", PATTERN_MACROCELL},
        {"junk", "a.L", PATTERN_XLIFE},
        {"", nullptr, PATTERN_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(detectFormat(c.text.data(), c.text.size(), c.path), c.format);
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

TEST(PatternPlace, FarCellsAreDroppedWithoutOverflow)
{
    PatternCell far = {2147483646, 2147483646};
    Pattern p = {};
    p.width = p.height = 2147483647;
    p.cells = &far;
    p.count = 1;
    int32_t left, top;
    centreOrigin(&p, &left, &top);
    EXPECT_EQ(left, 32 - 1073741823);
    Placement placed;
    placePattern(&p, 2147483647, left, &placed);
    EXPECT_EQ(placed.written, 0);
    EXPECT_EQ(placed.dropped, 1);
    EXPECT_EQ(placed.shownDrops[0].x, 4294967293LL);
    EXPECT_EQ(placed.shownDrops[0].y, 1073741855LL);
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

// A file without a position on a grid bounded either way: the header's box
// centred where it fits every bounded side, else from the grid's corner; the
// others where the file puts them.
TEST(PatternPlace, UniverseOriginCentresRleBoxesOnBoundedGrids)
{
    const struct {
        int centred, width, height, gridWidth, gridHeight;
        int64_t left, top;
    } cases[] = {
        {1, 3, 3, 0, 0, 7, -2},      // the unbounded plane: the file's own corner
        {1, 3, 3, 8, 8, -1, -1},     // :P8,8
        {1, 4, 5, 8, 8, -2, -2},
        {1, 30, 3, 0, 10, -15, -1},  // a tube: the unbounded side centred too
        {1, 11, 3, 11, 10, -5, -1},  // exactly as wide as the grid
        {1, 11, 3, 10, 10, -5, -5},  // wider: the grid's corner
        {1, 3, 30, 0, 10, 0, -5},    // taller than a tube: 0 along the unbounded side
        {0, 3, 3, 8, 8, 7, -2},      // a stated position
    };
    for (const auto& c : cases) {
        Pattern p = {};
        p.left = 7;
        p.top = -2;
        p.centredOnGrid = c.centred;
        p.headerWidth = c.width;
        p.headerHeight = c.height;
        LifeGridShape grid = {};
        grid.topology = c.gridWidth || c.gridHeight ? LIFE_TORUS : LIFE_UNBOUNDED;
        grid.width = c.gridWidth;
        grid.height = c.gridHeight;
        int64_t left, top;
        universeOrigin(&p, &grid, &left, &top);
        EXPECT_EQ(left, c.left) << c.width << " x " << c.height << " on " << c.gridWidth << "," << c.gridHeight;
        EXPECT_EQ(top, c.top) << c.width << " x " << c.height << " on " << c.gridWidth << "," << c.gridHeight;
    }
}
