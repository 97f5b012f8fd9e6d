// Macrocell: read by the life area's tree reader (life/world_tree.cpp), which
// works out each node's box and population as it reads, so the cells are
// listed only once they are known to fit, or not at all: a program that holds
// the tree whole (hashlife) takes the tree itself.
#include <cstring>

#include "pattern/pattern_local.h"
#include "platform/platform.h"

// Populations saturate here in the tree reader.
static const uint64_t mcManyCells = (uint64_t)1 << 62;

struct ListedCells {
    Pattern* pattern;
    int64_t left, top; // the box's corner, moved to (0, 0)
};

static void listCell(void* context, int64_t x, int64_t y, int state)
{
    ListedCells* listed = (ListedCells*)context;
    Pattern* pattern = listed->pattern;
    if (pattern->states)
        pattern->states[pattern->count] = (uint8_t)state;
    PatternCell* cell = &pattern->cells[pattern->count++];
    cell->x = (int32_t)(x - listed->left);
    cell->y = (int32_t)(y - listed->top);
}

// A tree of states lists a state beside each cell.
static int reserveStates(Pattern* pattern, PatternError* error)
{
    pattern->maxState = pattern->tree.multiState ? pattern->tree.maxState : 1;
    if (!pattern->tree.multiState)
        return 1;
    pattern->states = (uint8_t*)heapAlloc((size_t)pattern->capacity);
    if (!pattern->states)
        return patternFail(error, 0, "not enough memory for %d cell states", (int)pattern->capacity);
    return 1;
}

// The tree read, its rule taken, and where the file puts its box; the tree
// stays in pattern->tree.
static int readTree(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = PATTERN_MACROCELL;
    int32_t line;
    if (!worldTreeRead(text, size, &pattern->tree, &line, error->message, sizeof error->message)) {
        error->line = line;
        return 0;
    }
    const WorldTree* tree = &pattern->tree;
    if (tree->rule && !readRuleText(tree->rule, tree->ruleLength, 0, "'#R'", tree->ruleLine, pattern, error)) {
        worldTreeRelease(&pattern->tree);
        return 0;
    }
    const WorldTreeNode* root = &tree->nodes[tree->count - 1];
    if (root->population > 0) {
        // The root square is centred on (0, 0) as the community's programs
        // write it: its columns run from -half to half - 1 and its rows from
        // 1 - half to half, so the cell bgolly lists at (0, 0) is the ne
        // quarter's bottom-left one.
        const int64_t half = (int64_t)1 << (root->level - 1);
        pattern->left = root->box.left - half;
        pattern->top = root->box.top - half + 1;
        const int64_t width = root->box.right - root->box.left + 1, height = root->box.bottom - root->box.top + 1;
        pattern->width = (int32_t)(width < (int64_t)PATTERN_MAX_SIDE ? width : (int64_t)PATTERN_MAX_SIDE);
        pattern->height = (int32_t)(height < (int64_t)PATTERN_MAX_SIDE ? height : (int64_t)PATTERN_MAX_SIDE);
    }
    return 1;
}

int parseMacrocellTree(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    patternTrim(&text, &size);
    if (!checkText(text, size, error) || !readTree(text, size, pattern, error))
        return 0;
    const WorldTreeNode* root = &pattern->tree.nodes[pattern->tree.count - 1];
    if (root->population == 0) {
        patternRelease(pattern);
        return patternFail(error, 0, "the pattern has no live cells; an empty board is not written");
    }
    return 1;
}

int parseMacrocell(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    if (!readTree(text, size, pattern, error))
        return 0;
    const WorldTreeNode* root = &pattern->tree.nodes[pattern->tree.count - 1];
    int ok = 1;
    if (root->population > 0) {
        const int64_t width = root->box.right - root->box.left + 1, height = root->box.bottom - root->box.top + 1;
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
            ok = patternReserve(pattern, (int64_t)root->population, 0, error) && reserveStates(pattern, error);
        if (ok) {
            ListedCells listed = {pattern, pattern->left, pattern->top};
            worldTreeForEachState(&pattern->tree, listCell, &listed);
        }
    }
    pattern->generation = pattern->tree.generation;
    worldTreeRelease(&pattern->tree);
    if (!ok)
        patternRelease(pattern);
    return ok;
}
