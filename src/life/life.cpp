#include "life/life.h"

#include <cstring>

#include "platform/platform.h"

int32_t surviveAbove = 1;
int32_t surviveBelow = 4;
int32_t birthMin = 3;
int32_t birthMax = 3;

void loadRules()
{
    surviveAbove = 1;
    surviveBelow = 4;
    birthMin = 3;
    birthMax = 3;
    FILE* file = fileOpen("Rules.ini", "r");
    if (!file)
        return;
    // fscanf stores the leading numbers it can read, in order, and leaves the rest.
    int values[4] = {surviveAbove, surviveBelow, birthMin, birthMax};
    if (fscanf(file, "%d %d %d %d", &values[0], &values[1], &values[2], &values[3]) > 0) {
        surviveAbove = values[0];
        surviveBelow = values[1];
        birthMin = values[2];
        birthMax = values[3];
    }
    fclose(file);
}

static int inBoard(int32_t x, int32_t y, int32_t z)
{
    return x >= 0 && x < LIFE_SIZE && y >= 0 && y < LIFE_SIZE && z >= 0 && z < 1;
}

LifeGrid* loadLife(const char* path)
{
    LifeGrid* grid = (LifeGrid*)heapAlloc(sizeof(LifeGrid));
    if (!grid)
        return nullptr;
    FILE* file = fileOpen(path, "r");
    if (!file) {
        heapFree(grid);
        return nullptr;
    }
    memset(grid->cells, LIFE_DEAD, sizeof grid->cells);
    int count = 0;
    if (fscanf(file, "%d", &count) != 1)
        count = 0;
    for (int i = 0; i < count; i++) {
        int x, y, z;
        const long before = ftell(file);
        const int got = fscanf(file, " %d %d %d ", &x, &y, &z);
        if (got == 3) {
            if (inBoard(x, y, z))
                grid->cells[x * LIFE_SIZE + y + z] = LIFE_ALIVE;
            continue;
        }
        // A read that failed without consuming input fails the same way every
        // time after, so the remaining triples of a huge count add nothing.
        if (got == EOF || ftell(file) == before)
            break;
    }
    fclose(file);
    return grid;
}

void lifeRelease(LifeGrid* grid)
{
    heapFree(grid);
}

int32_t countNeighbours(const LifeGrid* grid, int32_t x, int32_t y, int32_t z)
{
    int32_t count = 0;
    if (inBoard(x, y, z) && grid->cells[x * LIFE_SIZE + y + z] == LIFE_ALIVE)
        count = -1;
    for (int32_t i = x - 1; i <= x + 1; i++) {
        for (int32_t j = y - 1; j <= y + 1; j++) {
            for (int32_t k = z - 1; k <= z + 1; k++) {
                if (inBoard(i, j, k) && grid->cells[i * LIFE_SIZE + j + k] == LIFE_ALIVE)
                    count += 1;
            }
        }
    }
    return count;
}

void lifeStep(LifeGrid* grid)
{
    LifeGrid scratch;
    memcpy(&scratch, grid, sizeof scratch);
    for (int32_t p = 0; p < LIFE_CELLS; p++) {
        const int32_t x = p & 63;
        const int32_t y = (p >> 6) & 63;
        const int32_t z = (p >> 12) & 1;
        const int32_t n = countNeighbours(&scratch, x, y, z);
        const int32_t index = x * LIFE_SIZE + y + z;
        int alive;
        if (scratch.cells[index] == LIFE_ALIVE)
            alive = surviveAbove < n && n < surviveBelow;
        else
            alive = birthMin <= n && n <= birthMax;
        grid->cells[index] = alive ? LIFE_ALIVE : LIFE_DEAD;
    }
}
