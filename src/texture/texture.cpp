#include "texture/texture_local.h"

#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "scene/scene.h"

// floor(log2(x)) for the exact powers of two used here: the tiny addend lifts
// ln(x) / ln(2) over the integer it may fall just short of, then truncation.
static int32_t log2Floor(int32_t x)
{
    return (int32_t)(std::log((double)x) / std::log(2.0) + 0.0000001);
}

static int isPowerOfTwo(int32_t x)
{
    return x > 0 && (x & (x - 1)) == 0;
}

int textureLevelInit(TextureLevel* level, int32_t w, int32_t h)
{
    level->texels = (uint8_t*)heapCalloc((size_t)w * (size_t)h, 1);
    if (!level->texels)
        return 0;
    level->width = w;
    level->height = h;
    level->uMask = w - 1;
    level->rowMask = (h - 1) * w;
    level->sizeMask = w * h - 1;
    level->vShift = 16 - log2Floor(w);
    return 1;
}

void textureRelease(Texture* texture)
{
    if (!texture)
        return;
    if (texture->levels) {
        for (int32_t i = 0; i < texture->levelsX * texture->levelsY; i++)
            heapFree(texture->levels[i].texels);
        heapFree(texture->levels);
    }
    heapFree(texture->shades);
    heapFree(texture);
}

// Level (jx, iy) starts at column W - (W >> jx), row H - (H >> iy): to the
// right of the wider levels of its row, below the taller level rows.
static int cutLevels(Texture* texture, const TgaImage* atlas)
{
    const int32_t W = atlas->width, H = atlas->height;
    for (int32_t iy = 0; iy < texture->levelsY; iy++) {
        for (int32_t jx = 0; jx < texture->levelsX; jx++) {
            TextureLevel* level = &texture->levels[iy * texture->levelsX + jx];
            const int32_t w = W >> (jx + 1), h = H >> (iy + 1);
            if (!textureLevelInit(level, w, h))
                return 0;
            const int32_t column = W - (W >> jx), top = H - (H >> iy);
            for (int32_t k = 0; k < h; k++)
                memcpy(level->texels + (size_t)k * w, atlas->indices + (size_t)(top + k) * W + column, (size_t)w);
        }
    }
    return 1;
}

// Entry j of colour i is each channel times j / 64, rounded down. A running
// sum per channel, kept in the channel's place, adds the channel once per
// entry; dividing by 64 and masking then leaves floor(c * j / 64) in place
// (63 * 255 << 16 still fits 32 bits).
static void fillShades(uint32_t* shades, const uint32_t* palette, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        const uint32_t red = palette[i] & 0xFF0000, green = palette[i] & 0xFF00, blue = palette[i] & 0xFF;
        uint32_t sumRed = 0, sumGreen = 0, sumBlue = 0;
        for (int32_t j = 0; j < TEXTURE_SHADES; j++) {
            shades[i * TEXTURE_SHADES + j] =
                ((sumRed / TEXTURE_SHADES) & 0xFF0000) | ((sumGreen / TEXTURE_SHADES) & 0xFF00) | (sumBlue / TEXTURE_SHADES);
            sumRed += red;
            sumGreen += green;
            sumBlue += blue;
        }
    }
}

// Cuts the pyramid out of an atlas just read and releases the atlas; name
// stands for its file in the reason.
static Texture* textureFromAtlas(TgaImage* atlas, const char* name)
{
    if (!atlas)
        return nullptr;
    // The masks need power-of-two levels, and sides below 4 leave no level.
    const int32_t W = atlas->width, H = atlas->height;
    if (!isPowerOfTwo(W) || !isPowerOfTwo(H) || W < 4 || H < 4) {
        tgaRelease(atlas);
        readFail(name, "the atlas is %d x %d; both sides must be powers of two from 4", (int)W, (int)H);
        return nullptr;
    }
    Texture* texture = (Texture*)heapCalloc(1, sizeof(Texture));
    if (!texture) {
        tgaRelease(atlas);
        readFail(name, "out of memory");
        return nullptr;
    }
    texture->halfWidth = W / 2;
    texture->halfHeight = H / 2;
    texture->levelsX = log2Floor(W) - 1;
    texture->levelsY = log2Floor(H) - 1;
    const size_t levelCount = (size_t)texture->levelsX * (size_t)texture->levelsY;
    texture->levels = (TextureLevel*)heapCalloc(levelCount, sizeof(TextureLevel));
    int ok = texture->levels != nullptr && cutLevels(texture, atlas);
    if (ok) {
        texture->shades = (uint32_t*)heapAlloc((size_t)atlas->paletteCount * TEXTURE_SHADES * sizeof(uint32_t));
        ok = texture->shades != nullptr;
    }
    if (ok)
        fillShades(texture->shades, atlas->palette, atlas->paletteCount);
    tgaRelease(atlas);
    if (!ok) {
        textureRelease(texture);
        readFail(name, "out of memory");
        return nullptr;
    }
    return texture;
}

Texture* textureLoadBytes(const uint8_t* bytes, size_t size, const char* name)
{
    return textureFromAtlas(readTgaBytes(bytes, size, name), name);
}

Texture* textureLoad(const char* path)
{
    return textureFromAtlas(readTga(path), path);
}

int loadMaterialTextures(Scene* scene, char* folder)
{
    readReasonClear();
    const size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    for (int32_t i = 0; i < scene->materialCount; i++) {
        Material* material = &scene->materials[i];
        if (!material->name)
            return readFail(folder, "material %d has no name to find its texture by", (int)i);
        // The usual path fits the fixed buffer; a longer one gets a block of
        // its own rather than being cut or overrunning.
        char fixed[TEXTURE_PATH_SIZE];
        char* path = fixed;
        const int needed = snprintf(fixed, sizeof fixed, "%s\\%s.tga", folder, material->name);
        if (needed < 0)
            return readFail(folder, "the texture name of material '%s' cannot be formed", material->name);
        if ((size_t)needed >= sizeof fixed) {
            path = (char*)heapAlloc((size_t)needed + 1);
            if (!path)
                return readFail(folder, "out of memory");
            snprintf(path, (size_t)needed + 1, "%s\\%s.tga", folder, material->name);
        }
        material->texture = textureLoad(path);
        if (path != fixed)
            heapFree(path);
        if (!material->texture)
            return 0;
    }
    return 1;
}
