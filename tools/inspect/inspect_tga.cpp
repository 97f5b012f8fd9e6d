#include <cstdio>
#include <cstring>

#include "inspect.h"
#include "texture/texture.h"

static int writeBytes(const char* path, const void* data, size_t size)
{
    FILE* out = fopen(path, "wb");
    if (!out)
        return 0;
    int ok = fwrite(data, 1, size, out) == size;
    if (fclose(out) != 0)
        ok = 0;
    return ok;
}

// tga FILE [--indices OUT] [--palette OUT]: OUT gets the W x H index bytes,
// top row first, or the palette as little-endian 32-bit 0x00RRGGBB values.
int inspectTga(int argc, char** argv)
{
    const char* indicesOut = nullptr;
    const char* paletteOut = nullptr;
    if (argc < 1 || argc % 2 == 0)
        return inspectError("usage: tga FILE [--indices OUT] [--palette OUT]");
    for (int i = 1; i < argc; i += 2) {
        if (strcmp(argv[i], "--indices") == 0)
            indicesOut = argv[i + 1];
        else if (strcmp(argv[i], "--palette") == 0)
            paletteOut = argv[i + 1];
        else
            return inspectError("usage: tga FILE [--indices OUT] [--palette OUT]");
    }
    TgaImage* image = readTga(argv[0]);
    if (!image)
        return inspectError(textureLoadReason());
    int ok = 1;
    if (indicesOut)
        ok = writeBytes(indicesOut, image->indices, (size_t)image->width * (size_t)image->height);
    if (ok && paletteOut) {
        unsigned char bytes[TGA_PALETTE_SIZE * 4];
        for (int32_t i = 0; i < image->paletteCount; i++)
            for (int k = 0; k < 4; k++)
                bytes[4 * i + k] = (unsigned char)(image->palette[i] >> (8 * k));
        ok = writeBytes(paletteOut, bytes, (size_t)image->paletteCount * 4);
    }
    const int width = image->width, height = image->height, count = image->paletteCount;
    tgaRelease(image);
    if (!ok)
        return inspectError("cannot write the output file");
    printf("{\"width\": %d, \"height\": %d, \"paletteCount\": %d}\n", width, height, count);
    return 0;
}
