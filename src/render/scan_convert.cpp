#include <cmath>

#include "render/render_local.h"
#include "spans/spans.h"
#include "texture/texture.h"

// One polygon edge prepared for row stepping; x in 16.16 fixed point. upper
// and lower are the polygon's vertices it runs between.
struct EdgeStep {
    int32_t edgeX;
    int32_t firstRow;
    int32_t rows;
    int32_t dxPerRow;
    int32_t upper;
    int32_t lower;
};

// The start chain gives every row's first column and is walked from its first
// edge; the end chain gives the end column and is walked from its last edge.
struct EdgeChain {
    EdgeStep edges[7];
    int32_t count;
};

// The rows of an edge from a down to b, where top = ceilf(a->y) and bottom =
// ceilf(b->y): a vertex at height y belongs to the rows from ceil(y) on.
static inline int edgeRows(float top, float bottom, EdgeStep* out)
{
    const int32_t rows = truncateToInt32(bottom - top);
    // Rounding in a clipped polygon can put the lower end above the upper
    // one; such an edge covers no row rather than a negative number of them.
    if (rows <= 0)
        return 0;
    out->firstRow = truncateToInt32(top);
    out->rows = rows;
    return 1;
}

// The edge's x at the height of its first row, and its step per row.
static inline void edgeSlope(const ClipVertex* a, const ClipVertex* b, float top, EdgeStep* out)
{
    const float slope = (b->x - a->x) / (b->y - a->y);
    out->dxPerRow = truncateToInt32(slope * 65536.0f);
    out->edgeX = truncateToInt32((a->x + slope * (top - a->y)) * 65536.0f);
}

// ceilf(y) for every y scan conversion meets, by truncation: the library's
// takes twice the instructions without SSE4.1, and this runs three times a
// triangle. Whole floats (2^23 and up, infinities) and NaN come back as they
// are; -0.5 gives +0 where ceilf gives -0, which every use of a row treats alike.
static inline float rowCeiling(float y)
{
    if (!(fabsf(y) < 8388608.0f))
        return y;
    const float whole = (float)(int32_t)y;
    return whole < y ? whole + 1.0f : whole;
}

// The first half of building the chains, before the band is judged: which
// edges cover rows, and how many each; rowOf receives every vertex's first
// row. Returns 0 when the polygon covers no row. Both halves are forced
// inline: as calls they cost a few per cent of scan conversion.
__attribute__((always_inline)) static inline int chainRows(const ClipPolygon* polygon, float* rowOf, EdgeChain* start, EdgeChain* finish)
{
    start->count = 0;
    finish->count = 0;
    const int32_t n = polygon->count;
    if (n < 3 || n > (int32_t)(sizeof polygon->v / sizeof polygon->v[0]))
        return 0;
    int32_t top = 0, bottom = 0;
    float minY = 65536.0f, maxY = -65536.0f;
    for (int32_t i = 0; i < n; i++) {
        if (polygon->v[i].y < minY) {
            minY = polygon->v[i].y;
            top = i;
        }
        if (polygon->v[i].y > maxY) {
            maxY = polygon->v[i].y;
            bottom = i;
        }
    }
    for (int32_t i = 0; i < n; i++)
        rowOf[i] = rowCeiling(polygon->v[i].y);
    if (truncateToInt32(rowOf[top]) >= truncateToInt32(rowOf[bottom]))
        return 0;
    for (int32_t i = top; i != bottom;) {
        const int32_t next = i + 1 == n ? 0 : i + 1;
        EdgeStep* edge = &start->edges[start->count];
        if (edgeRows(rowOf[i], rowOf[next], edge)) {
            edge->upper = i;
            edge->lower = next;
            start->count++;
        }
        i = next;
    }
    for (int32_t j = bottom; j != top;) {
        const int32_t next = j + 1 == n ? 0 : j + 1;
        EdgeStep* edge = &finish->edges[finish->count];
        if (edgeRows(rowOf[next], rowOf[j], edge)) {
            edge->upper = next;
            edge->lower = j;
            finish->count++;
        }
        j = next;
    }
    return start->count > 0 && finish->count > 0;
}

