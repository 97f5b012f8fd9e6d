// The node table: every square the engine has made, once, found by its four
// quarters (a leaf by its bits) through chained hashing; nodes taken from
// blocks allocated within the memory budget, and the holders that keep the
// store alive.
#include <cstring>

#include "life/hashlife_local.h"
#include "life/world.h"
#include "platform/platform.h"

#ifdef __EMSCRIPTEN__
HashlifeLimits hashlifeLimits = {(size_t)256 << 20};
#else
HashlifeLimits hashlifeLimits = {(size_t)1 << 30};
#endif

// A block's first node-sized piece is its header, so the nodes after it keep
// the node's alignment.
struct HashBlock {
    HashBlock* next;
};

namespace {

enum : uint64_t {
    SLOTS_FIRST = 1024,
    BLOCK_FIRST = 256,        // nodes: a small world costs little
    BLOCK_LARGEST = 1 << 16,  // 4 MiB
};

inline uint64_t mix(uint64_t h)
{
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    return h ^ (h >> 27);
}

inline uint64_t hashQuads(const HashNode* nw, const HashNode* ne, const HashNode* sw, const HashNode* se)
{
    const uint64_t k = 0x9e3779b97f4a7c15ull;
    uint64_t h = (uint64_t)(uintptr_t)nw;
    h = h * k + (uint64_t)(uintptr_t)ne;
    h = h * k + (uint64_t)(uintptr_t)sw;
    h = h * k + (uint64_t)(uintptr_t)se;
    return mix(h);
}

inline uint64_t hashOf(const HashNode* n)
{
    return n->level == HASH_LEAF_LEVEL ? mix(n->bits * 0x9e3779b97f4a7c15ull)
                                       : hashQuads(n->quad[0], n->quad[1], n->quad[2], n->quad[3]);
}

inline int64_t addPopulations(int64_t a, int64_t b)
{
    return a > INT64_MAX - b ? INT64_MAX : a + b;
}

// A block of nodes onto the free list: 1, or 0 with store->failure set. The
// last block before the budget takes what room is left.
int blockAdd(HashStore* s)
{
    uint64_t count = s->blockNodes;
    const size_t room = s->budget > s->bytes ? s->budget - s->bytes : 0;
    if ((count + 1) * sizeof(HashNode) > room) {
        count = room / sizeof(HashNode);
        count = count ? count - 1 : 0;
    }
    if (count < BLOCK_FIRST) {
        s->failure = HASH_FAIL_BUDGET;
        return 0;
    }
    const size_t bytes = (size_t)(count + 1) * sizeof(HashNode);
    HashNode* nodes = (HashNode*)heapAlloc(bytes);
    if (!nodes) {
        s->failure = HASH_FAIL_MEMORY;
        return 0;
    }
    HashBlock* block = (HashBlock*)nodes;
    block->next = s->blocks;
    s->blocks = block;
    for (uint64_t i = count; i >= 1; i--) {
        nodes[i].next = s->freeNodes;
        s->freeNodes = &nodes[i];
    }
    s->bytes += bytes;
    if (s->blockNodes < BLOCK_LARGEST)
        s->blockNodes *= 2;
    return 1;
}

HashNode* nodeTake(HashStore* s)
{
    if (!s->freeNodes && !blockAdd(s))
        return nullptr;
    HashNode* n = s->freeNodes;
    s->freeNodes = n->next;
    return n;
}

// Doubles the slots while the budget and the heap allow; a table that cannot
// grow only makes its chains longer.
void slotsGrow(HashStore* s)
{
    const uint64_t count = s->slotCount * 2;
    const size_t bytes = (size_t)count * sizeof(HashNode*);
    const size_t old = (size_t)s->slotCount * sizeof(HashNode*);
    if (s->bytes - old + bytes > s->budget)
        return;
    HashNode** slots = (HashNode**)heapCalloc((size_t)count, sizeof(HashNode*));
    if (!slots)
        return;
    for (uint64_t i = 0; i < s->slotCount; i++)
        for (HashNode* n = s->slots[i]; n;) {
            HashNode* next = n->next;
            HashNode** slot = &slots[hashOf(n) & (count - 1)];
            n->next = *slot;
            *slot = n;
            n = next;
        }
    heapFree(s->slots);
    s->slots = slots;
    s->slotCount = count;
    s->bytes = s->bytes - old + bytes;
}

HashNode* nodeInsert(HashStore* s, HashNode* n, HashNode** slot)
{
    n->next = *slot;
    *slot = n;
    n->result = nullptr;
    n->resultShift = HASH_NO_SHIFT;
    n->mark = 0;
    if (++s->nodeCount > s->slotCount)
        slotsGrow(s);
    return n;
}

} // namespace

