// Rule trees: the record the engine steps by, built node by node with equal
// nodes shared (for trees compiled from tables) or read from a .rule file's
// @TREE section, every count and reference checked before it is used.
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

namespace {

uint32_t hashNode(int32_t level, const uint32_t* children, int32_t states)
{
    uint32_t h = 2166136261u ^ (uint32_t)level;
    for (int32_t i = 0; i < states; i++)
        h = (h ^ children[i]) * 16777619u;
    return h;
}

int growSlots(TreeBuilder* b)
{
    const uint32_t count = b->slotCount ? b->slotCount * 2 : 1024;
    uint32_t* slots = (uint32_t*)heapAlloc((size_t)count * sizeof(uint32_t));
    if (!slots)
        return 0;
    memset(slots, 0xFF, (size_t)count * sizeof(uint32_t));
    for (int32_t n = 0; n < b->nodes; n++) {
        uint32_t i = hashNode(b->levels[n], b->next + (size_t)n * b->states, b->states) & (count - 1);
        while (slots[i] != UINT32_MAX)
            i = (i + 1) & (count - 1);
        slots[i] = (uint32_t)n;
    }
    heapFree(b->slots);
    b->slots = slots;
    b->slotCount = count;
    return 1;
}

} // namespace

void treeBuilderInit(TreeBuilder* b, int32_t states, int32_t neighbours)
{
    *b = TreeBuilder{};
    b->states = states;
    b->neighbours = neighbours;
}

void treeBuilderRelease(TreeBuilder* b)
{
    heapFree(b->next);
    heapFree(b->levels);
    heapFree(b->slots);
    *b = TreeBuilder{};
}

uint32_t treeBuilderNode(TreeBuilder* b, int32_t level, const uint32_t* children)
{
    if ((uint64_t)b->nodes * 2 + 2 > b->slotCount && !growSlots(b))
        return TREE_NO_NODE;
    const uint32_t h = hashNode(level, children, b->states);
    uint32_t i = h & (b->slotCount - 1);
    for (; b->slots[i] != UINT32_MAX; i = (i + 1) & (b->slotCount - 1)) {
        const uint32_t n = b->slots[i];
        if (b->levels[n] == level && memcmp(b->next + (size_t)n * b->states, children, (size_t)b->states * 4) == 0)
            return n * (uint32_t)b->states;
    }
    if ((uint64_t)(b->nodes + 1) * (uint64_t)b->states > STATES_TREE_ENTRIES_MAX)
        return TREE_NO_NODE;
    if (b->nodes == b->room) {
        const int32_t room = b->room ? b->room * 2 : 256;
        uint32_t* next = (uint32_t*)heapRealloc(b->next, (size_t)room * (size_t)b->states * sizeof(uint32_t));
        if (!next)
            return TREE_NO_NODE;
        b->next = next;
        uint8_t* levels = (uint8_t*)heapRealloc(b->levels, (size_t)room);
        if (!levels)
            return TREE_NO_NODE;
        b->levels = levels;
        b->room = room;
    }
    const int32_t n = b->nodes++;
    memcpy(b->next + (size_t)n * b->states, children, (size_t)b->states * sizeof(uint32_t));
    b->levels[n] = (uint8_t)level;
    b->slots[i] = (uint32_t)n;
    return (uint32_t)n * (uint32_t)b->states;
}

StatesTree* treeBuilderFinish(TreeBuilder* b, uint32_t root)
{
    StatesTree* tree = (StatesTree*)heapCalloc(1, sizeof(StatesTree));
    if (!tree) {
        treeBuilderRelease(b);
        return nullptr;
    }
    tree->holders = 1;
    tree->states = b->states;
    tree->neighbours = b->neighbours;
    tree->nodes = b->nodes;
    tree->next = b->next;
    tree->root = root;
    b->next = nullptr;
    treeBuilderRelease(b);
    return tree;
}

void statesTreeHold(StatesTree* tree)
{
    if (tree)
        tree->holders++;
}

void statesTreeRelease(StatesTree* tree)
{
    if (!tree || --tree->holders > 0)
        return;
    heapFree(tree->next);
    heapFree(tree->source);
    heapFree(tree);
}

// ---- @TREE ---------------------------------------------------------------------------------

