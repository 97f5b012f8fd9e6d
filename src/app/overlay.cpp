// The texts drawn over the frame: the generation, the hints, the status lines
// and the notice that says what became of a drop, a save or a refused step.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "image/image.h"

void generationText(char* text, size_t size, int64_t count)
{
    // Only the last decimal digit picks the suffix: 11 is "11st", 12 "12nd".
    const int64_t digit = count % 10;
    const char* format = digit == 1 ? "%lldst Iteration" : digit == 2 ? "%lldnd Iteration" : "%lldth Iteration";
    snprintf(text, size, format, (long long)count);
}

// Copies text into app.notice, broken at blanks into lines of at most
// NOTICE_COLUMNS characters; bytes the font has no glyph for become '?'.
void showNotice(const char* text)
{
    size_t used = 0;
    size_t lineStart = 0;
    size_t lastBlank = 0; // 0: no blank on this line yet
    for (const char* c = text; *c && used + 1 < sizeof app.notice; c++) {
        const unsigned char u = (unsigned char)*c;
        char out = u == '\n' || (u >= 32 && u < 127) ? (char)u : '?';
        if (out == '\n')
            lineStart = used + 1;
        if (used - lineStart == NOTICE_COLUMNS) {
            // Break at the last blank, or hard when the line has none.
            if (lastBlank > lineStart) {
                app.notice[lastBlank] = '\n';
                lineStart = lastBlank + 1;
            } else {
                app.notice[used++] = '\n';
                lineStart = used;
                if (used + 1 >= sizeof app.notice)
                    break;
            }
        }
        if (out == ' ')
            lastBlank = used;
        app.notice[used++] = out;
    }
    app.notice[used] = '\0';
    app.noticeTicks = NOTICE_TICKS;
}

// Ends at 10 pixels from the right edge, as the generation starts 10 from the left.
static void drawLineRight(const char* text, int32_t y, uint32_t* framebuffer)
{
    const int32_t width = (int32_t)strlen(text) * GLYPH_WIDTH;
    drawTextAdd(text, screenWidth - 10 - width, y, framebuffer);
}

// Each line ends at the same column.
static void drawStatus(uint32_t* framebuffer)
{
    char text[64];
    int32_t y = 10;
    if (app.speed != 0) {
        const int32_t wait = 1 << (app.speed < 0 ? -app.speed : 0);
        if (app.speed > SPEED_FASTEST)
            snprintf(text, sizeof text, "2^%d generations a step", app.speed);
        else if (app.speed > 0)
            snprintf(text, sizeof text, "%d generations a tick", 1 << app.speed);
        else
            snprintf(text, sizeof text, "1 generation every %d ticks", wait < SLOWEST_TICKS ? wait : SLOWEST_TICKS);
        drawLineRight(text, y, framebuffer);
        y += LINE_ADVANCE;
    }
    // Where a world has more states than two, every one but 0 is live.
    const int32_t states = app.world->states;
    if (app.showPopulation) {
        if (states > 2)
            snprintf(text, sizeof text, "%lld live cells (states 1 to %d)", (long long)worldPopulation(app.world),
                states - 1);
        else
            snprintf(text, sizeof text, "%lld live cells", (long long)worldPopulation(app.world));
        drawLineRight(text, y, framebuffer);
        y += LINE_ADVANCE;
    }
    if (app.drawing) {
        if (states > 2)
            snprintf(text, sizeof text, "Drawing state %d of %d", drawStateShown(), states - 1);
        else
            snprintf(text, sizeof text, "Drawing");
        drawLineRight(text, y, framebuffer);
        y += LINE_ADVANCE;
    }
    // The engine goes without saying unless the world left the tile engines.
    if (worldShownEngine(app.world))
        drawLineRight(worldShownEngine(app.world), y, framebuffer);
}

// G's question above the hints, and where going there stands.
static void drawGoing(uint32_t* framebuffer)
{
    char text[80];
    if (app.asking)
        snprintf(text, sizeof text, "Go to generation: %s_", app.askText);
    else if (app.going)
        snprintf(text, sizeof text, "Going to generation %lld", (long long)app.goingTo);
    else
        return;
    drawTextAdd(text, 10, screenHeight - 50, framebuffer);
}

void drawOverlay(uint32_t* framebuffer)
{
    char text[48];
    generationText(text, sizeof text, worldGeneration(app.world));
    drawTextAdd(text, 10, 10, framebuffer);
    // On a touch screen the keys are the page's buttons of those names.
    drawTextAdd(app.touchScreen ? "Tap Step to iterate\nTap Run to auto-iterate"
                                : "Press Ins to iterate\nPress Del to auto-iterate",
        10, screenHeight - 30, framebuffer);
    drawStatus(framebuffer);
    drawGoing(framebuffer);
    // Opaque so it reads over the cells; it counts frames, not time, like
    // everything in the tick.
    if (app.noticeTicks > 0) {
        drawText(app.notice, 10, 30, framebuffer);
        app.noticeTicks--;
    }
}
