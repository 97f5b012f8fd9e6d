// readRulesBytes and readLifeBytes on arbitrary text: the first half of the
// input is Rules.ini, the rest Life.ini. Runs a step so every cell value is
// touched.
#include "life/life.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t half = size / 2;
    const LifeRule rule = readRulesBytes(data, half, "Rules.ini");
    LifeGrid* grid = readLifeBytes(data + half, size - half, "Life.ini");
    if (grid)
        lifeStep(grid, &rule);
    lifeRelease(grid);
    return 0;
}
