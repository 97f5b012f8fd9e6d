// Drop-to-load: a pattern file dropped on the window, picked on the page or
// carried by a link is read into a new world, through the same reading as
// veltrix-pattern; the working folder's files are the user's and stay as
// they are until Ctrl+S.
#include <cstring>

#include "app/app.h"
#include "pattern/pattern.h"

// The name without its folders: the screen has room for little more.
static const char* baseName(const char* path)
{
    const char* name = path;
    for (const char* c = path; *c; c++) {
        if (*c == '/' || *c == '\\')
            name = c + 1;
    }
    return name;
}

void showWorld(World* world)
{
    worldRelease(app.world);
    app.world = world;
    historyReset();
    drawForget();
    app.drawnSinceLoad = 0;
    cameraShowWorld(0);
}

int dropPattern(const char* path, char* message, size_t size)
{
    PatternReport* report = (PatternReport*)heapAlloc(sizeof(PatternReport));
    PatternError error = {0, "out of memory"};
    World* world = report ? patternLoadWorld(path, report, &error) : nullptr;

    char shown[NOTICE_TEXT];
    char logged[NOTICE_TEXT + 64];
    if (world) {
        showWorld(world);
        snprintf(shown, sizeof shown, "%s: %d live cells, rule %s", baseName(path), (int)report->count,
                 report->ruleName);
        snprintf(logged, sizeof logged, "Dropped %s: loaded, %d live cells, rule %s", path, (int)report->count,
                 report->ruleName);
    } else {
        char reason[PATTERN_MESSAGE + 24];
        if (error.line > 0)
            snprintf(reason, sizeof reason, "line %d: %s", (int)error.line, error.message);
        else
            snprintf(reason, sizeof reason, "%s", error.message);
        snprintf(shown, sizeof shown, "%s not loaded: %s", baseName(path), reason);
        snprintf(logged, sizeof logged, "Dropped %s: refused, %s", path, reason);
    }
    heapFree(report);
    // One line per drop, whatever bytes the file's name holds.
    for (char* c = logged; *c; c++) {
        if ((unsigned char)*c < 32)
            *c = '?';
    }
    logLine(logged);
    showNotice(shown);
    if (message && size > 0)
        snprintf(message, size, "%s", shown);
    return world != nullptr;
}
