#include "texture/texture_local.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "platform/platform.h"

// ---- The reason, for the whole texture area -----------------------------------

static char loadReason[TEXTURE_REASON_SIZE];

const char* textureLoadReason()
{
    return loadReason;
}

void textureReasonClear()
{
    loadReason[0] = '\0';
}

int textureFail(const char* path, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    reasonFormat(loadReason, sizeof loadReason, path, format, args);
    va_end(args);
    return 0;
}

// ---- Reading -----------------------------------------------------------------

// Larger sides are refused before anything is allocated; atlases are a few
// hundred texels across.
enum { TGA_MAX_SIDE = 16384 };

// The smallest packet header covers up to 128 pixels with one value byte.
enum { TGA_RUN_PIXELS = 128, TGA_RUN_BYTES = 2 };

static uint16_t readU16(FILE* stream)
{
    const int lo = fgetc(stream);
    const int hi = fgetc(stream);
    if (lo == EOF || hi == EOF)
        return 0;
    return (uint16_t)(lo | hi << 8);
}

static uint8_t readU8(FILE* stream)
{
    const int c = fgetc(stream);
    return c == EOF ? 0 : (uint8_t)c;
}

TgaHeader readTgaHeader(FILE* stream)
{
    TgaHeader h;
    h.idLength = readU8(stream);
    h.colorMapType = readU8(stream);
    h.imageType = readU8(stream);
    h.colorMapFirst = readU16(stream);
    h.colorMapLength = readU16(stream);
    h.colorMapEntrySize = readU8(stream);
    h.xOrigin = readU16(stream);
    h.yOrigin = readU16(stream);
    h.width = readU16(stream);
    h.height = readU16(stream);
    h.pixelDepth = readU8(stream);
    h.imageDescriptor = readU8(stream);
    return h;
}

int decodeRleRow(uint8_t* row, int32_t width, FILE* stream)
{
    int32_t count = 0;
    while (count < width) {
        const int h = fgetc(stream);
        if (h == EOF)
            return 0;
        const int32_t n = (h & 0x7F) + 1;
        // Pixels past the row's end are read (raw) or repeated (run) but never
        // stored: a packet does not carry over into the next row.
        const int32_t kept = n < width - count ? n : width - count;
        if (h & 0x80) {
            const int value = fgetc(stream);
            if (value == EOF)
                return 0;
            memset(row + count, value, (size_t)kept);
        } else {
            for (int32_t i = 0; i < n; i++) {
                const int value = fgetc(stream);
                if (value == EOF)
                    return 0;
                if (i < kept)
                    row[count + i] = (uint8_t)value;
            }
        }
        count += n;
    }
    return 1;
}

void tgaRelease(TgaImage* image)
{
    if (!image)
        return;
    heapFree(image->indices);
    heapFree(image->palette);
    heapFree(image);
}

// Reads colour-map entries into the working palette (blue, green, red). Entry
// size 15 is the 16-bit layout with its top bit unused. 1, or 0 with the
// reason on an unknown entry size or an early end of file.
static int readColorMap(FILE* stream, const char* path, const TgaHeader& h, uint8_t palette[][3])
{
    const int size = h.colorMapEntrySize;
    if (h.colorMapLength > 0 && size != 15 && size != 16 && size != 24 && size != 32)
        return textureFail(path, "colour-map entries of %d bits; only 15, 16, 24 and 32 are read", size);
    for (int i = 0; i < h.colorMapLength; i++) {
        if (size == 15 || size == 16) {
            // 5 bits a channel shifted up by 3: 0x1F becomes 0xF8, not 0xFF.
            const uint16_t w = readU16(stream);
            palette[i][0] = (uint8_t)((w & 0x1F) << 3);
            palette[i][1] = (uint8_t)(((w >> 5) & 0x1F) << 3);
            palette[i][2] = (uint8_t)(((w >> 10) & 0x1F) << 3);
        } else {
            palette[i][0] = readU8(stream);
            palette[i][1] = readU8(stream);
            palette[i][2] = readU8(stream);
            if (size == 32)
                readU8(stream);
        }
    }
    return !feof(stream) || textureFail(path, "the file ends inside its colour map of %d entries", h.colorMapLength);
}

// Bytes the pixel data needs at the very least: one byte a pixel plain, one
// 128-pixel run packet of two bytes packed.
static uint64_t leastPixelBytes(int32_t width, int32_t height, int packed)
{
    if (!packed)
        return (uint64_t)width * (uint64_t)height;
    return (uint64_t)((width + TGA_RUN_PIXELS - 1) / TGA_RUN_PIXELS) * TGA_RUN_BYTES * (uint64_t)height;
}

static uint64_t bytesLeft(FILE* stream)
{
    const long here = ftell(stream);
    if (here < 0 || fseek(stream, 0, SEEK_END) != 0)
        return 0;
    const long end = ftell(stream);
    if (end < here || fseek(stream, here, SEEK_SET) != 0)
        return 0;
    return (uint64_t)(end - here);
}

// Why an image type is refused.
static const char* typeProblem(int type)
{
    if (type == 0)
        return "holds no image";
    if (type == 2 || type == 10)
        return "is true-colour; a texture is colour-mapped or greyscale, one byte a pixel";
    return "is not a colour-mapped, true-colour or greyscale TGA";
}

