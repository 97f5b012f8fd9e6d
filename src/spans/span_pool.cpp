// The node pool, row chains and the span table's life: nodes come from big
// blocks and stay in the row that took them until shut-down.
#include <atomic>

#include "spans/span_marks.h"
#include "spans/spans_local.h"

#include "platform/platform.h"

// Node blocks are aligned to this many bytes inside their allocation.
enum { CACHE_LINE = 64 };

SpanPool spanPool = {nullptr, 0, 0, 0, 0, 0};
// Nodes the pool had handed out when the table was last repacked; -1 before
// the first repack.
static int64_t repackedTaken = -1;
ScanLine* spanTable = nullptr;
int32_t spanTableRows = 0;
int32_t spanTableWidth = 0;

// Taking and growing, for every pool: they are rare once the rows have grown,
// so one lock serves all, and a first frame takes thousands of nodes: a lock
// that is one exchange when free, which it nearly always is.
static std::atomic_flag taking = ATOMIC_FLAG_INIT;

struct TakingLock {
    TakingLock()
    {
        while (taking.test_and_set(std::memory_order_acquire))
            threadPause();
    }
    ~TakingLock() { taking.clear(std::memory_order_release); }
};

static void storeRelaxed(int32_t* field, int32_t value)
{
    __atomic_store_n(field, value, __ATOMIC_RELAXED);
}

// blockSize stays 0 until the first block exists, so that a pool whose set-up
// failed hands out no node (making a node ready tries to grow and fails).
int spanPoolInit(SpanPool* pool)
{
    *pool = SpanPool{nullptr, 0, 0, 0, 0, 0};
    if (pool == &spanPool)
        repackedTaken = -1;
    pool->blocks = (SpanNode**)heapAlloc(sizeof(SpanNode*));
    if (!pool->blocks)
        return 0;
    pool->blocks[0] = (SpanNode*)heapAlloc(SPAN_FIRST_BLOCK * sizeof(SpanNode) + CACHE_LINE);
    if (!pool->blocks[0]) {
        heapFree(pool->blocks);
        pool->blocks = nullptr;
        return 0;
    }
    pool->blockSize = SPAN_FIRST_BLOCK;
    return 1;
}

// The block array grows by one slot per block. Nothing but `failed` changes
// until both allocations have succeeded: a half-done growth that already
// counted the new block would hand out nodes of the old, full block again and
// later free a slot that was never filled. Called with the lock held, or
// before any other thread can see the pool.
static int poolGrow(SpanPool* pool)
{
    storeRelaxed(&pool->failed, -1);
    // A released or never initialised pool has no first block to grow from.
    if (!pool->blocks)
        return 0;
    int32_t slot = pool->lastBlock + 1;
    SpanNode** blocks = (SpanNode**)heapRealloc(pool->blocks, (size_t)(slot + 1) * sizeof(SpanNode*));
    if (!blocks)
        return 0;
    // The old array is gone once the re-allocation succeeds; keep the new one
    // even if the block below fails (its spare slot is simply unused).
    pool->blocks = blocks;
    SpanNode* block = (SpanNode*)heapAlloc(SPAN_BLOCK * sizeof(SpanNode) + CACHE_LINE);
    if (!block)
        return 0;
    blocks[slot] = block;
    pool->lastBlock = slot;
    storeRelaxed(&pool->blockSize, SPAN_BLOCK);
    storeRelaxed(&pool->nextFree, 0);
    storeRelaxed(&pool->failed, 0);
    return 1;
}

int spanPoolGrow(SpanPool* pool)
{
    TakingLock held;
    return poolGrow(pool);
}

int32_t spanPoolFailed()
{
    return spanPoolFailedNow(&spanPool);
}

void spanPoolRelease(SpanPool* pool)
{
    if (pool->blocks) {
        for (int32_t i = 0; i <= pool->lastBlock; i++)
            heapFree(pool->blocks[i]);
        heapFree(pool->blocks);
    }
    pool->blocks = nullptr;
    pool->lastBlock = 0;
    pool->blockSize = 0;
    pool->curBlock = 0;
    pool->nextFree = 0;
}

// With the lock held: the current block has a node to take, after moving to
// the next block (grown first when there is none) if it had not. 0 when the
// growth failed.
static int readyLocked(SpanPool* pool)
{
    if (pool->nextFree < pool->blockSize)
        return 1;
    if (pool->curBlock == pool->lastBlock && !poolGrow(pool))
        return 0;
    pool->curBlock += 1;
    storeRelaxed(&pool->nextFree, 0);
    return 1;
}

int spanPoolMoveToNextBlock(SpanPool* pool)
{
    TakingLock held;
    return readyLocked(pool);
}

