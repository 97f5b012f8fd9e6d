#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "scene/scene.h"
#include "threeds_writer.h"

namespace {

class Loader : public ::testing::Test {
protected:
    TempDir dir;
    Scene* scene = nullptr;

    Scene* load(const std::string& bytes)
    {
        sceneRelease(scene);
        writeFile("model.3ds", bytes);
        scene = loadScene("model.3ds");
        return scene;
    }
    void TearDown() override { sceneRelease(scene); }
};

int vertexIndex(const MeshObject& o, const MeshVertex* v)
{
    return (int)(v - o.vertices);
}

const std::vector<Point> kSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

} // namespace

TEST_F(Loader, EmptyFileGivesAnEmptyScene)
{
    ASSERT_NE(load(""), nullptr);
    EXPECT_EQ(scene->objectCount, 0);
    EXPECT_EQ(scene->cameraCount, 0);
    EXPECT_EQ(scene->lightCount, 0);
    EXPECT_EQ(scene->materialCount, 0);
    EXPECT_NE(scene->materials, nullptr);
}

TEST_F(Loader, MissingFileFails)
{
    EXPECT_EQ(loadScene("Cells\\none.3ds"), nullptr);
    EXPECT_STREQ(sceneLoadReason(), "Cells\\none.3ds: cannot be opened (No such file or directory)");
}

// A file that loads but gives no face to draw still loads; the reason says
// what it lacks, and is empty for a model with a mesh.
TEST_F(Loader, AModelWithoutAMeshLoadsAndSaysWhy)
{
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "model.3ds: the model has no mesh: the file is empty"},
        {"an executable", "MZ" + Bytes().u32(100).data + std::string(94, 'x'),
         "model.3ds: the model has no mesh: the file does not begin with the 3DS main chunk 0x4D4D (its first two "
         "bytes read 0x5A4D), so it is no 3DS file"},
        {"materials only", modelFile(materialEntry("m")), "model.3ds: the model has no mesh: the file holds no triangle mesh"},
        {"meshes without faces", modelFile(meshObject("a", pointArray(kSquare)) + meshObject("b", "")),
         "model.3ds: the model has no mesh: its 2 triangle meshes have no faces"},
        {"a mesh", modelFile(meshObject("a", pointArray(kSquare) + faceArray({{0, 1, 2}}))), ""},
    };
    for (const Case& c : cases) {
        ASSERT_NE(load(c.bytes), nullptr) << c.what;
        EXPECT_STREQ(sceneLoadReason(), c.reason) << c.what;
    }
}

