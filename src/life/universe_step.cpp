// One generation of the universe: the rim of a bounded grid filled, the tiles the
// pattern reaches made, every tile not settled stepped by its kernel, what lies
// outside a grid cleared, and tiles long dead recycled.
#include "life/universe_local.h"

namespace {

// The cell (x, y) as buffer b holds it; beyond the 32-bit plane nothing lives.
int heldAt(const Universe* u, int64_t x, int64_t y, int b)
{
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
        return 0;
    const UniverseTile* t = universeTileAt(u, (int32_t)x >> TILE_SHIFT, (int32_t)y >> TILE_SHIFT);
    return t && (t->rows[b][y & (TILE_SIZE - 1)] >> (x & (TILE_SIZE - 1)) & 1);
}

// Whether the step would give life to a cell of the tile dx, dy from t, one
// beyond the 32-bit plane: only its cells next to t can have live neighbours.
int growsBeyond(const Universe* u, const UniverseTile* t, int dx, int dy, int b)
{
    const int64_t left = ((int64_t)t->tx + dx) * TILE_SIZE, top = ((int64_t)t->ty + dy) * TILE_SIZE;
    const int x0 = dx < 0 ? TILE_SIZE - 1 : 0, x1 = dx > 0 ? 0 : TILE_SIZE - 1;
    const int y0 = dy < 0 ? TILE_SIZE - 1 : 0, y1 = dy > 0 ? 0 : TILE_SIZE - 1;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            int neighbourhood = 0;
            for (int j = -1; j <= 1; j++)
                for (int i = -1; i <= 1; i++)
                    neighbourhood |= heldAt(u, left + x + i, top + y + j, b) << ((j + 1) * 3 + (i + 1));
            if (u->tables[b][neighbourhood] & 1)
                return 1;
        }
    return 0;
}

// Makes every tile the next step can write to: the neighbours that live edge cells
// reach. A bounded grid needs none that lie wholly outside it.
int stepExpand(Universe* u, int b)
{
    int32_t count = u->tileCount;
    for (int32_t i = 0; i < count; i++) {
        UniverseTile* t = u->tiles[i];
        uint8_t e = t->edges[b];
        if (!e)
            continue;
        for (int d = 0; d < 8; d++) {
            if (t->near[d])
                continue;
            int dx = tileNearDx[d], dy = tileNearDy[d];
            if ((dx < 0 && !(e & EDGE_W)) || (dx > 0 && !(e & EDGE_E)) || (dy < 0 && !(e & EDGE_N)) ||
                (dy > 0 && !(e & EDGE_S)))
                continue;
            // A corner tile needs the corner cell itself.
            if (dx && dy) {
                uint64_t row = t->rows[b][dy < 0 ? 0 : TILE_SIZE - 1];
                if (!((row >> (dx < 0 ? 0 : 63)) & 1))
                    continue;
            }
            int64_t nx = (int64_t)t->tx + dx, ny = (int64_t)t->ty + dy;
            if (u->bounded) {
                int64_t left = nx * TILE_SIZE, top = ny * TILE_SIZE;
                if (left > u->gridRight || left + TILE_SIZE - 1 < u->gridLeft || top > u->gridBottom ||
                    top + TILE_SIZE - 1 < u->gridTop)
                    continue;
            }
            // Past the plane's edge a tile is needed only for a cell born there.
            if (nx < TILE_MIN || nx > TILE_MAX || ny < TILE_MIN || ny > TILE_MAX) {
                if (!growsBeyond(u, t, dx, dy, b))
                    continue;
                u->stepFailure = "the pattern would grow past the 32-bit coordinates";
                return 0;
            }
            if (!universeTileMake(u, (int32_t)nx, (int32_t)ny)) {
                u->stepFailure = "memory ran out";
                return 0;
            }
        }
    }
    return 1;
}

} // namespace

const char* universeStepFailure(const Universe* u)
{
    return u->stepFailure ? u->stepFailure : "";
}

int universeStep(Universe* u)
{
    int b = (int)(u->generation & 1);
    if (u->bounded && !universeGridFillRim(u)) {
        universeGridClear(u);
        u->stepFailure = "memory ran out";
        return 0;
    }
    if (!stepExpand(u, b)) {
        if (u->bounded)
            universeGridClear(u);
        return 0;
    }
    const UniverseKernel* kernel = &u->kernels[b];
    for (int32_t i = 0; i < u->tileCount; i++) {
        UniverseTile* t = u->tiles[i];
        int settled = t->same[b];
        for (int d = 0; d < 8 && settled; d++)
            settled = !t->near[d] || t->near[d]->same[b];
        if (!settled)
            universeTileStep(t, b, kernel);
    }
    u->generation++;
    b ^= 1;
    if (u->bounded)
        universeGridClear(u);
    // A tile dead for three generations, with no live cell beside it, goes back to the
    // free list: its absence then reads as the same dead cells.
    for (int32_t i = u->tileCount - 1; i >= 0; i--) {
        UniverseTile* t = u->tiles[i];
        if (t->live[0] || t->live[1] || !t->same[b])
            continue;
        int facing = 0;
        for (int d = 0; d < 8 && !facing; d++) {
            const UniverseTile* n = t->near[d];
            if (!n || !n->live[b])
                continue;
            int dx = tileNearDx[d], dy = tileNearDy[d];
            uint8_t e = n->edges[b];
            // The neighbour's side that faces this tile.
            facing = (dx ? (e & (dx < 0 ? EDGE_E : EDGE_W)) : 1) && (dy ? (e & (dy < 0 ? EDGE_S : EDGE_N)) : 1);
        }
        if (!facing)
            universeTileRecycle(u, t);
    }
    return 1;
}
