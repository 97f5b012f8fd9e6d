#include "life/life.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "platform/platform.h"

const LifeRule conwayRule = {1, 4, 3, 3};

static char loadReason[512];

const char* lifeLoadReason()
{
    return loadReason;
}

// Sets the reason to "<path>: <text>".
static void lifeNote(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
static void lifeNote(const char* path, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    reasonFormat(loadReason, sizeof loadReason, path, format, args);
    va_end(args);
}

LifeRule loadRules()
{
    loadReason[0] = '\0';
    LifeRule rule = conwayRule;
    FILE* file = fileOpen("Rules.ini", "r");
    if (!file)
        return rule;
    // fscanf stores the leading numbers it can read, in order, and leaves the rest.
    int values[4] = {rule.surviveAbove, rule.surviveBelow, rule.birthMin, rule.birthMax};
    if (fscanf(file, "%d %d %d %d", &values[0], &values[1], &values[2], &values[3]) > 0) {
        rule.surviveAbove = values[0];
        rule.surviveBelow = values[1];
        rule.birthMin = values[2];
        rule.birthMax = values[3];
    } else if (ferror(file)) {
        lifeNote("Rules.ini", "cannot be read (%s); the rule stays Conway's, 1 4 3 3", strerror(errno));
    } else {
        lifeNote("Rules.ini", "does not begin with a number; the rule stays Conway's, 1 4 3 3");
    }
    fclose(file);
    return rule;
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
    loadReason[0] = '\0';
    LifeGrid* grid = (LifeGrid*)heapAlloc(sizeof(LifeGrid));
    if (!grid) {
        lifeNote(path, "out of memory");
        return nullptr;
    }
    errno = 0;
    FILE* file = fileOpen(path, "r");
    if (!file) {
        lifeNote(path, "cannot be opened (%s)", errno ? strerror(errno) : "no such file");
        heapFree(grid);
        return nullptr;
    }
    memset(grid->cells, LIFE_DEAD, sizeof grid->cells);
    int count = 0;
    if (fscanf(file, "%d", &count) != 1) {
        count = 0;
        lifeNote(path, "does not begin with a cell count; the board starts empty");
    }
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
    // A read that failed (a folder by that name, a device error) is no board.
    const int failed = ferror(file);
    const int cause = errno;
    fclose(file);
    if (failed) {
        lifeNote(path, "cannot be read (%s)", strerror(cause));
        heapFree(grid);
        return nullptr;
    }
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

void lifeStep(LifeGrid* grid, const LifeRule* rule)
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
        next[0][n] = rule->birthMin <= n && n <= rule->birthMax ? LIFE_ALIVE : LIFE_DEAD;
        next[1][n] = rule->surviveAbove < n && n < rule->surviveBelow ? LIFE_ALIVE : LIFE_DEAD;
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
