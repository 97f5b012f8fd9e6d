// The Win32 backend's picture: frames land in top-down 32-bit DIB sections
// and reach the window through StretchDIBits, scaled to fit with 4 : 3 kept.
#include <cstdlib>
#include <cstring>

#include "platform/win32/win32.h"

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
    if (surface->native)
        DeleteObject((HBITMAP)surface->native);
    surface->native = bitmap;
    surface->pixels = (uint8_t*)pixels;
    surface->pitch = surface->width * 4;
    return 1;
}

static int surfaceAttach(Surface* surface)
{
    return makeBitmap(surface);
}

static void surfaceDetach(Surface* surface)
{
    DeleteObject((HBITMAP)surface->native);
}

static const SurfaceBackend surfaceBackend = {surfaceAttach, surfaceDetach};

// The largest whole scale that fits the client area, or when even 1 does
// not fit the largest nearest-pixel scale keeping 4 : 3, centred. Returns 0
// when the client area could not be had; a minimised window gets width 0.
static int fitPicture(Window* window, int32_t frameWidth, int32_t frameHeight, PictureRect* picture,
    int32_t* areaWidth, int32_t* areaHeight)
{
    PictureRect& r = *picture;
    r = {0, 0, 0, 0, frameWidth, frameHeight};
    RECT client;
    if (!GetClientRect(window->hwnd, &client))
        return 0;
    *areaWidth = client.right - client.left;
    *areaHeight = client.bottom - client.top;
    if (*areaWidth <= 0 || *areaHeight <= 0)
        return 1;
    int32_t width = frameWidth;
    int32_t height = frameHeight;
    const int32_t scale = *areaWidth / width < *areaHeight / height ? *areaWidth / width : *areaHeight / height;
    if (scale >= 1) {
        width *= scale;
        height *= scale;
    } else if ((int64_t)*areaWidth * frameHeight < (int64_t)*areaHeight * frameWidth) {
        width = *areaWidth;
        height = (int32_t)((int64_t)*areaWidth * frameHeight / frameWidth);
    } else {
        height = *areaHeight;
        width = (int32_t)((int64_t)*areaHeight * frameWidth / frameHeight);
    }
    r.left = (*areaWidth - width) / 2;
    r.top = (*areaHeight - height) / 2;
    r.width = width;
    r.height = height;
    return 1;
}

PictureRect pictureRect(Window* window)
{
    const Surface* primary = win32.primary;
    PictureRect r = {0, 0, 0, 0, 0, 0};
    int32_t areaWidth, areaHeight;
    if (primary)
        fitPicture(window, primary->width, primary->height, &r, &areaWidth, &areaHeight);
    return r;
}

// Draws `surface` into the window's client area as fitPicture places it, on
// black. Returns 0 when GDI refused to draw.
static int present(Window* window, const Surface* surface)
{
    int32_t areaWidth, areaHeight;
    PictureRect r;
    if (!fitPicture(window, surface->width, surface->height, &r, &areaWidth, &areaHeight))
        return 0;
    if (r.width <= 0 || r.height <= 0)
        return 1; // minimised: nothing to show
    const int32_t left = r.left, top = r.top, width = r.width, height = r.height;

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
    const Surface* primary = win32.primary;
    if (primary && !primary->lost)
        present(window, primary);
}

Video* videoOpen(Window* window)
{
    if (!videoWindowGiven(window))
        return nullptr;
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video) {
        backendSetErrorf("out of memory");
        return nullptr;
    }
    video->window = window;
    return video;
}

// The screen keeps its mode: the window covers it and the picture is scaled.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32 || width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE) {
        backendSetErrorf("unsupported mode %dx%d at %d bits", (int)width, (int)height,
                 (int)bitCount);
        return 0;
    }
    video->width = width;
    video->height = height;
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    win32.primary = surfaceChainMake(&surfaceBackend, video, video->width, video->height);
    return win32.primary;
}

Surface* surfaceBackBuffer(Surface* primary)
{
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    return surfaceMake(&surfaceBackend, SURFACE_STAGING, video, width, height);
}

int32_t surfaceLock(Surface* surface, SurfaceLock* lock)
{
    // GDI may still be reading the section for a drawing it has queued.
    GdiFlush();
    return surfaceLockPixels(surface, lock);
}

int32_t surfaceUnlock(Surface* surface)
{
    return surfaceUnlockPixels(surface);
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    if (target->lost || source->lost)
        return SURFACE_LOST;
    if (target->kind != SURFACE_BACK)
        return SURFACE_FAILED;
    return surfaceCopyPixels(target, source, width, height);
}

// The back buffer becomes the front and is drawn; a refusal from GDI (the
// screen is locked or changing mode) counts as a lost surface.
int32_t surfaceFlip(Surface* primary)
{
    if (primary->lost)
        return SURFACE_LOST;
    Surface* back = primary->backBuffer;
    void* bitmap = primary->native;
    uint8_t* pixels = primary->pixels;
    primary->native = back->native;
    primary->pixels = back->pixels;
    back->native = bitmap;
    back->pixels = pixels;
    if (!present(primary->video->window, primary)) {
        surfacesMarkLost();
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
    if (surface == win32.primary)
        win32.primary = nullptr;
    surfaceChainDrop(surface);
}

void videoRelease(Video* video)
{
    free(video);
}
