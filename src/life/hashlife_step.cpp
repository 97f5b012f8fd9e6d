// The memoised futures: a node of level L, 2^shift generations on (shift at
// most L - 2), is its middle half, worked out from nine overlapping squares
// of level L - 1 and kept on the node. At shift L - 2 both halves of the time
// pass in squares one level down (their own kept futures); at a smaller shift
// the first stage only takes the nine squares' middles and all the time
// passes in the second. Four leaves, 16 x 16 cells, are stepped cell by cell
// through a 4 x 4 -> 2 x 2 table of the rule.
#include "life/hashlife_local.h"
#include "platform/platform.h"

namespace {

inline uint32_t leafRow(const HashNode* leaf, int y)
{
    return (uint32_t)(leaf->bits >> (8 * y)) & 0xff;
}

// The 8 x 8 middle of four leaves side by side (nw, ne, sw, se): the inner
// 4 x 4 quarter of each.
uint64_t leafMiddle(const HashNode* nw, const HashNode* ne, const HashNode* sw, const HashNode* se)
{
    // Rows 4 .. 7 of the upper two, rows 0 .. 3 of the lower; each byte keeps
    // the west leaf's columns 4 .. 7 and the east leaf's 0 .. 3.
    const uint64_t upper = ((nw->bits >> 36) & 0x0f0f0f0full) | ((ne->bits >> 28) & 0xf0f0f0f0ull);
    const uint64_t lower = ((sw->bits >> 4) & 0x0f0f0f0full) | ((se->bits << 4) & 0xf0f0f0f0ull);
    return upper | (lower << 32);
}

// The square made of the inner quarters of four side by side (nw, ne, sw,
// se), one level below them; null when memory runs out.
HashNode* middleOfFour(HashStore* s, HashNode* nw, HashNode* ne, HashNode* sw, HashNode* se)
{
    if (nw->level == HASH_LEAF_LEVEL)
        return hashLeaf(s, leafMiddle(nw, ne, sw, se));
    return hashJoin(s, nw->quad[3], ne->quad[2], sw->quad[1], se->quad[0]);
}

// Four leaves 2^shift (1, 2 or 4) generations on: the 16 rows step one
// generation at a time over the cells the later ones still need, which
// shrink by one each side a generation down to the middle 8 x 8.
HashNode* leavesFuture(HashStore* s, const HashNode* n, int shift)
{
    uint32_t rows[16];
    for (int y = 0; y < 8; y++) {
        rows[y] = leafRow(n->quad[0], y) | (leafRow(n->quad[1], y) << 8);
        rows[y + 8] = leafRow(n->quad[2], y) | (leafRow(n->quad[3], y) << 8);
    }
    const int generations = 1 << shift;
    const uint8_t* quads = s->quads;
    for (int k = 1; k <= generations; k++) {
        // Cells lo .. hi - 1 each way at generation k, read from lo - 1 .. hi.
        const int lo = 4 - (generations - k), hi = 12 + (generations - k);
        uint32_t next[16];
        for (int y = lo; y < hi; y += 2) {
            uint32_t r0 = rows[y - 1] >> (lo - 1), r1 = rows[y] >> (lo - 1);
            uint32_t r2 = rows[y + 1] >> (lo - 1), r3 = rows[y + 2] >> (lo - 1);
            uint32_t upper = 0, lower = 0;
            for (int x = lo; x < hi; x += 2) {
                const uint32_t q = quads[(r0 & 15) | ((r1 & 15) << 4) | ((r2 & 15) << 8) | ((r3 & 15) << 12)];
                upper |= (q & 3) << x;
                lower |= (q >> 2) << x;
                r0 >>= 2;
                r1 >>= 2;
                r2 >>= 2;
                r3 >>= 2;
            }
            next[y] = upper;
            next[y + 1] = lower;
        }
        for (int y = lo; y < hi; y++)
            rows[y] = next[y];
    }
    uint64_t bits = 0;
    for (int y = 0; y < 8; y++)
        bits |= (uint64_t)((rows[y + 4] >> 4) & 0xff) << (8 * y);
    return hashLeaf(s, bits);
}

// The node's middle half 2^shift generations on (shift at most its level - 2),
// kept on the node; null when memory runs out.
HashNode* future(HashStore* s, HashNode* n, int shift)
{
    const int level = n->level;
    if (n->population == 0)
        return s->empty[level - 1];
    if (n->resultShift == shift)
        return n->result;
    HashNode* r;
    if (level == HASH_LEAF_LEVEL + 1) {
        r = leavesFuture(s, n, shift);
    } else {
        // The 4 x 4 grandchildren, row by row.
        HashNode* g[16];
        for (int i = 0; i < 4; i++)
            for (int k = 0; k < 4; k++)
                g[(i / 2) * 8 + (i % 2) * 2 + (k / 2) * 4 + (k % 2)] = n->quad[i]->quad[k];
        // Squares 3 x 3, each two grandchildren across and down from g[4i + j]:
        // at full time their futures, else their middles.
        const int full = shift == level - 2;
        const int second = full ? shift - 1 : shift;
        HashNode* m[9];
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) {
                HashNode** c = &g[4 * i + j];
                HashNode* piece;
                if (full) {
                    // The corners are the node's own quarters.
                    HashNode* square = (i | j) & 1 ? hashJoin(s, c[0], c[1], c[4], c[5]) : n->quad[i + j / 2];
                    piece = square ? future(s, square, second) : nullptr;
                } else {
                    piece = middleOfFour(s, c[0], c[1], c[4], c[5]);
                }
                if (!piece)
                    return nullptr;
                m[3 * i + j] = piece;
            }
        HashNode* q[4];
        for (int i = 0; i < 2; i++)
            for (int j = 0; j < 2; j++) {
                HashNode** c = &m[3 * i + j];
                HashNode* square = hashJoin(s, c[0], c[1], c[3], c[4]);
                q[2 * i + j] = square ? future(s, square, second) : nullptr;
                if (!q[2 * i + j])
                    return nullptr;
            }
        r = hashJoin(s, q[0], q[1], q[2], q[3]);
    }
    if (!r)
        return nullptr;
    n->result = r;
    n->resultShift = (uint8_t)shift;
    return r;
}

