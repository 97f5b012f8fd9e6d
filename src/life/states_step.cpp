// A generation of the rules that look one cell away (Generations, tables and
// trees): tiles made beside every live edge, the rim of a bounded grid given
// the states its topology joins to it, each tile worked out from itself and
// the ring around it (or, when nothing around it changed, kept as it is),
// then everything outside the grid cleared and the tiles dead two
// generations running let go.
#include <cstring>

#include "life/states_local.h"
#include "platform/platform.h"

namespace {

int tileMeetsGrid(const StatesUniverse* u, int64_t tx, int64_t ty)
{
    const int64_t left = tx * STATES_TILE, top = ty * STATES_TILE;
    // The rim one cell outside counts: its tiles hold what the topology joins there.
    return left + STATES_TILE >= (int64_t)u->gridLeft && left - 1 <= (int64_t)u->gridRight &&
           top + STATES_TILE >= (int64_t)u->gridTop && top - 1 <= (int64_t)u->gridBottom;
}

// Tiles beside every live edge, so that births there are worked out.
int expand(StatesUniverse* u, int b)
{
    const int32_t count = u->tileCount;
    for (int32_t i = 0; i < count; i++) {
        StatesTile* t = u->tiles[i];
        if (!t->count[b] || !t->edges[b])
            continue;
        for (int d = 0; d < 8; d++) {
            if (!(t->edges[b] >> d & 1) || t->near[d])
                continue;
            const int64_t nx = (int64_t)t->tx + tileNearDx[d], ny = (int64_t)t->ty + tileNearDy[d];
            if (u->bounded && !tileMeetsGrid(u, nx, ny))
                continue;
            if (nx < STATES_TILE_MIN || nx > STATES_TILE_MAX || ny < STATES_TILE_MIN || ny > STATES_TILE_MAX) {
                u->stepFailure = "the pattern would grow past the 32-bit coordinates";
                return 0;
            }
            if (!statesTileMake(u, (int32_t)nx, (int32_t)ny)) {
                u->stepFailure = "memory ran out";
                return 0;
            }
        }
    }
    return 1;
}

// The rim cell (x, y), outside the grid, given the state of the cell its topology joins to it.
int rimCell(StatesUniverse* u, int64_t x, int64_t y)
{
    int64_t si, sj;
    if (!lifeGridRimSource(&u->rule.grid, x - u->gridLeft, y - u->gridTop, &si, &sj))
        return 1;
    const int state = statesGetCell(u, (int32_t)(si + u->gridLeft), (int32_t)(sj + u->gridTop));
    if (!state)
        return 1;
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) {
        u->stepFailure = "the pattern would grow past the 32-bit coordinates";
        return 0;
    }
    if (!statesSetCell(u, (int32_t)x, (int32_t)y, state, 0)) {
        u->stepFailure = "memory ran out";
        return 0;
    }
    return 1;
}

int rimVisit(void* context, int64_t x, int64_t y)
{
    return rimCell((StatesUniverse*)context, x, y);
}

int fillRim(StatesUniverse* u)
{
    int32_t live[4];
    if (!statesBounds(u, &live[0], &live[1], &live[2], &live[3]))
        return 1;
    const int32_t inside[4] = {u->gridLeft, u->gridTop, u->gridRight, u->gridBottom};
    return lifeGridRimWalk(&u->rule.grid, inside, live, rimVisit, u);
}

