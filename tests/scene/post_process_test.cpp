#include <gtest/gtest.h>

#include <cmath>

#include "scene/scene.h"
#include "threeds_writer.h"

namespace {

MeshVertex vertex(float x, float y, float z)
{
    MeshVertex v = {};
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

Face face(MeshVertex* a, MeshVertex* b, MeshVertex* c)
{
    Face f = {};
    f.corners[0] = a;
    f.corners[1] = b;
    f.corners[2] = c;
    return f;
}

void expectPlane(const Plane& p, float a, float b, float c, float d)
{
    EXPECT_NEAR(p.a, a, 1e-6f);
    EXPECT_NEAR(p.b, b, 1e-6f);
    EXPECT_NEAR(p.c, c, 1e-6f);
    EXPECT_NEAR(p.d, d, 1e-6f);
}

bool finite(const float* v, int n)
{
    for (int i = 0; i < n; i++) {
        if (!std::isfinite(v[i]))
            return false;
    }
    return true;
}

} // namespace

TEST(FacePlane, NormalIsSecondEdgeCrossFirst)
{
    MeshVertex v[3] = {vertex(0, 0, 0), vertex(1, 0, 0), vertex(0, 1, 0)};
    Face f = face(&v[0], &v[1], &v[2]);
    expectPlane(computeFacePlane(&f), 0, 0, -1, 0);
    MeshVertex w[3] = {vertex(0, 0, 2), vertex(1, 0, 2), vertex(0, 1, 2)};
    f = face(&w[0], &w[1], &w[2]);
    expectPlane(computeFacePlane(&f), 0, 0, -1, 2);
}

TEST(FacePlane, ZeroAreaFaceGetsAFinitePlane)
{
    MeshVertex v[3] = {vertex(1, 1, 1), vertex(2, 2, 2), vertex(3, 3, 3)};
    Face f = face(&v[0], &v[1], &v[2]);
    expectPlane(computeFacePlane(&f), 0, 0, 0, 0);
}

TEST(FacePlane, LoadedTriangleUsesTheStoredCornerOrder)
{
    // File positions p = (0,0,0), q = (1,0,0), r = (0,1,0) are stored as
    // (0,0,0), (1,0,0), (0,0,1); corners (p, r, q) give the plane (0,-1,0,0).
    TempDir dir;
    writeFile("m.3ds", modelFile(meshObject("t", pointArray({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faceArray({{0, 1, 2}}))));
    Scene* scene = loadScene("m.3ds");
    ASSERT_NE(scene, nullptr);
    expectPlane(scene->objects[0].faces[0].plane, 0, -1, 0, 0);
    sceneRelease(scene);
}

TEST(VertexNormals, MatchByPositionAcrossDistinctVertices)
{
    // Face A has normal (0,0,-1), face B normal (0,-1,0); vertices 0 and 6
    // share the corner position (0,0,0) but are distinct records; vertex 7
    // is used by no face.
    MeshVertex v[8] = {vertex(0, 0, 0), vertex(1, 0, 0), vertex(0, 1, 0), vertex(0, 0, 0),
                       vertex(0, 0, 1), vertex(1, 0, 0), vertex(0, 0, 0), vertex(5, 5, 5)};
    v[6].u = 0.5f;
    Face faces[2] = {face(&v[0], &v[1], &v[2]), face(&v[3], &v[4], &v[5])};
    MeshObject o = {};
    o.vertexCount = 8;
    o.faceCount = 2;
    o.vertices = v;
    o.faces = faces;
    computeFacePlanes(&o);
    expectPlane(faces[1].plane, 0, -1, 0, 0);
    ASSERT_EQ(computeVertexNormals(&o), 1);
    const float s = 1.0f / std::sqrt(2.0f);
    for (int i : {0, 3, 6}) {
        EXPECT_NEAR(v[i].nx, 0, 1e-6f) << i;
        EXPECT_NEAR(v[i].ny, -s, 1e-6f) << i;
        EXPECT_NEAR(v[i].nz, -s, 1e-6f) << i;
    }
    // (1,0,0) is a corner of both faces as well; (0,1,0) only of face A.
    EXPECT_NEAR(v[1].ny, -s, 1e-6f);
    EXPECT_NEAR(v[2].nz, -1, 1e-6f);
    EXPECT_EQ(v[7].nx, 0.0f);
    EXPECT_EQ(v[7].ny, 0.0f);
    EXPECT_EQ(v[7].nz, 0.0f);
}

TEST(CameraMatrix, PoseFromTheFirstKeys)
{
    float frames[1] = {0};
    float p[3] = {1, 2, 3};
    struct Case {
        const char* what;
        int hasPosition, hasTarget;
        float target[3];
        float want[16];
    };
    const Case cases[] = {
        {"no position track", 0, 1, {1, 2, 8}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"no target track", 1, 0, {0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}},
        {"looking along +x", 1, 1, {4, 2, 3}, {0, 0, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 1, 2, 3, 1}},
        // Degenerate: the target on the position, or straight above it.
        {"target on the position", 1, 1, {1, 2, 3}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}},
        {"target straight above", 1, 1, {1, 7, 3}, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 1, 2, 3, 1}},
    };
    for (const Case& c : cases) {
        Camera cam = {};
        float tx = c.target[0], ty = c.target[1], tz = c.target[2];
        if (c.hasPosition) {
            cam.positionKeyCount = 1;
            cam.positionFrames = frames;
            cam.positionX = &p[0];
            cam.positionY = &p[1];
            cam.positionZ = &p[2];
        }
        if (c.hasTarget) {
            cam.targetKeyCount = 1;
            cam.targetFrames = frames;
            cam.targetX = &tx;
            cam.targetY = &ty;
            cam.targetZ = &tz;
        }
        computeCameraMatrix(&cam);
        EXPECT_TRUE(finite(cam.matrix.m, 16)) << c.what;
        for (int i = 0; i < 16; i++)
            EXPECT_NEAR(cam.matrix.m[i], c.want[i], 1e-6f) << c.what << " element " << i;
    }
}

// The renderer judges a whole mesh by its box, and shares transformed
// vertices only when every corner is one of the mesh's own.
TEST(MeasureMesh, BoxAndWhetherEveryCornerIsOwn)
{
    MeshVertex v[3] = {vertex(-1, 5, 2), vertex(3, -4, 2), vertex(0, 0, -6)};
    MeshVertex stray = vertex(0, 0, 0);
    Face faces[2] = {face(&v[0], &v[1], &v[2]), face(&v[2], &v[1], &v[0])};
    MeshObject o = {};
    o.vertexCount = 3;
    o.vertices = v;
    o.faceCount = 2;
    o.faces = faces;
    MeshBounds b;
    measureMesh(&o, &b);
    EXPECT_EQ(b.known, 1);
    EXPECT_EQ(b.cornersOwn, 1);
    EXPECT_EQ(b.low[0], -1.0f);
    EXPECT_EQ(b.low[1], -4.0f);
    EXPECT_EQ(b.low[2], -6.0f);
    EXPECT_EQ(b.high[0], 3.0f);
    EXPECT_EQ(b.high[1], 5.0f);
    EXPECT_EQ(b.high[2], 2.0f);

    // A corner outside the array, one inside a vertex rather than at its
    // start, and a missing one.
    faces[1].corners[2] = &stray;
    measureMesh(&o, &b);
    EXPECT_EQ(b.cornersOwn, 0);
    faces[1].corners[2] = (MeshVertex*)((char*)&v[1] + 4);
    measureMesh(&o, &b);
    EXPECT_EQ(b.cornersOwn, 0);
    faces[1].corners[2] = nullptr;
    measureMesh(&o, &b);
    EXPECT_EQ(b.cornersOwn, 0);

    MeshObject empty = {};
    measureMesh(&empty, &b);
    EXPECT_EQ(b.known, 1);
    EXPECT_EQ(b.cornersOwn, 0);
    EXPECT_EQ(b.high[0], 0.0f);
}
