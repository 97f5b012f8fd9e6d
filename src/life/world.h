// A world: the cells the program shows and steps, whatever engine holds them.
// The app, the camera, drawing, history, recording, the page's figures and the
// tools see only this header. Each engine (the 64 x 64 board, the universe,
// hashlife) fills one WorldEngine table with its operations and keeps its own
// record behind the World it hands out; worldCreate is the one place that
// picks an engine for a rule.
//
// Engines are told apart by their table, the way the system's video
// interfaces are: the app holds a World and never asks which engine it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "life/life.h"

enum {
    WORLD_TILE_SHIFT = 6,
    WORLD_TILE = 1 << WORLD_TILE_SHIFT, // cells a side of a tile: one uint64_t a row
    WORLD_REASON = 256,
    // Life.ini is read up to this many bytes (about 13 million cells of
    // "x y 0" lines); a longer file is refused rather than read in part.
    WORLD_LIFE_FILE_MAX = 256 << 20,
};

// Cells from (left, top) to (right, bottom), inclusive.
struct WorldBox {
    int64_t left, top, right, bottom;
};

struct World;
struct WorldSnapshot;

typedef void (*WorldCellVisit)(void* context, int64_t x, int64_t y);
typedef void (*WorldStateVisit)(void* context, int64_t x, int64_t y, int state);

// A square of the plane for far views: 2^shift cells a side whose first cell
// is (x, y). An engine holding a tree hands out its own squares, each with its
// population and its node, so that going down costs a step a square; the
// others answer through mayHold and tileRows.
struct WorldSquare {
    int64_t x, y;
    int32_t shift;
    int64_t population; // its live cells; -1 when the engine knows only that it may hold some
    const void* node;   // the engine's own
};

// An engine's operations; each takes a world it made. The free functions
// below are the way to call them.
struct WorldEngine {
    void (*release)(World* world);
    int (*step)(World* world, int64_t generations);
    int64_t (*generation)(const World* world);
    int64_t (*population)(const World* world);
    int (*bounds)(const World* world, WorldBox* box);
    int (*getCell)(const World* world, int64_t x, int64_t y);
    int (*setCell)(World* world, int64_t x, int64_t y, int state);
    int (*mayHold)(const World* world, int64_t x, int64_t y, int32_t shift);
    int (*tileRows)(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE]);
    int64_t (*forEachCell)(const World* world, WorldCellVisit visit, void* context);
    void* (*snapshotTake)(const World* world, void* reuse);
    World* (*snapshotRestore)(const void* kept);
    size_t (*snapshotBytes)(const void* kept);
    void (*snapshotRelease)(void* kept);
    const char* name;  // "board", "universe", "hashlife"
    // What the overlay calls it: null for the engines a world starts on
    // unless its pattern asks for another.
    const char* shownName;
    int32_t (*topSquares)(const World* world, WorldSquare squares[4]);
    int32_t (*quarters)(const World* world, const WorldSquare* square, WorldSquare quarters[4]);
    int (*squareRows)(const World* world, const WorldSquare* tile, uint64_t rows[WORLD_TILE]);
    int64_t (*advance)(World* world, int64_t generations, int64_t work);
    // Life.ini as the engine writes it; null: one "x y 0" line a cell.
    int (*writeLife)(const World* world, FILE* file);
};

// What every engine's world carries in front of its own record.
struct World {
    const WorldEngine* engine;
    // The cells it can hold: the board's 64 x 64, a bounded grid's, the
    // 32-bit plane, or hashlife's 2^61 each way from the origin. A cell
    // outside is dead and cannot be set.
    WorldBox extent;
    // 1: shown exactly as the 64 x 64 board always was: its cells placed
    // around the board's middle cell, which never moves, the arrows a fixed
    // step, every live cell with the full model however far. 0: the origin
    // follows the camera, steps grow with the height, far cells are stand-ins.
    int32_t fixedView;
    // The states a cell may take, 0 to states - 1: 2 for the two-state rules,
    // up to 256 for the rules of more (Generations, Larger than Life, tables).
    // Every state but 0 counts as live: in the population, the bounds, the
    // tiles' rows and the cells visited.
    int32_t states;
    char ruleName[LIFE_RULE_TEXT];  // the rule in the community's notation, "B3/S23"
    char rulesText[LIFE_RULE_TEXT]; // what Rules.ini holds for it: "1 4 3 3", "B3/S23"
    char failure[WORLD_REASON];     // why the last step was refused, as a phrase
};

// A world as it was at one generation, to go back to.
struct WorldSnapshot {
    const WorldEngine* engine;
    void* kept;
    WorldSnapshot* next; // free for the keeper's own lists
};

