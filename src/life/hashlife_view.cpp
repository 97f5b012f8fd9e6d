// What the tree shows of its cells without stepping it: a cell, the box of
// the live ones, whether a square holds any, a tile's bit rows, every cell in
// row order. The root is centred on the origin; every node below it is a
// square aligned on its own side, so a square of the plane is one node or
// inside one.
#include <cstring>

#include "life/hashlife_local.h"
#include "platform/platform.h"

namespace {

inline int64_t sideOf(int level)
{
    return (int64_t)1 << level;
}

inline int64_t rootCorner(const HashNode* root)
{
    return -sideOf(root->level - 1);
}

// The node of the given level whose square holds (x, y), with its corner in
// *left, *top; null outside the root or where an empty square holds it.
const HashNode* nodeAt(const HashNode* root, int64_t x, int64_t y, int level, int64_t* left, int64_t* top)
{
    int64_t l = rootCorner(root), t = l;
    const int64_t reach = sideOf(root->level - 1);
    if (x < l || y < t || x >= reach || y >= reach || level > root->level)
        return nullptr;
    const HashNode* n = root;
    while (n->level > level && n->population) {
        const int64_t half = sideOf(n->level - 1);
        const int east = x >= l + half, south = y >= t + half;
        l += east ? half : 0;
        t += south ? half : 0;
        n = n->quad[east + 2 * south];
    }
    *left = l;
    *top = t;
    return n->population ? n : nullptr;
}

inline uint64_t leafColumns(uint64_t bits)
{
    bits |= bits >> 32;
    bits |= bits >> 16;
    bits |= bits >> 8;
    return bits & 0xff;
}

enum { SIDE_WEST, SIDE_EAST, SIDE_NORTH, SIDE_SOUTH, EDGE_MEMO = 1024 };

// The quarters next to each side, then the two across from it.
constexpr int sideQuarters[4][4] = {{0, 2, 1, 3}, {1, 3, 0, 2}, {0, 1, 2, 3}, {2, 3, 0, 1}};

// Distances already found for nodes met again: canonical squares recur all
// over a large pattern, so the walk costs what the distinct squares cost.
struct EdgeMemo {
    const HashNode* node[EDGE_MEMO];
    int64_t distance[EDGE_MEMO];
};

// How far in from the side its nearest live cell lies; the node holds one.
int64_t edgeDistance(const HashNode* n, int side, EdgeMemo* memo)
{
    if (n->level == HASH_LEAF_LEVEL) {
        const uint64_t columns = leafColumns(n->bits);
        switch (side) {
        case SIDE_WEST: return __builtin_ctzll(columns);
        case SIDE_EAST: return 7 - (63 - __builtin_clzll(columns));
        case SIDE_NORTH: return __builtin_ctzll(n->bits) / 8;
        default: return 7 - (63 - __builtin_clzll(n->bits)) / 8;
        }
    }
    const size_t slot = ((uintptr_t)n / sizeof(HashNode)) & (EDGE_MEMO - 1);
    if (memo->node[slot] == n)
        return memo->distance[slot];
    const int* order = sideQuarters[side];
    int64_t best = INT64_MAX;
    for (int pass = 0; pass < 2 && best == INT64_MAX; pass++)
        for (int k = 0; k < 2; k++) {
            const HashNode* q = n->quad[order[2 * pass + k]];
            if (!q->population)
                continue;
            const int64_t d = edgeDistance(q, side, memo) + (pass ? sideOf(n->level - 1) : 0);
            best = d < best ? d : best;
        }
    memo->node[slot] = n;
    memo->distance[slot] = best;
    return best;
}

int holdsIn(const HashNode* n, int64_t left, int64_t top, const WorldBox* box)
{
    const int64_t last = sideOf(n->level) - 1;
    if (!n->population || box->right < left || box->bottom < top || box->left > left + last || box->top > top + last)
        return 0;
    if (box->left <= left && box->top <= top && box->right >= left + last && box->bottom >= top + last)
        return 1;
    if (n->level == HASH_LEAF_LEVEL) {
        for (int y = 0; y < HASH_LEAF; y++)
            for (int x = 0; x < HASH_LEAF; x++)
                if (((n->bits >> (8 * y + x)) & 1) && box->left <= left + x && left + x <= box->right &&
                    box->top <= top + y && top + y <= box->bottom)
                    return 1;
        return 0;
    }
    const int64_t half = sideOf(n->level - 1);
    for (int i = 0; i < 4; i++)
        if (holdsIn(n->quad[i], left + (i & 1) * half, top + (i >> 1) * half, box))
            return 1;
    return 0;
}

void fillRows(const HashNode* n, int x, int y, uint64_t* rows)
{
    if (!n->population)
        return;
    if (n->level == HASH_LEAF_LEVEL) {
        for (int r = 0; r < HASH_LEAF; r++)
            rows[y + r] |= ((n->bits >> (8 * r)) & 0xff) << x;
        return;
    }
    const int half = 1 << (n->level - 1);
    for (int i = 0; i < 4; i++)
        fillRows(n->quad[i], x + (i & 1) * half, y + (i >> 1) * half, rows);
}

// The walk in row order: the live squares of one level across one strip of
// rows, west to east, are a run of entries; their upper halves' live
// quarters, then their lower halves', are the next runs, pushed after it.
struct StripEntry {
    const HashNode* node;
    int64_t left;
};

struct StripWalk {
    StripEntry* entries;
    size_t used;
    WorldCellVisit visit;
    void* context;
    int64_t count;
};

void walkStrip(StripWalk* w, size_t first, size_t runLength, int level, int64_t top)
{
    const StripEntry* run = w->entries + first;
    if (level == HASH_LEAF_LEVEL) {
        for (int r = 0; r < HASH_LEAF; r++)
            for (size_t i = 0; i < runLength; i++)
                for (uint64_t row = (run[i].node->bits >> (8 * r)) & 0xff; row; row &= row - 1) {
                    w->visit(w->context, run[i].left + __builtin_ctzll(row), top + r);
                    w->count++;
                }
        return;
    }
    const int64_t half = sideOf(level - 1);
    for (int lower = 0; lower < 2; lower++) {
        const size_t start = w->used;
        for (size_t i = 0; i < runLength; i++)
            for (int east = 0; east < 2; east++) {
                const HashNode* q = run[i].node->quad[2 * lower + east];
                if (q->population)
                    w->entries[w->used++] = {q, run[i].left + east * half};
            }
        if (w->used > start)
            walkStrip(w, start, w->used - start, level - 1, top + lower * half);
        w->used = start;
    }
}

} // namespace

