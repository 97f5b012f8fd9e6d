// Writes the board or a universe in the program's own formats, through the
// world's writer: both files go to temporary names first and are renamed into
// place only when everything was written, so a failure never leaves a
// half-written Life.ini or Rules.ini behind.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

int writeLifeText(FILE* file, const Placement* placement)
{
    if (fprintf(file, "%d\n", (int)placement->written) < 0)
        return 0;
    for (int32_t x = 0; x < LIFE_SIZE; x++) {
        for (int32_t y = 0; y < LIFE_SIZE; y++) {
            if (placement->alive[x * LIFE_SIZE + y] && fprintf(file, "%d %d 0\n", (int)x, (int)y) < 0)
                return 0;
        }
    }
    return 1;
}

int writeRulesText(FILE* file, const LifeRule* rule)
{
    return fprintf(file, "%d %d %d %d\n", (int)rule->surviveAbove, (int)rule->surviveBelow, (int)rule->birthMin,
                   (int)rule->birthMax) >= 0;
}

int writeUniverseLifeText(FILE* file, const Pattern* pattern, int64_t left, int64_t top)
{
    if (fprintf(file, "%d\n", (int)pattern->count) < 0)
        return 0;
    for (int32_t k = 0; k < pattern->count; k++) {
        if (fprintf(file, "%lld %lld 0\n", (long long)(left + pattern->cells[k].x),
                    (long long)(top + pattern->cells[k].y)) < 0)
            return 0;
    }
    return 1;
}

// Pattern errors carry the shared writer's reason.
static int writeBoth(LifeFileWriter writeLife, const void* life, LifeFileWriter writeRules, const void* rules,
                     PatternError* error)
{
    char reason[PATTERN_MESSAGE];
    if (lifeFilesWrite("", writeLife, life, writeRules, rules, reason, sizeof reason))
        return 1;
    return patternFail(error, 0, "%s", reason);
}

static int boardLife(FILE* file, const void* placement)
{
    return writeLifeText(file, (const Placement*)placement);
}

static int boardRules(FILE* file, const void* rule)
{
    return writeRulesText(file, (const LifeRule*)rule);
}

int writeBoardFiles(const Placement* placement, const LifeRule* rule, PatternError* error)
{
    return writeBoth(boardLife, placement, rule ? boardRules : nullptr, rule, error);
}

struct PlacedPattern {
    const Pattern* pattern;
    int64_t left;
    int64_t top;
};

static int universeLife(FILE* file, const void* content)
{
    const PlacedPattern* placed = (const PlacedPattern*)content;
    return writeUniverseLifeText(file, placed->pattern, placed->left, placed->top);
}

static int universeRules(FILE* file, const void* ruleName)
{
    return fprintf(file, "%s\n", (const char*)ruleName) >= 0;
}

int writeUniverseFiles(const Pattern* pattern, int64_t left, int64_t top, const char* ruleName, PatternError* error)
{
    const PlacedPattern placed = {pattern, left, top};
    return writeBoth(universeLife, &placed, ruleName ? universeRules : nullptr, ruleName, error);
}
