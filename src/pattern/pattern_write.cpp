// Writes the board or a universe in the program's own formats. Both files go to temporary
// names first and are renamed into place only when everything was written, so
// a failure never leaves a half-written Life.ini or Rules.ini behind.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

static const char lifeTemp[] = "Life.ini.tmp";
static const char rulesTemp[] = "Rules.ini.tmp";

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

// What one of the two files holds; the writers fill it from the fields they need.
struct FileContent {
    const Placement* placement;
    const LifeRule* rule;
    const Pattern* pattern;
    int64_t left;
    int64_t top;
    const char* ruleName;
};

static int writeContent(FILE* file, const FileContent* content)
{
    if (content->placement)
        return writeLifeText(file, content->placement);
    if (content->rule)
        return writeRulesText(file, content->rule);
    if (content->pattern)
        return writeUniverseLifeText(file, content->pattern, content->left, content->top);
    return fprintf(file, "%s\n", content->ruleName) >= 0;
}

// Creates path and fills it; on any failure the file is removed again.
static int writeTemp(const char* path, const FileContent* content, PatternError* error)
{
    FILE* file = fileOpen(path, "w");
    if (!file)
        return patternFail(error, 0, "cannot create %s: %s", path, strerror(errno));
    int ok = writeContent(file, content);
    ok = !ferror(file) && ok;
    if (fclose(file) != 0)
        ok = 0;
    if (!ok) {
        remove(path);
        return patternFail(error, 0, "cannot write %s: %s", path, strerror(errno));
    }
    return 1;
}

// Rules.ini is skipped when rules is null.
static int writeBoth(const FileContent* life, const FileContent* rules, PatternError* error)
{
    if (!writeTemp(lifeTemp, life, error))
        return 0;
    if (rules && !writeTemp(rulesTemp, rules, error)) {
        remove(lifeTemp);
        return 0;
    }
    if (rules && !fileReplace(rulesTemp, "Rules.ini")) {
        const int cause = errno;
        remove(rulesTemp);
        remove(lifeTemp);
        return patternFail(error, 0, "cannot replace Rules.ini: %s", strerror(cause));
    }
    if (!fileReplace(lifeTemp, "Life.ini")) {
        const int cause = errno;
        remove(lifeTemp);
        return patternFail(error, 0, "cannot replace Life.ini: %s%s", strerror(cause),
                           rules ? " (Rules.ini was already replaced)" : "");
    }
    return 1;
}

int writeBoardFiles(const Placement* placement, const LifeRule* rule, PatternError* error)
{
    const FileContent life = {placement, nullptr, nullptr, 0, 0, nullptr};
    const FileContent rules = {nullptr, rule, nullptr, 0, 0, nullptr};
    return writeBoth(&life, rule ? &rules : nullptr, error);
}

int writeUniverseFiles(const Pattern* pattern, int64_t left, int64_t top, const char* ruleName, PatternError* error)
{
    const FileContent life = {nullptr, nullptr, pattern, left, top, nullptr};
    const FileContent rules = {nullptr, nullptr, nullptr, 0, 0, ruleName};
    return writeBoth(&life, ruleName ? &rules : nullptr, error);
}
