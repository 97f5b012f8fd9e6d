// The generation kernels: bit-sliced neighbour counts on 64-bit rows for outer-totalistic
// tables, a 4 x 4 -> 2 x 2 lookup for any other table; and a tile buffer's summary, which
// every writer of a buffer brings up to date.
#include <cstring>

#include "life/universe_local.h"
#include "platform/platform.h"

namespace {

// The tile's rows with the row above and below (index y + 1), and the cells just
// west and east of each (bit 0).
struct TileFrame {
    uint64_t rows[TILE_SIZE + 2];
    uint64_t west[TILE_SIZE + 2];
    uint64_t east[TILE_SIZE + 2];
};

void frameGather(const UniverseTile* tile, int b, TileFrame* f)
{
    const UniverseTile* const* near = tile->near;
    memcpy(f->rows + 1, tile->rows[b], sizeof tile->rows[b]);
    f->rows[0] = near[TILE_N] ? near[TILE_N]->rows[b][TILE_SIZE - 1] : 0;
    f->rows[TILE_SIZE + 1] = near[TILE_S] ? near[TILE_S]->rows[b][0] : 0;
    if (near[TILE_W])
        for (int y = 0; y < TILE_SIZE; y++)
            f->west[y + 1] = near[TILE_W]->rows[b][y] >> 63;
    else
        memset(f->west + 1, 0, TILE_SIZE * sizeof(uint64_t));
    if (near[TILE_E])
        for (int y = 0; y < TILE_SIZE; y++)
            f->east[y + 1] = near[TILE_E]->rows[b][y] & 1;
    else
        memset(f->east + 1, 0, TILE_SIZE * sizeof(uint64_t));
    f->west[0] = near[TILE_NW] ? near[TILE_NW]->rows[b][TILE_SIZE - 1] >> 63 : 0;
    f->east[0] = near[TILE_NE] ? near[TILE_NE]->rows[b][TILE_SIZE - 1] & 1 : 0;
    f->west[TILE_SIZE + 1] = near[TILE_SW] ? near[TILE_SW]->rows[b][0] >> 63 : 0;
    f->east[TILE_SIZE + 1] = near[TILE_SE] ? near[TILE_SE]->rows[b][0] & 1 : 0;
}

// Per row of the frame: the three cells across as a 2-bit sum (lo, hi) and the two
// beside as a 2-bit sum.
struct RowSums {
    uint64_t lo3[TILE_SIZE + 2], hi3[TILE_SIZE + 2];
    uint64_t lo2[TILE_SIZE + 2], hi2[TILE_SIZE + 2];
};

void rowSums(const TileFrame* f, RowSums* s)
{
    for (int i = 0; i < TILE_SIZE + 2; i++) {
        uint64_t c = f->rows[i];
        uint64_t l = (c << 1) | f->west[i];
        uint64_t r = (c >> 1) | (f->east[i] << 63);
        uint64_t x = l ^ r;
        s->lo2[i] = x;
        s->hi2[i] = l & r;
        s->lo3[i] = x ^ c;
        s->hi3[i] = (l & r) | (x & c);
    }
}

// The eight neighbours' count of every cell of frame row y, bit-sliced: the
// rows above and below (three cells each) and the two beside, added. The
// count is ones + 2 twos + 4 (foursA + foursB + foursC); foursC is never set
// with foursA or foursB, and foursA and foursB together make 8.
struct NeighbourCount {
    uint64_t ones, twos;
    uint64_t foursA, foursB, foursC;
};

inline NeighbourCount neighbourCount(const RowSums* s, int y)
{
    uint64_t a0 = s->lo3[y - 1], a1 = s->hi3[y - 1];
    uint64_t b0 = s->lo3[y + 1], b1 = s->hi3[y + 1];
    uint64_t c0 = s->lo2[y], c1 = s->hi2[y];
    uint64_t ab = a0 ^ b0;
    NeighbourCount n;
    n.ones = ab ^ c0;
    uint64_t carry = (a0 & b0) | (ab & c0);
    uint64_t x = a1 ^ b1, z = c1 ^ carry;
    n.foursA = a1 & b1;
    n.foursB = c1 & carry;
    n.twos = x ^ z;
    n.foursC = x & z;
    return n;
}

void stepConway(const TileFrame* f, const RowSums* s, uint64_t* out)
{
    for (int y = 1; y <= TILE_SIZE; y++) {
        const NeighbourCount n = neighbourCount(s, y);
        // Alive next: count 3, or count 2 and alive now (count | self == 3).
        out[y - 1] = (n.ones | f->rows[y]) & n.twos & ~(n.foursA | n.foursB | n.foursC);
    }
}

void stepTotalistic(const TileFrame* f, const RowSums* s, uint16_t birth, uint16_t survive, uint64_t* out)
{
    for (int y = 1; y <= TILE_SIZE; y++) {
        const NeighbourCount c = neighbourCount(s, y);
        const uint64_t t0 = c.ones, t1 = c.twos;
        const uint64_t t2 = c.foursA ^ c.foursB ^ c.foursC;
        const uint64_t t3 = c.foursA & c.foursB;
        uint64_t self = f->rows[y];
        uint64_t next = 0;
        for (int n = 0; n <= 8; n++) {
            int b = (birth >> n) & 1, v = (survive >> n) & 1;
            if (!b && !v)
                continue;
            uint64_t eq = ((n & 1) ? t0 : ~t0) & ((n & 2) ? t1 : ~t1) & ((n & 4) ? t2 : ~t2) & ((n & 8) ? t3 : ~t3);
            next |= eq & (b && v ? ~0ull : b ? ~self : self);
        }
        out[y - 1] = next;
    }
}

// Bit k of v to bit 2k (v below 2^32).
inline uint64_t spreadBits(uint64_t v)
{
    v = (v | (v << 16)) & 0x0000ffff0000ffffull;
    v = (v | (v << 8)) & 0x00ff00ff00ff00ffull;
    v = (v | (v << 4)) & 0x0f0f0f0f0f0f0f0full;
    v = (v | (v << 2)) & 0x3333333333333333ull;
    return (v | (v << 1)) & 0x5555555555555555ull;
}

// Two rows column by column: cell x of the upper at bit 2x, of the lower at bit 2x + 1, so
// that four columns of the pair are one byte. Columns 0 .. 31 in half[0], 32 .. 63 in half[1].
struct PairColumns {
    uint64_t half[2];
};

inline PairColumns pairColumns(uint64_t upper, uint64_t lower)
{
    return PairColumns{{spreadBits(upper & 0xffffffffu) | (spreadBits(lower & 0xffffffffu) << 1),
                        spreadBits(upper >> 32) | (spreadBits(lower >> 32) << 1)}};
}

// Columns x - 1 .. x + 2 of a pair, for x = 2 .. 60.
inline unsigned pairByte(const PairColumns& p, int x)
{
    if (x < 30)
        return (unsigned)(p.half[0] >> (2 * x - 2)) & 0xff;
    if (x == 30)
        return (unsigned)((p.half[0] >> 58) | (p.half[1] << 6)) & 0xff;
    if (x == 32)
        return (unsigned)((p.half[0] >> 62) | (p.half[1] << 2)) & 0xff;
    return (unsigned)(p.half[1] >> (2 * x - 66)) & 0xff;
}

void stepTable(const TileFrame* f, const uint8_t* quads, uint64_t* out)
{
    // Frame rows 2p and 2p + 1 as a pair; output rows y, y + 1 read pairs y / 2 and y / 2 + 1.
    PairColumns pairs[TILE_SIZE / 2 + 1];
    for (int p = 0; p <= TILE_SIZE / 2; p++)
        pairs[p] = pairColumns(f->rows[2 * p], f->rows[2 * p + 1]);
    for (int y = 0; y < TILE_SIZE; y += 2) {
        const uint64_t* west = f->west + y;
        const uint64_t* east = f->east + y;
        const PairColumns& upper = pairs[y / 2];
        const PairColumns& lower = pairs[y / 2 + 1];
        // The rule keeps empty space empty: four empty rows (and sides) give two empty ones.
        if (!(upper.half[0] | upper.half[1] | lower.half[0] | lower.half[1] | west[0] | west[1] | west[2] | west[3] |
              east[0] | east[1] | east[2] | east[3])) {
            out[y] = out[y + 1] = 0;
            continue;
        }
        // The two ends take the west and east cells as the column beyond.
        unsigned first = (unsigned)(((upper.half[0] << 2) | west[0] | (west[1] << 1)) & 0xff) |
                         (unsigned)(((lower.half[0] << 2) | west[2] | (west[3] << 1)) & 0xff) << 8;
        unsigned last = (unsigned)((upper.half[1] >> 58) | (east[0] << 6) | (east[1] << 7)) |
                        (unsigned)((lower.half[1] >> 58) | (east[2] << 6) | (east[3] << 7)) << 8;
        uint64_t q = quads[first];
        uint64_t top = q & 3, bottom = (q >> 2) & 3;
        for (int x = 2; x < TILE_SIZE - 2; x += 2) {
            q = quads[pairByte(upper, x) | (pairByte(lower, x) << 8)];
            top |= (q & 3) << x;
            bottom |= ((q >> 2) & 3) << x;
        }
        q = quads[last];
        top |= (q & 3) << (TILE_SIZE - 2);
        bottom |= ((q >> 2) & 3) << (TILE_SIZE - 2);
        out[y] = top;
        out[y + 1] = bottom;
    }
}

} // namespace

