#include <gtest/gtest.h>

#include "scene/scene.h"
#include "threeds_writer.h"

namespace {

class Keyframer : public ::testing::Test {
protected:
    TempDir dir;
    Scene* scene = nullptr;

    Scene* load(const std::string& keyframer)
    {
        const std::string mesh = meshObject("box", pointArray({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}))
            + camera("cam", {1, 2, 3}, {4, 5, 6});
        sceneRelease(scene);
        writeFile("model.3ds", modelFile(mesh, keyframer));
        scene = loadScene("model.3ds");
        return scene;
    }
    void TearDown() override { sceneRelease(scene); }
};

std::string nodeId(unsigned id)
{
    return chunk(0xB030, Bytes().u16(id).data);
}

} // namespace

TEST_F(Keyframer, SegmentNodeIdsAndObjectTracks)
{
    // Spline flags 7 bring tension, continuity and bias before the values;
    // flags 0x18 bring none.
    const std::string kf = chunk(0xB008, Bytes().u32(5).u32(90).data)
        + chunk(0xB002, nodeId(12) + nodeHeader("box", 3)
                            + track(0xB020, {{10, 0x0007, {9, 9, 9, 1, 2, 3}}, {0x1000A, 0x0018, {4, 5, 6}}})
                            + track(0xB021, {{2, 0, {0.5f, 1, 2, 3}}}));
    ASSERT_NE(load(kf), nullptr);
    EXPECT_EQ(scene->firstFrame, 5);
    EXPECT_EQ(scene->lastFrame, 90);
    const MeshObject& o = scene->objects[0];
    EXPECT_EQ(o.nodeId, 12);
    EXPECT_EQ(o.parentId, 3);
    ASSERT_EQ(o.positionKeyCount, 2);
    EXPECT_EQ(o.positionFrames[0], 10.0f);
    EXPECT_EQ(o.positionX[0], 1.0f);
    EXPECT_EQ(o.positionY[0], 3.0f);
    EXPECT_EQ(o.positionZ[0], 2.0f);
    // Only the low 16 bits of the frame number count.
    EXPECT_EQ(o.positionFrames[1], 10.0f);
    EXPECT_EQ(o.positionX[1], 4.0f);
    EXPECT_EQ(o.positionY[1], 6.0f);
    ASSERT_EQ(o.rotationKeyCount, 1);
    EXPECT_EQ(o.rotationFrames[0], 2.0f);
    EXPECT_EQ(o.rotationAngle[0], 0.5f);
    EXPECT_EQ(o.rotationAxisX[0], 1.0f);
    EXPECT_EQ(o.rotationAxisY[0], 3.0f);
    EXPECT_EQ(o.rotationAxisZ[0], 2.0f);
}

TEST_F(Keyframer, CameraAndCameraTargetTracks)
{
    const std::string kf = chunk(0xB003, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 0, 0}}})
                                             + track(0xB021, {{0, 0, {1, 1, 1, 1}}}))
        + chunk(0xB004, nodeHeader("cam") + track(0xB020, {{0, 0, {0, 5, 0}}, {1, 0, {0, 6, 0}}}));
    ASSERT_NE(load(kf), nullptr);
    const Camera& c = scene->cameras[0];
    EXPECT_EQ(c.position[0], 1.0f);
    EXPECT_EQ(c.target[2], 6.0f);
    EXPECT_EQ(c.lens, 35.0f);
    ASSERT_EQ(c.positionKeyCount, 1);
    ASSERT_EQ(c.targetKeyCount, 2);
    // File (0, 5, 0) is stored as (0, 0, 5).
    EXPECT_EQ(c.targetZ[0], 5.0f);
    EXPECT_EQ(c.targetZ[1], 6.0f);
    // The rotation track under the camera node is dropped.
    EXPECT_EQ(scene->objects[0].rotationKeyCount, 0);
    // Looking from (0, 0, 0) toward (0, 0, 5).
    const float want[16] = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(c.matrix.m[i], want[i], 1e-6f) << i;
}

