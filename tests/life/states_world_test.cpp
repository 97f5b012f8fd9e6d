// The multi-state engine against small references written here from the
// rules' definitions (a dense grid stepped cell by cell), and what it shows as
// a world: states, population, order, tiles, snapshots, bounded grids.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "life/states.h"
#include "life/world.h"

namespace {

using Cells = std::map<std::pair<int64_t, int64_t>, int>; // (y, x) -> state

Cells cellsOf(const World* world)
{
    Cells cells;
    worldForEachState(
        world, [](void* c, int64_t x, int64_t y, int state) { (*(Cells*)c)[{y, x}] = state; }, &cells);
    return cells;
}

World* create(const char* text)
{
    StatesRuleSource source = {"", nullptr, 0};
    StatesRule rule;
    char reason[256];
    EXPECT_EQ(statesRuleParse(text, &source, &rule, reason, sizeof reason), 1) << reason;
    World* world = statesWorldCreate(&rule, reason, sizeof reason);
    statesRuleRelease(&rule);
    EXPECT_NE(world, nullptr) << reason;
    return world;
}

Cells soup(int width, int height, int states, unsigned seed, int64_t left = 0, int64_t top = 0)
{
    std::mt19937 random(seed);
    Cells cells;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (random() % 2)
                cells[{top + y, left + x}] = 1 + (int)(random() % (unsigned)(states - 1));
    return cells;
}

void put(World* world, const Cells& cells)
{
    for (auto& c : cells)
        ASSERT_EQ(worldSetCell(world, c.first.second, c.first.first, c.second), 1);
}

// The reference: a dense square of cells, side 2 * half centred on the origin, far
// larger than the pattern grows to in the generations asked; dead outside.
struct Dense {
    int64_t half;
    std::vector<int> cells;
    int at(int64_t x, int64_t y) const
    {
        if (x < -half || x >= half || y < -half || y >= half)
            return 0;
        return cells[(size_t)((y + half) * 2 * half + (x + half))];
    }
};

Dense dense(const Cells& cells, int64_t half)
{
    Dense d = {half, std::vector<int>((size_t)(4 * half * half), 0)};
    for (auto& c : cells)
        d.cells[(size_t)((c.first.first + half) * 2 * half + (c.first.second + half))] = c.second;
    return d;
}

Cells sparse(const Dense& d)
{
    Cells cells;
    for (int64_t y = -d.half; y < d.half; y++)
        for (int64_t x = -d.half; x < d.half; x++)
            if (d.at(x, y))
                cells[{y, x}] = d.at(x, y);
    return cells;
}

template <class Next> Dense stepDense(const Dense& d, Next next)
{
    Dense out = d;
    for (int64_t y = -d.half; y < d.half; y++)
        for (int64_t x = -d.half; x < d.half; x++)
            out.cells[(size_t)((y + d.half) * 2 * d.half + (x + d.half))] = next(d, x, y);
    return out;
}

// Generations from its definition: state-1 neighbours counted, born or kept
// by the digit sets, every other live state one older, the last one dead.
int generationsNext(const Dense& d, int64_t x, int64_t y, const std::string& birth, const std::string& survival,
                    int states)
{
    int live = 0;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            live += (dx || dy) && d.at(x + dx, y + dy) == 1;
    const int s = d.at(x, y);
    const char count = (char)('0' + live);
    if (s == 0)
        return birth.find(count) != std::string::npos;
    if (s == 1)
        return survival.find(count) != std::string::npos ? 1 : states > 2 ? 2 : 0;
    return s + 1 == states ? 0 : s + 1;
}

TEST(StatesWorld, GenerationsRunAsTheirDefinitionSays)
{
    struct Case {
        const char* rule;
        const char* birth;
        const char* survival;
        int states;
    } cases[] = {{"/2/3", "2", "", 3}, {"345/2/4", "2", "345", 4}, {"B3/S23/C8", "3", "23", 8}, {"B36/S125/C5", "36", "125", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        World* world = create(c.rule);
        ASSERT_NE(world, nullptr);
        EXPECT_EQ(world->states, c.states);
        // Across tile edges and the origin, where tiles change sign.
        const Cells start = soup(24, 20, c.states, 11, -12, -70);
        put(world, start);
        Dense d = dense(start, 128);
        for (int g = 1; g <= 40; g++) {
            d = stepDense(d, [&](const Dense& from, int64_t x, int64_t y) {
                return generationsNext(from, x, y, c.birth, c.survival, c.states);
            });
            ASSERT_EQ(worldStep(world, 1), 1);
            ASSERT_EQ(cellsOf(world), sparse(d)) << "generation " << g;
        }
        worldRelease(world);
    }
}

// Larger than Life from its definition: state-1 cells counted over the square,
// diamond or disc of the range, the cell itself when M1.
TEST(StatesWorld, LargerThanLifeRunsAsItsDefinitionSays)
{
    struct Case {
        const char* rule;
        int range, middle, states;
        char kind;
        int sMin, sMax, bMin, bMax;
    } cases[] = {
        {"R2,C0,M1,S5..9,B6..8,NM", 2, 1, 2, 'M', 5, 9, 6, 8},
        {"R2,C4,M0,S3..6,B3..4,NN", 2, 0, 4, 'N', 3, 6, 3, 4},
        {"R3,C0,M1,S7..12,B6..9,NC", 3, 1, 2, 'C', 7, 12, 6, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        World* world = create(c.rule);
        ASSERT_NE(world, nullptr);
        const Cells start = soup(18, 16, 2, 5, 55, -9);
        put(world, start);
        Dense d = dense(start, 128);
        for (int g = 1; g <= 12; g++) {
            d = stepDense(d, [&](const Dense& from, int64_t x, int64_t y) {
                int count = 0;
                for (int dy = -c.range; dy <= c.range; dy++)
                    for (int dx = -c.range; dx <= c.range; dx++) {
                        const bool inside = c.kind == 'M' ? true
                                            : c.kind == 'N' ? std::abs(dx) + std::abs(dy) <= c.range
                                                            : 4 * (dx * dx + dy * dy) < (2 * c.range + 1) * (2 * c.range + 1);
                        if (inside && (dx || dy || c.middle))
                            count += from.at(x + dx, y + dy) == 1;
                    }
                const int s = from.at(x, y);
                if (s == 0)
                    return count >= c.bMin && count <= c.bMax ? 1 : 0;
                if (s == 1)
                    return count >= c.sMin && count <= c.sMax ? 1 : c.states > 2 ? 2 : 0;
                return s + 1 == c.states ? 0 : s + 1;
            });
            ASSERT_EQ(worldStep(world, 1), 1);
            ASSERT_EQ(cellsOf(world), sparse(d)) << "generation " << g;
        }
        worldRelease(world);
    }
}

// WireWorld, shipped as a table, from its definition.
TEST(StatesWorld, WireWorldRunsAsItsDefinitionSays)
{
    World* world = create("WireWorld");
    ASSERT_NE(world, nullptr);
    const Cells start = soup(30, 30, 4, 3, -15, -15);
    put(world, start);
    Dense d = dense(start, 64);
    for (int g = 1; g <= 30; g++) {
        d = stepDense(d, [](const Dense& from, int64_t x, int64_t y) {
            const int s = from.at(x, y);
            if (s != 3)
                return s == 1 ? 2 : s == 2 ? 3 : 0;
            int heads = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++)
                    heads += from.at(x + dx, y + dy) == 1;
            return heads == 1 || heads == 2 ? 1 : 3;
        });
        ASSERT_EQ(worldStep(world, 1), 1);
        ASSERT_EQ(cellsOf(world), sparse(d)) << "generation " << g;
    }
    worldRelease(world);
}

TEST(StatesWorld, ShowsItsCellsAsAWorld)
{
    World* world = create("B2/S/C3:T40,30");
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->states, 3);
    EXPECT_STREQ(world->ruleName, "B2/S/C3:T40,30");
    EXPECT_STREQ(world->rulesText, "B2/S/C3:T40,30");
    EXPECT_EQ(world->extent.left, -20);
    EXPECT_EQ(world->extent.bottom, 14);
    EXPECT_EQ(worldSetCell(world, 3, 4, 3), 0);   // no such state
    EXPECT_EQ(worldSetCell(world, 20, 4, 1), 0);  // outside the grid
    ASSERT_EQ(worldSetCell(world, 3, 4, 2), 1);
    ASSERT_EQ(worldSetCell(world, -1, 4, 1), 1);
    ASSERT_EQ(worldSetCell(world, 5, -2, 1), 1);
    EXPECT_EQ(worldGetCell(world, 3, 4), 2);
    EXPECT_EQ(worldPopulation(world), 3);
    WorldBox box;
    ASSERT_EQ(worldBounds(world, &box), 1);
    EXPECT_EQ(box.left, -1);
    EXPECT_EQ(box.top, -2);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 4);
    // Rows top to bottom, left to right in a row: the order Life.ini is written in.
    std::vector<std::vector<int64_t>> seen;
    worldForEachState(
        world, [](void* c, int64_t x, int64_t y, int s) { ((decltype(seen)*)c)->push_back({x, y, s}); }, &seen);
    EXPECT_EQ(seen, (std::vector<std::vector<int64_t>>{{5, -2, 1}, {-1, 4, 1}, {3, 4, 2}}));
    uint64_t rows[WORLD_TILE] = {};
    ASSERT_EQ(worldTileRows(world, 0, 0, rows), 1);
    EXPECT_EQ(rows[4], 1ull << 3); // every state but 0 is live
    ASSERT_EQ(worldTileRows(world, -1, 0, rows), 1);
    EXPECT_EQ(rows[4], 1ull << 63);
    EXPECT_EQ(worldMayHold(world, 0, 0, 6), 1);
    EXPECT_EQ(worldMayHold(world, 64, 0, 6), 0);
    EXPECT_EQ(worldMayHold(world, -128, -128, 8), 1);
    EXPECT_EQ(worldMayHold(world, 256, 0, 8), 0);
    worldRelease(world);
}