int hashCellAt(const HashNode* root, int64_t x, int64_t y)
{
    int64_t left, top;
    const HashNode* leaf = nodeAt(root, x, y, HASH_LEAF_LEVEL, &left, &top);
    return leaf ? (int)((leaf->bits >> (8 * (y - top) + (x - left))) & 1) : 0;
}

int hashBounds(const HashNode* root, WorldBox* box)
{
    if (!root->population)
        return 0;
    EdgeMemo memo;
    const int64_t corner = rootCorner(root), last = corner + sideOf(root->level) - 1;
    int64_t d[4];
    for (int side = 0; side < 4; side++) {
        memset(memo.node, 0, sizeof memo.node);
        d[side] = edgeDistance(root, side, &memo);
    }
    *box = {corner + d[SIDE_WEST], corner + d[SIDE_NORTH], last - d[SIDE_EAST], last - d[SIDE_SOUTH]};
    return 1;
}

int hashHolds(const HashNode* root, const WorldBox* box)
{
    const int64_t corner = rootCorner(root);
    return holdsIn(root, corner, corner, box);
}

int hashTileRows(const HashNode* root, int64_t tx, int64_t ty, uint64_t rows[WORLD_TILE])
{
    const int64_t reach = sideOf(root->level - 1) / WORLD_TILE;
    if (tx < -reach || tx >= reach || ty < -reach || ty >= reach)
        return 0;
    int64_t left, top;
    const HashNode* tile = nodeAt(root, tx * WORLD_TILE, ty * WORLD_TILE, WORLD_TILE_SHIFT, &left, &top);
    if (!tile)
        return 0;
    memset(rows, 0, WORLD_TILE * sizeof(uint64_t));
    fillRows(tile, 0, 0, rows);
    return 1;
}

int64_t hashForEachCell(const HashNode* root, WorldCellVisit visit, void* context)
{
    if (!root->population)
        return 0;
    WorldBox box;
    hashBounds(root, &box);
    const uint64_t width = (uint64_t)(box.right - box.left) + 1;
    // A run of level l holds at most one square per cell, one per 2^l cells
    // across the box and two more where it meets a square's edge.
    uint64_t room = 1;
    for (int level = HASH_LEAF_LEVEL; level < root->level; level++) {
        uint64_t run = (width >> level) + 2;
        run = run < (uint64_t)root->population ? run : (uint64_t)root->population;
        room += run;
    }
    if (room > SIZE_MAX / sizeof(StripEntry))
        return -1;
    StripWalk w = {(StripEntry*)heapAlloc((size_t)room * sizeof(StripEntry)), 1, visit, context, 0};
    if (!w.entries)
        return -1;
    w.entries[0] = {root, rootCorner(root)};
    walkStrip(&w, 0, 1, root->level, rootCorner(root));
    heapFree(w.entries);
    return w.count;
}
