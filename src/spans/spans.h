// Span table: the per-row span lists that stand in for a depth buffer, the
// node pool they grow from, span insertion and the span-length histogram.
#pragma once

#include <cstdint>

struct Texture;

// One span of one row. Plane values are taken at column 0 of the row (not at
// xStart): 1/z at column x is invZ + x * dInvZ, and a larger 1/z is nearer.
// Columns are [xStart, xEnd), not clipped to the screen. prev and next belong
// to the row's chain; everything after them is the payload, which every copy
// of a span carries whole. Insertion copies the record with one assignment, so
// new fields need no extra copying code.
struct SpanNode {
    SpanNode* prev;
    SpanNode* next;
    float invZ;
    float uOverZ;
    float vOverZ;
    float dUOverZ;
    float dVOverZ;
    float dInvZ;
    int32_t xStart;
    int32_t xEnd;
    Texture* texture;
    int32_t level;
    int32_t light;
};

// One row's chain, head to tail: the first `count` nodes are this frame's
// spans in increasing column order (xStart <= xEnd, each xEnd <= the next
// xStart), the rest are spare nodes with stale payloads. `allocated` nodes in
// all, never fewer than before; tail is a spare node whenever count <
// allocated. head->prev and tail->next are null. Where an insertion may start
// its walk is kept beside the table (span_marks.h).
struct ScanLine {
    SpanNode* head;
    SpanNode* tail;
    int32_t count;
    int32_t allocated;
};

enum {
    SPAN_MAX_POOLS = 16,
    SPAN_FIRST_BLOCK = 1024,
    SPAN_BLOCK = 256,
    SPAN_ROW_NODES = 20,
};

// Every node lives in one of the blocks: the first holds 1024 nodes, every
// later one 256. Nodes are never handed back; blocks are freed only by
// spanPoolRelease. `failed` is -1 while the last growth has failed.
struct SpanPool {
    SpanNode** blocks;
    int32_t lastBlock;
    int32_t curBlock;
    int32_t nextFree;
    int32_t blockSize;
    int32_t failed;
};

// The pool of worker 0 (the only one with one worker).
extern SpanPool spanPool;
// The pool the calling thread takes its nodes from and grows: spanPool until
// spanPoolUse says otherwise. Each worker thread has its own.
extern __thread SpanPool* spanThreadPool;
// One ScanLine per screen row, row 0 at the top; spanTableWidth is the screen
// width the histogram clips with.
extern ScanLine* spanTable;
extern int32_t spanTableRows;
extern int32_t spanTableWidth;

// ---- Pool (span_pool.cpp) --------------------------------------------------
// Sets up an empty pool with its first block of 1024 nodes. Returns 1, or 0
// with nothing allocated.
int spanPoolInit();
// Adds one block of 256 nodes: returns 1 with blockSize 256 and failed 0. On
// failure returns 0 with failed -1 and the pool otherwise as it was, so the
// next node taken tries to grow again.
int spanPoolGrow();
// 0, or -1 while the last growth of some pool has failed.
int32_t spanPoolFailed();
// Frees every block and the block array of every pool, and leaves one pool;
// failed keeps its value.
void spanPoolRelease();
// Several workers insert at once, each into its own rows, each taking nodes
// from a pool of its own with the same block rules, so that the common path
// takes no lock. Sets up pools 1 .. count - 1 beside spanPool (or releases
// those beyond count); returns 1, or 0 with the count unchanged.
int spanPoolsSetCount(int32_t count);
// The calling thread takes its nodes from pool `index` from now on.
void spanPoolUse(int32_t index);
// Taking a node is two steps. Make ready runs before the caller looks for a
// spare node of its own: when the current block is used up it moves to the
// next block, growing the pool first; returns 0 (caller gives up) when the
// growth fails. Take hands out the next node of the current block and is only
// called after a successful make ready. The usual case, a node left in the
// current block, is decided inline.
int spanPoolMoveToNextBlock();
inline int spanPoolMakeReady()
{
    const SpanPool* const pool = spanThreadPool;
    return pool->nextFree < pool->blockSize ? 1 : spanPoolMoveToNextBlock();
}
SpanNode* spanPoolTake();
// Nodes handed out since the pools were set up, by all of them.
int64_t spanPoolTaken();

