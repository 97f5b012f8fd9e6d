// The player's pace and its status lines: how many generations a tick
// auto-iteration computes, and what the overlay says about the run.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "image/image.h"

void changeSpeed(int faster)
{
    const int32_t slowest = -6; // 2^6 ticks, held to SLOWEST_TICKS
    if (faster && app.speed < SPEED_FASTEST)
        app.speed++;
    else if (!faster && app.speed > slowest)
        app.speed--;
    app.ticksWaited = 0;
}

void autoIterateTick()
{
    if (app.speed >= 0) {
        // A step that fails ends auto-iteration: the rest would fail alike.
        const int32_t count = 1 << app.speed;
        for (int32_t i = 0; i < count && app.autoIterate; i++)
            stepWorld();
        return;
    }
    const int32_t wait = 1 << -app.speed;
    if (++app.ticksWaited >= (wait < SLOWEST_TICKS ? wait : SLOWEST_TICKS)) {
        app.ticksWaited = 0;
        stepWorld();
    }
}

int64_t worldPopulation()
{
    if (app.universe)
        return universePopulation(app.universe);
    if (!app.grid)
        return 0;
    int64_t count = 0;
    for (int32_t i = 0; i < LIFE_CELLS; i++)
        count += app.grid->cells[i] == LIFE_ALIVE;
    return count;
}

// Ends at 10 pixels from the right edge, as the generation starts 10 from the left.
static void drawLineRight(const char* text, int32_t y, uint32_t* framebuffer)
{
    const int32_t width = (int32_t)strlen(text) * GLYPH_WIDTH;
    drawTextAdd(text, screenWidth - 10 - width, y, framebuffer);
}

void drawStatus(uint32_t* framebuffer)
{
    char text[64];
    int32_t y = 10;
    if (app.speed != 0) {
        const int32_t wait = 1 << (app.speed < 0 ? -app.speed : 0);
        if (app.speed > 0)
            snprintf(text, sizeof text, "%d generations a tick", 1 << app.speed);
        else
            snprintf(text, sizeof text, "1 generation every %d ticks", wait < SLOWEST_TICKS ? wait : SLOWEST_TICKS);
        drawLineRight(text, y, framebuffer);
        y += LINE_ADVANCE;
    }
    if (app.showPopulation) {
        snprintf(text, sizeof text, "%lld live cells", (long long)worldPopulation());
        drawLineRight(text, y, framebuffer);
        y += LINE_ADVANCE;
    }
    if (app.drawing)
        drawLineRight("Drawing", y, framebuffer);
}
