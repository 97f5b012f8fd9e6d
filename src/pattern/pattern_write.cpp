// Writes the board in the program's own formats. Both files go to temporary
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

// Creates path and fills it; on any failure the file is removed again.
static int writeTemp(const char* path, const Placement* placement, const LifeRule* rule, PatternError* error)
{
    FILE* file = fileOpen(path, "w");
    if (!file)
        return patternFail(error, 0, "cannot create %s: %s", path, strerror(errno));
    int ok = placement ? writeLifeText(file, placement) : writeRulesText(file, rule);
    ok = !ferror(file) && ok;
    if (fclose(file) != 0)
        ok = 0;
    if (!ok) {
        remove(path);
        return patternFail(error, 0, "cannot write %s: %s", path, strerror(errno));
    }
    return 1;
}

int writeBoardFiles(const Placement* placement, const LifeRule* rule, PatternError* error)
{
    if (!writeTemp(lifeTemp, placement, nullptr, error))
        return 0;
    if (rule && !writeTemp(rulesTemp, nullptr, rule, error)) {
        remove(lifeTemp);
        return 0;
    }
    if (rule && !fileReplace(rulesTemp, "Rules.ini")) {
        const int cause = errno;
        remove(rulesTemp);
        remove(lifeTemp);
        return patternFail(error, 0, "cannot replace Rules.ini: %s", strerror(cause));
    }
    if (!fileReplace(lifeTemp, "Life.ini")) {
        const int cause = errno;
        remove(lifeTemp);
        return patternFail(error, 0, "cannot replace Life.ini: %s%s", strerror(cause),
                           rule ? " (Rules.ini was already replaced)" : "");
    }
    return 1;
}
