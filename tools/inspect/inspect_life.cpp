#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "inspect.h"
#include "life/life.h"

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
    const LifeRule rule = loadRules();
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
