#include "scene/scene_local.h"

#include <cmath>
#include <cstring>

#include "platform/platform.h"

// Entries of `size` bytes that fit whole into the rest of the chunk, at most n.
static int32_t entriesInChunk(SceneBytes* in, long chunkEnd, int32_t n, long size)
{
    const long fit = bytesLeft(in, chunkEnd) / size;
    return fit < n ? (int32_t)fit : n;
}

static char* copyName(const char* name)
{
    const size_t size = strlen(name) + 1;
    char* copy = (char*)heapAlloc(size);
    if (copy)
        memcpy(copy, name, size);
    return copy;
}

// ---- Chunks read past --------------------------------------------------------

int skipMapName(SceneBytes* in, long)
{
    char name[SCENE_NAME_SIZE];
    readName(in, name);
    return 1;
}

// The lists below store nothing and their chunks have no children, so reading
// stops at the chunk's end: a damaged count cannot make the loader crawl
// through the rest of the file once per chunk.
int skipPointFlags(SceneBytes* in, long chunkEnd)
{
    const int32_t n = (int32_t)readU16(in);
    const int32_t inChunk = entriesInChunk(in, chunkEnd, n, 2);
    for (int32_t i = 0; i < inChunk; i++)
        readU16(in);
    return 1;
}

int skipSmoothGroups(SceneBytes* in, long chunkEnd)
{
    const int32_t inChunk = entriesInChunk(in, chunkEnd, sceneLoader.lastFaceCount, 2);
    for (int32_t i = 0; i < inChunk; i++)
        readU16(in);
    return 1;
}

int skipColourTrack(SceneBytes* in, long chunkEnd)
{
    skipKeys(in, chunkEnd, readTrackHeader(in), 12);
    return 1;
}

int skipTrack(SceneBytes* in, long chunkEnd)
{
    skipKeys(in, chunkEnd, readTrackHeader(in), 4);
    return 1;
}

// ---- Names and record creators -----------------------------------------------

// An object name cut short is accepted as read.
int readNamedObject(SceneBytes* in, long)
{
    readName(in, sceneLoader.currentName);
    return 1;
}

// Takes the next record of an array in the filling pass; null when the file
// holds more than the counting pass saw. Both passes walk the same bytes, so
// only a fault in the loader itself gets there; the bound keeps that from
// writing past the array.
template <typename T>
static T* nextRecord(T* array, int32_t count, int32_t* index)
{
    if (*index >= count)
        return nullptr;
    return &array[(*index)++];
}

static int passesDisagree()
{
    return chunkFail("more records than the counting pass found");
}

int readTriObject(SceneBytes*, long)
{
    Scene* s = sceneLoader.scene;
    if (sceneLoader.counting) {
        s->objectCount++;
        return 1;
    }
    MeshObject* o = nextRecord(s->objects, s->objectCount, &sceneLoader.objectIndex);
    if (!o)
        return passesDisagree();
    sceneLoader.currentObject = o;
    o->name = copyName(sceneLoader.currentName);
    if (!o->name)
        return chunkFail("out of memory");
    nameIndexAdd(&sceneLoader.objectNames, (int32_t)(o - s->objects), o->name, objectName);
    return 1;
}

int readDirectLight(SceneBytes* in, long)
{
    const float x = readF32(in), y = readF32(in), z = readF32(in);
    Scene* s = sceneLoader.scene;
    if (sceneLoader.counting) {
        s->lightCount++;
        return 1;
    }
    Light* l = nextRecord(s->lights, s->lightCount, &sceneLoader.lightIndex);
    if (!l)
        return passesDisagree();
    sceneLoader.currentLight = l;
    l->position[0] = x;
    l->position[1] = z;
    l->position[2] = y;
    l->spot = 0;
    l->name = copyName(sceneLoader.currentName);
    if (!l->name)
        return chunkFail("out of memory");
    nameIndexAdd(&sceneLoader.lightNames, (int32_t)(l - s->lights), l->name, lightName);
    return 1;
}