// A snapshot taken at any generation runs on as the world it was taken of.
TEST(StatesWorld, SnapshotsRunOnAsTheWorldWould)
{
    for (const char* rule : {"345/2/4", "R2,C3,M1,S4..8,B5..7,NM:T30,30", "LifeHistory:K40*,20"}) {
        SCOPED_TRACE(rule);
        World* world = create(rule);
        ASSERT_NE(world, nullptr);
        put(world, soup(12, 12, world->states, 9, -6, -6));
        ASSERT_EQ(worldStep(world, 5), 1);
        WorldSnapshot* snapshot = worldSnapshotTake(world, nullptr);
        ASSERT_NE(snapshot, nullptr);
        EXPECT_GT(worldSnapshotBytes(snapshot), (size_t)4096);
        ASSERT_EQ(worldStep(world, 7), 1);
        World* restored = worldSnapshotRestore(snapshot);
        ASSERT_NE(restored, nullptr);
        EXPECT_EQ(worldGeneration(restored), 5);
        EXPECT_EQ(restored->states, world->states);
        ASSERT_EQ(worldStep(restored, 7), 1);
        EXPECT_EQ(cellsOf(restored), cellsOf(world));
        // Filled again in place.
        snapshot = worldSnapshotTake(world, snapshot);
        ASSERT_NE(snapshot, nullptr);
        World* again = worldSnapshotRestore(snapshot);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(cellsOf(again), cellsOf(world));
        worldRelease(again);
        worldRelease(restored);
        worldSnapshotRelease(snapshot);
        worldRelease(world);
    }
}

} // namespace
