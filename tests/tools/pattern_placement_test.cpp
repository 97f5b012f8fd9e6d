// Where veltrix-pattern puts a pattern on a universe, one test per placement
// rule (each format with and without a stated position), against positions
// worked out by hand and, where Debian's bgolly is installed, against where
// bgolly puts the same file: its macrocell output carries absolute positions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/support.h"

namespace {

using Cells = std::set<std::pair<int64_t, int64_t>>;  // (x, y), y down

// Macrocell text as bgolly writes it: the root of level L covers columns
// -2^(L-1) .. 2^(L-1) - 1 and rows 1 - 2^(L-1) .. 2^(L-1). The Life 1.06
// case below, whose cells are absolute, holds this reading to bgolly's.
Cells macrocellCells(const std::string& text)
{
    struct Node {
        int level;
        std::vector<std::pair<int, int>> leaf;
        int child[4];
    };
    std::vector<Node> nodes(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '[' || line[0] == '#')
            continue;
        Node node = {3, {}, {0, 0, 0, 0}};
        if (line[0] == '.' || line[0] == '*' || line[0] == '$') {
            int x = 0, y = 0;
            for (char c : line) {
                if (c == '$') {
                    x = 0;
                    y++;
                    continue;
                }
                if (c == '*')
                    node.leaf.push_back({x, y});
                x++;
            }
        } else {
            std::istringstream fields(line);
            fields >> node.level >> node.child[0] >> node.child[1] >> node.child[2] >> node.child[3];
        }
        nodes.push_back(node);
    }
    Cells cells;
    std::function<void(int, int64_t, int64_t)> walk = [&](int k, int64_t x, int64_t y) {
        if (k <= 0 || k >= (int)nodes.size())
            return;
        const Node& node = nodes[k];
        for (auto& c : node.leaf)
            cells.insert({x + c.first, y + c.second});
        const int64_t half = node.level > 3 ? (int64_t)1 << (node.level - 1) : 0;
        for (int q = 0; q < 4 && node.level > 3; q++)
            walk(node.child[q], x + (q & 1 ? half : 0), y + (q & 2 ? half : 0));
    };
    if (nodes.size() > 1) {
        const int64_t half = (int64_t)1 << (nodes.back().level - 1);
        walk((int)nodes.size() - 1, -half, 1 - half);
    }
    return cells;
}

// The live cells veltrix-inspect lists after `steps` generations of the
// converted Life.ini and Rules.ini.
Cells inspectedCells(int steps)
{
    std::string out;
    EXPECT_EQ(runCommand(std::string(VELTRIX_BIN_DIR) + "/veltrix-inspect life " + std::to_string(steps), &out), 0)
        << out;
    // The pairs' numbers, read in twos once the brackets and commas are blanks.
    const size_t alive = out.find("\"alive\"");
    std::string numbers = alive == std::string::npos ? "" : out.substr(alive + 8);
    for (char& c : numbers)
        c = (c == '-' || (c >= '0' && c <= '9')) ? c : ' ';
    std::istringstream in(numbers);
    Cells cells;
    int64_t x, y;
    while (in >> x >> y)
        cells.insert({x, y});
    return cells;
}

// bgolly's cells after `steps` generations; false when bgolly is missing or
// refuses the file.
bool bgollyCells(const std::string& file, int steps, Cells* cells)
{
    if (access("/usr/bin/bgolly", X_OK) != 0)
        return false;
    std::string out;
    if (runCommand("bgolly -q -q -a HashLife -m " + std::to_string(steps) + " -o bgolly.mc " + file + " 2>&1",
                   &out) != 0 ||
        !fileIsThere("bgolly.mc"))
        return false;
    *cells = macrocellCells(readFile("bgolly.mc"));
    return true;
}

struct Case {
    const char* name;
    const char* text;
    Cells cells;  // by hand, at generation 0
    int steps;    // a later generation also compared with bgolly, 0 for none, -1: bgolly reads the file as empty
};

// Converts the file, checks its cells where the hand says and, with bgolly,
// where bgolly puts them at generation 0 and at c.steps.
void checkPlacement(const Case& c)
{
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(c.name, c.text);
    std::string out;
    ASSERT_EQ(runCommand(std::string(VELTRIX_BIN_DIR) + "/veltrix-pattern " + c.name + " 2>&1", &out), 0) << out;
    EXPECT_EQ(inspectedCells(0), c.cells);
    for (int steps : {0, c.steps}) {
        Cells theirs;
        if (c.steps >= 0 && (steps == 0 || c.steps > 0) && bgollyCells(c.name, steps, &theirs)) {
            EXPECT_EQ(inspectedCells(steps), theirs) << "generation " << steps;
        }
    }
}

const Cells glider = {{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};

Cells moved(const Cells& cells, int64_t dx, int64_t dy)
{
    Cells out;
    for (auto& c : cells)
        out.insert({c.first + dx, c.second + dy});
    return out;
}

} // namespace

TEST(PatternPlacement, RleWithoutPositionOnThePlaneStartsAtTheOrigin)
{
    checkPlacement({"g.rle", "x = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n", glider, 8});
}

