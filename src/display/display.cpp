#include "display/display.h"

#include <cstring>

DisplayState display;

int displayInit(Window* window, int32_t width, int32_t height)
{
    memset(&display, 0, sizeof display);
    display.width = width;
    display.height = height;
    display.video = videoOpen(window);
    if (!display.video)
        return 0;
    if (!videoSetMode(display.video, width, height, 32))
        return 0;
    display.primary = surfaceCreatePrimary(display.video);
    if (!display.primary)
        return 0;
    display.backBuffer = surfaceBackBuffer(display.primary);
    if (!display.backBuffer)
        return 0;
    display.stagingA = surfaceCreateStaging(display.video, width, height);
    if (!display.stagingA)
        return 0;
    display.stagingB = surfaceCreateStaging(display.video, width, height);
    return display.stagingB != nullptr;
}

int displayLock(void** pixels, int32_t* pitch)
{
    Surface* staging = display.useFirstStaging ? display.stagingA : display.stagingB;
    // Without a staging surface the set-up failed; there is nothing to lock.
    if (!staging)
        return 0;
    memset(&display.lock, 0, sizeof display.lock);
    if (surfaceLock(staging, &display.lock) != SURFACE_OK)
        return 0;
    // A narrower row than the frame's would make the copy run past the surface.
    if (display.lock.bitCount != 32 || display.lock.pitch < display.width * 4 || !display.lock.pixels) {
        surfaceUnlock(staging);
        return 0;
    }
    *pixels = display.lock.pixels;
    *pitch = display.lock.pitch;
    return 1;
}

void displayCopyFrame(void* pixels, int32_t pitch, const uint32_t* frame)
{
    const size_t rowBytes = (size_t)display.width * 4;
    if ((size_t)pitch == rowBytes) {
        memcpy(pixels, frame, rowBytes * (size_t)display.height);
        return;
    }
    uint8_t* row = (uint8_t*)pixels;
    for (int32_t y = 0; y < display.height; y++, row += pitch)
        memcpy(row, frame + (size_t)y * (size_t)display.width, rowBytes);
}

void displayPresent()
{
    Surface* source;
    if (display.useFirstStaging) {
        display.useFirstStaging = 0;
        source = display.stagingA;
    } else {
        display.useFirstStaging = 1;
        source = display.stagingB;
    }
    surfaceUnlock(source);

    // Neither the blit nor the flip is asked to wait, so a busy device is met by
    // asking again at once. A lost surface is restored and this frame dropped.
    for (;;) {
        const int32_t result = surfaceBlit(display.backBuffer, source, display.width, display.height);
        if (result == SURFACE_STILL_DRAWING)
            continue;
        if (result == SURFACE_LOST)
            displayRestore();
        break;
    }
    for (;;) {
        const int32_t result = surfaceFlip(display.primary);
        if (result == SURFACE_STILL_DRAWING)
            continue;
        if (result == SURFACE_LOST)
            displayRestore();
        break;
    }
}

int32_t displayRestore()
{
    int32_t result = surfaceRestore(display.primary);
    if (result != SURFACE_OK)
        return result;
    result = surfaceRestore(display.stagingA);
    if (result != SURFACE_OK)
        return result;
    return surfaceRestore(display.stagingB);
}

void displayRelease()
{
    if (!display.video)
        return;
    if (display.primary) {
        surfaceRelease(display.primary);
        display.primary = nullptr;
        display.backBuffer = nullptr;
    }
    if (display.stagingA) {
        surfaceRelease(display.stagingA);
        display.stagingA = nullptr;
    }
    if (display.stagingB) {
        surfaceRelease(display.stagingB);
        display.stagingB = nullptr;
    }
    videoRelease(display.video);
    display.video = nullptr;
}