// The second half: every stored edge's x and step.
__attribute__((always_inline)) static inline void chainSlopes(const ClipPolygon* polygon, const float* rowOf, EdgeChain* chain)
{
    for (int32_t k = 0; k < chain->count; k++) {
        EdgeStep* edge = &chain->edges[k];
        edgeSlope(&polygon->v[edge->upper], &polygon->v[edge->lower], rowOf[edge->upper], edge);
    }
}

// One row down both chains: the end chain's x and the start chain's x step on
// (wrapping like the 32-bit registers they model), or move to the next edge.
// 0 when either chain has run out: edges that cover no row are never stored,
// so the chains can differ in length only through rounding, and the polygon
// ends with either. Forced inline: it is every row's step.
__attribute__((always_inline)) static inline int chainsStep(EdgeChain* startChain, EdgeChain* endChain, int32_t* s,
    int32_t* e, int32_t* xs, int32_t* xe)
{
    if (--endChain->edges[*e].rows == 0) {
        if (*e == 0)
            return 0;
        *e -= 1;
        *xe = endChain->edges[*e].edgeX;
    } else {
        *xe = (int32_t)((uint32_t)*xe + (uint32_t)endChain->edges[*e].dxPerRow);
    }
    if (--startChain->edges[*s].rows == 0) {
        if (++*s == startChain->count)
            return 0;
        *xs = startChain->edges[*s].edgeX;
    } else {
        *xs = (int32_t)((uint32_t)*xs + (uint32_t)startChain->edges[*s].dxPerRow);
    }
    return 1;
}

// Whether the walk of the chains visits none of the band's rows. It starts
// at the start chain's first row and takes one row of each chain per step
// until either runs out, so it visits as many rows as the shorter chain
// holds. That need not be ceil(least y) up to ceil(greatest y): in a clipped
// polygon an edge whose rows come out negative is left out, and the rows of
// the others can then add up to more.
static bool walkMissesBand(const EdgeChain* start, const EdgeChain* finish, const RenderBand* band)
{
    int64_t startRows = 0, finishRows = 0;
    for (int32_t k = 0; k < start->count; k++)
        startRows += start->edges[k].rows;
    for (int32_t k = 0; k < finish->count; k++)
        finishRows += finish->edges[k].rows;
    const int64_t first = start->edges[0].firstRow;
    const int64_t end = first + (startRows < finishRows ? startRows : finishRows);
    return end <= band->first || first >= band->end;
}

int planeGradients(const ClipPolygon* polygon, float scaleU, float scaleV, PlaneGradients* out)
{
    const ClipVertex* p = polygon->v;
    const float X[3] = {p[0].x, p[1].x, p[2].x};
    const float Y[3] = {p[0].y, p[1].y, p[2].y};
    float w[3], u[3], v[3];
    for (int i = 0; i < 3; i++) {
        w[i] = 1.0f / p[i].z;
        u[i] = p[i].u * w[i] * scaleU;
        v[i] = p[i].v * w[i] * scaleV;
    }
    const float det = (float)((double)(X[1] - X[0]) * (Y[2] - Y[0]) - (double)(X[2] - X[0]) * (Y[1] - Y[0]));
    if (det == 0.0f || !(det == det))
        return 0;
    // Index 0, 1, 2 carry u/z, v/z and 1/z.
    const float q0[3] = {u[0], v[0], w[0]};
    const float d1[3] = {u[1] - u[0], v[1] - v[0], w[1] - w[0]};
    const float d2[3] = {u[2] - u[0], v[2] - v[0], w[2] - w[0]};
    float ddx[3], ddy[3], at0[3];
    for (int i = 0; i < 3; i++) {
        ddx[i] = (d1[i] * (Y[2] - Y[0]) - d2[i] * (Y[1] - Y[0])) / det;
        ddy[i] = (d2[i] * (X[1] - X[0]) - d1[i] * (X[2] - X[0])) / det;
        at0[i] = q0[i] - X[0] * ddx[i] - Y[0] * ddy[i];
    }
    *out = {ddx[0], ddy[0], at0[0], ddx[1], ddy[1], at0[1], ddx[2], ddy[2], at0[2]};
    return 1;
}

