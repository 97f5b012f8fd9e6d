// Macrocell text read into a list of squares, never into cells: the line
// "[M2] ...", '#' lines ("#R rule", "#G generation", comments), then a
// quadtree, children first, one node a line, numbered from 1 in the order they
// come (0 is an empty square). A leaf is an 8 x 8 square drawn with '.' dead,
// '*' alive and '$' ending a row; a node "k nw ne sw se" is a square of 2^k
// cells a side made of four earlier nodes of level k - 1 (leaves are level 3).
// Files of rules of more states have leaves of 2 x 2 cells instead, "1 nw ne
// sw se" giving their states, and never the 8 x 8 kind.
// The last node is the whole pattern. A tiny file can describe billions of
// cells, so each node's box and population are worked out as it is read.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "life/world.h"
#include "platform/platform.h"

namespace {

enum {
    LEAF_LEVEL = 3,
    STATE_LEAF_LEVEL = 1,
    TREE_STATES = 256,
    // Positions inside the root are 64-bit: a square of 2^62 a side still
    // leaves room for the sums below.
    MAX_LEVEL = 62,
};

// Populations saturate here, far above any cell limit.
const uint64_t manyCells = (uint64_t)1 << 62;

struct TreeRead {
    WorldTree* tree;
    int32_t capacity;
    int32_t line;
    char* reason;
    size_t size;
};

int fail(TreeRead* r, const char* format, ...) __attribute__((format(printf, 2, 3)));

int fail(TreeRead* r, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(r->reason, r->size, format, args);
    va_end(args);
    return 0;
}

void boxAdd(WorldBox* box, int64_t x, int64_t y, int first)
{
    if (first)
        *box = {x, y, x, y};
    box->left = x < box->left ? x : box->left;
    box->right = x > box->right ? x : box->right;
    box->top = y < box->top ? y : box->top;
    box->bottom = y > box->bottom ? y : box->bottom;
}

WorldTreeNode* newNode(TreeRead* r)
{
    WorldTree* tree = r->tree;
    if (tree->count == r->capacity) {
        const int64_t capacity = r->capacity ? (int64_t)r->capacity * 2 : 256;
        WorldTreeNode* nodes = capacity <= INT32_MAX
            ? (WorldTreeNode*)heapRealloc(tree->nodes, (size_t)capacity * sizeof(WorldTreeNode))
            : nullptr;
        if (!nodes) {
            fail(r, "not enough memory for %lld quadtree nodes", (long long)capacity);
            return nullptr;
        }
        tree->nodes = nodes;
        r->capacity = (int32_t)capacity;
    }
    WorldTreeNode* node = &tree->nodes[tree->count++];
    memset(node, 0, sizeof *node);
    return node;
}

// 'x' when printable, else 0xNN.
void describeChar(char c, char* out, size_t size)
{
    if (c > ' ' && c < 127)
        snprintf(out, size, "'%c'", c);
    else
        snprintf(out, size, "0x%02X", (unsigned)(unsigned char)c);
}

// The first leaf fixes the kind of the file's leaves.
int leafKind(TreeRead* r, int multiState)
{
    WorldTree* tree = r->tree;
    if (tree->count > 1 && tree->multiState != multiState)
        return fail(r, "a leaf of %s in a file of leaves of %s", multiState ? "2 x 2 states" : "8 x 8 cells",
            multiState ? "8 x 8 cells" : "2 x 2 states");
    tree->multiState = multiState;
    return 1;
}

int readLeaf(TreeRead* r, const char* line, size_t length)
{
    if (!leafKind(r, 0))
        return 0;
    WorldTreeNode* node = newNode(r);
    if (!node)
        return 0;
    node->level = LEAF_LEVEL;
    int32_t x = 0, y = 0;
    for (size_t i = 0; i < length; i++) {
        const char c = line[i];
        if (c == '$') {
            x = 0;
            y++;
            continue;
        }
        if ((c != '.' && c != '*') || x >= 8 || y >= 8) {
            char what[16];
            describeChar(c, what, sizeof what);
            return fail(r, "column %llu: %s does not fit an 8 x 8 leaf of '.', '*' and '$'",
                (unsigned long long)(i + 1), what);
        }
        if (c == '*') {
            boxAdd(&node->box, x, y, node->population == 0);
            node->bits |= (uint64_t)1 << (y * 8 + x);
            node->population++;
        }
        x++;
    }
    return 1;
}

// Reads a whole number of at most limit at line[*i], after blanks.
int readWhole(const char* line, size_t length, size_t* i, int64_t limit, int64_t* value)
{
    while (*i < length && textIsBlank(line[*i]))
        (*i)++;
    return textReadNumber(line, length, i, limit, value) && *value <= limit;
}

// "1 nw ne sw se": four states, 0 to 255.
int readStateLeaf(TreeRead* r, const char* line, size_t length, size_t i)
{
    int64_t state[4];
    for (int k = 0; k < 4; k++)
        if (!readWhole(line, length, &i, INT32_MAX, &state[k]) || state[k] >= TREE_STATES)
            return fail(r, "a leaf '1 nw ne sw se' needs four states from 0 to %d", TREE_STATES - 1);
    while (i < length && textIsBlank(line[i]))
        i++;
    if (i < length)
        return fail(r, "unexpected text after the leaf's four states");
    if (!leafKind(r, 1))
        return 0;
    WorldTreeNode* node = newNode(r);
    if (!node)
        return 0;
    node->level = STATE_LEAF_LEVEL;
    for (int k = 0; k < 4; k++) {
        if (!state[k])
            continue;
        boxAdd(&node->box, k & 1, k >> 1, node->population == 0);
        node->bits |= (uint64_t)state[k] << (8 * k);
        node->population++;
        r->tree->maxState = state[k] > r->tree->maxState ? (int32_t)state[k] : r->tree->maxState;
    }
    return 1;
}

int readInner(TreeRead* r, const char* line, size_t length)
{
    WorldTree* tree = r->tree;
    size_t i = 0;
    int64_t level, child[4];
    if (!readWhole(line, length, &i, INT32_MAX, &level))
        return fail(r, "expected a node 'level nw ne sw se' or a leaf of '.', '*' and '$'");
    if (level < STATE_LEAF_LEVEL)
        return fail(r, "a node of level %lld; levels start at 1", (long long)level);
    if (level == STATE_LEAF_LEVEL)
        return readStateLeaf(r, line, length, i);
    if (level <= LEAF_LEVEL && !tree->multiState)
        return fail(r, level == LEAF_LEVEL ? "a node of level 3 must be an 8 x 8 leaf of '.', '*' and '$'"
                                           : "a node of level 2 needs leaves of 2 x 2 states ('1 nw ne sw se') "
                                             "before it");
    if (level > MAX_LEVEL)
        return fail(r, "a node of level %lld is a square of 2^%lld cells a side, past 64-bit coordinates; refused",
            (long long)level, (long long)level);
    for (int k = 0; k < 4; k++) {
        if (!readWhole(line, length, &i, INT32_MAX, &child[k]))
            return fail(r, "expected a node 'level nw ne sw se' of five whole numbers");
        // tree->count - 1 nodes are defined so far (nodes[0] is the empty square).
        if (child[k] >= tree->count)
            return fail(r, "node %lld refers to node %lld, which is not defined before it", (long long)tree->count,
                (long long)child[k]);
        if (child[k] > 0 && tree->nodes[child[k]].level != level - 1)
            return fail(r, "a node of level %lld needs children of level %lld; node %lld is of level %d",
                (long long)level, (long long)level - 1, (long long)child[k], (int)tree->nodes[child[k]].level);
    }
    while (i < length && textIsBlank(line[i]))
        i++;
    if (i < length)
        return fail(r, "unexpected text after the node's five numbers");
    WorldTreeNode* node = newNode(r);
    if (!node)
        return 0;
    node->level = (int32_t)level;
    const int64_t half = (int64_t)1 << (level - 1);
    for (int k = 0; k < 4; k++) {
        node->child[k] = (int32_t)child[k];
        const WorldTreeNode* c = &tree->nodes[child[k]];
        if (c->population == 0)
            continue;
        const int64_t dx = (k & 1) ? half : 0, dy = (k & 2) ? half : 0;
        boxAdd(&node->box, c->box.left + dx, c->box.top + dy, node->population == 0);
        boxAdd(&node->box, c->box.right + dx, c->box.bottom + dy, 0);
        node->population += c->population;
        node->population = node->population > manyCells ? manyCells : node->population;
    }
    return 1;
}

// "#G n": the generation the tree shows; anything else there is refused, as
// a generation read wrong would be shown and kept.
int readGeneration(TreeRead* r, const char* line, size_t length)
{
    size_t i = 2;
    while (i < length && textIsBlank(line[i]))
        i++;
    const size_t first = i;
    uint64_t generation = 0;
    for (; i < length && textIsDigit(line[i]) && generation <= (uint64_t)INT64_MAX / 10; i++)
        generation = generation * 10 + (uint64_t)(line[i] - '0');
    const size_t last = i;
    while (i < length && textIsBlank(line[i]))
        i++;
    if (last == first || i < length || generation > (uint64_t)INT64_MAX)
        return fail(r, "'#G' must give the generation as a whole number below 2^63");
    r->tree->generation = (int64_t)generation;
    return 1;
}

// Returns 1 with the next line, LF, CRLF and a lone CR each ending one.
int nextLine(const char* text, size_t size, size_t* pos, const char** line, size_t* length)
{
    if (*pos >= size)
        return 0;
    const size_t start = *pos;
    size_t end = start;
    while (end < size && text[end] != '\n' && text[end] != '\r')
        end++;
    *line = text + start;
    *length = end - start;
    if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n')
        end++;
    *pos = end + 1;
    return 1;
}

int readLines(TreeRead* r, const char* text, size_t size)
{
    WorldTree* tree = r->tree;
    size_t pos = 0;
    const char* line;
    size_t length;
    int haveHeader = 0;
    while (nextLine(text, size, &pos, &line, &length)) {
        r->line++;
        while (length > 0 && textIsBlank(line[length - 1]))
            length--;
        if (!haveHeader) {
            if (length < 4 || memcmp(line, "[M2]", 4) != 0)
                return fail(r, "expected the first line '[M2] ...'");
            haveHeader = 1;
            continue;
        }
        if (length == 0)
            continue;
        if (line[0] == '#') {
            if (length > 1 && line[1] == 'R') {
                tree->rule = line + 2;
                tree->ruleLength = length - 2;
                tree->ruleLine = r->line;
            } else if (length > 1 && line[1] == 'G' && !readGeneration(r, line, length)) {
                return 0;
            }
            continue;
        }
        const int read = line[0] == '.' || line[0] == '*' || line[0] == '$' ? readLeaf(r, line, length)
                                                                            : readInner(r, line, length);
        if (!read)
            return 0;
    }
    if (!haveHeader)
        return fail(r, "expected the first line '[M2] ...'");
    r->line = 0;
    return 1;
}

} // namespace

