// readTgaBytes and textureLoadBytes on the same arbitrary bytes; both results
// released.
#include "texture/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tgaRelease(readTgaBytes(data, size, "input.tga"));
    textureRelease(textureLoadBytes(data, size, "input.tga"));
    return 0;
}
