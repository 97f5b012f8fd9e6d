#include <gtest/gtest.h>

#include <set>

#include "span_check.h"

namespace {

SpanNode* takeNode(SpanPool* pool)
{
    return spanPoolMakeReady(pool) ? spanPoolTake(pool) : nullptr;
}

bool inBlock(const SpanPool& pool, const SpanNode* node, int32_t block, int32_t size)
{
    const SpanNode* first = pool.blocks[block];
    return node >= first && node < first + size;
}

using SpanPoolTest = PoolTest;

// Appends `spans` spans to every `step`-th row of the table, the rows taking
// turns, so that the nodes they grow by interleave in the pool.
bool growRows(int step, int spans)
{
    for (int i = 0; i < spans; i++) {
        for (int row = 0; row < spanTable.rowCount; row += step) {
            SpanNode s = makeSpan(i, i * 10, i * 10 + 5, 0.5f, 0.0f);
            if (!spanListAppend(&spanTable.pool, &spanTable.rows[row], &s, nullptr))
                return false;
        }
    }
    return true;
}

} // namespace

TEST_F(SpanPoolTest, NewRowHasTwentyLinkedNodesAndNoSpans)
{
    ScanLine line = {};
    ASSERT_EQ(spanListCreate(&pool, 20, &line), 1);
    EXPECT_EQ(line.allocated, 20);
    EXPECT_EQ(line.count, 0);
    EXPECT_EQ(chainProblem(line), "");
    EXPECT_EQ(pool.nextFree, 20);
}

TEST_F(SpanPoolTest, NodeAfterTheFirstBlockComesFromANewBlockOf256)
{
    for (int i = 0; i < 1024; i++)
        ASSERT_TRUE(inBlock(pool, takeNode(&pool), 0, 1024));
    EXPECT_EQ(pool.lastBlock, 0);
    SpanNode* node = takeNode(&pool);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(inBlock(pool, node, 1, 256));
    EXPECT_EQ(pool.lastBlock, 1);
    EXPECT_EQ(pool.blockSize, 256);
    EXPECT_EQ(pool.curBlock, 1);
    EXPECT_EQ(pool.nextFree, 1);
    EXPECT_EQ(spanPoolFailedNow(&pool), 0);
}

// Either allocation of a growth can fail. The pool must stay exactly as it
// was, so the next node is not one already handed out, and a later growth
// fills the right slot.
TEST_F(SpanPoolTest, FailedGrowthLeavesThePoolAsItWas)
{
    const char* steps[] = {"block array", "block"};
    for (int step = 0; step < 2; step++) {
        SCOPED_TRACE(steps[step]);
        spanPoolRelease(&pool);
        heapHookReset();
        ASSERT_EQ(spanPoolInit(&pool), 1);
        for (int i = 0; i < 1024 + 256; i++)
            ASSERT_NE(takeNode(&pool), nullptr);
        SpanPool before = pool;
        heapHook.failAt = heapHook.calls + 1 + step;
        EXPECT_EQ(takeNode(&pool), nullptr);
        EXPECT_EQ(spanPoolFailedNow(&pool), -1);
        EXPECT_EQ(pool.lastBlock, before.lastBlock);
        EXPECT_EQ(pool.curBlock, before.curBlock);
        EXPECT_EQ(pool.nextFree, before.nextFree);
        EXPECT_EQ(pool.blockSize, before.blockSize);
        // Still failed while nothing new is needed; then a growth that works.
        EXPECT_EQ(spanPoolFailedNow(&pool), -1);
        SpanNode* node = takeNode(&pool);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(spanPoolFailedNow(&pool), 0);
        EXPECT_EQ(pool.lastBlock, 2);
        EXPECT_TRUE(inBlock(pool, node, 2, 256));
        EXPECT_FALSE(inBlock(pool, node, 1, 256));
    }
}

