// Scene loading: the records of the cell model read from a 3DS file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "math/geometry.h"

struct Texture;

// Every point the file gives as (x, y, z) is stored as (x, z, y).
struct MeshVertex {
    float x, y, z;
    float u, v;
    float nx, ny, nz;
};

// Corners hold the file's indices (first, second, third) in the order first,
// third, second.
struct Face {
    int32_t material;
    MeshVertex* corners[3];
    Plane plane;
};

// What the renderer needs to know of a mesh as a whole: the box around its
// vertices and whether every face corner points at one of them. Worked out
// once by the loader; `known` is 0 in a mesh put together otherwise, which
// the renderer then measures at every draw.
struct MeshBounds {
    float low[3];
    float high[3];
    int32_t cornersOwn;
    int32_t known;
};

struct MeshObject {
    int32_t nodeId;
    char* name;
    int32_t vertexCount;
    int32_t faceCount;
    Face* faces;
    MeshVertex* vertices;
    Matrix4 matrix;
    int32_t parentId;
    int32_t positionKeyCount;
    int32_t rotationKeyCount;
    float* positionFrames;
    float* positionX;
    float* positionY;
    float* positionZ;
    float* rotationFrames;
    float* rotationAngle;
    float* rotationAxisX;
    float* rotationAxisY;
    float* rotationAxisZ;
    MeshBounds bounds;
};

struct Material {
    char* name;
    Texture* texture;
};

struct Light {
    char* name;
    int32_t spot;
    int32_t off;
    int32_t rayShadows;
    float position[3];
    float spotTarget[3];
    float hotspot;
    float falloff;
    float innerRange;
    float outerRange;
    float multiplier;
    float colour[3];
    int32_t colour255[3];
};

// Position and target stay in the file's own axis order.
struct Camera {
    char* name;
    Matrix4 matrix;
    float position[3];
    float target[3];
    float bank;
    float lens;
    int32_t targetKeyCount;
    int32_t positionKeyCount;
    float* targetFrames;
    float* targetX;
    float* targetY;
    float* targetZ;
    float* positionFrames;
    float* positionX;
    float* positionY;
    float* positionZ;
};

// Arrays that a later chunk of the same kind took off their record. Faces
// read before a new point array still point into the old one, so every
// replaced array is kept until sceneRelease. One entry holds what one chunk
// replaces: at most the five arrays of a rotation track.
enum { RETIRED_ARRAYS = 5 };
struct RetiredArrays {
    RetiredArrays* next;
    void* arrays[RETIRED_ARRAYS];
};

struct Scene {
    int32_t firstFrame;
    int32_t lastFrame;
    int32_t objectCount;
    int32_t cameraCount;
    int32_t lightCount;
    int32_t materialCount;
    MeshObject* objects;
    Camera* cameras;
    Light* lights;
    Material* materials;
    RetiredArrays* retired;
};

// ---- Loading ---------------------------------------------------------------
// loadSceneBytes walks a 3DS file of size bytes twice (counting, then
// filling) and returns the finished Scene, or null after releasing everything
// it allocated; name stands for the file in the reason. loadScene does the
// same with the file at path, or returns null when it cannot be read.
Scene* loadSceneBytes(const uint8_t* bytes, size_t size, const char* name);
Scene* loadScene(const char* path);
// What the last loadScene found wrong with its file, in one line that starts
// with the path: after a null result, why the load failed ("Cells\Cell.3ds:
// chunk 0x1234 at byte 20 has length 0"); after a Scene in which no object
// has a face, why the model has no mesh; otherwise "". The line every reader
// shares (readReason).
const char* sceneLoadReason();
// Frees a Scene and everything hanging from it except the Textures; null is
// accepted.
void sceneRelease(Scene* scene);

// Post-processing, run by loadScene after the filling pass.
Plane computeFacePlane(const Face* face);
void computeFacePlanes(MeshObject* object);
// Fills `out` (known 1); the box is all zero for a mesh without vertices.
void measureMesh(const MeshObject* object, MeshBounds* out);
// 1, or 0 when its work array cannot be allocated.
int computeVertexNormals(MeshObject* object);
void computeCameraMatrix(Camera* camera);