TEST(PatternPlacement, RlePositionIsHonouredOnThePlaneAndOnAGrid)
{
    checkPlacement({"g.rle", "#CXRLE Pos=5,-7\nx = 3, y = 3\nbo$2bo$3o!\n", moved(glider, 5, -7), 4});
    checkPlacement({"g.rle", "#CXRLE Pos=-4,-4 Gen=0\nx = 3, y = 3, rule = B3/S23:P8,8\nbo$2bo$3o!\n",
                    moved(glider, -4, -4), 4});
}

// Centred by the header's box, halves rounded down, so a glider on :P8,8
// glides as it does in bgolly; a 5 x 3 box on a tube is centred both ways.
TEST(PatternPlacement, RleWithoutPositionIsCentredOnABoundedGrid)
{
    checkPlacement({"g.rle", "x = 3, y = 3, rule = B3/S23:P8,8\nbo$2bo$3o!\n", moved(glider, -1, -1), 8});
    checkPlacement({"t.rle", "x = 5, y = 3, rule = B3/S23:T0,20\n$5o!\n", {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}, {2, 0}},
                    4});
    checkPlacement({"k.rle", "x = 7, y = 7, rule = B3/S23:K20*,20\nbo$2bo$3o!\n", moved(glider, -3, -3), 10});
}

// A header's box wider or taller than the grid: from the grid's corner, at 0
// along a side without edges.
TEST(PatternPlacement, RleWithoutPositionLargerThanTheGridStartsAtItsCorner)
{
    checkPlacement({"g.rle", "x = 3, y = 30, rule = B3/S23:T10,10\nbo$2bo$3o!\n", moved(glider, -5, -5), 4});
    checkPlacement({"g.rle", "x = 3, y = 30, rule = B3/S23:T0,10\nbo$2bo$3o!\n", moved(glider, 0, -5), 4});
}

TEST(PatternPlacement, PlaintextStartsAtTheOrigin)
{
    checkPlacement({"g.cells", "!Name: Glider\n.O.\n..O\nOOO\n", glider, 4});
}

// bgolly reads a dblife position line as a row without cells.
TEST(PatternPlacement, DblifeStartsAtTheOriginBelowAnyPositionLine)
{
    checkPlacement({"g.dbl", "!dblife\n.O\n2.O\n3O\n", glider, 4});
    checkPlacement({"g.dbl", "!\"Glider\" (cells 5 length 3 width 3 generation 0)\n!\n1k1h@!\n.O\n2.O\n3O\n",
                    moved(glider, 0, 1), 4});
}

TEST(PatternPlacement, Life105BlocksStartWhereTheirLineSays)
{
    checkPlacement({"g.lif", "#Life 1.05\n#N\n#P 5 -7\n.*.\n..*\n***\n", moved(glider, 5, -7), 4});
    checkPlacement({"g.lif", "#Life 1.05\n#R 23/3:T20,20\n#P -10 -10\n.*.\n..*\n***\n", moved(glider, -10, -10), 4});
}

// Rows before any '#P' start at (0, 0), on a bounded grid too.
TEST(PatternPlacement, Life105WithoutPositionStartsAtTheOrigin)
{
    checkPlacement({"g.lif", "#Life 1.05\n.*.\n..*\n***\n", glider, 4});
    checkPlacement({"g.lif", "#Life 1.05\n#R 23/3:T20,20\n.*.\n..*\n***\n", glider, 4});
}

TEST(PatternPlacement, Life106CellsAreAbsolute)
{
    checkPlacement({"g.lif", "#Life 1.06\n0 -1\n1 0\n-1 1\n0 1\n1 1\n", moved(glider, -1, -1), 4});
    checkPlacement({"f.lif", "#Life 1.06\n#R B3/S23:T20,20\n9 -10\n-10 9\n", {{9, -10}, {-10, 9}}, 0});
}

// bgolly reads XLife's pictures without a '#P' line; its '#A' lists it reads
// as empty, so those are checked by hand only.
TEST(PatternPlacement, XlifePicturesStartAtTheOriginAndListsAreAbsolute)
{
    checkPlacement({"g.life", ".*.\n..*\n***\n", glider, 4});
    checkPlacement({"a.life", "#A\n5 -7\n-2 3\n", {{5, -7}, {-2, 3}}, -1});
}

// A macrocell file written by bgolly from '#CXRLE Pos=-4,-4' on :P8,8 (the
// glider in the grid's corner) comes back where it was, not a row higher.
TEST(PatternPlacement, MacrocellRootIsCentredAsBgollyWritesIt)
{
    checkPlacement({"g.mc", "[M2] (golly 3.3)\n#R B3/S23:P8,8\n$$$.....*$......*$....***$\n4 1 0 0 0\n",
                    moved(glider, -4, -4), 4});
    checkPlacement({"o.mc", "[M2] (golly 3.3)\n#R B3/S23\n$$$$$$$*$\n4 0 1 0 0\n", {{0, 0}}, 0});
}
