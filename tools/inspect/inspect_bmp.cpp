#include <cstdio>
#include <cstring>

#include "image/image.h"
#include "inspect.h"

// bmp FILE [--pixels OUT]: OUT gets W x H little-endian 0x00RRGGBB, top row first.
int inspectBmp(int argc, char** argv)
{
    const char* pixelsOut = nullptr;
    if (argc == 3 && strcmp(argv[1], "--pixels") == 0)
        pixelsOut = argv[2];
    else if (argc != 1)
        return inspectError("usage: bmp FILE [--pixels OUT]");
    Image* image = readBmp(argv[0]);
    if (!image)
        return inspectError(imageLoadReason());
    int ok = 1;
    if (pixelsOut) {
        FILE* out = fopen(pixelsOut, "wb");
        ok = out != nullptr;
        const size_t count = (size_t)image->width * (size_t)image->height;
        for (size_t i = 0; ok && i < count; i++) {
            const uint32_t p = image->pixels[i];
            const unsigned char bytes[4] = {(unsigned char)p, (unsigned char)(p >> 8), (unsigned char)(p >> 16), 0};
            ok = fwrite(bytes, 1, 4, out) == 4;
        }
        if (out && fclose(out) != 0)
            ok = 0;
    }
    const int width = image->width, height = image->height;
    imageRelease(image);
    if (!ok)
        return inspectError("cannot write the pixel file");
    printf("{\"width\": %d, \"height\": %d}\n", width, height);
    return 0;
}
