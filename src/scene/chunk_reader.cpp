#include "scene/scene_local.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

SceneLoader sceneLoader;

// Real files nest a handful of levels; a deeper file is refused before the
// recursion can exhaust the stack.
enum { MAX_CHUNK_DEPTH = 64 };

// The order is fixed: findChunkEntry searches from the first row.
const ChunkEntry chunkTable[CHUNK_TABLE_SIZE] = {
    {0x0002, 0,  2, nullptr, "version"},
    {0x0010, 0,  0, readFloatColour, "float colour"},
    {0x0011, 0,  3, nullptr, "24-bit colour"},
    {0x0012, 0,  3, nullptr, "linear 24-bit colour"},
    {0x0013, 0,  0, readFloatColour, "linear float colour"},
    {0x0030, 0,  2, nullptr, "integer percentage"},
    {0x0031, 0,  4, nullptr, "float percentage"},
    {0x0100, 0,  4, nullptr, "master scale"},
    {0xC23D, 1,  0, nullptr, "project magic"},
    {0x3DAA, 1,  0, nullptr, "material library magic"},
    {0x3D3E, 0,  2, nullptr, "mesh version"},
    {0x4D4D, 1,  0, nullptr, "main chunk"},
    {0x3D3D, 1,  0, nullptr, "mesh data"},
    {0x1200, 1,  0, nullptr, "solid background"},
    {0x2100, 1,  0, nullptr, "ambient light"},
    {0x4000, 1,  0, readNamedObject, "named object"},
    {0x4100, 1,  0, readTriObject, "triangle mesh"},
    {0x4110, 0,  0, readPointArray, "point array"},
    {0x4111, 0,  0, skipPointFlags, "point flag array"},
    {0x4120, 1,  0, readFaceArray, "face array"},
    {0x4130, 0,  0, readMaterialGroup, "material group"},
    {0x4140, 0,  0, readMappingCoordinates, "mapping coordinates"},
    {0x4150, 0,  0, skipSmoothGroups, "smoothing groups"},
    {0x4160, 0,  0, readMeshMatrix, "mesh matrix"},
    {0x4165, 0,  0, nullptr, "mesh colour"},
    {0x4170, 0,  0, nullptr, "mesh texture info"},
    {0x4190, 0,  0, nullptr, "box map"},
    {0x4600, 1,  0, readDirectLight, "direct light"},
    {0x4610, 0,  0, readSpotlight, "spotlight"},
    {0x4700, 0,  0, readCamera, "camera"},
    {0x4F00, 1,  0, nullptr, "hierarchy"},
    {0x7001, 0,  0, nullptr, "viewport layout"},
    {0x7020, 0,  0, nullptr, "viewport size"},
    {0xAFFF, 1,  0, nullptr, "material entry"},
    {0xA000, 0,  0, readMaterialName, "material name"},
    {0xA010, 1,  0, nullptr, "ambient"},
    {0xA020, 1,  0, nullptr, "diffuse"},
    {0xA030, 1,  0, nullptr, "specular"},
    {0xA040, 1,  0, nullptr, "shininess"},
    {0xA041, 1,  0, nullptr, "shininess strength"},
    {0xA050, 1,  0, nullptr, "transparency"},
    {0xA052, 1,  0, nullptr, "transparency falloff"},
    {0xA053, 1,  0, nullptr, "reflection blur"},
    {0xA084, 1,  0, nullptr, "self illumination"},
    {0xA081, 0,  0, nullptr, "two-sided"},
    {0xA083, 0,  0, nullptr, "additive"},
    {0xA085, 0,  0, nullptr, "wire"},
    {0xA087, 0,  4, nullptr, "wire size"},
    {0xA08C, 0,  0, nullptr, "Phong soft"},
    {0xA100, 0,  2, nullptr, "shading"},
    {0xA200, 1,  0, nullptr, "texture map"},
    {0xA220, 1,  0, nullptr, "reflection map"},
    {0xA230, 1,  0, nullptr, "bump map"},
    {0xA252, 0,  2, nullptr, "bump percentage"},
    {0xA300, 0,  0, skipMapName, "map file name"},
    {0xA351, 0,  2, nullptr, "map tiling"},
    {0xA353, 0,  4, nullptr, "map blur"},
    {0xA354, 0,  4, nullptr, "map u scale"},
    {0xA356, 0,  4, nullptr, "map v scale"},
    {0xA358, 0,  4, nullptr, "map u offset"},
    {0xA35A, 0,  4, nullptr, "map v offset"},
    {0xA35C, 0,  4, nullptr, "map angle"},
    {0xB000, 1,  0, nullptr, "keyframer data"},
    {0xB001, 1,  0, nullptr, "ambient node"},
    {0xB002, 1,  0, readObjectNodeTag, "object node"},
    {0xB008, 0,  0, readSegment, "keyframer segment"},
    {0xB010, 0,  0, readNodeHeader, "node header"},
    {0xB011, 0,  0, nullptr, "instance name"},
    {0xB013, 0, 12, nullptr, "pivot"},
    {0xB020, 0,  0, readPositionTrack, "position track"},
    {0xB025, 0,  0, skipColourTrack, "colour track"},
    {0xB021, 0,  0, readRotationTrack, "rotation track"},
    {0xB022, 0,  0, skipTrack, "scale track"},
    {0xB026, 0,  0, nullptr, "morph track"},
    {0xB029, 0,  0, nullptr, "hide track"},
    {0xB030, 0,  0, readNodeId, "node id"},
    {0xB003, 1,  0, readCameraNodeTag, "camera node"},
    {0xB004, 1,  0, readTargetNodeTag, "camera target node"},
    {0xB005, 1,  0, nullptr, "light node"},
    {0xB006, 1,  0, nullptr, "light target node"},
    {0xB007, 1,  0, nullptr, "spotlight node"},
    {0xB023, 0,  0, skipTrack, "field-of-view track"},
    {0xB024, 0,  0, skipTrack, "roll track"},
    {0x4659, 0,  0, readInnerRange, "light inner range"},
    {0x465A, 0,  0, readOuterRange, "light outer range"},
    {0x465B, 0,  0, readMultiplier, "light multiplier"},
    {0x4620, 0,  0, readLightOff, "light off"},
    {0x4627, 0,  0, readRayShadows, "ray-traced shadows"},
};