TEST_F(Keyframer, TracksOfUnknownOrMismatchedNodesAreDropped)
{
    struct Case {
        const char* what;
        std::string kf;
    };
    const Case cases[] = {
        {"object node naming no object", chunk(0xB002, nodeHeader("nobody") + track(0xB020, {{0, 0, {1, 2, 3}}}))},
        // After an object node, a light node's header is looked up among the
        // cameras ("cam" is camera 0) while the kind stays "object": its track
        // must not land on object 0.
        {"light node after an object node",
         chunk(0xB002, nodeHeader("nobody")) + chunk(0xB005, nodeHeader("cam") + track(0xB020, {{0, 0, {1, 2, 3}}}))},
        {"track before any node", track(0xB020, {{0, 0, {1, 2, 3}}}) + track(0xB021, {{0, 0, {1, 2, 3, 4}}})},
    };
    for (const Case& c : cases) {
        ASSERT_NE(load(c.kf), nullptr) << c.what;
        EXPECT_EQ(scene->objects[0].positionKeyCount, 0) << c.what;
        EXPECT_EQ(scene->objects[0].positionX, nullptr) << c.what;
        EXPECT_EQ(scene->cameras[0].positionKeyCount, 0) << c.what;
        EXPECT_EQ(scene->objects[0].rotationKeyCount, 0) << c.what;
    }
}

TEST_F(Keyframer, RepeatedTracksReplaceTheEarlier)
{
    const std::string kf = chunk(0xB002, nodeHeader("box") + track(0xB020, {{0, 0, {1, 2, 3}}})
                                             + track(0xB020, {{4, 0, {7, 8, 9}}, {5, 0, {8, 8, 8}}})
                                             + track(0xB021, {{0, 0, {1, 1, 1, 1}}, {1, 0, {2, 2, 2, 2}}})
                                             + track(0xB021, {{6, 0, {0.5f, 1, 2, 3}}}))
        + chunk(0xB003, nodeHeader("cam") + track(0xB020, {{0, 0, {1, 1, 1}}}) + track(0xB020, {}))
        + chunk(0xB004, nodeHeader("cam") + track(0xB020, {}) + track(0xB020, {{3, 0, {0, 5, 6}}}));
    ASSERT_NE(load(kf), nullptr);
    const MeshObject& o = scene->objects[0];
    ASSERT_EQ(o.positionKeyCount, 2);
    EXPECT_EQ(o.positionFrames[0], 4.0f);
    EXPECT_EQ(o.positionX[0], 7.0f);
    EXPECT_EQ(o.positionY[0], 9.0f);
    EXPECT_EQ(o.positionZ[1], 8.0f);
    ASSERT_EQ(o.rotationKeyCount, 1);
    EXPECT_EQ(o.rotationFrames[0], 6.0f);
    EXPECT_EQ(o.rotationAngle[0], 0.5f);
    EXPECT_EQ(o.rotationAxisY[0], 3.0f);
    // A track without keys leaves the camera without positions.
    const Camera& c = scene->cameras[0];
    EXPECT_EQ(c.positionKeyCount, 0);
    EXPECT_EQ(c.positionFrames, nullptr);
    EXPECT_EQ(c.positionX, nullptr);
    ASSERT_EQ(c.targetKeyCount, 1);
    EXPECT_EQ(c.targetFrames[0], 3.0f);
    EXPECT_EQ(c.targetY[0], 6.0f);
}

TEST_F(Keyframer, KeyCountBeyondItsChunkFails)
{
    Bytes header;
    header.u16(0).u32(0).u32(0).u32(65535);
    EXPECT_EQ(load(chunk(0xB002, nodeHeader("box") + chunk(0xB020, header.data))), nullptr);
}

TEST_F(Keyframer, NodeNameCutShortFails)
{
    sceneRelease(scene);
    writeFile("model.3ds", chunkHeader(0xB010, 50) + "ab");
    scene = loadScene("model.3ds");
    EXPECT_EQ(scene, nullptr);
}
