// Life simulation: the board, the rule and pattern files and the generation step.
#pragma once

#include <cstdint>

enum {
    LIFE_SIZE = 64,
    LIFE_CELLS = LIFE_SIZE * LIFE_SIZE,
    LIFE_DEAD = 1,
    LIFE_ALIVE = 2,
};

// Cell (x, y, z) lives at x * 64 + y + z; only the layer z = 0 exists. Any
// value other than LIFE_ALIVE counts as dead.
struct LifeGrid {
    uint8_t cells[LIFE_CELLS];
};

// The rule, written by loadRules and read by lifeStep: a live cell survives with surviveAbove < n <
// surviveBelow live neighbours, a dead one is born with birthMin <= n <= birthMax.
extern int32_t surviveAbove;
extern int32_t surviveBelow;
extern int32_t birthMin;
extern int32_t birthMax;

// Sets the defaults (Conway's rule: 1, 4, 3, 3), then reads up to four integers
// from Rules.ini over them. Cannot fail.
void loadRules();
// Reads a pattern: a count, then that many "x y z" triples of live cells.
// Returns a new grid, or null when the file cannot be opened or memory runs out.
LifeGrid* loadLife(const char* path);
void lifeRelease(LifeGrid* grid);
int32_t countNeighbours(const LifeGrid* grid, int32_t x, int32_t y, int32_t z);
// Replaces the grid by its next generation; allocates nothing.
void lifeStep(LifeGrid* grid);
