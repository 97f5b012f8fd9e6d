// The Win32 backend's picture: frames land in top-down 32-bit DIB sections
// and reach the window through StretchDIBits, scaled to fit with 4 : 3 kept.
#include <cstdlib>
#include <cstring>

#include "platform/win32/win32.h"

void markSurfacesLost()
{
    for (Surface* surface : win32.surfaces)
        if (surface)
            surface->lost = 1;
}

static int makeBitmap(Surface* surface)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = surface->width;
    info.bmiHeader.biHeight = -surface->height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        win32SetError("CreateDIBSection");
        return 0;
    }
    if (surface->bitmap)
        DeleteObject(surface->bitmap);
    surface->bitmap = bitmap;
    surface->pixels = (uint32_t*)pixels;
    return 1;
}

static Surface* surfaceNew(int32_t kind, Video* video, int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || width > 8192 || height > 8192) {
        snprintf(win32.error, sizeof win32.error, "unsupported size %dx%d", (int)width, (int)height);
        return nullptr;
    }
    int slot = 0;
    while (slot < MAX_SURFACES && win32.surfaces[slot])
        slot++;
    Surface* surface = slot < MAX_SURFACES ? (Surface*)calloc(1, sizeof(Surface)) : nullptr;
    if (!surface) {
        snprintf(win32.error, sizeof win32.error, "no room for another surface");
        return nullptr;
    }
    surface->kind = kind;
    surface->video = video;
    surface->width = width;
    surface->height = height;
    if (!makeBitmap(surface)) {
        free(surface);
        return nullptr;
    }
    win32.surfaces[slot] = surface;
    return surface;
}

static void surfaceFree(Surface* surface)
{
    for (Surface*& slot : win32.surfaces)
        if (slot == surface)
            slot = nullptr;
    DeleteObject(surface->bitmap);
    free(surface);
}

static Surface* primarySurface()
{
    for (Surface* surface : win32.surfaces)
        if (surface && surface->kind == SURFACE_PRIMARY)
            return surface;
    return nullptr;
}

// Draws `surface` into the window's client area: the largest whole scale that
// fits, or when even 1 does not fit the largest nearest-pixel scale keeping
// 4 : 3, centred on black. Returns 0 when GDI refused to draw.
static int present(Window* window, const Surface* surface)
{
    RECT client;
    if (!GetClientRect(window->hwnd, &client))
        return 0;
    const int32_t areaWidth = client.right - client.left;
    const int32_t areaHeight = client.bottom - client.top;
    if (areaWidth <= 0 || areaHeight <= 0)
        return 1; // minimised: nothing to show
    int32_t width = surface->width;
    int32_t height = surface->height;
    const int32_t scale = areaWidth / width < areaHeight / height ? areaWidth / width : areaHeight / height;
    if (scale >= 1) {
        width *= scale;
        height *= scale;
    } else if ((int64_t)areaWidth * surface->height < (int64_t)areaHeight * surface->width) {
        width = areaWidth;
        height = (int32_t)((int64_t)areaWidth * surface->height / surface->width);
    } else {
        height = areaHeight;
        width = (int32_t)((int64_t)areaHeight * surface->width / surface->height);
    }
    const int32_t left = (areaWidth - width) / 2;
    const int32_t top = (areaHeight - height) / 2;

    HDC dc = GetDC(window->hwnd);
    if (!dc)
        return 0;
    PatBlt(dc, 0, 0, areaWidth, top, BLACKNESS);
    PatBlt(dc, 0, top + height, areaWidth, areaHeight - top - height, BLACKNESS);
    PatBlt(dc, 0, top, left, height, BLACKNESS);
    PatBlt(dc, left + width, top, areaWidth - left - width, height, BLACKNESS);
    SetStretchBltMode(dc, COLORONCOLOR);
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = surface->width;
    info.bmiHeader.biHeight = -surface->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int lines = StretchDIBits(dc, left, top, width, height, 0, 0, surface->width, surface->height,
                                    surface->pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window->hwnd, dc);
    return lines != 0;
}

