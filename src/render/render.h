// Renderer: engine set-up, texel samplers, object rendering, scan conversion,
// span drawing, and the workers that draw a frame together.
#pragma once

#include <cstdint>

#include "math/geometry.h"

struct Texture;
struct MeshObject;
struct Material;

// Sets up the renderer for one screen size: focal value, frustum, span pool and
// table (20 nodes a row), weight tables, bilinear filtering. Returns 1 or 0.
int engineInit(int32_t width, int32_t height);
// Stops the workers, then releases the span pool and the span table.
void engineRelease();
// Bilinear filtering (1) or the nearest texel (0); on until switched off.
// Call between frames.
void setFiltering(int32_t on);
void toggleFiltering();
int32_t filteringOn();
// A small grey checker pyramid for faces without a usable material.
Texture* defaultTexture();
struct Face;
// The texture a face is drawn with: its material's, or the default texture
// when its material is no index below materialCount or has none.
Texture* renderFaceTexture(const Face* face, const Material* materials, int32_t materialCount);

// One model drawn at each of its placements: every object of it at every
// placement, in the placements' order. Faces whose material is no index below
// materialCount, or has no texture, use the default texture.
struct RenderModel {
    const Matrix4* placements; // object matrices, one per copy of the model
    int32_t placementCount;
    const MeshObject* objects;
    int32_t objectCount;
    const Material* materials;
    int32_t materialCount;
    // 1: the faces come in pairs, each pair a flat quad (faces 2i and 2i + 1
    // sharing a diagonal) that lights at least the pixel its middle falls in,
    // however small it is drawn: far stand-ins never vanish.
    int32_t quads;
};

// The screen as the renderer projects onto it: a view point (x, y, z), z > 0,
// lands at column focal x / z + halfWidth and row focal y / z + halfHeight,
// with a 90-degree field of view across the width; faces are clipped to a
// frustum `inset` pixels inside every edge. The camera's framing, the far
// cells' judge and the pointer's picking read it here, so none of them can
// disagree with what is drawn.
struct RenderScreen {
    int32_t width;
    int32_t height;
    float focal;
    float halfWidth;  // whole pixels: width / 2, truncated
    float halfHeight;
    float inset;
};
// The geometry for a screen of width x height, the same before engineInit as after it.
RenderScreen renderScreenOf(int32_t width, int32_t height);

// What a frame shows: the models in their order, seen through worldToView
// (world to view, the inverse of the camera's pose). The renderer reads it
// while the frame is drawn and keeps nothing.
struct RenderScene {
    const Matrix4* worldToView;
    const RenderModel* models;
    int32_t modelCount;
};

// ---- Workers ---------------------------------------------------------------------
enum { RENDER_MAX_WORKERS = 16 };

// Draws with count workers: the calling thread (worker 0) and count - 1
// helper threads. Helpers kept from an earlier run serve again when there are
// as many; otherwise they end and new ones start. Returns 1, or 0 with one
// worker left. One worker is the plain program.
int renderWorkersStart(int32_t count);
// Leaves one worker; the helper threads sleep until the next start, and end
// with the program.
void renderWorkersStop();
int32_t renderWorkerCount();

// ---- One frame -------------------------------------------------------------------
// Draws the scene into framebuffer (the engine's width x height, cleared by
// the caller): the rows split into one band per worker by what the last
// frame's spans cost them, the span table emptied (its chains laid out afresh
// when rows grew), every worker putting the scene's faces into its own band
// of rows and then drawing that band without waiting for the others; then the
// warnings for a broken span order or an exhausted node pool. Returns the
// number of spans in the table.
int32_t renderFrame(const RenderScene* scene, uint32_t* framebuffer);
// The view depth of the face drawn at pixel (x, y) of the last frame, read
// from the span table, which holds that frame until the next renderFrame: 1
// with *depth, or 0 where no face was drawn.
int renderDepthAt(int32_t x, int32_t y, float* depth);
