// The multi-state engine's own records, shared by its files (states_tiles.cpp:
// tiles and cells, states_step.cpp: a generation of the rules that look one
// cell away, states_kernels.cpp: their work on one tile, states_larger.cpp: a
// generation of Larger than Life, states_world.cpp: the engine as a world).
#pragma once

#include <cstdint>

#include "life/states.h"
#include "life/tile_table.h"

enum {
    STATES_TILE_SHIFT = 6,
    STATES_TILE = 1 << STATES_TILE_SHIFT, // cells a side
    STATES_TILE_CELLS = STATES_TILE * STATES_TILE,
    STATES_PAD = STATES_TILE + 2,         // a tile with the ring of cells around it
    // The tiles the 32-bit plane holds: tx and ty from STATES_TILE_MIN to STATES_TILE_MAX.
    STATES_TILE_MIN = INT32_MIN >> STATES_TILE_SHIFT,
    STATES_TILE_MAX = INT32_MAX >> STATES_TILE_SHIFT,
};

// The eight neighbours, clockwise from north (where each lies: tileNearDx, tileNearDy).
enum { NEAR_N, NEAR_NE, NEAR_E, NEAR_SE, NEAR_S, NEAR_SW, NEAR_W, NEAR_NW };

// 64 x 64 cells of two generations: cells[g & 1] holds generation g, a byte a
// cell, cell (x, y) of the tile at y * 64 + x.
struct StatesTile {
    uint8_t cells[2][STATES_TILE_CELLS];
    StatesTile* near[8]; // null where no tile is: dead cells
    StatesTile* nextFree;
    int32_t tx, ty;      // the tile's cells are x = tx * 64 .. tx * 64 + 63
    int32_t listIndex;
    int32_t count[2];    // cells other than 0 in each buffer
    uint8_t edges[2];    // bit d: a buffer's cells on the side or corner facing near[d] are not all 0
    uint8_t changed[2];  // a buffer differs from the one before it
    uint8_t touched;     // changed outside a step: its next buffer must be worked out
    uint8_t outside;     // it reaches past a bounded grid: worked out every step, cleared after
};

struct StatesUniverse {
    StatesRule rule;     // held
    int64_t generation;
    // Open addressing with linear probing on (tx, ty); capacity a power of two.
    StatesTile** slots;
    uint32_t slotCount;
    StatesTile** tiles;  // every tile, in no order
    int32_t tileCount, tileCapacity;
    StatesTile* freeTiles;
    // The cells inside the grid, inclusive (the 32-bit plane when unbounded).
    int32_t bounded;
    int32_t gridLeft, gridTop, gridRight, gridBottom;
    const char* stepFailure;
};

// ---- Tiles and cells (states_tiles.cpp) --------------------------------------------------
// A universe under the rule (copied), empty, at generation 0; null when memory runs out.
StatesUniverse* statesUniverseCreate(const StatesRule* rule);
void statesUniverseRelease(StatesUniverse* u);
StatesTile* statesTileAt(const StatesUniverse* u, int32_t tx, int32_t ty);
// The tile, made with both buffers 0 and linked to its neighbours when it is not there;
// null when memory runs out.
StatesTile* statesTileMake(StatesUniverse* u, int32_t tx, int32_t ty);
// Unlinks the tile from its neighbours, the slots and the list, onto the free list.
void statesTileRecycle(StatesUniverse* u, StatesTile* tile);
// A buffer's count and edges noted after it was written.
void statesTileSummarise(StatesTile* tile, int buffer);
int statesGetCell(const StatesUniverse* u, int32_t x, int32_t y);
// 1, or 0 when memory runs out or (inside is set) the cell lies outside a bounded grid.
int statesSetCell(StatesUniverse* u, int32_t x, int32_t y, int state, int inside);
int64_t statesPopulation(const StatesUniverse* u);
int statesBounds(const StatesUniverse* u, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
// Calls visit for every cell not 0, rows top to bottom, left to right in a row. The
// count, or -1 when memory for the ordered list of tiles ran out (nothing visited).
int64_t statesForEach(const StatesUniverse* u, void (*visit)(void* context, int32_t x, int32_t y, int state),
    void* context);

// ---- A generation (states_step.cpp, states_larger.cpp) -----------------------------------
// 1, or 0 with u->stepFailure when memory ran out or the pattern would leave the 32-bit
// plane (the universe as it was).
int statesStep(StatesUniverse* u);
int statesStepLarger(StatesUniverse* u);

// ---- One tile's next generation (states_kernels.cpp) --------------------------------------
// pad holds the tile and the ring around it, STATES_PAD a row; out gets the 64 x 64 cells.
void statesKernelGenerations(const StatesRule* rule, const uint8_t* pad, uint8_t* out);
void statesKernelTree(const StatesTree* tree, const uint8_t* pad, uint8_t* out);
