// Surfaces as every backend keeps them: made and dropped through the backend's
// attach and detach, the live ones in one table so that a display change can
// mark them all lost.
#include "platform/surfaces.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { MAX_SURFACES = 8 };

// The reason the last window or video call failed, whichever backend made it.
static char errorText[256];

void backendSetError(const char* text)
{
    snprintf(errorText, sizeof errorText, "%s", text);
}

void backendSetErrorf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(errorText, sizeof errorText, format, args);
    va_end(args);
}

const char* platformError()
{
    return errorText;
}

// Written by surfaceMake and surfaceDrop, read by surfacesMarkLost.
static Surface* liveSurfaces[MAX_SURFACES];

int videoWindowGiven(const Window* window)
{
    // Without a window the reason it could not be made is already recorded.
    if (window)
        return 1;
    if (!platformError()[0])
        backendSetError("no window");
    return 0;
}

Surface* surfaceMake(const SurfaceBackend* backend, int32_t kind, Video* video, int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE) {
        backendSetError("unsupported size");
        return nullptr;
    }
    int slot = 0;
    while (slot < MAX_SURFACES && liveSurfaces[slot])
        slot++;
    if (slot == MAX_SURFACES) {
        backendSetError("no room for another surface");
        return nullptr;
    }
    Surface* surface = (Surface*)calloc(1, sizeof(Surface));
    if (!surface) {
        backendSetError("out of memory");
        return nullptr;
    }
    surface->kind = kind;
    surface->backend = backend;
    surface->video = video;
    surface->width = width;
    surface->height = height;
    if (!backend->attach(surface)) {
        free(surface);
        return nullptr;
    }
    liveSurfaces[slot] = surface;
    return surface;
}

void surfaceDrop(Surface* surface)
{
    if (!surface)
        return;
    for (Surface*& slot : liveSurfaces)
        if (slot == surface)
            slot = nullptr;
    surface->backend->detach(surface);
    free(surface);
}

Surface* surfaceChainMake(const SurfaceBackend* backend, Video* video, int32_t width, int32_t height)
{
    Surface* primary = surfaceMake(backend, SURFACE_PRIMARY, video, width, height);
    if (!primary)
        return nullptr;
    primary->backBuffer = surfaceMake(backend, SURFACE_BACK, video, width, height);
    if (!primary->backBuffer) {
        surfaceDrop(primary);
        return nullptr;
    }
    return primary;
}

void surfaceChainDrop(Surface* surface)
{
    if (surface->kind == SURFACE_PRIMARY)
        surfaceDrop(surface->backBuffer);
    surfaceDrop(surface);
}

void surfacesMarkLost()
{
    for (Surface* surface : liveSurfaces)
        if (surface)
            surface->lost = 1;
}

int surfaceAttachMemory(Surface* surface, int32_t pitch)
{
    surface->pitch = pitch;
    surface->pixels = (uint8_t*)calloc((size_t)pitch * (size_t)surface->height, 1);
    if (!surface->pixels) {
        backendSetError("out of memory");
        return 0;
    }
    return 1;
}

int32_t surfaceLockPixels(Surface* surface, SurfaceLock* lock)
{
    if (surface->locked || !surface->pixels)
        return SURFACE_FAILED;
    surface->locked = 1;
    lock->pixels = surface->pixels;
    lock->pitch = surface->pitch;
    lock->bitCount = 32;
    return SURFACE_OK;
}

int32_t surfaceUnlockPixels(Surface* surface)
{
    if (!surface->locked)
        return SURFACE_FAILED;
    surface->locked = 0;
    return SURFACE_OK;
}

int32_t surfaceCopyPixels(Surface* target, const Surface* source, int32_t width, int32_t height)
{
    if (source->locked || !source->pixels || !target->pixels || width < 0 || height < 0 ||
        width > source->width || height > source->height || width > target->width || height > target->height)
        return SURFACE_FAILED;
    for (int32_t y = 0; y < height; y++)
        memcpy(target->pixels + (size_t)y * target->pitch, source->pixels + (size_t)y * source->pitch,
               (size_t)width * 4);
    return SURFACE_OK;
}
