#include "texture/texture_local.h"

#include <cstring>

#include "platform/platform.h"

const char* textureLoadReason()
{
    return readReason.line;
}

// ---- Reading -----------------------------------------------------------------

// Larger sides are refused before anything is allocated; atlases are a few
// hundred texels across.
enum { TGA_MAX_SIDE = 16384 };

// The smallest packet header covers up to 128 pixels with one value byte.
enum { TGA_RUN_PIXELS = 128, TGA_RUN_BYTES = 2 };

// The most bytes a file can have read: header, image ID, a colour map of 256
// 32-bit entries, and rows that take at most two bytes a pixel (one-pixel raw
// packets) and a last raw packet's 127 dropped pixels. Bytes beyond are never
// looked at, so the path reader leaves them unread.
static const size_t TGA_MOST_BYTES =
    18 + 255 + TGA_PALETTE_SIZE * 4 + (size_t)TGA_MAX_SIDE * (2 * (size_t)TGA_MAX_SIDE + TGA_RUN_PIXELS - 1);

static uint8_t readU8(TgaBytes* in)
{
    if (in->pos >= in->size) {
        in->ended = 1;
        return 0;
    }
    return in->bytes[in->pos++];
}

// A value cut by the end of the bytes reads as 0.
static uint16_t readU16(TgaBytes* in)
{
    const uint8_t lo = readU8(in);
    const uint8_t hi = readU8(in);
    return in->ended ? 0 : (uint16_t)(lo | hi << 8);
}

static void skipBytes(TgaBytes* in, size_t count)
{
    const size_t left = in->size - in->pos;
    if (count > left)
        in->ended = 1;
    in->pos += count < left ? count : left;
}

TgaHeader readTgaHeader(TgaBytes* in)
{
    TgaHeader h;
    h.idLength = readU8(in);
    h.colorMapType = readU8(in);
    h.imageType = readU8(in);
    h.colorMapFirst = readU16(in);
    h.colorMapLength = readU16(in);
    h.colorMapEntrySize = readU8(in);
    h.xOrigin = readU16(in);
    h.yOrigin = readU16(in);
    h.width = readU16(in);
    h.height = readU16(in);
    h.pixelDepth = readU8(in);
    h.imageDescriptor = readU8(in);
    return h;
}

