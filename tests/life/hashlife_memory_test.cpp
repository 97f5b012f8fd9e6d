// Hashlife when memory runs out: the heap refusing any one allocation or all
// from one on, in a step, an edit, a world's making, a snapshot and the walk
// over the cells; and the memory budget, under which a long run collects the
// nodes no world holds and still agrees with the universe, and past which a
// step stops with the reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hashlife_support.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

using namespace hashlife_support;

// The cells the universe holds after the given generations from start.
Cells universeAt(const UniverseRule& rule, const Cells& start, int64_t generation)
{
    World* universe = universeWorldCreate(&rule);
    fill(universe, start);
    EXPECT_EQ(worldStep(universe, generation), 1);
    Cells cells = cellsOf(universe);
    worldRelease(universe);
    return cells;
}

// A world holding the cells built at once, so that it holds no node a
// collection could free.
World* builtOf(const UniverseRule& rule, const Cells& cells)
{
    std::vector<int32_t> xy;
    for (const Cell& c : cells) {
        xy.push_back((int32_t)c.second);
        xy.push_back((int32_t)c.first);
    }
    char reason[WORLD_REASON] = "";
    return hashlifeWorldFromCells(&rule, xy.data(), (int64_t)cells.size(), 0, 0, reason, sizeof reason);
}

// The heap refuses the n-th allocation from now, and with rest every one after.
void refuseFrom(int64_t n, int rest)
{
    heapHookReset();
    heapHook.failAt = n;
    heapHook.failRest = rest;
}

TEST(HashlifeMemory, HeapRefusingStopsAStepAtAGenerationItReached)
{
    std::mt19937 random(3);
    const UniverseRule rule = parsedRule("B3/S23");
    const Cells start = universe_model::soup(random, -40, -40, 80, 80, 40);
    // The allocations a step makes: blocks of nodes as the table grows, and
    // its slots, which it goes without when refused.
    World* counted = builtOf(rule, start);
    ASSERT_NE(counted, nullptr);
    heapHookReset();
    ASSERT_EQ(worldStep(counted, 200), 1);
    const int64_t allocations = heapHook.calls;
    worldRelease(counted);
    ASSERT_GT(allocations, 3);
    int stopped = 0;
    for (int64_t n = 1; n <= allocations + 1; n++) {
        for (int rest = 0; rest < 2; rest++) {
            SCOPED_TRACE("allocation " + std::to_string(n) + (rest ? " and every one after" : " alone"));
            World* world = builtOf(rule, start);
            ASSERT_NE(world, nullptr);
            refuseFrom(n, rest);
            const int stepped = worldStep(world, 200);
            heapHookReset();
            if (!stepped) {
                EXPECT_STREQ(world->failure, "memory ran out");
                stopped++;
            }
            // With nothing to be had the step cannot begin.
            EXPECT_TRUE(!stepped || n > 1 || !rest);
            // One refusal alone is met by collecting and trying again.
            EXPECT_TRUE(stepped || rest);
            const int64_t reached = worldGeneration(world);
            EXPECT_TRUE(cellsOf(world) == universeAt(rule, start, reached));
            // The world goes on from there as if never stopped.
            ASSERT_EQ(worldStep(world, 200 - reached), 1) << world->failure;
            EXPECT_TRUE(cellsOf(world) == universeAt(rule, start, 200));
            worldRelease(world);
        }
    }
    EXPECT_GT(stopped, 0);
}

