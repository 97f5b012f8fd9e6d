// veltrix-pattern FILE [--at X Y]: converts a pattern file into Life.ini (and
// Rules.ini when the file names a rule) in the current folder and prints a
// summary. Exit code 0 on success, 1 when anything is refused; then no file
// is written.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

static const char usage[] = "usage: veltrix-pattern FILE [--at X Y]\n"
                            "  Converts a .rle, .cells or Life 1.06 pattern into Life.ini (and Rules.ini when\n"
                            "  the pattern names a rule) in the current folder. The pattern is centred on cell\n"
                            "  (32, 32), or its top-left cell goes to (X, Y) with --at.\n";

static int fail(const char* path, const PatternError* error)
{
    if (error->line > 0)
        fprintf(stderr, "veltrix-pattern: %s: line %d: %s\n", path, (int)error->line, error->message);
    else
        fprintf(stderr, "veltrix-pattern: %s: %s\n", path, error->message);
    fprintf(stderr, "veltrix-pattern: nothing written\n");
    return 1;
}

static int readPlacementNumber(const char* text, int32_t* value)
{
    char* end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < -PATTERN_MAX_SIDE || v > PATTERN_MAX_SIDE)
        return 0;
    *value = (int32_t)v;
    return 1;
}

// Reads the whole file into a heap buffer; refuses files over PATTERN_MAX_FILE.
static char* readWhole(const char* path, size_t* size, PatternError* error)
{
    FILE* file = fileOpen(path, "rb");
    if (!file) {
        patternFail(error, 0, "cannot open: %s", strerror(errno));
        return nullptr;
    }
    size_t capacity = 1 << 16;
    size_t used = 0;
    char* text = (char*)heapAlloc(capacity);
    while (text) {
        used += fread(text + used, 1, capacity - used, file);
        if (used < capacity)
            break;
        if (capacity > PATTERN_MAX_FILE) {
            heapFree(text);
            text = nullptr;
            patternFail(error, 0, "larger than %d MiB; refused", (int)(PATTERN_MAX_FILE >> 20));
            break;
        }
        char* grown = (char*)heapRealloc(text, capacity * 2);
        if (!grown) {
            heapFree(text);
            text = nullptr;
            break;
        }
        text = grown;
        capacity *= 2;
    }
    if (!text && error->message[0] == '\0')
        patternFail(error, 0, "out of memory reading the file");
    if (text && used > PATTERN_MAX_FILE) {
        heapFree(text);
        text = nullptr;
        patternFail(error, 0, "larger than %d MiB; refused", (int)(PATTERN_MAX_FILE >> 20));
    }
    if (text && ferror(file)) {
        heapFree(text);
        text = nullptr;
        patternFail(error, 0, "read error: %s", strerror(errno));
    }
    fclose(file);
    *size = used;
    return text;
}

static void printSummary(const char* path, const Pattern* pattern, const Placement* placement, const char* ruleName,
                         const FourRule* rule)
{
    printf("%s: %s pattern, %d x %d, %d live cells\n", path, formatName(pattern->format), (int)pattern->width,
           (int)pattern->height, (int)pattern->count);
    printf("Top-left cell of the pattern at (%d, %d)\n", (int)placement->left, (int)placement->top);
    printf("Cells written: %d\n", (int)placement->written);
    printf("Cells dropped: %d", (int)placement->dropped);
    if (placement->dropped > 0) {
        printf(" (off the 64 x 64 board, not wrapped:");
        for (int32_t k = 0; k < placement->dropped && k < PATTERN_SHOWN_DROPS; k++)
            printf(" (%d, %d)", (int)placement->shownDrops[k].x, (int)placement->shownDrops[k].y);
        printf("%s)", placement->dropped > PATTERN_SHOWN_DROPS ? " ..." : "");
    }
    printf("\n");
    if (placement->written > 0)
        printf("Bounding box: (%d, %d) to (%d, %d)\n", (int)placement->minX, (int)placement->minY,
               (int)placement->maxX, (int)placement->maxY);
    else
        printf("Bounding box: none (empty board)\n");
    if (rule)
        printf("Rule: %s, written to Rules.ini as %d %d %d %d\n", ruleName, (int)rule->surviveAbove,
               (int)rule->surviveBelow, (int)rule->birthMin, (int)rule->birthMax);
    else
        printf("Rule: none in the file; Rules.ini left as it was\n");
    printf("Wrote %s\n", rule ? "Life.ini and Rules.ini" : "Life.ini");
}

int main(int argc, char** argv)
{
    const char* path = nullptr;
    int haveAt = 0;
    int32_t left = 0, top = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--at") == 0 && i + 2 < argc && !haveAt) {
            if (!readPlacementNumber(argv[i + 1], &left) || !readPlacementNumber(argv[i + 2], &top)) {
                fprintf(stderr, "veltrix-pattern: --at needs two whole numbers from %d to %d\n%s",
                        -(int)PATTERN_MAX_SIDE, (int)PATTERN_MAX_SIDE, usage);
                return 1;
            }
            haveAt = 1;
            i += 2;
        } else if (!path && argv[i][0] != '-') {
            path = argv[i];
        } else {
            fprintf(stderr, "%s", usage);
            return 1;
        }
    }
    if (!path) {
        fprintf(stderr, "%s", usage);
        return 1;
    }

    PatternError error = {0, ""};
    size_t size = 0;
    char* text = readWhole(path, &size, &error);
    if (!text)
        return fail(path, &error);
    Pattern pattern;
    const int parsed = parsePattern(detectFormat(text, size, path), text, size, &pattern, &error);
    heapFree(text);
    if (!parsed)
        return fail(path, &error);

    FourRule rule;
    char ruleName[32] = "";
    if (pattern.rule[0]) {
        RuleSets sets;
        if (!parseRule(pattern.rule, &sets, &error) || !ruleToFour(&sets, &rule, &error)) {
            patternRelease(&pattern);
            return fail(path, &error);
        }
        formatRule(&sets, ruleName, sizeof ruleName);
    }

    if (!haveAt)
        centreOrigin(&pattern, &left, &top);
    Placement* placement = (Placement*)heapAlloc(sizeof(Placement));
    if (!placement) {
        patternRelease(&pattern);
        patternFail(&error, 0, "out of memory");
        return fail(path, &error);
    }
    placePattern(&pattern, left, top, placement);
    int ok = 1;
    if (pattern.count > 0 && placement->written == 0) {
        ok = patternFail(&error, 0, "none of the %d live cells lands on the 64 x 64 board at (%d, %d)",
                         (int)pattern.count, (int)left, (int)top);
    } else if (!writeBoardFiles(placement, pattern.rule[0] ? &rule : nullptr, &error)) {
        ok = 0;
    }
    if (ok)
        printSummary(path, &pattern, placement, ruleName, pattern.rule[0] ? &rule : nullptr);
    heapFree(placement);
    patternRelease(&pattern);
    return ok ? 0 : fail(path, &error);
}
