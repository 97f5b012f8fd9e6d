#include <gtest/gtest.h>

#include <vector>

#include "span_check.h"
#include "spans/span_marks.h"
#include "texture/texture.h"

namespace {

struct SpanInsertTest : PoolTest {
    ScanLine line = {};
    SpanMarks marks = {};
    void SetUp() override
    {
        PoolTest::SetUp();
        ASSERT_EQ(spanListCreate(&pool, 20, &line), 1);
    }
    void insert(SpanNode s)
    {
        insertSpan(&pool, &s, &line, &marks);
        ASSERT_EQ(chainProblem(line), "");
    }
};

struct Case {
    const char* name;
    std::vector<SpanNode> existing;
    SpanNode added;
    std::vector<Piece> expected;
};

// 1/z = 0.2 + 0.02 x and 0.4 + 0.01 x meet at x = 20; the shallow one is
// nearer left of it.
SpanNode steep(int32_t face, int32_t xStart, int32_t xEnd)
{
    return makeSpan(face, xStart, xEnd, 0.2f, 0.02f);
}

SpanNode shallow(int32_t face, int32_t xStart, int32_t xEnd)
{
    return makeSpan(face, xStart, xEnd, 0.4f, 0.01f);
}

} // namespace

// Face 1 is always the existing span or spans, face 2 the new one. Depths are
// chosen so the hand-worked crossing column lands where the case needs it.
TEST_F(SpanInsertTest, CasesWorkedByHand)
{
    const Case cases[] = {
        // q = (0.3 - 0.5) / (0 - 0.01) = 20: E nearer far left keeps [15,20).
        {"crossing, existing wins left", {makeSpan(1, 10, 30, 0.5f, 0.0f)}, makeSpan(2, 15, 40, 0.3f, 0.01f),
         {{1, 10, 20}, {2, 20, 40}}},
        // Same crossing, the new span nearer on the left: E is split around it.
        {"crossing, new wins left", {makeSpan(1, 10, 30, 0.5f, 0.0f)}, makeSpan(2, 15, 40, 0.7f, -0.01f),
         {{1, 10, 15}, {2, 15, 20}, {1, 20, 30}, {2, 30, 40}}},
        {"into an empty row", {}, makeSpan(2, 5, 9, 0.5f, 0.0f), {{2, 5, 9}}},
        {"wholly left goes to the head", {makeSpan(1, 10, 20, 0.5f, 0.0f)}, makeSpan(2, 0, 5, 0.1f, 0.0f),
         {{2, 0, 5}, {1, 10, 20}}},
        {"wholly right is appended", {makeSpan(1, 10, 20, 0.5f, 0.0f)}, makeSpan(2, 30, 35, 0.1f, 0.0f),
         {{1, 10, 20}, {2, 30, 35}}},
        {"touching on the right is not compared", {makeSpan(1, 10, 30, 0.1f, 0.0f)}, makeSpan(2, 30, 40, 0.9f, 0.0f),
         {{1, 10, 30}, {2, 30, 40}}},
        {"touching on the left is not compared", {makeSpan(1, 10, 30, 0.1f, 0.0f)}, makeSpan(2, 0, 10, 0.9f, 0.0f),
         {{2, 0, 10}, {1, 10, 30}}},
        {"inside a farther span splits it", {makeSpan(1, 0, 100, 0.1f, 0.0f)}, makeSpan(2, 40, 60, 0.9f, 0.0f),
         {{1, 0, 40}, {2, 40, 60}, {1, 60, 100}}},
        {"inside a nearer span changes nothing", {makeSpan(1, 0, 100, 0.9f, 0.0f)}, makeSpan(2, 40, 60, 0.1f, 0.0f),
         {{1, 0, 100}}},
        {"same plane: the first keeps the overlap", {makeSpan(1, 0, 50, 0.5f, 0.001f)},
         makeSpan(2, 20, 80, 0.5f, 0.001f), {{1, 0, 50}, {2, 50, 80}}},
        // Crossing exactly at column 10 = oS: no split; at M = 15 the new span
        // (rising) is nearer, so it takes the whole overlap.
        {"crossing at the overlap start is no split", {makeSpan(1, 0, 20, 0.5f, 0.0f)},
         makeSpan(2, 10, 30, 0.4f, 0.01f), {{1, 0, 10}, {2, 10, 30}}},
        // Crossing at 20 = oE: at M = 15 the existing span is nearer.
        {"crossing at the overlap end is no split", {makeSpan(1, 0, 20, 0.5f, 0.0f)},
         makeSpan(2, 10, 30, 0.3f, 0.01f), {{1, 0, 20}, {2, 20, 30}}},
        // Overlap [19,20): tested at 20, where 0.305 + 0.2 beats 0.5 (at 19 it
        // would not).
        {"width-1 overlap is tested one past it", {makeSpan(1, 10, 20, 0.5f, 0.0f)},
         makeSpan(2, 19, 30, 0.305f, 0.01f), {{1, 10, 19}, {2, 19, 30}}},
        // The planes are equal at column 15, strictly inside the overlap
        // [10,20): a split there, the existing span nearer on the left.
        {"tie at the crossing splits at it", {makeSpan(1, 0, 20, 0.5f, 0.0f)}, makeSpan(2, 10, 30, 0.35f, 0.01f),
         {{1, 0, 15}, {2, 15, 30}}},
        // Parallel planes with the overlap starting left of -1: no split at
        // -1; the nearer new span takes all of it.
        {"equal gradients never split", {makeSpan(1, -10, 10, 0.5f, 0.001f)}, makeSpan(2, -10, 10, 0.6f, 0.001f),
         {{2, -10, 10}}},
        {"equal gradients, farther new span", {makeSpan(1, -20, 10, 0.5f, 0.001f)}, makeSpan(2, -30, 5, 0.4f, 0.001f),
         {{2, -30, -20}, {1, -20, 10}}},
        {"covering several: farther ones go, a nearer one cuts it",
         {makeSpan(1, 10, 20, 0.1f, 0.0f), makeSpan(3, 25, 30, 0.2f, 0.0f), makeSpan(4, 40, 50, 0.9f, 0.0f)},
         makeSpan(2, 5, 45, 0.5f, 0.0f), {{2, 5, 40}, {4, 40, 50}}},
        {"left of a nearer span with the same end", {makeSpan(1, 10, 20, 0.9f, 0.0f)}, makeSpan(2, 0, 20, 0.1f, 0.0f),
         {{2, 0, 10}, {1, 10, 20}}},
        {"same start, nearer, shorter", {makeSpan(1, 10, 30, 0.1f, 0.0f)}, makeSpan(2, 10, 20, 0.9f, 0.0f),
         {{2, 10, 20}, {1, 20, 30}}},
        {"same start, farther, longer", {makeSpan(1, 10, 30, 0.9f, 0.0f), makeSpan(3, 35, 40, 0.1f, 0.0f)},
         makeSpan(2, 10, 50, 0.5f, 0.0f), {{1, 10, 30}, {2, 30, 50}}},
        {"starts inside, nearer, same end", {makeSpan(1, 10, 30, 0.1f, 0.0f)}, makeSpan(2, 20, 30, 0.9f, 0.0f),
         {{1, 10, 20}, {2, 20, 30}}},
        {"starts inside, nearer, longer", {makeSpan(1, 10, 30, 0.1f, 0.0f)}, makeSpan(2, 20, 40, 0.9f, 0.0f),
         {{1, 10, 20}, {2, 20, 40}}},
        // Both rise: crossing at q = (0.4 - 0.2) / (0.02 - 0.01) = 20. The new
        // span is nearer far left, so it keeps [12,20) and E keeps [20,30).
        {"from the left, both sloped", {makeSpan(1, 15, 30, 0.2f, 0.02f)}, makeSpan(2, 12, 25, 0.4f, 0.01f),
         {{2, 12, 20}, {1, 20, 30}}},
        // Existing nearer far left: N keeps its own left part, E [15,20), N
        // the crossing's right side, E the rest.
        {"from the left, existing wins left", {makeSpan(1, 15, 30, 0.4f, 0.01f)}, makeSpan(2, 12, 25, 0.2f, 0.02f),
         {{2, 12, 15}, {1, 15, 20}, {2, 20, 25}, {1, 25, 30}}},
        {"from the left to the same end, existing wins left", {makeSpan(1, 15, 30, 0.4f, 0.01f)},
         makeSpan(2, 12, 30, 0.2f, 0.02f), {{2, 12, 15}, {1, 15, 20}, {2, 20, 30}}},
        {"same columns, existing wins left", {makeSpan(1, 15, 30, 0.4f, 0.01f)}, makeSpan(2, 15, 30, 0.2f, 0.02f),
         {{1, 15, 20}, {2, 20, 30}}},
        {"same start, shorter, existing wins left", {makeSpan(1, 15, 30, 0.4f, 0.01f)},
         makeSpan(2, 15, 25, 0.2f, 0.02f), {{1, 15, 20}, {2, 20, 25}, {1, 25, 30}}},
        {"from inside past the end, new wins left", {makeSpan(1, 10, 30, 0.2f, 0.02f)},
         makeSpan(2, 15, 40, 0.4f, 0.01f), {{1, 10, 15}, {2, 15, 20}, {1, 20, 30}, {2, 30, 40}}},
        {"from inside to the same end, new wins left", {makeSpan(1, 10, 30, 0.2f, 0.02f)},
         makeSpan(2, 15, 30, 0.4f, 0.01f), {{1, 10, 15}, {2, 15, 20}, {1, 20, 30}}},
        {"strictly inside, existing wins left", {makeSpan(1, 10, 30, 0.4f, 0.01f)}, makeSpan(2, 15, 25, 0.2f, 0.02f),
         {{1, 10, 20}, {2, 20, 25}, {1, 25, 30}}},
        {"empty span inside a farther span splits it", {makeSpan(1, 0, 100, 0.1f, 0.0f)},
         makeSpan(2, 40, 40, 0.9f, 0.0f), {{1, 0, 40}, {2, 40, 40}, {1, 40, 100}}},
        {"empty span between spans is stored", {makeSpan(1, 0, 10, 0.1f, 0.0f), makeSpan(3, 20, 30, 0.1f, 0.0f)},
         makeSpan(2, 15, 15, 0.9f, 0.0f), {{1, 0, 10}, {2, 15, 15}, {3, 20, 30}}},
        {"reversed span is dropped", {makeSpan(1, 0, 10, 0.1f, 0.0f), makeSpan(3, 20, 30, 0.1f, 0.0f)},
         makeSpan(2, 25, 15, 0.9f, 0.0f), {{1, 0, 10}, {3, 20, 30}}},
        // Stored, the reversed span would take the nearer one in ahead of it,
        // never meeting the farther span that covers column 17 too.
        {"a reversed span hides no overlap", {makeSpan(1, 15, 30, 0.1f, 0.0f), makeSpan(3, 20, 10, 0.5f, 0.0f)},
         makeSpan(2, 17, 18, 0.9f, 0.0f), {{1, 15, 17}, {2, 17, 18}, {1, 18, 30}}},
        // Splits at q = 20 between a shallow plane (nearer left of 20) and a
        // steep one, for each way the columns can meet.
        {"from the left past the end, new wins left", {steep(1, 15, 25)}, shallow(2, 12, 30),
         {{2, 12, 20}, {1, 20, 25}, {2, 25, 30}}},
        {"from the left past the end, existing wins left", {shallow(1, 15, 25)}, steep(2, 12, 30),
         {{2, 12, 15}, {1, 15, 20}, {2, 20, 30}}},
        {"from the left to the same end, new wins left", {steep(1, 15, 30)}, shallow(2, 12, 30),
         {{2, 12, 20}, {1, 20, 30}}},
        {"same start past the end, new wins left", {steep(1, 15, 25)}, shallow(2, 15, 30),
         {{2, 15, 20}, {1, 20, 25}, {2, 25, 30}}},
        {"same start past the end, existing wins left", {shallow(1, 15, 25)}, steep(2, 15, 30),
         {{1, 15, 20}, {2, 20, 30}}},
        {"same columns, new wins left", {steep(1, 15, 30)}, shallow(2, 15, 30), {{2, 15, 20}, {1, 20, 30}}},
        {"same start, shorter, new wins left", {steep(1, 15, 30)}, shallow(2, 15, 25), {{2, 15, 20}, {1, 20, 30}}},
        {"strictly inside, new wins left", {steep(1, 10, 30)}, shallow(2, 15, 25),
         {{1, 10, 15}, {2, 15, 20}, {1, 20, 30}}},
        {"from inside to the same end, existing wins left", {shallow(1, 10, 30)}, steep(2, 15, 30),
         {{1, 10, 20}, {2, 20, 30}}},
        {"from inside past the end, existing wins left", {shallow(1, 10, 30)}, steep(2, 15, 40),
         {{1, 10, 20}, {2, 20, 40}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line.count = 0;
        for (const SpanNode& s : c.existing)
            insert(s);
        insert(c.added);
        EXPECT_EQ(usedPieces(line), c.expected);
        EXPECT_EQ(orderProblem(line), "");
    }
}

TEST_F(SpanInsertTest, PiecesKeepTheirFacePayload)
{
    insert(makeSpan(1, 10, 30, 0.5f, 0.0f));
    SpanNode added = makeSpan(2, 15, 40, 0.7f, -0.01f);
    Texture texture = {};
    added.texture = &texture;
    insert(added);
    ASSERT_EQ(line.count, 4);
    const SpanNode* node = line.head;
    for (int i = 0; i < 4; i++, node = node->next) {
        SpanNode face = node->level == 1 ? makeSpan(1, 0, 0, 0.5f, 0.0f) : added;
        EXPECT_EQ(node->invZ, face.invZ);
        EXPECT_EQ(node->dInvZ, face.dInvZ);
        EXPECT_EQ(node->uOverZ, face.uOverZ);
        EXPECT_EQ(node->vOverZ, face.vOverZ);
        EXPECT_EQ(node->dUOverZ, face.dUOverZ);
        EXPECT_EQ(node->dVOverZ, face.dVOverZ);
        EXPECT_EQ(node->texture, face.texture);
        EXPECT_EQ(node->light, face.light);
    }
}

TEST_F(SpanInsertTest, SpareNodesAreReusedInPlace)
{
    SpanNode* first = line.head;
    insert(makeSpan(1, 5, 9, 0.5f, 0.0f));
    EXPECT_EQ(line.head, first);
    EXPECT_EQ(line.count, 1);
    EXPECT_EQ(line.allocated, 20);
    // An exact cover by a nearer span overwrites the node where it stands.
    insert(makeSpan(2, 5, 9, 0.9f, 0.0f));
    EXPECT_EQ(line.head, first);
    EXPECT_EQ(line.count, 1);
    EXPECT_EQ(line.head->level, 2);
}

TEST_F(SpanInsertTest, RowGrowsFromThePoolWhenItsSparesRunOut)
{
    for (int i = 0; i < 30; i++)
        insert(makeSpan(i, 100 - 3 * i, 102 - 3 * i, 0.5f, 0.0f));
    EXPECT_EQ(line.count, 30);
    EXPECT_EQ(line.allocated, 30);
    EXPECT_EQ(orderProblem(line), "");
    EXPECT_EQ(usedPieces(line).front(), (Piece{29, 13, 15}));
}

TEST_F(SpanInsertTest, RemovedNodeGoesToTheSpareEnd)
{
    insert(makeSpan(1, 0, 5, 0.1f, 0.0f));
    insert(makeSpan(3, 10, 15, 0.1f, 0.0f));
    SpanNode* covered = line.head->next;
    insert(makeSpan(9, 8, 17, 0.9f, 0.0f));
    EXPECT_EQ(usedPieces(line), (std::vector<Piece>{{1, 0, 5}, {9, 8, 17}}));
    EXPECT_EQ(line.tail, covered);
    EXPECT_EQ(line.allocated, 20);
}

// The pool is left with one node and cannot grow.
struct SpanExhaustedTest : SpanInsertTest {
    ScanLine filler = {};
    void SetUp() override
    {
        PoolTest::SetUp();
        ASSERT_EQ(spanListCreate(&pool, 1022, &filler), 1);
        ASSERT_EQ(spanListCreate(&pool, 1, &line), 1);
        heapHook.failAt = heapHook.calls + 1;
        heapHook.failRest = 1;
    }
};

TEST_F(SpanExhaustedTest, ThreePieceSplitLeavesOneOverlapBehind)
{
    insert(makeSpan(1, 0, 100, 0.1f, 0.0f));
    insert(makeSpan(2, 40, 60, 0.9f, 0.0f));
    EXPECT_EQ(spanPoolFailedNow(&pool), -1);
    EXPECT_EQ(usedPieces(line), (std::vector<Piece>{{1, 0, 100}, {2, 40, 60}}));
    EXPECT_EQ(orderProblem(line), "spans overlap");
}

TEST_F(SpanExhaustedTest, CutSpanKeepsItsNewColumnsAndTheRestIsLost)
{
    insert(makeSpan(1, 10, 30, 0.1f, 0.0f));
    SpanNode last = makeSpan(3, 50, 60, 0.1f, 0.0f);
    insertSpan(&pool, &last, &line, &marks);
    EXPECT_EQ(spanPoolFailedNow(&pool), 0);
    // Row is full and the pool has no node: E is trimmed to [20,30) and N,
    // which needed a node in front of it, is gone.
    insert(makeSpan(2, 0, 20, 0.9f, 0.0f));
    EXPECT_EQ(spanPoolFailedNow(&pool), -1);
    EXPECT_EQ(usedPieces(line), (std::vector<Piece>{{1, 20, 30}, {3, 50, 60}}));
}

// Making the pool ready comes before looking for a spare node: with the pool's
// block used up and no memory, even a row with spares refuses the span.
TEST_F(SpanExhaustedTest, EmptyPoolBlockStopsEvenARowWithSpares)
{
    ASSERT_EQ(spanPoolMakeReady(&pool), 1);
    spanPoolTake(&pool);
    insert(makeSpan(2, 5, 9, 0.5f, 0.0f));
    EXPECT_EQ(line.count, 0);
    EXPECT_EQ(spanPoolFailedNow(&pool), -1);
}
