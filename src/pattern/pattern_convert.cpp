// One pattern file to the board's files: read whole, parsed, its rule fitted
// (Conway's when it names none), placed and written. veltrix-pattern and the
// program's drop-to-load both come through here, so they cannot disagree.
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

int patternConvertFile(const char* path, const PatternOptions* options, PatternReport* report, PatternError* error)
{
    memset(report, 0, sizeof *report);
    error->line = 0;
    error->message[0] = '\0';
    size_t size = 0;
    char* text = readWhole(path, &size, error);
    if (!text || !patternGunzip(&text, &size, error))
        return 0;
    Pattern pattern;
    const int parsed = parsePattern(detectFormat(text, size, path), text, size, &pattern, error);
    heapFree(text);
    if (!parsed)
        return 0;
    report->format = pattern.format;
    report->width = pattern.width;
    report->height = pattern.height;
    report->count = pattern.count;
    memcpy(report->note, pattern.note, sizeof report->note);

    int ok = chooseRule(&pattern, options, report, error);
    int32_t left = options->left, top = options->top;
    if (!options->haveAt)
        centreOrigin(&pattern, &left, &top);
    if (ok)
        placePattern(&pattern, left, top, &report->placement);
    if (ok && report->placement.written == 0)
        ok = patternFail(error, 0,
                         "none of the %d live cells lands on the 64 x 64 board with the pattern's top-left cell "
                         "at (%d, %d); the pattern is %d x %d: choose that cell with veltrix-pattern --at X Y",
                         (int)pattern.count, (int)left, (int)top, (int)pattern.width, (int)pattern.height);
    if (ok)
        ok = writeBoardFiles(&report->placement, report->ruleSource == RULE_KEPT ? nullptr : &report->rule, error);
    patternRelease(&pattern);
    return ok;
}
