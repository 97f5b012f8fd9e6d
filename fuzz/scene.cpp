// loadScene on arbitrary bytes, then sceneRelease of whatever loaded.
#include "fuzz_support.h"
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzzWriteFile("input.3ds", data, size))
        return 0;
    sceneRelease(loadScene("input.3ds"));
    return 0;
}
