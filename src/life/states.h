// Rules of more than two states and the engine that plays them: Generations
// ("B2/S/C3", "345/2/4"), Larger than Life ("R5,C0,M1,S34..58,B34..45,NM")
// and the rules written as tables or trees in .rule files (WireWorld,
// LifeHistory, the loops, the ants), each on the plane or a bounded grid.
// The engine keeps its cells as a byte each in tiles of 64 x 64 and is one
// more World behind world.h; the readers of the pattern area hand it the
// cells and states they read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "life/life.h"
#include "life/world.h"

enum StatesFamily {
    STATES_GENERATIONS = 1, // births and survivals of state 1, then the dying states one by one
    STATES_LARGER,          // Larger than Life: counts of state 1 within a range
    STATES_TREE,            // a transition function as a rule tree, read or compiled from a table
};

enum {
    STATES_MAX = 256,
    LARGER_RANGE_MAX = 500,
    // The .rule text read for one rule, and the tree it makes (entries of
    // 4 bytes): past these a rule file is refused as hostile or broken.
    STATES_RULE_FILE_MAX = 16 << 20,
    STATES_TREE_ENTRIES_MAX = 1 << 24,
};

enum LargerNeighbourhood { LARGER_MOORE, LARGER_VON_NEUMANN, LARGER_CIRCULAR };

// A transition function as a decision tree (the community's rule trees): from
// the root, each cell of the neighbourhood in turn picks a child by its state,
// and the last pick gives the next state. The cells are taken in the order of
// the .tree format: north, west, east, south, centre for four neighbours;
// north-west, north-east, south-west, south-east, north, west, east, south,
// centre for eight. Shared by the rules and worlds that hold it.
struct StatesTree {
    int32_t holders;
    int32_t states;
    int32_t neighbours; // 4 or 8
    int32_t nodes;
    // Node k's children are next[k * states .. + states - 1]: offsets of the
    // child nodes (their index times states), and at the last level the
    // next states themselves. root is the root's offset.
    uint32_t* next;
    uint32_t root;
    // The .rule file the tree came from, to be written beside a saved world
    // that start-up could not otherwise find it for: heap, its size.
    char* source;
    size_t sourceSize;
};

// A rule of any of the families, on the grid its suffix names.
struct StatesRule {
    int32_t family;  // StatesFamily
    int32_t states;  // 2 to 256
    LifeGridShape grid;
    char name[LIFE_RULE_TEXT]; // canonical: "B2/S/C3", "R5,C0,M1,S34..58,B34..45,NM:T400,400", "WireWorld"
    // Generations: whether a cell in state 0 or 1 is in state 1 next, by the
    // state-1 cells of its neighbourhood as UniverseRule::next reads them.
    uint8_t next[512];
    // Larger than Life.
    int32_t range;
    int32_t middle;        // 1: the cell itself counts
    int32_t neighbourhood; // LargerNeighbourhood
    int32_t survivalMin, survivalMax, birthMin, birthMax;
    // Tables and trees: held by the rule, shared with its copies.
    StatesTree* tree;
};

// A copy of the rule that holds its tree too; release each copy.
void statesRuleCopy(StatesRule* to, const StatesRule* from);
void statesRuleRelease(StatesRule* rule);

// ---- Reading rules (states_rule.cpp) -----------------------------------------------------
// Where a rule named in a file is looked for, in this order: a rule the file
// carries (its .rule text after the pattern), the file's folder, the user's
// rules folder, the rules this program ships (LifeHistory, WireWorld), and the
// rules folder of Debian's golly package when it is installed.
struct StatesRulePlaces {
    const char* userFolder;   // "Rules", in the working folder
    const char* sharedFolder; // "/usr/share/golly/Rules"
};
extern StatesRulePlaces statesRulePlaces;
struct StatesRuleSource {
    const char* folder;  // the pattern's folder ("" the working folder), null for none
    const char* carried; // the .rule text the pattern carries, null for none
    size_t carriedSize;
};
// Reads a rule as pattern files and Rules.ini write it: Generations in its
// B/S/C and S/B/C forms ("B2/S/C3", "B3/S23/4", "/2/3", "345/2/4", Hensel's
// letters and the "V" and "H" neighbourhoods, MAP), Larger than Life
// ("R5,C0,M1,S34..58,B34..45,NM", "5,34,45,34,58"), or the name of a rule
// table or tree, each with a grid suffix. 1 with *rule filled (released by
// the caller), or 0 with a one-line reason in reason[0 .. size).
int statesRuleParse(const char* text, const StatesRuleSource* source, StatesRule* rule, char* reason, size_t size);
// Whether text reads as a rule of this family notation at all (a Generations
// or Larger than Life form, or a name a .rule file is found for from source),
// before it is parsed: how start-up tells such a Rules.ini from the board's
// four numbers.
int statesRuleNamed(const char* text, size_t size, const StatesRuleSource* source);

// ---- The engine (states_world.cpp) -------------------------------------------------------
// A new empty world at generation 0 under the rule (copied): null with the
// reason when memory runs out.
World* statesWorldCreate(const StatesRule* rule, char* reason, size_t size);
// The same at a generation (0 or more), for cells a file says are at it.
World* statesWorldAt(const StatesRule* rule, int64_t generation, char* reason, size_t size);
// The rule of a world this engine made, or null for another engine's world.
const StatesRule* statesWorldRule(const World* world);
// worldForEachState for this engine's worlds.
int64_t statesWorldForEachState(const World* world, WorldStateVisit visit, void* context);
// The states of the tile of cells tx * 64 .. + 63, ty * 64 .. + 63 of this
// engine's world, cell (tx * 64 + x, ty * 64 + y) at cells[y * 64 + x]: 1, or
// 0 (cells untouched) when it holds no live cell.
int statesWorldTileStates(const World* world, int64_t tx, int64_t ty, uint8_t cells[WORLD_TILE * WORLD_TILE]);
// What a tree rule's world needs beside its Life.ini to be read back: when
// start-up in folder would not find the rule's .rule text as it is (beside
// Life.ini, in the rules folders, or among the rules shipped), writes it as
// NAME.rule in folder. 1, or 0 with the reason.
int statesRuleKeep(const StatesRule* rule, const char* folder, char* reason, size_t size);
