// The multi-state engine as a world: its cells anywhere in 32 bits (or on a
// bounded grid), stepped a generation at a time, every state but 0 live to
// the figures, the tiles' rows and the far views; kept to go back to as the
// tiles holding cells at one generation.
#include <cstdio>
#include <cstring>

#include "life/states_local.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

struct StatesWorld {
    World world; // first, so a World* is the engine's
    StatesUniverse* universe;
};

struct SnapshotTile {
    int32_t tx, ty;
    uint8_t cells[STATES_TILE_CELLS];
};

struct StatesSnapshot {
    StatesRule rule; // held
    int64_t generation;
    int32_t tileCount;
    int32_t tileRoom;
    SnapshotTile* tiles; // right after the record, in the same block
};

StatesUniverse* universeOf(const World* world)
{
    return ((const StatesWorld*)world)->universe;
}

int inPlane(int64_t x, int64_t y)
{
    return x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX;
}

void release(World* world)
{
    statesUniverseRelease(universeOf(world));
    heapFree(world);
}

int step(World* world, int64_t generations)
{
    StatesUniverse* u = universeOf(world);
    for (int64_t i = 0; i < generations; i++)
        if (!statesStep(u)) {
            snprintf(world->failure, sizeof world->failure, "%s", u->stepFailure);
            return 0;
        }
    return 1;
}

// A tile of bytes costs a frame's stepping about what four of the
// two-state universe's bit tiles cost.
const int64_t tilesPerWork = 1;

int64_t advance(World* world, int64_t generations, int64_t work)
{
    StatesUniverse* u = universeOf(world);
    int64_t made = 0;
    int64_t tiles = work * tilesPerWork;
    while (made < generations) {
        tiles -= u->tileCount + 1;
        if (!step(world, 1))
            return -1;
        made++;
        if (tiles <= 0)
            break;
    }
    return made;
}

int64_t generation(const World* world)
{
    return universeOf(world)->generation;
}

int64_t population(const World* world)
{
    return statesPopulation(universeOf(world));
}

int bounds(const World* world, WorldBox* box)
{
    int32_t left, top, right, bottom;
    if (!statesBounds(universeOf(world), &left, &top, &right, &bottom))
        return 0;
    *box = {left, top, right, bottom};
    return 1;
}

int getCell(const World* world, int64_t x, int64_t y)
{
    return inPlane(x, y) ? statesGetCell(universeOf(world), (int32_t)x, (int32_t)y) : 0;
}

int setCell(World* world, int64_t x, int64_t y, int state)
{
    return inPlane(x, y) && statesSetCell(universeOf(world), (int32_t)x, (int32_t)y, state, 1);
}

// A tile's square says whether the tile holds a cell; a larger one whether any
// tile lies in it.
int mayHold(const World* world, int64_t x, int64_t y, int32_t shift)
{
    const StatesUniverse* u = universeOf(world);
    const int b = (int)(u->generation & 1);
    if (shift <= STATES_TILE_SHIFT) {
        if (!inPlane(x, y))
            return 0;
        const StatesTile* t = statesTileAt(u, (int32_t)x >> STATES_TILE_SHIFT, (int32_t)y >> STATES_TILE_SHIFT);
        return t && t->count[b];
    }
    const int64_t side = (int64_t)1 << (shift < 62 ? shift : 62);
    for (int32_t i = 0; i < u->tileCount; i++) {
        const StatesTile* t = u->tiles[i];
        const int64_t left = (int64_t)t->tx * STATES_TILE, top = (int64_t)t->ty * STATES_TILE;
        if (t->count[b] && left + STATES_TILE > x && left < x + side && top + STATES_TILE > y && top < y + side)
            return 1;
    }
    return 0;
}

int tileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    if (tx < STATES_TILE_MIN || tx > STATES_TILE_MAX || ty < STATES_TILE_MIN || ty > STATES_TILE_MAX)
        return 0;
    const StatesUniverse* u = universeOf(world);
    const StatesTile* t = statesTileAt(u, (int32_t)tx, (int32_t)ty);
    const int b = (int)(u->generation & 1);
    if (!t || !t->count[b])
        return 0;
    for (int y = 0; y < STATES_TILE; y++) {
        uint64_t row = 0;
        for (int x = 0; x < STATES_TILE; x++)
            row |= (uint64_t)(t->cells[b][y * STATES_TILE + x] != 0) << x;
        rows[y] = row;
    }
    return 1;
}

struct Visit {
    WorldCellVisit cell;
    WorldStateVisit state;
    void* context;
};

void visitOne(void* context, int32_t x, int32_t y, int state)
{
    const Visit* v = (const Visit*)context;
    if (v->cell)
        v->cell(v->context, x, y);
    else
        v->state(v->context, x, y, state);
}

int64_t forEachCell(const World* world, WorldCellVisit visit, void* context)
{
    Visit v = {visit, nullptr, context};
    return statesForEach(universeOf(world), visitOne, &v);
}