int decodeRleRow(uint8_t* row, int32_t width, TgaBytes* in)
{
    int32_t count = 0;
    while (count < width) {
        if (in->pos >= in->size)
            return 0;
        const uint8_t h = in->bytes[in->pos++];
        const int32_t n = (h & 0x7F) + 1;
        // Pixels past the row's end are read (raw) or repeated (run) but never
        // stored: a packet does not carry over into the next row.
        const int32_t kept = n < width - count ? n : width - count;
        const size_t valueBytes = h & 0x80 ? 1 : (size_t)n;
        if (in->size - in->pos < valueBytes)
            return 0;
        if (h & 0x80)
            memset(row + count, in->bytes[in->pos], (size_t)kept);
        else
            memcpy(row + count, in->bytes + in->pos, (size_t)kept);
        in->pos += valueBytes;
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
static int readColorMap(TgaBytes* in, const char* name, const TgaHeader& h, uint8_t palette[][3])
{
    const int size = h.colorMapEntrySize;
    if (h.colorMapLength > 0 && size != 15 && size != 16 && size != 24 && size != 32)
        return readFail(name, "colour-map entries of %d bits; only 15, 16, 24 and 32 are read", size);
    for (int i = 0; i < h.colorMapLength; i++) {
        if (size == 15 || size == 16) {
            // 5 bits a channel shifted up by 3: 0x1F becomes 0xF8, not 0xFF.
            const uint16_t w = readU16(in);
            palette[i][0] = (uint8_t)((w & 0x1F) << 3);
            palette[i][1] = (uint8_t)(((w >> 5) & 0x1F) << 3);
            palette[i][2] = (uint8_t)(((w >> 10) & 0x1F) << 3);
        } else {
            palette[i][0] = readU8(in);
            palette[i][1] = readU8(in);
            palette[i][2] = readU8(in);
            if (size == 32)
                readU8(in);
        }
    }
    return !in->ended || readFail(name, "the file ends inside its colour map of %d entries", h.colorMapLength);
}

// Bytes the pixel data needs at the very least: one byte a pixel plain, one
// 128-pixel run packet of two bytes packed.
static uint64_t leastPixelBytes(int32_t width, int32_t height, int packed)
{
    if (!packed)
        return (uint64_t)width * (uint64_t)height;
    return (uint64_t)((width + TGA_RUN_PIXELS - 1) / TGA_RUN_PIXELS) * TGA_RUN_BYTES * (uint64_t)height;
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

TgaImage* readTgaBytes(const uint8_t* bytes, size_t size, const char* name)
{
    readReasonClear();
    TgaBytes in = {bytes, size, 0, 0};
    const TgaHeader h = readTgaHeader(&in);
    if (in.ended) {
        readFail(name, "the file is shorter than the 18-byte TGA header");
        return nullptr;
    }
    skipBytes(&in, h.idLength);
    if (in.ended) {
        readFail(name, "the file ends inside its image ID of %d bytes", h.idLength);
        return nullptr;
    }
    if (h.imageType != 1 && h.imageType != 3 && h.imageType != 9 && h.imageType != 11) {
        readFail(name, "image type %d %s", h.imageType, typeProblem(h.imageType));
        return nullptr;
    }
    if (h.colorMapLength > TGA_PALETTE_SIZE) {
        readFail(name, "its colour map has %d entries, more than the %d that one-byte indices reach",
                 h.colorMapLength, (int)TGA_PALETTE_SIZE);
        return nullptr;
    }
    if (h.width == 0 || h.height == 0 || h.width > TGA_MAX_SIDE || h.height > TGA_MAX_SIDE) {
        readFail(name, "its size %d x %d is outside 1 to %d a side", h.width, h.height, (int)TGA_MAX_SIDE);
        return nullptr;
    }

    uint8_t working[TGA_PALETTE_SIZE][3] = {};
    if (!readColorMap(&in, name, h, working))
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
        readFail(name, "a colour-mapped image without a colour map");
        return nullptr;
    }
    const int32_t width = h.width, height = h.height;
    const uint64_t left = in.size - in.pos, least = leastPixelBytes(width, height, packed);
    if (left < least) {
        readFail(name,
                 "the file ends before its pixels: %d x %d %s pixels need at least %lu bytes, the rest of the "
                 "file holds %lu",
                 (int)width, (int)height, packed ? "packed" : "plain", (unsigned long)least, (unsigned long)left);
        return nullptr;
    }

    TgaImage* image = (TgaImage*)heapCalloc(1, sizeof(TgaImage));
    if (!image) {
        readFail(name, "out of memory");
        return nullptr;
    }
    image->width = width;
    image->height = height;
    image->paletteCount = paletteCount;
    image->indices = (uint8_t*)heapAlloc((size_t)width * (size_t)height);
    image->palette = (uint32_t*)heapAlloc((size_t)paletteCount * sizeof(uint32_t));
    if (!image->indices || !image->palette) {
        tgaRelease(image);
        readFail(name, "out of memory");
        return nullptr;
    }
    for (int32_t i = 0; i < paletteCount; i++)
        image->palette[i] = (uint32_t)working[i][2] << 16 | (uint32_t)working[i][1] << 8 | working[i][0];

    const int topFirst = (h.imageDescriptor & 0x20) != 0;
    for (int32_t r = 0; r < height; r++) {
        uint8_t* row = image->indices + (size_t)(topFirst ? r : height - 1 - r) * (size_t)width;
        // Plain rows were counted against the bytes above; packed ones may
        // still end early.
        if (!packed) {
            memcpy(row, in.bytes + in.pos, (size_t)width);
            in.pos += (size_t)width;
        } else if (!decodeRleRow(row, width, &in)) {
            tgaRelease(image);
            readFail(name, "the file ends inside pixel row %d of %d", (int)r + 1, (int)height);
            return nullptr;
        }
    }
    // An index without a palette entry would have no row in the shade table.
    if (paletteCount < TGA_PALETTE_SIZE) {
        const size_t count = (size_t)width * (size_t)height;
        for (size_t i = 0; i < count; i++) {
            if (image->indices[i] >= paletteCount) {
                readFail(name, "pixel (%d, %d) has colour index %d, but the colour map has %d entries",
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
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path, TGA_MOST_BYTES, &bytes, &size))
        return nullptr;
    TgaImage* image = readTgaBytes(bytes, size, path);
    heapFree(bytes);
    return image;
}
