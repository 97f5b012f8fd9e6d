// A rule table compiled into a rule tree: the tree's cells taken one at a time
// in its order, each state of a cell narrowing the transitions that can still
// match to those whose set for the cell holds it; at the last cell the first
// transition left gives the next state, or the cell stays as it is. Equal
// lists of transitions left give one subtree, found again through a memo, and
// equal nodes are one node. A table whose compiling outgrows its budgets is
// refused rather than left to run without end.
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

namespace {

// Steps of the narrowing (one transition tested against one state) and list
// entries the memo may keep, before a table is refused as too large.
const int64_t workBudget = (int64_t)1 << 28;
const size_t memoEntriesMax = (size_t)1 << 24;

struct MemoSlot {
    uint32_t start;  // in the arena
    uint32_t length;
    uint32_t hash;
    uint32_t node;   // TREE_NO_NODE: free
    int32_t level;
};

struct Compiler {
    const RuleTable* table;
    int32_t variables; // the tree's cells
    uint8_t* fullFrom; // per transition: the first cell from which every set is set 0, every state
    TreeBuilder builder;
    uint32_t* arena;   // the memo's lists
    size_t arenaUsed, arenaRoom;
    MemoSlot* slots;
    uint32_t slotCount, slotUsed;
    uint32_t* scratch[9]; // per cell: the transitions left for one state
    uint32_t* children[9];
    int64_t work;
    int failed; // memory or a budget ran out
};

uint32_t hashList(int32_t level, const uint32_t* list, uint32_t length)
{
    uint32_t h = 2166136261u ^ (uint32_t)level;
    for (uint32_t i = 0; i < length; i++)
        h = (h ^ list[i]) * 16777619u;
    return h;
}

int has(const Compiler* c, uint32_t transition, int32_t variable, int32_t state)
{
    const TableSet* set = &c->table->sets[c->table->transitions[transition].sets[variable]];
    return (int)(set->bits[state >> 6] >> (state & 63) & 1);
}

int growMemo(Compiler* c)
{
    const uint32_t count = c->slotCount ? c->slotCount * 2 : 1024;
    MemoSlot* slots = (MemoSlot*)heapAlloc((size_t)count * sizeof(MemoSlot));
    if (!slots)
        return 0;
    for (uint32_t i = 0; i < count; i++)
        slots[i].node = TREE_NO_NODE;
    for (uint32_t i = 0; i < c->slotCount; i++) {
        if (c->slots[i].node == TREE_NO_NODE)
            continue;
        uint32_t j = c->slots[i].hash & (count - 1);
        while (slots[j].node != TREE_NO_NODE)
            j = (j + 1) & (count - 1);
        slots[j] = c->slots[i];
    }
    heapFree(c->slots);
    c->slots = slots;
    c->slotCount = count;
    return 1;
}

// The memo's slot for the list at level: the one holding it, or the free one it goes to.
MemoSlot* findMemo(Compiler* c, int32_t level, const uint32_t* list, uint32_t length, uint32_t hash)
{
    uint32_t i = hash & (c->slotCount - 1);
    for (; c->slots[i].node != TREE_NO_NODE; i = (i + 1) & (c->slotCount - 1)) {
        const MemoSlot* s = &c->slots[i];
        if (s->hash == hash && s->level == level && s->length == length &&
            (!length || memcmp(c->arena + s->start, list, (size_t)length * sizeof(uint32_t)) == 0))
            break;
    }
    return &c->slots[i];
}

int remember(Compiler* c, MemoSlot* slot, int32_t level, const uint32_t* list, uint32_t length, uint32_t hash,
             uint32_t node)
{
    if (c->arenaUsed + length > memoEntriesMax) {
        c->failed = 1;
        return 0;
    }
    if (c->arenaUsed + length > c->arenaRoom) {
        size_t room = c->arenaRoom ? c->arenaRoom * 2 : 4096;
        while (room < c->arenaUsed + length)
            room *= 2;
        uint32_t* arena = (uint32_t*)heapRealloc(c->arena, room * sizeof(uint32_t));
        if (!arena) {
            c->failed = 1;
            return 0;
        }
        c->arena = arena;
        c->arenaRoom = room;
    }
    if (length)
        memcpy(c->arena + c->arenaUsed, list, (size_t)length * sizeof(uint32_t));
    *slot = MemoSlot{(uint32_t)c->arenaUsed, length, hash, node, level};
    c->arenaUsed += length;
    c->slotUsed++;
    return 1;
}

// The node for the cells from `variable` on, given the transitions still matching.
uint32_t build(Compiler* c, int32_t variable, const uint32_t* list, uint32_t length)
{
    const int32_t states = c->table->states;
    uint32_t* children = c->children[variable];
    const int32_t level = c->variables - variable;
    c->work += (int64_t)states * (length ? length : 1);
    if (c->work > workBudget) {
        c->failed = 1;
        return TREE_NO_NODE;
    }
    if (variable == c->variables - 1) {
        for (int32_t s = 0; s < states; s++) {
            children[s] = (uint32_t)s;
            for (uint32_t i = 0; i < length; i++)
                if (has(c, list[i], variable, s)) {
                    children[s] = c->table->transitions[list[i]].output;
                    break;
                }
        }
        return treeBuilderNode(&c->builder, level, children);
    }
    uint32_t* left = c->scratch[variable];
    for (int32_t s = 0; s < states; s++) {
        uint32_t n = 0;
        for (uint32_t i = 0; i < length; i++)
            if (has(c, list[i], variable, s)) {
                left[n++] = list[i];
                // Nothing after a transition that matches every state from here on is reached.
                if (c->fullFrom[list[i]] <= variable + 1)
                    break;
            }
        if (c->slotUsed * 2 + 2 > c->slotCount && !growMemo(c)) {
            c->failed = 1;
            return TREE_NO_NODE;
        }
        const uint32_t hash = hashList(variable + 1, left, n);
        MemoSlot* slot = findMemo(c, variable + 1, left, n, hash);
        uint32_t node = slot->node;
        if (node == TREE_NO_NODE) {
            node = build(c, variable + 1, left, n);
            if (node == TREE_NO_NODE) {
                if (!c->failed)
                    c->failed = 1;
                return TREE_NO_NODE;
            }
            // The recursion may have grown the memo: find the slot again.
            slot = findMemo(c, variable + 1, left, n, hash);
            if (!remember(c, slot, variable + 1, left, n, hash, node))
                return TREE_NO_NODE;
        }
        children[s] = node;
    }
    return treeBuilderNode(&c->builder, level, children);
}

} // namespace

