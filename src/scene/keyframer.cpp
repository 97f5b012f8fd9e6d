// The keyframer's chunks: the segment, the node headers that say which record
// a node animates, and its position and rotation tracks.
#include "scene/scene_local.h"

#include <cstring>

#include "platform/platform.h"

// ---- Keyframer ---------------------------------------------------------------

// The node tags only say what kind of node follows: their sub-chunks are
// walked next, by the walk that met the tag, as every chunk's with children.

int readSegment(SceneBytes* in, long)
{
    sceneLoader.scene->firstFrame = (int32_t)readU32(in);
    sceneLoader.scene->lastFrame = (int32_t)readU32(in);
    return 1;
}

int readNodeId(SceneBytes* in, long)
{
    sceneLoader.currentNodeId = (int32_t)readU16(in);
    return 1;
}

int readObjectNodeTag(SceneBytes*, long)
{
    sceneLoader.nodeKind = NODE_OBJECT_TAG;
    return 1;
}

int readCameraNodeTag(SceneBytes*, long)
{
    sceneLoader.nodeKind = NODE_CAMERA;
    return 1;
}

int readTargetNodeTag(SceneBytes*, long)
{
    sceneLoader.nodeKind = NODE_CAMERA_TARGET;
    return 1;
}

int readNodeHeader(SceneBytes* in, long)
{
    if (!readName(in, sceneLoader.nodeName))
        return chunkFail("the node name runs into the end of the file");
    skipBytes(in, 4);
    const int32_t parent = (int32_t)readU16(in);
    if (sceneLoader.counting)
        return 1;
    if (sceneLoader.nodeKind == NODE_OBJECT_TAG) {
        sceneLoader.nodeIndex = nameIndexFind(&sceneLoader.objectNames, sceneLoader.nodeName, objectName);
        sceneLoader.nodeArray = NODE_ARRAY_OBJECTS;
        if (sceneLoader.nodeIndex >= 0) {
            MeshObject* o = &sceneLoader.scene->objects[sceneLoader.nodeIndex];
            o->nodeId = sceneLoader.currentNodeId;
            o->parentId = parent;
        }
        sceneLoader.nodeKind = NODE_OBJECT;
    } else {
        sceneLoader.nodeIndex = nameIndexFind(&sceneLoader.cameraNames, sceneLoader.nodeName, cameraName);
        sceneLoader.nodeArray = NODE_ARRAY_CAMERAS;
    }
    return 1;
}

// The node the tracks of the filling pass write to, when nodeIndex is valid for
// the array this kind of node indexes.
static MeshObject* trackObject()
{
    if (sceneLoader.counting || sceneLoader.nodeKind != NODE_OBJECT
        || sceneLoader.nodeArray != NODE_ARRAY_OBJECTS || sceneLoader.nodeIndex < 0
        || sceneLoader.nodeIndex >= sceneLoader.scene->objectCount)
        return nullptr;
    return &sceneLoader.scene->objects[sceneLoader.nodeIndex];
}

static Camera* trackCamera()
{
    if (sceneLoader.counting
        || (sceneLoader.nodeKind != NODE_CAMERA && sceneLoader.nodeKind != NODE_CAMERA_TARGET)
        || sceneLoader.nodeArray != NODE_ARRAY_CAMERAS || sceneLoader.nodeIndex < 0
        || sceneLoader.nodeIndex >= sceneLoader.scene->cameraCount)
        return nullptr;
    return &sceneLoader.scene->cameras[sceneLoader.nodeIndex];
}

