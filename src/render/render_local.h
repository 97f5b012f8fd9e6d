// The renderer's own parts: what it sets up once, the samplers and their
// state, a worker's band record, culling, span drawing, scan conversion's
// plane gradients, and the float-to-integer truncation they share. Only the
// render area, its tests and its benchmarks include this.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/render.h"

struct MeshBounds;
struct SpanPool;

// ---- Samplers (samplers.cpp) -----------------------------------------------------
// What the samplers read: the level, masks, shade table and light of the span
// being drawn. Loaded once per span by samplerLoad.
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

// Draws the pixels first .. last - 1 from 16.16 texel coordinates u, v that
// step by du, dv a pixel, reading level, shades and light from state. Always
// writes at least the first pixel.
typedef void (*Sampler)(const SamplerState* state, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first,
    uint32_t* last);

// ---- What the renderer sets up once (engine.cpp) ---------------------------------
// Written by engineInit, and the sampler with its flag by setFiltering between
// frames; read by every stage and every worker while a frame is drawn.
struct Renderer {
    int32_t width;
    int32_t height;
    float focal;       // a view point lands focal x / z, focal y / z from the middle
    Plane frustum[4];  // the side planes, two pixels inside the screen
    Sampler sampler;   // what span drawing samples with: bilinear or nearest
    int32_t filtering; // 1 while sampler is sampleBilinear
    // Bilinear weights, index fv * 64 + fu; the four of every entry add up
    // to 63 (buildWeightTables).
    int8_t weightTopLeft[64 * 64];
    int8_t weightTopRight[64 * 64];
    int8_t weightBottomLeft[64 * 64];
    int8_t weightBottomRight[64 * 64];
};
extern Renderer renderer;

// Loads state for level number `level` of texture, lit by light.
void samplerLoad(SamplerState* state, const Texture* texture, int32_t level, int32_t light);
void sampleBilinear(const SamplerState* state, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first,
    uint32_t* last);
void sampleNearest(const SamplerState* state, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first,
    uint32_t* last);

void buildWeightTables();

// ---- A worker's band (workers.cpp) -------------------------------------------
// What one draw of a mesh knows of each of its vertices, worked out the first
// time a face facing the eye needs it rather than once for every face that
// uses it (object.cpp).
struct CachedVertex {
    ClipVertex view;   // the vertex in view space
    ClipVertex screen; // projected: x and y in pixels, z, u and v as in view
    uint32_t stamp;    // the draw the entry belongs to: the band's stamp
    bool inFront;      // at or beyond the 0.1 depth limit, so screen is valid
};

enum { CACHED_VERTICES = 4096 };

// Everything one worker owns while it draws a frame, handed down from the
// cells' walk through renderObject and scan conversion to span drawing: its
// rows, the pool its rows grow from, its counts and time, and renderObject's
// caches. A band's rows are its worker's alone, so nothing in it is shared.
struct RenderBand {
    int32_t first;   // rows [first, end) of the span table, already within it
    int32_t end;
    int32_t allRows; // 1 when the band is the whole table: nothing to judge
    SpanPool* pool;
    int32_t spans;    // spans drawn in the last frame
    int32_t disorder; // neighbouring spans found overlapping in it
    double seconds;   // time spent on jobs since the last balance
    uint32_t stamp; // the current draw's stamp in `vertices`
    CachedVertex vertices[CACHED_VERTICES];
};

// Gives band the rows [first, end) of the span table (clamped to it) and the
// table's pool. The only place that decides whether a band is every row.
void renderBandSet(RenderBand* band, int32_t first, int32_t end);
// Worker `worker`'s band (0 <= worker < RENDER_MAX_WORKERS); worker 0's is
// the whole table while one worker draws.
RenderBand* renderBand(int32_t worker);
// Runs job(band, context) on every worker at once, each with its own band
// (worker 0 on the calling thread), and returns when all are done.
void renderWorkersRun(void (*job)(RenderBand* band, const void* context), const void* context);
// Splits the rows into one band per worker by what the last frame's spans
// cost them; call between frames, before the table is reset.
void renderBandsBalance();
// Every worker puts the scene's faces into its own band of rows of the span
// table and then draws that band, without waiting for the others.
void renderBandsDraw(const RenderScene* scene, uint32_t* framebuffer);
// The spans the bands drew and the disorders they found, summed over them.
void renderBandsCounted(int32_t* spans, int32_t* disorder);

