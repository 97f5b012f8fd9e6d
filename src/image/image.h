// Images and text overlay: 24-bit BMP files and the bitmap-font text drawers.
#pragma once

#include <cstdint>

// Pixels are row-major, top row first; pixel (x, y) is element y * width + x.
struct Image {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
};

enum { BMP_MAX_SIDE = 16384 };

// Reads an uncompressed 24-bit bottom-up BMP into 0x00RRGGBB pixels. Returns
// null for anything else: a bad type, bit count or compression, a width or
// height outside 1..16384, a file shorter than its pixel rows, no memory.
Image* readBmp(const char* path);
// Releases an Image from readBmp, pixels and record.
void imageRelease(Image* image);
// Writes a 24-bit BMP, taking the pixels as 0x00BBGGRR (blue in bits 16-23).
// Returns 1, or 0 when the file cannot be created or written whole.
int writeBmp(const char* path, const Image* image);
