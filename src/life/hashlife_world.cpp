// The hashlife engine behind World: a root node centred on the origin and
// the generation, in a store of nodes the world shares with its snapshots and
// the worlds restored from them. A step of n generations is a step of 2^k for
// each binary digit k of n; one that runs into the memory budget collects the
// nodes no holder reaches and tries again, then takes its 2^k in two halves,
// down to single generations. A step given a share of work stops when the
// share is spent and keeps what it worked out on the nodes, so the same step
// asked again at the next tick goes on from there.
#include <cstdio>
#include <cstring>

#include "life/hashlife_local.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

// A root of level 62 holds the tree's cells -2^61 .. 2^61 - 1 each way; a
// step needs its cells in the middle quarter, within 2^59 of the origin.
const int64_t reachCells = (int64_t)1 << (HASH_LEVEL_MAX - 1);
// The largest step one root can take: 2^59 generations at level 62.
enum { SHIFT_MAX = HASH_LEVEL_MAX - 3 };
// Futures worked out in about a unit of worldAdvance's work (a microsecond
// on the desktop), measured on the metapixel galaxy and soups.
const int64_t futuresPerWork = 2;

enum { STEP_FAILED, STEP_DONE, STEP_PENDING };

struct HashSnapshot {
    HashStore* store;
    HashRoot root;
    int64_t generation;
    size_t bytes; // its tree's nodes, counted when taken
};

HashWorld* worldOf(World* world)
{
    return (HashWorld*)world;
}

const HashNode* rootOf(const World* world)
{
    return ((const HashWorld*)world)->root.node;
}

// 2^shift generations on: STEP_DONE; STEP_PENDING when the work limit ran out
// first (the world as it was); or STEP_FAILED with the reason and the world
// at the last generation it reached.
int stepPower(HashWorld* w, int shift)
{
    if (!w->root.node->population) {
        w->generation += (int64_t)1 << shift;
        return STEP_DONE;
    }
    if (shift > SHIFT_MAX) {
        for (int i = 0; i < 1 << (shift - SHIFT_MAX); i++)
            if (stepPower(w, SHIFT_MAX) != STEP_DONE)
                return STEP_FAILED;
        return STEP_DONE;
    }
    HashStore* s = w->store;
    s->budget = hashlifeLimits.budgetBytes;
    HashNode* next = hashStepRoot(s, w->root.node, shift);
    if (!next && s->failure == HASH_FAIL_WORK)
        return STEP_PENDING;
    if (!next && s->failure != HASH_FAIL_REACH) {
        // Collecting forgets the work of steps under way: from here the step
        // runs to its end, so that it cannot start over at every tick.
        s->workLimit = 0;
        hashCollect(s);
        next = hashStepRoot(s, w->root.node, shift);
    }
    if (!next) {
        if (s->failure != HASH_FAIL_REACH && shift > 0)
            return stepPower(w, shift - 1) == STEP_DONE && stepPower(w, shift - 1) == STEP_DONE ? STEP_DONE
                                                                                                : STEP_FAILED;
        hashDescribeFailure(s, w->world.failure, sizeof w->world.failure);
        return STEP_FAILED;
    }
    w->root.node = next;
    w->generation += (int64_t)1 << shift;
    return STEP_DONE;
}

void hashWorldRelease(World* world)
{
    HashWorld* w = worldOf(world);
    hashRootDrop(w->store, &w->root);
    heapFree(w);
}

int reachable(HashWorld* w, int64_t generations)
{
    if (w->generation > INT64_MAX - generations) {
        snprintf(w->world.failure, sizeof w->world.failure, "the generation would pass 2^63 - 1");
        return 0;
    }
    return 1;
}

int hashWorldStep(World* world, int64_t generations)
{
    HashWorld* w = worldOf(world);
    if (generations <= 0)
        return 1;
    if (!reachable(w, generations))
        return 0;
    w->store->workLimit = 0;
    for (int shift = 0; shift < 63; shift++)
        if (((generations >> shift) & 1) && stepPower(w, shift) != STEP_DONE)
            return 0;
    return 1;
}

