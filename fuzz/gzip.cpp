// Decompression on arbitrary bytes (the seeds are gzip files the fuzzer
// mutates), then the format choice and the reader of whatever came out.
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    patternLimits = PatternLimits{1 << 20, 1 << 20};
    char* text = (char*)heapAlloc(size ? size : 1);
    if (!text)
        return 0;
    memcpy(text, data, size);
    size_t length = size;
    PatternError error;
    if (!patternGunzip(&text, &length, &error))
        return 0;
    Pattern pattern;
    if (parsePattern(detectFormat(text, length, nullptr), text, length, &pattern, &error))
        patternRelease(&pattern);
    heapFree(text);
    return 0;
}
