// Going far: the world moved onto the other engine of the plane (H), and a
// generation asked for in the overlay (G) and gone to over as many ticks as
// its work takes, each tick's step given WORLD_TICK_WORK so frames keep
// their pace. A generation behind the world is gone to from R's generation 0.
#include <cstdio>
#include <cstring>

#include "app/app.h"

void switchEngine()
{
    char reason[WORLD_REASON];
    World* other = worldSwitchEngine(app.world, reason, sizeof reason);
    if (!other) {
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "Not switched: %s", reason);
        showNotice(text);
        return;
    }
    worldRelease(app.world);
    app.world = other;
    // A step under way was the other engine's: the next one starts afresh.
    app.stepLeft = 0;
    char text[NOTICE_TEXT];
    snprintf(text, sizeof text, "Now on %s", worldShownEngine(other) ? worldShownEngine(other) : "the tile engine");
    showNotice(text);
}

void goingReset()
{
    app.asking = 0;
    app.askText[0] = '\0';
    app.going = 0;
    app.stepLeft = 0;
}

// The digits typed, or -1 when none or past 2^63 - 1; ASK_DIGITS of them
// at most, which 64 bits without sign always hold.
static int64_t askedGeneration()
{
    if (!app.askText[0])
        return -1;
    uint64_t n = 0;
    for (const char* c = app.askText; *c; c++) {
        n = n * 10 + (uint64_t)(*c - '0');
        if (n > (uint64_t)INT64_MAX)
            return -1;
    }
    return (int64_t)n;
}

static void go()
{
    const int64_t target = askedGeneration();
    app.asking = 0;
    if (target < 0) {
        showNotice(app.askText[0] ? "No such generation: the last is 9223372036854775807" : "No generation given");
        return;
    }
    goTo(target);
}

void goTo(int64_t target)
{
    if (target < 0) {
        showNotice("No such generation: the first is 0");
        return;
    }
    app.asking = 0;
    const int64_t now = worldGeneration(app.world);
    if (target == now)
        return;
    if (target < now) {
        // R's generation 0 and on from there: what is kept of the way back
        // goes with it. R frames generation 0; here the camera stays.
        const Matrix4 camera = app.cameraMatrix;
        const float pitch = app.pitchAngle;
        const int64_t originX = app.originX, originY = app.originY;
        historyRestart();
        app.cameraMatrix = camera;
        app.pitchAngle = pitch;
        app.originX = originX;
        app.originY = originY;
        if (worldGeneration(app.world) > target) {
            char text[NOTICE_TEXT];
            snprintf(text, sizeof text, "Cannot go back past generation %lld", (long long)worldGeneration(app.world));
            showNotice(text);
            return;
        }
    }
    // Backspace comes back to where the world was.
    historyKeep();
    app.autoIterate = 0;
    app.stepLeft = 0;
    app.going = 1;
    app.goingTo = target;
}

int askKey(uint32_t key)
{
    if (key == KEY_G && !app.asking) {
        app.asking = 1;
        app.askText[0] = '\0';
        return 1;
    }
    if (!app.asking)
        return 0;
    const size_t length = strlen(app.askText);
    int32_t digit = -1;
    if (key >= KEY_0 && key <= KEY_0 + 9)
        digit = (int32_t)(key - KEY_0);
    else if (key >= KEY_NUMPAD0 && key <= KEY_NUMPAD0 + 9)
        digit = (int32_t)(key - KEY_NUMPAD0);
    if (digit >= 0) {
        if (length < ASK_DIGITS) {
            app.askText[length] = (char)('0' + digit);
            app.askText[length + 1] = '\0';
        }
        return 1;
    }
    switch (key) {
    case KEY_BACK:
        if (length > 0)
            app.askText[length - 1] = '\0';
        return 1;
    case KEY_ESCAPE:
        app.asking = 0;
        return 1;
    case KEY_RETURN:
        go();
        return 1;
    default:
        return 0;
    }
}

int goingStop()
{
    if (!app.going)
        return 0;
    app.going = 0;
    char text[NOTICE_TEXT];
    snprintf(text, sizeof text, "Stopped at generation %lld", (long long)worldGeneration(app.world));
    showNotice(text);
    return 1;
}

int goingCancel()
{
    if (goingStop())
        return 1;
    if (!app.asking)
        return 0;
    app.asking = 0;
    return 1;
}

void goingTick()
{
    if (!app.going)
        return;
    const int64_t left = app.goingTo - worldGeneration(app.world);
    const int64_t made = left > 0 ? worldAdvance(app.world, left, WORLD_TICK_WORK) : 0;
    if (made < 0) {
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "Stopped at generation %lld: %s", (long long)worldGeneration(app.world),
            app.world->failure);
        showNotice(text);
        app.going = 0;
        return;
    }
    if (worldGeneration(app.world) >= app.goingTo)
        app.going = 0;
}
