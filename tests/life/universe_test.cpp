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

namespace {

using Cell = std::pair<int64_t, int64_t>;  // (y, x): a set then lists rows top to bottom
using Cells = std::set<Cell>;

UniverseRule ruleOf(const char* birth, const char* survive, LifeGridShape grid = LifeGridShape{})
{
    UniverseRule rule{};
    for (int i = 0; i < 512; i++) {
        int n = __builtin_popcount(i & ~16);
        const char* digits = (i & 16) ? survive : birth;
        rule.next[i] = strchr(digits, '0' + n) != nullptr;
    }
    rule.grid = grid;
    return rule;
}

LifeGridShape shapeOf(int topology, int w, int h, int twistX = 0, int twistY = 0, int shiftX = 0, int shiftY = 0)
{
    return LifeGridShape{topology, w, h, twistX, twistY, shiftX, shiftY};
}

void collect(void* context, int32_t x, int32_t y)
{
    static_cast<std::vector<Cell>*>(context)->push_back({y, x});
}

Cells cellsOf(const Universe* u)
{
    std::vector<Cell> listed;
    int64_t count = universeForEachCell(u, collect, &listed);
    EXPECT_EQ(count, (int64_t)listed.size());
    Cells cells(listed.begin(), listed.end());
    EXPECT_EQ(cells.size(), listed.size());
    EXPECT_TRUE(std::equal(listed.begin(), listed.end(), cells.begin())) << "cells not listed in row order";
    EXPECT_EQ(universePopulation(u), (int64_t)cells.size());
    return cells;
}

// The reference: the tables a step uses at even and odd generations (B0 as the
// community's programs emulate it), then a plain per-cell step.
void referenceTables(const UniverseRule& rule, uint8_t even[512], uint8_t odd[512])
{
    for (int i = 0; i < 512; i++) {
        even[i] = odd[i] = rule.next[i];
        if (rule.next[0] && !rule.next[511]) {
            even[i] = 1 - rule.next[i];
            odd[i] = rule.next[511 - i];
        } else if (rule.next[0]) {
            even[i] = odd[i] = 1 - rule.next[511 - i];
        }
    }
}

// Where a neighbour of a grid cell lies, read off the help page's diagrams (but a twisted
// edge's shift as bgolly runs it: one cell the other way): grid-relative (i, j), false for a
// plane's dead rim.
bool referenceWrap(const LifeGridShape& g, int64_t& i, int64_t& j)
{
    int64_t w = g.width, h = g.height;
    bool outX = w && (i < 0 || i >= w), outY = h && (j < 0 || j >= h);
    if (!outX && !outY)
        return true;
    switch (g.topology) {
    case LIFE_PLANE:
        return false;
    case LIFE_SPHERE: {
        if (outX && outY) {  // corners: the nearest grid corner
            i = i < 0 ? 0 : w - 1;
            j = j < 0 ? 0 : h - 1;
        } else if (j < 0 || i < 0) {  // top edge joined to the left edge
            std::swap(i, j);
            if (i < 0) {
                i = 0;
            } else {
                j = 0;
            }
        } else {  // right edge joined to the bottom edge
            std::swap(i, j);
            if (i >= w) {
                i = w - 1;
            } else {
                j = h - 1;
            }
        }
        return true;
    }
    default: {
        bool twistX = g.topology == LIFE_CROSS || (g.topology == LIFE_KLEIN && g.twistX);
        bool twistY = g.topology == LIFE_CROSS || (g.topology == LIFE_KLEIN && g.twistY);
        if (outY) {
            int64_t side = j < 0 ? -1 : 1;
            j -= side * h;
            i = twistX ? (w - 1 - i - (g.shiftX != 0)) : i + side * g.shiftX;
        }
        if (w && (i < 0 || i >= w)) {
            int64_t side = i < 0 ? -1 : 1;
            i -= side * w;
            j = twistY ? (h - 1 - j - (g.shiftY != 0)) : j + side * g.shiftY;
        }
        if (w) i = ((i % w) + w) % w;
        if (h) j = ((j % h) + h) % h;
        return true;
    }
    }
}

Cells referenceStep(const Cells& cells, const uint8_t table[512], const LifeGridShape& g)
{
    int64_t left = -(g.width / 2), top = -(g.height / 2);
    // Every cell that may see a live one, across the joined edges too.
    std::set<Cell> candidates;
    for (auto& c : cells)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                candidates.insert({c.first + dy, c.second + dx});
                int64_t i = c.second + dx - left, j = c.first + dy - top;
                if (g.topology != LIFE_UNBOUNDED && referenceWrap(g, i, j))
                    candidates.insert({j + top, i + left});
            }
    if (g.width && g.height)
        for (int64_t j = 0; j < g.height; j++)
            for (int64_t i = 0; i < g.width; i++)
                candidates.insert({j + top, i + left});
    Cells next;
    for (auto& c : candidates) {
        int64_t i0 = c.second - left, j0 = c.first - top;
        if (g.topology != LIFE_UNBOUNDED && ((g.width && (i0 < 0 || i0 >= g.width)) || (g.height && (j0 < 0 || j0 >= g.height))))
            continue;
        int index = 0;
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                int64_t i = i0 + dx, j = j0 + dy;
                if (g.topology != LIFE_UNBOUNDED && !referenceWrap(g, i, j))
                    continue;
                if (g.topology == LIFE_UNBOUNDED) {
                    i = i0 + dx;
                    j = j0 + dy;
                }
                if (cells.count({j + top, i + left}))
                    index |= 1 << ((dy + 1) * 3 + dx + 1);
            }
        if (table[index])
            next.insert(c);
    }
    return next;
}

