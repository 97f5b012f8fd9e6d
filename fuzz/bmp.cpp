// readBmpBytes on arbitrary bytes.
#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    imageRelease(readBmpBytes(data, size, "input.bmp"));
    return 0;
}