StatesTree* ruleCompileTable(const RuleTable* table, RuleRefusal* out)
{
    Compiler c = {};
    c.table = table;
    c.variables = table->neighbours + 1;
    treeBuilderInit(&c.builder, table->states, table->neighbours);
    const size_t count = (size_t)table->count;
    c.fullFrom = (uint8_t*)heapAlloc(count ? count : 1);
    uint32_t* all = (uint32_t*)heapAlloc((count ? count : 1) * sizeof(uint32_t));
    int ok = c.fullFrom && all;
    for (int32_t v = 0; ok && v < c.variables; v++) {
        c.scratch[v] = (uint32_t*)heapAlloc((count ? count : 1) * sizeof(uint32_t));
        c.children[v] = (uint32_t*)heapAlloc((size_t)table->states * sizeof(uint32_t));
        ok = c.scratch[v] && c.children[v];
    }
    for (size_t t = 0; ok && t < count; t++) {
        int32_t from = c.variables;
        while (from > 0 && table->transitions[t].sets[from - 1] == 0)
            from--;
        c.fullFrom[t] = (uint8_t)from;
        all[t] = (uint32_t)t;
    }
    uint32_t root = TREE_NO_NODE;
    if (ok) {
        // Transitions that match everything end the list at once.
        uint32_t n = 0;
        while (n < count && c.fullFrom[n] > 0)
            n++;
        root = build(&c, 0, all, n < count ? n + 1 : (uint32_t)count);
    }
    for (int32_t v = 0; v < c.variables; v++) {
        heapFree(c.scratch[v]);
        heapFree(c.children[v]);
    }
    heapFree(all);
    heapFree(c.fullFrom);
    heapFree(c.arena);
    heapFree(c.slots);
    if (root == TREE_NO_NODE) {
        ruleRefuse(out, "has a table too large to compile (a tree of more than %d entries, or too many distinct "
                        "partial neighbourhoods) or no memory for it", (int)STATES_TREE_ENTRIES_MAX);
        treeBuilderRelease(&c.builder);
        return nullptr;
    }
    StatesTree* tree = treeBuilderFinish(&c.builder, root);
    if (!tree)
        ruleRefuse(out, "has a table this program has no memory to compile");
    return tree;
}
