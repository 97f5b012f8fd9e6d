// The surface record all backends share and the steps that are alike on all
// of them. Only the backends include this.
#pragma once

#include "platform/backend.h"

enum { SURFACE_PRIMARY, SURFACE_BACK, SURFACE_STAGING };

// The widest and tallest surface (and display mode) any backend makes.
enum { SURFACE_MAX_SIDE = 8192 };

struct SurfaceBackend;

// A flipping chain's front (the primary, which owns its back buffer) or back
// buffer, or a staging surface the frame is written into.
struct Surface {
    int32_t kind;
    Video* video;
    int32_t width;
    int32_t height;
    uint8_t* pixels; // when the backend keeps them: the top row first
    int32_t pitch;   // bytes from one row of `pixels` to the next
    void* native;    // the backend's own handle: a texture, a DIB section
    int32_t lost;    // the display changed since the last restore
    int32_t locked;
    Surface* backBuffer; // primary only
    const SurfaceBackend* backend;
};

// What each backend gives the steps below: attach gives a new surface its
// pixels or native handle, or returns 0 with the reason recorded; detach lets
// them go. Every surface keeps its backend's.
struct SurfaceBackend {
    int (*attach)(Surface* surface);
    void (*detach)(Surface* surface);
};

// Records the reason a call failed, for platformError; "" clears it.
void backendSetError(const char* text);
#ifdef __MINGW32__
void backendSetErrorf(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
void backendSetErrorf(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

// videoOpen's first step: 0 when it was given no window, with "no window"
// recorded unless the reason the window failed already is.
int videoWindowGiven(const Window* window);

// A new surface, attached and counted among the live ones, or null with the
// reason recorded (a side outside 1..SURFACE_MAX_SIDE among them);
// surfaceDrop detaches and frees one (null is ignored).
Surface* surfaceMake(const SurfaceBackend* backend, int32_t kind, Video* video, int32_t width, int32_t height);
void surfaceDrop(Surface* surface);
// A primary surface with its back buffer, both or neither; surfaceChainDrop
// drops a primary with its back buffer, or any other surface alone.
Surface* surfaceChainMake(const SurfaceBackend* backend, Video* video, int32_t width, int32_t height);
void surfaceChainDrop(Surface* surface);
// Every live surface is lost: the display changed under them.
void surfacesMarkLost();

// Attaches plain memory, `pitch` bytes a row, for a backend that keeps its
// pixels itself (and frees them on detach).
int surfaceAttachMemory(Surface* surface, int32_t pitch);

// Lock and unlock for surfaces whose pixels the backend keeps: one lock at a
// time, 32 bits a pixel.
int32_t surfaceLockPixels(Surface* surface, SurfaceLock* lock);
int32_t surfaceUnlockPixels(Surface* surface);
// Copies the top-left width x height pixels of `source` into `target`; a
// locked source or a rectangle outside either surface is refused.
int32_t surfaceCopyPixels(Surface* target, const Surface* source, int32_t width, int32_t height);
