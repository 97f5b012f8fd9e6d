#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "span_check.h"
#include "support/support.h"

namespace {

struct SpanHistogramTest : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        heapHookReset();
        ASSERT_EQ(spanTableInit(640, 12), 1);
    }
    void TearDown() override
    {
        heapHookReset();
        spanTableRelease();
    }
    void add(int row, int32_t xStart, int32_t xEnd)
    {
        SpanNode s = makeSpan(0, xStart, xEnd, 0.5f, 0.0f);
        ASSERT_NE(spanListAppend(&spanTable.pool, &spanTable.rows[row], &s, nullptr), nullptr);
    }
};

std::string bar(int length, int count, int stars)
{
    char prefix[64];
    snprintf(prefix, sizeof prefix, "%4d (%4d) : ", length, count);
    return prefix + std::string((size_t)stars, '*') + "\n";
}

} // namespace

TEST_F(SpanHistogramTest, NoVisibleSpansGiveAnEmptyFile)
{
    add(0, -20, -5);
    add(0, -5, 0);
    add(3, 700, 800);
    add(4, 7, 7);
    writeSpanHistogram();
    ASSERT_TRUE(fileIsThere("Graph.txt"));
    EXPECT_EQ(readFile("Graph.txt"), "");
}

// Lengths are clipped as span drawing clips: start at 0, an end past the
// width pulled back to width - 1 but an end at the width kept.
TEST_F(SpanHistogramTest, LengthsAreClippedToTheScreen)
{
    struct Case {
        int32_t xStart, xEnd, length;
    } cases[] = {{-5, 10, 10}, {600, 640, 40}, {600, 700, 39}, {630, 641, 9}, {0, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xEnd);
        spanTableReset();
        add(0, c.xStart, c.xEnd);
        writeSpanHistogram();
        EXPECT_EQ(readFile("Graph.txt"), bar(c.length, 1, 50));
    }
}

// Counts of 5 and 10 give 25 and 50 stars; 37 of 74 gives 25; 1 of 1000 gives
// one star (0.05 rounds up). Lines come out shortest first whatever the order
// the lengths were met in.
TEST_F(SpanHistogramTest, BarsScaleToTheMostFrequentLength)
{
    for (int i = 0; i < 10; i++)
        add(0, i * 20, i * 20 + 7);
    for (int i = 0; i < 5; i++)
        add(1, i * 20, i * 20 + 3);
    add(2, 0, 2);
    writeSpanHistogram();
    EXPECT_EQ(readFile("Graph.txt"), bar(2, 1, 5) + bar(3, 5, 25) + bar(7, 10, 50));

    spanTableReset();
    for (int i = 0; i < 74; i++)
        add(3 + i % 4, (i / 4) * 30, (i / 4) * 30 + 20);
    for (int i = 0; i < 37; i++)
        add(7 + i % 4, (i / 4) * 30, (i / 4) * 30 + 12);
    writeSpanHistogram();
    EXPECT_EQ(readFile("Graph.txt"), bar(12, 37, 25) + bar(20, 74, 50));

    spanTableReset();
    for (int row = 0; row < 10; row++)
        for (int i = 0; i < 100; i++)
            add(row, i * 6, i * 6 + 2);
    add(11, 100, 105);
    writeSpanHistogram();
    EXPECT_EQ(readFile("Graph.txt"), bar(2, 1000, 50) + bar(5, 1, 1));
}

TEST_F(SpanHistogramTest, WithoutMemoryTheOldChartStays)
{
    writeFile("Graph.txt", "old\n");
    add(0, 0, 5);
    add(0, 10, 20);
    for (int failAt = 1; failAt <= 4; failAt++) {
        heapHookReset();
        heapHook.failAt = failAt;
        writeSpanHistogram();
        EXPECT_EQ(readFile("Graph.txt"), "old\n");
    }
    heapHookReset();
    writeSpanHistogram();
    EXPECT_EQ(readFile("Graph.txt"), bar(5, 1, 50) + bar(10, 1, 50));
}