void paintFront(Window* window)
{
    const Surface* primary = primarySurface();
    if (primary && !primary->lost)
        present(window, primary);
}

Video* videoOpen(Window* window)
{
    // Without a window the reason it could not be made is already recorded.
    if (!window) {
        if (!win32.error[0])
            snprintf(win32.error, sizeof win32.error, "no window");
        return nullptr;
    }
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video) {
        snprintf(win32.error, sizeof win32.error, "out of memory");
        return nullptr;
    }
    video->window = window;
    return video;
}

// The screen keeps its mode: the window covers it and the picture is scaled.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32 || width < 1 || height < 1 || width > 8192 || height > 8192) {
        snprintf(win32.error, sizeof win32.error, "unsupported mode %dx%d at %d bits", (int)width, (int)height,
                 (int)bitCount);
        return 0;
    }
    video->width = width;
    video->height = height;
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    Surface* primary = surfaceNew(SURFACE_PRIMARY, video, video->width, video->height);
    if (!primary)
        return nullptr;
    primary->backBuffer = surfaceNew(SURFACE_BACK, video, video->width, video->height);
    if (!primary->backBuffer) {
        surfaceFree(primary);
        return nullptr;
    }
    return primary;
}

Surface* surfaceBackBuffer(Surface* primary)
{
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    return surfaceNew(SURFACE_STAGING, video, width, height);
}

int32_t surfaceLock(Surface* surface, SurfaceLock* lock)
{
    if (surface->locked)
        return SURFACE_FAILED;
    // GDI may still be reading the section for a drawing it has queued.
    GdiFlush();
    surface->locked = 1;
    lock->pixels = surface->pixels;
    lock->pitch = surface->width * 4;
    lock->bitCount = 32;
    return SURFACE_OK;
}

int32_t surfaceUnlock(Surface* surface)
{
    if (!surface->locked)
        return SURFACE_FAILED;
    surface->locked = 0;
    return SURFACE_OK;
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    if (target->lost || source->lost)
        return SURFACE_LOST;
    if (source->locked || target->kind != SURFACE_BACK || width < 0 || height < 0 || width > source->width ||
        height > source->height || width > target->width || height > target->height)
        return SURFACE_FAILED;
    for (int32_t y = 0; y < height; y++)
        memcpy(target->pixels + (size_t)y * target->width, source->pixels + (size_t)y * source->width,
               (size_t)width * 4);
    return SURFACE_OK;
}

// The back buffer becomes the front and is drawn; a refusal from GDI (the
// screen is locked or changing mode) counts as a lost surface.
int32_t surfaceFlip(Surface* primary)
{
    if (primary->lost)
        return SURFACE_LOST;
    Surface* back = primary->backBuffer;
    HBITMAP bitmap = primary->bitmap;
    uint32_t* pixels = primary->pixels;
    primary->bitmap = back->bitmap;
    primary->pixels = back->pixels;
    back->bitmap = bitmap;
    back->pixels = pixels;
    if (!present(primary->video->window, primary)) {
        markSurfacesLost();
        return SURFACE_LOST;
    }
    return SURFACE_OK;
}

// A lost surface gets a new section; the chain needs nothing but to be drawn
// again.
int32_t surfaceRestore(Surface* surface)
{
    if (!surface->lost)
        return SURFACE_OK;
    if (surface->kind == SURFACE_PRIMARY && surface->backBuffer) {
        if (!makeBitmap(surface->backBuffer))
            return SURFACE_FAILED;
        surface->backBuffer->lost = 0;
    }
    if (!makeBitmap(surface))
        return SURFACE_FAILED;
    surface->lost = 0;
    return SURFACE_OK;
}

void surfaceRelease(Surface* surface)
{
    if (surface->kind == SURFACE_PRIMARY && surface->backBuffer)
        surfaceFree(surface->backBuffer);
    surfaceFree(surface);
}

void videoRelease(Video* video)
{
    free(video);
}