HashNode* hashLeaf(HashStore* s, uint64_t bits)
{
    HashNode** slot = &s->slots[mix(bits * 0x9e3779b97f4a7c15ull) & (s->slotCount - 1)];
    for (HashNode* n = *slot; n; n = n->next)
        if (n->level == HASH_LEAF_LEVEL && n->bits == bits)
            return n;
    HashNode* n = nodeTake(s);
    if (!n)
        return nullptr;
    n->quad[0] = n->quad[1] = n->quad[2] = n->quad[3] = nullptr;
    n->bits = bits;
    n->level = HASH_LEAF_LEVEL;
    n->population = __builtin_popcountll(bits);
    return nodeInsert(s, n, slot);
}

// A leaf's quad[1 .. 3] are null, so no leaf matches four quarters.
HashNode* hashJoin(HashStore* s, HashNode* nw, HashNode* ne, HashNode* sw, HashNode* se)
{
    HashNode** slot = &s->slots[hashQuads(nw, ne, sw, se) & (s->slotCount - 1)];
    for (HashNode **link = slot, *n = *slot; n; link = &n->next, n = n->next)
        if (n->quad[0] == nw && n->quad[1] == ne && n->quad[2] == sw && n->quad[3] == se) {
            // Found again: to the front, where the next search meets it first.
            *link = n->next;
            n->next = *slot;
            *slot = n;
            return n;
        }
    HashNode* n = nodeTake(s);
    if (!n)
        return nullptr;
    n->quad[0] = nw;
    n->quad[1] = ne;
    n->quad[2] = sw;
    n->quad[3] = se;
    n->level = (uint8_t)(nw->level + 1);
    n->population = addPopulations(addPopulations(nw->population, ne->population),
                                   addPopulations(sw->population, se->population));
    return nodeInsert(s, n, slot);
}

void hashNodeFree(HashStore* s, HashNode* n)
{
    n->next = s->freeNodes;
    s->freeNodes = n;
    s->nodeCount--;
}

HashStore* hashStoreCreate(const UniverseRule* rule)
{
    HashStore* s = (HashStore*)heapCalloc(1, sizeof(HashStore));
    if (!s)
        return nullptr;
    s->rule = *rule;
    s->budget = hashlifeLimits.budgetBytes;
    s->blockNodes = BLOCK_FIRST;
    s->slotCount = SLOTS_FIRST;
    s->slots = (HashNode**)heapCalloc(SLOTS_FIRST, sizeof(HashNode*));
    s->bytes = SLOTS_FIRST * sizeof(HashNode*);
    s->empty[HASH_LEAF_LEVEL] = s->slots ? hashLeaf(s, 0) : nullptr;
    for (int level = HASH_LEAF_LEVEL + 1; level <= HASH_LEVEL_MAX && s->empty[level - 1]; level++) {
        HashNode* e = s->empty[level - 1];
        s->empty[level] = hashJoin(s, e, e, e, e);
    }
    if (!s->empty[HASH_LEVEL_MAX]) {
        hashStoreRelease(s);
        return nullptr;
    }
    return s;
}

void hashStoreRelease(HashStore* s)
{
    if (!s)
        return;
    while (s->blocks) {
        HashBlock* next = s->blocks->next;
        heapFree(s->blocks);
        s->blocks = next;
    }
    heapFree(s->slots);
    heapFree(s->quads);
    heapFree(s);
}

void hashRootAdd(HashStore* s, HashRoot* root, HashNode* node)
{
    root->node = node;
    root->prev = nullptr;
    root->next = s->roots;
    if (s->roots)
        s->roots->prev = root;
    s->roots = root;
}

void hashRootDrop(HashStore* s, HashRoot* root)
{
    if (root->prev)
        root->prev->next = root->next;
    else
        s->roots = root->next;
    if (root->next)
        root->next->prev = root->prev;
    if (!s->roots)
        hashStoreRelease(s);
}