// The largest power of two first: a step of 2^k asked again at the next tick
// is the same step, whatever the generation.
int64_t hashWorldAdvance(World* world, int64_t generations, int64_t work)
{
    HashWorld* w = worldOf(world);
    if (generations <= 0)
        return 0;
    if (!reachable(w, generations))
        return -1;
    HashStore* s = w->store;
    s->work = 0;
    s->workLimit = work > 0 ? work * futuresPerWork : 1;
    int64_t made = 0;
    while (made < generations) {
        int shift = 63 - __builtin_clzll((uint64_t)(generations - made));
        shift = shift < SHIFT_MAX ? shift : SHIFT_MAX;
        const int outcome = stepPower(w, shift);
        if (outcome == STEP_FAILED) {
            s->workLimit = 0;
            return -1;
        }
        if (outcome == STEP_PENDING)
            break;
        made += (int64_t)1 << shift;
        if (s->workLimit && s->work >= s->workLimit)
            break;
    }
    s->workLimit = 0;
    return made;
}

int64_t hashWorldGeneration(const World* world)
{
    return ((const HashWorld*)world)->generation;
}

int64_t hashWorldPopulation(const World* world)
{
    return rootOf(world)->population;
}

int hashWorldBounds(const World* world, WorldBox* box)
{
    if (!hashBounds(rootOf(world), box))
        return 0;
    box->top += HASH_ROW;
    box->bottom += HASH_ROW;
    return 1;
}

int hashWorldGetCell(const World* world, int64_t x, int64_t y)
{
    const WorldBox* e = &world->extent;
    return y >= e->top && y <= e->bottom && hashCellAt(rootOf(world), x, y - HASH_ROW);
}

// The node with the cell (x, y) set to state, its path rebuilt; null when
// memory runs out.
HashNode* withCell(HashStore* s, HashNode* n, int64_t left, int64_t top, int64_t x, int64_t y, int state)
{
    if (n->level == HASH_LEAF_LEVEL) {
        const uint64_t bit = (uint64_t)1 << (8 * (y - top) + (x - left));
        const uint64_t bits = state ? n->bits | bit : n->bits & ~bit;
        return bits == n->bits ? n : hashLeaf(s, bits);
    }
    if (!state && !n->population)
        return n;
    const int64_t half = (int64_t)1 << (n->level - 1);
    const int east = x >= left + half, south = y >= top + half;
    const int i = east + 2 * south;
    HashNode* q[4] = {n->quad[0], n->quad[1], n->quad[2], n->quad[3]};
    q[i] = withCell(s, q[i], left + east * half, top + south * half, x, y, state);
    if (!q[i])
        return nullptr;
    return q[i] == n->quad[i] ? n : hashJoin(s, q[0], q[1], q[2], q[3]);
}

// The root grown to hold (x, y) with the cell set; null when memory runs out.
HashNode* rootWithCell(HashStore* s, HashNode* root, int64_t x, int64_t y, int state)
{
    for (;;) {
        const int64_t reach = (int64_t)1 << (root->level - 1);
        if (x >= -reach && x < reach && y >= -reach && y < reach)
            return withCell(s, root, -reach, -reach, x, y, state);
        if (!state)
            return root;
        root = hashExpand(s, root);
        if (!root)
            return nullptr;
    }
}

int hashWorldSetCell(World* world, int64_t x, int64_t y, int state)
{
    const WorldBox* e = &world->extent;
    if (x < e->left || x > e->right || y < e->top || y > e->bottom)
        return 0;
    HashWorld* w = worldOf(world);
    HashStore* s = w->store;
    s->budget = hashlifeLimits.budgetBytes;
    HashNode* root = rootWithCell(s, w->root.node, x, y - HASH_ROW, state != 0);
    if (!root) {
        hashCollect(s);
        root = rootWithCell(s, w->root.node, x, y - HASH_ROW, state != 0);
    }
    if (!root)
        return 0;
    w->root.node = root;
    return 1;
}

// The last cell of a side of 2^shift from first, cut at the end of int64.
int64_t sideEnd(int64_t first, int32_t shift)
{
    const __int128 last = (__int128)first + ((__int128)1 << (shift < 0 ? 0 : shift > 64 ? 64 : shift)) - 1;
    return last > INT64_MAX ? INT64_MAX : (int64_t)last;
}

int hashWorldMayHold(const World* world, int64_t x, int64_t y, int32_t shift)
{
    // The first row moved into the tree cannot pass INT64_MIN: the plane's
    // rows below the extent's top hold nothing.
    const int64_t top = y < world->extent.top ? world->extent.top : y;
    const int64_t bottom = sideEnd(y, shift);
    if (bottom < top)
        return 0;
    const WorldBox box = {x, top - HASH_ROW, sideEnd(x, shift), bottom - HASH_ROW};
    return hashHolds(rootOf(world), &box);
}