namespace {

// "name=value" with blanks allowed around '=': 1 with the value.
int readSetting(const char* line, size_t length, const char* name, int64_t* value)
{
    const size_t n = strlen(name);
    if (length < n || memcmp(line, name, n) != 0)
        return 0;
    size_t i = n;
    while (i < length && textIsBlank(line[i]))
        i++;
    if (i >= length || line[i] != '=')
        return 0;
    i++;
    while (i < length && textIsBlank(line[i]))
        i++;
    return textReadNumber(line, length, &i, 100000000, value) && i == length;
}

} // namespace

StatesTree* ruleReadTree(const char* text, size_t size, int32_t line0, RuleRefusal* out)
{
    int64_t states = 0, neighbours = 0, nodes = 0;
    TreeBuilder b;
    treeBuilderInit(&b, 0, 0);
    uint32_t* children = nullptr;
    int32_t read = 0;
    RuleLines lines = {text, size, 0, line0};
    const char* line;
    size_t length;
    while (ruleNextLine(&lines, &line, &length)) {
        if (length == 0 || line[0] == '#')
            continue;
        if (!b.states) {
            if (!readSetting(line, length, "num_states", &states) &&
                !readSetting(line, length, "num_neighbors", &neighbours) &&
                !readSetting(line, length, "num_nodes", &nodes)) {
                ruleRefuse(out, "has a @TREE line %d that is no setting and comes before num_states, num_neighbors "
                                "and num_nodes", (int)lines.number);
                return nullptr;
            }
            if (!states || !neighbours || !nodes)
                continue;
            if (states < 2 || states > STATES_MAX || (neighbours != 4 && neighbours != 8) || nodes < 1 ||
                nodes * states > STATES_TREE_ENTRIES_MAX) {
                ruleRefuse(out, "has a @TREE of %lld states, %lld neighbours and %lld nodes; trees have 2 to %d "
                                "states, 4 or 8 neighbours and at most %d entries", (long long)states,
                           (long long)neighbours, (long long)nodes, (int)STATES_MAX, (int)STATES_TREE_ENTRIES_MAX);
                return nullptr;
            }
            treeBuilderInit(&b, (int32_t)states, (int32_t)neighbours);
            b.next = (uint32_t*)heapAlloc((size_t)(nodes * states) * sizeof(uint32_t));
            b.levels = (uint8_t*)heapAlloc((size_t)nodes);
            children = (uint32_t*)heapAlloc((size_t)states * sizeof(uint32_t));
            if (!b.next || !b.levels || !children) {
                ruleRefuse(out, "has a @TREE too large for the memory at hand");
                heapFree(children);
                treeBuilderRelease(&b);
                return nullptr;
            }
            continue;
        }
        // "depth c0 c1 ...": depth 1 lists states, a deeper node earlier nodes one level down.
        size_t i = 0;
        int64_t depth = 0;
        int ok = read < nodes && textReadNumber(line, length, &i, 100, &depth) && depth >= 1 && depth <= neighbours + 1;
        for (int64_t k = 0; ok && k < states; k++) {
            int64_t v = 0;
            ok = i < length && line[i] == ' ' && (i++, textReadNumber(line, length, &i, 100000000, &v));
            ok = ok && (depth == 1 ? v < states : v < read && b.levels[v] == depth - 1);
            if (ok)
                children[k] = depth == 1 ? (uint32_t)v : (uint32_t)(v * states);
        }
        while (ok && i < length && textIsBlank(line[i]))
            i++;
        if (!ok || i != length) {
            ruleRefuse(out, "has a broken @TREE node on line %d: %s", (int)lines.number,
                       read >= nodes ? "more nodes than num_nodes" : "a depth from 1 to num_neighbors + 1, then "
                       "num_states states (depth 1) or earlier nodes one level down");
            heapFree(children);
            treeBuilderRelease(&b);
            return nullptr;
        }
        memcpy(b.next + (size_t)read * b.states, children, (size_t)states * sizeof(uint32_t));
        b.levels[read++] = (uint8_t)depth;
    }
    heapFree(children);
    if (!b.states || read != nodes || b.levels[read - 1] != neighbours + 1) {
        ruleRefuse(out, "has a @TREE %s", !b.states ? "without num_states, num_neighbors and num_nodes"
                                          : read != nodes ? "with fewer nodes than num_nodes"
                                                          : "whose last node is not its root, at depth num_neighbors + 1");
        treeBuilderRelease(&b);
        return nullptr;
    }
    b.nodes = read;
    StatesTree* tree = treeBuilderFinish(&b, (uint32_t)(read - 1) * (uint32_t)states);
    if (!tree)
        ruleRefuse(out, "has a @TREE too large for the memory at hand");
    return tree;
}