int readCamera(SceneBytes* in, long)
{
    float v[8];
    for (float& f : v)
        f = readF32(in);
    Scene* s = sceneLoader.scene;
    if (sceneLoader.counting) {
        s->cameraCount++;
        return 1;
    }
    Camera* c = nextRecord(s->cameras, s->cameraCount, &sceneLoader.cameraIndex);
    if (!c)
        return passesDisagree();
    sceneLoader.currentCamera = c;
    for (int i = 0; i < 3; i++) {
        c->position[i] = v[i];
        c->target[i] = v[3 + i];
    }
    c->bank = v[6];
    c->lens = v[7];
    c->name = copyName(sceneLoader.currentName);
    if (!c->name)
        return chunkFail("out of memory");
    nameIndexAdd(&sceneLoader.cameraNames, (int32_t)(c - s->cameras), c->name, cameraName);
    return 1;
}

int readMaterialName(SceneBytes* in, long)
{
    if (!readName(in, sceneLoader.currentName))
        return chunkFail("the name runs into the end of the file");
    Scene* s = sceneLoader.scene;
    if (sceneLoader.counting) {
        s->materialCount++;
        return 1;
    }
    Material* m = nextRecord(s->materials, s->materialCount, &sceneLoader.materialIndex);
    if (!m)
        return passesDisagree();
    m->name = copyName(sceneLoader.currentName);
    if (!m->name)
        return chunkFail("out of memory");
    nameIndexAdd(&sceneLoader.materialNames, (int32_t)(m - s->materials), m->name, materialName);
    return 1;
}

// ---- Replaced arrays ---------------------------------------------------------

// Gives *slot a new zero-filled array of n records (null when n is 0) and
// retires the one it held. 1, or 0 when out of memory; *slot is then
// unchanged.
template <typename T>
static int replaceArray(T** slot, int32_t n)
{
    T* fresh = nullptr;
    if (n > 0 && !(fresh = (T*)heapCalloc((size_t)n, sizeof(T))))
        return 0;
    void* old[] = {*slot};
    if (!retireArrays(old, 1)) {
        heapFree(fresh);
        return 0;
    }
    *slot = fresh;
    return 1;
}

// ---- Mesh data ---------------------------------------------------------------

// The object the filling pass writes mesh data into, or null: in the counting
// pass, and before the file's first triangle mesh.
static MeshObject* meshTarget()
{
    return sceneLoader.counting ? nullptr : sceneLoader.currentObject;
}

// A later point array of the same object replaces the earlier one; faces
// read before it keep the vertices they were read against. The count must fit
// in the chunk, which bounds the allocation by the file's size.
int readPointArray(SceneBytes* in, long chunkEnd)
{
    const int32_t n = (int32_t)readU16(in);
    const long left = bytesLeft(in, chunkEnd);
    if ((long)n * 12 > left)
        return chunkFail("%d points need %ld bytes, the rest of the chunk holds %ld", (int)n, (long)n * 12, left);
    MeshObject* o = meshTarget();
    if (o) {
        if (!replaceArray(&o->vertices, n))
            return chunkFail("out of memory for %d points", (int)n);
        o->vertexCount = n;
    }
    for (int32_t i = 0; i < n; i++) {
        const float x = readF32(in), y = readF32(in), z = readF32(in);
        if (o) {
            o->vertices[i].x = x;
            o->vertices[i].y = z;
            o->vertices[i].z = y;
        }
    }
    return 1;
}

// A later face array of the same object replaces the earlier one. Faces that
// no material group lists keep material 0 when materials exist, else -1 (no
// usable material).
int readFaceArray(SceneBytes* in, long chunkEnd)
{
    const int32_t n = (int32_t)readU16(in);
    sceneLoader.lastFaceCount = n;
    const long left = bytesLeft(in, chunkEnd);
    if ((long)n * 8 > left)
        return chunkFail("%d faces need %ld bytes, the rest of the chunk holds %ld", (int)n, (long)n * 8, left);
    MeshObject* o = meshTarget();
    if (o) {
        if (!replaceArray(&o->faces, n))
            return chunkFail("out of memory for %d faces", (int)n);
        o->faceCount = n;
    }
    const int32_t unlisted = sceneLoader.scene->materialCount > 0 ? 0 : -1;
    for (int32_t i = 0; i < n; i++) {
        const uint32_t p = readU16(in), q = readU16(in), r = readU16(in);
        readU16(in);
        if (!o)
            continue;
        const uint32_t highest = p > q ? (p > r ? p : r) : (q > r ? q : r);
        if ((int32_t)highest >= o->vertexCount)
            return chunkFail("face %d of mesh '%s' uses vertex %u, but the mesh has %d vertices", (int)i, o->name,
                             (unsigned)highest, (int)o->vertexCount);
        Face* f = &o->faces[i];
        f->material = unlisted;
        f->corners[0] = &o->vertices[p];
        f->corners[1] = &o->vertices[r];
        f->corners[2] = &o->vertices[q];
    }
    return 1;
}

