// A world written to Life.ini and Rules.ini and read back as start-up reads
// them runs on as the world itself would have, on every engine and at any
// generation: under B0 without S8 the odd generations hold the complement of
// the cells, which the files carry with the rule it runs under.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "life/world.h"
#include "support/support.h"

namespace {

using Cells = std::set<std::pair<int64_t, int64_t>>;

Cells cellsOf(const World* world)
{
    Cells cells;
    worldForEachCell(
        world, [](void* context, int64_t x, int64_t y) { ((Cells*)context)->insert({x, y}); }, &cells);
    return cells;
}

TEST(World, SavedAndReadBackItRunsOnAsItWould)
{
    TempDir dir;
    for (const char* rules : {"1 4 3 3", "B3/S23", "B0136/S0125", "B0123478/S34678", "B0136/S0125:T40,30", "B2n3/S23-q"}) {
        for (int64_t generation : {6, 7}) {
            SCOPED_TRACE(std::string(rules) + " at generation " + std::to_string(generation));
            char reason[WORLD_REASON];
            World* world = worldCreate(rules, reason, sizeof reason);
            ASSERT_NE(world, nullptr) << reason;
            std::mt19937 random(7);
            for (int64_t y = 5; y < 14; y++)
                for (int64_t x = 5; x < 19; x++) {
                    if (random() % 3 == 0) {
                        ASSERT_EQ(worldSetCell(world, x, y, 1), 1);
                    }
                }
            ASSERT_EQ(worldStep(world, generation), 1);
            ASSERT_EQ(worldSave(world, "", reason, sizeof reason), 1) << reason;
            WorldLoadNotes notes;
            World* read = worldLoadFiles(&notes);
            ASSERT_NE(read, nullptr) << lifeLoadReason();
            EXPECT_STREQ(notes.rulesWarning, "");
            EXPECT_EQ(cellsOf(read), cellsOf(world));
            for (int step = 1; step <= 3; step++) {
                ASSERT_EQ(worldStep(world, 1), 1);
                ASSERT_EQ(worldStep(read, 1), 1);
                EXPECT_EQ(cellsOf(read), cellsOf(world)) << "step " << step;
            }
            worldRelease(read);
            worldRelease(world);
        }
    }
}

// Every two-state engine says so, visits its live cells in state 1, in
// forEachCell's order, and takes no state past 1.
TEST(World, TwoStateEnginesHaveTwoStates)
{
    for (const char* rules : {"1 4 3 3", "B3/S23", "B36/S23:T40,30"}) {
        SCOPED_TRACE(rules);
        char reason[WORLD_REASON];
        World* world = worldCreate(rules, reason, sizeof reason);
        ASSERT_NE(world, nullptr) << reason;
        EXPECT_EQ(world->states, 2);
        for (int64_t x : {3, 9, 4})
            ASSERT_EQ(worldSetCell(world, x, 7 + x % 2, 1), 1);
        EXPECT_EQ(worldSetCell(world, 5, 5, 2), 0);
        EXPECT_EQ(worldSetCell(world, 5, 5, -1), 0);
        EXPECT_EQ(worldGetCell(world, 5, 5), 0);
        std::vector<std::pair<int64_t, int64_t>> cells, stated;
        worldForEachCell(
            world, [](void* c, int64_t x, int64_t y) { ((decltype(cells)*)c)->push_back({x, y}); }, &cells);
        const int64_t visited = worldForEachState(
            world,
            [](void* c, int64_t x, int64_t y, int state) {
                EXPECT_EQ(state, 1);
                ((decltype(stated)*)c)->push_back({x, y});
            },
            &stated);
        EXPECT_EQ(visited, 3);
        EXPECT_EQ(stated, cells);
        worldRelease(world);
    }
}

// A Life.ini past the limit is refused whole rather than read in part.
TEST(World, ALifeIniPastItsLimitIsRefused)
{
    TempDir dir;
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "1\n0 0 0\n");
    std::filesystem::resize_file("Life.ini", (uintmax_t)WORLD_LIFE_FILE_MAX + 1);
    WorldLoadNotes notes;
    EXPECT_EQ(worldLoadFiles(&notes), nullptr);
    EXPECT_STREQ(lifeLoadReason(), "Life.ini: larger than 256 MiB; refused");
}

} // namespace