// Gives a track's `count` slots new arrays of n floats (null when n is 0) and
// retires the arrays they held. The key count must fit in the chunk at the
// smallest key size, which bounds the allocation by the file's size. 1, or 0
// with the reason set on a count beyond the chunk or out of memory; the slots
// are then unchanged.
static int replaceTrack(float** slots[], int count, int32_t n, SceneBytes* in, long chunkEnd, long keyBytes)
{
    const long left = bytesLeft(in, chunkEnd);
    if ((long)n * keyBytes > left)
        return chunkFail("%d keys need at least %ld bytes, the rest of the chunk holds %ld", (int)n,
                         (long)n * keyBytes, left);
    float* fresh[RETIRED_ARRAYS] = {};
    void* old[RETIRED_ARRAYS] = {};
    int ok = 1;
    for (int i = 0; i < count; i++) {
        old[i] = *slots[i];
        if (ok && n > 0)
            ok = (fresh[i] = (float*)heapAlloc((size_t)n * sizeof(float))) != nullptr;
    }
    if (!ok || !retireArrays(old, count)) {
        for (float* array : fresh)
            heapFree(array);
        return chunkFail("out of memory for %d keys", (int)n);
    }
    for (int i = 0; i < count; i++)
        *slots[i] = fresh[i];
    return 1;
}

// Where a position track goes: the record's frames, x, y and z arrays and its
// key count.
struct PositionSlots {
    float** arrays[4];
    int32_t* keyCount;
};

static PositionSlots positionSlots(float** frames, float** x, float** y, float** z, int32_t* keyCount)
{
    return PositionSlots{{frames, x, y, z}, keyCount};
}

// A later track of the same kind replaces the earlier one on its record; a
// track with no keys leaves the record without that track (null arrays).
int readPositionTrack(SceneBytes* in, long chunkEnd)
{
    const int32_t n = readTrackHeader(in);
    PositionSlots to = {{nullptr, nullptr, nullptr, nullptr}, nullptr};
    if (MeshObject* o = trackObject())
        to = positionSlots(&o->positionFrames, &o->positionX, &o->positionY, &o->positionZ, &o->positionKeyCount);
    else if (Camera* c = trackCamera()) {
        if (sceneLoader.nodeKind == NODE_CAMERA_TARGET)
            to = positionSlots(&c->targetFrames, &c->targetX, &c->targetY, &c->targetZ, &c->targetKeyCount);
        else
            to = positionSlots(&c->positionFrames, &c->positionX, &c->positionY, &c->positionZ, &c->positionKeyCount);
    }
    if (!to.keyCount) {
        skipKeys(in, chunkEnd, n, 12);
        return 1;
    }
    if (!replaceTrack(to.arrays, 4, n, in, chunkEnd, 6 + 12))
        return 0;
    *to.keyCount = n;
    sceneLoader.keyIndex = 0;
    for (int32_t i = 0; i < n; i++) {
        const int32_t frame = readKeyHeader(in);
        const float x = readF32(in), y = readF32(in), z = readF32(in);
        const int32_t k = sceneLoader.keyIndex++;
        (*to.arrays[0])[k] = (float)frame;
        (*to.arrays[1])[k] = x;
        (*to.arrays[2])[k] = z;
        (*to.arrays[3])[k] = y;
    }
    return 1;
}

int readRotationTrack(SceneBytes* in, long chunkEnd)
{
    const int32_t n = readTrackHeader(in);
    MeshObject* o = trackObject();
    if (!o) {
        skipKeys(in, chunkEnd, n, 16);
        return 1;
    }
    float** slots[5] = {&o->rotationFrames, &o->rotationAngle, &o->rotationAxisX, &o->rotationAxisY,
                        &o->rotationAxisZ};
    if (!replaceTrack(slots, 5, n, in, chunkEnd, 6 + 16))
        return 0;
    o->rotationKeyCount = n;
    sceneLoader.keyIndex = 0;
    for (int32_t i = 0; i < n; i++) {
        const int32_t frame = readKeyHeader(in);
        const float angle = readF32(in), x = readF32(in), y = readF32(in), z = readF32(in);
        const int32_t k = sceneLoader.keyIndex++;
        o->rotationFrames[k] = (float)frame;
        o->rotationAngle[k] = angle;
        o->rotationAxisX[k] = x;
        o->rotationAxisY[k] = z;
        o->rotationAxisZ[k] = y;
    }
    return 1;
}