// Nodes start on a cache line, so that a 64-byte node is read and written as
// one line; every block has room for that shift.
static SpanNode* blockNode(const SpanPool* pool, int32_t block, int32_t index)
{
    const uintptr_t base = (uintptr_t)pool->blocks[block];
    SpanNode* first = (SpanNode*)((base + CACHE_LINE - 1) & ~(uintptr_t)(CACHE_LINE - 1));
    return &first[index];
}

SpanNode* spanPoolTake(SpanPool* pool)
{
    TakingLock held;
    // Another thread may have taken the block's last node since this one
    // made ready: then the growth happens here.
    if (!readyLocked(pool))
        return nullptr;
    SpanNode* node = blockNode(pool, pool->curBlock, pool->nextFree);
    storeRelaxed(&pool->nextFree, pool->nextFree + 1);
    return node;
}

static int64_t poolTaken(const SpanPool* pool)
{
    if (!pool->blocks)
        return 0;
    if (pool->curBlock == 0)
        return pool->nextFree;
    return SPAN_FIRST_BLOCK + (int64_t)(pool->curBlock - 1) * SPAN_BLOCK + pool->nextFree;
}

int64_t spanPoolTaken()
{
    return poolTaken(&spanPool);
}

SpanPool* spanTablePool()
{
    return &spanPool;
}

int scanLineCreate(SpanPool* pool, int32_t nodeCount, ScanLine* line)
{
    line->count = 0;
    line->allocated = 1;
    spanMarksForget(line);
    SpanNode* first = spanPoolMakeReady(pool) ? spanPoolTake(pool) : nullptr;
    if (!first) {
        // Nothing was linked: leave an empty row rather than stale pointers.
        line->head = nullptr;
        line->tail = nullptr;
        line->allocated = 0;
        return 0;
    }
    first->prev = nullptr;
    first->next = nullptr;
    line->head = first;
    line->tail = first;
    for (int32_t i = 1; i < nodeCount; i++) {
        SpanNode* node = spanPoolMakeReady(pool) ? spanPoolTake(pool) : nullptr;
        if (!node)
            return 0;
        node->prev = line->tail;
        node->next = nullptr;
        line->tail->next = node;
        line->tail = node;
        line->allocated += 1;
    }
    return 1;
}

void spanTableReset()
{
    for (int32_t row = 0; row < spanTableRows; row++)
        spanTable[row].count = 0;
}

int spanTableRepack()
{
    const int64_t taken = poolTaken(&spanPool);
    if (!spanTable || taken == repackedTaken)
        return 0;
    // Only an empty table whose chains hold every node the pool handed out
    // can be laid out afresh.
    int64_t linked = 0;
    for (int32_t row = 0; row < spanTableRows; row++) {
        if (spanTable[row].count != 0)
            return 0;
        linked += spanTable[row].allocated;
    }
    if (linked != taken)
        return 0;
    // Rows in order, each head to tail through rising addresses: the
    // prefetch distances rely on this order.
    int32_t block = 0, index = 0;
    for (int32_t row = 0; row < spanTableRows; row++) {
        ScanLine* line = &spanTable[row];
        SpanNode* prev = nullptr;
        for (int32_t i = 0; i < line->allocated; i++) {
            if (index == (block == 0 ? SPAN_FIRST_BLOCK : SPAN_BLOCK)) {
                block += 1;
                index = 0;
            }
            SpanNode* node = blockNode(&spanPool, block, index);
            index += 1;
            node->prev = prev;
            node->next = nullptr;
            if (prev)
                prev->next = node;
            else
                line->head = node;
            prev = node;
        }
        line->tail = prev;
        spanMarksForget(line);
    }
    repackedTaken = taken;
    return 1;
}

int spanTableInit(int32_t width, int32_t height)
{
    if (width < 1 || height < 1)
        return 0;
    spanTableWidth = width;
    if (!spanPoolInit(&spanPool))
        return 0;
    // Zeroed, so rows never reached after a failure read as empty rows.
    spanTable = (ScanLine*)heapCalloc((size_t)height, sizeof(ScanLine));
    if (!spanTable)
        return 0;
    // Cleared too: every row starts with no marks.
    spanMarks = (SpanMarks*)heapCalloc((size_t)height, sizeof(SpanMarks));
    if (!spanMarks)
        return 0;
    spanTableRows = height;
    for (int32_t row = 0; row < height; row++) {
        if (!scanLineCreate(&spanPool, SPAN_ROW_NODES, &spanTable[row]))
            return 0;
        spanTable[row].count = 0;
    }
    return 1;
}

void spanTableRelease()
{
    spanPoolRelease(&spanPool);
    heapFree(spanMarks);
    spanMarks = nullptr;
    heapFree(spanTable);
    spanTable = nullptr;
    spanTableRows = 0;
}
