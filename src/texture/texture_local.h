// The TGA reader's own parts and the texture area's failure reason. Only the
// texture area and its tests include this.
#pragma once

#include <cstdint>
#include <cstdio>

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

// Reads the 18 header bytes field by field; fields past the end of the file
// read as 0 (the caller checks the stream's end-of-file flag).
TgaHeader readTgaHeader(FILE* stream);
// Fills one row of width bytes from run-length packets. A packet that runs past
// the row is read whole and its surplus dropped. Returns 1, or 0 when the file
// ends before the row is full.
int decodeRleRow(uint8_t* row, int32_t width, FILE* stream);

enum { TEXTURE_REASON_SIZE = 512 };
// Sets textureLoadReason to "<path>: <text>" and returns 0, so a failing step
// can `return textureFail(...)`.
int textureFail(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Empties the reason: every public entry starts with this.
void textureReasonClear();