// Face indices beyond the object's faces, and entries that do not fit in the
// chunk, are dropped.
int readMaterialGroup(SceneBytes* in, long chunkEnd)
{
    char name[SCENE_NAME_SIZE];
    if (!readName(in, name))
        return chunkFail("the material name runs into the end of the file");
    MeshObject* o = meshTarget();
    const int32_t material = o ? nameIndexFind(&sceneLoader.materialNames, name, materialName) : -1;
    const int32_t n = entriesInChunk(in, chunkEnd, (int32_t)readU16(in), 2);
    for (int32_t i = 0; i < n; i++) {
        const int32_t f = (int32_t)readU16(in);
        if (o && f < o->faceCount)
            o->faces[f].material = material;
    }
    return 1;
}

// Coordinates beyond the object's vertices, and entries that do not fit in the
// chunk, are dropped; vertices without one keep u = v = 0.
int readMappingCoordinates(SceneBytes* in, long chunkEnd)
{
    const int32_t n = entriesInChunk(in, chunkEnd, (int32_t)readU16(in), 8);
    MeshObject* o = meshTarget();
    for (int32_t i = 0; i < n; i++) {
        const float u = readF32(in), v = readF32(in);
        if (o && i < o->vertexCount) {
            o->vertices[i].u = u;
            o->vertices[i].v = v;
        }
    }
    return 1;
}

int readMeshMatrix(SceneBytes* in, long)
{
    float v[12];
    for (float& f : v)
        f = readF32(in);
    MeshObject* o = meshTarget();
    if (!o)
        return 1;
    for (int row = 0; row < 4; row++) {
        for (int col = 0; col < 3; col++)
            o->matrix.m[4 * row + col] = v[3 * row + col];
        o->matrix.m[4 * row + 3] = row == 3 ? 1.0f : 0.0f;
    }
    return 1;
}

// ---- Light details -----------------------------------------------------------

static Light* lightTarget()
{
    return sceneLoader.counting ? nullptr : sceneLoader.currentLight;
}

int readSpotlight(SceneBytes* in, long)
{
    float v[5];
    for (float& f : v)
        f = readF32(in);
    Light* l = lightTarget();
    if (!l)
        return 1;
    l->spot = 1;
    l->spotTarget[0] = v[0];
    l->spotTarget[1] = v[2];
    l->spotTarget[2] = v[1];
    l->hotspot = v[3];
    l->falloff = v[4];
    return 1;
}

static int readLightFloat(SceneBytes* in, float Light::*field)
{
    const float value = readF32(in);
    if (Light* l = lightTarget())
        l->*field = value;
    return 1;
}

int readInnerRange(SceneBytes* in, long)
{
    return readLightFloat(in, &Light::innerRange);
}

int readOuterRange(SceneBytes* in, long)
{
    return readLightFloat(in, &Light::outerRange);
}

int readMultiplier(SceneBytes* in, long)
{
    return readLightFloat(in, &Light::multiplier);
}

int readLightOff(SceneBytes*, long)
{
    if (Light* l = lightTarget())
        l->off = 1;
    return 1;
}

int readRayShadows(SceneBytes*, long)
{
    if (Light* l = lightTarget())
        l->rayShadows = 1;
    return 1;
}

// colour x 255, truncated toward zero; the clamp keeps out-of-range file
// values from overflowing the integer.
static int32_t colourByte(float c)
{
    const float scaled = c * 255.0f;
    if (scaled >= 2147483520.0f)
        return INT32_MAX;
    if (scaled <= -2147483520.0f)
        return INT32_MIN;
    return (int32_t)scaled;
}

int readFloatColour(SceneBytes* in, long)
{
    float rgb[3];
    for (float& f : rgb)
        f = readF32(in);
    if (sceneLoader.counting)
        return 1;
    const int32_t found = nameIndexFind(&sceneLoader.lightNames, sceneLoader.currentName, lightName);
    if (found < 0)
        return 1;
    Light* l = &sceneLoader.scene->lights[found];
    for (int i = 0; i < 3; i++) {
        l->colour[i] = rgb[i];
        l->colour255[i] = colourByte(rgb[i]);
    }
    return 1;
}