// The plane's tile rows ty * 64 .. + 63 are the tree's from ty * 64 - 1: the
// last row of one tree tile and the first 63 of the next.
int hashWorldTileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    uint64_t upper[WORLD_TILE], lower[WORLD_TILE];
    const int hasUpper = hashTileRows(rootOf(world), tx, ty - 1, upper) && upper[WORLD_TILE - 1];
    const int hasLower = hashTileRows(rootOf(world), tx, ty, lower);
    uint64_t any = 0;
    if (hasLower)
        for (int r = 0; r < WORLD_TILE - 1; r++)
            any |= lower[r];
    if (!hasUpper && !any)
        return 0;
    rows[0] = hasUpper ? upper[WORLD_TILE - 1] : 0;
    for (int r = 1; r < WORLD_TILE; r++)
        rows[r] = hasLower ? lower[r - 1] : 0;
    return 1;
}

struct RowShift {
    WorldCellVisit visit;
    void* context;
};

void visitShifted(void* context, int64_t x, int64_t y)
{
    const RowShift* shift = (const RowShift*)context;
    shift->visit(shift->context, x, y + HASH_ROW);
}

int64_t hashWorldForEachCell(const World* world, WorldCellVisit visit, void* context)
{
    RowShift shift = {visit, context};
    return hashForEachCell(rootOf(world), visitShifted, &shift);
}

// ---- Squares: the tree's own nodes ------------------------------------------------

// The live quarters of a node whose square starts at (x, y) on the plane.
int32_t nodeQuarters(const HashNode* n, int64_t x, int64_t y, WorldSquare quarters[4])
{
    const int32_t shift = n->level - 1;
    const int64_t half = (int64_t)1 << shift;
    int32_t count = 0;
    for (int32_t q = 0; q < 4; q++) {
        const HashNode* c = n->quad[q];
        if (c->population)
            quarters[count++] = {x + (q & 1 ? half : 0), y + (q & 2 ? half : 0), shift, c->population, c};
    }
    return count;
}

int32_t hashWorldTopSquares(const World* world, WorldSquare squares[4])
{
    const HashNode* root = rootOf(world);
    const int64_t corner = -((int64_t)1 << (root->level - 1));
    return nodeQuarters(root, corner, corner + HASH_ROW, squares);
}

int32_t hashWorldQuarters(const World*, const WorldSquare* square, WorldSquare quarters[4])
{
    const HashNode* n = (const HashNode*)square->node;
    if (n->level <= WORLD_TILE_SHIFT)
        return 0;
    return nodeQuarters(n, square->x, square->y, quarters);
}

int hashWorldSquareRows(const World*, const WorldSquare* tile, uint64_t rows[WORLD_TILE])
{
    const HashNode* n = (const HashNode*)tile->node;
    if (n->level != WORLD_TILE_SHIFT || !n->population)
        return 0;
    hashNodeRows(n, rows);
    return 1;
}

// ---- Snapshots ------------------------------------------------------------------

void hashWorldSnapshotRelease(void* kept)
{
    HashSnapshot* k = (HashSnapshot*)kept;
    hashRootDrop(k->store, &k->root);
    heapFree(k);
}

// A snapshot holds the root, sharing every node with the world: taking one
// copies nothing. It counts its tree's nodes as though it held them alone,
// which is what collection keeps for it at most (a snapshot keeps no
// futures), so what history counts of it is never less than it holds.
void* hashWorldSnapshotTake(const World* world, void* reuse)
{
    const HashWorld* w = (const HashWorld*)world;
    HashSnapshot* k = (HashSnapshot*)reuse;
    if (k && k->store != w->store) {
        hashWorldSnapshotRelease(k);
        k = nullptr;
    }
    if (!k) {
        k = (HashSnapshot*)heapAlloc(sizeof(HashSnapshot));
        if (!k)
            return nullptr;
        k->store = w->store;
        hashRootAdd(w->store, &k->root, w->root.node, 0);
    }
    k->root.node = w->root.node;
    k->generation = w->generation;
    k->bytes = (size_t)hashTreeNodes(w->root.node) * sizeof(HashNode);
    return k;
}