TEST_F(Loader, ObjectsAndMaterialsInFileOrderWithSwappedAxesAndCorners)
{
    const std::vector<Point> points = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const std::string mesh = materialEntry("red") + materialEntry("green") + materialEntry("blue")
        + meshObject("first", pointArray(points)
                                  + faceArray({{4, 5, 6}, {0, 1, 2}, {1, 2, 3}},
                                              materialGroup("blue", {0}) + materialGroup("nothing", {2}))
                                  + mappingCoordinates({{0.25f, 0.5f}, {0.75f, 1.0f}}))
        + meshObject("second", pointArray(kSquare) + faceArray({{0, 1, 2}}, materialGroup("green", {0})));
    ASSERT_NE(load(modelFile(mesh)), nullptr);
    ASSERT_EQ(scene->materialCount, 3);
    EXPECT_STREQ(scene->materials[0].name, "red");
    EXPECT_STREQ(scene->materials[1].name, "green");
    EXPECT_STREQ(scene->materials[2].name, "blue");
    EXPECT_EQ(scene->materials[0].texture, nullptr);
    ASSERT_EQ(scene->objectCount, 2);
    const MeshObject& a = scene->objects[0];
    EXPECT_STREQ(a.name, "first");
    ASSERT_EQ(a.vertexCount, 7);
    EXPECT_EQ(a.vertices[0].x, 1.0f);
    EXPECT_EQ(a.vertices[0].y, 3.0f);
    EXPECT_EQ(a.vertices[0].z, 2.0f);
    ASSERT_EQ(a.faceCount, 3);
    // File indices (4, 5, 6) are stored as corners 4, 6, 5.
    EXPECT_EQ(vertexIndex(a, a.faces[0].corners[0]), 4);
    EXPECT_EQ(vertexIndex(a, a.faces[0].corners[1]), 6);
    EXPECT_EQ(vertexIndex(a, a.faces[0].corners[2]), 5);
    // Listed by "blue"; not listed (material 0 as materials exist); listed by
    // a group naming no material (-1 kept).
    EXPECT_EQ(a.faces[0].material, 2);
    EXPECT_EQ(a.faces[1].material, 0);
    EXPECT_EQ(a.faces[2].material, -1);
    EXPECT_EQ(a.vertices[1].u, 0.75f);
    EXPECT_EQ(a.vertices[1].v, 1.0f);
    // No mapping coordinate for vertex 2 onwards.
    EXPECT_EQ(a.vertices[2].u, 0.0f);
    EXPECT_EQ(a.vertices[6].v, 0.0f);
    EXPECT_STREQ(scene->objects[1].name, "second");
    EXPECT_EQ(scene->objects[1].faces[0].material, 1);
    // No mesh matrix: all sixteen elements stay 0.
    for (float e : a.matrix.m)
        EXPECT_EQ(e, 0.0f);
    // The box around the stored (x, z, y) points, measured once at load.
    EXPECT_EQ(a.bounds.known, 1);
    EXPECT_EQ(a.bounds.cornersOwn, 1);
    EXPECT_EQ(a.bounds.low[0], 0.0f);
    EXPECT_EQ(a.bounds.low[1], 0.0f);
    EXPECT_EQ(a.bounds.high[0], 7.0f);
    EXPECT_EQ(a.bounds.high[1], 9.0f);
    EXPECT_EQ(a.bounds.high[2], 8.0f);
}

TEST_F(Loader, FacesWithoutAnyMaterialInTheFileGetMinusOne)
{
    ASSERT_NE(load(modelFile(meshObject("m", pointArray(kSquare) + faceArray({{0, 1, 2}})))), nullptr);
    EXPECT_EQ(scene->materialCount, 0);
    EXPECT_EQ(scene->objects[0].faces[0].material, -1);
}

TEST_F(Loader, MeshMatrixRowsInFileAxisOrder)
{
    Bytes m;
    for (int i = 0; i < 12; i++)
        m.f32((float)(i + 1));
    ASSERT_NE(load(modelFile(meshObject("m", chunk(0x4160, m.data)))), nullptr);
    const float want[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1};
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(scene->objects[0].matrix.m[i], want[i]) << i;
}

TEST_F(Loader, EmptyPointAndFaceArraysAreAccepted)
{
    ASSERT_NE(load(modelFile(meshObject("m", pointArray({}) + faceArray({})))), nullptr);
    EXPECT_EQ(scene->objects[0].vertexCount, 0);
    EXPECT_EQ(scene->objects[0].faceCount, 0);
}

