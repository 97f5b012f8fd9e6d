// A tile seen in blocks: which blocks of 2^k x 2^k cells of a tile hold a
// live cell, worked out from the tile's bit rows a word at a time, so a far
// region costs its tiles and never its cells.
#include "life/world.h"

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

int32_t worldTileBlocks(const uint64_t rows[WORLD_TILE], int32_t shift, uint64_t blocks[WORLD_TILE])
{
    shift = shift < 0 ? 0 : shift > WORLD_TILE_SHIFT ? WORLD_TILE_SHIFT : shift;
    int32_t count = WORLD_TILE;
    for (int32_t y = 0; y < count; y++)
        blocks[y] = rows[y];
    for (int32_t k = 0; k < shift; k++) {
        count >>= 1;
        for (int32_t j = 0; j < count; j++)
            blocks[j] = halveRow(blocks[2 * j] | blocks[2 * j + 1]);
    }
    return count;
}