// ---- Rows and table (span_pool.cpp) ----------------------------------------
// Builds a fresh chain of nodeCount nodes (taken from the pool) with count 0.
// Returns 0 when the pool fails; the chain built so far stays consistent (a
// row that got no node at all is left empty: allocated 0, null links).
int scanLineCreate(int32_t nodeCount, ScanLine* line);
// Empties every row for a new frame: count 0, chains and nodes kept.
void spanTableReset();
// A row's nodes come from the pool as the row grows, so its chain ends up
// scattered over every block and walking it misses the cache at each step.
// On an empty table, when the pool has handed out nodes since the last
// repack, this deals the nodes out again so that every row's chain runs
// through consecutive nodes, rows in order; the number of nodes in each row
// stays. Returns 1 when it relinked the chains, 0 when there was nothing to
// do or the table was not empty.
int spanTableRepack();
// Prefetch distances, in nodes, that rely on the order the repack deals nodes
// in: each row's chain runs head to tail through rising addresses, one cache
// line per node (the pool aligns them). Drawing walks a row forward, so it
// fetches the node SPAN_DRAW_AHEAD places after the current one. The
// insertion takes spare nodes from the tail, so the spares it takes next lie
// below the one just taken: it fetches those SPAN_TAKE_NEAR and SPAN_TAKE_FAR
// places down. Far enough for a fetch to land before its node is reached,
// near enough for the guess to hold. A row that grew since the repack breaks
// the order in places, and a guess that misses costs one fetch. If the repack
// lays rows out in another order, these distances and their directions must
// change with it.
enum {
    SPAN_DRAW_AHEAD = 8,
    SPAN_TAKE_NEAR = 6,
    SPAN_TAKE_FAR = 10,
};
// Engine set-up: spanPoolInit, then the table of `height` rows and its marks
// (span_marks.h), then a chain of 20 nodes for each row from row 0 down.
// Returns 0 at the first failure; rows created before it stay allocated and
// spanTableRelease frees them. A caller doing these steps itself must also
// set spanTable, spanTableRows and spanTableWidth, and give each row count 0
// after scanLineCreate; without spanMarks its rows share the one record of
// marks kept for rows outside the table.
int spanTableInit(int32_t width, int32_t height);
// Shut-down: spanPoolRelease, then the table array and its marks.
void spanTableRelease();

// ---- List operations (span_list.cpp) ---------------------------------------
// The adding operations return the node that now holds the span, or null when
// the pool cannot supply a node. They copy the whole record and never change
// it. `node` must be one of the row's used nodes.
SpanNode* scanLineAppend(ScanLine* line, const SpanNode* span);
SpanNode* scanLineInsertBefore(ScanLine* line, SpanNode* node, const SpanNode* span);
SpanNode* scanLineInsertAfter(ScanLine* line, SpanNode* node, const SpanNode* span);
// Moves a used node to the spare end of the chain.
void scanLineRemove(ScanLine* line, SpanNode* node);

// ---- Insertion (span_insert.cpp) -------------------------------------------
// Merges the span into the row so that the nearer face keeps every pixel.
// The record's xStart and xEnd are changed as the span is cut; set them (and
// the plane values at column 0) afresh for every row. An empty span is stored
// like any other; a reversed one (xStart > xEnd) covers nothing and is
// dropped: stored, it would let later spans slip past spans they overlap.
// When the pool runs dry
// the insertion stops where it is, leaving a gap (or, inside a three-piece
// split, one overlapping node) for this frame.
void insertSpan(SpanNode* span, ScanLine* line);
// The same for row `row` of the table (0 <= row < spanTableRows), which finds
// the row's walk-start marks without working them out from its address.
void insertSpanInRow(SpanNode* span, int32_t row);

// ---- Histogram (span_histogram.cpp) ----------------------------------------
// Writes "Graph.txt": one line per visible span length in the table, shortest
// first, with its count and a bar of up to 50 stars. Writes nothing when
// memory or the file fails.
void writeSpanHistogram();