// ---- Making worlds (world_files.cpp) ---------------------------------------------
// A new empty world at generation 0 under the rule a Rules.ini text names: the
// community's notation (its first non-blank character 'B' or 'b', or "MAP")
// runs on the universe; a rule of more states (Generations, Larger than Life,
// a rule file's name, looked for as states.h says) on the multi-state engine;
// anything else is the board's four numbers. Null with
// the reason in reason[0 .. size) when the notation does not parse or memory
// runs out.
World* worldCreate(const char* rulesText, char* reason, size_t size);
// The same for a rule already read: null when memory runs out.
World* worldCreateForRule(const UniverseRule* rule);
// What start-up logs beside the world it loaded.
struct WorldLoadNotes {
    char rulesWarning[512]; // what Rules.ini was read without, "" when nothing
    int32_t ruleNamed;      // 1: Rules.ini named the rule in the community's notation or a rule of more states
};
// Start-up's world from Rules.ini and Life.ini (at most WORLD_LIFE_FILE_MAX
// bytes) in the working folder: "x y 0" lines, or a macrocell file (what
// Ctrl+S writes of a hashlife world), whose tree opens on hashlife at the
// generation it gives when hashlife runs Rules.ini's rule. A Rules.ini that cannot be read or parsed
// leaves Conway's rule on the board, with its warning in the notes. Null when
// Life.ini cannot be read or memory runs out; lifeLoadReason says why, or what
// Life.ini was read without.
World* worldLoadFiles(WorldLoadNotes* notes);
// Writes the world's Life.ini and Rules.ini into folder ("" for the working
// folder), as start-up reads them, through temporary files renamed into place:
// "x y 0" a live cell, "x y 0 s" with its state in a world of more than two
// states, whose rule's .rule file is written too when start-up would not find it.
// 1, or 0 with the reason and the old files as they were.
int worldSave(const World* world, const char* folder, char* reason, size_t size);
// The writer worldSave and the pattern converter share: Life.ini and, when
// writeRules is not null, Rules.ini in folder, each filled by its writer (which
// returns 0 on a failed write) in a temporary file first.
typedef int (*LifeFileWriter)(FILE* file, const void* content);
int lifeFilesWrite(const char* folder, LifeFileWriter writeLife, const void* life, LifeFileWriter writeRules,
    const void* rules, char* reason, size_t size);

// The world on the other engine of the plane, holding the same cells at the
// same generation: a universe's on hashlife, hashlife's on a universe. Null
// with the reason when the world has no other (the board), the other cannot
// run its rule or hold its cells, or memory runs out; the world is untouched.
World* worldSwitchEngine(const World* world, char* reason, size_t size);
// Patterns of more live cells than WORLD_HASHLIFE_CELLS (dropped, picked, or
// start-up's Life.ini) open on hashlife: past it a universe's generation of
// an engineered pattern takes more than a tick's share of work, where
// hashlife makes many (docs/benchmarks.md; random soups are the exception). A universe is given at most WORLD_SWITCH_CELLS, what
// the pattern readers list at most.
enum { WORLD_HASHLIFE_CELLS = 1 << 21, WORLD_SWITCH_CELLS = 1 << 27 };
// 1 when hashlife runs the rule: no B0, the unbounded plane.
int worldHashlifeRuns(const UniverseRule* rule);
// 1 when a pattern of count cells under the rule opens on hashlife.
int worldPrefersHashlife(const UniverseRule* rule, int64_t count);

// ---- Quadtrees read whole (world_tree.cpp) ---------------------------------------
// A square of 2^level cells a side as a macrocell file gives it.
struct WorldTreeNode {
    int32_t level;       // 3 for a leaf of 8 x 8 cells, 1 for a leaf of 2 x 2 states
    int32_t child[4];    // nw, ne, sw, se: earlier nodes, 0 for an empty square; unused in a leaf
    uint64_t bits;       // a leaf's cells, bit y * 8 + x; of 2 x 2 states, byte y * 2 + x
    uint64_t population; // saturates at 2^62
    WorldBox box;        // of its live cells, from its own top-left cell; when population > 0
};
// A macrocell file read: nodes[0] the empty square, the last node the whole
// pattern, a square centred on (0, 0) as the community's programs write it:
// its columns run from -half to half - 1 and its rows from 1 - half to half.
struct WorldTree {
    WorldTreeNode* nodes; // heap
    int32_t count;
    int64_t generation;   // "#G", 0 without one
    const char* rule;     // the text after "#R" in the text read, blanks not cut; null without one
    size_t ruleLength;
    int32_t ruleLine;
    // 1 when the leaves are 2 x 2 squares of states ("1 nw ne sw se"), as
    // files of rules of more states are written; maxState their highest.
    int32_t multiState;
    int32_t maxState;
};
// Reads a macrocell text: 1 with the tree, or 0 with the reason and its line
// (0 when none applies) and nothing held.
int worldTreeRead(const char* text, size_t size, WorldTree* tree, int32_t* line, char* reason, size_t reasonSize);
void worldTreeRelease(WorldTree* tree);
// Whether a text is a macrocell file, by its first line.
int worldTreeIsMacrocell(const char* text, size_t size);
// Every live cell of the tree where the file puts it, a square at a time.
void worldTreeForEachCell(const WorldTree* tree, WorldCellVisit visit, void* context);
void worldTreeForEachState(const WorldTree* tree, WorldStateVisit visit, void* context);
// The tree's cells set in a world of another engine, listed one by one (at
// most WORLD_SWITCH_CELLS); those outside its extent are left out, as
// Life.ini's are, as are states the world does not have. 1, or 0 with the reason.
int worldTreeSetCells(const WorldTree* tree, World* world, char* reason, size_t size);