void* snapshotTake(const World* world, void* reuse)
{
    const StatesUniverse* u = universeOf(world);
    const int b = (int)(u->generation & 1);
    int32_t count = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        count += u->tiles[i]->count[b] != 0;
    StatesSnapshot* s = (StatesSnapshot*)reuse;
    if (s)
        statesRuleRelease(&s->rule);
    if (!s || s->tileRoom < count) {
        heapFree(s);
        // count <= tileCount, which the universe's own list holds; a 32-bit size_t is checked all the same.
        if ((size_t)count > (SIZE_MAX - sizeof(StatesSnapshot)) / sizeof(SnapshotTile))
            return nullptr;
        s = (StatesSnapshot*)heapAlloc(sizeof(StatesSnapshot) + (size_t)count * sizeof(SnapshotTile));
        if (!s)
            return nullptr;
        s->tileRoom = count;
    }
    statesRuleCopy(&s->rule, &u->rule);
    s->generation = u->generation;
    s->tileCount = count;
    s->tiles = (SnapshotTile*)(s + 1);
    SnapshotTile* out = s->tiles;
    for (int32_t i = 0; i < u->tileCount; i++) {
        const StatesTile* t = u->tiles[i];
        if (!t->count[b])
            continue;
        out->tx = t->tx;
        out->ty = t->ty;
        memcpy(out->cells, t->cells[b], sizeof out->cells);
        out++;
    }
    return s;
}

World* wrap(StatesUniverse* u);

World* snapshotRestore(const void* kept)
{
    const StatesSnapshot* s = (const StatesSnapshot*)kept;
    StatesUniverse* u = statesUniverseCreate(&s->rule);
    if (!u)
        return nullptr;
    u->generation = s->generation;
    const int b = (int)(u->generation & 1);
    for (int32_t i = 0; i < s->tileCount; i++) {
        StatesTile* t = statesTileMake(u, s->tiles[i].tx, s->tiles[i].ty);
        if (!t) {
            statesUniverseRelease(u);
            return nullptr;
        }
        memcpy(t->cells[b], s->tiles[i].cells, STATES_TILE_CELLS);
        statesTileSummarise(t, b);
    }
    World* world = wrap(u);
    if (!world)
        statesUniverseRelease(u);
    return world;
}

size_t snapshotBytes(const void* kept)
{
    const StatesSnapshot* s = (const StatesSnapshot*)kept;
    return sizeof(StatesSnapshot) + (size_t)s->tileRoom * sizeof(SnapshotTile);
}

void snapshotRelease(void* kept)
{
    StatesSnapshot* s = (StatesSnapshot*)kept;
    if (!s)
        return;
    statesRuleRelease(&s->rule);
    heapFree(s);
}

const WorldEngine statesEngine = {release, step, generation, population, bounds, getCell, setCell, mayHold, tileRows,
    forEachCell, snapshotTake, snapshotRestore, snapshotBytes, snapshotRelease, "states", nullptr,
    worldQueryTopSquares, worldQueryQuarters, worldQuerySquareRows, advance, nullptr};

// A world around a universe it then owns; null when memory runs out (the
// universe still the caller's).
World* wrap(StatesUniverse* u)
{
    StatesWorld* w = (StatesWorld*)heapCalloc(1, sizeof(StatesWorld));
    if (!w)
        return nullptr;
    w->universe = u;
    World* world = &w->world;
    world->engine = &statesEngine;
    world->extent = {u->gridLeft, u->gridTop, u->gridRight, u->gridBottom};
    world->states = u->rule.states;
    memcpy(world->ruleName, u->rule.name, sizeof world->ruleName);
    memcpy(world->rulesText, u->rule.name, sizeof world->rulesText);
    return world;
}

} // namespace

World* statesWorldCreate(const StatesRule* rule, char* reason, size_t size)
{
    return statesWorldAt(rule, 0, reason, size);
}

World* statesWorldAt(const StatesRule* rule, int64_t generation, char* reason, size_t size)
{
    StatesUniverse* u = statesUniverseCreate(rule);
    if (u)
        u->generation = generation;
    World* world = u ? wrap(u) : nullptr;
    if (!world) {
        statesUniverseRelease(u);
        snprintf(reason, size, "out of memory");
    }
    return world;
}

const StatesRule* statesWorldRule(const World* world)
{
    return world->engine == &statesEngine ? &universeOf(world)->rule : nullptr;
}

int64_t statesWorldForEachState(const World* world, WorldStateVisit visit, void* context)
{
    Visit v = {nullptr, visit, context};
    return statesForEach(universeOf(world), visitOne, &v);
}

int statesWorldTileStates(const World* world, int64_t tx, int64_t ty, uint8_t cells[WORLD_TILE * WORLD_TILE])
{
    if (world->engine != &statesEngine || tx < STATES_TILE_MIN || tx > STATES_TILE_MAX || ty < STATES_TILE_MIN ||
        ty > STATES_TILE_MAX)
        return 0;
    const StatesUniverse* u = universeOf(world);
    const StatesTile* t = statesTileAt(u, (int32_t)tx, (int32_t)ty);
    const int b = (int)(u->generation & 1);
    if (!t || !t->count[b])
        return 0;
    memcpy(cells, t->cells[b], STATES_TILE_CELLS);
    return 1;
}
