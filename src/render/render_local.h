// The renderer's own parts: weight tables, span drawing's per-span state,
// the face light, scan conversion's edge chains and plane gradients, and the
// float-to-integer truncation they share. Only the render area and its tests
// include this.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/render.h"

// Bilinear weights, index fv * 64 + fu; the four of every entry add up to 63.
// Built by engineInit, read by the bilinear sampler.
extern int8_t weightTopLeft[64 * 64];
extern int8_t weightTopRight[64 * 64];
extern int8_t weightBottomLeft[64 * 64];
extern int8_t weightBottomRight[64 * 64];

void buildWeightTables();

// Plane gradients of the span being drawn, per pixel to the right.
struct SpanGradients {
    float dUOverZ;
    float dVOverZ;
    float dInvZ;
};

// Written by drawSpanTable for each span, read by drawSpan; each worker
// thread has its own.
extern __thread SpanGradients spanGradients;

// Draws n >= 1 pixels from p with the plane values at the first pixel, exact
// every 16 pixels and stepped linearly in between.
void drawSpan(int32_t n, float uOverZ, float vOverZ, float invZ, uint32_t* p);

// The calling worker's band of rows [bandFirstRow, bandEndRow): scan
// conversion inserts spans into these rows only. Set by the workers for each
// job; all rows for a program with one worker.
extern __thread int32_t bandFirstRow;
extern __thread int32_t bandEndRow;
// The calling worker's number, 0 on the thread that runs the jobs.
extern __thread int32_t bandWorker;

// Light of the face being converted, 0 to 255: written by renderObject for
// each face, read by rasterizePolygon; each worker thread has its own.
extern __thread int32_t faceLight;

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

// Written by buildEdgeChains and planeGradients for each polygon, read (and
// the chains' row counters consumed) by rasterizePolygon; each worker thread
// has its own.
extern __thread EdgeChain startChain;
extern __thread EdgeChain endChain;
extern __thread PlaneGradients planeGradient;

int edgeSetup(const ClipVertex* upper, const ClipVertex* lower, EdgeStep* out);
int buildEdgeChains(const ClipPolygon* polygon);
int planeGradients(const ClipPolygon* polygon, float scaleU, float scaleV);
float texelAreaRatio(const ClipPolygon* polygon, const Texture* texture);
int32_t levelFromRatio(float ratio);

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
