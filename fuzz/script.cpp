// The replay runner's script parser on arbitrary text.
#include <cstddef>
#include <cstdint>

#include "platform/headless/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Script script = {};
    char error[128];
    if (scriptParse((const char*)data, size, &script, error, sizeof error))
        scriptRelease(&script);
    return 0;
}
