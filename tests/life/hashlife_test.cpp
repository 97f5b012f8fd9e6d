// Hashlife against the universe, the other engine of the plane, on the same
// cells: stepping by any count, every reading a world gives (cells in order,
// tiles, far views, box), edits, snapshots at odd and even generations; the
// plane past 32 bits against a glider's own motion; refusals; memory and the
// budget running out.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hashlife_support.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

using namespace hashlife_support;

// The two engines holding the same cells under one rule.
struct Twin {
    World* hash;
    World* universe;
};

Twin twinOf(const UniverseRule& rule, const Cells& cells)
{
    Twin t = {hashlifeOf(rule), universeWorldCreate(&rule)};
    EXPECT_NE(t.universe, nullptr);
    fill(t.hash, cells);
    fill(t.universe, cells);
    return t;
}

void release(Twin* t)
{
    worldRelease(t->hash);
    worldRelease(t->universe);
}

// The squares of 2^shift cells that hold a live cell, from the cells alone.
std::set<std::pair<int64_t, int64_t>> heldSquares(const Cells& cells, int shift)
{
    std::set<std::pair<int64_t, int64_t>> held;
    for (const Cell& c : cells)
        held.insert({c.second >> shift, c.first >> shift});
    return held;
}

// Each cell's square of 2^shift cells a side and the eight around it.
std::set<std::pair<int64_t, int64_t>> squaresNear(const Cells& cells, int shift)
{
    std::set<std::pair<int64_t, int64_t>> near;
    for (const Cell& c : cells)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                near.insert({(c.second >> shift) + dx, (c.first >> shift) + dy});
    return near;
}

// Every reading of the hashlife world against the universe's of the same
// cells, and against the cells themselves where the universe only says
// "may": around every live cell, so that the dead ones beside them count too.
void expectSame(const World* hash, const World* universe, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(worldGeneration(hash), worldGeneration(universe));
    const std::vector<Cell> list = listed(hash);
    ASSERT_EQ(list, listed(universe)) << "the cells or their order differ";
    const Cells cells(list.begin(), list.end());
    EXPECT_EQ(worldPopulation(hash), worldPopulation(universe));
    WorldBox hb{}, ub{};
    ASSERT_EQ(worldBounds(hash, &hb), worldBounds(universe, &ub));
    if (cells.empty())
        return;
    EXPECT_TRUE(hb.left == ub.left && hb.top == ub.top && hb.right == ub.right && hb.bottom == ub.bottom);
    for (const auto& s : squaresNear(cells, 1))
        for (int64_t y = 2 * s.second; y < 2 * s.second + 2; y++)
            for (int64_t x = 2 * s.first; x < 2 * s.first + 2; x++)
                ASSERT_EQ(worldGetCell(hash, x, y), (int)cells.count({y, x})) << x << "," << y;
    for (const auto& tile : squaresNear(cells, WORLD_TILE_SHIFT)) {
        uint64_t ours[WORLD_TILE] = {}, theirs[WORLD_TILE] = {};
        ASSERT_EQ(worldTileRows(hash, tile.first, tile.second, ours), worldTileRows(universe, tile.first, tile.second, theirs));
        for (int r = 0; r < WORLD_TILE; r++)
            ASSERT_EQ(ours[r], theirs[r]) << "tile " << tile.first << "," << tile.second << " row " << r;
    }
    for (int shift = WORLD_TILE_SHIFT; shift <= 14; shift++) {
        const auto held = heldSquares(cells, shift);
        for (const auto& square : squaresNear(cells, shift)) {
            const int expected = (int)held.count(square);
            const int64_t x = square.first * ((int64_t)1 << shift), y = square.second * ((int64_t)1 << shift);
            ASSERT_EQ(worldMayHold(hash, x, y, shift), expected) << "square " << x << "," << y << " of 2^" << shift;
            if (expected) {
                ASSERT_EQ(worldMayHold(universe, x, y, shift), 1);
            }
        }
    }
}

const char* const rules[] = {"B3/S23", "B36/S23", "B2n3/S23-q", "B35678/S5678"};