TEST_F(SpanPoolTest, FailedFirstGrowthKeepsTheFirstBlockSize)
{
    for (int i = 0; i < 1024; i++)
        ASSERT_NE(takeNode(&pool), nullptr);
    heapHook.failAt = heapHook.calls + 1;
    heapHook.failRest = 1;
    EXPECT_EQ(takeNode(&pool), nullptr);
    EXPECT_EQ(takeNode(&pool), nullptr);
    EXPECT_EQ(pool.lastBlock, 0);
    EXPECT_EQ(pool.blockSize, 1024);
    EXPECT_EQ(pool.nextFree, 1024);
}

TEST_F(SpanPoolTest, ReleaseAfterManyGrowthsEmptiesThePoolButKeepsTheFlag)
{
    for (int i = 0; i < 1024 + 256 * 7 + 3; i++)
        ASSERT_NE(takeNode(&pool), nullptr);
    EXPECT_EQ(pool.lastBlock, 8);
    heapHook.failAt = heapHook.calls + 1;
    for (int i = 0; i < 253; i++)
        ASSERT_NE(takeNode(&pool), nullptr);
    EXPECT_EQ(takeNode(&pool), nullptr);
    spanPoolRelease(&pool);
    // Leak checking in the sanitizer build proves all nine blocks were freed.
    EXPECT_EQ(pool.blocks, nullptr);
    EXPECT_EQ(pool.lastBlock, 0);
    EXPECT_EQ(pool.curBlock, 0);
    EXPECT_EQ(pool.nextFree, 0);
    EXPECT_EQ(pool.blockSize, 0);
    EXPECT_EQ(spanPoolFailedNow(&pool), -1);
    // A released pool hands out nothing.
    EXPECT_EQ(takeNode(&pool), nullptr);
}

TEST_F(SpanPoolTest, FailedInitHandsOutNoNode)
{
    for (int failAt = 1; failAt <= 2; failAt++) {
        spanPoolRelease(&pool);
        heapHookReset();
        heapHook.failAt = failAt;
        EXPECT_EQ(spanPoolInit(&pool), 0);
        EXPECT_EQ(pool.blocks, nullptr);
        EXPECT_EQ(takeNode(&pool), nullptr);
    }
}

TEST_F(SpanPoolTest, RowCreationStopsWithAConsistentChainWhenThePoolFails)
{
    heapHook.failAt = heapHook.calls + 1;
    heapHook.failRest = 1;
    ScanLine line = {};
    EXPECT_EQ(spanListCreate(&pool, 1030, &line), 0);
    EXPECT_EQ(line.allocated, 1024);
    EXPECT_EQ(line.count, 0);
    EXPECT_EQ(chainProblem(line), "");
    ScanLine none = {};
    EXPECT_EQ(spanListCreate(&pool, 20, &none), 0);
    EXPECT_EQ(none.allocated, 0);
    EXPECT_EQ(chainProblem(none), "");
}

struct SpanTableTest : ::testing::Test {
    void SetUp() override { heapHookReset(); }
    void TearDown() override
    {
        heapHookReset();
        spanTableRelease();
        spanTable.pool.failed = 0;
    }
};

// 480 rows of 20 nodes: the first block of 1024, 33 full blocks of 256 and
// 128 nodes of a 35th. Heap calls: block array and first block, the table and
// its marks, and two per growth (array and block) for 34 growths.
TEST_F(SpanTableTest, StartUpTakesTwentyNodesPerRow)
{
    ASSERT_EQ(spanTableInit(640, 480), 1);
    EXPECT_EQ(spanTable.rowCount, 480);
    EXPECT_EQ(spanTable.width, 640);
    EXPECT_EQ(spanTable.pool.lastBlock, 34);
    EXPECT_EQ(spanTable.pool.curBlock, 34);
    EXPECT_EQ(spanTable.pool.nextFree, 128);
    EXPECT_EQ(spanTable.pool.blockSize, 256);
    EXPECT_EQ(heapHook.calls, 2 + 2 + 34 * 2);
    for (int row = 0; row < 480; row++) {
        ASSERT_EQ(spanTable.rows[row].allocated, 20);
        ASSERT_EQ(spanTable.rows[row].count, 0);
        ASSERT_EQ(chainProblem(spanTable.rows[row]), "");
    }
}

