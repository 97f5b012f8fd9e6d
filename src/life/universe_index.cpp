// The squares of 2^level tiles a side, level 1 to INDEX_LEVELS, that hold a
// tile, so a far view can ask whether a part of the plane holds any without a
// walk over the tiles: a quadtree kept as tiles are made and recycled, one
// hash table entry per square that holds a tile, keyed by level and position,
// with open addressing and linear probing like the tiles' own. Each entry
// counts its quarters that hold a tile, so a new tile beside old ones adds to
// one count, and a recycled one takes away from one, without a climb to the
// top.
#include "life/universe_local.h"
#include "platform/platform.h"

namespace {

// A square at level 26 holds 2^26 tiles a side, the whole 32-bit plane.
enum { INDEX_LEVELS = 26 };

uint32_t entrySlot(int32_t level, int32_t qx, int32_t qy, uint32_t mask)
{
    uint64_t key = ((uint64_t)(uint32_t)qx << 32) | (uint32_t)qy;
    key = (key ^ ((uint64_t)level << 59)) * 0x9e3779b97f4a7c15ull;
    return (uint32_t)(key >> 32) & mask;
}

UniverseIndexEntry* entryFind(const Universe* u, int32_t level, int32_t qx, int32_t qy)
{
    if (!u->indexSlots)
        return nullptr;
    const uint32_t mask = u->indexSlots - 1;
    for (uint32_t s = entrySlot(level, qx, qy, mask);; s = (s + 1) & mask) {
        UniverseIndexEntry* e = &u->index[s];
        if (!e->count || (e->level == level && e->qx == qx && e->qy == qy))
            return e;
    }
}

// Doubles the table; 0 when memory ran out (the old one is kept).
int indexGrow(Universe* u)
{
    const uint32_t count = u->indexSlots ? u->indexSlots * 2 : 1024;
    UniverseIndexEntry* grown = (UniverseIndexEntry*)heapCalloc(count, sizeof *grown);
    if (!grown)
        return 0;
    UniverseIndexEntry* old = u->index;
    const uint32_t oldSlots = u->indexSlots;
    u->index = grown;
    u->indexSlots = count;
    for (uint32_t i = 0; i < oldSlots; i++)
        if (old[i].count)
            *entryFind(u, old[i].level, old[i].qx, old[i].qy) = old[i];
    heapFree(old);
    return 1;
}

} // namespace

int universeIndexAdd(Universe* u, int32_t tx, int32_t ty)
{
    // Room for every level's square first: past this point nothing can fail.
    while ((uint64_t)(u->indexUsed + INDEX_LEVELS) * 2 > u->indexSlots)
        if (!indexGrow(u))
            return 0;
    // The tile is a new quarter of its level-1 square; a square that was
    // empty is a new quarter of the one above.
    for (int32_t level = 1; level <= INDEX_LEVELS; level++) {
        UniverseIndexEntry* e = entryFind(u, level, tx >> level, ty >> level);
        const int fresh = e->count == 0;
        if (fresh) {
            *e = {level, tx >> level, ty >> level, 0};
            u->indexUsed++;
        }
        e->count++;
        if (!fresh)
            break;
    }
    return 1;
}

void universeIndexRemove(Universe* u, int32_t tx, int32_t ty)
{
    const uint32_t mask = u->indexSlots - 1;
    for (int32_t level = 1; level <= INDEX_LEVELS; level++) {
        UniverseIndexEntry* e = entryFind(u, level, tx >> level, ty >> level);
        if (--e->count > 0)
            break;
        u->indexUsed--;
        // Backward-shift deletion, as the tiles' table does.
        uint32_t hole = (uint32_t)(e - u->index);
        for (uint32_t i = (hole + 1) & mask; u->index[i].count; i = (i + 1) & mask) {
            const UniverseIndexEntry* moved = &u->index[i];
            const uint32_t home = entrySlot(moved->level, moved->qx, moved->qy, mask);
            if (((i - home) & mask) >= ((i - hole) & mask)) {
                u->index[hole] = *moved;
                hole = i;
            }
        }
        u->index[hole] = {};
    }
}

int universeIndexHolds(const Universe* u, int32_t level, int32_t qx, int32_t qy)
{
    if (level > INDEX_LEVELS)
        return u->tileCount > 0;
    const UniverseIndexEntry* e = entryFind(u, level, qx, qy);
    return e && e->count > 0;
}
