// Span table: the per-row span lists that stand in for a depth buffer, span
// insertion and the span-length histogram. The table's record, the node pool
// the rows grow from, the list operations and where an insertion starts its
// walk are the area's own (spans_local.h, span_marks.h).
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

// The pool hands out nodes one cache line apart, and drawing and insertion
// fetch nodes ahead by address (the distances below): both rely on a node
// filling exactly one line where pointers take 8 bytes.
static_assert(sizeof(void*) != 8 || sizeof(SpanNode) == 64, "a span node fills one 64-byte cache line");

// One row's chain, head to tail: the first `count` nodes are this frame's
// spans in increasing column order (xStart <= xEnd, each xEnd <= the next
// xStart), the rest are spare nodes with stale payloads. `allocated` nodes in
// all, never fewer than before; tail is a spare node whenever count <
// allocated. head->prev and tail->next are null.
struct ScanLine {
    SpanNode* head;
    SpanNode* tail;
    int32_t count;
    int32_t allocated;
};

// Where the rows' nodes come from. The table has one, which any number of
// threads may take nodes from at once, each inserting into rows of its own.
struct SpanPool;

// Engine set-up: the table's pool, then the table of `height` rows, then a
// chain of 20 nodes for each row from row 0 down. Returns 0 at the first
// failure; rows created before it stay allocated and spanTableRelease frees
// them.
int spanTableInit(int32_t width, int32_t height);
// Shut-down: the pool's blocks, then the rows and their marks.
void spanTableRelease();
// Rows of the table, one per screen row: 0 before set-up.
int32_t spanTableRowCount();
// Row `row`, 0 at the top (0 <= row < spanTableRowCount()).
ScanLine* spanTableRow(int32_t row);
// The pool the table's rows grow from.
SpanPool* spanTablePool();
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
// 0, or -1 while the last growth of the table's pool has failed.
int32_t spanPoolFailed();
// Nodes the table's pool has handed out since it was set up.
int64_t spanPoolTaken();

// Drawing walks a row forward through the rising addresses the repack lays
// its chain out in, and fetches the node this many places after the current
// one: far enough for the fetch to land before the node is reached, near
// enough for the guess to hold. If the repack lays rows out in another order,
// this distance must change with it.
enum { SPAN_DRAW_AHEAD = 8 };

// Merges the span into row `row` of the table (0 <= row <
// spanTableRowCount()) so that the nearer face keeps every pixel, taking any
// new node from `pool`. The record's xStart and xEnd are changed as the span
// is cut; set them (and the plane values at column 0) afresh for every row.
// An empty span is stored like any other; a reversed one (xStart > xEnd)
// covers nothing and is dropped: stored, it would let later spans slip past
// spans they overlap. When the pool runs dry the insertion stops where it is,
// leaving a gap (or, inside a three-piece split, one overlapping node) for
// this frame.
void insertSpanInRow(SpanPool* pool, SpanNode* span, int32_t row);

// Writes "Graph.txt": one line per visible span length in the table, shortest
// first, with its count and a bar of up to 50 stars. Writes nothing when
// memory or the file fails.
void writeSpanHistogram();
