// One pattern file to the program's files: read whole, parsed, its rule read
// (Conway's when it names none), placed and written, on the 64 x 64 board or on
// the universe the rule names. veltrix-pattern and the program's drop-to-load
// both come through here, so they cannot disagree.
#include <cerrno>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

// Reads the whole file into a heap buffer; refuses files over PATTERN_MAX_FILE.
static char* readWhole(const char* path, size_t* size, PatternError* error)
{
    uint8_t* bytes = nullptr;
    // One byte over the limit tells a file at the limit from a longer one.
    switch (fileReadAll(path, PATTERN_MAX_FILE + 1, &bytes, size)) {
    case FILE_READ_OK:
        if (*size <= PATTERN_MAX_FILE)
            return (char*)bytes;
        heapFree(bytes);
        patternFail(error, 0, "larger than %d MiB; refused", (int)(PATTERN_MAX_FILE >> 20));
        break;
    case FILE_NOT_OPENED:
        patternFail(error, 0, "cannot open: %s", strerror(errno));
        break;
    case FILE_NOT_READ:
        patternFail(error, 0, "read error: %s", strerror(errno));
        break;
    case FILE_NO_MEMORY:
        patternFail(error, 0, "out of memory reading the file");
        break;
    }
    return nullptr;
}

// The rule the file names, or Conway's when it names none (what every one of
// the formats means then), unless the options keep Rules.ini.
static int chooseRule(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                      PatternError* error)
{
    if (!pattern->rule[0] && options->keepRules) {
        report->ruleSource = RULE_KEPT;
        return 1;
    }
    report->ruleSource = pattern->rule[0] ? RULE_FROM_FILE : RULE_BY_CONVENTION;
    RuleSets sets;
    if (!parseRule(pattern->rule[0] ? pattern->rule : "B3/S23", &sets, error) ||
        !ruleToFour(&sets, &report->rule, error))
        return 0;
    formatRule(&sets, report->ruleName, sizeof report->ruleName);
    return 1;
}

// The board: the rule fitted into four numbers, the box centred or put at --at,
// cells off the board dropped.
static int convertToBoard(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                          PatternError* error)
{
    int ok = chooseRule(pattern, options, report, error);
    int32_t left = options->left, top = options->top;
    if (!options->haveAt)
        centreOrigin(pattern, &left, &top);
    if (ok)
        placePattern(pattern, left, top, &report->placement);
    if (ok && report->placement.written == 0)
        ok = patternFail(error, 0,
                         "none of the %d live cells lands on the 64 x 64 board with the pattern's top-left cell "
                         "at (%d, %d); the pattern is %d x %d: choose that cell with veltrix-pattern --at X Y",
                         (int)pattern->count, (int)left, (int)top, (int)pattern->width, (int)pattern->height);
    if (ok)
        ok = writeBoardFiles(&report->placement, report->ruleSource == RULE_KEPT ? nullptr : &report->rule, error);
    return ok;
}

// A side of a bounded grid covers -floor(size / 2) .. -floor(size / 2) + size - 1;
// 0 leaves it unbounded. The first cell outside, in the pattern's order.
static int findOutside(const Pattern* pattern, int64_t left, int64_t top, const LifeGridShape* grid,
                       int64_t* x, int64_t* y)
{
    const int64_t lowX = -(int64_t)(grid->width / 2), lowY = -(int64_t)(grid->height / 2);
    for (int32_t k = 0; k < pattern->count; k++) {
        *x = left + pattern->cells[k].x;
        *y = top + pattern->cells[k].y;
        if ((grid->width > 0 && (*x < lowX || *x >= lowX + grid->width)) ||
            (grid->height > 0 && (*y < lowY || *y >= lowY + grid->height)))
            return 1;
    }
    return 0;
}