TEST(Hashlife, StepsAndReadsAsTheUniverseDoes)
{
    std::mt19937 random(41);
    for (const char* text : rules) {
        const UniverseRule rule = parsedRule(text);
        // Across tiles and the origin: the tree's quarters meet there.
        Twin t = twinOf(rule, universe_model::soup(random, -37, -29, 70, 60, 38));
        expectSame(t.hash, t.universe, std::string(text) + " at generation 0");
        for (int64_t count : {1, 2, 3, 5, 8, 13, 64, 100, 127}) {
            ASSERT_EQ(worldStep(t.hash, count), 1) << t.hash->failure;
            ASSERT_EQ(worldStep(t.universe, count), 1);
            expectSame(t.hash, t.universe, std::string(text) + " at generation " + std::to_string(worldGeneration(t.hash)));
        }
        release(&t);
    }
}

TEST(Hashlife, RandomTablesStepAsTheUniverseDoes)
{
    std::mt19937 random(5);
    for (int round = 0; round < 4; round++) {
        const UniverseRule rule = universe_model::randomRule(random, false, false);
        Twin t = twinOf(rule, universe_model::soup(random, -20, 10, 40, 30, 30));
        for (int64_t count : {1, 4, 7, 16}) {
            ASSERT_EQ(worldStep(t.hash, count), 1) << t.hash->failure;
            ASSERT_EQ(worldStep(t.universe, count), 1);
            expectSame(t.hash, t.universe, "round " + std::to_string(round));
        }
        release(&t);
    }
}

TEST(Hashlife, EditsBetweenStepsAsTheUniverseDoes)
{
    std::mt19937 random(17);
    const UniverseRule rule = parsedRule("B3/S23");
    Twin t = twinOf(rule, universe_model::soup(random, 0, 0, 50, 50, 35));
    for (int round = 0; round < 20; round++) {
        for (int edit = 0; edit < 40; edit++) {
            // Near the pattern, now and then at the ends of the 32-bit plane.
            int64_t x = (int64_t)(random() % 90) - 20, y = (int64_t)(random() % 90) - 20;
            if (edit == 0)
                x = round % 2 ? INT32_MAX : INT32_MIN;
            const int state = (int)(random() % 2);
            ASSERT_EQ(worldSetCell(t.hash, x, y, state), 1);
            ASSERT_EQ(worldSetCell(t.universe, x, y, state), 1);
        }
        expectSame(t.hash, t.universe, "edits of round " + std::to_string(round));
        ASSERT_EQ(worldStep(t.hash, round + 1), 1);
        ASSERT_EQ(worldStep(t.universe, round + 1), 1);
    }
    expectSame(t.hash, t.universe, "the last step");
    release(&t);
}

TEST(Hashlife, SnapshotsRestoreAtOddAndEvenGenerations)
{
    std::mt19937 random(23);
    const UniverseRule rule = parsedRule("B36/S23");
    Twin t = twinOf(rule, universe_model::soup(random, -30, -30, 60, 60, 40));
    WorldSnapshot* kept[2] = {nullptr, nullptr};
    WorldSnapshot* theirs[2] = {nullptr, nullptr};
    for (int64_t generation : {7, 8, 21, 30}) {
        ASSERT_EQ(worldStep(t.hash, generation - worldGeneration(t.hash)), 1);
        ASSERT_EQ(worldStep(t.universe, generation - worldGeneration(t.universe)), 1);
        // Taken again into the snapshot of the generation of the same parity.
        const int parity = (int)(generation & 1);
        kept[parity] = worldSnapshotTake(t.hash, kept[parity]);
        theirs[parity] = worldSnapshotTake(t.universe, theirs[parity]);
        ASSERT_TRUE(kept[parity] && theirs[parity]);
    }
    ASSERT_EQ(worldStep(t.hash, 50), 1);
    // The world the snapshots came from goes first: they hold its nodes.
    worldRelease(t.hash);
    for (int parity = 0; parity < 2; parity++) {
        Twin back = {worldSnapshotRestore(kept[parity]), worldSnapshotRestore(theirs[parity])};
        ASSERT_TRUE(back.hash && back.universe);
        expectSame(back.hash, back.universe, "restored at parity " + std::to_string(parity));
        // Two worlds from one snapshot step apart without touching each other.
        World* again = worldSnapshotRestore(kept[parity]);
        ASSERT_EQ(worldStep(back.hash, 33), 1);
        ASSERT_EQ(worldStep(back.universe, 33), 1);
        expectSame(back.hash, back.universe, "restored and stepped");
        ASSERT_EQ(worldGeneration(again), worldGeneration(back.universe) - 33);
        ASSERT_EQ(worldStep(again, 33), 1);
        expectSame(again, back.universe, "restored twice and stepped");
        EXPECT_GT(worldSnapshotBytes(kept[parity]), (size_t)0);
        worldRelease(again);
        release(&back);
    }
    // A snapshot of another world's store handed back for reuse is let go.
    World* other = hashlifeOf(rule);
    kept[0] = worldSnapshotTake(other, kept[0]);
    ASSERT_NE(kept[0], nullptr);
    EXPECT_EQ(worldGeneration(other), 0);
    worldRelease(other);
    for (int parity = 0; parity < 2; parity++) {
        worldSnapshotRelease(kept[parity]);
        worldSnapshotRelease(theirs[parity]);
    }
    worldRelease(t.universe);
}

