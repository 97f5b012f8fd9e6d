// One tile's next generation under a rule that looks one cell away, from the
// tile and the ring of cells around it: Generations by its B/S table of the
// state-1 cells, a tree by walking it once a cell.
#include "life/states_local.h"

void statesKernelGenerations(const StatesRule* rule, const uint8_t* pad, uint8_t* out)
{
    const uint8_t* next = rule->next;
    const uint8_t states = (uint8_t)rule->states;
    // The state-1 cells of three padded rows as bits 0, 3 and 6 of a column:
    // a neighbourhood's index is then three neighbouring columns, shifted.
    uint16_t column[STATES_PAD];
    for (int y = 0; y < STATES_TILE; y++) {
        const uint8_t* above = pad + y * STATES_PAD;
        const uint8_t* here = above + STATES_PAD;
        const uint8_t* below = here + STATES_PAD;
        for (int x = 0; x < STATES_PAD; x++)
            column[x] = (uint16_t)((above[x] == 1) | (here[x] == 1) << 3 | (below[x] == 1) << 6);
        uint8_t* row = out + y * STATES_TILE;
        for (int x = 0; x < STATES_TILE; x++) {
            const int index = column[x] | column[x + 1] << 1 | column[x + 2] << 2;
            const uint8_t cell = here[x + 1];
            uint8_t result;
            if (cell == 0)
                result = next[index];
            else if (cell == 1)
                result = next[index] ? 1 : states > 2 ? 2 : 0;
            else
                result = cell + 1 == states ? 0 : (uint8_t)(cell + 1);
            row[x] = result;
        }
    }
}

void statesKernelTree(const StatesTree* tree, const uint8_t* pad, uint8_t* out)
{
    const uint32_t* t = tree->next;
    const uint32_t root = tree->root;
    for (int y = 0; y < STATES_TILE; y++) {
        const uint8_t* n = pad + y * STATES_PAD;
        const uint8_t* c = n + STATES_PAD;
        const uint8_t* s = c + STATES_PAD;
        uint8_t* row = out + y * STATES_TILE;
        if (tree->neighbours == 4) {
            // North, west, east, south, the cell.
            for (int x = 0; x < STATES_TILE; x++)
                row[x] = (uint8_t)t[t[t[t[t[root + n[x + 1]] + c[x]] + c[x + 2]] + s[x + 1]] + c[x + 1]];
        } else {
            // North-west, north-east, south-west, south-east, north, west, east, south, the cell.
            for (int x = 0; x < STATES_TILE; x++)
                row[x] = (uint8_t)t[t[t[t[t[t[t[t[t[root + n[x]] + n[x + 2]] + s[x]] + s[x + 2]] + n[x + 1]] + c[x]] +
                                        c[x + 2]] + s[x + 1]] + c[x + 1]];
        }
    }
}
