// Macrocell: the line "[M2] ...", '#' lines ("#R rule", "#G generation",
// comments), then a quadtree, children first, one node a line, numbered from
// 1 in the order they come (0 is an empty square). A leaf is an 8 x 8 square
// drawn with '.' dead, '*' alive and '$' ending a row; a node "k nw ne sw se"
// is a square of 2^k cells a side made of four earlier nodes of level k - 1
// (leaves are level 3). The last node is the whole pattern. A tiny file can
// describe billions of cells, so each node's box and population are worked
// out while reading and the cells are listed only once they are known to fit.
#include <cstring>

#include "pattern/pattern_local.h"
#include "platform/platform.h"

enum {
    MC_LEAF_LEVEL = 3,
    // Positions inside the root are 64-bit: a square of 2^62 a side still
    // leaves room for the sums below.
    MC_MAX_LEVEL = 62,
};

// Populations saturate here, far above any cell limit.
static const uint64_t mcManyCells = (uint64_t)1 << 62;

struct McNode {
    int32_t level;
    int32_t child[4];  // nw, ne, sw, se; 0 for an empty square; unused in a leaf
    uint64_t bits;     // a leaf's cells, bit y * 8 + x
    uint64_t population;
    CellBox box;  // of the live cells, from the square's top-left; only when population > 0
};

struct McTree {
    McNode* nodes;  // heap; nodes[0] stands for the empty square
    int32_t count;
    int32_t capacity;
};

static McNode* newNode(McTree* tree, int32_t number, PatternError* error)
{
    if (tree->count == tree->capacity) {
        const int64_t capacity = tree->capacity ? (int64_t)tree->capacity * 2 : 256;
        McNode* nodes = capacity <= INT32_MAX
                            ? (McNode*)heapRealloc(tree->nodes, (size_t)capacity * sizeof(McNode))
                            : nullptr;
        if (!nodes) {
            patternFail(error, number, "not enough memory for %lld quadtree nodes", (long long)capacity);
            return nullptr;
        }
        tree->nodes = nodes;
        tree->capacity = (int32_t)capacity;
    }
    McNode* node = &tree->nodes[tree->count++];
    memset(node, 0, sizeof *node);
    return node;
}

static int readLeaf(const char* line, size_t length, int32_t number, McTree* tree, PatternError* error)
{
    McNode* node = newNode(tree, number, error);
    if (!node)
        return 0;
    node->level = MC_LEAF_LEVEL;
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
            return patternFail(error, number, "column %zu: %s does not fit an 8 x 8 leaf of '.', '*' and '$'",
                               i + 1, what);
        }
        if (c == '*') {
            cellBoxAdd(&node->box, x, y, node->population == 0);
            node->bits |= (uint64_t)1 << (y * 8 + x);
            node->population++;
        }
        x++;
    }
    return 1;
}

// Reads a whole number of at most limit at line[*i], after blanks.
static int readWhole(const char* line, size_t length, size_t* i, int64_t limit, int64_t* value)
{
    *i = skipBlanks(line, length, *i);
    return textReadNumber(line, length, i, limit, value) && *value <= limit;
}

static int readInner(const char* line, size_t length, int32_t number, McTree* tree, PatternError* error)
{
    size_t i = 0;
    int64_t level, child[4];
    if (!readWhole(line, length, &i, INT32_MAX, &level))
        return patternFail(error, number, "expected a node 'level nw ne sw se' or a leaf of '.', '*' and '$'");
    if (level < MC_LEAF_LEVEL)
        return patternFail(error, number, "a node of level %lld holds cell states: this is a multi-state "
                                          "macrocell file, which this program does not read yet", (long long)level);
    if (level == MC_LEAF_LEVEL)
        return patternFail(error, number, "a node of level 3 must be an 8 x 8 leaf of '.', '*' and '$'");
    if (level > MC_MAX_LEVEL)
        return patternFail(error, number, "a node of level %lld is a square of 2^%lld cells a side, past 64-bit "
                                          "coordinates; refused", (long long)level, (long long)level);
    for (int k = 0; k < 4; k++) {
        if (!readWhole(line, length, &i, INT32_MAX, &child[k]))
            return patternFail(error, number, "expected a node 'level nw ne sw se' of five whole numbers");
        // tree->count - 1 nodes are defined so far (nodes[0] is the empty square).
        if (child[k] >= tree->count)
            return patternFail(error, number, "node %lld refers to node %lld, which is not defined before it",
                               (long long)tree->count, (long long)child[k]);
        if (child[k] > 0 && tree->nodes[child[k]].level != level - 1)
            return patternFail(error, number, "a node of level %lld needs children of level %lld; node %lld is "
                                              "of level %d", (long long)level, (long long)level - 1,
                               (long long)child[k], (int)tree->nodes[child[k]].level);
    }
    if (skipBlanks(line, length, i) < length)
        return patternFail(error, number, "unexpected text after the node's five numbers");
    McNode* node = newNode(tree, number, error);
    if (!node)
        return 0;
    node->level = (int32_t)level;
    const int64_t half = (int64_t)1 << (level - 1);
    for (int k = 0; k < 4; k++) {
        node->child[k] = (int32_t)child[k];
        const McNode* c = &tree->nodes[child[k]];
        if (c->population == 0)
            continue;
        const int64_t dx = (k & 1) ? half : 0;
        const int64_t dy = (k & 2) ? half : 0;
        cellBoxAdd(&node->box, c->box.minX + dx, c->box.minY + dy, node->population == 0);
        cellBoxAdd(&node->box, c->box.maxX + dx, c->box.maxY + dy, 0);
        node->population += c->population;
        node->population = node->population > mcManyCells ? mcManyCells : node->population;
    }
    return 1;
}

