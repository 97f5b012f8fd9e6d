// The player: one generation at a time or auto-iteration at a pace, each
// generation kept for Backspace before it is made.
#include <cstdio>

#include "app/app.h"

void stepWorld()
{
    historyKeep();
    if (!worldStep(app.world, 1)) {
        historyDiscardNewest();
        // The same step would be refused every tick.
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "Stopped at generation %lld: %s", (long long)worldGeneration(app.world),
            app.world->failure);
        showNotice(text);
        app.autoIterate = 0;
    }
}

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
