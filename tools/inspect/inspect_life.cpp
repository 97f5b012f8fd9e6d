#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "inspect.h"
#include "life/life.h"

static void printCell(void* context, int32_t x, int32_t y)
{
    int64_t* printed = (int64_t*)context;
    printf("%s[%d, %d]", *printed ? ", " : "", (int)x, (int)y);
    (*printed)++;
}

// On a universe the rule is its canonical name and the cells come row by row.
static int inspectUniverse(const UniverseRule* rule, long steps)
{
    Universe* universe = loadUniverseLife("Life.ini", rule);
    if (!universe)
        return inspectError(lifeLoadReason());
    for (long i = 0; i < steps; i++) {
        if (!universeStep(universe)) {
            universeRelease(universe);
            char reason[96];
            snprintf(reason, sizeof reason, "generation %ld: out of memory or past the 32-bit coordinates", i + 1);
            return inspectError(reason);
        }
    }
    printf("{\"rules\": ");
    printJsonString(rule->name);
    printf(", \"alive\": [");
    int64_t printed = 0;
    universeForEachCell(universe, printCell, &printed);
    printf("]}\n");
    universeRelease(universe);
    return 0;
}

// life STEPS: reads Rules.ini and Life.ini of the current folder as the program
// does and prints the rule and the live cells after STEPS generations.
int inspectLife(int argc, char** argv)
{
    if (argc != 1)
        return inspectError("usage: life STEPS");
    char* end = nullptr;
    errno = 0;
    const long steps = strtol(argv[0], &end, 10);
    if (errno != 0 || end == argv[0] || *end != '\0' || steps < 0 || steps > 100000000)
        return inspectError("STEPS must be a whole number from 0 to 100000000");
    LifeRule rule;
    UniverseRule universeRule;
    if (loadWorldRules(&rule, &universeRule))
        return inspectUniverse(&universeRule, steps);
    LifeGrid* grid = loadLife("Life.ini");
    if (!grid)
        return inspectError(lifeLoadReason());
    for (long i = 0; i < steps; i++)
        lifeStep(grid, &rule);
    printf("{\"rules\": [%d, %d, %d, %d], \"alive\": [", (int)rule.surviveAbove, (int)rule.surviveBelow,
           (int)rule.birthMin, (int)rule.birthMax);
    const char* separator = "";
    for (int x = 0; x < LIFE_SIZE; x++) {
        for (int y = 0; y < LIFE_SIZE; y++) {
            if (grid->cells[x * LIFE_SIZE + y] == LIFE_ALIVE) {
                printf("%s[%d, %d]", separator, x, y);
                separator = ", ";
            }
        }
    }
    printf("]}\n");
    lifeRelease(grid);
    return 0;
}
