// A generation of Larger than Life. The box of cells that may change (the
// live cells and a range around them, the whole grid on a torus) is worked
// out at once: the state-1 cells of the box and a range more around it laid
// out flat (a torus's wrapping around, a plane's outside dead), each cell's
// count summed over its square with running sums of columns and rows, or over
// its diamond or disc a row at a time from prefix sums, and the next states
// written back into the tiles.
#include <cmath>
#include <cstring>

#include "life/states_local.h"
#include "platform/platform.h"

namespace {

// The flat area the counts are taken over, at most this many cells.
const int64_t flatCellsMax = (int64_t)1 << 25;

struct Flat {
    int64_t left, top;   // the box's first cell
    int64_t width, height;
    int64_t range;
    int64_t stride;      // of live: width + 2 * range
    uint8_t* live;       // (height + 2 range) rows of stride: 1 where a state-1 cell is
    uint8_t* old;        // the box's states now
    uint8_t* next;       // and next
};

void release(Flat* f)
{
    heapFree(f->live);
    heapFree(f->old);
    heapFree(f->next);
}

// Lays out the state-1 cells and the box's states from buffer b.
void layOut(const StatesUniverse* u, Flat* f, int b, int torus)
{
    const int64_t w = (int64_t)u->gridRight - u->gridLeft + 1, h = (int64_t)u->gridBottom - u->gridTop + 1;
    const int64_t x0 = f->left - f->range, y0 = f->top - f->range;
    const int64_t rows = f->height + 2 * f->range;
    for (int32_t i = 0; i < u->tileCount; i++) {
        const StatesTile* t = u->tiles[i];
        if (!t->count[b])
            continue;
        for (int y = 0; y < STATES_TILE; y++)
            for (int x = 0; x < STATES_TILE; x++) {
                const uint8_t s = t->cells[b][y * STATES_TILE + x];
                if (!s)
                    continue;
                const int64_t cx = (int64_t)t->tx * STATES_TILE + x, cy = (int64_t)t->ty * STATES_TILE + y;
                const int64_t bx = cx - f->left, by = cy - f->top;
                if (bx >= 0 && bx < f->width && by >= 0 && by < f->height)
                    f->old[by * f->width + bx] = s;
                if (s != 1)
                    continue;
                // On a torus a cell shows again a grid's width or height away.
                for (int64_t ky = torus ? -1 : 0; ky <= (torus ? 1 : 0); ky++)
                    for (int64_t kx = torus ? -1 : 0; kx <= (torus ? 1 : 0); kx++) {
                        const int64_t lx = cx + kx * w - x0, ly = cy + ky * h - y0;
                        if (lx >= 0 && lx < f->stride && ly >= 0 && ly < rows)
                            f->live[ly * f->stride + lx] = 1;
                    }
            }
    }
}

uint8_t nextState(const StatesRule* r, uint8_t s, int64_t count)
{
    if (s == 0)
        return count >= r->birthMin && count <= r->birthMax;
    if (s == 1) {
        if (!r->middle)
            count--;
        return count >= r->survivalMin && count <= r->survivalMax ? 1 : r->states > 2 ? 2 : 0;
    }
    return s + 1 == r->states ? 0 : (uint8_t)(s + 1);
}

// The square: column sums over the rows in range, kept running down the box,
// then a running sum along each row.
int countSquare(const StatesRule* r, Flat* f)
{
    const int64_t span = 2 * f->range + 1;
    int32_t* columns = (int32_t*)heapCalloc((size_t)f->stride, sizeof(int32_t));
    if (!columns)
        return 0;
    for (int64_t y = 0; y < span - 1; y++)
        for (int64_t x = 0; x < f->stride; x++)
            columns[x] += f->live[y * f->stride + x];
    for (int64_t y = 0; y < f->height; y++) {
        const uint8_t* add = f->live + (y + span - 1) * f->stride;
        for (int64_t x = 0; x < f->stride; x++)
            columns[x] += add[x];
        int64_t sum = 0;
        for (int64_t x = 0; x < span - 1; x++)
            sum += columns[x];
        for (int64_t x = 0; x < f->width; x++) {
            sum += columns[x + span - 1];
            f->next[y * f->width + x] = nextState(r, f->old[y * f->width + x], sum);
            sum -= columns[x];
        }
        const uint8_t* drop = f->live + y * f->stride;
        for (int64_t x = 0; x < f->stride; x++)
            columns[x] -= drop[x];
    }
    heapFree(columns);
    return 1;
}

// The diamond or the disc: per row of the range, the cells within reach of the
// middle column, from that row's prefix sums.
int countRows(const StatesRule* r, Flat* f)
{
    const int64_t range = f->range, rows = f->height + 2 * range, stride = f->stride + 1;
    int32_t* prefix = (int32_t*)heapAlloc((size_t)(rows * stride) * sizeof(int32_t));
    int64_t* reach = (int64_t*)heapAlloc((size_t)(2 * range + 1) * sizeof(int64_t));
    if (!prefix || !reach) {
        heapFree(prefix);
        heapFree(reach);
        return 0;
    }
    for (int64_t y = 0; y < rows; y++) {
        int32_t* p = prefix + y * stride;
        p[0] = 0;
        for (int64_t x = 0; x < f->stride; x++)
            p[x + 1] = p[x] + f->live[y * f->stride + x];
    }
    for (int64_t dy = -range; dy <= range; dy++) {
        int64_t w = range - (dy < 0 ? -dy : dy);
        if (r->neighbourhood == LARGER_CIRCULAR) {
            // Nearer than range + 1/2: dx^2 + dy^2 <= range^2 + range in whole numbers.
            const int64_t most = range * range + range - dy * dy;
            w = (int64_t)std::sqrt((double)most);
            while (w * w > most)
                w--;
            while ((w + 1) * (w + 1) <= most)
                w++;
        }
        reach[dy + range] = w;
    }
    for (int64_t y = 0; y < f->height; y++)
        for (int64_t x = 0; x < f->width; x++) {
            int64_t sum = 0;
            for (int64_t k = 0; k <= 2 * range; k++) {
                const int32_t* p = prefix + (y + k) * stride;
                sum += p[x + range + reach[k] + 1] - p[x + range - reach[k]];
            }
            f->next[y * f->width + x] = nextState(r, f->old[y * f->width + x], sum);
        }
    heapFree(prefix);
    heapFree(reach);
    return 1;
}

// The box's next states into the tiles' buffer n, every other cell 0.
int writeBack(StatesUniverse* u, const Flat* f, int n)
{
    for (int32_t i = 0; i < u->tileCount; i++)
        memset(u->tiles[i]->cells[n], 0, STATES_TILE_CELLS);
    const int64_t tx0 = f->left >> STATES_TILE_SHIFT, tx1 = (f->left + f->width - 1) >> STATES_TILE_SHIFT;
    const int64_t ty0 = f->top >> STATES_TILE_SHIFT, ty1 = (f->top + f->height - 1) >> STATES_TILE_SHIFT;
    for (int64_t ty = ty0; ty <= ty1; ty++)
        for (int64_t tx = tx0; tx <= tx1; tx++) {
            const int64_t x0 = tx * STATES_TILE > f->left ? tx * STATES_TILE : f->left;
            const int64_t x1 = tx * STATES_TILE + STATES_TILE < f->left + f->width ? tx * STATES_TILE + STATES_TILE
                                                                                   : f->left + f->width;
            const int64_t y0 = ty * STATES_TILE > f->top ? ty * STATES_TILE : f->top;
            const int64_t y1 = ty * STATES_TILE + STATES_TILE < f->top + f->height ? ty * STATES_TILE + STATES_TILE
                                                                                  : f->top + f->height;
            StatesTile* t = statesTileAt(u, (int32_t)tx, (int32_t)ty);
            if (!t) {
                int any = 0;
                for (int64_t y = y0; y < y1 && !any; y++)
                    for (int64_t x = x0; x < x1 && !any; x++)
                        any = f->next[(y - f->top) * f->width + (x - f->left)] != 0;
                if (!any)
                    continue;
                t = statesTileMake(u, (int32_t)tx, (int32_t)ty);
                if (!t)
                    return 0;
            }
            for (int64_t y = y0; y < y1; y++)
                memcpy(t->cells[n] + (y - ty * STATES_TILE) * STATES_TILE + (x0 - tx * STATES_TILE),
                       f->next + (y - f->top) * f->width + (x0 - f->left), (size_t)(x1 - x0));
        }
    return 1;
}

} // namespace

