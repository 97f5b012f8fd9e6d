// The universe: 64 x 64 tiles of cells in a hash table keyed by tile position, created
// where the pattern reaches and recycled when they die, and what it holds.
#include <cstdlib>
#include <cstring>

#include "life/universe_local.h"
#include "platform/platform.h"

enum { BLOCK_TILES = 64 };

struct UniverseBlock {
    UniverseBlock* next;
    UniverseTile tiles[BLOCK_TILES];
};

void universeTileRecycle(Universe* u, UniverseTile* t)
{
    tileRemove(u, t);
    universeIndexRemove(u, t->tx, t->ty);
    t->nextFree = u->freeTiles;
    u->freeTiles = t;
}

namespace {

int64_t rowsPopulation(const uint64_t* rows)
{
    int64_t n = 0;
    for (int y = 0; y < TILE_SIZE; y++)
        n += __builtin_popcountll(rows[y]);
    return n;
}

} // namespace

UniverseTile* universeTileAt(const Universe* u, int32_t tx, int32_t ty)
{
    return tileFind(u, tx, ty);
}

// A dead tile at (tx, ty), linked to its neighbours; the existing one if there is one.
// Null when memory ran out or (tx, ty) lies past the 32-bit coordinates.
UniverseTile* universeTileMake(Universe* u, int32_t tx, int32_t ty)
{
    if (tx < TILE_MIN || tx > TILE_MAX || ty < TILE_MIN || ty > TILE_MAX)
        return nullptr;
    UniverseTile* t = universeTileAt(u, tx, ty);
    if (t)
        return t;
    if (!tileMakeRoom(u))
        return nullptr;
    if (!u->freeTiles) {
        UniverseBlock* block = (UniverseBlock*)heapAlloc(sizeof(UniverseBlock));
        if (!block)
            return nullptr;
        block->next = u->blocks;
        u->blocks = block;
        for (int i = BLOCK_TILES - 1; i >= 0; i--) {
            block->tiles[i].nextFree = u->freeTiles;
            u->freeTiles = &block->tiles[i];
        }
    }
    if (!universeIndexAdd(u, tx, ty))
        return nullptr;
    t = u->freeTiles;
    u->freeTiles = t->nextFree;
    memset(t, 0, sizeof *t);
    t->tx = tx;
    t->ty = ty;
    tileInsert(u, t, TILE_MIN, TILE_MAX);
    return t;
}

Universe* universeCreate(const UniverseRule* rule)
{
    Universe* u = (Universe*)heapCalloc(1, sizeof(Universe));
    if (!u)
        return nullptr;
    u->rule = *rule;
    // B0 as the community's programs run it: an empty neighbourhood must stay empty, so
    // without S8 the odd generations hold the complement, and with S8 the complement rule runs.
    uint8_t (*tables)[512] = u->tables;
    const uint8_t* next = rule->next;
    for (int i = 0; i < 512; i++) {
        int a = next[i] & 1, b = a;
        if ((next[0] & 1) && !(next[511] & 1)) {
            a = 1 - (next[i] & 1);
            b = next[511 - i] & 1;
        } else if (next[0] & 1) {
            a = b = 1 - (next[511 - i] & 1);
        }
        tables[0][i] = (uint8_t)a;
        tables[1][i] = (uint8_t)b;
    }
    if (!universeKernelInit(&u->kernels[0], tables[0]) || !universeKernelInit(&u->kernels[1], tables[1])) {
        universeRelease(u);
        return nullptr;
    }
    u->bounded = lifeGridInside(&rule->grid, &u->gridLeft, &u->gridTop, &u->gridRight, &u->gridBottom);
    return u;
}

void universeRelease(Universe* u)
{
    if (!u)
        return;
    universeKernelRelease(&u->kernels[0]);
    universeKernelRelease(&u->kernels[1]);
    while (u->blocks) {
        UniverseBlock* next = u->blocks->next;
        heapFree(u->blocks);
        u->blocks = next;
    }
    heapFree(u->slots);
    heapFree(u->tiles);
    heapFree(u->index);
    heapFree(u);
}