int universeKernelInit(UniverseKernel* kernel, const uint8_t next[512])
{
    memset(kernel, 0, sizeof *kernel);
    uint16_t counts[2], mixed[2];
    if (universeRuleCounts(next, counts, mixed)) {
        kernel->birth = counts[0];
        kernel->survive = counts[1];
        kernel->kind = (kernel->birth == (1 << 3) && kernel->survive == ((1 << 2) | (1 << 3))) ? KERNEL_CONWAY : KERNEL_TOTALISTIC;
        return 1;
    }
    kernel->kind = KERNEL_TABLE;
    kernel->quads = (uint8_t*)heapAlloc(1 << 16);
    if (!kernel->quads)
        return 0;
    // Cell (cx, cy) of the 4 x 4 block is bit (cy / 2) * 8 + cx * 2 + cy % 2, as stepTable
    // reads two row pairs column by column; the outputs are the middle four.
    for (unsigned index = 0; index < (1u << 16); index++) {
        uint8_t q = 0;
        for (int oy = 0; oy < 2; oy++)
            for (int ox = 0; ox < 2; ox++) {
                unsigned n = 0;
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++) {
                        int cx = 1 + ox + dx, cy = 1 + oy + dy;
                        n |= ((index >> ((cy / 2) * 8 + cx * 2 + cy % 2)) & 1) << ((dy + 1) * 3 + dx + 1);
                    }
                q |= (uint8_t)((next[n] & 1) << (oy * 2 + ox));
            }
        kernel->quads[index] = q;
    }
    return 1;
}

