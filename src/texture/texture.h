// Textures: the TGA reader and the rip-map texture pyramid with its shade table.
#pragma once

#include <cstddef>
#include <cstdint>

struct Scene;

// One byte a pixel; indices are row-major, top row first. The palette is
// 0x00RRGGBB. Record, indices and palette are separate heap blocks.
struct TgaImage {
    uint32_t* palette;
    uint8_t* indices;
    int32_t paletteCount;
    int32_t width;
    int32_t height;
};

// One level of the pyramid. With power-of-two sides, ((u >> 16) & uMask) is
// the wrapped column and ((v >> vShift) & rowMask) the wrapped row times width.
struct TextureLevel {
    int32_t width;
    int32_t height;
    uint8_t* texels;
    int32_t uMask;
    int32_t rowMask;
    int32_t sizeMask;
    int32_t vShift;
};

// Level (jx, iy) is levels[iy * levelsX + jx], width halfWidth >> jx and height
// halfHeight >> iy. Shade entry j of palette colour i is shades[i * 64 + j],
// the colour times j / 64 per channel.
struct Texture {
    int32_t halfWidth;
    int32_t halfHeight;
    int32_t levelsX;
    int32_t levelsY;
    uint32_t* shades;
    TextureLevel* levels;
};

enum {
    TGA_PALETTE_SIZE = 256,
    TEXTURE_SHADES = 64,
    TEXTURE_PATH_SIZE = 256,
};

// Reads a one-byte-a-pixel TGA: colour-mapped (1) or greyscale (3), plain or
// run-length packed (9, 11), rows in either order. Greyscale files get the
// grey ramp as palette. Reads size bytes; name stands for the file in the
// reason. Returns null for: any other type, a width or height of 0 or over
// 16384, a colour map over 256 entries or with an entry size other than 15,
// 16, 24 or 32, a colour-mapped file without colour map, bytes too few for the
// pixels, an index at or above the palette count, no memory.
TgaImage* readTgaBytes(const uint8_t* bytes, size_t size, const char* name);
// readTgaBytes on the file at path, or null when it cannot be read.
TgaImage* readTga(const char* path);
// Releases a TgaImage with its indices and palette; null is allowed.
void tgaRelease(TgaImage* image);

// Allocates w x h zero texels and sets the masks; 1, or 0 when out of memory.
// w and h must be powers of two.
int textureLevelInit(TextureLevel* level, int32_t w, int32_t h);
// Cuts the rip-map pyramid out of a TGA atlas and builds the shade table.
// Returns null on an unreadable TGA, on an atlas side that is not a power of
// two or is below 4, or when memory runs out; nothing stays allocated then.
Texture* textureLoadBytes(const uint8_t* bytes, size_t size, const char* name);
Texture* textureLoad(const char* path);
// Releases a Texture with its levels and shade table; null is allowed.
void textureRelease(Texture* texture);
// Gives every material the Texture of "<folder>\<name>.tga". One trailing
// backslash of folder is cut off in place. Returns 1, or 0 at the first
// material whose texture cannot be built (later materials keep null).
int loadMaterialTextures(Scene* scene, char* folder);
// Why the last readTga, textureLoad or loadMaterialTextures failed, in one
// line that starts with the file's path ("Cells\Body.tga: image type 2 is
// true-colour; ..."); "" when it succeeded. The line every reader shares
// (readReason).
const char* textureLoadReason();