// The first few cells in one set and not the other, for a failure message.
std::string difference(const Cells& ours, const Cells& expected)
{
    std::string text;
    int shown = 0;
    for (auto& c : ours)
        if (!expected.count(c) && shown++ < 8)
            text += " extra (" + std::to_string(c.second) + "," + std::to_string(c.first) + ")";
    for (auto& c : expected)
        if (!ours.count(c) && shown++ < 16)
            text += " missing (" + std::to_string(c.second) + "," + std::to_string(c.first) + ")";
    return text;
}

Universe* universeOf(const UniverseRule& rule, const Cells& cells)
{
    Universe* u = universeCreate(&rule);
    EXPECT_NE(u, nullptr);
    for (auto& c : cells)
        EXPECT_EQ(universeSetCell(u, (int32_t)c.second, (int32_t)c.first, 1), 1);
    return u;
}

Cells soup(std::mt19937& random, int64_t left, int64_t top, int w, int h, int percent)
{
    Cells cells;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if ((int)(random() % 100) < percent)
                cells.insert({top + y, left + x});
    return cells;
}

// Runs engine and reference side by side, comparing after each of the given generations.
void compareRuns(const UniverseRule& rule, const Cells& start, int generations, const std::string& what)
{
    uint8_t tables[2][512];
    referenceTables(rule, tables[0], tables[1]);
    Universe* u = universeOf(rule, start);
    Cells cells = start;
    for (int g = 1; g <= generations; g++) {
        cells = referenceStep(cells, tables[(g - 1) & 1], rule.grid);
        ASSERT_EQ(universeStep(u), 1);
        if (g == 1 || g == 10 || g == generations) {
            Cells ours = cellsOf(u);
            ASSERT_TRUE(ours == cells) << what << " generation " << g << ":" << difference(ours, cells);
        }
    }
    EXPECT_EQ(universeGeneration(u), generations);
    universeRelease(u);
}

UniverseRule randomRule(std::mt19937& random, bool totalistic, bool b0)
{
    UniverseRule rule{};
    if (totalistic) {
        std::string birth, survive;
        for (int n = 1; n <= 8; n++) {
            // Birth on one or two neighbours floods the plane, which only slows the reference.
            if (n >= 3 && random() % 3 == 0) birth += (char)('0' + n);
            if (random() % 2 == 0) survive += (char)('0' + n);
        }
        if (b0) birth += '0';
        if (random() % 2) survive += '0';
        rule = ruleOf(birth.c_str(), survive.c_str());
    } else {
        for (int i = 0; i < 512; i++)
            rule.next[i] = (random() % 4) == 0;
        rule.next[0] = b0;
    }
    return rule;
}

TEST(Universe, MatchesReferenceOnThePlaneForRandomRules)
{
    std::mt19937 random(7);
    for (int round = 0; round < 12; round++) {
        bool totalistic = round % 2 == 0, b0 = (round / 2) % 3 == 1;
        UniverseRule rule = randomRule(random, totalistic, b0);
        if ((round / 2) % 3 == 2) {  // B0 with S8: the complement rule throughout
            rule.next[0] = 1;
            rule.next[511] = 1;
        }
        // A soup across tile edges and the coordinate origin.
        Cells start = soup(random, -40, -30, 56, 44, 35);
        // Random tables mostly explode: a long run of those only slows the suite.
        compareRuns(rule, start, round < 2 ? 100 : 10, "round " + std::to_string(round));
    }
    compareRuns(ruleOf("3", "23"), soup(random, 60, -70, 70, 80, 40), 100, "Conway");
}

