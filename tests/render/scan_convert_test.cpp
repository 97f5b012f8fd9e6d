#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "render/render_local.h"
#include "spans/spans.h"
#include "texture/texture.h"

namespace {

struct ScanTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(engineInit(640, 480), 1); }
    void TearDown() override { engineRelease(); }

    static ClipPolygon polygon(std::vector<std::pair<float, float>> xy)
    {
        ClipPolygon p = {};
        for (auto& v : xy)
            p.v[p.count++] = {v.first, v.second, 1.0f, 0.0f, 0.0f};
        return p;
    }

    static std::vector<std::pair<int, int>> rowSpans(int y)
    {
        std::vector<std::pair<int, int>> spans;
        const SpanNode* n = spanTableRow(y)->head;
        for (int i = 0; i < spanTableRow(y)->count; i++, n = n->next)
            spans.push_back({n->xStart, n->xEnd});
        return spans;
    }
};

} // namespace

TEST_F(ScanTest, TriangleCoversRowsFromCeilingToCeiling)
{
    ClipPolygon p = polygon({{10.2f, 5.0f}, {3.0f, 9.5f}, {20.0f, 12.0f}});
    ASSERT_EQ(rasterizePolygon(renderBand(0), &p, defaultTexture(), 200), 1);
    const std::pair<int, int> want[] = {{10, 10}, {8, 11}, {7, 12}, {5, 14}, {3, 15}, {6, 17}, {13, 18}};
    for (int y = 5; y <= 11; y++) {
        auto spans = rowSpans(y);
        ASSERT_EQ(spans.size(), 1u) << "row " << y;
        EXPECT_EQ(spans[0], want[y - 5]) << "row " << y;
    }
    EXPECT_EQ(spanTableRow(4)->count, 0);
    EXPECT_EQ(spanTableRow(12)->count, 0);
}

TEST_F(ScanTest, PolygonsBetweenRowsOrLeftOfColumnOneGiveNoSpans)
{
    ClipPolygon thin = polygon({{10.0f, 7.1f}, {30.0f, 7.5f}, {20.0f, 8.0f}});
    EXPECT_EQ(rasterizePolygon(renderBand(0), &thin, defaultTexture(), 200), 0);
    ClipPolygon one = polygon({{10.0f, 7.2f}, {20.0f, 8.5f}, {30.0f, 7.5f}});
    EXPECT_EQ(rasterizePolygon(renderBand(0), &one, defaultTexture(), 200), 1);
    for (int y = 0; y < 480; y++)
        EXPECT_EQ(spanTableRow(y)->count, y == 8 ? 1 : 0) << y;
    spanTableReset();
    ClipPolygon left = polygon({{0.2f, 20.0f}, {0.0f, 30.0f}, {0.9f, 30.0f}});
    EXPECT_EQ(rasterizePolygon(renderBand(0), &left, defaultTexture(), 200), 1);
    for (int y = 0; y < 480; y++)
        ASSERT_EQ(spanTableRow(y)->count, 0) << y;
    ClipPolygon empty = {};
    EXPECT_EQ(rasterizePolygon(renderBand(0), &empty, defaultTexture(), 200), 0);
}

TEST_F(ScanTest, TopVertexIsTheFirstWithTheSmallestRow)
{
    ClipPolygon p = polygon({{5.0f, 10.0f}, {30.0f, 20.0f}, {20.0f, 10.0f}});
    ASSERT_EQ(rasterizePolygon(renderBand(0), &p, defaultTexture(), 200), 1);
    // Top vertex 0: the start chain runs 0 -> 1 (x from 5, 2.5 a row), the end
    // chain 2 -> 1 (x from 20, 1 a row); the flat edge 2 -> 0 covers no row.
    EXPECT_EQ(spanTableRow(9)->count, 0);
    for (int y = 10; y < 20; y++) {
        auto spans = rowSpans(y);
        ASSERT_EQ(spans.size(), 1u) << "row " << y;
        EXPECT_EQ(spans[0], std::make_pair(5 + (y - 10) * 5 / 2, 20 + (y - 10))) << "row " << y;
    }
    EXPECT_EQ(spanTableRow(20)->count, 0);
}

