// Drop-to-load: a pattern file dropped on the window becomes the world, through
// the same conversion as veltrix-pattern; every backend reaches it through its
// drop message.
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

int dropPattern(const char* path, char* message, size_t size)
{
    PatternReport* report = (PatternReport*)heapAlloc(sizeof(PatternReport));
    PatternError error = {0, "out of memory"};
    // veltrix-pattern's defaults: the world the pattern's rule names.
    const PatternOptions options = {0, 0, 0, 0, 0};
    int ok = report && patternConvertFile(path, &options, report, &error);
    LifeRule rule = conwayRule;
    UniverseRule universeRule;
    LifeGrid* grid = nullptr;
    Universe* universe = nullptr;
    if (ok) {
        if (loadWorldRules(&rule, &universeRule))
            universe = loadUniverseLife("Life.ini", &universeRule);
        else
            grid = loadLife("Life.ini");
        if (!grid && !universe)
            ok = patternFail(&error, 0, "%s; the world stays", lifeLoadReason());
    }

    char shown[NOTICE_TEXT];
    char logged[NOTICE_TEXT + 64];
    if (ok) {
        app.rule = rule;
        if (universe)
            app.universeRule = universeRule;
        lifeRelease(app.grid);
        universeRelease(app.universe);
        app.grid = grid;
        app.universe = universe;
        // The board is drawn around its middle; the camera stays where it was
        // relative to the origin.
        if (grid) {
            app.originX = 32;
            app.originY = 32;
        }
        app.generationCount = 0;
        historyReset();
        drawForget();
        app.drawnSinceLoad = 0;
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
    return ok;
}
