// The node pool: nodes come from big blocks and stay in the row that took
// them until shut-down.
#include <atomic>

#include "spans/spans_local.h"

#include "platform/platform.h"

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
    pool->blocks = (SpanNode**)heapAlloc(sizeof(SpanNode*));
    if (!pool->blocks)
        return 0;
    pool->blocks[0] = (SpanNode*)heapAlloc(SPAN_FIRST_BLOCK * sizeof(SpanNode) + SPAN_CACHE_LINE);
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
// later free a slot that was never filled. Called with the lock held.
// Out of line because growing is rare: inlined, it makes the step before it
// too big to be inlined into spanPoolTake, which every node taken runs.
__attribute__((noinline)) static int poolGrow(SpanPool* pool)
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
    SpanNode* block = (SpanNode*)heapAlloc(SPAN_BLOCK * sizeof(SpanNode) + SPAN_CACHE_LINE);
    if (!block)
        return 0;
    blocks[slot] = block;
    pool->lastBlock = slot;
    storeRelaxed(&pool->blockSize, SPAN_BLOCK);
    storeRelaxed(&pool->nextFree, 0);
    storeRelaxed(&pool->failed, 0);
    return 1;
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

SpanNode* spanPoolTake(SpanPool* pool)
{
    TakingLock held;
    // Another thread may have taken the block's last node since this one
    // made ready: then the growth happens here.
    if (!readyLocked(pool))
        return nullptr;
    SpanNode* node = spanPoolNode(pool, pool->curBlock, pool->nextFree);
    storeRelaxed(&pool->nextFree, pool->nextFree + 1);
    return node;
}

int64_t spanPoolCount(const SpanPool* pool)
{
    if (!pool->blocks)
        return 0;
    if (pool->curBlock == 0)
        return pool->nextFree;
    return SPAN_FIRST_BLOCK + (int64_t)(pool->curBlock - 1) * SPAN_BLOCK + pool->nextFree;
}