TEST_F(Loader, LaterPointAndFaceArraysReplaceEarlierOnes)
{
    // Faces read before the second point array keep the first one's vertices.
    const std::vector<Point> first = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    ASSERT_NE(load(modelFile(meshObject("m", pointArray(first) + faceArray({{0, 1, 2}}) + pointArray(kSquare)))), nullptr);
    const MeshObject& o = scene->objects[0];
    ASSERT_EQ(o.vertexCount, 4);
    EXPECT_EQ(o.vertices[2].x, 1.0f);
    EXPECT_EQ(o.vertices[2].z, 1.0f);
    ASSERT_EQ(o.faceCount, 1);
    const Face& f = o.faces[0];
    EXPECT_EQ(f.corners[0]->x, 1.0f);
    EXPECT_EQ(f.corners[1]->y, 9.0f);
    EXPECT_EQ(f.corners[2]->z, 5.0f);
    EXPECT_EQ(o.bounds.cornersOwn, 0);

    // A second face array is read against the vertices of its time; an empty
    // point array after it leaves the object without vertices.
    ASSERT_NE(load(modelFile(meshObject("m", pointArray(first) + faceArray({{0, 1, 2}}) + pointArray(kSquare)
                                                 + faceArray({{3, 2, 1}, {0, 1, 3}})
                                                 + pointArray({})))),
              nullptr);
    const MeshObject& p = scene->objects[0];
    EXPECT_EQ(p.vertexCount, 0);
    EXPECT_EQ(p.vertices, nullptr);
    ASSERT_EQ(p.faceCount, 2);
    EXPECT_EQ(p.faces[0].corners[0]->z, 1.0f);
    EXPECT_EQ(p.faces[0].corners[1]->x, 1.0f);
    EXPECT_EQ(p.faces[1].corners[1]->z, 1.0f);
    // A face count beyond its chunk still fails on a replacement.
    EXPECT_EQ(load(modelFile(meshObject("m", pointArray(kSquare) + faceArray({{0, 1, 2}}) + chunk(0x4120, Bytes().u16(9).data)))), nullptr);
}

TEST_F(Loader, ChunksHiddenFromTheWalk)
{
    struct Case {
        const char* what;
        std::string mesh;
    };
    const Case cases[] = {
        {"unknown id with a material inside", chunk(0x1234, materialEntry("hidden"))},
        {"camera's sub-chunks", chunk(0x4000, name("cam") + chunk(0x4700, std::string(32, '\0') + materialEntry("hidden")))},
        {"spotlight's sub-chunks",
         chunk(0x4000, name("lamp") + chunk(0x4600, std::string(12, '\0') + chunk(0x4610, std::string(20, '\0') + materialEntry("hidden"))))},
    };
    for (const Case& c : cases) {
        ASSERT_NE(load(modelFile(c.mesh + materialEntry("seen"))), nullptr) << c.what;
        ASSERT_EQ(scene->materialCount, 1) << c.what;
        EXPECT_STREQ(scene->materials[0].name, "seen") << c.what;
    }
}