TEST(Universe, MatchesReferenceOnEveryTopology)
{
    std::mt19937 random(11);
    const LifeGridShape shapes[] = {
        shapeOf(LIFE_PLANE, 30, 20), shapeOf(LIFE_PLANE, 21, 0), shapeOf(LIFE_PLANE, 0, 15),
        shapeOf(LIFE_TORUS, 30, 20), shapeOf(LIFE_TORUS, 31, 17, 0, 0, 5, 0), shapeOf(LIFE_TORUS, 30, 21, 0, 0, 0, -2),
        shapeOf(LIFE_TORUS, 0, 20), shapeOf(LIFE_TORUS, 25, 0), shapeOf(LIFE_TORUS, 66, 65),
        shapeOf(LIFE_KLEIN, 30, 20, 1, 0), shapeOf(LIFE_KLEIN, 30, 21, 0, 1), shapeOf(LIFE_KLEIN, 30, 20, 1, 0, 1, 0),
        shapeOf(LIFE_KLEIN, 23, 20, 0, 1, 0, 1), shapeOf(LIFE_CROSS, 30, 20), shapeOf(LIFE_CROSS, 5, 4),
        shapeOf(LIFE_SPHERE, 25, 25), shapeOf(LIFE_SPHERE, 3, 3),
    };
    for (const LifeGridShape& g : shapes)
        for (int kind = 0; kind < 3; kind++) {
            UniverseRule rule = kind == 0 ? ruleOf("3", "23") : randomRule(random, kind == 1, random() % 2);
            rule.grid = g;
            int w = g.width ? g.width : 40, h = g.height ? g.height : 40;
            Cells start = soup(random, -(w / 2), -(h / 2), w, h, 40);
            compareRuns(rule, start, kind == 0 ? 100 : 30,
                        "topology " + std::to_string(g.topology) + " " + std::to_string(g.width) + "x" + std::to_string(g.height) +
                            " rule kind " + std::to_string(kind));
        }
}

TEST(Universe, BoundedGridRefusesCellsOutside)
{
    UniverseRule rule = ruleOf("3", "23", shapeOf(LIFE_TORUS, 5, 4));
    Universe* u = universeCreate(&rule);
    ASSERT_NE(u, nullptr);
    // Width 5 covers x = -2 .. 2, height 4 covers y = -2 .. 1.
    EXPECT_EQ(universeSetCell(u, -2, -2, 1), 1);
    EXPECT_EQ(universeSetCell(u, 2, 1, 1), 1);
    EXPECT_EQ(universeSetCell(u, -3, 0, 1), 0);
    EXPECT_EQ(universeSetCell(u, 3, 0, 1), 0);
    EXPECT_EQ(universeSetCell(u, 0, -3, 1), 0);
    EXPECT_EQ(universeSetCell(u, 0, 2, 1), 0);
    EXPECT_EQ(universePopulation(u), 2);
    universeRelease(u);
}

TEST(Universe, RefusesGrowthPastTheCoordinates)
{
    UniverseRule rule = ruleOf("3", "23");
    Universe* u = universeCreate(&rule);
    ASSERT_NE(u, nullptr);
    // A blinker on the last column: its next phase would reach x = 2^31.
    for (int y = 0; y < 3; y++)
        ASSERT_EQ(universeSetCell(u, INT32_MAX - 1, y, 1), 1);
    ASSERT_EQ(universeSetCell(u, INT32_MAX, 1, 1), 1);
    ASSERT_EQ(universeSetCell(u, INT32_MAX - 2, 1, 1), 1);
    Cells before = cellsOf(u);
    EXPECT_STREQ(universeStepFailure(u), "");
    EXPECT_EQ(universeStep(u), 0);
    EXPECT_STREQ(universeStepFailure(u), "the pattern would grow past the 32-bit coordinates");
    EXPECT_EQ(universeGeneration(u), 0);
    EXPECT_EQ(cellsOf(u), before);
    universeRelease(u);
}

