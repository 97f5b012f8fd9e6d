// The universe against an independent model of its step: every topology and
// rule kind, settled tiles, memory and coordinates running out, and what a far
// view reads of it.
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
        ASSERT_EQ(universeSetCell(u, INT32_MAX, y, 1), 1);
    Cells before = cellsOf(u);
    EXPECT_STREQ(universeStepFailure(u), "");
    EXPECT_EQ(universeStep(u), 0);
    EXPECT_STREQ(universeStepFailure(u), "the pattern would grow past the 32-bit coordinates");
    EXPECT_EQ(universeGeneration(u), 0);
    EXPECT_EQ(cellsOf(u), before);
    universeRelease(u);
}

// Live cells on the plane's last rows and columns step on as long as nothing
// would be born beyond them: blocks in two far corners, a blinker turning on
// the last column, a pair of cells dying on it.
TEST(Universe, StepsAtThePlanesEdgeWhileNothingGrowsPastIt)
{
    UniverseRule rule = ruleOf("3", "23");
    Universe* u = universeCreate(&rule);
    ASSERT_NE(u, nullptr);
    for (const int64_t corner : {(int64_t)INT32_MIN, (int64_t)INT32_MAX - 1})
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 2; x++)
                ASSERT_EQ(universeSetCell(u, (int32_t)(corner + x), (int32_t)(corner + y), 1), 1);
    for (int y = 0; y < 3; y++)
        ASSERT_EQ(universeSetCell(u, INT32_MAX - 1, 10 + y, 1), 1);
    ASSERT_EQ(universeSetCell(u, INT32_MAX, 30, 1), 1);
    ASSERT_EQ(universeSetCell(u, INT32_MAX - 1, 30, 1), 1);
    const Cells start = cellsOf(u);
    Cells model = start;
    uint8_t table[512];
    for (int i = 0; i < 512; i++)
        table[i] = rule.next[i];
    for (int g = 1; g <= 6; g++) {
        ASSERT_EQ(universeStep(u), 1) << universeStepFailure(u);
        model = referenceStep(model, table, LifeGridShape{});
        EXPECT_EQ(cellsOf(u), model) << "generation " << g;
    }
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

} // namespace
