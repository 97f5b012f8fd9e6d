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

// Set by engineInit; read by every stage of the renderer.
extern int32_t renderWidth;
extern int32_t renderHeight;
extern float focal;
extern Plane frustumPlanes[4];
// The sampler span drawing calls: written by selectSampler, read by span
// drawing.
extern Sampler currentSampler;
// Written by samplerLoad, which span drawing calls for every span; read by the
// samplers. Each worker thread has its own.
extern __thread SamplerState samplerState;

// Loads samplerState for level number `level` of texture, lit by light.
void samplerLoad(const Texture* texture, int32_t level, int32_t light);
// Non-zero selects bilinear filtering, zero the nearest texel.
void selectSampler(int32_t bilinear);
void sampleBilinear(int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last);
void sampleNearest(int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last);

// Hands one span per covered row of the projected polygon (screen x and y,
// view z) to the span table, lit by faceLight. Returns 0 when the polygon
// covers no row or its first three vertices are collinear on the screen.
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

// ---- Workers ---------------------------------------------------------------------
enum { RENDER_MAX_WORKERS = 16 };

// Starts count - 1 threads beside the calling one (worker 0), each with a span
// pool of its own, for the whole run; any earlier ones are stopped first.
// Returns 1, or 0 with one worker left. One worker is the plain program.
int renderWorkersStart(int32_t count);
// Stops the helper threads; one worker is left.
void renderWorkersStop();
int32_t renderWorkerCount();
// Splits the rows into one band per worker by what the last frame's spans
// cost them; call between frames, before the table is reset.
void renderBandsBalance();
// Runs job on every worker at once, each in its own band of rows (worker 0
// on the calling thread), and returns when all are done.
void renderWorkersRun(void (*job)());

// Draws every span of the table into framebuffer (renderWidth x renderHeight)
// and writes the warnings for a broken span order or an exhausted node pool.
// Returns the number of spans in the table.
int32_t drawSpanTable(uint32_t* framebuffer);
// A whole frame in one pass of the workers: each runs `cells` (which draws
// the cells into the span table) and then draws its own band, with no wait
// between, as a band's rows are its worker's alone; then the warnings, as
// drawSpanTable. Returns the number of spans in the table.
int32_t renderFrame(void (*cells)(), uint32_t* framebuffer);
