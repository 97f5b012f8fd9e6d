// Puts a parsed pattern on the 64 x 64 board, where the board does not wrap,
// so cells past an edge are counted and dropped; and finds where a pattern's
// box lies on a universe.
#include <cstring>

#include "pattern/pattern_local.h"

void centreOrigin(const Pattern* pattern, int32_t* left, int32_t* top)
{
    // Halves round down: a 3-wide box puts its cell 1 on 32, a 64-wide box
    // its cell 32, so it covers the board exactly.
    *left = 32 - pattern->width / 2;
    *top = 32 - pattern->height / 2;
}

void placePattern(const Pattern* pattern, int32_t left, int32_t top, Placement* placement)
{
    memset(placement, 0, sizeof *placement);
    placement->left = left;
    placement->top = top;
    CellBox box = {0, 0, 0, 0};
    for (int32_t k = 0; k < pattern->count; k++) {
        // Two 32-bit terms: the sum needs 64 bits.
        const int64_t x = (int64_t)left + pattern->cells[k].x;
        const int64_t y = (int64_t)top + pattern->cells[k].y;
        if (x < 0 || x >= LIFE_SIZE || y < 0 || y >= LIFE_SIZE) {
            if (placement->dropped < PATTERN_SHOWN_DROPS)
                placement->shownDrops[placement->dropped] = PatternPoint{x, y};
            placement->dropped++;
            continue;
        }
        uint8_t* cell = &placement->alive[x * LIFE_SIZE + y];
        if (*cell)
            continue;
        *cell = 1;
        cellBoxAdd(&box, x, y, placement->written == 0);
        placement->written++;
    }
    // Written cells lie on the board, so the corners fit int32.
    placement->boxLow = PatternCell{(int32_t)box.minX, (int32_t)box.minY};
    placement->boxHigh = PatternCell{(int32_t)box.maxX, (int32_t)box.maxY};
}

void universeOrigin(const Pattern* pattern, const LifeGridShape* grid, int64_t* left, int64_t* top)
{
    *left = pattern->left;
    *top = pattern->top;
    if (!pattern->centredOnGrid || (grid->width == 0 && grid->height == 0))
        return;
    // bgolly centres the header's box, halves rounded down, where it fits
    // every bounded side; a box too large starts at the grid's top-left
    // corner instead, at 0 along a side without edges.
    const int fits = (grid->width == 0 || pattern->headerWidth <= grid->width) &&
                     (grid->height == 0 || pattern->headerHeight <= grid->height);
    if (fits) {
        *left = -(int64_t)(pattern->headerWidth / 2);
        *top = -(int64_t)(pattern->headerHeight / 2);
        return;
    }
    *left = -(int64_t)(grid->width / 2);
    *top = -(int64_t)(grid->height / 2);
}