int worldTreeRead(const char* text, size_t size, WorldTree* tree, int32_t* line, char* reason, size_t reasonSize)
{
    memset(tree, 0, sizeof *tree);
    TreeRead r = {tree, 0, 0, reason, reasonSize};
    // Line numbers start after a byte-order mark and stop before DOS's end
    // marks, as every reader's do.
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        size -= 3;
    }
    while (size > 0 && text[size - 1] == 0x1A)
        size--;
    const int ok = newNode(&r) && readLines(&r, text, size);
    *line = r.line;
    if (!ok)
        worldTreeRelease(tree);
    return ok;
}

void worldTreeRelease(WorldTree* tree)
{
    heapFree(tree->nodes);
    tree->nodes = nullptr;
    tree->count = 0;
}

int worldTreeIsMacrocell(const char* text, size_t size)
{
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        size -= 3;
    }
    return size >= 4 && memcmp(text, "[M2]", 4) == 0;
}

namespace {

struct TreeVisit {
    const WorldTree* tree;
    WorldCellVisit visit;      // one of the two
    WorldStateVisit visitState;
    void* context;
};

void visitCell(const TreeVisit* v, int64_t x, int64_t y, int state)
{
    if (v->visit)
        v->visit(v->context, x, y);
    else
        v->visitState(v->context, x, y, state);
}

void visitNode(const TreeVisit* v, int32_t index, int64_t left, int64_t top)
{
    const WorldTreeNode* n = &v->tree->nodes[index];
    if (!n->population)
        return;
    if (n->level == STATE_LEAF_LEVEL) {
        for (int k = 0; k < 4; k++)
            if (const int state = (int)(n->bits >> (8 * k)) & 0xff)
                visitCell(v, left + (k & 1), top + (k >> 1), state);
        return;
    }
    if (n->level == LEAF_LEVEL && !v->tree->multiState) {
        for (uint64_t bits = n->bits; bits; bits &= bits - 1) {
            const int b = __builtin_ctzll(bits);
            visitCell(v, left + (b & 7), top + (b >> 3), 1);
        }
        return;
    }
    const int64_t half = (int64_t)1 << (n->level - 1);
    for (int k = 0; k < 4; k++)
        visitNode(v, n->child[k], left + (k & 1) * half, top + (k >> 1) * half);
}

struct ListedCells {
    World* world;
    int failed;
};

void setListed(void* context, int64_t x, int64_t y, int state)
{
    ListedCells* listed = (ListedCells*)context;
    const WorldBox* e = &listed->world->extent;
    // As Life.ini's lines are: cells off a board, and states the world lacks, are dropped.
    if (!listed->failed && x >= e->left && x <= e->right && y >= e->top && y <= e->bottom &&
        state < listed->world->states)
        listed->failed = !worldSetCell(listed->world, x, y, state);
}

void visitRoot(const TreeVisit* v)
{
    const WorldTree* tree = v->tree;
    if (tree->count < 2)
        return;
    const WorldTreeNode* root = &tree->nodes[tree->count - 1];
    const int64_t half = root->level > 0 ? (int64_t)1 << (root->level - 1) : 0;
    visitNode(v, tree->count - 1, -half, 1 - half);
}

} // namespace

void worldTreeForEachCell(const WorldTree* tree, WorldCellVisit visit, void* context)
{
    const TreeVisit v = {tree, visit, nullptr, context};
    visitRoot(&v);
}

void worldTreeForEachState(const WorldTree* tree, WorldStateVisit visit, void* context)
{
    const TreeVisit v = {tree, nullptr, visit, context};
    visitRoot(&v);
}

int worldTreeSetCells(const WorldTree* tree, World* world, char* reason, size_t size)
{
    const uint64_t population = tree->count > 1 ? tree->nodes[tree->count - 1].population : 0;
    if (population > WORLD_SWITCH_CELLS) {
        snprintf(reason, size, "the quadtree holds %llu live cells, more than the %d listed on this engine",
            (unsigned long long)population, (int)WORLD_SWITCH_CELLS);
        return 0;
    }
    ListedCells listed = {world, 0};
    worldTreeForEachState(tree, setListed, &listed);
    if (listed.failed)
        snprintf(reason, size, "out of memory");
    return !listed.failed;
}
