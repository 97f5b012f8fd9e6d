// A universe kept to go back to: the rows of its tiles that hold live cells at
// one generation, and what it runs under.
#include <cstring>

#include "life/universe_local.h"
#include "platform/platform.h"

struct SnapshotTile {
    int32_t tx, ty;
    uint64_t rows[TILE_SIZE];
};

struct UniverseSnapshot {
    UniverseRule rule;
    int64_t generation;
    int32_t tileCount;
    int32_t tileRoom;
    SnapshotTile* tiles; // right after the record, in the same block
};

UniverseSnapshot* universeSnapshotTake(const Universe* u, UniverseSnapshot* reuse)
{
    const int b = (int)(u->generation & 1);
    int32_t count = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        count += u->tiles[i]->live[b] != 0;
    UniverseSnapshot* s = reuse;
    if (!s || s->tileRoom < count) {
        heapFree(reuse);
        // count <= tileCount, which the universe's own list holds: the product
        // fits wherever that list did, but a 32-bit size_t is checked all the same.
        if ((size_t)count > (SIZE_MAX - sizeof(UniverseSnapshot)) / sizeof(SnapshotTile))
            return nullptr;
        s = (UniverseSnapshot*)heapAlloc(sizeof(UniverseSnapshot) + (size_t)count * sizeof(SnapshotTile));
        if (!s)
            return nullptr;
        s->tileRoom = count;
    }
    s->rule = u->rule;
    s->generation = u->generation;
    s->tileCount = count;
    s->tiles = (SnapshotTile*)(s + 1);
    SnapshotTile* out = s->tiles;
    for (int32_t i = 0; i < u->tileCount; i++) {
        const UniverseTile* t = u->tiles[i];
        if (!t->live[b])
            continue;
        out->tx = t->tx;
        out->ty = t->ty;
        memcpy(out->rows, t->rows[b], sizeof out->rows);
        out++;
    }
    return s;
}

Universe* universeSnapshotRestore(const UniverseSnapshot* s)
{
    Universe* u = universeCreate(&s->rule);
    if (!u)
        return nullptr;
    // The generation's parity picks the buffer and, under B0, which kernel runs next.
    u->generation = s->generation;
    const int b = (int)(s->generation & 1);
    for (int32_t i = 0; i < s->tileCount; i++) {
        const SnapshotTile* kept = &s->tiles[i];
        UniverseTile* t = universeTileMake(u, kept->tx, kept->ty);
        if (!t) {
            universeRelease(u);
            return nullptr;
        }
        memcpy(t->rows[b], kept->rows, sizeof kept->rows);
        t->touched = 1;
        universeTileSummarise(t, b);
    }
    return u;
}

size_t universeSnapshotBytes(const UniverseSnapshot* s)
{
    return sizeof(UniverseSnapshot) + (size_t)s->tileRoom * sizeof(SnapshotTile);
}

void universeSnapshotRelease(UniverseSnapshot* s)
{
    heapFree(s);
}
