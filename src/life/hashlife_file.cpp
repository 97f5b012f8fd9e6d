// Macrocell files and hashlife's trees: a file's nodes made canonical nodes
// one by one, never a cell listed, so a file of a few hundred kilobytes
// naming billions of cells costs what its lines cost; and a world's tree
// written back as a file, each distinct node once, children first, as the
// community's programs write and read it.
#include <cstdio>
#include <cstring>

#include "life/hashlife_local.h"
#include "life/world.h"
#include "platform/platform.h"

namespace {

// The quarter q (0 nw, 1 ne, 2 sw, 3 se) of a leaf's 4 x 4 cells, moved to
// the opposite corner of an empty leaf.
uint64_t quarterToCorner(uint64_t bits, int q)
{
    const int fromX = (q & 1) * 4, fromY = (q >> 1) * 4, toX = 4 - fromX, toY = 4 - fromY;
    uint64_t out = 0;
    for (int r = 0; r < 4; r++)
        out |= ((bits >> (8 * (fromY + r) + fromX)) & 0xf) << (8 * (toY + r) + toX);
    return out;
}

// A leaf root one level up, centred as it was: its quarters in the inner
// corners of four leaves. Null when memory runs out.
HashNode* expandLeaf(HashStore* s, const HashNode* leaf)
{
    HashNode* q[4];
    for (int i = 0; i < 4; i++) {
        q[i] = hashLeaf(s, quarterToCorner(leaf->bits, i));
        if (!q[i])
            return nullptr;
    }
    return hashJoin(s, q[0], q[1], q[2], q[3]);
}

} // namespace

HashNode* hashBuildTree(HashStore* s, const WorldTree* tree)
{
    if (tree->count < 2)
        return s->empty[HASH_ROOT_MIN];
    HashNode** made = (HashNode**)heapAlloc((size_t)tree->count * sizeof(HashNode*));
    if (!made) {
        s->failure = HASH_FAIL_MEMORY;
        return nullptr;
    }
    made[0] = nullptr;
    HashNode* root = nullptr;
    for (int32_t i = 1; i < tree->count; i++) {
        const WorldTreeNode* n = &tree->nodes[i];
        if (n->level == HASH_LEAF_LEVEL) {
            made[i] = hashLeaf(s, n->bits);
        } else {
            HashNode* q[4];
            for (int k = 0; k < 4; k++)
                q[k] = n->child[k] ? made[n->child[k]] : s->empty[n->level - 1];
            made[i] = hashJoin(s, q[0], q[1], q[2], q[3]);
        }
        if (!made[i])
            break;
        root = made[i];
    }
    if (!made[tree->count - 1])
        root = nullptr;
    heapFree(made);
    if (root && root->level == HASH_LEAF_LEVEL)
        root = expandLeaf(s, root);
    while (root && root->level < HASH_ROOT_MIN)
        root = hashExpand(s, root);
    return root;
}

namespace {

// Where each node written went: its line's number, by the node's address.
struct Written {
    const HashNode** nodes;
    int64_t* numbers;
    uint64_t mask;
    int64_t next;
    FILE* file;
    int failed;
};

uint64_t slotOf(const Written* w, const HashNode* n)
{
    uint64_t h = (uint64_t)(uintptr_t)n * 0x9e3779b97f4a7c15ull;
    return (h ^ (h >> 29)) & w->mask;
}

void writeLeaf(Written* w, uint64_t bits)
{
    char line[8 * 9 + 2];
    size_t used = 0;
    int pendingRows = 0;
    for (int y = 0; y < HASH_LEAF; y++) {
        const uint32_t row = (uint32_t)(bits >> (8 * y)) & 0xff;
        if (!row) {
            pendingRows++;
            continue;
        }
        for (; pendingRows > 0; pendingRows--)
            line[used++] = '$';
        for (int x = 0; x < 32 - __builtin_clz(row); x++)
            line[used++] = (row >> x) & 1 ? '*' : '.';
        line[used++] = '$';
    }
    line[used++] = '\n';
    if (fwrite(line, 1, used, w->file) != used)
        w->failed = 1;
}

// The number of the node's line, written first with its children's when it
// is new; 0 for an empty square.
int64_t writeNode(Written* w, const HashNode* n)
{
    if (!n->population || w->failed)
        return 0;
    uint64_t slot = slotOf(w, n);
    while (w->nodes[slot] && w->nodes[slot] != n)
        slot = (slot + 1) & w->mask;
    if (w->nodes[slot])
        return w->numbers[slot];
    if (n->level == HASH_LEAF_LEVEL) {
        writeLeaf(w, n->bits);
    } else {
        int64_t q[4];
        for (int i = 0; i < 4; i++)
            q[i] = writeNode(w, n->quad[i]);
        if (fprintf(w->file, "%d %lld %lld %lld %lld\n", (int)n->level, (long long)q[0], (long long)q[1],
                (long long)q[2], (long long)q[3]) < 0)
            w->failed = 1;
    }
    w->nodes[slot] = n;
    w->numbers[slot] = ++w->next;
    return w->next;
}

} // namespace

int hashWriteLife(const World* world, FILE* file)
{
    const HashWorld* hw = (const HashWorld*)world;
    HashNode* root = hw->root.node;
    if (fprintf(file, "[M2] (veltrix)\n#R %s\n", hw->store->rule.name) < 0)
        return 0;
    if (hw->generation && fprintf(file, "#G %lld\n", (long long)hw->generation) < 0)
        return 0;
    if (!root->population)
        return 1;
    // Open addressing at most half full.
    uint64_t slots = 2;
    for (const int64_t count = hashTreeNodes(root); slots < 2 * (uint64_t)count;)
        slots *= 2;
    if (slots > SIZE_MAX / sizeof(int64_t))
        return 0;
    Written w = {(const HashNode**)heapCalloc((size_t)slots, sizeof(HashNode*)),
        (int64_t*)heapAlloc((size_t)slots * sizeof(int64_t)), slots - 1, 0, file, 0};
    if (w.nodes && w.numbers)
        writeNode(&w, root);
    const int ok = w.nodes && w.numbers && !w.failed;
    heapFree(w.nodes);
    heapFree(w.numbers);
    return ok;
}
