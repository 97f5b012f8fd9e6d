// The generation kernels: bit-sliced neighbour counts on 64-bit rows for outer-totalistic
// tables, a 4 x 4 -> 2 x 2 lookup for any other table.
#include <cstdlib>
#include <cstring>

#include "life/universe_local.h"

namespace {

// Is next[] a function of the cell and its neighbour count alone? Fills the count masks.
int tableTotalistic(const uint8_t next[512], uint16_t* birth, uint16_t* survive)
{
    int seen[2][9];
    memset(seen, 0xff, sizeof seen);
    for (int i = 0; i < 512; i++) {
        int self = (i >> 4) & 1;
        int count = __builtin_popcount(i & ~16);
        if (seen[self][count] < 0)
            seen[self][count] = next[i] & 1;
        else if (seen[self][count] != (next[i] & 1))
            return 0;
    }
    *birth = 0;
    *survive = 0;
    for (int n = 0; n <= 8; n++) {
        *birth |= (uint16_t)(seen[0][n] << n);
        *survive |= (uint16_t)(seen[1][n] << n);
    }
    return 1;
}

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

void stepConway(const TileFrame* f, const RowSums* s, uint64_t* out)
{
    for (int y = 1; y <= TILE_SIZE; y++) {
        uint64_t a0 = s->lo3[y - 1], a1 = s->hi3[y - 1];
        uint64_t b0 = s->lo3[y + 1], b1 = s->hi3[y + 1];
        uint64_t c0 = s->lo2[y], c1 = s->hi2[y];
        uint64_t ab = a0 ^ b0;
        uint64_t t0 = ab ^ c0;
        uint64_t carry = (a0 & b0) | (ab & c0);
        uint64_t x = a1 ^ b1, z = c1 ^ carry;
        uint64_t t1 = x ^ z;
        uint64_t four = (a1 & b1) | (c1 & carry) | (x & z);
        // Alive next: count 3, or count 2 and alive now (count | self == 3).
        out[y - 1] = (t0 | f->rows[y]) & t1 & ~four;
    }
}

void stepTotalistic(const TileFrame* f, const RowSums* s, uint16_t birth, uint16_t survive, uint64_t* out)
{
    for (int y = 1; y <= TILE_SIZE; y++) {
        uint64_t a0 = s->lo3[y - 1], a1 = s->hi3[y - 1];
        uint64_t b0 = s->lo3[y + 1], b1 = s->hi3[y + 1];
        uint64_t c0 = s->lo2[y], c1 = s->hi2[y];
        uint64_t ab = a0 ^ b0;
        uint64_t t0 = ab ^ c0;
        uint64_t carry = (a0 & b0) | (ab & c0);
        uint64_t x = a1 ^ b1, z = c1 ^ carry;
        uint64_t y2 = a1 & b1, w = c1 & carry;
        uint64_t t1 = x ^ z;
        uint64_t xz = x & z;
        // At most one of y2 and xz, and of w and xz, is set: only y2 & w carries to 8.
        uint64_t t2 = y2 ^ w ^ xz;
        uint64_t t3 = y2 & w;
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

// Bits x - 1 .. x + 2 of a frame row (x even), west and east cells included.
inline unsigned nibble(uint64_t row, uint64_t west, uint64_t east, int x)
{
    if (x == 0)
        return (unsigned)(((row << 1) | west) & 15);
    if (x == TILE_SIZE - 2)
        return (unsigned)((row >> 61) | (east << 3));
    return (unsigned)((row >> (x - 1)) & 15);
}

void stepTable(const TileFrame* f, const uint8_t* quads, uint64_t* out)
{
    for (int y = 0; y < TILE_SIZE; y += 2) {
        uint64_t top = 0, bottom = 0;
        for (int x = 0; x < TILE_SIZE; x += 2) {
            unsigned index = 0;
            for (int r = 0; r < 4; r++)
                index |= nibble(f->rows[y + r], f->west[y + r], f->east[y + r], x) << (4 * r);
            uint64_t q = quads[index];
            top |= (q & 3) << x;
            bottom |= ((q >> 2) & 3) << x;
        }
        out[y] = top;
        out[y + 1] = bottom;
    }
}

} // namespace

int universeKernelInit(UniverseKernel* kernel, const uint8_t next[512])
{
    memset(kernel, 0, sizeof *kernel);
    if (tableTotalistic(next, &kernel->birth, &kernel->survive)) {
        kernel->kind = (kernel->birth == (1 << 3) && kernel->survive == ((1 << 2) | (1 << 3))) ? KERNEL_CONWAY : KERNEL_TOTALISTIC;
        return 1;
    }
    kernel->kind = KERNEL_TABLE;
    kernel->quads = (uint8_t*)malloc(1 << 16);
    if (!kernel->quads)
        return 0;
    // Cell (cx, cy) of the 4 x 4 block is bit cy * 4 + cx; the outputs are its middle four.
    for (unsigned index = 0; index < (1u << 16); index++) {
        uint8_t q = 0;
        for (int oy = 0; oy < 2; oy++)
            for (int ox = 0; ox < 2; ox++) {
                unsigned n = 0;
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++)
                        n |= ((index >> ((1 + oy + dy) * 4 + 1 + ox + dx)) & 1) << ((dy + 1) * 3 + dx + 1);
                q |= (uint8_t)((next[n] & 1) << (oy * 2 + ox));
            }
        kernel->quads[index] = q;
    }
    return 1;
}

void universeKernelRelease(UniverseKernel* kernel)
{
    free(kernel->quads);
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
