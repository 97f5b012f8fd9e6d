// A file read into a world with its progress watched: the stages a reader on
// another thread sees, and a stop asked for before the cells are placed; a
// macrocell file's cells listed at the generation the file gives.
#include <gtest/gtest.h>

#include "pattern/pattern.h"
#include "support/support.h"

namespace {

TEST(PatternLoad, ProgressEndsPlacingEveryCellAndAStopRefusesTheLoad)
{
    TempDir dir;
    writeFile("glider.rle", "x = 3, y = 3\nbo$2bo$3o!\n");
    PatternReport report;
    PatternError error;
    PatternProgress progress = {};
    World* world = patternLoadWorld("glider.rle", &report, &error, &progress);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(worldPopulation(world), 5);
    EXPECT_EQ(progress.stage.load(), PATTERN_PLACING);
    EXPECT_EQ(progress.total.load(), 5);
    worldRelease(world);

    PatternProgress stopped = {};
    stopped.cancel.store(1);
    EXPECT_EQ(patternLoadWorld("glider.rle", &report, &error, &stopped), nullptr);
    EXPECT_STREQ(error.message, "cancelled");
}

// Listed, not built into hashlife (a rule of more states, a bounded grid): the
// cells open at "#G" and step on from there, which they do only if they were
// set where that generation keeps its cells.
TEST(PatternLoad, AMacrocellListedOpensAtItsGeneration)
{
    TempDir dir;
    struct Case {
        const char* text;
        int64_t generation;
        int64_t population;
    };
    for (const Case& c : {Case{"[M2] (test)\n#R WireWorld\n#G 1001\n1 0 1 2 3\n2 0 1 0 0\n", 1001, 3},
                          Case{"[M2] (test)\n#R B3/S23:T16,16\n#G 7\n$$..*$...*$.***$\n", 7, 5}}) {
        writeFile("listed.mc", c.text);
        PatternReport report;
        PatternError error;
        World* world = patternLoadWorld("listed.mc", &report, &error, nullptr);
        ASSERT_NE(world, nullptr) << error.message;
        EXPECT_STREQ(worldEngineName(world), world->states > 2 ? "states" : "universe");
        EXPECT_EQ(worldGeneration(world), c.generation);
        EXPECT_EQ(worldPopulation(world), c.population);
        ASSERT_TRUE(worldStep(world, 1));
        EXPECT_EQ(worldGeneration(world), c.generation + 1);
        EXPECT_EQ(worldPopulation(world), c.population) << c.text;
        worldRelease(world);
    }
}

} // namespace
