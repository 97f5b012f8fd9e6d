// Life simulation: the board, the rule and pattern files and the generation step.
#pragma once

#include <cstddef>
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

// The rule: a live cell survives with surviveAbove < n < surviveBelow live
// neighbours, a dead one is born with birthMin <= n <= birthMax. Rules.ini
// holds the four numbers in this order.
struct LifeRule {
    int32_t surviveAbove;
    int32_t surviveBelow;
    int32_t birthMin;
    int32_t birthMax;
};
// Conway's rule, 1 4 3 3: survival on 2 or 3 neighbours, birth on 3.
extern const LifeRule conwayRule;

// Reads up to four leading whole numbers of a rule text (size bytes) over
// Conway's rule and returns the result. Cannot fail: a text that does not
// begin with a number leaves a warning, naming the file by name, in
// lifeLoadReason.
LifeRule readRulesBytes(const uint8_t* bytes, size_t size, const char* name);
// readRulesBytes on the first 4 KiB of Rules.ini; without the file the rule is
// Conway's, and one that cannot be read leaves a warning.
LifeRule loadRules();
// Reads a pattern text (size bytes): a count, then that many "x y z" triples
// of live cells. Returns a new grid, or null when memory runs out. A text that
// does not begin with a count gives an empty board and a warning in
// lifeLoadReason.
LifeGrid* readLifeBytes(const uint8_t* bytes, size_t size, const char* name);
// readLifeBytes on the file at path, or null when it cannot be read.
LifeGrid* loadLife(const char* path);
// What the last loadRules or loadLife found wrong with its file, in one line
// that starts with the file's name: why loadLife returned null, or what the
// rule or the board was read without; "" when nothing. The line every reader
// shares (readReason).
const char* lifeLoadReason();
void lifeRelease(LifeGrid* grid);
int32_t countNeighbours(const LifeGrid* grid, int32_t x, int32_t y, int32_t z);
// Replaces the grid by its next generation under the rule; allocates nothing.
void lifeStep(LifeGrid* grid, const LifeRule* rule);
