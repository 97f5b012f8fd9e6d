// loadSceneBytes on arbitrary bytes, then sceneRelease of whatever loaded.
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sceneRelease(loadSceneBytes(data, size, "input.3ds"));
    return 0;
}
