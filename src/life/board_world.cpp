// The 64 x 64 board as a world: the LifeGrid stepped by lifeStep under its
// four-number rule, its generations counted here, and kept to go back to as
// 64 bit columns.
#include <cstdio>
#include <cstring>

#include "life/world.h"
#include "platform/platform.h"

namespace {

struct BoardWorld {
    World world; // first, so a World* is the board's
    LifeGrid grid;
    LifeRule rule;
    int64_t generation;
};

struct BoardSnapshot {
    LifeRule rule;
    int64_t generation;
    uint64_t columns[LIFE_SIZE]; // bit y of columns[x]: cell (x, y) alive
};

BoardWorld* boardOf(World* world)
{
    return (BoardWorld*)world;
}

const BoardWorld* boardOf(const World* world)
{
    return (const BoardWorld*)world;
}

int onBoard(int64_t x, int64_t y)
{
    return x >= 0 && x < LIFE_SIZE && y >= 0 && y < LIFE_SIZE;
}

int alive(const BoardWorld* board, int64_t x, int64_t y)
{
    return board->grid.cells[x * LIFE_SIZE + y] == LIFE_ALIVE;
}

void boardRelease(World* world)
{
    heapFree(world);
}

int boardStep(World* world, int64_t generations)
{
    BoardWorld* board = boardOf(world);
    for (int64_t i = 0; i < generations; i++) {
        lifeStep(&board->grid, &board->rule);
        board->generation++;
    }
    return 1;
}

// A generation of the board costs about as much as 20 units of work (its
// 4096 cells a byte each).
int64_t boardAdvance(World* world, int64_t generations, int64_t work)
{
    int64_t made = 0;
    while (made < generations) {
        boardStep(world, 1);
        made++;
        work -= 20;
        if (work <= 0)
            break;
    }
    return made;
}

int64_t boardGeneration(const World* world)
{
    return boardOf(world)->generation;
}

int64_t boardPopulation(const World* world)
{
    int64_t count = 0;
    for (int32_t i = 0; i < LIFE_CELLS; i++)
        count += boardOf(world)->grid.cells[i] == LIFE_ALIVE;
    return count;
}

int boardBounds(const World* world, WorldBox* box)
{
    int found = 0;
    for (int32_t x = 0; x < LIFE_SIZE; x++)
        for (int32_t y = 0; y < LIFE_SIZE; y++) {
            if (!alive(boardOf(world), x, y))
                continue;
            if (!found)
                *box = {x, y, x, y};
            box->left = x < box->left ? x : box->left;
            box->right = x > box->right ? x : box->right;
            box->top = y < box->top ? y : box->top;
            box->bottom = y > box->bottom ? y : box->bottom;
            found = 1;
        }
    return found;
}

int boardGetCell(const World* world, int64_t x, int64_t y)
{
    return onBoard(x, y) && alive(boardOf(world), x, y);
}

int boardSetCell(World* world, int64_t x, int64_t y, int state)
{
    if (!onBoard(x, y))
        return 0;
    boardOf(world)->grid.cells[x * LIFE_SIZE + y] = state ? LIFE_ALIVE : LIFE_DEAD;
    return 1;
}

int boardMayHold(const World*, int64_t x, int64_t y, int32_t shift)
{
    const int64_t side = (int64_t)1 << (shift < 62 ? shift : 62);
    return x < LIFE_SIZE && y < LIFE_SIZE && x + side > 0 && y + side > 0;
}

int boardTileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    static_assert((int)LIFE_SIZE == (int)WORLD_TILE, "the board is one tile");
    if (tx != 0 || ty != 0)
        return 0;
    uint64_t any = 0;
    uint64_t filled[WORLD_TILE] = {};
    for (int32_t x = 0; x < LIFE_SIZE; x++)
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            filled[y] |= (uint64_t)alive(boardOf(world), x, y) << x;
    for (int32_t y = 0; y < WORLD_TILE; y++)
        any |= filled[y];
    if (any)
        memcpy(rows, filled, sizeof filled);
    return any != 0;
}