int findChunkEntry(uint32_t id)
{
    const uint32_t key = id & 0xFFFFu;
    for (int i = 0; i < CHUNK_TABLE_SIZE; i++) {
        if (chunkTable[i].id == key)
            return i;
    }
    return -1;
}

// ---- The walk ----------------------------------------------------------------

static int walkLevel(SceneBytes* in, long end)
{
    for (;;) {
        const long start = in->pos;
        // A walk that reaches the end of the file stops there like one that
        // reaches its own end: a file cut short keeps what was read before the
        // cut instead of reading a zero header from beyond it.
        if (start >= end || start >= in->size)
            return 1;
        const uint32_t id = readU16(in);
        const uint32_t length = readU32(in);
        if (sceneLoader.firstChunkId < 0)
            sceneLoader.firstChunkId = (int32_t)id;
        // Length 0 would never advance; 2^31 and above would put the end
        // before the start, so the walk could come back here forever. Every
        // accepted chunk ends at least one byte after its start.
        if (length == 0)
            return sceneFail("chunk 0x%04X at byte %ld has length 0", (unsigned)id, start);
        if (length >= 0x80000000u)
            return sceneFail("chunk 0x%04X at byte %ld claims %lu bytes, 2 GiB or more", (unsigned)id, start,
                             (unsigned long)length);
        const long chunkEnd = start + (long)length;
        const int row = findChunkEntry(id);
        if (row >= 0) {
            const ChunkEntry& entry = chunkTable[row];
            if (entry.handler) {
                sceneLoader.chunkId = id;
                sceneLoader.chunkStart = start;
                sceneLoader.chunkName = entry.name;
                if (!entry.handler(in, chunkEnd))
                    return 0;
            } else {
                skipBytes(in, (size_t)entry.skipLength);
            }
            if (entry.hasChildren && !walkChunks(in, chunkEnd))
                return 0;
        }
        in->pos = chunkEnd;
    }
}

int walkChunks(SceneBytes* in, long end)
{
    if (sceneLoader.depth >= MAX_CHUNK_DEPTH)
        return sceneFail("chunks nested more than %d deep at byte %ld", (int)MAX_CHUNK_DEPTH, in->pos);
    sceneLoader.depth++;
    const int result = walkLevel(in, end);
    sceneLoader.depth--;
    return result;
}

static void freeTracks(float** arrays, int count)
{
    for (int i = 0; i < count; i++)
        heapFree(arrays[i]);
}

void sceneRelease(Scene* scene)
{
    if (!scene)
        return;
    if (scene->objects) {
        for (int32_t i = 0; i < scene->objectCount; i++) {
            MeshObject* o = &scene->objects[i];
            heapFree(o->name);
            heapFree(o->faces);
            heapFree(o->vertices);
            float* tracks[] = {o->positionFrames, o->positionX, o->positionY, o->positionZ,
                               o->rotationFrames, o->rotationAngle, o->rotationAxisX,
                               o->rotationAxisY, o->rotationAxisZ};
            freeTracks(tracks, 9);
        }
    }
    if (scene->cameras) {
        for (int32_t i = 0; i < scene->cameraCount; i++) {
            Camera* c = &scene->cameras[i];
            heapFree(c->name);
            float* tracks[] = {c->targetFrames, c->targetX, c->targetY, c->targetZ,
                               c->positionFrames, c->positionX, c->positionY, c->positionZ};
            freeTracks(tracks, 8);
        }
    }
    if (scene->lights) {
        for (int32_t i = 0; i < scene->lightCount; i++)
            heapFree(scene->lights[i].name);
    }
    if (scene->materials) {
        for (int32_t i = 0; i < scene->materialCount; i++)
            heapFree(scene->materials[i].name);
    }
    while (RetiredArrays* r = scene->retired) {
        scene->retired = r->next;
        for (void* array : r->arrays)
            heapFree(array);
        heapFree(r);
    }
    heapFree(scene->objects);
    heapFree(scene->cameras);
    heapFree(scene->lights);
    heapFree(scene->materials);
    heapFree(scene);
}

