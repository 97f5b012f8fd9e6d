// readBmp on arbitrary bytes.
#include "fuzz_support.h"
#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzzWriteFile("input.bmp", data, size))
        return 0;
    imageRelease(readBmp("input.bmp"));
    return 0;
}
