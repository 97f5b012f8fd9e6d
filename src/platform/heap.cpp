#include "platform/platform.h"

#include <cstdlib>
#include <mutex>

HeapHook heapHook = {0, 0, 0};

void heapHookReset()
{
    heapHook.calls = 0;
    heapHook.failAt = 0;
    heapHook.failRest = 0;
}

// The renderer's workers may allocate while a frame is drawn (the span pool
// growing, itself under a lock of its own); the count is kept under a lock so
// that it stays whole whoever calls (allocation is rare once the rows have
// grown).
static std::mutex hookLock;

static int heapShouldFail()
{
    std::lock_guard<std::mutex> held(hookLock);
    heapHook.calls += 1;
    if (heapHook.failAt <= 0)
        return 0;
    if (heapHook.calls == heapHook.failAt)
        return 1;
    return heapHook.failRest && heapHook.calls > heapHook.failAt;
}

void* heapAlloc(size_t size)
{
    if (heapShouldFail())
        return nullptr;
    // malloc(0) may return null on success; one byte keeps null meaning failure.
    return malloc(size ? size : 1);
}

void* heapCalloc(size_t count, size_t size)
{
    if (heapShouldFail())
        return nullptr;
    if (count == 0 || size == 0)
        return calloc(1, 1);
    return calloc(count, size);
}

void* heapRealloc(void* block, size_t size)
{
    if (heapShouldFail())
        return nullptr;
    return realloc(block, size ? size : 1);
}

void heapFree(void* block)
{
    free(block);
}