float texelAreaRatio(const ClipPolygon* polygon, const Texture* texture)
{
    const float a = (float)texture->halfWidth;
    const float b = (float)texture->halfHeight;
    float texels = 0.0f, pixels = 0.0f;
    const ClipVertex* prev = &polygon->v[polygon->count - 1];
    for (int32_t i = 0; i < polygon->count; i++) {
        const ClipVertex* cur = &polygon->v[i];
        texels += (cur->v * b) * (prev->u * a) - (cur->u * a) * (prev->v * b);
        pixels += cur->y * prev->x - cur->x * prev->y;
        prev = cur;
    }
    return fabsf(texels / pixels);
}

int32_t levelFromRatio(float r)
{
    // Near the powers of 4: each level has a quarter of the texels of the one
    // before. The level is the number of thresholds the ratio exceeds (none
    // for a NaN); they rise, so the count stops at the first it does not.
    static const float thresholds[9] = {5.0f, 20.0f, 70.0f, 250.0f, 1000.0f, 4000.0f, 16000.0f, 65500.0f, 262000.0f};
    int32_t level = 0;
    while (level < 9 && r > thresholds[level])
        level += 1;
    return level;
}

// The span record every row of the polygon shares: its gradients, texture,
// level and light. 0 when the first three vertices are collinear on the screen.
// Forced inline, as the chains' halves are.
__attribute__((always_inline)) static inline int spanSetup(const ClipPolygon* polygon, Texture* texture, int32_t light, SpanNode* span,
    PlaneGradients* gradient)
{
    const int32_t level = levelFromRatio(texelAreaRatio(polygon, texture));
    const int32_t levelX = level < texture->levelsX ? level : texture->levelsX - 1;
    const int32_t levelY = level < texture->levelsY ? level : texture->levelsY - 1;
    if (!planeGradients(polygon, (float)(texture->halfWidth >> levelX), (float)(texture->halfHeight >> levelY), gradient))
        return 0;
    span->prev = nullptr;
    span->next = nullptr;
    span->dUOverZ = gradient->dUdx;
    span->dVOverZ = gradient->dVdx;
    span->dInvZ = gradient->dWdx;
    span->texture = texture;
    span->level = levelY * texture->levelsX + levelX;
    span->light = light;
    return 1;
}

// The walk itself; with Lit set it also notes in *lit whether a span it
// stored covers a pixel.
template <bool Lit>
static inline int rasterizeRows(const RenderBand* band, const ClipPolygon* polygon, Texture* texture, int32_t light,
    int* lit)
{
    EdgeChain startChain, endChain;
    float rowOf[sizeof polygon->v / sizeof polygon->v[0]];
    if (!chainRows(polygon, rowOf, &startChain, &endChain))
        return 0;
    // A polygon whose rows all lie outside the band is another worker's.
    if (!band->allRows && walkMissesBand(&startChain, &endChain, band))
        return 1;
    chainSlopes(polygon, rowOf, &startChain);
    chainSlopes(polygon, rowOf, &endChain);
    SpanNode span;
    PlaneGradients gradient;
    if (!spanSetup(polygon, texture, light, &span, &gradient))
        return 0;

    SpanPool* const pool = band->pool;
    const int32_t first = band->first, end = band->end;
    const float dWdy = gradient.dWdy, dUdy = gradient.dUdy, dVdy = gradient.dVdy;
    int32_t y = startChain.edges[0].firstRow;
    float w = gradient.w0 + (float)y * dWdy;
    float u = gradient.u0 + (float)y * dUdy;
    float v = gradient.v0 + (float)y * dVdy;
    int32_t s = 0, e = endChain.count - 1;
    int32_t xs = startChain.edges[s].edgeX;
    int32_t xe = endChain.edges[e].edgeX;
    for (;;) {
        // Columns from floor(left x) up to, not including, floor(right x);
        // a row whose end lies left of column 1 gets no span.
        if ((xe >> 16) > 0 && y >= first) {
            if (y >= end)
                return 1;
            span.invZ = w;
            span.uOverZ = u;
            span.vOverZ = v;
            span.xStart = xs >> 16;
            span.xEnd = xe >> 16;
            if (Lit)
                *lit |= span.xEnd > span.xStart;
            insertSpanInRow(pool, &span, y);
        }
        w += dWdy;
        u += dUdy;
        v += dVdy;
        y += 1;
        if (!chainsStep(&startChain, &endChain, &s, &e, &xs, &xe))
            return 1;
    }
}

