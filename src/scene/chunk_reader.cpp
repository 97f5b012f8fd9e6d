#include "scene/scene_local.h"

#include <cmath>
#include <cstring>

#include "platform/platform.h"

SceneLoader sceneLoader;

// Real files nest a handful of levels; a deeper file is refused before the
// recursion can exhaust the stack.
enum { MAX_CHUNK_DEPTH = 64 };

// The order is fixed: findChunkEntry searches from the first row.
const ChunkEntry chunkTable[CHUNK_TABLE_SIZE] = {
    {0x0002, 0, skipValue16},             // version
    {0x0010, 0, readFloatColour},         // float colour
    {0x0011, 0, skipValue24},             // 24-bit colour
    {0x0012, 0, skipValue24},             // linear 24-bit colour
    {0x0013, 0, readFloatColour},         // linear float colour
    {0x0030, 0, skipValue16},             // integer percentage
    {0x0031, 0, skipValue32},             // float percentage
    {0x0100, 0, skipValue32},             // master scale
    {0xC23D, 1, nullptr},                 // project magic
    {0x3DAA, 1, nullptr},                 // material library magic
    {0x3D3E, 0, skipValue16},             // mesh version
    {0x4D4D, 1, nullptr},                 // file magic
    {0x3D3D, 1, nullptr},                 // mesh data
    {0x1200, 1, nullptr},                 // solid background
    {0x2100, 1, nullptr},                 // ambient light
    {0x4000, 1, readNamedObject},         // named object
    {0x4100, 1, readTriObject},           // triangle mesh
    {0x4110, 0, readPointArray},          // point array
    {0x4111, 0, skipPointFlags},          // point flag array
    {0x4120, 1, readFaceArray},           // face array
    {0x4130, 0, readMaterialGroup},       // material group
    {0x4140, 0, readMappingCoordinates},  // mapping coordinates
    {0x4150, 0, skipSmoothGroups},        // smoothing groups
    {0x4160, 0, readMeshMatrix},          // mesh matrix
    {0x4165, 0, skipNothing},             // mesh colour
    {0x4170, 0, skipNothing},             // mesh texture info
    {0x4190, 0, nullptr},                 // box map
    {0x4600, 1, readDirectLight},         // direct light
    {0x4610, 0, readSpotlight},           // spotlight
    {0x4700, 0, readCamera},              // camera
    {0x4F00, 1, nullptr},                 // hierarchy
    {0x7001, 0, skipNothing},             // viewport layout
    {0x7020, 0, skipNothing},             // viewport size
    {0xAFFF, 1, nullptr},                 // material entry
    {0xA000, 0, readMaterialName},        // material name
    {0xA010, 1, nullptr},                 // ambient
    {0xA020, 1, nullptr},                 // diffuse
    {0xA030, 1, nullptr},                 // specular
    {0xA040, 1, nullptr},                 // shininess
    {0xA041, 1, nullptr},                 // shininess strength
    {0xA050, 1, nullptr},                 // transparency
    {0xA052, 1, nullptr},                 // transparency falloff
    {0xA053, 1, nullptr},                 // reflection blur
    {0xA084, 1, nullptr},                 // self illumination
    {0xA081, 0, skipNothing},             // two-sided
    {0xA083, 0, skipNothing},             // additive
    {0xA085, 0, skipNothing},             // wire
    {0xA087, 0, skipValue32},             // wire size
    {0xA08C, 0, skipNothing},             // Phong soft
    {0xA100, 0, skipValue16},             // shading
    {0xA200, 1, skipNothing},             // texture map
    {0xA220, 1, skipNothing},             // reflection map
    {0xA230, 1, skipNothing},             // bump map
    {0xA252, 0, skipValue16},             // bump percentage
    {0xA300, 0, skipMapName},             // map file name
    {0xA351, 0, skipValue16},             // map tiling
    {0xA353, 0, skipValue32},             // map blur
    {0xA354, 0, skipValue32},             // map u scale
    {0xA356, 0, skipValue32},             // map v scale
    {0xA358, 0, skipValue32},             // map u offset
    {0xA35A, 0, skipValue32},             // map v offset
    {0xA35C, 0, skipValue32},             // map angle
    {0xB000, 1, nullptr},                 // keyframer data
    {0xB001, 1, nullptr},                 // ambient node
    {0xB002, 1, readObjectNodeTag},       // object node
    {0xB008, 0, readSegment},             // keyframer segment
    {0xB010, 0, readNodeHeader},          // node header
    {0xB011, 0, nullptr},                 // instance name
    {0xB013, 0, skipPivot},               // pivot
    {0xB020, 0, readPositionTrack},       // position track
    {0xB025, 0, skipColourTrack},         // colour track
    {0xB021, 0, readRotationTrack},       // rotation track
    {0xB022, 0, skipTrack},               // scale track
    {0xB026, 0, nullptr},                 // morph track
    {0xB029, 0, nullptr},                 // hide track
    {0xB030, 0, readNodeId},              // node id
    {0xB003, 1, readCameraNodeTag},       // camera node
    {0xB004, 1, readTargetNodeTag},       // camera target node
    {0xB005, 1, nullptr},                 // light node
    {0xB006, 1, nullptr},                 // light target node
    {0xB007, 1, nullptr},                 // spotlight node
    {0xB023, 0, skipTrack},               // field-of-view track
    {0xB024, 0, skipTrack},               // roll track
    {0x4659, 0, readInnerRange},          // light inner range
    {0x465A, 0, readOuterRange},          // light outer range
    {0x465B, 0, readMultiplier},          // light multiplier
    {0x4620, 0, readLightOff},            // light off
    {0x4627, 0, readRayShadows},          // ray-traced shadows
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

static int walkLevel(FILE* file, long end)
{
    for (;;) {
        const long start = ftell(file);
        if (start < 0)
            return -1;
        // A walk that reaches the end of the file stops there like one that
        // reaches its own end: a file cut short keeps what was read before the
        // cut instead of reading a zero header from beyond it.
        if (start >= end || start >= sceneLoader.fileSize)
            return 0;
        const uint32_t id = readU16(file);
        const uint32_t length = readU32(file);
        // Length 0 would never advance; 2^31 and above would put the end
        // before the start, so the walk could come back here forever. Every
        // accepted chunk ends at least one byte after its start.
        if (length == 0 || length >= 0x80000000u)
            return -1;
        const long chunkEnd = start + (long)length;
        const int row = findChunkEntry(id);
        if (row >= 0) {
            const ChunkEntry& entry = chunkTable[row];
            if (entry.handler) {
                const int result = entry.handler(file, chunkEnd);
                if (result != 0)
                    return result;
            }
            if (entry.hasChildren) {
                const int result = walkChunks(file, chunkEnd);
                if (result != 0)
                    return result;
            }
        }
        if (fseek(file, chunkEnd, SEEK_SET) != 0 || ferror(file))
            return -1;
    }
}

int walkChunks(FILE* file, long end)
{
    if (sceneLoader.depth >= MAX_CHUNK_DEPTH)
        return -1;
    sceneLoader.depth++;
    const int result = walkLevel(file, end);
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

// One pass over the whole file; 0 or -1.
static int walkFile(const char* path, long* size)
{
    FILE* file = fileOpen(path, "rb");
    if (!file)
        return -1;
    int result = -1;
    if (*size < 0) {
        if (fseek(file, 0, SEEK_END) == 0)
            *size = ftell(file);
        if (*size < 0 || fseek(file, 0, SEEK_SET) != 0) {
            fclose(file);
            return -1;
        }
    }
    sceneLoader.fileSize = *size;
    sceneLoader.depth = 0;
    result = walkChunks(file, *size);
    fclose(file);
    return result;
}

static int allocateRecords(Scene* scene)
{
    scene->materials = (Material*)heapCalloc((size_t)scene->materialCount, sizeof(Material));
    scene->objects = (MeshObject*)heapCalloc((size_t)scene->objectCount, sizeof(MeshObject));
    scene->cameras = (Camera*)heapCalloc((size_t)scene->cameraCount, sizeof(Camera));
    scene->lights = (Light*)heapCalloc((size_t)scene->lightCount, sizeof(Light));
    return scene->materials && scene->objects && scene->cameras && scene->lights
        && nameIndexInit(&sceneLoader.materialNames, scene->materialCount)
        && nameIndexInit(&sceneLoader.objectNames, scene->objectCount)
        && nameIndexInit(&sceneLoader.cameraNames, scene->cameraCount)
        && nameIndexInit(&sceneLoader.lightNames, scene->lightCount);
}

// The counts of the two passes must agree: a file that changed in between
// would otherwise leave records without names.
static int countsMatch(const Scene* scene)
{
    return sceneLoader.objectIndex == scene->objectCount && sceneLoader.cameraIndex == scene->cameraCount
        && sceneLoader.lightIndex == scene->lightCount && sceneLoader.materialIndex == scene->materialCount;
}

static int postProcess(Scene* scene)
{
    for (int32_t i = 0; i < scene->objectCount; i++) {
        computeFacePlanes(&scene->objects[i]);
        if (!computeVertexNormals(&scene->objects[i]))
            return 0;
        measureMesh(&scene->objects[i], &scene->objects[i].bounds);
    }
    for (int32_t i = 0; i < scene->cameraCount; i++)
        computeCameraMatrix(&scene->cameras[i]);
    return 1;
}

Scene* loadScene(const char* path)
{
    memset(&sceneLoader, 0, sizeof sceneLoader);
    sceneLoader.nodeIndex = -1;
    Scene* scene = (Scene*)heapCalloc(1, sizeof(Scene));
    if (!scene)
        return nullptr;
    sceneLoader.scene = scene;
    sceneLoader.counting = 1;
    long size = -1;
    int ok = walkFile(path, &size) == 0 && allocateRecords(scene);
    if (ok) {
        sceneLoader.counting = 0;
        ok = walkFile(path, &size) == 0 && countsMatch(scene) && postProcess(scene);
    }
    nameIndexRelease(&sceneLoader.materialNames);
    nameIndexRelease(&sceneLoader.objectNames);
    nameIndexRelease(&sceneLoader.cameraNames);
    nameIndexRelease(&sceneLoader.lightNames);
    sceneLoader.scene = nullptr;
    sceneLoader.currentObject = nullptr;
    sceneLoader.currentLight = nullptr;
    sceneLoader.currentCamera = nullptr;
    if (!ok) {
        sceneRelease(scene);
        return nullptr;
    }
    return scene;
}

// ---- Reading ---------------------------------------------------------------

static void readBytes(FILE* file, uint8_t* buffer, size_t size)
{
    const size_t got = fread(buffer, 1, size, file);
    if (got < size)
        memset(buffer + got, 0, size - got);
}

uint32_t readU16(FILE* file)
{
    uint8_t b[2];
    readBytes(file, b, sizeof b);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8;
}

uint32_t readU32(FILE* file)
{
    uint8_t b[4];
    readBytes(file, b, sizeof b);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

// A NaN or infinity from a damaged file would spread into planes, normals and
// the renderer's float-to-int steps; it reads as 0 instead.
float readF32(FILE* file)
{
    const uint32_t bits = readU32(file);
    float value;
    memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

int readName(FILE* file, char* buffer)
{
    int stored = 0;
    for (;;) {
        const int c = fgetc(file);
        if (c == EOF) {
            buffer[stored] = '\0';
            return stored < SCENE_NAME_SIZE - 1;
        }
        // The first byte past 63 characters is consumed and dropped.
        if (c == 0 || stored == SCENE_NAME_SIZE - 1)
            break;
        buffer[stored++] = (char)c;
    }
    buffer[stored] = '\0';
    return 0;
}

int32_t readTrackHeader(FILE* file)
{
    uint8_t ignored[10];
    readBytes(file, ignored, sizeof ignored);
    return (int32_t)(readU32(file) & 0xFFFFu);
}

int32_t readKeyHeader(FILE* file)
{
    const int32_t frame = (int32_t)(readU32(file) & 0xFFFFu);
    const uint32_t flags = readU16(file);
    // Tension, continuity and bias, one f32 for each of bits 0 to 2.
    for (int bit = 0; bit < 3; bit++) {
        if (flags & (1u << bit))
            readU32(file);
    }
    return frame;
}

void skipBytes(FILE* file, size_t size)
{
    uint8_t ignored[16];
    readBytes(file, ignored, size);
}
