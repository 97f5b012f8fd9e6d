#include <gtest/gtest.h>

#include <cmath>

#include "math/geometry.h"

namespace {

ClipVertex cv(float x, float y, float z, float u = 0, float v = 0)
{
    return ClipVertex{x, y, z, u, v};
}

float value(const Plane& p, const ClipVertex& v)
{
    return p.a * v.x + p.b * v.y + p.c * v.z + p.d;
}

void expectSame(const ClipVertex& a, const ClipVertex& b)
{
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    EXPECT_EQ(a.u, b.u);
    EXPECT_EQ(a.v, b.v);
}

// Width 2, height 2 and focal 1: the frustum keeps |x| <= z and |y| <= z.
struct UnitFrustum {
    Plane p[4];
    UnitFrustum() { buildFrustum(2, 2, 1, p); }
};

} // namespace

TEST(Plane, FromPointsFollowsTheRightHandRule)
{
    Plane p;
    planeFromPoints(&p, 0, 0, 0, 1, 0, 0, 0, 1, 0);
    EXPECT_EQ(p.a, 0.0f);
    EXPECT_EQ(p.b, 0.0f);
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, 0.0f);
    planeFromPoints(&p, 0, 0, 0, 0, 1, 0, 1, 0, 0);
    EXPECT_EQ(p.c, -1.0f);
    planeFromPoints(&p, 0, 0, 3, 1, 0, 3, 0, 1, 3);
    EXPECT_EQ(p.d, -3.0f);
}

TEST(Frustum, ScreenSidesForTheRendererSize)
{
    Plane f[4];
    buildFrustum(636, 476, 320, f);
    const float e = 636.0f / 640.0f, g = 476.0f / 640.0f;
    const float ne = std::sqrt(1 + e * e), ng = std::sqrt(1 + g * g);
    const float want[4][3] = {{-1 / ne, 0, e / ne}, {1 / ne, 0, e / ne}, {0, 1 / ng, g / ng}, {0, -1 / ng, g / ng}};
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(f[k].a, want[k][0], 1e-6f) << k;
        EXPECT_NEAR(f[k].b, want[k][1], 1e-6f) << k;
        EXPECT_NEAR(f[k].c, want[k][2], 1e-6f) << k;
        EXPECT_EQ(f[k].d, 0.0f) << k;
        EXPECT_GT(value(f[k], cv(0, 0, 1)), 0.0f) << k;
    }
    // Beyond the right edge, the smaller screen rows.
    EXPECT_LT(value(f[0], cv(1, 0, 1)), 0.0f);
    EXPECT_LT(value(f[2], cv(0, -1, 1)), 0.0f);
}

TEST(Clip, IntersectionOfAParallelEdgeIsTheFirstPoint)
{
    const Plane p = {1, 0, 0, 0};
    const ClipVertex a = cv(1, 0, 0, 3, 4), b = cv(1, 5, 7, 9, 9);
    ClipVertex out;
    clipIntersect(&out, &a, &b, &p);
    expectSame(out, a);
}

TEST(Clip, IntersectionInterpolatesMappingCoordinates)
{
    const Plane p = {1, 0, 0, -1}; // x > 1
    const ClipVertex a = cv(0, 0, 0, 0, 10), b = cv(4, 8, 4, 8, 2);
    ClipVertex out;
    clipIntersect(&out, &a, &b, &p);
    EXPECT_FLOAT_EQ(out.x, 1);
    EXPECT_FLOAT_EQ(out.y, 2);
    EXPECT_FLOAT_EQ(out.z, 1);
    EXPECT_FLOAT_EQ(out.u, 2);
    EXPECT_FLOAT_EQ(out.v, 8);
}

TEST(Clip, OnPlaneVertexAfterAnOutsideOneIsDropped)
{
    // outside -> on -> inside against x > 0.
    const Plane p = {1, 0, 0, 0};
    ClipPolygon in;
    in.count = 3;
    in.v[0] = cv(-1, 0, 0, 10, 0);
    in.v[1] = cv(0, 1, 0);
    in.v[2] = cv(1, 0, 0, 0, 0);
    const ClipPolygon out = clipPolygonToPlane(&in, &p);
    ASSERT_EQ(out.count, 2);
    // The edge from the inside vertex to the outside one, at x = 0.
    EXPECT_FLOAT_EQ(out.v[0].x, 0);
    EXPECT_FLOAT_EQ(out.v[0].y, 0);
    EXPECT_FLOAT_EQ(out.v[0].u, 5);
    expectSame(out.v[1], in.v[2]);
}

TEST(Clip, TriangleVerdicts)
{
    const UnitFrustum f;
    struct Case {
        const char* what;
        ClipVertex a, b, c;
        int count;
    };
    const Case cases[] = {
        {"wholly inside", cv(0, 0, 1), cv(0.5f, 0, 2), cv(0, 0.5f, 2), 3},
        {"beyond plane 0 while straddling plane 2", cv(3, -2, 1), cv(4, 0.5f, 1), cv(5, 0, 1), 0},
        {"two on plane 0, third outside", cv(1, 0, 1), cv(1, 0.5f, 1), cv(2, 0, 1), 0},
        {"two on plane 0, third inside", cv(1, 0, 1), cv(1, 0.5f, 1), cv(0, 0, 1), 3},
        {"all three on plane 0", cv(1, 0, 1), cv(2, 0.5f, 2), cv(3, 0, 3), 3},
        {"one vertex beyond plane 0", cv(0, 0, 1), cv(3, 0, 1), cv(0, 0.5f, 1), 4},
    };
    for (const Case& c : cases) {
        const ClipPolygon out = clipTriangle(c.a, c.b, c.c, f.p);
        ASSERT_EQ(out.count, c.count) << c.what;
        if (c.count == 3) {
            expectSame(out.v[0], c.a);
            expectSame(out.v[1], c.b);
            expectSame(out.v[2], c.c);
        }
    }
}

TEST(Clip, TriangleAcrossAllFourSidesGivesSevenVertices)
{
    // An equilateral triangle in z = 1 whose sides lie 1.1 from the centre
    // with normals at 45, 165 and 285 degrees: each side cuts one corner off
    // the square |x|, |y| <= 1, so the result has 4 + 3 sides.
    const UnitFrustum f;
    const float d = 1.1f, pi = 3.14159265f;
    ClipVertex v[3];
    const float normals[3] = {45, 165, 285};
    for (int i = 0; i < 3; i++) {
        const float t = normals[i] * pi / 180;
        v[i] = cv(-2 * d * std::cos(t), -2 * d * std::sin(t), 1);
    }
    const ClipPolygon out = clipTriangle(v[0], v[1], v[2], f.p);
    ASSERT_EQ(out.count, 7);
    for (int i = 0; i < 7; i++) {
        EXPECT_LE(std::fabs(out.v[i].x), 1 + 1e-5f) << i;
        EXPECT_LE(std::fabs(out.v[i].y), 1 + 1e-5f) << i;
        EXPECT_FLOAT_EQ(out.v[i].z, 1) << i;
    }
}
