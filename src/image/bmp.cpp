#include "image/image.h"

#include <cstring>

#include "platform/platform.h"

enum { BMP_HEADER_SIZE = 54 };

static uint32_t readU16(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

static uint32_t readU32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void putU16(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

// 3 bytes a pixel, padded to the next multiple of 4. width <= 16384 keeps
// this far from overflow.
static int32_t rowSize(int32_t width)
{
    return (3 * width + 3) & ~3;
}

void imageRelease(Image* image)
{
    if (!image)
        return;
    heapFree(image->pixels);
    heapFree(image);
}

// Fills the pixels from the rows at `rows`, bottom row first; the caller has
// checked that the bytes hold them all.
static void readRows(const uint8_t* rows, Image* image)
{
    const size_t size = (size_t)rowSize(image->width);
    for (int32_t y = image->height - 1; y >= 0; y--, rows += size) {
        uint32_t* out = image->pixels + (size_t)y * (size_t)image->width;
        for (int32_t x = 0; x < image->width; x++) {
            const uint8_t* t = rows + 3 * x;
            out[x] = (uint32_t)t[2] << 16 | (uint32_t)t[1] << 8 | t[0];
        }
    }
}

const char* imageLoadReason()
{
    return readReason.line;
}

// 1 when the header describes a picture this reader takes, else 0 with the
// reason.
static int checkHeader(const char* name, const uint8_t* header)
{
    const int32_t width = (int32_t)readU32(header + 18);
    const int32_t height = (int32_t)readU32(header + 22);
    if (readU16(header) != 0x4D42)
        return readFail(name, "does not begin with 'BM', so it is no BMP file");
    if (readU16(header + 28) != 24)
        return readFail(name, "%d bits a pixel; only 24-bit BMPs are read", (int)readU16(header + 28));
    if (readU32(header + 30) != 0)
        return readFail(name, "compression %lu; only uncompressed BMPs are read", (unsigned long)readU32(header + 30));
    if (height < 0)
        return readFail(name, "height %ld: its rows are stored top-down; only bottom-up BMPs are read", (long)height);
    if (width < 1 || width > BMP_MAX_SIDE || height < 1 || height > BMP_MAX_SIDE)
        return readFail(name, "its size %ld x %ld is outside 1 to %d a side", (long)width, (long)height,
                        (int)BMP_MAX_SIDE);
    return 1;
}

Image* readBmpBytes(const uint8_t* bytes, size_t size, const char* name)
{
    readReasonClear();
    if (size < BMP_HEADER_SIZE) {
        readFail(name, "the file is shorter than the %d-byte BMP header", (int)BMP_HEADER_SIZE);
        return nullptr;
    }
    if (!checkHeader(name, bytes))
        return nullptr;
    const int32_t width = (int32_t)readU32(bytes + 18);
    const int32_t height = (int32_t)readU32(bytes + 22);
    // A file too short for its rows is refused before the pixels are allocated.
    const size_t available = size - BMP_HEADER_SIZE;
    const int64_t needed = (int64_t)rowSize(width) * height;
    if ((uint64_t)available < (uint64_t)needed) {
        readFail(name,
                 "the file ends before its pixels: %ld x %ld needs %ld bytes of rows, the rest of the file holds %ld",
                 (long)width, (long)height, (long)needed, (long)available);
        return nullptr;
    }
    Image* image = (Image*)heapAlloc(sizeof(Image));
    if (image) {
        image->width = width;
        image->height = height;
        image->pixels = (uint32_t*)heapAlloc((size_t)width * (size_t)height * 4);
    }
    if (!image || !image->pixels) {
        heapFree(image);
        readFail(name, "out of memory");
        return nullptr;
    }
    readRows(bytes + BMP_HEADER_SIZE, image);
    return image;
}

Image* readBmp(const char* path)
{
    // Bytes past the largest picture's rows are never looked at.
    const size_t most = BMP_HEADER_SIZE + (size_t)rowSize(BMP_MAX_SIDE) * BMP_MAX_SIDE;
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path, most, &bytes, &size))
        return nullptr;
    Image* image = readBmpBytes(bytes, size, path);
    heapFree(bytes);
    return image;
}

static void fillHeaders(uint8_t* header, const Image* image, uint32_t imageSize)
{
    memset(header, 0, BMP_HEADER_SIZE);
    putU16(header, 0x4D42);
    putU32(header + 2, imageSize ? BMP_HEADER_SIZE + imageSize : 0);
    putU32(header + 10, BMP_HEADER_SIZE);
    putU32(header + 14, 40);
    putU32(header + 18, (uint32_t)image->width);
    putU32(header + 22, (uint32_t)image->height);
    putU16(header + 26, 1);
    putU16(header + 28, 24);
    putU32(header + 34, imageSize);
    // The resolution is 96 in the format's own unit, pixels per metre.
    putU32(header + 38, 96);
    putU32(header + 42, 96);
}

int writeBmp(const char* path, const Image* image)
{
    if (image->width < 1 || image->height < 1 || image->width > BMP_MAX_SIDE || image->height > BMP_MAX_SIDE)
        return 0;
    const int32_t size = rowSize(image->width);
    uint8_t* row = (uint8_t*)heapCalloc(1, (size_t)size);
    if (!row)
        return 0;
    FILE* file = fileOpen(path, "wb");
    if (!file) {
        heapFree(row);
        return 0;
    }
    // Placeholder headers with zero sizes; the real ones follow the rows.
    uint8_t header[BMP_HEADER_SIZE];
    fillHeaders(header, image, 0);
    int ok = fwrite(header, 1, sizeof header, file) == sizeof header;
    for (int32_t y = image->height - 1; ok && y >= 0; y--) {
        const uint32_t* in = image->pixels + (size_t)y * (size_t)image->width;
        for (int32_t x = 0; x < image->width; x++) {
            row[3 * x] = (uint8_t)(in[x] >> 16);
            row[3 * x + 1] = (uint8_t)(in[x] >> 8);
            row[3 * x + 2] = (uint8_t)in[x];
        }
        ok = fwrite(row, 1, (size_t)size, file) == (size_t)size;
    }
    if (ok) {
        fillHeaders(header, image, (uint32_t)size * (uint32_t)image->height);
        ok = fseek(file, 0, SEEK_SET) == 0 && fwrite(header, 1, sizeof header, file) == sizeof header;
    }
    if (fclose(file) != 0)
        ok = 0;
    heapFree(row);
    return ok;
}
