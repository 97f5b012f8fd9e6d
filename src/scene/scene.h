// Scene loading: the records of the cell model read from a 3DS file.
#pragma once

#include <cstdint>

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
};
