// What the page asks of the program between frames: its figures and switches,
// read through the window procedure as the desktop's overlay reads them, and
// the world written out for the page's link and rule choice.
#include <emscripten.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/web/web_local.h"

// The program's figures, asked of its window procedure as the page shows them.
static WindowFigures figures()
{
    WindowFigures shown = {};
    Window* window = webWindowShown();
    if (window)
        messageSend(window, MSG_FIGURES, 0, (intptr_t)&shown);
    return shown;
}

// 1 once cells were drawn on the world loaded last: the page's link then
// carries the cells themselves.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webDrawn()
{
    return figures().drawn;
}

// The rule of the world shown, as the page's Rule menu names it.
extern "C" EMSCRIPTEN_KEEPALIVE const char* webRule()
{
    static WindowFigures shown;
    shown = figures();
    return shown.rule;
}

// Writes the world shown (start 0) or its generation 0 (start 1) to
// /export/Life.ini and /export/Rules.ini, for the page's link and rule
// choice; the working folder stays as the user left it. 1, or 0.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webExportWorld(int32_t start)
{
    static char folder[] = "/export";
    Window* window = webWindowShown();
    return window ? (int32_t)messageSend(window, MSG_EXPORTWORLD, start ? 1 : 0, (intptr_t)folder) : 0;
}

// The generation the picture counts and the live cells of the world shown,
// for the page's figures and population graph; a double holds either exactly
// up to 2^53.
extern "C" EMSCRIPTEN_KEEPALIVE double webGeneration()
{
    return (double)figures().generation;
}

// Where a dropped file being read stands, "" when none is.
extern "C" EMSCRIPTEN_KEEPALIVE const char* webLoading()
{
    static WindowFigures shown;
    shown = figures();
    return shown.loading;
}

extern "C" EMSCRIPTEN_KEEPALIVE double webPopulation()
{
    return (double)figures().population;
}

// The switches the page's buttons show, one bit each: 1 auto-iteration (Del),
// 2 filtering (End), 4 drawing (E), 8 following (T), 16 going to a generation
// (G, the page's field), 32 on hashlife (H).
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webSwitches()
{
    const WindowFigures shown = figures();
    return (shown.autoIterate ? 1 : 0) | (shown.filtering ? 2 : 0) | (shown.drawing ? 4 : 0) | (shown.follow ? 8 : 0) |
        (shown.goingTo >= 0 ? 16 : 0) | (strcmp(shown.engine, "hashlife") == 0 ? 32 : 0);
}

// The page's menu of states: the world's states (bits 0-15) and the state drawing gives (16-31).
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webStates()
{
    const WindowFigures shown = figures();
    return (shown.states & 0xFFFF) | (shown.drawState & 0xFFFF) << 16;
}
