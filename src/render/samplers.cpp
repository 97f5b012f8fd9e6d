#include "render/render_local.h"
#include "texture/texture.h"

void buildWeightTables()
{
    for (int fv = 0; fv < 64; fv++) {
        for (int fu = 0; fu < 64; fu++) {
            const int k = fv * 64 + fu;
            // Floors of products that add up to 63 * 63 sum to 59..62; the
            // top-left weight takes the difference so every entry sums to 63.
            const int tl = (63 - fu) * (63 - fv) / 64;
            const int tr = fu * (63 - fv) / 64;
            const int bl = (63 - fu) * fv / 64;
            const int br = fu * fv / 64;
            renderer.weightTopLeft[k] = (int8_t)(tl + 63 - (tl + tr + bl + br));
            renderer.weightTopRight[k] = (int8_t)tr;
            renderer.weightBottomLeft[k] = (int8_t)bl;
            renderer.weightBottomRight[k] = (int8_t)br;
        }
    }
}

void samplerLoad(SamplerState* state, const Texture* texture, int32_t level, int32_t light)
{
    const TextureLevel* l = &texture->levels[level];
    state->texels = l->texels;
    state->uMask = l->uMask;
    state->rowMask = l->rowMask;
    state->sizeMask = l->sizeMask;
    state->vShift = l->vShift;
    state->below = l->width;
    state->belowRight = l->width + 1;
    state->shades = texture->shades;
    state->light = light;
}

// Each channel times light / 256 with two multiplications: red and blue
// together, green alone. Exact per channel for light 0..256.
static inline uint32_t applyLight(uint32_t colour, uint32_t light)
{
    const uint32_t redBlue = (colour & 0xFF00FF) * light;
    const uint32_t green = (colour & 0xFF00) * light;
    return ((redBlue & 0xFF00FFFF) | (green & 0x00FF0000)) >> 8;
}

// Coordinates step with wrap-around, like the 32-bit registers they model.
static inline int32_t stepCoordinate(int32_t value, int32_t step)
{
    return (int32_t)((uint32_t)value + (uint32_t)step);
}

void sampleBilinear(const SamplerState* state, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first,
    uint32_t* last)
{
    const SamplerState s = *state;
    const uint32_t light = (uint32_t)s.light;
    do {
        // Arithmetic shifts: negative coordinates wrap through the masks too.
        const int32_t p = ((v >> s.vShift) & s.rowMask) + ((u >> 16) & s.uMask);
        const int32_t k = ((v >> 10) & 63) * 64 + ((u >> 10) & 63);
        // Neighbours wrap through the whole level, not within the row.
        const uint32_t t0 = s.texels[p];
        const uint32_t t1 = s.texels[(p + 1) & s.sizeMask];
        const uint32_t t2 = s.texels[(p + s.below) & s.sizeMask];
        const uint32_t t3 = s.texels[(p + s.belowRight) & s.sizeMask];
        const uint32_t colour = s.shades[t0 * 64 + renderer.weightTopLeft[k]]
            + s.shades[t1 * 64 + renderer.weightTopRight[k]] + s.shades[t2 * 64 + renderer.weightBottomLeft[k]]
            + s.shades[t3 * 64 + renderer.weightBottomRight[k]];
        *first++ = applyLight(colour, light);
        u = stepCoordinate(u, du);
        v = stepCoordinate(v, dv);
    } while (first < last);
}

void sampleNearest(const SamplerState* state, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first,
    uint32_t* last)
{
    const SamplerState s = *state;
    const uint32_t light = (uint32_t)s.light;
    do {
        const int32_t p = ((v >> s.vShift) & s.rowMask) + ((u >> 16) & s.uMask);
        *first++ = applyLight(s.shades[s.texels[p] * 64 + 63], light);
        u = stepCoordinate(u, du);
        v = stepCoordinate(v, dv);
    } while (first < last);
}
