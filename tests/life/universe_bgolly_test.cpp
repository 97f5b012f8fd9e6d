// The universe against bgolly, Debian's batch runner of the community's
// program, as the outside oracle.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "life/life.h"
#include "life/world.h"
#include "platform/platform.h"
#include "support/support.h"
#include "universe_model.h"

namespace {

using namespace universe_model;

// bgolly, Debian's batch runner of the community's program, as the outside oracle.
struct Bgolly : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        if (access("/usr/bin/bgolly", X_OK) != 0)
            GTEST_SKIP() << "bgolly is not installed (Debian package golly)";
    }
};

// bgolly's output has no position: cells relative to their box's top-left.
Cells rleCells(const std::string& text)
{
    Cells cells;
    size_t at = 0;
    while (at < text.size() && (text[at] == '#' || text[at] == 'x')) {
        at = text.find('\n', at);
        if (at == std::string::npos)
            return cells;
        at++;
    }
    int64_t x = 0, y = 0, run = 0;
    for (; at < text.size() && text[at] != '!'; at++) {
        char c = text[at];
        if (c >= '0' && c <= '9') {
            run = run * 10 + (c - '0');
            continue;
        }
        int64_t n = run ? run : 1;
        run = 0;
        if (c == 'b' || c == '.') x += n;
        else if (c == '$') { y += n; x = 0; }
        else if (c == 'o' || c == 'A') { for (int64_t k = 0; k < n; k++) cells.insert({y, x++}); }
    }
    return cells;
}

Cells boxRelative(const Cells& cells)
{
    int64_t left = INT64_MAX, top = INT64_MAX;
    for (auto& c : cells) {
        left = std::min(left, c.second);
        top = std::min(top, c.first);
    }
    Cells moved;
    for (auto& c : cells)
        moved.insert({c.first - top, c.second - left});
    return moved;
}

TEST_F(Bgolly, AgreesOnRulesTopologiesAndB0)
{
    struct Case {
        const char* rule;
        const char* birth;
        const char* survive;
        LifeGridShape grid;
    };
    const Case cases[] = {
        {"B3/S23", "3", "23", {}},
        {"B36/S23", "36", "23", {}},
        {"B013/S23", "013", "23", {}},
        {"B013/S012345678", "013", "012345678", {}},
        {"B0/S8", "0", "8", {}},
        {"B013/S23:P12,10", "013", "23", shapeOf(LIFE_PLANE, 12, 10)},
        {"B3/S23:P13,11", "3", "23", shapeOf(LIFE_PLANE, 13, 11)},
        {"B3/S23:P13,0", "3", "23", shapeOf(LIFE_PLANE, 13, 0)},
        {"B3/S23:T12,10", "3", "23", shapeOf(LIFE_TORUS, 12, 10)},
        {"B013/S23:T12,10", "013", "23", shapeOf(LIFE_TORUS, 12, 10)},
        {"B3/S23:T13+3,11", "3", "23", shapeOf(LIFE_TORUS, 13, 11, 0, 0, 3, 0)},
        {"B3/S23:T13,11-2", "3", "23", shapeOf(LIFE_TORUS, 13, 11, 0, 0, 0, -2)},
        {"B3/S23:T0,11", "3", "23", shapeOf(LIFE_TORUS, 0, 11)},
        {"B013/S23:T0,11", "013", "23", shapeOf(LIFE_TORUS, 0, 11)},
        {"B0/S8:K12*,11", "0", "8", shapeOf(LIFE_KLEIN, 12, 11, 1, 0)},
        {"B3/S23:T13,0", "3", "23", shapeOf(LIFE_TORUS, 13, 0)},
        {"B3/S23:K12*,11", "3", "23", shapeOf(LIFE_KLEIN, 12, 11, 1, 0)},
        {"B3/S23:K13,10*", "3", "23", shapeOf(LIFE_KLEIN, 13, 10, 0, 1)},
        {"B3/S23:K12*+1,11", "3", "23", shapeOf(LIFE_KLEIN, 12, 11, 1, 0, 1, 0)},
        {"B3/S23:K13,10*+1", "3", "23", shapeOf(LIFE_KLEIN, 13, 10, 0, 1, 0, 1)},
        {"B3/S23:C13,11", "3", "23", shapeOf(LIFE_CROSS, 13, 11)},
        {"B3/S23:C12,10", "3", "23", shapeOf(LIFE_CROSS, 12, 10)},
        {"B3/S23:S12", "3", "23", shapeOf(LIFE_SPHERE, 12, 12)},
        {"B3/S23:S11", "3", "23", shapeOf(LIFE_SPHERE, 11, 11)},
        {"B013/S012345678:S11", "013", "012345678", shapeOf(LIFE_SPHERE, 11, 11)},
    };
    std::mt19937 random(5);
    for (const Case& c : cases) {
        UniverseRule rule = ruleOf(c.birth, c.survive, c.grid);
        int w = c.grid.width ? c.grid.width : 14, h = c.grid.height ? c.grid.height : 14;
        Cells start = soup(random, -(w / 2), -(h / 2), w, h, 45);
        writeFile("in.rle", rleOf(start, c.rule));
        for (int generations : {1, 2, 3, 30}) {
            std::string out;
            std::string command = "/usr/bin/bgolly -q -q -m " + std::to_string(generations) + " -o out.rle in.rle 2>&1";
            ASSERT_EQ(runCommand(command, &out), 0) << command;
            Universe* u = universeOf(rule, start);
            for (int g = 0; g < generations; g++)
                ASSERT_EQ(universeStep(u), 1);
            Cells ours = cellsOf(u);
            EXPECT_EQ(boxRelative(ours), rleCells(readFile("out.rle"))) << c.rule << " generation " << generations;
            universeRelease(u);
        }
    }
}

TEST_F(Bgolly, GridCoversTheCellsBgollyGivesIt)
{
    // A block survives two generations on a plane only where all four cells lie inside:
    // bgolly keeps it at x = -2 .. 0 on width 4 and -2 .. 1 on width 5 (left column -floor(w / 2)).
    for (int w : {4, 5, 6, 7})
        for (int x = -5; x <= 4; x++) {
            Cells block = {{0, x}, {0, x + 1}, {1, x}, {1, x + 1}};
            std::string rule = "B3/S23:P" + std::to_string(w) + "," + std::to_string(w);
            writeFile("in.rle", rleOf(block, rule));
            std::string out;
            ASSERT_EQ(runCommand("/usr/bin/bgolly -q -q -m 2 -o out.rle in.rle 2>&1", &out), 0);
            bool kept = rleCells(readFile("out.rle")).size() == 4;
            int left = -(w / 2), right = left + w - 1;
            EXPECT_EQ(kept, x >= left && x + 1 <= right) << "width " << w << " block at x = " << x;
            UniverseRule ours = ruleOf("3", "23", shapeOf(LIFE_PLANE, w, w));
            Universe* u = universeCreate(&ours);
            bool inside = universeSetCell(u, x, 0, 1) && universeSetCell(u, x + 1, 0, 1);
            EXPECT_EQ(inside, kept) << "width " << w << " block at x = " << x;
            universeRelease(u);
        }
}

} // namespace