// ---- The engines' makers (board_world.cpp, universe_world.cpp, hashlife_world.cpp) --
World* boardWorldCreate(const LifeRule* rule);
World* universeWorldCreate(const UniverseRule* rule);
// An empty universe at the generation given (0 or more); null when memory runs out.
World* universeWorldAt(const UniverseRule* rule, int64_t generation);
// Hashlife: the plane as a quadtree of canonical squares, each square's future
// kept on it, so that a step of 2^k generations costs what the pattern's
// variety costs rather than its size or its age. Cells from -2^61 to 2^61 - 1
// each way; a step needs every cell within 2^59 of the origin, and is refused
// once one lies farther.
// Rules that keep empty space empty on the unbounded plane only: a rule with
// B0 or a bounded grid runs on the universe and is refused here, as memory
// running out is, null with the reason in reason[0 .. size).
World* hashlifeWorldCreate(const UniverseRule* rule, char* reason, size_t size);
// The same holding count cells at once, each the pair xy[2i], xy[2i + 1] as
// (left + x, top + y): a pattern's list of cells as the readers give it. The
// tree is built whole, so a pattern of millions of cells costs what its
// distinct squares cost rather than a path of nodes per cell. Null with the
// reason as above, or when a cell lies outside the plane hashlife holds.
World* hashlifeWorldFromCells(const UniverseRule* rule, const int32_t* xy, int64_t count, int64_t left, int64_t top,
    char* reason, size_t size);
// The same from the tree's nodes, at the tree's generation: every square once,
// never a cell. Null with the reason as above.
World* hashlifeWorldFromTree(const UniverseRule* rule, const WorldTree* tree, char* reason, size_t size);
// Hashlife's world at a generation (0 or more) instead of 0.
void hashlifeWorldSetGeneration(World* world, int64_t generation);
// What hashlife's nodes may take, per store (a world with its snapshots and
// the worlds restored from them): past it a step collects the nodes no world
// or snapshot holds, then takes its generations in smaller steps, and stops
// with the reason when even one generation does not fit. Read at every step
// and every cell set, so the app may change it at any time; 1 GiB, 256 MiB on
// the page.
struct HashlifeLimits {
    size_t budgetBytes;
};
extern HashlifeLimits hashlifeLimits;
// The bytes a hashlife world's store holds (nodes, free ones included, and
// its table), which the budget bounds; 0 for another engine's world.
size_t hashlifeWorldBytes(const World* world);