TEST(Universe, SettledPatternsKeepStepping)
{
    // A blinker across four tiles' corner and a block far away: the tiles that settle are
    // skipped, the ones that empty are recycled, and both must still come out right.
    UniverseRule rule = ruleOf("3", "23");
    Universe* u = universeCreate(&rule);
    ASSERT_NE(u, nullptr);
    for (int x = 62; x <= 64; x++)
        universeSetCell(u, x, 63, 1);
    universeSetCell(u, 1000, 1000, 1);
    universeSetCell(u, 1001, 1000, 1);
    universeSetCell(u, 1000, 1001, 1);
    universeSetCell(u, 1001, 1001, 1);
    for (int g = 0; g < 4; g++)
        ASSERT_EQ(universeStep(u), 1);
    Cells settled = cellsOf(u);
    for (int g = 0; g < 100; g++)
        ASSERT_EQ(universeStep(u), 1);
    EXPECT_EQ(cellsOf(u), settled);
    int32_t l, t, r, b;
    ASSERT_EQ(universeBounds(u, &l, &t, &r, &b), 1);
    EXPECT_EQ(l, 62);
    EXPECT_EQ(t, 63);
    EXPECT_EQ(r, 1001);
    EXPECT_EQ(b, 1001);
    universeRelease(u);
}

TEST(Universe, CellsChangedInSettledTilesAreStepped)
{
    // A block and a blinker: their tile is skipped once it repeats, until a cell set or
    // cleared there must wake it. A lone cell dies at once and leaves the next generation
    // as it was, so only the tile's own record can say that the one after must be stepped.
    UniverseRule rule = ruleOf("3", "23");
    uint8_t tables[2][512];
    referenceTables(rule, tables[0], tables[1]);
    Cells cells = {{10, 10}, {10, 11}, {11, 10}, {11, 11}, {20, 30}, {20, 31}, {20, 32}};
    Universe* u = universeOf(rule, cells);
    const Cell changes[] = {{5, 20}, {11, 11}, {40, 40}, {20, 31}};
    for (int change = 0; change < 4; change++) {
        for (int g = 0; g < 4 + change; g++) {
            cells = referenceStep(cells, tables[universeGeneration(u) & 1], rule.grid);
            ASSERT_EQ(universeStep(u), 1);
            Cells ours = cellsOf(u);
            ASSERT_TRUE(ours == cells) << "before change " << change << ", step " << g + 1 << ":" << difference(ours, cells);
        }
        Cell c = changes[change];
        int alive = !cells.count(c);
        ASSERT_EQ(universeSetCell(u, (int32_t)c.second, (int32_t)c.first, alive), 1);
        if (alive)
            cells.insert(c);
        else
            cells.erase(c);
    }
    universeRelease(u);
}

TEST(Universe, StepsThatRunOutOfMemoryLeaveTheGeneration)
{
    // B1/S spreads a cell a generation every way: new tiles, new blocks of them, and a
    // hash table and tile list that must grow.
    std::mt19937 random(3);
    UniverseRule rule = ruleOf("1", "");
    Cells start = soup(random, -5, -5, 10, 10, 50);
    for (int64_t failAt = 1;; failAt++) {
        Universe* u = universeOf(rule, start);
        for (int g = 0; g < 3; g++)
            ASSERT_EQ(universeStep(u), 1);
        heapHookReset();
        heapHook.failAt = failAt;
        heapHook.failRest = 1;
        int stepped = 1;
        for (int g = 0; g < 400 && stepped; g++)
            stepped = universeStep(u);
        heapHookReset();
        if (stepped) {
            universeRelease(u);
            ASSERT_GT(failAt, 1) << "the run never allocated";
            break;
        }
        // The failed step changed nothing: the run goes on from there as if never stopped.
        int64_t generation = universeGeneration(u);
        Cells held = cellsOf(u);
        Universe* again = universeOf(rule, start);
        while (universeGeneration(again) < generation)
            ASSERT_EQ(universeStep(again), 1);
        EXPECT_EQ(held, cellsOf(again)) << "allocation " << failAt;
        ASSERT_EQ(universeStep(u), 1);
        ASSERT_EQ(universeStep(again), 1);
        EXPECT_EQ(cellsOf(u), cellsOf(again)) << "allocation " << failAt;
        universeRelease(again);
        universeRelease(u);
    }
}

