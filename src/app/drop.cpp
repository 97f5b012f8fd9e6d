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

// A new world in place of the one shown, framed: generation 0, nothing to
// go back to or undo.
static void showWorld(World* world)
{
    worldRelease(app.world);
    app.world = world;
    historyReset();
    drawForget();
    app.drawnSinceLoad = 0;
    cameraShowWorld(1);
}

// What became of a drop, on screen and in the log, and message (may be
// null) gets what the screen shows; a world read is shown.
static void announce(const char* path, World* world, const PatternReport* report, const PatternError* error,
                     char* message, size_t size)
{
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
        if (error->line > 0)
            snprintf(reason, sizeof reason, "line %d: %s", (int)error->line, error->message);
        else
            snprintf(reason, sizeof reason, "%s", error->message);
        snprintf(shown, sizeof shown, "%s not loaded: %s", baseName(path), reason);
        snprintf(logged, sizeof logged, "Dropped %s: refused, %s", path, reason);
    }
    // One line per drop, whatever bytes the file's name holds.
    for (char* c = logged; *c; c++) {
        if ((unsigned char)*c < 32)
            *c = '?';
    }
    logLine(logged);
    showNotice(shown);
    if (message && size > 0)
        snprintf(message, size, "%s", shown);
}

int dropPattern(const char* path, char* message, size_t size)
{
    PatternError error = {0, ""};
    if (loadPath()) {
        snprintf(error.message, sizeof error.message, "%s is still loading (Esc stops it)", baseName(loadPath()));
        announce(path, nullptr, nullptr, &error, message, size);
        return 0;
    }
    if (loadStart(path)) {
        app.loading = 1;
        dropTick();
        if (message && size > 0)
            snprintf(message, size, "%s", app.notice);
        return 2;
    }
    PatternReport* report = (PatternReport*)heapAlloc(sizeof(PatternReport));
    snprintf(error.message, sizeof error.message, "%s", "out of memory");
    World* world = report ? patternLoadWorld(path, report, &error, nullptr) : nullptr;
    announce(path, world, report, &error, message, size);
    heapFree(report);
    return world != nullptr;
}

void dropTick()
{
    if (!loadPath())
        return;
    char path[4096];
    snprintf(path, sizeof path, "%s", loadPath());
    // Without memory for the report the world waits for a later tick.
    PatternReport* report = (PatternReport*)heapAlloc(sizeof(PatternReport));
    World* world = nullptr;
    PatternError error = {0, ""};
    if (report && loadTake(&world, report, &error)) {
        app.loading = 0;
        announce(path, world, report, &error, nullptr, 0);
    } else {
        char stage[96];
        loadStage(stage, sizeof stage);
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "Loading %.200s: %s (Esc stops it)", baseName(path), stage);
        showNotice(text);
    }
    heapFree(report);
}

int dropCancel()
{
    if (!loadPath())
        return 0;
    PatternError error = {0, "cancelled"};
    char path[4096];
    snprintf(path, sizeof path, "%s", loadPath());
    loadCancel();
    app.loading = 0;
    announce(path, nullptr, nullptr, &error, nullptr, 0);
    return 1;
}
