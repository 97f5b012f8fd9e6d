// The 3DS reader's own parts: the chunk walk and table, the loader's state,
// the read helpers, the name indexes and the chunk handlers the table names.
// Only the scene area and its tests include this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/scene.h"

// The file in memory and the read position. The position may stand past the
// end, where a chunk of a file cut short ends; reads there yield zero bytes.
struct SceneBytes {
    const uint8_t* bytes;
    long size;
    long pos;
};

// Walks the chunks from the current read position up to the absolute position
// `end`. Like every handler: 1 to go on, 0 to fail the load (the reason set).
int walkChunks(SceneBytes* in, long end);

typedef int (*ChunkHandler)(SceneBytes* in, long chunkEnd);

// A row either names a handler for the chunk's own data or says how many bytes
// of it the walker steps over before the sub-chunks (0: none). The name is
// for messages.
struct ChunkEntry {
    uint32_t id;
    int32_t hasChildren;
    int32_t skipLength;
    ChunkHandler handler;
    const char* name;
};

enum { CHUNK_TABLE_SIZE = 88 };
extern const ChunkEntry chunkTable[CHUNK_TABLE_SIZE];
// Row of the table whose id equals the low 16 bits of id, or -1.
int findChunkEntry(uint32_t id);

enum { SCENE_NAME_SIZE = 64 };

enum NodeKind {
    NODE_NONE = 0,
    NODE_OBJECT_TAG,
    NODE_OBJECT,
    NODE_CAMERA,
    NODE_CAMERA_TARGET,
};

// Which array `nodeIndex` indexes: a light node following an object node keeps
// nodeKind "object" while its header was looked up among the cameras.
enum NodeArray {
    NODE_ARRAY_NONE = 0,
    NODE_ARRAY_OBJECTS,
    NODE_ARRAY_CAMERAS,
};

// Finds a record by name in constant time: open addressing over record
// indices (-1 free), the first record of a name wins. Sized for one record
// array at twice its count.
struct NameIndex {
    int32_t* slots;
    uint32_t mask;
};

// Everything the handlers share during one load; reset by loadSceneBytes.
struct SceneLoader {
    Scene* scene;
    // Names the file in messages.
    const char* name;
    // The chunk whose handler runs, for messages.
    uint32_t chunkId;
    long chunkStart;
    const char* chunkName;
    // Id of the file's first chunk, -1 while none was read.
    int32_t firstChunkId;
    int32_t counting;
    int32_t objectIndex;
    int32_t cameraIndex;
    int32_t lightIndex;
    int32_t materialIndex;
    MeshObject* currentObject;
    Light* currentLight;
    Camera* currentCamera;
    char currentName[SCENE_NAME_SIZE];
    char nodeName[SCENE_NAME_SIZE];
    int32_t nodeKind;
    int32_t nodeIndex;
    int32_t nodeArray;
    int32_t currentNodeId;
    int32_t keyIndex;
    int32_t lastFaceCount;
    int32_t depth;
    NameIndex objectNames;
    NameIndex cameraNames;
    NameIndex lightNames;
    NameIndex materialNames;
};
// Written and read by the walker and the handlers during one load.
extern SceneLoader sceneLoader;

// ---- Reading (chunk_bytes.cpp) ----------------------------------------------
// A read that runs past the end of the file yields zero bytes for the missing
// part, so damaged files load deterministically; the position moves past the
// bytes there were. Non-finite floats read as 0.
uint32_t readU16(SceneBytes* in);
uint32_t readU32(SceneBytes* in);
float readF32(SceneBytes* in);
void skipBytes(SceneBytes* in, size_t size);
// Reads a name into a SCENE_NAME_SIZE buffer (always terminated); 1, or 0
// when the file ended before the terminator with fewer than 63 characters
// stored (the name is cut short).
int readName(SceneBytes* in, char* buffer);
// Key count of a track (low 16 bits of the count field).
int32_t readTrackHeader(SceneBytes* in);
// Frame number of a key (low 16 bits, unsigned); skips the spline values.
int32_t readKeyHeader(SceneBytes* in);