TEST(Universe, SettledStepsAllocateNothing)
{
    // A soup run until its ash repeats with period 2, on the plane and on a torus.
    for (int torus = 0; torus < 2; torus++) {
        std::mt19937 random(9);
        UniverseRule rule = ruleOf("3", "23", torus ? shapeOf(LIFE_TORUS, 100, 90) : LifeGridShape{});
        Universe* u = universeOf(rule, soup(random, -40, -40, 80, 80, 40));
        for (int g = 0; g < 1500; g++)
            ASSERT_EQ(universeStep(u), 1);
        heapHookReset();
        for (int g = 0; g < 50; g++)
            ASSERT_EQ(universeStep(u), 1);
        int64_t calls = heapHook.calls;
        heapHookReset();
        EXPECT_EQ(calls, 0) << (torus ? "torus" : "plane");
        universeRelease(u);
    }
}

// What a far view reads instead of the cells: the tiles a world answers for,
// whose rows hold exactly the listed cells, squares of every size that say
// they hold nothing only where no cell lives, and a tile's blocks, each marked
// exactly when a cell lives in it, at every block size.
TEST(Universe, TilesSquaresAndBlocksHoldExactlyTheLiveCells)
{
    std::mt19937 random(5);
    char reason[128];
    World* world = worldCreate("B3/S23", reason, sizeof reason);
    ASSERT_NE(world, nullptr) << reason;
    for (const auto& cell : soup(random, -150, -90, 300, 200, 30))
        ASSERT_EQ(worldSetCell(world, cell.second, cell.first, 1), 1);
    ASSERT_EQ(worldStep(world, 3), 1);
    Cells cells;
    worldForEachCell(
        world, [](void* context, int64_t x, int64_t y) { ((Cells*)context)->insert({y, x}); }, &cells);
    Cells fromTiles;
    int32_t tileCount = 0;
    for (int64_t ty = -4; ty < 4; ty++)
        for (int64_t tx = -4; tx < 4; tx++) {
            uint64_t rows[64];
            if (!worldTileRows(world, tx, ty, rows))
                continue;
            tileCount++;
            for (int y = 0; y < 64; y++)
                for (int x = 0; x < 64; x++)
                    if (rows[y] >> x & 1)
                        fromTiles.insert({ty * 64 + y, tx * 64 + x});
            for (int shift = 0; shift <= 6; shift++) {
                uint64_t blocks[64];
                const int32_t count = worldTileBlocks(rows, shift, blocks);
                ASSERT_EQ(count, 64 >> shift);
                for (int j = 0; j < count; j++)
                    for (int i = 0; i < 64; i++) {
                        bool live = false;
                        for (int y = j << shift; i < count && y < (j + 1) << shift; y++)
                            for (int x = i << shift; x < (i + 1) << shift; x++)
                                live = live || (rows[y] >> x & 1);
                        ASSERT_EQ((blocks[j] >> i & 1) != 0, live) << "tile " << tx << "," << ty << " shift " << shift;
                    }
            }
        }
    EXPECT_GT(tileCount, 20);
    EXPECT_EQ(fromTiles, cells);
    // Squares from two tiles a side to the whole plane: one that holds a cell
    // always says it may.
    for (int32_t shift = 7; shift <= 34; shift++) {
        const int64_t side = (int64_t)1 << shift;
        for (const auto& cell : cells) {
            const int64_t x = (cell.second >> shift) * side, y = (cell.first >> shift) * side;
            ASSERT_EQ(worldMayHold(world, x, y, shift), 1) << shift;
        }
    }
    EXPECT_EQ(worldMayHold(world, 1 << 20, 1 << 20, 12), 0);
    EXPECT_EQ(worldMayHold(world, -(1 << 20), 1 << 20, 20), 0);
    // Cleared and stepped until its tiles are recycled, it holds nothing at any size.
    for (const auto& cell : cells)
        ASSERT_EQ(worldSetCell(world, cell.second, cell.first, 0), 1);
    ASSERT_EQ(worldStep(world, 4), 1);
    for (int32_t shift = 7; shift <= 34; shift++) {
        const int64_t side = (int64_t)1 << shift;
        for (const auto& cell : cells)
            ASSERT_EQ(worldMayHold(world, (cell.second >> shift) * side, (cell.first >> shift) * side, shift), 0)
                << shift;
    }
    worldRelease(world);
}

// bgolly, Debian's batch runner of the community's program, as the outside oracle.
struct Bgolly : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        if (access("/usr/bin/bgolly", X_OK) != 0)
            GTEST_SKIP() << "bgolly is not installed (Debian package golly)";
    }
};

std::string rleOf(const Cells& cells, const std::string& rule)
{
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (auto& c : cells) {
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
