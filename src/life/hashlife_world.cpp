// The hashlife engine behind World: a root node centred on the origin and
// the generation, in a store of nodes the world shares with its snapshots and
// the worlds restored from them. A step of n generations is a step of 2^k for
// each binary digit k of n; one that runs into the memory budget collects the
// nodes no holder reaches and tries again, then takes its 2^k in two halves,
// down to single generations.
#include <cstdio>
#include <cstring>

#include "life/hashlife_local.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

// A root of level 62 holds the cells -2^61 .. 2^61 - 1 each way; a step needs
// its cells in the middle quarter, within 2^59 of the origin.
const int64_t reachCells = (int64_t)1 << (HASH_LEVEL_MAX - 1);
// The largest step one root can take: 2^59 generations at level 62.
enum { SHIFT_MAX = HASH_LEVEL_MAX - 3 };

struct HashWorld {
    World world; // first, so a World* is the engine's
    HashStore* store;
    HashRoot root;
    int64_t generation;
};

struct HashSnapshot {
    HashStore* store;
    HashRoot root;
    int64_t generation;
};

HashWorld* worldOf(World* world)
{
    return (HashWorld*)world;
}

const HashNode* rootOf(const World* world)
{
    return ((const HashWorld*)world)->root.node;
}

// Why the store's last allocation failed, as a phrase.
void describeFailure(const HashStore* s, char* out, size_t size)
{
    if (s->failure == HASH_FAIL_REACH)
        snprintf(out, size, "the pattern has reached 2^59 cells from the origin, where hashlife's steps stop");
    else if (s->failure == HASH_FAIL_BUDGET)
        snprintf(out, size, "the pattern needs more than the memory budget of %zu MiB", s->budget >> 20);
    else
        snprintf(out, size, "memory ran out");
}

// 2^shift generations on: 1, or 0 with the reason and the world at the last
// generation it reached.
int stepPower(HashWorld* w, int shift)
{
    if (!w->root.node->population) {
        w->generation += (int64_t)1 << shift;
        return 1;
    }
    if (shift > SHIFT_MAX) {
        for (int i = 0; i < 1 << (shift - SHIFT_MAX); i++)
            if (!stepPower(w, SHIFT_MAX))
                return 0;
        return 1;
    }
    HashStore* s = w->store;
    s->budget = hashlifeLimits.budgetBytes;
    HashNode* next = hashStepRoot(s, w->root.node, shift);
    if (!next && s->failure != HASH_FAIL_REACH) {
        hashCollect(s);
        next = hashStepRoot(s, w->root.node, shift);
    }
    if (!next) {
        if (s->failure != HASH_FAIL_REACH && shift > 0)
            return stepPower(w, shift - 1) && stepPower(w, shift - 1);
        describeFailure(s, w->world.failure, sizeof w->world.failure);
        return 0;
    }
    w->root.node = next;
    w->generation += (int64_t)1 << shift;
    return 1;
}

void hashWorldRelease(World* world)
{
    HashWorld* w = worldOf(world);
    hashRootDrop(w->store, &w->root);
    heapFree(w);
}

int hashWorldStep(World* world, int64_t generations)
{
    HashWorld* w = worldOf(world);
    if (generations <= 0)
        return 1;
    if (w->generation > INT64_MAX - generations) {
        snprintf(world->failure, sizeof world->failure, "the generation would pass 2^63 - 1");
        return 0;
    }
    for (int shift = 0; shift < 63; shift++)
        if (((generations >> shift) & 1) && !stepPower(w, shift))
            return 0;
    return 1;
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
    return hashBounds(rootOf(world), box);
}

int hashWorldGetCell(const World* world, int64_t x, int64_t y)
{
    return hashCellAt(rootOf(world), x, y);
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
    HashNode* root = rootWithCell(s, w->root.node, x, y, state != 0);
    if (!root) {
        hashCollect(s);
        root = rootWithCell(s, w->root.node, x, y, state != 0);
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
    const WorldBox box = {x, y, sideEnd(x, shift), sideEnd(y, shift)};
    return hashHolds(rootOf(world), &box);
}

int hashWorldTileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    return hashTileRows(rootOf(world), tx, ty, rows);
}