// Whether every live cell of a node lies in its middle, depth levels of
// quarters in: at each level only the quarter that touches the centre holds
// any. Depth 1: the middle half (the square of half the side); 2: the middle
// quarter.
int fitsMiddle(const HashNode* node, int depth)
{
    for (int i = 0; i < 4; i++) {
        const HashNode* inner = node->quad[i];
        for (int d = 0; d < depth; d++) {
            for (int k = 0; k < 4; k++)
                if (k != 3 - i && inner->quad[k]->population)
                    return 0;
            inner = inner->quad[3 - i];
        }
    }
    return 1;
}

} // namespace

int hashRuleInit(HashStore* s)
{
    s->quads = (uint8_t*)heapAlloc(1 << 16);
    if (!s->quads)
        return 0;
    const uint8_t* next = s->rule.next;
    for (uint32_t index = 0; index < (1u << 16); index++) {
        uint8_t q = 0;
        // The neighbourhood of the cell (1 + ox, 1 + oy): three rows of three,
        // each a shift of its row, as UniverseRule::next reads it.
        for (int o = 0; o < 4; o++) {
            const int ox = o & 1, oy = o >> 1;
            const uint32_t hood = ((index >> (4 * oy + ox)) & 7) | (((index >> (4 * oy + 4 + ox)) & 7) << 3) |
                                  (((index >> (4 * oy + 8 + ox)) & 7) << 6);
            q |= (uint8_t)((next[hood] & 1) << o);
        }
        s->quads[index] = q;
    }
    return 1;
}

HashNode* hashExpand(HashStore* s, HashNode* root)
{
    HashNode* e = s->empty[root->level - 1];
    HashNode* nw = hashJoin(s, e, e, e, root->quad[0]);
    HashNode* ne = nw ? hashJoin(s, e, e, root->quad[1], e) : nullptr;
    HashNode* sw = ne ? hashJoin(s, e, root->quad[2], e, e) : nullptr;
    HashNode* se = sw ? hashJoin(s, root->quad[3], e, e, e) : nullptr;
    return se ? hashJoin(s, nw, ne, sw, se) : nullptr;
}

// The root grows until its level passes shift + 2 and its cells lie in its
// middle quarter: in 2^shift generations, at most 2^(level - 3), they move at
// most that many cells, which keeps them inside the middle half its future is.
HashNode* hashStepRoot(HashStore* s, HashNode* root, int32_t shift)
{
    s->failure = HASH_FAIL_NONE;
    while (root->level < shift + 3 || !fitsMiddle(root, 2)) {
        if (root->level == HASH_LEVEL_MAX) {
            s->failure = HASH_FAIL_REACH;
            return nullptr;
        }
        root = hashExpand(s, root);
        if (!root)
            return nullptr;
    }
    HashNode* r = future(s, root, shift);
    while (r && r->level < HASH_ROOT_MIN)
        r = hashExpand(s, r);
    // A smaller root only saves work; one that cannot be had is no failure.
    while (r && r->level > HASH_ROOT_MIN && fitsMiddle(r, 1)) {
        HashNode* middle = middleOfFour(s, r->quad[0], r->quad[1], r->quad[2], r->quad[3]);
        if (!middle)
            break;
        r = middle;
    }
    return r;
}