// Where the cells go on a universe (where the file puts them, centred on a
// bounded grid as universeOrigin says, or the box's corner at --at) and the
// rule they run under, every cell kept: 1, or 0 when the rule does not parse,
// the box leaves the 32-bit coordinates or a cell lies outside its grid.
static int placeOnUniverse(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                           UniverseRule* rule, PatternError* error)
{
    const int kept = !pattern->rule[0] && options->keepRules;
    char reason[PATTERN_MESSAGE];
    if (!kept && !universeRuleParse(pattern->rule[0] ? pattern->rule : "B3/S23", rule, reason, sizeof reason))
        return patternFail(error, 0, "%s", reason);
    // With Rules.ini kept its grid is not the file's to know: the file's own position holds.
    const LifeGridShape unbounded = {};
    int64_t left = options->left, top = options->top;
    if (!options->haveAt)
        universeOrigin(pattern, kept ? &unbounded : &rule->grid, &left, &top);
    if (left < INT32_MIN || top < INT32_MIN || left + pattern->width - 1 > INT32_MAX ||
        top + pattern->height - 1 > INT32_MAX)
        return patternFail(error, 0, "the pattern's box, %d x %d cells from (%lld, %lld), reaches past the "
                                     "universe's coordinates, %d to %d", (int)pattern->width, (int)pattern->height,
                           (long long)left, (long long)top, (int)INT32_MIN, (int)INT32_MAX);
    report->left = (int32_t)left;
    report->top = (int32_t)top;
    if (kept) {
        report->ruleSource = RULE_KEPT;
        return 1;
    }
    report->ruleSource = pattern->rule[0] ? RULE_FROM_FILE : RULE_BY_CONVENTION;
    memcpy(report->ruleName, rule->name, sizeof report->ruleName);
    int64_t x, y;
    if (findOutside(pattern, left, top, &rule->grid, &x, &y))
        return patternFail(error, 0, "the cell (%lld, %lld) lies outside the grid of rule %s (%d x %d, centred "
                                     "on (0, 0)); refused", (long long)x, (long long)y, rule->name,
                           (int)rule->grid.width, (int)rule->grid.height);
    return 1;
}

static int convertToUniverse(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                             PatternError* error)
{
    UniverseRule rule;
    if (!placeOnUniverse(pattern, options, report, &rule, error))
        return 0;
    return writeUniverseFiles(pattern, report->left, report->top,
                              report->ruleSource == RULE_KEPT ? nullptr : report->ruleName, error);
}

// Cells between two looks at the progress: often enough for a stop to be
// felt at once, seldom enough to cost nothing.
enum { PLACE_STRIDE = 1 << 16 };

static int cancelled(PatternProgress* progress)
{
    return progress && progress->cancel.load(std::memory_order_relaxed);
}

static void enterStage(PatternProgress* progress, PatternStage stage, int64_t total)
{
    if (!progress)
        return;
    progress->done.store(0, std::memory_order_relaxed);
    progress->total.store(total, std::memory_order_relaxed);
    progress->stage.store(stage, std::memory_order_relaxed);
}

// Reads, unpacks and parses the file, with what the report says of it.
static int readPattern(const char* path, Pattern* pattern, PatternReport* report, PatternError* error,
                       PatternProgress* progress)
{
    memset(report, 0, sizeof *report);
    error->line = 0;
    error->message[0] = '\0';
    size_t size = 0;
    char* text = readWhole(path, &size, error);
    if (!text || !patternGunzip(&text, &size, error))
        return 0;
    enterStage(progress, PATTERN_PARSING, 0);
    const int parsed = parsePattern(detectFormat(text, size, path), text, size, pattern, error);
    heapFree(text);
    if (!parsed)
        return 0;
    report->format = pattern->format;
    report->width = pattern->width;
    report->height = pattern->height;
    report->count = pattern->count;
    memcpy(report->note, pattern->note, sizeof report->note);
    return 1;
}

int patternConvertFile(const char* path, const PatternOptions* options, PatternReport* report, PatternError* error)
{
    Pattern pattern;
    if (!readPattern(path, &pattern, report, error, nullptr))
        return 0;
    const int ok = options->board ? convertToBoard(&pattern, options, report, error)
                                  : convertToUniverse(&pattern, options, report, error);
    patternRelease(&pattern);
    return ok;
}

World* patternLoadWorld(const char* path, PatternReport* report, PatternError* error, PatternProgress* progress)
{
    enterStage(progress, PATTERN_READING, 0);
    Pattern pattern;
    if (!readPattern(path, &pattern, report, error, progress))
        return nullptr;
    const PatternOptions options = {0, 0, 0, 0, 0};
    UniverseRule rule;
    World* world = nullptr;
    enterStage(progress, PATTERN_PLACING, pattern.count);
    if (cancelled(progress))
        patternFail(error, 0, "cancelled");
    else if (placeOnUniverse(&pattern, &options, report, &rule, error)) {
        world = worldCreateForRule(&rule);
        if (!world)
            patternFail(error, 0, "out of memory");
        for (int32_t k = 0; world && k < pattern.count; k++) {
            if (k % PLACE_STRIDE == 0 && progress) {
                progress->done.store(k, std::memory_order_relaxed);
                if (cancelled(progress)) {
                    worldRelease(world);
                    world = nullptr;
                    patternFail(error, 0, "cancelled");
                    break;
                }
            }
            if (!worldSetCell(world, report->left + pattern.cells[k].x, report->top + pattern.cells[k].y, 1)) {
                worldRelease(world);
                world = nullptr;
                patternFail(error, 0, "out of memory");
            }
        }
    }
    patternRelease(&pattern);
    return world;
}
