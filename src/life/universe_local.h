// The universe's own records, shared by its files (universe.cpp: tiles and the API,
// universe_step.cpp: a generation, universe_kernels.cpp: the generation kernels,
// universe_grid.cpp: bounded grids, universe_index.cpp: the tiles counted by squares,
// universe_world.cpp: the universe as a world).
#pragma once

#include <cstdint>

#include "life/life.h"
#include "life/tile_table.h"

enum {
    TILE_SHIFT = 6,
    TILE_SIZE = 64,  // cells a side: one uint64_t row, bit k the cell at x = tile x * 64 + k
    // The tiles the 32-bit plane holds: tx and ty from TILE_MIN to TILE_MAX.
    TILE_MIN = INT32_MIN >> TILE_SHIFT,
    TILE_MAX = INT32_MAX >> TILE_SHIFT,
    // Neighbour slots, clockwise from north.
    TILE_N = 0, TILE_NE, TILE_E, TILE_SE, TILE_S, TILE_SW, TILE_W, TILE_NW,
    // Edge bits: which sides of a buffer hold live cells.
    EDGE_N = 1, EDGE_E = 2, EDGE_S = 4, EDGE_W = 8,
    // How one parity's step is worked out.
    KERNEL_CONWAY = 0, KERNEL_TOTALISTIC, KERNEL_TABLE,
};

// Two generations of 64 x 64 cells: rows[g & 1] holds generation g.
struct UniverseTile {
    uint64_t rows[2][TILE_SIZE];
    UniverseTile* near[8];  // null where no tile is, which means dead cells
    UniverseTile* nextFree;
    int32_t tx, ty;         // the tile's cells are x = tx * 64 .. tx * 64 + 63
    int32_t listIndex;
    uint8_t edges[2];       // EDGE_* of each buffer
    uint8_t live[2];        // each buffer has a live cell
    // Each buffer equals what it held two generations before: a tile whose neighbourhood
    // all says so would compute what its other buffer already holds.
    uint8_t same[2];
    // Changed outside a step: the next buffer written does not follow from this one's past.
    uint8_t touched;
};

// One parity's step (generations g with g & 1 == parity go to g + 1 by it).
struct UniverseKernel {
    int32_t kind;               // KERNEL_*
    uint16_t birth, survive;    // KERNEL_TOTALISTIC: bit n set when n neighbours give life
    uint8_t* quads;             // KERNEL_TABLE: 4 x 4 cells (16 bits) -> the middle 2 x 2 (4 bits)
};

// A square of 2^level x 2^level tiles, count of whose four quarters hold a tile;
// count 0 is a free slot.
struct UniverseIndexEntry {
    int32_t level;
    int32_t qx, qy; // the square's tiles are tx >> level == qx, ty >> level == qy
    int32_t count;
};

struct Universe {
    UniverseRule rule;
    // What a cell holds next at an even (odd) generation, by its neighbourhood
    // as UniverseRule::next reads it: the rule itself, or its B0 emulation.
    uint8_t tables[2][512];
    UniverseKernel kernels[2];
    int64_t generation;
    // Open addressing with linear probing on (tx, ty); capacity a power of two.
    UniverseTile** slots;
    uint32_t slotCount;
    // Every tile, in no order.
    UniverseTile** tiles;
    int32_t tileCount, tileCapacity;
    UniverseTile* freeTiles;
    // Blocks of tiles as allocated, chained through their first tile's nextFree.
    struct UniverseBlock* blocks;
    // Bounded grids: the cells inside, inclusive (the whole int32 range along an unbounded side).
    int32_t bounded;
    int32_t gridLeft, gridTop, gridRight, gridBottom;
    const char* stepFailure; // why the last step was refused
    // The tiles counted by squares of every level (universe_index.cpp).
    UniverseIndexEntry* index;
    uint32_t indexSlots, indexUsed;
};

// universe.cpp
UniverseTile* universeTileAt(const Universe* universe, int32_t tx, int32_t ty);
UniverseTile* universeTileMake(Universe* universe, int32_t tx, int32_t ty);
// Unlinks the tile from its neighbours, the slot table and the list, onto the free list.
void universeTileRecycle(Universe* universe, UniverseTile* tile);

// universe_index.cpp: a tile made counts in the square of every level holding it (0 when
// memory ran out, nothing counted); a tile recycled no longer does.
int universeIndexAdd(Universe* universe, int32_t tx, int32_t ty);
void universeIndexRemove(Universe* universe, int32_t tx, int32_t ty);
// Whether the square of 2^level tiles a side whose tiles have tx >> level == qx and
// ty >> level == qy holds a tile (above the top level: whether any tile is held).
int universeIndexHolds(const Universe* universe, int32_t level, int32_t qx, int32_t qy);

// universe_kernels.cpp: a buffer's live cells and edges noted after it was written.
void universeTileSummarise(UniverseTile* tile, int buffer);
// Fills the kernel for a 512-entry table (0 when the quad table cannot be had).
int universeKernelInit(UniverseKernel* kernel, const uint8_t next[512]);
void universeKernelRelease(UniverseKernel* kernel);
// Writes the tile's next generation from buffer `from` into the other buffer, with
// same[] and the summary of the written buffer.
void universeTileStep(UniverseTile* tile, int from, const UniverseKernel* kernel);

// universe_grid.cpp: before a step, the rim outside a bounded grid as the topology joins
// it (0 when memory ran out); after it, everything outside cleared.
int universeGridFillRim(Universe* universe);
void universeGridClear(Universe* universe);
