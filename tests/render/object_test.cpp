#include <gtest/gtest.h>

#include <vector>

#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"
#include "span_rows.h"

namespace {

// A one-face mesh whose plane is given directly, so that the back-face test
// can be pinned to its threshold.
struct OneFace {
    MeshVertex vertices[3];
    Face face;
    MeshObject mesh;

    OneFace(float ax, float ay, float bx, float by, float cx, float cy, Plane plane)
    {
        vertices[0] = {ax, ay, 0, 0, 0, 0, 0, 0};
        vertices[1] = {bx, by, 0, 1, 0, 0, 0, 0};
        vertices[2] = {cx, cy, 0, 0, 1, 0, 0, 0};
        face.material = 0;
        face.corners[0] = &vertices[0];
        face.corners[1] = &vertices[1];
        face.corners[2] = &vertices[2];
        face.plane = plane;
        mesh = {};
        mesh.faceCount = 1;
        mesh.faces = &face;
        mesh.vertexCount = 3;
        mesh.vertices = vertices;
    }
};

struct ObjectTest : ::testing::Test {
    Matrix4 worldToView, model; // the camera at the origin, looking along z
    void SetUp() override
    {
        ASSERT_EQ(engineInit(640, 480), 1);
        spanTableReset();
        matIdentity(&worldToView);
        matIdentity(&model);
        matTranslate(&model, 0, 0, 1000);
    }
    void TearDown() override { engineRelease(); }
    int spanCount() const
    {
        int n = 0;
        for (int y = 0; y < spanTableRowCount(); y++)
            n += spanTableRow(y)->count;
        return n;
    }
};

} // namespace

TEST_F(ObjectTest, ProjectionPutsAVertexWhereTheFocalLengthSays)
{
    // (100, 50, 0) at depth 1000: x = 320 * 100 / 1000 + 320, y = 320 * 50 / 1000 + 240.
    OneFace f(100, 50, 100, 150, 200, 50, {0, 0, 1, 0});
    renderObject(renderBand(0), &model, &worldToView, &f.mesh, nullptr, 0, 0);
    ASSERT_EQ(spanTableRow(256)->count, 1);
    EXPECT_EQ(spanTableRow(256)->head->xStart, 352);
    EXPECT_EQ(spanTableRow(255)->count, 0);
    EXPECT_EQ(spanTableRow(287)->count, 1);
    EXPECT_EQ(spanTableRow(288)->count, 0);
    EXPECT_EQ(spanTableRow(256)->head->light, 255);
    // Without a usable material the face is drawn with the built-in texture.
    EXPECT_EQ(spanTableRow(256)->head->texture, defaultTexture());
}

TEST_F(ObjectTest, BackFaceThresholdAndLight)
{
    // The eye sits at z = -1000 in object space; plane (0, 0, c, d) gives
    // c * -1000 + d at the eye.
    struct Case {
        float d;
        bool drawn;
    } cases[] = {{1000.1f, true}, {1000.1001f, false}, {2000.0f, false}, {0.0f, true}};
    for (const Case& c : cases) {
        spanTableReset();
        // The value at the eye is -1000 + d: d = 1000.1 puts it at 0.1.
        OneFace f(100, 50, 100, 150, 200, 50, {0, 0, 1, c.d});
        renderObject(renderBand(0), &model, &worldToView, &f.mesh, nullptr, 0, 0);
        EXPECT_EQ(spanCount() > 0, c.drawn) << c.d;
    }
    // The light is the view-space normal's z times 255, truncated; a
    // normal turned away gives 0.
    struct Lit {
        Plane plane;
        int32_t light;
    } lit[] = {{{0, 0.8660254f, 0.5f, 0}, 127}, {{0, 0, -1, -5000}, 0}};
    for (const Lit& c : lit) {
        spanTableReset();
        OneFace f(100, 50, 100, 150, 200, 50, c.plane);
        renderObject(renderBand(0), &model, &worldToView, &f.mesh, nullptr, 0, 0);
        ASSERT_EQ(spanTableRow(256)->count, 1) << c.light;
        EXPECT_EQ(spanTableRow(256)->head->light, c.light);
    }
}

TEST_F(ObjectTest, PolygonsReachingPastTheNearLimitAreDroppedWhole)
{
    Matrix4 near;
    matIdentity(&near);
    // Vertices at depth 0.1 exactly are drawn; 0.0999 drops the polygon.
    for (float z : {0.1f, 0.0999f}) {
        spanTableReset();
        matIdentity(&near);
        matTranslate(&near, 0, 0, z);
        OneFace f(0.001f, 0.001f, 0.001f, 0.02f, 0.02f, 0.001f, {0, 0, 1, 0});
        renderObject(renderBand(0), &near, &worldToView, &f.mesh, nullptr, 0, 0);
        EXPECT_EQ(spanCount() > 0, z == 0.1f) << z;
    }
}

TEST_F(ObjectTest, SpanTableDrawingClipsAndReportsDisorder)
{
    std::vector<uint32_t> frame(640 * 480, 0);
    Texture* t = defaultTexture();
    SpanNode span = {};
    span.texture = t;
    span.invZ = 1.0f;
    span.light = 255;
    struct Case {
        int xs, xe;
        int first, last; // columns expected to change
    } cases[] = {{-5, 3, 0, 2}, {600, 640, 600, 639}, {600, 700, 600, 638}};
    for (const Case& c : cases) {
        spanTableReset();
        std::fill(frame.begin(), frame.end(), 0);
        span.xStart = c.xs;
        span.xEnd = c.xe;
        putSpanAsIs(spanTableRow(100), &span);
        EXPECT_EQ(drawSpanTable(frame.data()), 1);
        for (int x = 0; x < 640; x++)
            EXPECT_EQ(frame[100 * 640 + x] != 0, x >= c.first && x <= c.last) << c.xs << " " << x;
    }
    // Two overlapping used spans: both drawn, the warning written at (50, 20).
    spanTableReset();
    std::fill(frame.begin(), frame.end(), 0);
    span.xStart = 0;
    span.xEnd = 10;
    putSpanAsIs(spanTableRow(300), &span);
    span.xStart = 8;
    span.xEnd = 20;
    putSpanAsIs(spanTableRow(300), &span);
    EXPECT_EQ(drawSpanTable(frame.data()), 2);
    EXPECT_NE(frame[300 * 640 + 19], 0u);
    spanTableReset();
    EXPECT_EQ(drawSpanTable(frame.data()), 0);
}