TEST_F(ScanTest, LevelFollowsTheAreaRatioAndClampsPerAxis)
{
    struct Case {
        float ratio;
        int level;
    } cases[] = {{5.0f, 0}, {5.01f, 1}, {20.5f, 2}, {262000.0f, 8}, {262001.0f, 9}, {NAN, 0}, {-3.0f, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(levelFromRatio(c.ratio), c.level) << c.ratio;

    // 256 x 64 atlas: 7 level columns, 5 level rows. A triangle whose texel
    // area is 5000 times its pixel area selects level 6, clamped to 4 in y.
    std::vector<TextureLevel> levels(35);
    Texture t = {128, 32, 7, 5, nullptr, levels.data()};
    ClipPolygon p = polygon({{100.0f, 100.0f}, {100.0f, 120.0f}, {120.0f, 100.0f}});
    const float side = std::sqrt(5000.0f * 400.0f / (128.0f * 32.0f));
    p.v[1].v = side;
    p.v[2].u = side;
    EXPECT_NEAR(texelAreaRatio(&p, &t), 5000.0f, 1.0f);
    ASSERT_EQ(rasterizePolygon(renderBand(0), &p, &t, 200), 1);
    ASSERT_GT(spanTableRow(105)->count, 0);
    EXPECT_EQ(spanTableRow(105)->head->level, 4 * 7 + 6);
}

TEST_F(ScanTest, GradientsReproduceThePlaneAndCollinearPolygonsAreDropped)
{
    ClipPolygon p = polygon({{10.0f, 10.0f}, {10.0f, 50.0f}, {60.0f, 10.0f}});
    p.v[0].z = 2.0f;
    p.v[1].z = 4.0f;
    p.v[2].z = 2.0f;
    p.v[1].u = 1.0f;
    p.v[2].v = 1.0f;
    PlaneGradients planeGradient;
    ASSERT_EQ(planeGradients(&p, 64.0f, 32.0f, &planeGradient), 1);
    for (int i = 0; i < 3; i++) {
        const ClipVertex& v = p.v[i];
        EXPECT_NEAR(planeGradient.w0 + v.x * planeGradient.dWdx + v.y * planeGradient.dWdy, 1.0f / v.z, 1e-6f);
        EXPECT_NEAR(planeGradient.u0 + v.x * planeGradient.dUdx + v.y * planeGradient.dUdy, v.u / v.z * 64.0f, 1e-4f);
        EXPECT_NEAR(planeGradient.v0 + v.x * planeGradient.dVdx + v.y * planeGradient.dVdy, v.v / v.z * 32.0f, 1e-4f);
    }
    ClipPolygon line = polygon({{10.0f, 10.0f}, {20.0f, 20.0f}, {30.0f, 30.0f}});
    EXPECT_EQ(planeGradients(&line, 1.0f, 1.0f, &planeGradient), 0);
}

namespace {

// Every used span of the table, row by row, links left out.
std::vector<std::vector<SpanNode>> tableSpans()
{
    std::vector<std::vector<SpanNode>> rows(spanTableRowCount());
    for (int32_t y = 0; y < spanTableRowCount(); y++) {
        const SpanNode* n = spanTableRow(y)->head;
        for (int32_t i = 0; i < spanTableRow(y)->count; i++, n = n->next) {
            SpanNode copy = *n;
            copy.prev = copy.next = nullptr;
            rows[y].push_back(copy);
        }
    }
    return rows;
}

bool sameSpans(const std::vector<std::vector<SpanNode>>& a, const std::vector<std::vector<SpanNode>>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t y = 0; y < a.size(); y++) {
        if (a[y].size() != b[y].size())
            return false;
        for (size_t i = 0; i < a[y].size(); i++)
            if (memcmp(&a[y][i], &b[y][i], sizeof(SpanNode)) != 0)
                return false;
    }
    return true;
}

} // namespace

// A polygon is left to the bands it reaches, judged by the rows the walk of
// its chains visits. In a clipped polygon those can run past the ceiling of
// its greatest y: here both chains hold an edge whose rows come out negative,
// and the walk still visits row 21 although no vertex lies below 20.00001.
TEST_F(ScanTest, BandsTogetherInsertWhatTheWholeTableDoes)
{
    ClipPolygon seven = polygon({{100.0f, 1.999999f}, {50.0f, 2.000001f}, {49.0f, 1.9999995f}, {50.0f, 10.0f},
        {60.0f, 20.00001f}, {70.0f, 19.99999f}, {71.0f, 20.000005f}});
    ASSERT_EQ(rasterizePolygon(renderBand(0), &seven, defaultTexture(), 200), 1);
    ASSERT_EQ(spanTableRow(21)->count, 1);
    EXPECT_EQ(spanTableRow(21)->head->xStart, 59);
    EXPECT_EQ(spanTableRow(21)->head->xEnd, 65);
    const auto whole = tableSpans();
    spanTableReset();
    RenderBand* lower = renderBand(1);
    renderBandSet(lower, 21, 480);
    ASSERT_EQ(rasterizePolygon(lower, &seven, defaultTexture(), 200), 1);
    ASSERT_EQ(spanTableRow(21)->count, 1);
    EXPECT_EQ(spanTableRow(21)->head->xStart, 59);

    // Random polygons of 3 to 7 vertices whose y lie within a few steps of
    // whole rows, drawn whole and then by 2 to 5 bands split at random rows.
    uint32_t seed = 20261208;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int trial = 0; trial < 3000; trial++) {
        std::vector<ClipPolygon> polygons(1 + next(4));
        for (ClipPolygon& p : polygons) {
            p = {};
            p.count = 3 + (int32_t)next(5);
            const float row = (float)(next(460) + 10);
            for (int32_t i = 0; i < p.count; i++) {
                const float nudge = ((float)next(9) - 4.0f) * 1e-6f * row;
                p.v[i] = {(float)next(600) + (float)next(100) / 100.0f + 10.0f,
                    row + (float)next(3) * (float)next(12) + nudge, 1.0f + (float)next(50), 0.0f, 0.0f};
            }
        }
        spanTableReset();
        for (const ClipPolygon& p : polygons)
            rasterizePolygon(renderBand(0), &p, defaultTexture(), 100);
        const auto reference = tableSpans();
        spanTableReset();
        const int32_t bandCount = 2 + (int32_t)next(4);
        std::vector<int32_t> starts = {0};
        for (int32_t b = 1; b < bandCount; b++)
            starts.push_back(starts.back() + (int32_t)next((uint32_t)(480 - starts.back()) / 2 + 1));
        starts.push_back(480);
        for (int32_t b = 0; b < bandCount; b++) {
            RenderBand* band = renderBand(1);
            renderBandSet(band, starts[b], starts[b + 1]);
            for (const ClipPolygon& p : polygons)
                rasterizePolygon(band, &p, defaultTexture(), 100);
        }
        ASSERT_TRUE(sameSpans(tableSpans(), reference)) << "trial " << trial;
    }
}
