// One frame: the world's step, the camera, the cells through the renderer,
// the overlay, the display, then what was asked of the frame.
#include <cstring>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "render/render.h"
#include "spans/spans.h"

// One frame, in a fixed order; nothing here measures time, so mouse look and
// auto-iteration advance once per timer message whatever its delay.
void frameTick()
{
    // While drawing the pointer is the user's: it is neither read for
    // looking around nor brought back to the middle.
    int32_t cursorX = app.screenCentreX;
    int32_t cursorY = app.screenCentreY;
    if (!app.drawing) {
        cursorGet(&cursorX, &cursorY);
        cursorSet(screenWidth >> 1, screenHeight >> 1);
    }

    memset(app.framebuffer, 0, (size_t)screenWidth * screenHeight * 4);
    if (app.loading)
        dropTick();
    if (app.autoIterate)
        autoIterateTick();
    // After the step, so that following frames the generation drawn.
    cameraTick(cursorX - app.screenCentreX, cursorY - app.screenCentreY);

    RenderScene cells;
    placeFrameCells(&app.worldToView, &cells);
    renderFrame(&cells, app.framebuffer);

    // A request is served at most once per tick, however often it was made.
    // The chart describes the frame just drawn.
    if (app.graphRequested) {
        writeSpanHistogram();
        app.graphRequested = 0;
    }

    drawOverlay(app.framebuffer);

    // A failed lock drops this frame; the next tick tries again.
    void* pixels;
    int32_t pitch;
    if (displayLock(&pixels, &pitch)) {
        displayCopyFrame(pixels, pitch, app.framebuffer);
        displayPresent();
    }

    recordFrame();

    // The frame was shown already, so swapping red and blue for the BMP writer
    // never reaches the screen. A failed write is not retried.
    if (app.screenshotRequested) {
        const size_t count = (size_t)screenWidth * screenHeight;
        for (size_t i = 0; i < count; i++) {
            const uint32_t old = app.framebuffer[i];
            app.framebuffer[i] = (old & 0x00FF00) | ((old >> 16) & 0xFF) | ((old & 0xFF) << 16);
        }
        saveScreenshot(app.framebuffer);
        app.screenshotRequested = 0;
    }
}

int saveScreenshot(uint32_t* framebuffer)
{
    // "%2x": 0-15 give a blank and one digit, 256 and up three or more.
    char name[32];
    for (uint32_t n = 0;; n++) {
        snprintf(name, sizeof name, "Screenshot%2x.bmp", n);
        if (!fileExists(name))
            break;
        if (n == UINT32_MAX)
            return 0;
    }
    const Image image = {framebuffer, screenWidth, screenHeight};
    return writeBmp(name, &image);
}
