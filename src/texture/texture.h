// Textures: the TGA reader and the rip-map texture pyramid with its shade table.
#pragma once

#include <cstdint>
#include <cstdio>

struct Scene;

// The 18-byte TGA header, field by field in file order.
struct TgaHeader {
    uint8_t idLength;
    uint8_t colorMapType;
    uint8_t imageType;
    uint16_t colorMapFirst;
    uint16_t colorMapLength;
    uint8_t colorMapEntrySize;
    uint16_t xOrigin;
    uint16_t yOrigin;
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;
    uint8_t imageDescriptor;
};

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
