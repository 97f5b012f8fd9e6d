// What only the span table's own files and their tests use: the node pool,
// the table's record, a row's list operations and insertion into a row whose
// marks the caller hands over.
#pragma once

#include "spans/spans.h"

enum {
    SPAN_FIRST_BLOCK = 1024,
    SPAN_BLOCK = 256,
};

// Every node lives in one of the blocks: the first holds 1024 nodes, every
// later one 256. Nodes are never handed back; blocks are freed only by
// spanPoolRelease. `failed` is -1 while the last growth has failed.
//
// Several threads may take nodes from one pool at once. Taking and growing
// are done under a lock; nextFree, blockSize and failed are also read
// without it (spanPoolMakeReady's quick look, the insertion's check for a
// failure), so they are written and read atomically. In steady state no
// thread takes a node, and the lock is never touched.
struct SpanPool {
    SpanNode** blocks;
    int32_t lastBlock;
    int32_t curBlock;
    int32_t nextFree;
    int32_t blockSize;
    int32_t failed;
};

// Where an insertion starts its walk along a row (span_marks.h).
struct SpanMarks;

enum { SPAN_ROW_NODES = 20 };

// What the span table sets up once, in span_table.cpp: `rowCount` rows and as
// many marks records, row i's at marks[i], and the pool every row grows from.
// Frames change the rows' chains and marks, and the pool as rows grow;
// repackedTaken is the pool's taken count at the last repack (-1 before the
// first), so that a repack is done once per growth.
struct SpanTable {
    ScanLine* rows;
    SpanMarks* marks;
    int32_t rowCount;
    int32_t width; // the screen width the histogram clips with
    SpanPool pool;
    int64_t repackedTaken;
};

extern SpanTable spanTable;

// ---- Pool (span_pool.cpp) --------------------------------------------------
// Sets up an empty pool with its first block of 1024 nodes. Returns 1, or 0
// with nothing allocated.
int spanPoolInit(SpanPool* pool);
// Frees every block and the block array; failed keeps its value.
void spanPoolRelease(SpanPool* pool);
// Taking a node is two steps. Make ready runs before the caller looks for a
// spare node of its own: when the current block is used up it moves to the
// next block, growing the pool first; returns 0 (caller gives up) when the
// growth fails. Take hands out the next node of the current block, called
// only after a successful make ready; it returns null only when other
// threads used up the block in between and the growth this needs failed.
// The usual case, a node left in the current block, is decided inline.
int spanPoolMoveToNextBlock(SpanPool* pool);
inline int spanPoolMakeReady(SpanPool* pool)
{
    return __atomic_load_n(&pool->nextFree, __ATOMIC_RELAXED) < __atomic_load_n(&pool->blockSize, __ATOMIC_RELAXED)
        ? 1
        : spanPoolMoveToNextBlock(pool);
}
SpanNode* spanPoolTake(SpanPool* pool);
// -1 while the pool's last growth has failed, read while other threads may
// be growing it.
inline int32_t spanPoolFailedNow(const SpanPool* pool)
{
    return __atomic_load_n(&pool->failed, __ATOMIC_RELAXED);
}
// Nodes handed out since set-up; with no thread taking nodes meanwhile.
int64_t spanPoolCount(const SpanPool* pool);

// Node blocks are aligned to this many bytes inside their allocation.
enum { SPAN_CACHE_LINE = 64 };

// Node `index` of block `block`, taken or not, in the order the pool hands
// nodes out; the repack lays chains out afresh through them. Nodes start on a
// cache line, so that a 64-byte node is read and written as one line; every
// block has room for that shift. Inline: the repack calls it once a node.
inline SpanNode* spanPoolNode(const SpanPool* pool, int32_t block, int32_t index)
{
    const uintptr_t base = (uintptr_t)pool->blocks[block];
    SpanNode* first = (SpanNode*)((base + SPAN_CACHE_LINE - 1) & ~(uintptr_t)(SPAN_CACHE_LINE - 1));
    return &first[index];
}

// Prefetch distances of the insertion, in nodes, which rely on the order the
// repack deals nodes in (see SPAN_DRAW_AHEAD): the insertion takes spare
// nodes from the tail, so the spares it takes next lie below the one just
// taken, SPAN_TAKE_NEAR and SPAN_TAKE_FAR places down.
enum {
    SPAN_TAKE_NEAR = 6,
    SPAN_TAKE_FAR = 10,
};

// ---- List operations (span_list.cpp) ---------------------------------------
// None of them knows the row's marks: a caller other than the insertion that
// changes a row's used nodes forgets the row's marks (spanMarksForget) before
// the row's next insertion.
//
// Builds a fresh chain of nodeCount nodes (taken from the pool) with count 0,
// for a row whose marks are cleared (a zeroed record is). Returns 0 when the
// pool fails; the chain built so far stays consistent (a row that got no node
// at all is left empty: allocated 0, null links).
int spanListCreate(SpanPool* pool, int32_t nodeCount, ScanLine* line);
// The adding operations return the node that now holds the span, or null when
// the pool cannot supply a node. They copy the whole record and never change
// it. `node` must be one of the row's used nodes. `firstSpare`, when known,
// is the node at index count (the first spare one) and spares the walk from
// the head to it.
SpanNode* spanListAppend(SpanPool* pool, ScanLine* line, const SpanNode* span, SpanNode* firstSpare);
SpanNode* spanListInsertBefore(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
SpanNode* spanListInsertAfter(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
// Moves a used node to the spare end of the chain.
void spanListRemove(ScanLine* line, SpanNode* node);

// Copies the whole record into a node that keeps its own links.
inline void spanCopyInPlace(SpanNode* node, const SpanNode* span)
{
    SpanNode* prev = node->prev;
    SpanNode* next = node->next;
    *node = *span;
    node->prev = prev;
    node->next = next;
}

// ---- Insertion (span_insert.cpp) --------------------------------------------
// insertSpanInRow for any row, the table's or a test's or benchmark's own.
// `marks` is the row's own record, changed only by the row's insertions and
// spanMarksForget; a new row's record starts zeroed.
void insertSpan(SpanPool* pool, SpanNode* span, ScanLine* line, SpanMarks* marks);