TEST_F(Loader, BrokenFilesFailTheLoadNamingTheFault)
{
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason; // part of what sceneLoadReason says after "model.3ds: "
    };
    const std::string topEntry = modelFile(materialEntry("a"));
    const std::string keyframer = chunk(0xB002, nodeHeader("o") + chunk(0xB020, Bytes().raw(std::string(10, '\0')).u32(9).data));
    const Case cases[] = {
        {"length 0 at the top", chunkHeader(0x4D4D, 0), "chunk 0x4D4D at byte 0 has length 0"},
        {"length 0 deep inside", modelFile(materialEntry("a") + chunkHeader(0x1234, 0) + materialEntry("b")),
         "chunk 0x1234 at byte 36 has length 0"},
        {"length 2^31", topEntry + chunkHeader(0x1234, 0x80000000u) + std::string(16, 'x'),
         "chunk 0x1234 at byte 36 claims 2147483648 bytes, 2 GiB or more"},
        {"length 2^32 - 1", topEntry + chunkHeader(0x1234, 0xFFFFFFFFu) + std::string(16, 'x'), "claims 4294967295 bytes"},
        {"corner index at the vertex count", modelFile(meshObject("m", pointArray(kSquare) + faceArray({{0, 1, 4}}))),
         "face array (chunk 0x4120 at byte 92): face 0 of mesh 'm' uses vertex 4, but the mesh has 4 vertices"},
        {"faces before points", modelFile(meshObject("m", faceArray({{0, 1, 2}}) + pointArray(kSquare))),
         "face 0 of mesh 'm' uses vertex 2, but the mesh has 0 vertices"},
        {"point count beyond its chunk", modelFile(meshObject("m", chunk(0x4110, Bytes().u16(5).f32(1).data))),
         "point array (chunk 0x4110 at byte 36): 5 points need 60 bytes, the rest of the chunk holds 4"},
        {"key count beyond its chunk", modelFile(meshObject("o", ""), keyframer),
         "position track (chunk 0xB020 at byte 62): 9 keys need at least 162 bytes, the rest of the chunk holds 0"},
        {"material name cut by the end of the file", chunkHeader(0xA000, 40) + "abc",
         "material name (chunk 0xA000 at byte 0): the name runs into the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(c.bytes), nullptr);
        const std::string reason = sceneLoadReason();
        EXPECT_EQ(reason.rfind("model.3ds: ", 0), 0u) << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

TEST_F(Loader, OverlongSubChunkEndsOnlyItsParentsWalk)
{
    // The first entry's unknown sub-chunk claims 100 bytes; the walk of the
    // entry ends, the walker goes back to the entry's end and reads "b".
    const std::string first = chunk(0xAFFF, chunk(0xA000, name("a")) + chunkHeader(0x1234, 100));
    ASSERT_NE(load(modelFile(first + materialEntry("b"))), nullptr);
    ASSERT_EQ(scene->materialCount, 2);
    EXPECT_STREQ(scene->materials[1].name, "b");
}

TEST_F(Loader, SeveralTopLevelChunksAreAllWalked)
{
    ASSERT_NE(load(materialEntry("a") + chunk(0x1234, "zz") + materialEntry("b")), nullptr);
    EXPECT_EQ(scene->materialCount, 2);
}

TEST_F(Loader, NamesOf63And70Characters)
{
    const std::string n63(63, 'k');
    std::string n70;
    for (int i = 0; i < 70; i++)
        n70 += (char)('A' + i % 26);
    // The 63-character object name is read whole and its terminator consumed,
    // else the mesh chunk behind it would be misread.
    ASSERT_NE(load(modelFile(meshObject(n63, pointArray(kSquare)) + materialEntry(n70))), nullptr);
    ASSERT_EQ(scene->objectCount, 1);
    EXPECT_EQ(std::string(scene->objects[0].name), n63);
    EXPECT_EQ(scene->objects[0].vertexCount, 4);
    ASSERT_EQ(scene->materialCount, 1);
    EXPECT_EQ(std::string(scene->materials[0].name), n70.substr(0, 63));
}

TEST_F(Loader, ObjectNameCutByTheEndOfTheFileIsAccepted)
{
    ASSERT_NE(load(chunkHeader(0x4000, 40) + "abc"), nullptr);
    EXPECT_EQ(scene->objectCount, 0);
}

TEST_F(Loader, OutOfRangeIndicesAreDropped)
{
    const std::string mesh = materialEntry("m")
        + meshObject("o", pointArray({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})
                              + faceArray({{0, 1, 2}}, materialGroup("x", {1, 7}))
                              + mappingCoordinates({{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}));
    ASSERT_NE(load(modelFile(mesh)), nullptr);
    const MeshObject& o = scene->objects[0];
    EXPECT_EQ(o.faces[0].material, 0);
    EXPECT_EQ(o.vertices[2].u, 5.0f);
}

TEST_F(Loader, MeshChunksBeforeAnyObjectAreIgnored)
{
    const std::string stray = pointArray(kSquare) + faceArray({{0, 1, 2}}) + mappingCoordinates({{1, 1}})
        + chunk(0x4610, std::string(20, 'x')) + chunk(0x4620, "");
    ASSERT_NE(load(modelFile(stray + meshObject("m", pointArray(kSquare)))), nullptr);
    EXPECT_EQ(scene->objects[0].vertexCount, 4);
    EXPECT_EQ(scene->objects[0].faceCount, 0);
}

TEST_F(Loader, ReadsPastTheEndOfTheFileGiveZeros)
{
    // Three points announced, one and a half present.
    std::string bytes = modelFile(meshObject("m", pointArray({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})));
    bytes.resize(bytes.size() - 16);
    ASSERT_NE(load(bytes), nullptr);
    const MeshObject& o = scene->objects[0];
    ASSERT_EQ(o.vertexCount, 3);
    EXPECT_EQ(o.vertices[1].x, 4.0f);
    EXPECT_EQ(o.vertices[1].y, 0.0f);
    EXPECT_EQ(o.vertices[1].z, 5.0f);
    EXPECT_EQ(o.vertices[2].x, 0.0f);
}

TEST_F(Loader, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::string bytes = materialEntry("x");
    for (int i = 0; i < 1000; i++)
        bytes = chunk(0x4D4D, bytes);
    EXPECT_EQ(load(bytes), nullptr);
    EXPECT_EQ(std::string(sceneLoadReason()).rfind("model.3ds: chunks nested more than 64 deep at byte ", 0), 0u)
        << sceneLoadReason();
}

TEST_F(Loader, EveryAllocationFailureReleasesTheLoad)
{
    // Every array is given twice: the replacements allocate too.
    const std::string position = track(0xB020, {{0, 0, {1, 2, 3}}}), rotation = track(0xB021, {{0, 0, {1, 0, 0, 1}}});
    const std::string kf = chunk(0xB002, nodeHeader("o") + position + rotation + position + rotation)
        + chunk(0xB003, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 0, 0}}}) + position)
        + chunk(0xB004, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 0, 5}}}));
    const std::string mesh = pointArray(kSquare) + faceArray({{0, 1, 2}}) + pointArray(kSquare) + faceArray({{0, 1, 2}});
    const std::string bytes = modelFile(materialEntry("m") + meshObject("o", mesh)
                                            + camera("cam", {0, 0, 0}, {1, 1, 1})
                                            + chunk(0x4000, name("lamp") + chunk(0x4600, std::string(12, '\0'))),
                                        kf);
    writeFile("model.3ds", bytes);
    for (int64_t failAt = 1;; failAt++) {
        heapHookReset();
        heapHook.failAt = failAt;
        Scene* s = loadScene("model.3ds");
        const int64_t calls = heapHook.calls;
        heapHookReset();
        if (s) {
            EXPECT_GT(failAt, 20) << "fewer allocations than records";
            EXPECT_EQ(s->cameras[0].positionKeyCount, 1);
            sceneRelease(s);
            break;
        }
        ASSERT_LE(failAt, calls) << "load failed without a failing allocation";
        EXPECT_NE(std::string(sceneLoadReason()).find("out of memory"), std::string::npos) << sceneLoadReason();
    }
}