// The tile and the ring of cells around it, from buffer b of it and its neighbours.
void gather(const StatesTile* t, int b, uint8_t* pad)
{
    const int last = STATES_TILE - 1;
    memset(pad, 0, STATES_PAD);
    memset(pad + (STATES_PAD - 1) * STATES_PAD, 0, STATES_PAD);
    for (int y = 0; y < STATES_TILE; y++) {
        uint8_t* row = pad + (y + 1) * STATES_PAD;
        memcpy(row + 1, t->cells[b] + y * STATES_TILE, STATES_TILE);
        row[0] = t->near[NEAR_W] ? t->near[NEAR_W]->cells[b][y * STATES_TILE + last] : 0;
        row[STATES_PAD - 1] = t->near[NEAR_E] ? t->near[NEAR_E]->cells[b][y * STATES_TILE] : 0;
    }
    if (t->near[NEAR_N])
        memcpy(pad + 1, t->near[NEAR_N]->cells[b] + last * STATES_TILE, STATES_TILE);
    if (t->near[NEAR_S])
        memcpy(pad + (STATES_PAD - 1) * STATES_PAD + 1, t->near[NEAR_S]->cells[b], STATES_TILE);
    if (t->near[NEAR_NW])
        pad[0] = t->near[NEAR_NW]->cells[b][last * STATES_TILE + last];
    if (t->near[NEAR_NE])
        pad[STATES_PAD - 1] = t->near[NEAR_NE]->cells[b][last * STATES_TILE];
    if (t->near[NEAR_SW])
        pad[(STATES_PAD - 1) * STATES_PAD] = t->near[NEAR_SW]->cells[b][last];
    if (t->near[NEAR_SE])
        pad[STATES_PAD * STATES_PAD - 1] = t->near[NEAR_SE]->cells[b][0];
}

// Whether the tile's neighbourhood is as it was a generation before, so that
// its next buffer would be what it holds now.
int unchanged(const StatesTile* t, int b)
{
    if (t->touched || t->outside || t->changed[b])
        return 0;
    for (int d = 0; d < 8; d++) {
        const StatesTile* n = t->near[d];
        if (n && (n->touched || n->changed[b]))
            return 0;
    }
    return 1;
}

// Cells of buffer b outside the grid set to 0.
void clearOutside(const StatesUniverse* u, StatesTile* t, int b)
{
    const int64_t left = (int64_t)t->tx * STATES_TILE, top = (int64_t)t->ty * STATES_TILE;
    for (int y = 0; y < STATES_TILE; y++) {
        uint8_t* row = t->cells[b] + y * STATES_TILE;
        if (top + y < u->gridTop || top + y > u->gridBottom) {
            memset(row, 0, STATES_TILE);
            continue;
        }
        for (int x = 0; x < STATES_TILE; x++)
            if (left + x < u->gridLeft || left + x > u->gridRight)
                row[x] = 0;
    }
}

// Whether a neighbour's buffer b reaches the tile with a live edge.
int fed(const StatesTile* t, int b)
{
    for (int d = 0; d < 8; d++) {
        const StatesTile* n = t->near[d];
        if (n && (n->edges[b] >> ((d + 4) & 7) & 1))
            return 1;
    }
    return 0;
}

} // namespace

int statesStep(StatesUniverse* u)
{
    if (u->rule.family == STATES_LARGER)
        return statesStepLarger(u);
    const int b = (int)(u->generation & 1), n = b ^ 1;
    if (u->bounded && !fillRim(u))
        return 0;
    if (!expand(u, b))
        return 0;
    uint8_t pad[STATES_PAD * STATES_PAD];
    for (int32_t i = 0; i < u->tileCount; i++) {
        StatesTile* t = u->tiles[i];
        if (unchanged(t, b)) {
            memcpy(t->cells[n], t->cells[b], STATES_TILE_CELLS);
            t->count[n] = t->count[b];
            t->edges[n] = t->edges[b];
            t->changed[n] = 0;
            continue;
        }
        if (!t->count[b] && !fed(t, b) && !t->outside) {
            // Nothing within reach: under every rule played here nothing comes of nothing.
            memset(t->cells[n], 0, STATES_TILE_CELLS);
        } else {
            gather(t, b, pad);
            if (u->rule.family == STATES_GENERATIONS)
                statesKernelGenerations(&u->rule, pad, t->cells[n]);
            else
                statesKernelTree(u->rule.tree, pad, t->cells[n]);
            if (t->outside)
                clearOutside(u, t, n);
        }
        statesTileSummarise(t, n);
        t->changed[n] = (uint8_t)(memcmp(t->cells[n], t->cells[b], STATES_TILE_CELLS) != 0);
    }
    for (int32_t i = 0; i < u->tileCount; i++)
        u->tiles[i]->touched = 0;
    u->generation++;
    // Tiles dead two generations running that no live edge reaches.
    for (int32_t i = u->tileCount - 1; i >= 0; i--) {
        StatesTile* t = u->tiles[i];
        if (!t->count[n] && !t->count[b] && !fed(t, n))
            statesTileRecycle(u, t);
    }
    return 1;
}
