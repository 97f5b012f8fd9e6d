// A file read into a world with its progress watched: the stages a reader on
// another thread sees, and a stop asked for before the cells are placed.
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

} // namespace