// ---- The load's reason (chunk_bytes.cpp) --------------------------------------
// Set where a load fails, read through sceneLoadReason. Both return 0, so a
// failing step can `return sceneFail(...)`. sceneFail writes "<name>: <text>";
// chunkFail also names the chunk whose handler runs.
int sceneFail(const char* format, ...) __attribute__((format(printf, 1, 2)));
int chunkFail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Shared by the handlers (chunk_bytes.cpp) ----------------------------
// Bytes of the chunk left behind the read position (0 when past its end).
long bytesLeft(SceneBytes* in, long chunkEnd);
// Skips up to n keys of valueBytes each, stopping at the chunk's end.
void skipKeys(SceneBytes* in, long chunkEnd, int32_t n, size_t valueBytes);
// Puts arrays that a later chunk replaces on the scene's retired list, so that
// whatever still points into them stays valid until sceneRelease. 1, or 0
// when the list entry cannot be allocated (nothing is moved then).
int retireArrays(void* const arrays[], int count);

// ---- Name indexes of the filling pass (name_index.cpp) ---------------------
// nameOf gives the name of a record already added.
typedef const char* (*NameOf)(int32_t record);
// Room for `count` records; 1, or 0 when the table cannot be allocated.
int nameIndexInit(NameIndex* index, int32_t count);
void nameIndexRelease(NameIndex* index);
// An earlier record of the same name keeps its place.
void nameIndexAdd(NameIndex* index, int32_t record, const char* name, NameOf nameOf);
// Index of the first record of that name, or -1.
int32_t nameIndexFind(const NameIndex* index, const char* name, NameOf nameOf);
// The name of record i of the scene being loaded.
const char* materialName(int32_t i);
const char* objectName(int32_t i);
const char* cameraName(int32_t i);
const char* lightName(int32_t i);

// ---- Chunk handlers (chunk_handlers.cpp, keyframer.cpp) --------------------
// Each is called right behind its chunk's header and returns 1 to go on, or 0
// with the reason set to fail the load.
int skipMapName(SceneBytes* in, long chunkEnd);
int skipPointFlags(SceneBytes* in, long chunkEnd);
int skipSmoothGroups(SceneBytes* in, long chunkEnd);
int skipColourTrack(SceneBytes* in, long chunkEnd);
int skipTrack(SceneBytes* in, long chunkEnd);

int readFloatColour(SceneBytes* in, long chunkEnd);
int readNamedObject(SceneBytes* in, long chunkEnd);
int readTriObject(SceneBytes* in, long chunkEnd);
int readPointArray(SceneBytes* in, long chunkEnd);
int readFaceArray(SceneBytes* in, long chunkEnd);
int readMaterialGroup(SceneBytes* in, long chunkEnd);
int readMappingCoordinates(SceneBytes* in, long chunkEnd);
int readMeshMatrix(SceneBytes* in, long chunkEnd);
int readDirectLight(SceneBytes* in, long chunkEnd);
int readSpotlight(SceneBytes* in, long chunkEnd);
int readInnerRange(SceneBytes* in, long chunkEnd);
int readOuterRange(SceneBytes* in, long chunkEnd);
int readMultiplier(SceneBytes* in, long chunkEnd);
int readLightOff(SceneBytes* in, long chunkEnd);
int readRayShadows(SceneBytes* in, long chunkEnd);
int readCamera(SceneBytes* in, long chunkEnd);
int readMaterialName(SceneBytes* in, long chunkEnd);
int readSegment(SceneBytes* in, long chunkEnd);
int readNodeId(SceneBytes* in, long chunkEnd);
int readObjectNodeTag(SceneBytes* in, long chunkEnd);
int readCameraNodeTag(SceneBytes* in, long chunkEnd);
int readTargetNodeTag(SceneBytes* in, long chunkEnd);
int readNodeHeader(SceneBytes* in, long chunkEnd);
int readPositionTrack(SceneBytes* in, long chunkEnd);
int readRotationTrack(SceneBytes* in, long chunkEnd);