// Column by column, as the board's Life.ini has always been written.
int64_t boardForEachCell(const World* world, WorldCellVisit visit, void* context)
{
    int64_t count = 0;
    for (int32_t x = 0; x < LIFE_SIZE; x++)
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            if (alive(boardOf(world), x, y)) {
                visit(context, x, y);
                count++;
            }
    return count;
}

// Every board snapshot has the same size: one no longer wanted always has room.
void* boardSnapshotTake(const World* world, void* reuse)
{
    BoardSnapshot* s = reuse ? (BoardSnapshot*)reuse : (BoardSnapshot*)heapAlloc(sizeof(BoardSnapshot));
    if (!s)
        return nullptr;
    const BoardWorld* board = boardOf(world);
    s->rule = board->rule;
    s->generation = board->generation;
    for (int32_t x = 0; x < LIFE_SIZE; x++) {
        uint64_t column = 0;
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            column |= (uint64_t)alive(board, x, y) << y;
        s->columns[x] = column;
    }
    return s;
}

World* boardSnapshotRestore(const void* kept)
{
    const BoardSnapshot* s = (const BoardSnapshot*)kept;
    World* world = boardWorldCreate(&s->rule);
    if (!world)
        return nullptr;
    BoardWorld* board = boardOf(world);
    board->generation = s->generation;
    for (int32_t x = 0; x < LIFE_SIZE; x++)
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            board->grid.cells[x * LIFE_SIZE + y] = (s->columns[x] >> y) & 1 ? LIFE_ALIVE : LIFE_DEAD;
    return world;
}

size_t boardSnapshotBytes(const void*)
{
    return sizeof(BoardSnapshot);
}

void boardSnapshotRelease(void* kept)
{
    heapFree(kept);
}

const WorldEngine boardEngine = {boardRelease, boardStep, boardGeneration, boardPopulation, boardBounds,
    boardGetCell, boardSetCell, boardMayHold, boardTileRows, boardForEachCell, boardSnapshotTake,
    boardSnapshotRestore, boardSnapshotBytes, boardSnapshotRelease, "board", nullptr, worldQueryTopSquares,
    worldQueryQuarters, worldQuerySquareRows, boardAdvance, nullptr};

// The neighbour counts 0 to 8 the rule's range takes, as digits.
void rangeDigits(int32_t above, int32_t below, char* out)
{
    for (int32_t n = 0; n <= 8; n++)
        if (above < n && n < below)
            *out++ = (char)('0' + n);
    *out = '\0';
}

} // namespace

World* boardWorldCreate(const LifeRule* rule)
{
    BoardWorld* board = (BoardWorld*)heapCalloc(1, sizeof(BoardWorld));
    if (!board)
        return nullptr;
    World* world = &board->world;
    world->engine = &boardEngine;
    world->extent = {0, 0, LIFE_SIZE - 1, LIFE_SIZE - 1};
    world->fixedView = 1;
    world->states = 2;
    memset(board->grid.cells, LIFE_DEAD, sizeof board->grid.cells);
    board->rule = *rule;
    snprintf(world->rulesText, sizeof world->rulesText, "%d %d %d %d", (int)rule->surviveAbove,
        (int)rule->surviveBelow, (int)rule->birthMin, (int)rule->birthMax);
    // A birth range from birthMin to birthMax is the range above birthMin - 1
    // and below birthMax + 1; limits far out of 0 .. 8 change nothing.
    const int32_t birthAbove = rule->birthMin < 0 ? -1 : rule->birthMin > 9 ? 8 : rule->birthMin - 1;
    const int32_t birthBelow = rule->birthMax > 8 ? 9 : rule->birthMax < -1 ? 0 : rule->birthMax + 1;
    char birth[10], survive[10];
    rangeDigits(birthAbove, birthBelow, birth);
    rangeDigits(rule->surviveAbove, rule->surviveBelow, survive);
    snprintf(world->ruleName, sizeof world->ruleName, "B%s/S%s", birth, survive);
    return world;
}
