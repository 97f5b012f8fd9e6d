// What only the span table's own files and their tests use: the node pool,
// row creation and the list operations.
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

// The table's pool.
extern SpanPool spanPool;

// ---- Pool (span_pool.cpp) --------------------------------------------------
// Sets up an empty pool with its first block of 1024 nodes. Returns 1, or 0
// with nothing allocated.
int spanPoolInit(SpanPool* pool);
// Adds one block of 256 nodes: returns 1 with blockSize 256 and failed 0. On
// failure returns 0 with failed -1 and the pool otherwise as it was, so the
// next node taken tries to grow again.
int spanPoolGrow(SpanPool* pool);
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

// ---- Rows (span_pool.cpp) ----------------------------------------------------
// Builds a fresh chain of nodeCount nodes (taken from the pool) with count 0.
// Returns 0 when the pool fails; the chain built so far stays consistent (a
// row that got no node at all is left empty: allocated 0, null links).
int scanLineCreate(SpanPool* pool, int32_t nodeCount, ScanLine* line);

// Prefetch distances of the insertion, in nodes, which rely on the order the
// repack deals nodes in (see SPAN_DRAW_AHEAD): the insertion takes spare
// nodes from the tail, so the spares it takes next lie below the one just
// taken, SPAN_TAKE_NEAR and SPAN_TAKE_FAR places down.
enum {
    SPAN_TAKE_NEAR = 6,
    SPAN_TAKE_FAR = 10,
};

// ---- List operations (span_list.cpp) ---------------------------------------
// The adding operations return the node that now holds the span, or null when
// the pool cannot supply a node. They copy the whole record and never change
// it. `node` must be one of the row's used nodes. Called from outside the
// insertion, they make the row forget its walk-start marks.
SpanNode* scanLineAppend(SpanPool* pool, ScanLine* line, const SpanNode* span);
SpanNode* scanLineInsertBefore(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
SpanNode* scanLineInsertAfter(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
// Moves a used node to the spare end of the chain.
void scanLineRemove(ScanLine* line, SpanNode* node);

// Copies the whole record into a node that keeps its own links.
inline void spanCopyInPlace(SpanNode* node, const SpanNode* span)
{
    SpanNode* prev = node->prev;
    SpanNode* next = node->next;
    *node = *span;
    node->prev = prev;
    node->next = next;
}

// The list operations without forgetting the marks, for the insertion, which
// keeps its marks itself. `firstSpare`, when known, is the node at index
// count (the first spare one) and spares the walk from the head to it.
SpanNode* spanListAppend(SpanPool* pool, ScanLine* line, const SpanNode* span, SpanNode* firstSpare);
SpanNode* spanListInsertBefore(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
SpanNode* spanListInsertAfter(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span);
void spanListRemove(ScanLine* line, SpanNode* node);