// ---- Using a world ---------------------------------------------------------------
inline void worldRelease(World* world)
{
    if (world)
        world->engine->release(world);
}
// Steps the world on by n generations: 1, or 0 with the reason in
// world->failure and the world at the last generation it reached.
inline int worldStep(World* world, int64_t generations)
{
    return world->engine->step(world, generations);
}
// The work a frame tick gives to stepping: about 8 ms on the desktop.
enum { WORLD_TICK_WORK = 8000 };
// Steps the world on by at most n generations, doing about `work` of work
// (units of WORLD_TICK_WORK): the generations made, 0 when the work ran out
// first (hashlife keeps what it worked out, so the same call goes further
// next time), or -1 with the reason in world->failure and the world at the
// last generation it reached. A universe makes at least one generation.
inline int64_t worldAdvance(World* world, int64_t generations, int64_t work)
{
    return world->engine->advance(world, generations, work);
}
inline const char* worldEngineName(const World* world)
{
    return world->engine->name;
}
// The engine's name for the overlay, or null when it goes without saying.
inline const char* worldShownEngine(const World* world)
{
    return world->engine->shownName;
}
inline int64_t worldGeneration(const World* world)
{
    return world->engine->generation(world);
}
inline int64_t worldPopulation(const World* world)
{
    return world->engine->population(world);
}
// The box of the live cells; 0 when none lives.
inline int worldBounds(const World* world, WorldBox* box)
{
    return world->engine->bounds(world, box);
}
// The cell's state: 1 alive, 0 dead under a two-state rule; 0 everywhere
// outside the extent.
inline int worldGetCell(const World* world, int64_t x, int64_t y)
{
    return world->engine->getCell(world, x, y);
}
// Gives the cell a state from 0 to world->states - 1: 1, or 0 when the cell
// lies outside the extent, the state is not the rule's or memory ran out.
inline int worldSetCell(World* world, int64_t x, int64_t y, int state)
{
    if (state < 0 || state >= world->states)
        return 0;
    return world->engine->setCell(world, x, y, state);
}
// For far views: 0 when the square of 2^shift cells a side (shift at least
// WORLD_TILE_SHIFT) whose first cell is (x, y), x and y multiples of its side,
// holds no live cell; 1 when it may. Answered without visiting the cells.
inline int worldMayHold(const World* world, int64_t x, int64_t y, int32_t shift)
{
    return world->engine->mayHold(world, x, y, shift);
}
// The tile of cells tx * 64 .. + 63, ty * 64 .. + 63 as bit rows: bit k of
// rows[y] is the cell (tx * 64 + k, ty * 64 + y). 1, or 0 (rows untouched)
// when it holds no live cell.
inline int worldTileRows(const World* world, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    return world->engine->tileRows(world, tx, ty, rows);
}
// Calls visit for every live cell, in the engine's own order (the one its
// Life.ini is written in). Returns the count, or -1 when memory ran out
// before the first visit.
inline int64_t worldForEachCell(const World* world, WorldCellVisit visit, void* context)
{
    return world->engine->forEachCell(world, visit, context);
}
// The squares (at most four, each of a tile or more) that cover every live
// cell, those that may hold one; the count.
inline int32_t worldTopSquares(const World* world, WorldSquare squares[4])
{
    return world->engine->topSquares(world, squares);
}
// The quarters of a square of more than a tile that may hold a live cell,
// nw, ne, sw, se in that order; the count.
inline int32_t worldQuarters(const World* world, const WorldSquare* square, WorldSquare quarters[4])
{
    return world->engine->quarters(world, square, quarters);
}
// A square of a tile as bit rows (bit k of rows[y] the cell (x + k, y + y)):
// 1, or 0 (rows untouched) when it holds no live cell.
inline int worldSquareRows(const World* world, const WorldSquare* tile, uint64_t rows[WORLD_TILE])
{
    return world->engine->squareRows(world, tile, rows);
}
// The same with each cell's state (world.cpp): every cell of a two-state
// world in state 1.
int64_t worldForEachState(const World* world, WorldStateVisit visit, void* context);

// The world as it stands, or null when memory runs out. reuse (may be null)
// is a snapshot of the same engine no longer wanted: filled again when it has
// room, else let go; either way the caller no longer holds it.
WorldSnapshot* worldSnapshotTake(const World* world, WorldSnapshot* reuse);
// A new world holding what the snapshot kept, stepping on from there as the
// one taken would have; null when memory runs out.
World* worldSnapshotRestore(const WorldSnapshot* snapshot);
// The memory the snapshot holds.
size_t worldSnapshotBytes(const WorldSnapshot* snapshot);
void worldSnapshotRelease(WorldSnapshot* snapshot);

// ---- Far views by query (world_squares.cpp) -------------------------------------
// The square calls of an engine without a tree, from its extent, mayHold and
// tileRows; population -1 throughout.
int32_t worldQueryTopSquares(const World* world, WorldSquare squares[4]);
int32_t worldQueryQuarters(const World* world, const WorldSquare* square, WorldSquare quarters[4]);
int worldQuerySquareRows(const World* world, const WorldSquare* tile, uint64_t rows[WORLD_TILE]);

// ---- Tiles in blocks (world_blocks.cpp) -------------------------------------------
// The blocks of 2^shift x 2^shift cells of a tile (shift 0 to 6, clamped) that
// hold a live cell: bit i of blocks[j] for the block of cells x = i << shift ..,
// y = j << shift ... blocks has room for 64 rows; returns how many it filled,
// 64 >> shift.
int32_t worldTileBlocks(const uint64_t rows[WORLD_TILE], int32_t shift, uint64_t blocks[WORLD_TILE]);
