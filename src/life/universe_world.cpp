// The universe as a world: its cells anywhere in 32 bits (or on a bounded
// grid), stepped a generation at a time over the live tiles, seen from afar
// through its tiles counted by squares.
#include <cstdio>
#include <cstring>

#include "life/universe_local.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

struct UniverseWorld {
    World world; // first, so a World* is the universe's
    Universe* universe;
    // Under B0 without S8 the odd generations hold the complement of the
    // cells: saved, they run on under the complement rule, named here.
    char oddRulesText[LIFE_RULE_TEXT];
};

// What Rules.ini is to hold for the generation held now.
void noteRulesText(UniverseWorld* w)
{
    const UniverseRule* rule = &w->universe->rule;
    const int odd = w->oddRulesText[0] && (w->universe->generation & 1);
    memcpy(w->world.rulesText, odd ? w->oddRulesText : rule->name, sizeof w->world.rulesText);
}

Universe* universeOf(World* world)
{
    return ((UniverseWorld*)world)->universe;
}

const Universe* universeOf(const World* world)
{
    return ((const UniverseWorld*)world)->universe;
}

int inPlane(int64_t x, int64_t y)
{
    return x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX;
}

void universeWorldRelease(World* world)
{
    universeRelease(universeOf(world));
    heapFree(world);
}

int universeWorldStep(World* world, int64_t generations)
{
    int ok = 1;
    for (int64_t i = 0; ok && i < generations; i++)
        if (!universeStep(universeOf(world))) {
            snprintf(world->failure, sizeof world->failure, "%s", universeStepFailure(universeOf(world)));
            ok = 0;
        }
    noteRulesText((UniverseWorld*)world);
    return ok;
}

// Tiles stepped in about a unit of worldAdvance's work (a microsecond on the
// desktop), measured on soups.
const int64_t tilesPerWork = 4;

// At least one generation, then more while the work lasts: a generation
// costs about its tiles.
int64_t universeWorldAdvance(World* world, int64_t generations, int64_t work)
{
    Universe* u = universeOf(world);
    int64_t made = 0;
    int64_t tiles = work * tilesPerWork;
    while (made < generations) {
        tiles -= u->tileCount + 1;
        if (!universeWorldStep(world, 1))
            return -1;
        made++;
        if (tiles <= 0)
            break;
    }
    return made;
}

int64_t universeWorldGeneration(const World* world)
{
    return universeGeneration(universeOf(world));
}

int64_t universeWorldPopulation(const World* world)
{
    return universePopulation(universeOf(world));
}

int universeWorldBounds(const World* world, WorldBox* box)
{
    int32_t left, top, right, bottom;
    if (!universeBounds(universeOf(world), &left, &top, &right, &bottom))
        return 0;
    *box = {left, top, right, bottom};
    return 1;
}

int universeWorldGetCell(const World* world, int64_t x, int64_t y)
{
    return inPlane(x, y) && universeGetCell(universeOf(world), (int32_t)x, (int32_t)y);
}

int universeWorldSetCell(World* world, int64_t x, int64_t y, int state)
{
    return inPlane(x, y) && universeSetCell(universeOf(world), (int32_t)x, (int32_t)y, state);
}

// A tile's square says whether the tile is live; a larger one whether the
// index counts a tile in it, dead tiles a step from the live ones included.
int universeWorldMayHold(const World* world, int64_t x, int64_t y, int32_t shift)
{
    const Universe* u = universeOf(world);
    if (shift <= TILE_SHIFT) {
        if (!inPlane(x, y))
            return 0;
        const UniverseTile* t = universeTileAt(u, (int32_t)x >> TILE_SHIFT, (int32_t)y >> TILE_SHIFT);
        return t && t->live[u->generation & 1];
    }
    const int64_t side = (int64_t)1 << (shift < 62 ? shift : 62);
    // Squares that reach past the 32-bit plane may hold whatever it holds.
    if (x + side - 1 < INT32_MIN || x > INT32_MAX || y + side - 1 < INT32_MIN || y > INT32_MAX)
        return 0;
    if (x < INT32_MIN || y < INT32_MIN)
        return u->tileCount > 0;
    return universeIndexHolds(u, shift - TILE_SHIFT, (int32_t)(x >> shift), (int32_t)(y >> shift));
}

int universeWorldTileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    if (tx < INT32_MIN >> TILE_SHIFT || tx > INT32_MAX >> TILE_SHIFT || ty < INT32_MIN >> TILE_SHIFT ||
        ty > INT32_MAX >> TILE_SHIFT)
        return 0;
    const Universe* u = universeOf(world);
    const UniverseTile* t = universeTileAt(u, (int32_t)tx, (int32_t)ty);
    const int b = (int)(u->generation & 1);
    if (!t || !t->live[b])
        return 0;
    memcpy(rows, t->rows[b], sizeof t->rows[b]);
    return 1;
}

struct CellVisit {
    WorldCellVisit visit;
    void* context;
};

void visitCell(void* context, int32_t x, int32_t y)
{
    const CellVisit* v = (const CellVisit*)context;
    v->visit(v->context, x, y);
}

int64_t universeWorldForEachCell(const World* world, WorldCellVisit visit, void* context)
{
    CellVisit v = {visit, context};
    return universeForEachCell(universeOf(world), visitCell, &v);
}

void* universeWorldSnapshotTake(const World* world, void* reuse)
{
    return universeSnapshotTake(universeOf(world), (UniverseSnapshot*)reuse);
}

World* universeWorldWrap(Universe* universe);

World* universeWorldSnapshotRestore(const void* kept)
{
    Universe* universe = universeSnapshotRestore((const UniverseSnapshot*)kept);
    World* world = universe ? universeWorldWrap(universe) : nullptr;
    if (!world)
        universeRelease(universe);
    return world;
}

size_t universeWorldSnapshotBytes(const void* kept)
{
    return universeSnapshotBytes((const UniverseSnapshot*)kept);
}

void universeWorldSnapshotRelease(void* kept)
{
    universeSnapshotRelease((UniverseSnapshot*)kept);
}

const WorldEngine universeEngine = {universeWorldRelease, universeWorldStep, universeWorldGeneration,
    universeWorldPopulation, universeWorldBounds, universeWorldGetCell, universeWorldSetCell, universeWorldMayHold,
    universeWorldTileRows, universeWorldForEachCell, universeWorldSnapshotTake, universeWorldSnapshotRestore,
    universeWorldSnapshotBytes, universeWorldSnapshotRelease, "universe", nullptr, worldQueryTopSquares,
    worldQueryQuarters, worldQuerySquareRows, universeWorldAdvance, nullptr};

// A world around a universe it then owns; null when memory runs out (the
// universe still the caller's).
World* universeWorldWrap(Universe* universe)
{
    UniverseWorld* w = (UniverseWorld*)heapCalloc(1, sizeof(UniverseWorld));
    if (!w)
        return nullptr;
    w->universe = universe;
    World* world = &w->world;
    world->engine = &universeEngine;
    world->extent = {universe->gridLeft, universe->gridTop, universe->gridRight, universe->gridBottom};
    world->states = 2;
    memcpy(world->ruleName, universe->rule.name, sizeof world->ruleName);
    const uint8_t* next = universe->rule.next;
    UniverseRule complement;
    if ((next[0] & 1) && !(next[511] & 1) && universeRuleComplement(&universe->rule, &complement))
        memcpy(w->oddRulesText, complement.name, sizeof w->oddRulesText);
    noteRulesText(w);
    return world;
}

} // namespace

World* universeWorldCreate(const UniverseRule* rule)
{
    return universeWorldAt(rule, 0);
}

World* universeWorldAt(const UniverseRule* rule, int64_t generation)
{
    Universe* universe = universeCreate(rule);
    if (universe)
        universe->generation = generation;
    World* world = universe ? universeWorldWrap(universe) : nullptr;
    if (!world)
        universeRelease(universe);
    return world;
}
