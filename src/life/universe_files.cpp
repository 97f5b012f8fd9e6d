// Rules.ini and Life.ini of a universe: the board's files, with a rule in the
// community's notation in Rules.ini and the cells anywhere in 32 bits.
#include <cctype>
#include <cstring>

#include "life/life.h"
#include "platform/platform.h"

static int namesUniverse(const uint8_t* bytes, size_t size)
{
    size_t i = 0;
    while (i < size && isspace(bytes[i]))
        i++;
    if (i < size && (bytes[i] == 'B' || bytes[i] == 'b'))
        return 1;
    return size - i >= 3 && memcmp(bytes + i, "MAP", 3) == 0;
}

int loadWorldRules(LifeRule* boardRule, UniverseRule* universeRule)
{
    readReasonClear();
    *boardRule = conwayRule;
    uint8_t bytes[LIFE_RULES_READ];
    size_t size;
    if (!readRulesFile(bytes, sizeof bytes, &size))
        return 0;
    if (!namesUniverse(bytes, size)) {
        *boardRule = readRulesBytes(bytes, size, "Rules.ini");
        return 0;
    }
    char reason[256];
    if (universeRuleParseBytes((const char*)bytes, size, universeRule, reason, sizeof reason))
        return 1;
    readFail("Rules.ini", "%s; the board runs Conway's rule, 1 4 3 3", reason);
    return 0;
}

struct UniverseFill {
    Universe* universe;
    const LifeGridShape* grid;
};

// The grid's span on one axis of size cells: -floor(size / 2) onwards; 0 is unbounded.
static int onAxis(int32_t size, int32_t v)
{
    const int64_t first = -(int64_t)(size / 2);
    return size == 0 || (v >= first && v < first + size);
}

static int setUniverseCell(void* context, int32_t x, int32_t y, int32_t z)
{
    const UniverseFill* fill = (const UniverseFill*)context;
    const LifeGridShape* g = fill->grid;
    if (z != 0 || (g->topology != LIFE_UNBOUNDED && (!onAxis(g->width, x) || !onAxis(g->height, y))))
        return 1;
    return universeSetCell(fill->universe, x, y, 1);
}

Universe* readUniverseLifeBytes(const uint8_t* bytes, size_t size, const char* name, const UniverseRule* rule)
{
    readReasonClear();
    Universe* universe = universeCreate(rule);
    UniverseFill fill = {universe, &rule->grid};
    if (!universe || !readLifeCells(bytes, size, name, setUniverseCell, &fill)) {
        universeRelease(universe);
        readFail(name, "out of memory");
        return nullptr;
    }
    return universe;
}

Universe* loadUniverseLife(const char* path, const UniverseRule* rule)
{
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path, SIZE_MAX, &bytes, &size))
        return nullptr;
    Universe* universe = readUniverseLifeBytes(bytes, size, path, rule);
    heapFree(bytes);
    return universe;
}
