// Randomised rows checked against a per-pixel model after every insertion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "span_check.h"
#include "spans/span_marks.h"

namespace {

// Planes on a dyadic grid: 1/z = (64 k + x j) / 65536 at column x, exact in
// float and double, so the model can compare depths with integers.
struct Face {
    int64_t k; // invZ = k / 1024
    int64_t j; // dInvZ = j / 65536
};

const int kColumnLow = -80;
const int kColumnHigh = 900;
const int kNone = -1;

int64_t depth(const Face& f, int64_t x)
{
    return 64 * f.k + x * f.j;
}

// The insertion rounds the column where two planes cross, so a column within
// one of the crossing may go to either face.
bool nearCrossing(const Face& a, const Face& b, int64_t x)
{
    if (a.j == b.j)
        return false;
    int64_t den = b.j - a.j;
    int64_t num = 64 * (a.k - b.k);
    return std::llabs(x * den - num) <= std::llabs(den);
}

// Which face the row shows at every column of [kColumnLow, kColumnHigh).
std::vector<int> coverage(const ScanLine& line)
{
    std::vector<int> shown(kColumnHigh - kColumnLow, kNone);
    for (const Piece& p : usedPieces(line))
        for (int x = p.xStart; x < p.xEnd; x++)
            shown[x - kColumnLow] = p.face;
    return shown;
}

struct RowMaker {
    std::mt19937 random;
    std::vector<Face> faces;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    SpanNode next()
    {
        Face f = {pick(1, 2048), pick(-64, 64)};
        int kind = pick(0, 9);
        if (kind == 0 && !faces.empty())
            f = faces[pick(0, (int)faces.size() - 1)]; // the same plane again
        else if (kind == 1 && !faces.empty())
            f.j = faces[pick(0, (int)faces.size() - 1)].j; // parallel planes
        int32_t face = (int32_t)faces.size();
        faces.push_back(f);
        int32_t xs = pick(kColumnLow, 700);
        int32_t length = pick(1, 200);
        int shape = pick(0, 19);
        if (shape == 0)
            length = 0;
        else if (shape == 1)
            length = -pick(1, 30);
        return makeSpan(face, xs, xs + length, (float)f.k / 1024.0f, (float)f.j / 65536.0f);
    }
};

} // namespace

using SpanRandomTest = PoolTest;

TEST_F(SpanRandomTest, RandomRowsMatchAPerPixelModel)
{
    const unsigned seed = 20261207;
    const int rows = 1500;
    ScanLine line = {};
    SpanMarks marks = {};
    ASSERT_EQ(spanListCreate(&pool, 20, &line), 1);
    for (int row = 0; row < rows; row++) {
        // Each row has its own seed so a failing one can be replayed alone.
        SCOPED_TRACE("seed " + std::to_string(seed) + " row " + std::to_string(row));
        RowMaker maker = {std::mt19937(seed + (unsigned)row), {}};
        line.count = 0;
        std::vector<int> before = coverage(line);
        int spans = maker.pick(1, 40);
        for (int i = 0; i < spans; i++) {
            SpanNode span = maker.next();
            const Face& added = maker.faces.back();
            int32_t allocatedBefore = line.allocated;
            SpanNode record = span;
            insertSpan(&pool, &record, &line, &marks);

            ASSERT_EQ(chainProblem(line), "") << "span " << i;
            ASSERT_EQ(orderProblem(line), "") << "span " << i;
            ASSERT_GE(line.allocated, allocatedBefore);
            const SpanNode* node = line.head;
            for (int32_t n = 0; n < line.count; n++, node = node->next) {
                const Face& f = maker.faces[node->level];
                ASSERT_EQ(node->invZ, (float)f.k / 1024.0f);
                ASSERT_EQ(node->dInvZ, (float)f.j / 65536.0f);
            }

            std::vector<int> after = coverage(line);
            for (int x = kColumnLow; x < kColumnHigh; x++) {
                int was = before[x - kColumnLow];
                int now = after[x - kColumnLow];
                int expected = was;
                if (x >= span.xStart && x < span.xEnd) {
                    if (was == kNone || depth(added, x) > depth(maker.faces[was], x))
                        expected = span.level;
                    if (was != kNone && now != expected && (now == was || now == span.level) &&
                        nearCrossing(added, maker.faces[was], x))
                        expected = now;
                }
                ASSERT_EQ(now, expected) << "span " << i << " column " << x;
            }
            before.swap(after);
        }
    }
}

struct SpanFrameTest : ::testing::Test {
    void SetUp() override { heapHookReset(); }
    void TearDown() override
    {
        heapHookReset();
        spanTableRelease();
    }
};

// Once every row's chain is as long as the frame needs, drawing the same kind
// of frame again takes no node from the pool and so calls the heap not once.
TEST_F(SpanFrameTest, RepeatedFramesAllocateNothing)
{
    ASSERT_EQ(spanTableInit(640, 480), 1);
    std::vector<std::vector<SpanNode>> frame(480);
    for (int row = 0; row < 480; row++) {
        RowMaker maker = {std::mt19937(7000u + (unsigned)row), {}};
        int spans = maker.pick(0, 60);
        for (int i = 0; i < spans; i++)
            frame[row].push_back(maker.next());
    }
    auto drawFrame = [&frame] {
        spanTableReset();
        for (int row = 0; row < 480; row++) {
            for (const SpanNode& span : frame[row]) {
                SpanNode record = span;
                insertSpanInRow(spanTablePool(), &record, row);
            }
        }
    };
    drawFrame();
    int32_t grown = 0;
    for (int row = 0; row < 480; row++)
        grown += spanTable.rows[row].allocated > SPAN_ROW_NODES;
    EXPECT_GT(grown, 100);
    ASSERT_EQ(spanPoolFailed(), 0);
    heapHookReset();
    for (int i = 0; i < 5; i++)
        drawFrame();
    EXPECT_EQ(heapHook.calls, 0);
}