int rasterizePolygon(const RenderBand* band, const ClipPolygon* polygon, Texture* texture, int32_t light)
{
    return rasterizeRows<false>(band, polygon, texture, light, nullptr);
}

int rasterizePolygonLit(const RenderBand* band, const ClipPolygon* polygon, Texture* texture, int32_t light, int* lit)
{
    return rasterizeRows<true>(band, polygon, texture, light, lit);
}

// Whether rasterizePolygon, given every row of the screen, would draw a
// pixel of the polygon: the same chains walked the same way, nothing stored.
static bool lightsAPixel(const ClipPolygon* polygon)
{
    EdgeChain startChain, endChain;
    float rowOf[sizeof polygon->v / sizeof polygon->v[0]];
    if (!chainRows(polygon, rowOf, &startChain, &endChain))
        return false;
    chainSlopes(polygon, rowOf, &startChain);
    chainSlopes(polygon, rowOf, &endChain);
    int32_t y = startChain.edges[0].firstRow;
    int32_t s = 0, e = endChain.count - 1;
    int32_t xs = startChain.edges[s].edgeX;
    int32_t xe = endChain.edges[e].edgeX;
    for (;;) {
        if ((xe >> 16) > 0 && (xe >> 16) > (xs >> 16) && y >= 0 && y < renderer.height)
            return true;
        y += 1;
        if (!chainsStep(&startChain, &endChain, &s, &e, &xs, &xe))
            return false;
    }
}

// Floor and ceiling by truncation, without a call to the C library.
static inline int32_t floorToInt32(float value)
{
    const int32_t whole = truncateToInt32(value);
    return (float)whole > value ? whole - 1 : whole;
}

static inline int32_t ceilToInt32(float value)
{
    const int32_t whole = truncateToInt32(value);
    return (float)whole < value ? whole + 1 : whole;
}

void rasterizeQuadPixel(const RenderBand* band, const ClipPolygon* first, const ClipPolygon* second,
    Texture* texture, int32_t light)
{
    float low[2] = {first->v[0].x, first->v[0].y}, high[2] = {low[0], low[1]};
    const ClipPolygon* halves[2] = {first, second};
    for (const ClipPolygon* p : halves)
        for (int32_t i = 0; i < p->count; i++)
            for (int32_t k = 0; k < 2; k++) {
                const float c = k ? p->v[i].y : p->v[i].x;
                low[k] = c < low[k] ? c : low[k];
                high[k] = c > high[k] ? c : high[k];
            }
    // The pixel of the middle: columns from floor(x), rows from ceil(y). Only
    // the band holding its row judges the quad.
    const int32_t column = floorToInt32((low[0] + high[0]) * 0.5f);
    const int32_t row = ceilToInt32((low[1] + high[1]) * 0.5f);
    if (row < band->first || row >= band->end || column < 0 || column >= renderer.width)
        return;
    // The halves' walks in this band lit nothing; when a row of theirs lies in
    // another band, they are walked again over every row.
    const int32_t top = ceilToInt32(low[1]), bottom = ceilToInt32(high[1]);
    if ((top < band->first || bottom > band->end) && (lightsAPixel(first) || lightsAPixel(second)))
        return;
    // One pixel of a flat face of one colour: its depth is the corners' mean
    // (no wider than the quad, a pixel or less), its texel any.
    float invZ = 0.0f;
    for (int32_t i = 0; i < 3; i++)
        invZ += 1.0f / first->v[i].z;
    SpanNode span = {};
    span.invZ = invZ / 3.0f;
    span.texture = texture;
    span.light = light;
    span.xStart = column;
    span.xEnd = column + 1;
    insertSpanInRow(band->pool, &span, row);
}
