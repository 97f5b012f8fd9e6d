// Span drawing: every row's spans, left to right, into the frame, each through
// the sampler of its texture level with perspective exact every 16 pixels.
#include <cmath>

#include "image/image.h"
#include "render/render_local.h"
#include "spans/spans.h"

// Span drawing's inner calls are forced into drawBand: as calls they save
// and restore the float registers for every span, which the Windows calling
// convention makes the caller's to keep, ten of them.
__attribute__((always_inline)) static inline void drawNode(const SpanNode* node, uint32_t* row);
__attribute__((always_inline)) static inline void drawRuns(const SamplerState* state,
    const SpanGradients* gradients, int32_t n, float uOverZ, float vOverZ, float invZ, uint32_t* p);
static inline int32_t runStep(int32_t from, int32_t to, int32_t pixels);

void drawBand(RenderBand* band, uint32_t* framebuffer)
{
    int32_t disorder = 0;
    int32_t spans = 0;
    const int32_t end = band->end < renderer.height ? band->end : renderer.height;
    for (int32_t y = band->first; y < end; y++) {
        uint32_t* row = framebuffer + (size_t)y * (size_t)renderer.width;
        const SpanNode* node = spanTableRow(y)->head;
        int32_t previousEnd = INT32_MIN;
        for (int32_t left = spanTableRow(y)->count; left > 0 && node; left--) {
            // The next node is fetched while this one is drawn, and one a
            // little further on by address (see SPAN_DRAW_AHEAD).
            __builtin_prefetch(node->next);
            __builtin_prefetch((const void*)((uintptr_t)node + SPAN_DRAW_AHEAD * sizeof(SpanNode)));
            spans += 1;
            // Neighbouring used spans must not overlap.
            if (previousEnd > node->xStart)
                disorder += 1;
            previousEnd = node->xEnd;
            drawNode(node, row);
            node = node->next;
        }
    }
    band->spans = spans;
    band->disorder = disorder;
}

void drawWarnings(uint32_t* framebuffer, int32_t disorder)
{
    if (disorder > 0)
        drawText("Veltrix narusen - prekreslovani !", 50, 20, framebuffer);
    if (spanPoolFailed() == -1)
        drawText("Nedostatek pameti RAM !", 50, 50, framebuffer);
}

// Draws one span, clipped to the row, with the sampler set up for its level.
static inline void drawNode(const SpanNode* node, uint32_t* row)
{
    const int32_t xs = node->xStart < 0 ? 0 : node->xStart;
    // An end past the screen stops one column short of it, as always.
    const int32_t xe = node->xEnd > renderer.width ? renderer.width - 1 : node->xEnd;
    const int32_t n = xe - xs;
    if (n <= 0)
        return;
    SamplerState state;
    samplerLoad(&state, node->texture, node->level, node->light);
    const SpanGradients gradients = {node->dUOverZ, node->dVOverZ, node->dInvZ};
    drawRuns(&state, &gradients, n, node->uOverZ + (float)xs * node->dUOverZ, node->vOverZ + (float)xs * node->dVOverZ,
        node->invZ + (float)xs * node->dInvZ, row + xs);
}

// Walks the row as drawNode clips it; the plane is taken at the pixel's
// middle, as a point picked inside the pixel should be.
int renderDepthAt(int32_t x, int32_t y, float* depth)
{
    if (x < 0 || x >= renderer.width || y < 0 || y >= spanTableRowCount())
        return 0;
    const ScanLine* line = spanTableRow(y);
    const SpanNode* node = line->head;
    for (int32_t i = 0; i < line->count; i++, node = node->next) {
        const int32_t xe = node->xEnd > renderer.width ? renderer.width - 1 : node->xEnd;
        if (x < node->xStart || x >= xe)
            continue;
        const float invZ = node->invZ + ((float)x + 0.5f) * node->dInvZ;
        if (!(invZ > 0.0f))
            return 0;
        *depth = 1.0f / invZ;
        return 1;
    }
    return 0;
}

void drawSpan(const SamplerState* state, const SpanGradients* gradients, int32_t n, float uOverZ, float vOverZ,
    float invZ, uint32_t* p)
{
    drawRuns(state, gradients, n, uOverZ, vOverZ, invZ, p);
}

static inline void drawRuns(const SamplerState* state, const SpanGradients* gradients, int32_t n, float uOverZ,
    float vOverZ, float invZ, uint32_t* p)
{
    const Sampler sample = renderer.sampler;
    const float dUOverZ = gradients->dUOverZ;
    const float dVOverZ = gradients->dVOverZ;
    const float dInvZ = gradients->dInvZ;
    // 16.16 texel coordinates, truncated toward zero.
    float s = 65536.0f / invZ;
    int32_t uA = truncateToInt32(s * uOverZ);
    int32_t vA = truncateToInt32(s * vOverZ);
    while (n >= 16) {
        invZ += 16.0f * dInvZ;
        uOverZ += 16.0f * dUOverZ;
        vOverZ += 16.0f * dVOverZ;
        s = 65536.0f / invZ;
        const int32_t uB = truncateToInt32(s * uOverZ);
        const int32_t vB = truncateToInt32(s * vOverZ);
        sample(state, uA, runStep(uA, uB, 16), vA, runStep(vA, vB, 16), p, p + 16);
        p += 16;
        n -= 16;
        uA = uB;
        vA = vB;
    }
    if (n == 1) {
        // One pixel is sampled where the run starts; its step is never used.
        sample(state, uA, 0, vA, 0, p, p + 1);
    } else if (n > 0) {
        // The last run's end value is taken just past the span.
        const float m = (float)n;
        s = 65536.0f / (invZ + m * dInvZ);
        const int32_t uB = truncateToInt32(s * (uOverZ + m * dUOverZ));
        const int32_t vB = truncateToInt32(s * (vOverZ + m * dVOverZ));
        sample(state, uA, runStep(uA, uB, n), vA, runStep(vA, vB, n), p, p + n);
    }
}

// Per-pixel step of a run, truncated toward zero.
static inline int32_t runStep(int32_t from, int32_t to, int32_t pixels)
{
    // Most spans of a far-off board are one pixel long: no division then.
    if (pixels == 1)
        return (int32_t)((uint32_t)to - (uint32_t)from);
    return (int32_t)(uint32_t)(((int64_t)to - (int64_t)from) / pixels);
}