// A glider heading south-east: four generations on it is one cell further
// each way, the same shape.
Cells glider(int64_t x, int64_t y)
{
    return {{y, x + 1}, {y + 1, x + 2}, {y + 2, x}, {y + 2, x + 1}, {y + 2, x + 2}};
}

TEST(Hashlife, HoldsThePlanePastThirtyTwoBits)
{
    const UniverseRule rule = parsedRule("B3/S23");
    const int64_t far = (int64_t)1 << 58;
    World* world = hashlifeOf(rule);
    fill(world, glider(far, -far));
    const int64_t steps = (int64_t)1 << 40;
    ASSERT_EQ(worldStep(world, 4 * steps + 4), 1) << world->failure;
    EXPECT_EQ(worldGeneration(world), 4 * steps + 4);
    EXPECT_TRUE(cellsOf(world) == glider(far + steps + 1, -far + steps + 1));
    uint64_t rows[WORLD_TILE];
    WorldBox box;
    ASSERT_EQ(worldBounds(world, &box), 1);
    EXPECT_EQ(worldTileRows(world, box.left >> 6, box.top >> 6, rows), 1);
    EXPECT_EQ(worldMayHold(world, box.left & -((int64_t)1 << 50), box.top & -((int64_t)1 << 50), 50), 1);
    EXPECT_EQ(worldMayHold(world, 0, 0, 50), 0);
    EXPECT_EQ(worldMayHold(world, INT64_MIN, INT64_MIN, 64), 1);
    worldRelease(world);
}

TEST(Hashlife, RefusesWhatWouldPassItsReach)
{
    const UniverseRule rule = parsedRule("B3/S23");
    World* world = hashlifeOf(rule);
    const int64_t reach = (int64_t)1 << 61;
    EXPECT_EQ(worldSetCell(world, reach, 0, 1), 0);
    EXPECT_EQ(worldSetCell(world, 0, -reach - 1, 1), 0);
    // A glider 2^57 cells out flies 2^57 more each 2^59 generations: after
    // three such steps it lies past 2^59, where steps stop.
    const int64_t start = (int64_t)1 << 57;
    fill(world, glider(start, start));
    ASSERT_EQ(worldStep(world, (int64_t)1 << 62), 0);
    EXPECT_NE(std::string(world->failure).find("2^59"), std::string::npos) << world->failure;
    const int64_t reached = worldGeneration(world);
    EXPECT_EQ(reached, 3 * ((int64_t)1 << 59));
    EXPECT_TRUE(cellsOf(world) == glider(start + reached / 4, start + reached / 4));
    // The generation itself would pass int64: refused, nothing changed; no
    // generations, or fewer, are no step.
    ASSERT_EQ(worldStep(world, INT64_MAX), 0);
    EXPECT_EQ(worldGeneration(world), reached);
    EXPECT_EQ(worldStep(world, 0), 1);
    EXPECT_EQ(worldStep(world, -5), 1);
    EXPECT_EQ(worldGeneration(world), reached);
    EXPECT_EQ(worldSetCell(world, reach - 1, reach - 1, 1), 1);
    EXPECT_EQ(worldGetCell(world, reach - 1, reach - 1), 1);
    worldRelease(world);
}

TEST(Hashlife, RefusesB0AndBoundedGridsWhichStayOnTheUniverse)
{
    for (const char* text : {"B03/S23", "B3/S23:T40,30", "B3/S23:P20,20"}) {
        const UniverseRule rule = parsedRule(text);
        char reason[WORLD_REASON] = "";
        EXPECT_EQ(hashlifeWorldCreate(&rule, reason, sizeof reason), nullptr) << text;
        EXPECT_NE(std::string(reason).find(rule.name), std::string::npos) << reason;
        World* world = worldCreateForRule(&rule);
        ASSERT_NE(world, nullptr);
        EXPECT_EQ(hashlifeWorldBytes(world), (size_t)0) << text << " runs on the universe";
        worldRelease(world);
    }
}

} // namespace
