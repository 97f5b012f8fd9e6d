// A universe seen in blocks: the tiles holding live cells, and which blocks of
// 2^k x 2^k cells of a tile hold any, worked out from the tile's bit rows a
// word at a time, so a far region costs its tiles and never its cells.
#include "life/universe_local.h"

// Bit i of the result is bits 2i and 2i + 1 of x ORed: each step of the
// ladder halves the gaps between the even bits it gathers.
static uint64_t halveRow(uint64_t x)
{
    x = (x | x >> 1) & 0x5555555555555555ull;
    x = (x | x >> 1) & 0x3333333333333333ull;
    x = (x | x >> 2) & 0x0F0F0F0F0F0F0F0Full;
    x = (x | x >> 4) & 0x00FF00FF00FF00FFull;
    x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
    x = (x | x >> 16) & 0x00000000FFFFFFFFull;
    return x;
}

int32_t universeTileBlocks(const uint64_t rows[TILE_SIZE], int32_t shift, uint64_t blocks[TILE_SIZE])
{
    shift = shift < 0 ? 0 : shift > TILE_SHIFT ? TILE_SHIFT : shift;
    int32_t count = TILE_SIZE;
    for (int32_t y = 0; y < count; y++)
        blocks[y] = rows[y];
    for (int32_t k = 0; k < shift; k++) {
        count >>= 1;
        for (int32_t j = 0; j < count; j++)
            blocks[j] = halveRow(blocks[2 * j] | blocks[2 * j + 1]);
    }
    return count;
}

int32_t universeLiveTiles(const Universe* universe, UniverseTileRows* tiles, int32_t room)
{
    const int b = (int)(universe->generation & 1);
    const int32_t n = universeSortLiveTiles(universe);
    for (int32_t i = 0; i < n && i < room; i++) {
        const UniverseTile* t = universe->scratch[i];
        tiles[i] = {t->tx, t->ty, t->rows[b]};
    }
    return n;
}