void universeKernelRelease(UniverseKernel* kernel)
{
    heapFree(kernel->quads);
    kernel->quads = nullptr;
}

void universeTileStep(UniverseTile* tile, int from, const UniverseKernel* kernel)
{
    TileFrame frame;
    frameGather(tile, from, &frame);
    uint64_t out[TILE_SIZE];
    if (kernel->kind == KERNEL_TABLE) {
        stepTable(&frame, kernel->quads, out);
    } else {
        RowSums sums;
        rowSums(&frame, &sums);
        if (kernel->kind == KERNEL_CONWAY)
            stepConway(&frame, &sums, out);
        else
            stepTotalistic(&frame, &sums, kernel->birth, kernel->survive, out);
    }
    int to = from ^ 1;
    tile->same[to] = !tile->touched && memcmp(out, tile->rows[to], sizeof out) == 0;
    tile->touched = 0;
    if (!tile->same[to])
        memcpy(tile->rows[to], out, sizeof out);
    universeTileSummarise(tile, to);
}

void universeTileSummarise(UniverseTile* t, int b)
{
    const uint64_t* rows = t->rows[b];
    uint64_t any = 0, west = 0, east = 0;
    for (int y = 0; y < TILE_SIZE; y++) {
        any |= rows[y];
        west |= rows[y] & 1;
        east |= rows[y] >> 63;
    }
    t->live[b] = any != 0;
    t->edges[b] = (uint8_t)((rows[0] ? EDGE_N : 0) | (rows[TILE_SIZE - 1] ? EDGE_S : 0) | (west ? EDGE_W : 0) |
                            (east ? EDGE_E : 0));
}
