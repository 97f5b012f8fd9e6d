// The multi-state engine's tiles: 64 x 64 cells of a byte each in a hash
// table keyed by tile position, made where the pattern reaches and recycled
// when they die; the cells read and set, counted, bounded and walked in
// order.
#include <algorithm>
#include <cstring>

#include "life/states_local.h"
#include "platform/platform.h"

StatesUniverse* statesUniverseCreate(const StatesRule* rule)
{
    StatesUniverse* u = (StatesUniverse*)heapCalloc(1, sizeof(StatesUniverse));
    if (!u)
        return nullptr;
    statesRuleCopy(&u->rule, rule);
    u->bounded = lifeGridInside(&rule->grid, &u->gridLeft, &u->gridTop, &u->gridRight, &u->gridBottom);
    u->stepFailure = "";
    return u;
}

void statesUniverseRelease(StatesUniverse* u)
{
    if (!u)
        return;
    for (int32_t i = 0; i < u->tileCount; i++)
        heapFree(u->tiles[i]);
    while (u->freeTiles) {
        StatesTile* next = u->freeTiles->nextFree;
        heapFree(u->freeTiles);
        u->freeTiles = next;
    }
    statesRuleRelease(&u->rule);
    heapFree(u->slots);
    heapFree(u->tiles);
    heapFree(u);
}

StatesTile* statesTileAt(const StatesUniverse* u, int32_t tx, int32_t ty)
{
    return tileFind(u, tx, ty);
}

StatesTile* statesTileMake(StatesUniverse* u, int32_t tx, int32_t ty)
{
    StatesTile* t = statesTileAt(u, tx, ty);
    if (t)
        return t;
    if (!tileMakeRoom(u))
        return nullptr;
    t = u->freeTiles;
    if (t)
        u->freeTiles = t->nextFree;
    else if (!(t = (StatesTile*)heapAlloc(sizeof(StatesTile))))
        return nullptr;
    memset(t, 0, sizeof *t);
    t->tx = tx;
    t->ty = ty;
    const int64_t left = (int64_t)tx * STATES_TILE, top = (int64_t)ty * STATES_TILE;
    t->outside = u->bounded && (left < u->gridLeft || left + STATES_TILE - 1 > u->gridRight || top < u->gridTop ||
                                top + STATES_TILE - 1 > u->gridBottom);
    t->touched = 1;
    tileInsert(u, t, STATES_TILE_MIN, STATES_TILE_MAX);
    return t;
}

void statesTileRecycle(StatesUniverse* u, StatesTile* t)
{
    tileRemove(u, t);
    t->nextFree = u->freeTiles;
    u->freeTiles = t;
}

void statesTileSummarise(StatesTile* t, int buffer)
{
    const uint8_t* c = t->cells[buffer];
    int32_t count = 0;
    for (int i = 0; i < STATES_TILE_CELLS; i++)
        count += c[i] != 0;
    t->count[buffer] = count;
    uint8_t edges = 0;
    if (count) {
        const int last = STATES_TILE - 1;
        uint8_t north = 0, south = 0, west = 0, east = 0;
        for (int i = 0; i < STATES_TILE; i++) {
            north |= c[i];
            south |= c[last * STATES_TILE + i];
            west |= c[i * STATES_TILE];
            east |= c[i * STATES_TILE + last];
        }
        edges = (uint8_t)((north ? 1 << NEAR_N : 0) | (south ? 1 << NEAR_S : 0) | (west ? 1 << NEAR_W : 0) |
                          (east ? 1 << NEAR_E : 0) | (c[last] ? 1 << NEAR_NE : 0) | (c[0] ? 1 << NEAR_NW : 0) |
                          (c[last * STATES_TILE + last] ? 1 << NEAR_SE : 0) |
                          (c[last * STATES_TILE] ? 1 << NEAR_SW : 0));
    }
    t->edges[buffer] = edges;
}

int statesGetCell(const StatesUniverse* u, int32_t x, int32_t y)
{
    const StatesTile* t = statesTileAt(u, x >> STATES_TILE_SHIFT, y >> STATES_TILE_SHIFT);
    if (!t)
        return 0;
    return t->cells[u->generation & 1][(y & (STATES_TILE - 1)) * STATES_TILE + (x & (STATES_TILE - 1))];
}