int statesStepLarger(StatesUniverse* u)
{
    const StatesRule* r = &u->rule;
    const int b = (int)(u->generation & 1), n = b ^ 1;
    const int torus = r->grid.topology == LIFE_TORUS;
    Flat f = {};
    f.range = r->range;
    int32_t left, top, right, bottom;
    if (torus) {
        f.left = u->gridLeft;
        f.top = u->gridTop;
        f.width = (int64_t)u->gridRight - u->gridLeft + 1;
        f.height = (int64_t)u->gridBottom - u->gridTop + 1;
    } else if (statesBounds(u, &left, &top, &right, &bottom)) {
        // Births reach a range past the live cells; a plane's grid cuts them off.
        int64_t l = (int64_t)left - f.range, t = (int64_t)top - f.range;
        int64_t rr = (int64_t)right + f.range, bb = (int64_t)bottom + f.range;
        if (!u->bounded && (l < INT32_MIN || t < INT32_MIN || rr > INT32_MAX || bb > INT32_MAX)) {
            u->stepFailure = "the pattern would grow past the 32-bit coordinates";
            return 0;
        }
        l = l < u->gridLeft ? u->gridLeft : l;
        t = t < u->gridTop ? u->gridTop : t;
        rr = rr > u->gridRight ? u->gridRight : rr;
        bb = bb > u->gridBottom ? u->gridBottom : bb;
        f = Flat{l, t, rr - l + 1, bb - t + 1, f.range, 0, nullptr, nullptr, nullptr};
    }
    if (f.width > 0 && f.height > 0) {
        if ((f.width + 2 * f.range) * (f.height + 2 * f.range) > flatCellsMax) {
            u->stepFailure = "the pattern has grown past the 33 million cells Larger than Life is worked out over";
            return 0;
        }
        f.stride = f.width + 2 * f.range;
        f.live = (uint8_t*)heapCalloc((size_t)(f.stride * (f.height + 2 * f.range)), 1);
        f.old = (uint8_t*)heapCalloc((size_t)(f.width * f.height), 1);
        f.next = (uint8_t*)heapAlloc((size_t)(f.width * f.height));
        int ok = f.live && f.old && f.next;
        if (ok) {
            layOut(u, &f, b, torus);
            ok = r->neighbourhood == LARGER_MOORE ? countSquare(r, &f) : countRows(r, &f);
        }
        ok = ok && writeBack(u, &f, n);
        release(&f);
        if (!ok) {
            u->stepFailure = "memory ran out";
            return 0;
        }
    } else {
        for (int32_t i = 0; i < u->tileCount; i++)
            memset(u->tiles[i]->cells[n], 0, STATES_TILE_CELLS);
    }
    for (int32_t i = 0; i < u->tileCount; i++) {
        StatesTile* t = u->tiles[i];
        statesTileSummarise(t, n);
        t->changed[n] = (uint8_t)(memcmp(t->cells[n], t->cells[b], STATES_TILE_CELLS) != 0);
        t->touched = 0;
    }
    u->generation++;
    for (int32_t i = u->tileCount - 1; i >= 0; i--)
        if (!u->tiles[i]->count[n])
            statesTileRecycle(u, u->tiles[i]);
    return 1;
}