TEST_F(SpanTableTest, ResetEmptiesRowsAndKeepsTheirChains)
{
    ASSERT_EQ(spanTableInit(640, 3), 1);
    for (int i = 0; i < 25; i++) {
        SpanNode s = makeSpan(i, i * 10, i * 10 + 5, 0.5f, 0.0f);
        ASSERT_NE(spanListAppend(&spanTable.pool, &spanTable.rows[1], &s, nullptr), nullptr);
    }
    ScanLine before = spanTable.rows[1];
    spanTableReset();
    for (int row = 0; row < 3; row++)
        EXPECT_EQ(spanTable.rows[row].count, 0);
    EXPECT_EQ(spanTable.rows[1].allocated, 25);
    EXPECT_EQ(spanTable.rows[1].head, before.head);
    EXPECT_EQ(spanTable.rows[1].tail, before.tail);
    EXPECT_EQ(chainProblem(spanTable.rows[1]), "");
}

// Rows that grew in turn end up with their nodes interleaved; a repack gives
// each row consecutive nodes, rows in order, and is done once per growth.
TEST_F(SpanTableTest, RepackLaysEveryRowOutInConsecutiveNodes)
{
    ASSERT_EQ(spanTableInit(640, 3), 1);
    // All 80 nodes come from the first block.
    ASSERT_TRUE(growRows(2, 30));
    EXPECT_EQ(spanTableRepack(), 0) << "rows still hold spans";
    spanTableReset();
    ASSERT_EQ(spanTableRepack(), 1);
    const SpanNode* expected = spanTable.rows[0].head;
    for (int row = 0; row < 3; row++) {
        SCOPED_TRACE(row);
        EXPECT_EQ(spanTable.rows[row].allocated, row == 1 ? 20 : 30);
        EXPECT_EQ(spanTable.rows[row].count, 0);
        EXPECT_EQ(chainProblem(spanTable.rows[row]), "");
        for (const SpanNode* node = spanTable.rows[row].head; node; node = node->next) {
            ASSERT_EQ(node, expected);
            expected = node + 1;
        }
    }
    const ScanLine before = spanTable.rows[2];
    EXPECT_EQ(spanTableRepack(), 0) << "nothing grew since";
    EXPECT_EQ(spanTable.rows[2].head, before.head);
}

// Over the full table the nodes span many blocks: every node the pool handed
// out ends up in exactly one row, block by block in order.
TEST_F(SpanTableTest, RepackAcrossBlocksLinksEveryNodeOnce)
{
    ASSERT_EQ(spanTableInit(640, 480), 1);
    ASSERT_TRUE(growRows(7, 60));
    spanTableReset();
    ASSERT_EQ(spanTableRepack(), 1);
    std::set<const SpanNode*> seen;
    int64_t total = 0;
    for (int row = 0; row < 480; row++) {
        ASSERT_EQ(spanTable.rows[row].allocated, row % 7 == 0 ? 60 : 20) << row;
        ASSERT_EQ(chainProblem(spanTable.rows[row]), "") << row;
        for (const SpanNode* node = spanTable.rows[row].head; node; node = node->next)
            seen.insert(node);
        total += spanTable.rows[row].allocated;
    }
    EXPECT_EQ((int64_t)seen.size(), total);
    EXPECT_EQ(total, spanPoolTaken());
    // Rows in order: the last row ends on the last node taken.
    EXPECT_EQ(spanTable.rows[479].tail + 1, spanPoolTake(&spanTable.pool));
}

// Whichever allocation fails, set-up reports it and release still frees
// everything (the sanitizer build checks for leaks and bad frees).
TEST_F(SpanTableTest, FailedStartUpCanBeReleased)
{
    for (int failAt : {1, 2, 3, 4, 5, 40}) {
        SCOPED_TRACE(failAt);
        spanTableRelease();
        heapHookReset();
        heapHook.failAt = failAt;
        EXPECT_EQ(spanTableInit(640, 480), 0);
        spanTableReset();
    }
}
