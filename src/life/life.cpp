#include "life/life.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

const LifeRule conwayRule = {1, 4, 3, 3};

const char* lifeLoadReason()
{
    return readReason.line;
}

// A read position in a text in memory.
struct TextCursor {
    const uint8_t* bytes;
    size_t size;
    size_t pos;
};

static void skipSpace(TextCursor* in)
{
    while (in->pos < in->size && isspace(in->bytes[in->pos]))
        in->pos++;
}

// Reads a whole number the way the C library's scanf "%d" does, since the
// files were written for it: white space, an optional sign, digits. A sign
// without a digit behind it is consumed all the same. Returns 1 with the
// value, or 0. Out of range the value sticks at the 64-bit limit and keeps its
// low 32 bits, as glibc stores a %d.
static int scanNumber(TextCursor* in, int* value)
{
    skipSpace(in);
    if (in->pos >= in->size)
        return 0;
    const int negative = in->bytes[in->pos] == '-';
    if (negative || in->bytes[in->pos] == '+')
        in->pos++;
    if (in->pos >= in->size || !isdigit(in->bytes[in->pos]))
        return 0;
    // The magnitude stops growing at 2^63, past every 64-bit value.
    const uint64_t cap = (uint64_t)1 << 63;
    uint64_t magnitude = 0;
    for (; in->pos < in->size && isdigit(in->bytes[in->pos]); in->pos++) {
        const uint64_t digit = (uint64_t)(in->bytes[in->pos] - '0');
        magnitude = magnitude > (cap - digit) / 10 ? cap : magnitude * 10 + digit;
    }
    uint64_t bits;
    if (negative)
        bits = (uint64_t)0 - magnitude;
    else
        bits = magnitude >= cap ? cap - 1 : magnitude;
    *value = (int)(int32_t)(uint32_t)bits;
    return 1;
}

LifeRule readRulesBytes(const uint8_t* bytes, size_t size, const char* name)
{
    readReasonClear();
    LifeRule rule = conwayRule;
    TextCursor in = {bytes, size, 0};
    // The leading numbers that can be read replace the rule's, in order.
    int32_t* fields[4] = {&rule.surviveAbove, &rule.surviveBelow, &rule.birthMin, &rule.birthMax};
    int read = 0;
    int value;
    while (read < 4 && scanNumber(&in, &value))
        *fields[read++] = value;
    if (read == 0)
        readFail(name, "does not begin with a number; the rule stays Conway's, 1 4 3 3");
    return rule;
}

int readRulesFile(uint8_t* bytes, size_t room, size_t* size)
{
    FILE* file = fileOpen("Rules.ini", "r");
    if (!file)
        return 0;
    *size = fread(bytes, 1, room, file);
    const int failed = ferror(file);
    const int cause = errno;
    fclose(file);
    if (failed)
        return readFail("Rules.ini", "cannot be read (%s); the rule stays Conway's, 1 4 3 3", strerror(cause));
    return 1;
}

LifeRule loadRules()
{
    readReasonClear();
    uint8_t bytes[LIFE_RULES_READ];
    size_t size;
    if (!readRulesFile(bytes, sizeof bytes, &size))
        return conwayRule;
    return readRulesBytes(bytes, size, "Rules.ini");
}

static int inBoard(int32_t x, int32_t y, int32_t z)
{
    return x >= 0 && x < LIFE_SIZE && y >= 0 && y < LIFE_SIZE && z >= 0 && z < 1;
}

// Whether a read of " %d %d %d " can still take something from the text:
// after white space it must meet a digit or a sign, which the read consumes
// even when it then fails. On anything else, or at the end, every later read
// fails the same way without consuming a byte.
static int numberMayFollow(TextCursor* in)
{
    skipSpace(in);
    if (in->pos >= in->size)
        return 0;
    const uint8_t c = in->bytes[in->pos];
    return isdigit(c) || c == '+' || c == '-';
}

typedef int (*LifeStateCell)(void* context, int32_t x, int32_t y, int32_t z, int32_t state);

// Lines of three numbers, or of four when withState is set.
static int readLines(const uint8_t* bytes, size_t size, const char* name, int withState, LifeStateCell cell,
                     void* context)
{
    TextCursor in = {bytes, size, 0};
    int count = 0;
    if (!scanNumber(&in, &count)) {
        count = 0;
        readFail(name, "does not begin with a cell count; the board starts empty");
    }
    for (int i = 0; i < count; i++) {
        int x, y, z, state = 1;
        if (scanNumber(&in, &x) && scanNumber(&in, &y) && scanNumber(&in, &z) &&
            (!withState || scanNumber(&in, &state))) {
            skipSpace(&in);
            if (!cell(context, x, y, z, state))
                return 0;
        } else if (!numberMayFollow(&in)) {
            // The remaining triples of a huge count would add nothing.
            break;
        }
    }
    return 1;
}

struct TripleCell {
    int (*cell)(void* context, int32_t x, int32_t y, int32_t z);
    void* context;
};

static int tripleCell(void* context, int32_t x, int32_t y, int32_t z, int32_t)
{
    const TripleCell* t = (const TripleCell*)context;
    return t->cell(t->context, x, y, z);
}

int readLifeCells(const uint8_t* bytes, size_t size, const char* name,
                  int (*cell)(void* context, int32_t x, int32_t y, int32_t z), void* context)
{
    TripleCell t = {cell, context};
    return readLines(bytes, size, name, 0, tripleCell, &t);
}

int readLifeStates(const uint8_t* bytes, size_t size, const char* name, LifeStateCell cell, void* context)
{
    return readLines(bytes, size, name, 1, cell, context);
}

static int setBoardCell(void* context, int32_t x, int32_t y, int32_t z)
{
    LifeGrid* grid = (LifeGrid*)context;
    if (inBoard(x, y, z))
        grid->cells[x * LIFE_SIZE + y + z] = LIFE_ALIVE;
    return 1;
}

LifeGrid* readLifeBytes(const uint8_t* bytes, size_t size, const char* name)
{
    readReasonClear();
    LifeGrid* grid = (LifeGrid*)heapAlloc(sizeof(LifeGrid));
    if (!grid) {
        readFail(name, "out of memory");
        return nullptr;
    }
    memset(grid->cells, LIFE_DEAD, sizeof grid->cells);
    readLifeCells(bytes, size, name, setBoardCell, grid);
    return grid;
}

LifeGrid* loadLife(const char* path)
{
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path, SIZE_MAX, &bytes, &size))
        return nullptr;
    LifeGrid* grid = readLifeBytes(bytes, size, path);
    heapFree(bytes);
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
