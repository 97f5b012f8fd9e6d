// The hashlife engine's own records, shared by its files (hashlife_nodes.cpp:
// the node table and canonical nodes, hashlife_step.cpp: the memoised
// futures, hashlife_gc.cpp: collection, hashlife_view.cpp: what the tree shows
// of its cells, hashlife_world.cpp: the engine behind World).
//
// The plane is a quadtree of canonical nodes: two squares with the same cells
// are one node, found through a hash table on their four quarters. A leaf is
// 8 x 8 cells, one uint64_t, so a leaf is hashed and compared as one word and a
// 64-cell tile row is eight leaves' rows side by side; the generation kernel
// works on four leaves, 16 x 16 cells, stepped up to 4 generations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "life/life.h"
#include "life/world.h"

enum {
    HASH_LEAF_LEVEL = 3, // a leaf: 8 x 8 cells
    HASH_LEAF = 1 << HASH_LEAF_LEVEL,
    // The root is centred on the origin: at level L it covers -2^(L-1) ..
    // 2^(L-1) - 1 each way. Level 62 keeps every corner, side and sum of two
    // coordinates inside int64.
    HASH_LEVEL_MAX = 62,
    // A root is never smaller than this, so its quarters are squares of at
    // least a tile, aligned on their own side like every node below them.
    HASH_ROOT_MIN = 7,
    // No result is kept: a node's result field is null.
    HASH_NO_SHIFT = 0xff,
    // Why the last allocation failed.
    HASH_FAIL_NONE = 0,
    HASH_FAIL_BUDGET,  // the table would pass the memory budget
    HASH_FAIL_MEMORY,  // the heap refused
    HASH_FAIL_REACH,   // the root would grow past HASH_LEVEL_MAX
};

// A square of 2^level cells a side. Quarters nw, ne, sw, se; a leaf keeps its
// cells in bits, bit y * 8 + x for the cell x to the right and y down from its
// top-left. 64 bytes: one cache line.
struct HashNode {
    union {
        HashNode* quad[4];
        uint64_t bits;
    };
    HashNode* next;         // the chain of its slot in the table
    HashNode* result;       // memo: the middle half, 2^resultShift generations on
    int64_t population;     // saturates at INT64_MAX
    uint8_t level;
    uint8_t resultShift;    // HASH_NO_SHIFT when result is null
    uint8_t mark;           // collection's marks, 0 outside a collection
};

// A node held from outside the table: a world's root or a snapshot's. Every
// holder is a root of collection; the store lives while one is left.
struct HashRoot {
    HashNode* node;
    HashRoot* prev;
    HashRoot* next;
};

struct HashBlock;

// The node table with everything built on it: shared by a world, its
// snapshots and the worlds restored from them.
struct HashStore {
    UniverseRule rule;
    // 4 x 4 cells (row y in bits 4y .. 4y + 3) to the middle 2 x 2 one
    // generation on (bit 0 (1, 1), bit 1 (2, 1), bit 2 (1, 2), bit 3 (2, 2)).
    uint8_t* quads;
    // Chained hashing; slotCount a power of two, grown to keep about one
    // node a slot.
    HashNode** slots;
    uint64_t slotCount;
    uint64_t nodeCount;
    HashNode* freeNodes;    // collected, to be used again
    HashBlock* blocks;      // nodes as allocated, never returned before release
    uint64_t blockNodes;    // nodes in the next block: doubles up to a cap
    size_t bytes;           // blocks and slots: what the budget is held to
    size_t budget;          // hashlifeLimits.budgetBytes, read at each step
    int32_t failure;        // HASH_FAIL_*: why the last allocation failed
    HashNode* empty[HASH_LEVEL_MAX + 1]; // the empty square of each level from 3
    HashRoot* roots;
    int64_t collections;
};

// ---- hashlife_nodes.cpp -----------------------------------------------------
// A store for the rule with its empty squares, its table of the rule still to
// be filled (hashRuleInit); null when memory runs out.
HashStore* hashStoreCreate(const UniverseRule* rule);
void hashStoreRelease(HashStore* store);
// Holders joining and leaving; the last to leave releases the store.
void hashRootAdd(HashStore* store, HashRoot* root, HashNode* node);
void hashRootDrop(HashStore* store, HashRoot* root);
// The canonical leaf with these cells, or null (store->failure says why).
HashNode* hashLeaf(HashStore* store, uint64_t bits);
// The canonical node of these four quarters (one level below it), or null.
HashNode* hashJoin(HashStore* store, HashNode* nw, HashNode* ne, HashNode* sw, HashNode* se);
// A node collection took out of the table, for the next node made.
void hashNodeFree(HashStore* store, HashNode* node);

// ---- hashlife_step.cpp ------------------------------------------------------
// Fills store->quads for the rule; 0 when memory runs out.
int hashRuleInit(HashStore* store);
// The root 2^shift generations on, of level HASH_ROOT_MIN or more, shrunk
// while its cells fit a smaller one; null with store->failure saying why.
HashNode* hashStepRoot(HashStore* store, HashNode* root, int32_t shift);
// A root of one level more with the same cells, or null.
HashNode* hashExpand(HashStore* store, HashNode* root);

// ---- hashlife_view.cpp: a root centred on the origin, read ----------------
int hashCellAt(const HashNode* root, int64_t x, int64_t y);
// The box of the live cells; 0 when none lives.
int hashBounds(const HashNode* root, WorldBox* box);
// Whether a live cell lies in the box, inclusive.
int hashHolds(const HashNode* root, const WorldBox* box);
// The 64 x 64 cells from (tx * 64, ty * 64) as bit rows; 0 when none lives.
int hashTileRows(const HashNode* root, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE]);
// Every live cell, rows top to bottom, west to east in a row: the count, or
// -1 when the walk's lists cannot be had (nothing visited).
int64_t hashForEachCell(const HashNode* root, WorldCellVisit visit, void* context);

// ---- hashlife_build.cpp -----------------------------------------------------
// The root holding count cells given as int32 pairs xy[2i], xy[2i + 1] at
// (left + x, top + y); null with store->failure.
HashNode* hashBuild(HashStore* store, const int32_t* xy, int64_t count, int64_t left, int64_t top);

// ---- hashlife_gc.cpp --------------------------------------------------------
// Frees every node no holder reaches, keeping the futures of those it does.
void hashCollect(HashStore* store);