TEST_F(Loader, FloatColourGoesToTheLightOfTheCurrentName)
{
    const std::string lamp = chunk(0x4000, name("lamp") + chunk(0x4600, Bytes().f32(1).f32(2).f32(3).data
                                                                          + chunk(0x0010, Bytes().f32(0.5f).f32(1.0f).f32(0.999f).data)
                                                                          + chunk(0x465B, Bytes().f32(2.5f).data)
                                                                          + chunk(0x4620, "")));
    // A colour inside a material does not touch the light ("m" names no light).
    const std::string material = chunk(0xAFFF, chunk(0xA000, name("m")) + chunk(0xA020, chunk(0x0010, Bytes().f32(0).f32(0).f32(0).data)));
    ASSERT_NE(load(modelFile(lamp + material)), nullptr);
    ASSERT_EQ(scene->lightCount, 1);
    const Light& l = scene->lights[0];
    EXPECT_STREQ(l.name, "lamp");
    EXPECT_EQ(l.position[0], 1.0f);
    EXPECT_EQ(l.position[1], 3.0f);
    EXPECT_EQ(l.position[2], 2.0f);
    EXPECT_EQ(l.colour[0], 0.5f);
    EXPECT_EQ(l.colour255[0], 127);
    EXPECT_EQ(l.colour255[1], 255);
    EXPECT_EQ(l.colour255[2], 254);
    EXPECT_EQ(l.multiplier, 2.5f);
    EXPECT_EQ(l.off, 1);
    EXPECT_EQ(l.spot, 0);
}