int64_t hashWorldForEachCell(const World* world, WorldCellVisit visit, void* context)
{
    return hashForEachCell(rootOf(world), visit, context);
}

void hashWorldSnapshotRelease(void* kept)
{
    HashSnapshot* k = (HashSnapshot*)kept;
    hashRootDrop(k->store, &k->root);
    heapFree(k);
}

// A snapshot holds the root, sharing every node with the world: taking one
// copies nothing.
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
        hashRootAdd(w->store, &k->root, w->root.node);
    }
    k->root.node = w->root.node;
    k->generation = w->generation;
    return k;
}

World* hashWorldMake(HashStore* store, HashNode* root, int64_t generation);

// The restored world shares the snapshot's store and nodes.
World* hashWorldSnapshotRestore(const void* kept)
{
    const HashSnapshot* k = (const HashSnapshot*)kept;
    return hashWorldMake(k->store, k->root.node, k->generation);
}

// What a snapshot holds of its own: the nodes are the store's, counted in its
// budget.
size_t hashWorldSnapshotBytes(const void*)
{
    return sizeof(HashSnapshot);
}

const WorldEngine hashEngine = {hashWorldRelease, hashWorldStep, hashWorldGeneration, hashWorldPopulation,
    hashWorldBounds, hashWorldGetCell, hashWorldSetCell, hashWorldMayHold, hashWorldTileRows, hashWorldForEachCell,
    hashWorldSnapshotTake, hashWorldSnapshotRestore, hashWorldSnapshotBytes, hashWorldSnapshotRelease};

// A world holding root in store; null when memory runs out (the store as it was).
World* hashWorldMake(HashStore* store, HashNode* root, int64_t generation)
{
    HashWorld* w = (HashWorld*)heapCalloc(1, sizeof(HashWorld));
    if (!w)
        return nullptr;
    w->store = store;
    w->generation = generation;
    hashRootAdd(store, &w->root, root);
    World* world = &w->world;
    world->engine = &hashEngine;
    world->extent = {-reachCells, -reachCells, reachCells - 1, reachCells - 1};
    world->states = 2;
    memcpy(world->ruleName, store->rule.name, sizeof world->ruleName);
    memcpy(world->rulesText, store->rule.name, sizeof world->rulesText);
    return world;
}

} // namespace

size_t hashlifeWorldBytes(const World* world)
{
    return world->engine == &hashEngine ? ((const HashWorld*)world)->store->bytes : 0;
}

World* hashlifeWorldCreate(const UniverseRule* rule, char* reason, size_t size)
{
    return hashlifeWorldFromCells(rule, nullptr, 0, 0, 0, reason, size);
}

World* hashlifeWorldFromCells(const UniverseRule* rule, const int32_t* xy, int64_t count, int64_t left, int64_t top,
    char* reason, size_t size)
{
    if (rule->next[0] & 1) {
        snprintf(reason, size, "%s has B0: hashlife runs only rules that keep empty space empty", rule->name);
        return nullptr;
    }
    if (rule->grid.topology != LIFE_UNBOUNDED) {
        snprintf(reason, size, "%s is a bounded grid: hashlife runs only the unbounded plane", rule->name);
        return nullptr;
    }
    HashStore* store = hashStoreCreate(rule);
    if (!store || !hashRuleInit(store)) {
        hashStoreRelease(store);
        snprintf(reason, size, "out of memory");
        return nullptr;
    }
    HashNode* root = count > 0 ? hashBuild(store, xy, count, left, top) : store->empty[HASH_ROOT_MIN];
    World* world = root ? hashWorldMake(store, root, 0) : nullptr;
    if (!world) {
        if (store->failure == HASH_FAIL_REACH)
            snprintf(reason, size, "a cell lies past 2^61 cells from the origin");
        else if (store->failure == HASH_FAIL_BUDGET)
            describeFailure(store, reason, size);
        else
            snprintf(reason, size, "out of memory");
        hashStoreRelease(store);
    }
    return world;
}
