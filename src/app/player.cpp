// The player: one generation at a time or auto-iteration at a pace, each
// generation kept for Backspace before it is made; past 2^SPEED_FASTEST
// generations a tick, steps of 2^speed kept as one.
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
    if (faster && app.speed < SPEED_FARTHEST)
        app.speed++;
    else if (!faster && app.speed > slowest)
        app.speed--;
    app.ticksWaited = 0;
    // A step of the old pace under way ends where it stands.
    app.stepLeft = 0;
}

// One step of 2^speed generations, kept for Backspace as one, made with a
// tick's share of work at a time: the frame shows the world where the
// step's work has brought it (hashlife keeps its futures and shows the step
// whole once made; the tile engines show the generations made so far).
static void farStepTick()
{
    if (app.stepLeft == 0) {
        historyKeep();
        app.stepLeft = (int64_t)1 << app.speed;
    }
    const int64_t made = worldAdvance(app.world, app.stepLeft, WORLD_TICK_WORK);
    if (made < 0) {
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "Stopped at generation %lld: %s", (long long)worldGeneration(app.world),
            app.world->failure);
        showNotice(text);
        app.autoIterate = 0;
        app.stepLeft = 0;
        return;
    }
    app.stepLeft -= made;
}

void autoIterateTick()
{
    if (app.speed > SPEED_FASTEST) {
        farStepTick();
        return;
    }
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
