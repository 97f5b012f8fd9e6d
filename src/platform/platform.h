// The platform layer: everything that touches the operating system sits behind
// this header. The engine's subsystems use only what is declared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Heap ------------------------------------------------------------------
// Every allocation that may fail goes through these, so that tests can count
// allocations and make any one of them fail.
void* heapAlloc(size_t size);
void* heapCalloc(size_t count, size_t size);
void* heapRealloc(void* block, size_t size);
void heapFree(void* block);

// Test hook: `calls` counts heapAlloc/heapCalloc/heapRealloc since the last
// reset. With failAt = n > 0 the n-th call fails, and with failRest set every
// later call fails too. heapFree is never counted.
struct HeapHook {
    int64_t calls;
    int64_t failAt;
    int32_t failRest;
};
extern HeapHook heapHook;
void heapHookReset();

// ---- Files -----------------------------------------------------------------
// Paths are written with backslashes as folder separators ("Cells\Cell.3ds");
// these map them to the local separator. A path longer than 4095 characters
// cannot be opened.
FILE* fileOpen(const char* path, const char* mode);
int fileExists(const char* path);