TEST_F(Loader, DamagedCopiesNeverLeaveNonFiniteValues)
{
    // A full model, then thousands of copies with a few bytes changed: each
    // either loads or is refused, and what loads holds only finite values.
    const std::string kf = chunk(0xB008, Bytes().u32(0).u32(10).data)
        + chunk(0xB002, chunk(0xB030, Bytes().u16(1).data) + nodeHeader("o") + track(0xB020, {{0, 7, {1, 1, 1, 1, 2, 3}}})
                            + track(0xB021, {{0, 0x18, {1, 0, 0, 1}}}))
        + chunk(0xB003, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 0, 0}}}))
        + chunk(0xB004, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 1, 5}}}));
    const std::string original = modelFile(
        materialEntry("m") + materialEntry("n")
            + meshObject("o", pointArray({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}})
                                  + faceArray({{0, 1, 2}, {1, 2, 3}, {0, 0, 0}}, materialGroup("n", {1}) + chunk(0x4150, std::string(12, '\0')))
                                  + mappingCoordinates({{0.5f, 0.5f}}))
            + camera("cam", {0, 0, 0}, {0, 0, 0})
            + chunk(0x4000, name("lamp") + chunk(0x4600, std::string(12, '\0') + chunk(0x0010, Bytes().f32(1).f32(1).f32(1).data))),
        kf);
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int loaded = 0;
    for (int round = 0; round < 800; round++) {
        std::string bytes = original;
        const int changes = 1 + (int)(next() % 4);
        for (int i = 0; i < changes; i++)
            bytes[next() % bytes.size()] = (char)(next() & 0xFF);
        if (round % 7 == 0)
            bytes.resize(next() % bytes.size());
        if (!load(bytes))
            continue;
        loaded++;
        for (int32_t i = 0; i < scene->objectCount; i++) {
            const MeshObject& o = scene->objects[i];
            for (int32_t f = 0; f < o.faceCount; f++) {
                const Plane& p = o.faces[f].plane;
                ASSERT_TRUE(std::isfinite(p.a) && std::isfinite(p.b) && std::isfinite(p.c) && std::isfinite(p.d)) << round;
                ASSERT_GE(o.faces[f].material, -1) << round;
                ASSERT_LT(o.faces[f].material, scene->materialCount) << round;
            }
            for (int32_t v = 0; v < o.vertexCount; v++)
                ASSERT_TRUE(std::isfinite(o.vertices[v].nx + o.vertices[v].ny + o.vertices[v].nz + o.vertices[v].x)) << round;
        }
        for (int32_t i = 0; i < scene->cameraCount; i++)
            for (float e : scene->cameras[i].matrix.m)
                ASSERT_TRUE(std::isfinite(e)) << round;
    }
    EXPECT_GT(loaded, 30);
}

TEST_F(Loader, RepeatedNamesFindTheFirstRecord)
{
    const std::string kf = chunk(0xB002, nodeHeader("o", 9));
    const std::string mesh = materialEntry("a") + materialEntry("b") + materialEntry("a")
        + meshObject("o", pointArray(kSquare) + faceArray({{0, 1, 2}, {0, 2, 3}}, materialGroup("a", {0}) + materialGroup("b", {1})))
        + meshObject("o", pointArray(kSquare));
    ASSERT_NE(load(modelFile(mesh, kf)), nullptr);
    EXPECT_EQ(scene->objects[0].faces[0].material, 0);
    EXPECT_EQ(scene->objects[0].faces[1].material, 1);
    EXPECT_EQ(scene->objects[0].parentId, 9);
    EXPECT_EQ(scene->objects[1].parentId, 0);
}

TEST_F(Loader, NonFiniteFloatsReadAsZero)
{
    const float inf = INFINITY, nan = NAN;
    ASSERT_NE(load(modelFile(meshObject("m", pointArray({{nan, 1, inf}, {1, 0, 0}, {0, 1, 0}}) + faceArray({{0, 1, 2}})))), nullptr);
    const MeshVertex& v = scene->objects[0].vertices[0];
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 1.0f);
    EXPECT_TRUE(std::isfinite(scene->objects[0].faces[0].plane.a));
}