int statesSetCell(StatesUniverse* u, int32_t x, int32_t y, int state, int inside)
{
    if (inside && (x < u->gridLeft || x > u->gridRight || y < u->gridTop || y > u->gridBottom))
        return 0;
    StatesTile* t = state ? statesTileMake(u, x >> STATES_TILE_SHIFT, y >> STATES_TILE_SHIFT)
                          : statesTileAt(u, x >> STATES_TILE_SHIFT, y >> STATES_TILE_SHIFT);
    if (!t)
        return state ? 0 : 1;
    const int b = (int)(u->generation & 1);
    uint8_t* cell = &t->cells[b][(y & (STATES_TILE - 1)) * STATES_TILE + (x & (STATES_TILE - 1))];
    if (*cell != state) {
        *cell = (uint8_t)state;
        t->touched = 1;
        statesTileSummarise(t, b);
    }
    return 1;
}

int64_t statesPopulation(const StatesUniverse* u)
{
    const int b = (int)(u->generation & 1);
    int64_t n = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        n += u->tiles[i]->count[b];
    return n;
}

int statesBounds(const StatesUniverse* u, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom)
{
    const int b = (int)(u->generation & 1);
    int found = 0;
    int64_t l = 0, t = 0, r = 0, o = 0;
    for (int32_t i = 0; i < u->tileCount; i++) {
        const StatesTile* tile = u->tiles[i];
        if (!tile->count[b])
            continue;
        int x0 = STATES_TILE, y0 = STATES_TILE, x1 = -1, y1 = -1;
        for (int y = 0; y < STATES_TILE; y++)
            for (int x = 0; x < STATES_TILE; x++)
                if (tile->cells[b][y * STATES_TILE + x]) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
        const int64_t ox = (int64_t)tile->tx * STATES_TILE, oy = (int64_t)tile->ty * STATES_TILE;
        if (!found || ox + x0 < l)
            l = ox + x0;
        if (!found || oy + y0 < t)
            t = oy + y0;
        if (!found || ox + x1 > r)
            r = ox + x1;
        if (!found || oy + y1 > o)
            o = oy + y1;
        found = 1;
    }
    if (found) {
        *left = (int32_t)l;
        *top = (int32_t)t;
        *right = (int32_t)r;
        *bottom = (int32_t)o;
    }
    return found;
}

int64_t statesForEach(const StatesUniverse* u, void (*visit)(void* context, int32_t x, int32_t y, int state),
    void* context)
{
    const int b = (int)(u->generation & 1);
    int32_t live = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        live += u->tiles[i]->count[b] > 0;
    const StatesTile** order = (const StatesTile**)heapAlloc((size_t)(live ? live : 1) * sizeof *order);
    if (!order)
        return -1;
    int32_t n = 0;
    for (int32_t i = 0; i < u->tileCount; i++)
        if (u->tiles[i]->count[b])
            order[n++] = u->tiles[i];
    std::sort(order, order + n, [](const StatesTile* a, const StatesTile* c) {
        return a->ty != c->ty ? a->ty < c->ty : a->tx < c->tx;
    });
    int64_t visited = 0;
    // A band of tiles sharing ty, row by row across the band.
    for (int32_t first = 0; first < n;) {
        int32_t end = first;
        while (end < n && order[end]->ty == order[first]->ty)
            end++;
        for (int y = 0; y < STATES_TILE; y++)
            for (int32_t k = first; k < end; k++) {
                const uint8_t* row = order[k]->cells[b] + y * STATES_TILE;
                const int64_t ox = (int64_t)order[k]->tx * STATES_TILE, oy = (int64_t)order[k]->ty * STATES_TILE;
                for (int x = 0; x < STATES_TILE; x++)
                    if (row[x]) {
                        visit(context, (int32_t)(ox + x), (int32_t)(oy + y), row[x]);
                        visited++;
                    }
            }
        first = end;
    }
    heapFree(order);
    return visited;
}