int universeSetCell(Universe* u, int32_t x, int32_t y, int alive)
{
    if (x < u->gridLeft || x > u->gridRight || y < u->gridTop || y > u->gridBottom)
        return 0;
    int b = (int)(u->generation & 1);
    UniverseTile* t = alive ? universeTileMake(u, x >> TILE_SHIFT, y >> TILE_SHIFT)
                            : universeTileAt(u, x >> TILE_SHIFT, y >> TILE_SHIFT);
    if (!t)
        return alive ? 0 : 1;
    uint64_t bit = 1ull << (x & (TILE_SIZE - 1));
    uint64_t* row = &t->rows[b][y & (TILE_SIZE - 1)];
    uint64_t was = *row;
    *row = alive ? (was | bit) : (was & ~bit);
    if (*row != was) {
        // The other buffer no longer follows from this one: neither may be skipped to.
        t->same[0] = t->same[1] = 0;
        t->touched = 1;
        universeTileSummarise(t, b);
    }
    return 1;
}

int universeGetCell(const Universe* u, int32_t x, int32_t y)
{
    const UniverseTile* t = universeTileAt(u, x >> TILE_SHIFT, y >> TILE_SHIFT);
    if (!t)
        return 0;
    return (int)((t->rows[u->generation & 1][y & (TILE_SIZE - 1)] >> (x & (TILE_SIZE - 1))) & 1);
}

int64_t universePopulation(const Universe* u)
{
    int b = (int)(u->generation & 1);
    int64_t n = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        if (u->tiles[i]->live[b])
            n += rowsPopulation(u->tiles[i]->rows[b]);
    return n;
}

int64_t universeGeneration(const Universe* u)
{
    return u->generation;
}

int universeBounds(const Universe* u, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom)
{
    int b = (int)(u->generation & 1);
    int found = 0;
    int32_t l = 0, t = 0, r = 0, btm = 0;
    for (int32_t i = 0; i < u->tileCount; i++) {
        const UniverseTile* tile = u->tiles[i];
        if (!tile->live[b])
            continue;
        uint64_t any = 0;
        int first = -1, last = -1;
        for (int y = 0; y < TILE_SIZE; y++) {
            if (!tile->rows[b][y])
                continue;
            any |= tile->rows[b][y];
            if (first < 0)
                first = y;
            last = y;
        }
        int32_t x0 = tile->tx * TILE_SIZE + __builtin_ctzll(any);
        int32_t x1 = tile->tx * TILE_SIZE + (63 - __builtin_clzll(any));
        int32_t y0 = tile->ty * TILE_SIZE + first, y1 = tile->ty * TILE_SIZE + last;
        if (!found || x0 < l) l = x0;
        if (!found || x1 > r) r = x1;
        if (!found || y0 < t) t = y0;
        if (!found || y1 > btm) btm = y1;
        found = 1;
    }
    if (found) {
        *left = l;
        *top = t;
        *right = r;
        *bottom = btm;
    }
    return found;
}

namespace {

int tileOrder(const void* a, const void* b)
{
    const UniverseTile* p = *(const UniverseTile* const*)a;
    const UniverseTile* q = *(const UniverseTile* const*)b;
    if (p->ty != q->ty)
        return p->ty < q->ty ? -1 : 1;
    return p->tx < q->tx ? -1 : p->tx > q->tx;
}

} // namespace

// The live tiles are sorted into a list of the walk's own, so the universe
// itself is only read.
int64_t universeForEachCell(const Universe* u, void (*visit)(void* context, int32_t x, int32_t y), void* context)
{
    const int b = (int)(u->generation & 1);
    int32_t n = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        n += u->tiles[i]->live[b] != 0;
    UniverseTile** sorted = (UniverseTile**)heapAlloc((size_t)(n > 0 ? n : 1) * sizeof *sorted);
    if (!sorted)
        return -1;
    n = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        if (u->tiles[i]->live[b])
            sorted[n++] = u->tiles[i];
    qsort(sorted, (size_t)n, sizeof *sorted, tileOrder);
    int64_t count = 0;
    for (int32_t first = 0; first < n;) {
        int32_t end = first;
        while (end < n && sorted[end]->ty == sorted[first]->ty)
            end++;
        for (int y = 0; y < TILE_SIZE; y++)
            for (int32_t i = first; i < end; i++) {
                const UniverseTile* t = sorted[i];
                for (uint64_t row = t->rows[b][y]; row; row &= row - 1) {
                    visit(context, t->tx * TILE_SIZE + __builtin_ctzll(row), t->ty * TILE_SIZE + y);
                    count++;
                }
            }
        first = end;
    }
    heapFree(sorted);
    return count;
}
