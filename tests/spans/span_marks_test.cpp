// The insertion may start its walk at a mark instead of at the head; the row
// must come out exactly as a walk from the head would leave it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "span_check.h"
#include "spans/span_marks.h"

namespace {

// Every mark must name the used node at its index, in increasing index order.
std::string marksProblem(const ScanLine& line, const SpanMarks& marks)
{
    for (int32_t i = 0; i < marks.count; i++) {
        const int32_t index = i < marks.split ? marks.key[i] : line.count - marks.key[i];
        const int32_t previous = i == 0 ? -1 : i - 1 < marks.split ? marks.key[i - 1] : line.count - marks.key[i - 1];
        if (index <= previous)
            return "mark " + std::to_string(i) + " out of order";
        if (index < 0 || index >= line.count)
            return "mark " + std::to_string(i) + " beyond the used nodes";
        const SpanNode* node = line.head;
        for (int32_t k = 0; k < index; k++)
            node = node->next;
        if (node != marks.node[i])
            return "mark " + std::to_string(i) + " names the wrong node";
        if (node->xStart != marks.xStart[i] || node->xEnd != marks.xEnd[i])
            return "mark " + std::to_string(i) + " has stale columns";
    }
    return "";
}

// Marks are kept for the rows of the span table: two rows, one walked with
// its marks and one always from its head.
struct SpanMarksTest : ::testing::Test {
    void SetUp() override
    {
        heapHookReset();
        ASSERT_EQ(spanTableInit(640, 2), 1);
    }
    void TearDown() override
    {
        heapHookReset();
        spanTableRelease();
        spanTable.pool.failed = 0;
    }
};

// Spans that sweep along the row left to right, right to left or jump about,
// as the faces of neighbouring cells do, with empty spans and shared planes.
TEST_F(SpanMarksTest, MarkedWalkLeavesTheRowAsAWalkFromTheHead)
{
    ScanLine& marked = spanTable.rows[0];
    ScanLine& plain = spanTable.rows[1];
    int32_t mostMarks = 0;
    for (unsigned row = 0; row < 300; row++) {
        SCOPED_TRACE("row " + std::to_string(row));
        std::mt19937 random(4242u + row);
        auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
        marked.count = 0;
        plain.count = 0;
        const int sweep = pick(0, 2); // 0 rightwards, 1 leftwards, 2 anywhere
        int at = sweep == 1 ? 700 : -40;
        const int spans = pick(20, 300);
        for (int i = 0; i < spans; i++) {
            if (sweep == 0)
                at += pick(-5, 12);
            else if (sweep == 1)
                at -= pick(-5, 12);
            else
                at = pick(-40, 700);
            const int length = pick(0, 9) == 0 ? 0 : pick(1, 40);
            const float invZ = (float)pick(1, 4096) / 1024.0f;
            const float dInvZ = pick(0, 4) == 0 ? 0.0f : (float)pick(-64, 64) / 65536.0f;
            const SpanNode span = makeSpan(i, at, at + length, invZ, dInvZ);
            SpanNode a = span, b = span;
            insertSpanInRow(&spanTable.pool, &a, 0);
            spanMarksForget(&spanTable.marks[1], &plain); // forces the walk from the head
            insertSpanInRow(&spanTable.pool, &b, 1);
            ASSERT_EQ(usedPieces(marked), usedPieces(plain)) << "span " << i;
            ASSERT_EQ(chainProblem(marked), "");
            ASSERT_EQ(marksProblem(marked, spanTable.marks[0]), "") << "span " << i;
            mostMarks = std::max(mostMarks, spanTable.marks[0].count);
            // Now and then a node is moved from outside the insertion, and
            // the row's marks are forgotten.
            if (pick(0, 30) == 0 && marked.count > 1) {
                const int victim = pick(0, marked.count - 1);
                SpanNode* m = marked.head;
                SpanNode* p = plain.head;
                for (int k = 0; k < victim; k++) {
                    m = m->next;
                    p = p->next;
                }
                spanMarksForget(&spanTable.marks[0], &marked);
                spanListRemove(&marked, m);
                spanListRemove(&plain, p);
            }
        }
    }
    // The comparison says nothing if the table's rows never kept a mark.
    EXPECT_EQ(mostMarks, SPAN_MARKS);
}

// Rows outside the table, each with its own marks, taking turns: each walks
// by its own marks only.
TEST_F(SpanMarksTest, RowsOutsideTheTableTakingTurnsKeepTheirOwnOrder)
{
    ScanLine own[2] = {};
    SpanMarks ownMarks[2] = {};
    ASSERT_EQ(spanListCreate(&spanTable.pool, 20, &own[0]), 1);
    ASSERT_EQ(spanListCreate(&spanTable.pool, 20, &own[1]), 1);
    std::mt19937 random(77u);
    auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 400; i++) {
        const int row = pick(0, 5) == 0 ? 1 - i % 2 : i % 2;
        const int at = pick(-20, 660);
        const SpanNode span = makeSpan(i, at, at + pick(1, 30), (float)pick(1, 4096) / 1024.0f, 0.0f);
        SpanNode a = span, b = span;
        insertSpan(&spanTable.pool, &a, &own[row], &ownMarks[row]);
        spanMarksForget(&spanTable.marks[row], &spanTable.rows[row]);
        insertSpanInRow(&spanTable.pool, &b, row);
        ASSERT_EQ(usedPieces(own[row]), usedPieces(spanTable.rows[row])) << "span " << i;
        ASSERT_EQ(marksProblem(own[row], ownMarks[row]), "") << "span " << i;
    }
}

} // namespace