// Lists the live cells of the root, moved so its box starts at (0, 0). The
// caller has reserved room for all of them. The stack holds, per level, the
// children still to visit: at most 3 waiting per level below the root.
static void listCells(const McTree* tree, int32_t root, Pattern* pattern)
{
    struct Visit {
        int32_t node;
        int64_t x, y;
    };
    Visit stack[4 * MC_MAX_LEVEL];
    int32_t depth = 0;
    const McNode* top = &tree->nodes[root];
    stack[depth++] = Visit{root, -top->box.minX, -top->box.minY};
    while (depth > 0) {
        const Visit v = stack[--depth];
        const McNode* node = &tree->nodes[v.node];
        if (node->level == MC_LEAF_LEVEL) {
            for (int b = 0; b < 64; b++) {
                if (node->bits & ((uint64_t)1 << b)) {
                    PatternCell* cell = &pattern->cells[pattern->count++];
                    cell->x = (int32_t)(v.x + (b & 7));
                    cell->y = (int32_t)(v.y + (b >> 3));
                }
            }
            continue;
        }
        const int64_t half = (int64_t)1 << (node->level - 1);
        for (int k = 0; k < 4; k++) {
            if (tree->nodes[node->child[k]].population > 0)
                stack[depth++] = Visit{node->child[k], v.x + ((k & 1) ? half : 0), v.y + ((k & 2) ? half : 0)};
        }
    }
}

static int readTree(const char* text, size_t size, McTree* tree, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    lineReaderInit(&reader, text, size);
    const char* line;
    size_t length;
    int haveHeader = 0;
    while (nextLine(&reader, &line, &length)) {
        while (length > 0 && textIsBlank(line[length - 1]))
            length--;
        if (!haveHeader) {
            if (length < 4 || memcmp(line, "[M2]", 4) != 0)
                return patternFail(error, reader.number, "expected the first line '[M2] ...'");
            haveHeader = 1;
            continue;
        }
        if (length == 0)
            continue;
        if (line[0] == '#') {
            if (length > 1 && line[1] == 'R' &&
                !readRuleText(line, length, 2, "'#R'", reader.number, pattern, error))
                return 0;
            continue;
        }
        const int read = line[0] == '.' || line[0] == '*' || line[0] == '$'
                             ? readLeaf(line, length, reader.number, tree, error)
                             : readInner(line, length, reader.number, tree, error);
        if (!read)
            return 0;
    }
    if (!haveHeader)
        return patternFail(error, reader.number, "expected the first line '[M2] ...'");
    return 1;
}

int parseMacrocell(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = PATTERN_MACROCELL;
    McTree tree = {nullptr, 0, 0};
    int ok = newNode(&tree, 0, error) && readTree(text, size, &tree, pattern, error);
    const McNode* root = ok ? &tree.nodes[tree.count - 1] : nullptr;
    if (root && root->population > 0) {
        const int64_t width = root->box.maxX - root->box.minX + 1;
        const int64_t height = root->box.maxY - root->box.minY + 1;
        if (width > PATTERN_MAX_SIDE || height > PATTERN_MAX_SIDE)
            ok = patternFail(error, 0, "the live cells spread over %lld x %lld cells, more than %d a side; refused",
                             (long long)width, (long long)height, (int)PATTERN_MAX_SIDE);
        else if (root->population > (uint64_t)patternLimits.maxTreeCells ||
                 root->population > (uint64_t)patternLimits.maxCells)
            ok = patternFail(error, 0, "the quadtree holds %s%llu live cells, more than the %d this program lists "
                                       "from a macrocell file; refused", root->population == mcManyCells ? "over " : "",
                             (unsigned long long)root->population,
                             (int)(patternLimits.maxTreeCells < patternLimits.maxCells ? patternLimits.maxTreeCells
                                                                                       : patternLimits.maxCells));
        else
            ok = patternReserve(pattern, (int64_t)root->population, 0, error);
        if (ok) {
            // The root square is centred on (0, 0) as the community's programs
            // write it: its columns run from -half to half - 1 and its rows from
            // 1 - half to half, so the cell bgolly lists at (0, 0) is the ne
            // quarter's bottom-left one.
            const int64_t half = (int64_t)1 << (root->level - 1);
            pattern->left = root->box.minX - half;
            pattern->top = root->box.minY - half + 1;
            pattern->width = (int32_t)width;
            pattern->height = (int32_t)height;
            listCells(&tree, tree.count - 1, pattern);
        }
    }
    heapFree(tree.nodes);
    if (!ok)
        patternRelease(pattern);
    return ok;
}
