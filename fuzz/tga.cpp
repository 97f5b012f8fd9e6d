// readTga and textureLoad on the same arbitrary bytes; both results released.
#include "fuzz_support.h"
#include "texture/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzzWriteFile("input.tga", data, size))
        return 0;
    tgaRelease(readTga("input.tga"));
    textureRelease(textureLoad("input.tga"));
    return 0;
}