// One pass over the whole file; 1 or 0.
static int walkFile(SceneBytes* in)
{
    in->pos = 0;
    sceneLoader.depth = 0;
    return walkChunks(in, in->size);
}

static int allocateRecords(Scene* scene)
{
    scene->materials = (Material*)heapCalloc((size_t)scene->materialCount, sizeof(Material));
    scene->objects = (MeshObject*)heapCalloc((size_t)scene->objectCount, sizeof(MeshObject));
    scene->cameras = (Camera*)heapCalloc((size_t)scene->cameraCount, sizeof(Camera));
    scene->lights = (Light*)heapCalloc((size_t)scene->lightCount, sizeof(Light));
    const int ok = scene->materials && scene->objects && scene->cameras && scene->lights
        && nameIndexInit(&sceneLoader.materialNames, scene->materialCount)
        && nameIndexInit(&sceneLoader.objectNames, scene->objectCount)
        && nameIndexInit(&sceneLoader.cameraNames, scene->cameraCount)
        && nameIndexInit(&sceneLoader.lightNames, scene->lightCount);
    return ok || sceneFail("out of memory");
}

static int postProcess(Scene* scene)
{
    for (int32_t i = 0; i < scene->objectCount; i++) {
        computeFacePlanes(&scene->objects[i]);
        if (!computeVertexNormals(&scene->objects[i]))
            return sceneFail("out of memory");
        measureMesh(&scene->objects[i], &scene->objects[i].bounds);
    }
    for (int32_t i = 0; i < scene->cameraCount; i++)
        computeCameraMatrix(&scene->cameras[i]);
    return 1;
}

// A model that loads but has no face to draw leaves every cell invisible;
// the reason says what the file lacks.
static void noteMissingMesh(const Scene* scene)
{
    int32_t faces = 0;
    for (int32_t i = 0; i < scene->objectCount && faces == 0; i++)
        faces = scene->objects[i].faceCount;
    if (faces > 0)
        return;
    if (sceneLoader.firstChunkId < 0)
        sceneFail("the model has no mesh: the file is empty");
    else if (sceneLoader.firstChunkId != 0x4D4D)
        sceneFail("the model has no mesh: the file does not begin with the 3DS main chunk 0x4D4D (its first "
                  "two bytes read 0x%04X), so it is no 3DS file",
                  (unsigned)sceneLoader.firstChunkId);
    else if (scene->objectCount == 0)
        sceneFail("the model has no mesh: the file holds no triangle mesh");
    else
        sceneFail("the model has no mesh: its %d triangle meshes have no faces", (int)scene->objectCount);
}

Scene* loadSceneBytes(const uint8_t* bytes, size_t size, const char* name)
{
    memset(&sceneLoader, 0, sizeof sceneLoader);
    sceneLoader.nodeIndex = -1;
    sceneLoader.firstChunkId = -1;
    sceneLoader.name = name;
    readReasonClear();
    Scene* scene = (Scene*)heapCalloc(1, sizeof(Scene));
    if (!scene) {
        sceneFail("out of memory");
        return nullptr;
    }
    sceneLoader.scene = scene;
    sceneLoader.counting = 1;
    // Chunk positions are longs; a file too large for one could not be walked.
    SceneBytes in = {bytes, size <= (size_t)LONG_MAX ? (long)size : LONG_MAX, 0};
    int ok = walkFile(&in) && allocateRecords(scene);
    if (ok) {
        sceneLoader.counting = 0;
        ok = walkFile(&in) && postProcess(scene);
    }
    nameIndexRelease(&sceneLoader.materialNames);
    nameIndexRelease(&sceneLoader.objectNames);
    nameIndexRelease(&sceneLoader.cameraNames);
    nameIndexRelease(&sceneLoader.lightNames);
    sceneLoader.scene = nullptr;
    sceneLoader.currentObject = nullptr;
    sceneLoader.currentLight = nullptr;
    sceneLoader.currentCamera = nullptr;
    if (ok)
        noteMissingMesh(scene);
    sceneLoader.name = nullptr;
    if (!ok) {
        sceneRelease(scene);
        return nullptr;
    }
    return scene;
}

Scene* loadScene(const char* path)
{
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path, SIZE_MAX, &bytes, &size))
        return nullptr;
    Scene* scene = loadSceneBytes(bytes, size, path);
    heapFree(bytes);
    return scene;
}