// ---- Culling (cull.cpp) ---------------------------------------------------------
// Where a mesh lies against the frustum and the band, for the draw of it that
// is about to start.
enum MeshInFrustum {
    MESH_OUTSIDE, // no face of it reaches the band's rows: nothing to draw
    MESH_INSIDE,  // every vertex inside every side plane: no face is clipped
    MESH_ACROSS,  // anything else, and whatever cannot be proved
    // Across the side planes, its box far from the band's rows: only the
    // faces the clipper cuts can reach them.
    MESH_ACROSS_CLIPPED_ONLY,
};

// Judges a mesh whose box is bounds, transformed to view space by the
// object-to-view matrix m, against the frustum and the band's rows; quads as
// renderObject takes it.
MeshInFrustum cullMesh(const RenderBand* band, const MeshBounds* bounds, const float* m, int32_t quads);

// ---- Objects (object.cpp) ----------------------------------------------------
// Draws every face of mesh placed by objectMatrix into the band's rows of the
// span table, seen through worldToView (the inverse of the camera pose).
// Faces whose material is no index below materialCount, or has no texture,
// use the default texture.
// With quads set, faces 2i and 2i + 1 are the two halves of a flat quad that
// lights at least one pixel whenever it lies wholly inside the frustum.
void renderObject(RenderBand* band, const Matrix4* objectMatrix, const Matrix4* worldToView, const MeshObject* mesh,
    const Material* materials, int32_t materialCount, int32_t quads);

// ---- Span drawing (span_draw.cpp) -----------------------------------------------
// Plane gradients of the span being drawn, per pixel to the right.
struct SpanGradients {
    float dUOverZ;
    float dVOverZ;
    float dInvZ;
};

// Draws n >= 1 pixels from p through sampler state `state`, with the plane
// values at the first pixel, exact every 16 pixels and stepped linearly in
// between.
void drawSpan(const SamplerState* state, const SpanGradients* gradients, int32_t n, float uOverZ, float vOverZ,
    float invZ, uint32_t* p);
// Draws the band's rows of the span table into framebuffer and counts their
// spans and disorders into the band.
void drawBand(RenderBand* band, uint32_t* framebuffer);
// After every band is drawn: the warnings for a broken span order (disorder,
// the disorders the bands found) or an exhausted node pool, drawn over the
// whole frame.
void drawWarnings(uint32_t* framebuffer, int32_t disorder);
// Draws every row of the table with the workers, then the warnings, as the
// frame does (workers.cpp). Returns the number of spans in the table.
int32_t drawSpanTable(uint32_t* framebuffer);

// ---- Scan conversion (scan_convert.cpp) -----------------------------------------
// U = u/z * level width, V = v/z * level height and W = 1/z: their change per
// pixel to the right, per row down, and their value at screen column 0, row 0.
struct PlaneGradients {
    float dUdx, dUdy, u0;
    float dVdx, dVdy, v0;
    float dWdx, dWdy, w0;
};

int planeGradients(const ClipPolygon* polygon, float scaleU, float scaleV, PlaneGradients* out);
float texelAreaRatio(const ClipPolygon* polygon, const Texture* texture);
int32_t levelFromRatio(float ratio);
// Hands one span per covered row of the projected polygon (screen x and y,
// view z), lit by light (0 to 255), to the band's rows of the span table.
// Returns 0 when the polygon covers no row or its first three vertices are
// collinear on the screen; 1 otherwise, also when none of its rows are the
// band's.
int rasterizePolygon(const RenderBand* band, const ClipPolygon* polygon, Texture* texture, int32_t light);
// rasterizePolygon that also sets *lit when a span it stores covers a pixel.
int rasterizePolygonLit(const RenderBand* band, const ClipPolygon* polygon, Texture* texture, int32_t light, int* lit);
// A flat quad of one colour drawn as the two projected triangles first and
// second, whose walks lit no pixel of the band, lights the pixel its middle
// falls in when its halves light none anywhere: a far stand-in smaller than a
// pixel stays in the picture. Only the band holding the middle's row judges,
// with the whole screen's rows, so every number of bands draws the same.
void rasterizeQuadPixel(const RenderBand* band, const ClipPolygon* first, const ClipPolygon* second,
    Texture* texture, int32_t light);

// Truncates toward zero. Values at or past 2^31 in magnitude saturate (a
// double would find them at or past 2^31 - 1) and NaN gives 0, where a plain
// conversion would be undefined. 2147483520, the largest float below 2^31,
// still converts exactly.
static inline int32_t truncateToInt32(float value)
{
    // One test for the usual case; NaN fails it too.
    if (fabsf(value) < 2147483648.0f)
        return (int32_t)value;
    if (!(value == value))
        return 0;
    return value > 0.0f ? INT32_MAX : INT32_MIN;
}
