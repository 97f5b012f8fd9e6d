// Far views of an engine without a tree: squares found by asking the world
// whether each may hold a live cell (mayHold, which the universe answers from
// its tiles counted by squares) and tiles read as bit rows (tileRows).
#include "life/world.h"

int32_t worldQueryTopSquares(const World* world, WorldSquare squares[4])
{
    // Squares aligned to their side, a side at least the extent's: two a way
    // at most.
    const WorldBox* e = &world->extent;
    const int64_t width = e->right - e->left + 1, height = e->bottom - e->top + 1;
    int32_t shift = WORLD_TILE_SHIFT;
    while (((int64_t)1 << shift) < width || ((int64_t)1 << shift) < height)
        shift++;
    const int64_t side = (int64_t)1 << shift;
    // Floor division: the first square's corner at or before the extent's.
    const int64_t x0 = (e->left >> shift) * side, y0 = (e->top >> shift) * side;
    int32_t count = 0;
    for (int64_t y = y0; y <= e->bottom; y += side)
        for (int64_t x = x0; x <= e->right; x += side)
            if (worldMayHold(world, x, y, shift))
                squares[count++] = {x, y, shift, -1, nullptr};
    return count;
}

int32_t worldQueryQuarters(const World* world, const WorldSquare* square, WorldSquare quarters[4])
{
    if (square->shift <= WORLD_TILE_SHIFT)
        return 0;
    const int32_t shift = square->shift - 1;
    const int64_t half = (int64_t)1 << shift;
    int32_t count = 0;
    for (int32_t q = 0; q < 4; q++) {
        const int64_t x = square->x + (q & 1 ? half : 0), y = square->y + (q & 2 ? half : 0);
        if (worldMayHold(world, x, y, shift))
            quarters[count++] = {x, y, shift, -1, nullptr};
    }
    return count;
}

int worldQuerySquareRows(const World* world, const WorldSquare* tile, uint64_t rows[WORLD_TILE])
{
    return worldTileRows(world, tile->x >> WORLD_TILE_SHIFT, tile->y >> WORLD_TILE_SHIFT, rows);
}