// The restored world shares the snapshot's store and nodes.
World* hashWorldSnapshotRestore(const void* kept)
{
    const HashSnapshot* k = (const HashSnapshot*)kept;
    return hashWorldMake(k->store, k->root.node, k->generation);
}

size_t hashWorldSnapshotBytes(const void* kept)
{
    return sizeof(HashSnapshot) + ((const HashSnapshot*)kept)->bytes;
}

const WorldEngine hashEngine = {hashWorldRelease, hashWorldStep, hashWorldGeneration, hashWorldPopulation,
    hashWorldBounds, hashWorldGetCell, hashWorldSetCell, hashWorldMayHold, hashWorldTileRows, hashWorldForEachCell,
    hashWorldSnapshotTake, hashWorldSnapshotRestore, hashWorldSnapshotBytes, hashWorldSnapshotRelease, "hashlife",
    "Hashlife", hashWorldTopSquares, hashWorldQuarters, hashWorldSquareRows, hashWorldAdvance, hashWriteLife};

} // namespace

void hashDescribeFailure(const HashStore* s, char* out, size_t size)
{
    if (s->failure == HASH_FAIL_REACH)
        snprintf(out, size, "the pattern has reached 2^59 cells from the origin, where hashlife's steps stop");
    else if (s->failure == HASH_FAIL_BUDGET)
        snprintf(out, size, "the pattern needs more than the memory budget of %zu MiB", s->budget >> 20);
    else
        snprintf(out, size, "memory ran out");
}

World* hashWorldMake(HashStore* store, HashNode* root, int64_t generation)
{
    HashWorld* w = (HashWorld*)heapCalloc(1, sizeof(HashWorld));
    if (!w)
        return nullptr;
    w->store = store;
    w->generation = generation;
    hashRootAdd(store, &w->root, root, 1);
    World* world = &w->world;
    world->engine = &hashEngine;
    world->extent = {-reachCells, -reachCells + HASH_ROW, reachCells - 1, reachCells - 1 + HASH_ROW};
    world->states = 2;
    memcpy(world->ruleName, store->rule.name, sizeof world->ruleName);
    memcpy(world->rulesText, store->rule.name, sizeof world->rulesText);
    return world;
}

size_t hashlifeWorldBytes(const World* world)
{
    return world->engine == &hashEngine ? ((const HashWorld*)world)->store->bytes : 0;
}

void hashlifeWorldSetGeneration(World* world, int64_t generation)
{
    if (world->engine == &hashEngine)
        worldOf(world)->generation = generation;
}

World* hashlifeWorldCreate(const UniverseRule* rule, char* reason, size_t size)
{
    return hashlifeWorldFromCells(rule, nullptr, 0, 0, 0, reason, size);
}

World* hashlifeWorldFromCells(const UniverseRule* rule, const int32_t* xy, int64_t count, int64_t left, int64_t top,
    char* reason, size_t size)
{
    HashStore* store = hashStoreFor(rule, reason, size);
    if (!store)
        return nullptr;
    HashNode* root =
        count > 0 ? hashBuild(store, xy, count, left, top - HASH_ROW) : store->empty[HASH_ROOT_MIN];
    World* world = root ? hashWorldMake(store, root, 0) : nullptr;
    if (!world) {
        if (store->failure == HASH_FAIL_REACH)
            snprintf(reason, size, "a cell lies past 2^61 cells from the origin");
        else if (store->failure == HASH_FAIL_BUDGET)
            hashDescribeFailure(store, reason, size);
        else
            snprintf(reason, size, "out of memory");
        hashStoreRelease(store);
    }
    return world;
}

World* hashlifeWorldFromTree(const UniverseRule* rule, const WorldTree* tree, char* reason, size_t size)
{
    if (tree->multiState) {
        snprintf(reason, size, "the file's leaves hold states of a rule of more than two states");
        return nullptr;
    }
    HashStore* store = hashStoreFor(rule, reason, size);
    if (!store)
        return nullptr;
    HashNode* root = hashBuildTree(store, tree);
    World* world = root ? hashWorldMake(store, root, tree->generation) : nullptr;
    if (!world) {
        if (store->failure == HASH_FAIL_BUDGET)
            hashDescribeFailure(store, reason, size);
        else
            snprintf(reason, size, "out of memory");
        hashStoreRelease(store);
    }
    return world;
}
