#include "life/life.h"

#include <cctype>
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

// Whether a read of " %d %d %d " can still take something from the stream:
// after white space it must meet a digit or a sign, which the read consumes
// even when it then fails. On anything else, or at the end, every later read
// fails the same way without consuming a byte. Decided from the characters
// themselves, not from file positions, so a pipe reads like a file.
static int numberMayFollow(FILE* file)
{
    int c;
    do
        c = fgetc(file);
    while (c != EOF && isspace(c));
    if (c == EOF)
        return 0;
    ungetc(c, file);
    return isdigit(c) || c == '+' || c == '-';
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
        if (fscanf(file, " %d %d %d ", &x, &y, &z) == 3) {
            if (inBoard(x, y, z))
                grid->cells[x * LIFE_SIZE + y + z] = LIFE_ALIVE;
        } else if (!numberMayFollow(file)) {
            // The remaining triples of a huge count would add nothing.
            break;
        }
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
    // The board with a dead border, one byte a cell (1 alive), so that every
    // cell's eight neighbours can be added without bounds tests; only the layer
    // z = 0 exists, so the layers above and below add nothing.
    enum { SIDE = LIFE_SIZE + 2 };
    uint8_t live[SIDE * SIDE];
    memset(live, 0, sizeof live);
    for (int32_t x = 0; x < LIFE_SIZE; x++) {
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            live[(x + 1) * SIDE + y + 1] = grid->cells[x * LIFE_SIZE + y] == LIFE_ALIVE;
    }
    // The rule as a table: what a dead (0) or live (1) cell becomes with n
    // live neighbours.
    uint8_t next[2][9];
    for (int32_t n = 0; n <= 8; n++) {
        next[0][n] = birthMin <= n && n <= birthMax ? LIFE_ALIVE : LIFE_DEAD;
        next[1][n] = surviveAbove < n && n < surviveBelow ? LIFE_ALIVE : LIFE_DEAD;
    }
    for (int32_t x = 0; x < LIFE_SIZE; x++) {
        const uint8_t* above = &live[x * SIDE];
        const uint8_t* row = above + SIDE;
        const uint8_t* below = row + SIDE;
        uint8_t* out = &grid->cells[x * LIFE_SIZE];
        for (int32_t y = 0; y < LIFE_SIZE; y++) {
            const int32_t n = above[y] + above[y + 1] + above[y + 2] + row[y] + row[y + 2] + below[y] + below[y + 1]
                + below[y + 2];
            out[y] = next[row[y + 1]][n];
        }
    }
}