TEST(HashlifeMemory, HeapRefusingFailsEditsMakingSnapshotsAndWalks)
{
    std::mt19937 random(9);
    const UniverseRule rule = parsedRule("B36/S23");
    const Cells start = universe_model::soup(random, 0, 0, 40, 40, 40);
    for (int64_t n = 1; n < 60; n++) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        refuseFrom(n, 1);
        char reason[WORLD_REASON] = "";
        World* made = hashlifeWorldFromCells(&rule, nullptr, 0, 0, 0, reason, sizeof reason);
        heapHookReset();
        if (made) {
            EXPECT_EQ(worldPopulation(made), 0);
            worldRelease(made);
        } else {
            EXPECT_STREQ(reason, "out of memory");
        }
        refuseFrom(n, 1);
        made = builtOf(rule, start);
        heapHookReset();
        if (made) {
            EXPECT_TRUE(cellsOf(made) == start);
            worldRelease(made);
        }
        World* world = builtOf(rule, start);
        ASSERT_NE(world, nullptr);
        // A cell far off needs a new path of nodes up to a larger root.
        refuseFrom(n, 1);
        const int set = worldSetCell(world, (int64_t)1 << 40, 5, 1);
        heapHookReset();
        EXPECT_EQ(worldGetCell(world, (int64_t)1 << 40, 5), set);
        Cells expected = start;
        if (set)
            expected.insert({5, (int64_t)1 << 40});
        EXPECT_TRUE(cellsOf(world) == expected);
        refuseFrom(n % 3 + 1, 1);
        WorldSnapshot* snapshot = worldSnapshotTake(world, nullptr);
        heapHookReset();
        if (!snapshot)
            snapshot = worldSnapshotTake(world, nullptr);
        ASSERT_NE(snapshot, nullptr);
        refuseFrom(n % 3 + 1, 1);
        World* back = worldSnapshotRestore(snapshot);
        heapHookReset();
        refuseFrom(1, 1);
        int64_t visits = 0;
        const int64_t walked = worldForEachCell(world, [](void* c, int64_t, int64_t) { ++*(int64_t*)c; }, &visits);
        heapHookReset();
        EXPECT_EQ(walked, -1);
        EXPECT_EQ(visits, 0);
        if (back) {
            EXPECT_TRUE(cellsOf(back) == expected);
            worldRelease(back);
        }
        worldSnapshotRelease(snapshot);
        worldRelease(world);
    }
}

// The budget as the app set it, put back when the test ends.
struct BudgetKept {
    size_t was = hashlifeLimits.budgetBytes;
    ~BudgetKept() { hashlifeLimits.budgetBytes = was; }
};

TEST(HashlifeMemory, ALongRunCollectsWithinItsBudget)
{
    BudgetKept kept;
    std::mt19937 random(12);
    const UniverseRule rule = parsedRule("B3/S23");
    const Cells start = universe_model::soup(random, -100, -100, 200, 200, 40);
    const Cells expected = universeAt(rule, start, 1500);
    // Unbounded, the run keeps every node it made.
    World* whole = hashlifeOf(rule);
    fill(whole, start);
    ASSERT_EQ(worldStep(whole, 1500), 1);
    const size_t unbounded = hashlifeWorldBytes(whole);
    EXPECT_TRUE(cellsOf(whole) == expected);
    worldRelease(whole);
    // Under a third of that, one generation at a time and all at once.
    hashlifeLimits.budgetBytes = unbounded / 3;
    ASSERT_GT(hashlifeLimits.budgetBytes, (size_t)2 << 20) << "the run is too small to need collecting";
    for (int64_t step : {1, 1500}) {
        SCOPED_TRACE("steps of " + std::to_string(step));
        World* world = hashlifeOf(rule);
        fill(world, start);
        WorldSnapshot* snapshot = worldSnapshotTake(world, nullptr);
        while (worldGeneration(world) < 1500)
            ASSERT_EQ(worldStep(world, step), 1) << world->failure;
        EXPECT_LE(hashlifeWorldBytes(world), hashlifeLimits.budgetBytes);
        EXPECT_TRUE(cellsOf(world) == expected);
        // The snapshot's nodes were held through every collection.
        World* back = worldSnapshotRestore(snapshot);
        EXPECT_TRUE(cellsOf(back) == start);
        worldRelease(back);
        worldSnapshotRelease(snapshot);
        worldRelease(world);
    }
}

TEST(HashlifeMemory, PastTheBudgetAStepStopsWithTheReason)
{
    BudgetKept kept;
    std::mt19937 random(4);
    const UniverseRule rule = parsedRule("B3/S23");
    const Cells start = universe_model::soup(random, 0, 0, 120, 120, 40);
    World* world = builtOf(rule, start);
    ASSERT_NE(world, nullptr);
    hashlifeLimits.budgetBytes = hashlifeWorldBytes(world);
    ASSERT_EQ(worldStep(world, 100), 0);
    EXPECT_NE(std::string(world->failure).find("memory budget"), std::string::npos) << world->failure;
    EXPECT_TRUE(cellsOf(world) == universeAt(rule, start, worldGeneration(world)));
    // With the budget raised the run goes on.
    hashlifeLimits.budgetBytes = kept.was;
    ASSERT_EQ(worldStep(world, 100 - worldGeneration(world)), 1) << world->failure;
    EXPECT_TRUE(cellsOf(world) == universeAt(rule, start, 100));
    worldRelease(world);
}

} // namespace
