// A tree built from a list of cells at once: the list is split in place into
// the quarters of the root, each quarter into its own, down to leaves, so
// every node is made once, where setting the cells one by one would make a
// path of nodes per cell, nearly all thrown away by the next.
#include "life/hashlife_local.h"
#include "platform/platform.h"

namespace {

// A cell relative to the list's own (left, top), as it was given.
struct BuildCell {
    int32_t x, y;
};

// Moves the cells for which below(cell) holds to the front; returns how many.
template <typename Below>
size_t partition(BuildCell* cells, size_t count, Below below)
{
    size_t front = 0;
    for (size_t i = 0; i < count; i++)
        if (below(cells[i])) {
            const BuildCell c = cells[i];
            cells[i] = cells[front];
            cells[front++] = c;
        }
    return front;
}

// The node of the given level whose square starts at (left, top), relative
// to the list's origin, holding the cells, all inside it; null when memory
// runs out.
HashNode* build(HashStore* s, int level, int64_t left, int64_t top, BuildCell* cells, size_t count)
{
    if (!count)
        return s->empty[level];
    if (level == HASH_LEAF_LEVEL) {
        uint64_t bits = 0;
        for (size_t i = 0; i < count; i++)
            bits |= (uint64_t)1 << (8 * (cells[i].y - top) + (cells[i].x - left));
        return hashLeaf(s, bits);
    }
    const int64_t midX = left + ((int64_t)1 << (level - 1)), midY = top + ((int64_t)1 << (level - 1));
    const size_t north = partition(cells, count, [midY](const BuildCell& c) { return c.y < midY; });
    const size_t northWest = partition(cells, north, [midX](const BuildCell& c) { return c.x < midX; });
    const size_t southWest = partition(cells + north, count - north, [midX](const BuildCell& c) { return c.x < midX; });
    const size_t start[5] = {0, northWest, north, north + southWest, count};
    HashNode* q[4];
    for (int i = 0; i < 4; i++) {
        q[i] = build(s, level - 1, left + (i & 1) * (midX - left), top + (i >> 1) * (midY - top), cells + start[i],
                     start[i + 1] - start[i]);
        if (!q[i])
            return nullptr;
    }
    return hashJoin(s, q[0], q[1], q[2], q[3]);
}

} // namespace

HashNode* hashBuild(HashStore* s, const int32_t* xy, int64_t count, int64_t left, int64_t top)
{
    s->failure = HASH_FAIL_NONE;
    const int64_t far = (int64_t)1 << HASH_LEVEL_MAX;
    if (left < -far || left > far || top < -far || top > far) {
        s->failure = HASH_FAIL_REACH;
        return nullptr;
    }
    int64_t lowest = 0, highest = -1;
    for (int64_t i = 0; i < 2 * count; i++) {
        const int64_t v = xy[i] + (i & 1 ? top : left);
        lowest = v < lowest ? v : lowest;
        highest = v > highest ? v : highest;
    }
    // The smallest root whose square, -2^(level-1) .. 2^(level-1) - 1 each
    // way, holds them.
    int level = HASH_ROOT_MIN;
    while (level <= HASH_LEVEL_MAX && (lowest < -((int64_t)1 << (level - 1)) || highest >= (int64_t)1 << (level - 1)))
        level++;
    if (level > HASH_LEVEL_MAX) {
        s->failure = HASH_FAIL_REACH;
        return nullptr;
    }
    if ((uint64_t)count > SIZE_MAX / sizeof(BuildCell)) {
        s->failure = HASH_FAIL_MEMORY;
        return nullptr;
    }
    BuildCell* cells = (BuildCell*)heapAlloc((size_t)count * sizeof(BuildCell));
    if (!cells) {
        s->failure = HASH_FAIL_MEMORY;
        return nullptr;
    }
    for (int64_t i = 0; i < count; i++)
        cells[i] = {xy[2 * i], xy[2 * i + 1]};
    const int64_t corner = -((int64_t)1 << (level - 1));
    HashNode* root = build(s, level, corner - left, corner - top, cells, (size_t)count);
    heapFree(cells);
    return root;
}
