#include "render/render_local.h"
#include "texture/texture.h"

// A 16 x 16 atlas's pyramid: levels of 8, 4 and 2 texels a side in each
// direction, grey checkers of two palette colours. Built in static storage so
// that it can never fail.
enum { DEFAULT_LEVELS = 3, DEFAULT_HALF = 8 };

static uint8_t texels[DEFAULT_LEVELS * DEFAULT_LEVELS][DEFAULT_HALF * DEFAULT_HALF];
static TextureLevel levels[DEFAULT_LEVELS * DEFAULT_LEVELS];
static uint32_t shades[2 * 64];
static Texture texture;

static int log2Of(int32_t n)
{
    int bits = 0;
    while ((1 << (bits + 1)) <= n)
        bits++;
    return bits;
}

Texture* defaultTexture()
{
    if (texture.levels)
        return &texture;
    const uint32_t palette[2] = {0x9A9A9A, 0x5E5E5E};
    for (int i = 0; i < 2; i++) {
        for (uint32_t j = 0; j < 64; j++) {
            const uint32_t c = palette[i];
            shades[i * 64 + j] = ((c >> 16 & 0xFF) * j / 64) << 16 | ((c >> 8 & 0xFF) * j / 64) << 8 | ((c & 0xFF) * j / 64);
        }
    }
    for (int iy = 0; iy < DEFAULT_LEVELS; iy++) {
        for (int jx = 0; jx < DEFAULT_LEVELS; jx++) {
            const int index = iy * DEFAULT_LEVELS + jx;
            const int32_t w = DEFAULT_HALF >> jx, h = DEFAULT_HALF >> iy;
            TextureLevel& level = levels[index];
            level.width = w;
            level.height = h;
            level.texels = texels[index];
            level.uMask = w - 1;
            level.rowMask = (h - 1) * w;
            level.sizeMask = w * h - 1;
            level.vShift = 16 - log2Of(w);
            // Four checkers across the finest level, fewer on coarser ones.
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++)
                    level.texels[y * w + x] = (uint8_t)(((x * 4 / w) + (y * 4 / h)) & 1);
        }
    }
    texture.halfWidth = DEFAULT_HALF;
    texture.halfHeight = DEFAULT_HALF;
    texture.levelsX = DEFAULT_LEVELS;
    texture.levelsY = DEFAULT_LEVELS;
    texture.shades = shades;
    texture.levels = levels;
    return &texture;
}
