#include <cstring>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "render/render.h"
#include "spans/spans.h"

void stepWorld()
{
    historyKeep();
    if (app.universe) {
        if (!universeStep(app.universe)) {
            historyDiscardNewest();
            // The same step would be refused every tick.
            char text[NOTICE_TEXT];
            snprintf(text, sizeof text, "Stopped at generation %d: %s", app.generationCount,
                universeStepFailure(app.universe));
            showNotice(text);
            app.autoIterate = 0;
            return;
        }
    } else {
        lifeStep(app.grid, &app.rule);
    }
    app.generationCount++;
}

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
    if (app.autoIterate)
        autoIterateTick();
    // After the step, so that following frames the generation drawn.
    cameraTick(cursorX - app.screenCentreX, cursorY - app.screenCentreY);

    renderFrameBegin();
    RenderScene cells;
    placeFrameCells(&app.cameraPose, &cells);
    renderFrameDraw(&cells, app.framebuffer);

    // A request is served at most once per tick, however often it was made.
    // The chart describes the frame just drawn.
    if (app.graphRequested) {
        writeSpanHistogram();
        app.graphRequested = 0;
    }

    char text[32];
    generationText(text, sizeof text, app.generationCount);
    drawTextAdd(text, 10, 10, app.framebuffer);
    // On a touch screen the keys are the page's buttons of those names.
    drawTextAdd(app.touchScreen ? "Tap Step to iterate\nTap Run to auto-iterate"
                                : "Press Ins to iterate\nPress Del to auto-iterate",
        10, screenHeight - 30, app.framebuffer);
    drawStatus(app.framebuffer);
    // A dropped file's outcome, opaque so it reads over the cells; it counts
    // frames, not time, like everything in the tick.
    if (app.noticeTicks > 0) {
        drawText(app.notice, 10, 30, app.framebuffer);
        app.noticeTicks--;
    }

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

// Cells are visited with x varying fastest; only the layer z = 0 exists.
int32_t placeLiveCells(const LifeGrid* grid, Matrix4* placements)
{
    int32_t count = 0;
    for (int32_t p = 0; p < LIFE_CELLS; p++) {
        const int32_t x = p & 63;
        const int32_t y = (p >> 6) & 63;
        const int32_t z = (p >> 12) & 1;
        if (grid->cells[x * LIFE_SIZE + y + z] == LIFE_ALIVE)
            cellMatrix(x, y, z, &placements[count++]);
    }
    return count;
}

void cellMatrix(int32_t x, int32_t y, int32_t z, Matrix4* model)
{
    matIdentity(model);
    model->m[12] = (float)((int64_t)x - 32) * cellSpacing;
    model->m[13] = (float)((int64_t)y - 32) * cellSpacing;
    model->m[14] = (float)z * cellSpacing;
}

void generationText(char* text, size_t size, int32_t count)
{
    // Only the last decimal digit picks the suffix: 11 is "11st", 12 "12nd".
    const int32_t digit = count % 10;
    const char* format = digit == 1 ? "%dst Iteration" : digit == 2 ? "%dnd Iteration" : "%dth Iteration";
    snprintf(text, size, format, count);
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