// Everything after the open: returns the image or null with the reason set,
// never closes.
static TgaImage* readTgaStream(FILE* stream, const char* path)
{
    const TgaHeader h = readTgaHeader(stream);
    if (feof(stream)) {
        textureFail(path, "the file is shorter than the 18-byte TGA header");
        return nullptr;
    }
    for (int i = 0; i < h.idLength; i++)
        readU8(stream);
    if (feof(stream)) {
        textureFail(path, "the file ends inside its image ID of %d bytes", h.idLength);
        return nullptr;
    }
    if (h.imageType != 1 && h.imageType != 3 && h.imageType != 9 && h.imageType != 11) {
        textureFail(path, "image type %d %s", h.imageType, typeProblem(h.imageType));
        return nullptr;
    }
    if (h.colorMapLength > TGA_PALETTE_SIZE) {
        textureFail(path, "its colour map has %d entries, more than the %d that one-byte indices reach",
                    h.colorMapLength, (int)TGA_PALETTE_SIZE);
        return nullptr;
    }
    if (h.width == 0 || h.height == 0 || h.width > TGA_MAX_SIDE || h.height > TGA_MAX_SIDE) {
        textureFail(path, "its size %d x %d is outside 1 to %d a side", h.width, h.height, (int)TGA_MAX_SIDE);
        return nullptr;
    }

    uint8_t working[TGA_PALETTE_SIZE][3] = {};
    if (!readColorMap(stream, path, h, working))
        return nullptr;
    const int packed = (h.imageType & 8) != 0;
    // Plain greyscale always reads through the ramp. A packed greyscale file
    // keeps a colour map it carries; without one its indices would have no
    // colours at all, so it gets the ramp too.
    const int ramp = h.imageType == 3 || (h.imageType == 11 && h.colorMapLength == 0);
    int32_t paletteCount = h.colorMapLength;
    if (ramp) {
        for (int i = 0; i < TGA_PALETTE_SIZE; i++)
            working[i][0] = working[i][1] = working[i][2] = (uint8_t)i;
        paletteCount = TGA_PALETTE_SIZE;
    }
    // Without a palette every index would be out of range.
    if (paletteCount == 0) {
        textureFail(path, "a colour-mapped image without a colour map");
        return nullptr;
    }
    const int32_t width = h.width, height = h.height;
    const uint64_t left = bytesLeft(stream), least = leastPixelBytes(width, height, packed);
    if (left < least) {
        textureFail(path,
                    "the file ends before its pixels: %d x %d %s pixels need at least %lu bytes, the rest of the "
                    "file holds %lu",
                    (int)width, (int)height, packed ? "packed" : "plain", (unsigned long)least, (unsigned long)left);
        return nullptr;
    }

    TgaImage* image = (TgaImage*)heapCalloc(1, sizeof(TgaImage));
    if (!image) {
        textureFail(path, "out of memory");
        return nullptr;
    }
    image->width = width;
    image->height = height;
    image->paletteCount = paletteCount;
    image->indices = (uint8_t*)heapAlloc((size_t)width * (size_t)height);
    image->palette = (uint32_t*)heapAlloc((size_t)paletteCount * sizeof(uint32_t));
    if (!image->indices || !image->palette) {
        tgaRelease(image);
        textureFail(path, "out of memory");
        return nullptr;
    }
    for (int32_t i = 0; i < paletteCount; i++)
        image->palette[i] = (uint32_t)working[i][2] << 16 | (uint32_t)working[i][1] << 8 | working[i][0];

    const int topFirst = (h.imageDescriptor & 0x20) != 0;
    for (int32_t r = 0; r < height; r++) {
        uint8_t* row = image->indices + (size_t)(topFirst ? r : height - 1 - r) * (size_t)width;
        const int ok = packed ? decodeRleRow(row, width, stream) : fread(row, 1, (size_t)width, stream) == (size_t)width;
        if (!ok) {
            tgaRelease(image);
            textureFail(path, "the file ends inside pixel row %d of %d", (int)r + 1, (int)height);
            return nullptr;
        }
    }
    // An index without a palette entry would have no row in the shade table.
    if (paletteCount < TGA_PALETTE_SIZE) {
        const size_t count = (size_t)width * (size_t)height;
        for (size_t i = 0; i < count; i++) {
            if (image->indices[i] >= paletteCount) {
                textureFail(path, "pixel (%d, %d) has colour index %d, but the colour map has %d entries",
                            (int)(i % (size_t)width), (int)(i / (size_t)width), image->indices[i], (int)paletteCount);
                tgaRelease(image);
                return nullptr;
            }
        }
    }
    return image;
}

TgaImage* readTga(const char* path)
{
    textureReasonClear();
    errno = 0;
    FILE* stream = fileOpen(path, "rb");
    if (!stream) {
        textureFail(path, "cannot be opened (%s)", errno ? strerror(errno) : "no such file");
        return nullptr;
    }
    TgaImage* image = readTgaStream(stream, path);
    fclose(stream);
    return image;
}
