// loadRules and loadLife on arbitrary text: the first half of the input is
// Rules.ini, the rest Life.ini. Runs a step so every cell value is touched.
#include "fuzz_support.h"
#include "life/life.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t half = size / 2;
    if (!fuzzWriteFile("Rules.ini", data, half) || !fuzzWriteFile("Life.ini", data + half, size - half))
        return 0;
    const LifeRule rule = loadRules();
    LifeGrid* grid = loadLife("Life.ini");
    if (grid)
        lifeStep(grid, &rule);
    lifeRelease(grid);
    return 0;
}
