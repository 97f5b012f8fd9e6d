// The TGA reader's own parts. Only the texture area and its tests include
// this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "texture/texture.h"

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

// The bytes being read and the read position. A read past the end yields
// zeros and sets `ended`, as a stream's end-of-file flag would be.
struct TgaBytes {
    const uint8_t* bytes;
    size_t size;
    size_t pos;
    int32_t ended;
};

// Reads the 18 header bytes field by field; fields past the end read as 0
// (the caller checks `ended`).
TgaHeader readTgaHeader(TgaBytes* in);
// Fills one row of width bytes from run-length packets. A packet that runs past
// the row is read whole and its surplus dropped. Returns 1, or 0 when the bytes
// end before the row is full.
int decodeRleRow(uint8_t* row, int32_t width, TgaBytes* in);
