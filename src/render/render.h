// Renderer: engine set-up, texel samplers, object rendering, scan conversion
// and span drawing.
#pragma once

#include <cstdint>

#include "math/geometry.h"

struct Texture;

// Draws the pixels first .. last - 1 from 16.16 texel coordinates u, v that
// step by du, dv a pixel, reading level, shades and light from samplerState.
// Always writes at least the first pixel.
typedef void (*Sampler)(int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last);

// What the samplers read: the level, masks, shade table and light of the span
// being drawn. Loaded once per span.
struct SamplerState {
    const uint8_t* texels;
    int32_t uMask;
    int32_t rowMask;
    int32_t sizeMask;
    int32_t vShift;
    int32_t below;
    int32_t belowRight;
    const uint32_t* shades;
    int32_t light;
};

// Plane gradients of the span being drawn, per pixel to the right.
struct SpanGradients {
    float dUOverZ;
    float dVOverZ;
    float dInvZ;
};

extern int32_t renderWidth;
extern int32_t renderHeight;
extern float focal;
extern Plane frustumPlanes[4];
// Bilinear weights, index fv * 64 + fu; the four of every entry add up to 63.
extern int8_t weightTopLeft[64 * 64];
extern int8_t weightTopRight[64 * 64];
extern int8_t weightBottomLeft[64 * 64];
extern int8_t weightBottomRight[64 * 64];
extern Sampler currentSampler;
extern SamplerState samplerState;
extern SpanGradients spanGradients;
// Light of the face being converted, 0 to 255.
extern int32_t faceLight;

void buildWeightTables();
// Loads samplerState for level number `level` of texture, lit by light.
void samplerLoad(const Texture* texture, int32_t level, int32_t light);
// Non-zero selects bilinear filtering, zero the nearest texel.
void selectSampler(int32_t bilinear);
void sampleBilinear(int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last);
void sampleNearest(int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last);

// Draws n >= 1 pixels from p with the plane values at the first pixel, exact
// every 16 pixels and stepped linearly in between.
void drawSpan(int32_t n, float uOverZ, float vOverZ, float invZ, uint32_t* p);

// ---- Scan conversion -----------------------------------------------------------
// One polygon edge prepared for row stepping; x in 16.16 fixed point.
struct EdgeStep {
    int32_t edgeX;
    int32_t firstRow;
    int32_t rows;
    int32_t dxPerRow;
};

// The start chain gives every row's first column and is walked from its first
// edge; the end chain gives the end column and is walked from its last edge.
struct EdgeChain {
    EdgeStep edges[7];
    int32_t count;
};

// U = u/z * level width, V = v/z * level height and W = 1/z: their change per
// pixel to the right, per row down, and their value at screen column 0, row 0.
struct PlaneGradients {
    float dUdx, dUdy, u0;
    float dVdx, dVdy, v0;
    float dWdx, dWdy, w0;
};

extern EdgeChain startChain;
extern EdgeChain endChain;
extern PlaneGradients planeGradient;

int edgeSetup(const ClipVertex* upper, const ClipVertex* lower, EdgeStep* out);
int buildEdgeChains(const ClipPolygon* polygon);
int planeGradients(const ClipPolygon* polygon, float scaleU, float scaleV);
float texelAreaRatio(const ClipPolygon* polygon, const Texture* texture);
int32_t levelFromRatio(float ratio);
// Hands one span per covered row of the projected polygon to the span table.
// Returns 0 when the polygon covers no row or its first three vertices are
// collinear on the screen.
int rasterizePolygon(const ClipPolygon* polygon, Texture* texture);

// ---- Engine and objects ------------------------------------------------------------
struct MeshObject;
struct Material;

// Sets up the renderer for one screen size: focal value, frustum, span pool and
// table (20 nodes a row), weight tables, bilinear sampler. Returns 1 or 0.
int engineInit(int32_t width, int32_t height);
// Releases the span pool, then the span table.
void engineRelease();
// Draws every face of mesh placed by objectMatrix as seen from the camera pose
// viewMatrix into the span table. Faces whose material is no index below
// materialCount, or has no texture, use the built-in default texture.
void renderObject(const Matrix4* objectMatrix, const Matrix4* viewMatrix, const MeshObject* mesh,
    const Material* materials, int32_t materialCount);
// A small grey checker pyramid for faces without a usable material.
Texture* defaultTexture();

// Draws every span of the table into framebuffer (renderWidth x renderHeight)
// and writes the warnings for a broken span order or an exhausted node pool.
// Returns the number of spans in the table.
int32_t drawSpanTable(uint32_t* framebuffer);
