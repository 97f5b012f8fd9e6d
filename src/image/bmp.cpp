#include "image/image.h"

#include <cerrno>
#include <cstdarg>
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

// Reads the rows of an open file positioned at the pixel data; 1 or 0.
static int readRows(FILE* file, Image* image, uint8_t* row)
{
    const int32_t size = rowSize(image->width);
    for (int32_t y = image->height - 1; y >= 0; y--) {
        if (fread(row, 1, (size_t)size, file) != (size_t)size)
            return 0;
        uint32_t* out = image->pixels + (size_t)y * (size_t)image->width;
        for (int32_t x = 0; x < image->width; x++) {
            const uint8_t* t = row + 3 * x;
            out[x] = (uint32_t)t[2] << 16 | (uint32_t)t[1] << 8 | t[0];
        }
    }
    return 1;
}

static char loadReason[512];

const char* imageLoadReason()
{
    return loadReason;
}

// Sets the reason to "<path>: <text>"; returns 0.
static int bmpFail(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
static int bmpFail(const char* path, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    reasonFormat(loadReason, sizeof loadReason, path, format, args);
    va_end(args);
    return 0;
}

// 1 when the header describes a picture this reader takes, else 0 with the
// reason.
static int checkHeader(const char* path, const uint8_t* header)
{
    const int32_t width = (int32_t)readU32(header + 18);
    const int32_t height = (int32_t)readU32(header + 22);
    if (readU16(header) != 0x4D42)
        return bmpFail(path, "does not begin with 'BM', so it is no BMP file");
    if (readU16(header + 28) != 24)
        return bmpFail(path, "%d bits a pixel; only 24-bit BMPs are read", (int)readU16(header + 28));
    if (readU32(header + 30) != 0)
        return bmpFail(path, "compression %lu; only uncompressed BMPs are read", (unsigned long)readU32(header + 30));
    if (height < 0)
        return bmpFail(path, "height %ld: its rows are stored top-down; only bottom-up BMPs are read", (long)height);
    if (width < 1 || width > BMP_MAX_SIDE || height < 1 || height > BMP_MAX_SIDE)
        return bmpFail(path, "its size %ld x %ld is outside 1 to %d a side", (long)width, (long)height,
                       (int)BMP_MAX_SIDE);
    return 1;
}

Image* readBmp(const char* path)
{
    loadReason[0] = '\0';
    errno = 0;
    FILE* file = fileOpen(path, "rb");
    if (!file) {
        bmpFail(path, "cannot be opened (%s)", errno ? strerror(errno) : "no such file");
        return nullptr;
    }
    uint8_t header[BMP_HEADER_SIZE];
    Image* image = nullptr;
    uint8_t* row = nullptr;
    int ok = fread(header, 1, sizeof header, file) == sizeof header
        || bmpFail(path, "the file is shorter than the %d-byte BMP header", (int)BMP_HEADER_SIZE);
    ok = ok && checkHeader(path, header);
    if (ok) {
        const int32_t width = (int32_t)readU32(header + 18);
        const int32_t height = (int32_t)readU32(header + 22);
        // A file too short for its rows is refused before the pixels are allocated.
        long available = -1;
        if (fseek(file, 0, SEEK_END) == 0) {
            available = ftell(file) - BMP_HEADER_SIZE;
            if (fseek(file, BMP_HEADER_SIZE, SEEK_SET) != 0)
                available = -1;
        }
        const int64_t needed = (int64_t)rowSize(width) * height;
        if (available < 0)
            ok = bmpFail(path, "cannot be read: its size is unknown (%s)", strerror(errno));
        else if ((int64_t)available < needed)
            ok = bmpFail(path,
                         "the file ends before its pixels: %ld x %ld needs %ld bytes of rows, the rest of the file "
                         "holds %ld",
                         (long)width, (long)height, (long)needed, available);
        if (ok) {
            image = (Image*)heapAlloc(sizeof(Image));
            if (image) {
                image->width = width;
                image->height = height;
                image->pixels = (uint32_t*)heapAlloc((size_t)width * (size_t)height * 4);
                row = (uint8_t*)heapAlloc((size_t)rowSize(width));
            }
            ok = (image && image->pixels && row) || bmpFail(path, "out of memory");
            ok = ok && (readRows(file, image, row) || bmpFail(path, "a pixel row cannot be read whole"));
        }
    }
    heapFree(row);
    fclose(file);
    if (!ok) {
        imageRelease(image);
        return nullptr;
    }
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
