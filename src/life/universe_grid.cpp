// Bounded grids: before each step the one-cell rim outside the grid takes the states of
// the edge cells the topology joins to it; after it, every cell outside is cleared.
#include <cstring>

#include "life/universe_local.h"

namespace {

// Sets a cell outside the grid (universeSetCell refuses those).
int rimSet(Universe* u, int32_t x, int32_t y)
{
    UniverseTile* t = universeTileMake(u, x >> TILE_SHIFT, y >> TILE_SHIFT);
    if (!t)
        return 0;
    int b = (int)(u->generation & 1);
    t->rows[b][y & (TILE_SIZE - 1)] |= 1ull << (x & (TILE_SIZE - 1));
    t->same[0] = t->same[1] = 0;
    t->touched = 1;
    universeTileSummarise(t, b);
    return 1;
}

int rimCell(Universe* u, int64_t x, int64_t y)
{
    int64_t si, sj;
    if (!lifeGridRimSource(&u->rule.grid, x - u->gridLeft, y - u->gridTop, &si, &sj))
        return 1;
    // An unbounded side is never crossed, so its coordinate stays in range.
    if (!universeGetCell(u, (int32_t)(si + u->gridLeft), (int32_t)(sj + u->gridTop)))
        return 1;
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
        return 0;
    return rimSet(u, (int32_t)x, (int32_t)y);
}

int rimVisit(void* context, int64_t x, int64_t y)
{
    return rimCell((Universe*)context, x, y);
}

} // namespace

int universeGridFillRim(Universe* u)
{
    int32_t live[4];
    if (!universeBounds(u, &live[0], &live[1], &live[2], &live[3]))
        return 1;
    const int32_t inside[4] = {u->gridLeft, u->gridTop, u->gridRight, u->gridBottom};
    return lifeGridRimWalk(&u->rule.grid, inside, live, rimVisit, u);
}

void universeGridClear(Universe* u)
{
    int b = (int)(u->generation & 1);
    for (int32_t i = 0; i < u->tileCount; i++) {
        UniverseTile* t = u->tiles[i];
        int64_t left = (int64_t)t->tx * TILE_SIZE, top = (int64_t)t->ty * TILE_SIZE;
        if (!t->live[b] || (left >= u->gridLeft && left + TILE_SIZE - 1 <= u->gridRight && top >= u->gridTop &&
                            top + TILE_SIZE - 1 <= u->gridBottom))
            continue;
        uint64_t keep = ~0ull;
        if (u->gridLeft > left)
            keep = u->gridLeft - left >= TILE_SIZE ? 0 : keep << (u->gridLeft - left);
        if (u->gridRight < left + TILE_SIZE - 1)
            keep &= u->gridRight < left ? 0 : ~0ull >> (TILE_SIZE - 1 - (u->gridRight - left));
        int changed = 0;
        for (int y = 0; y < TILE_SIZE; y++) {
            uint64_t row = top + y < u->gridTop || top + y > u->gridBottom ? 0 : t->rows[b][y] & keep;
            changed |= row != t->rows[b][y];
            t->rows[b][y] = row;
        }
        if (changed) {
            t->same[0] = t->same[1] = 0;
            t->touched = 1;
            universeTileSummarise(t, b);
        }
    }
}
