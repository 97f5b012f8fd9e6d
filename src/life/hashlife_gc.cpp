// Collection: the nodes the holders (worlds and snapshots) reach, with the
// empty squares, stay; so do the futures kept on the nodes a world reaches,
// square and quarters, since its next step asks for them first. A snapshot
// keeps its squares only, so that what it holds is what its tree holds
// (history counts it so). Every other node goes back to the free list, and a
// kept future whose node went is forgotten. Runs between steps only: a step
// in progress holds nodes no holder knows of.
#include "life/hashlife_local.h"

namespace {

enum { MARK_HELD = 1, MARK_FUTURE = 2, MARK_SNAPSHOT = 3, MARK_COUNTED = 4 };

void markTree(HashNode* n, uint8_t mark)
{
    if (n->mark)
        return;
    n->mark = mark;
    if (n->level > HASH_LEAF_LEVEL)
        for (int i = 0; i < 4; i++)
            markTree(n->quad[i], mark);
}

} // namespace

void hashCollect(HashStore* s)
{
    for (int level = HASH_LEAF_LEVEL; level <= HASH_LEVEL_MAX; level++)
        markTree(s->empty[level], MARK_HELD);
    // Worlds first: a square a world shares with a snapshot keeps its future.
    for (HashRoot* root = s->roots; root; root = root->next)
        if (root->stepping)
            markTree(root->node, MARK_HELD);
    for (HashRoot* root = s->roots; root; root = root->next)
        if (!root->stepping)
            markTree(root->node, MARK_SNAPSHOT);
    // Futures marked as they are met are not held: theirs are not kept.
    for (uint64_t i = 0; i < s->slotCount; i++)
        for (HashNode* n = s->slots[i]; n; n = n->next)
            if (n->mark == MARK_HELD && n->result)
                markTree(n->result, MARK_FUTURE);
    for (uint64_t i = 0; i < s->slotCount; i++)
        for (HashNode* n = s->slots[i]; n; n = n->next)
            if (n->mark && n->result && !n->result->mark) {
                n->result = nullptr;
                n->resultShift = HASH_NO_SHIFT;
            }
    for (uint64_t i = 0; i < s->slotCount; i++) {
        HashNode** link = &s->slots[i];
        while (*link) {
            HashNode* n = *link;
            if (n->mark) {
                n->mark = 0;
                link = &n->next;
            } else {
                *link = n->next;
                hashNodeFree(s, n);
            }
        }
    }
    s->collections++;
}

namespace {

int64_t countTree(HashNode* n)
{
    if (n->mark)
        return 0;
    n->mark = MARK_COUNTED;
    int64_t count = 1;
    if (n->level > HASH_LEAF_LEVEL)
        for (int i = 0; i < 4; i++)
            count += countTree(n->quad[i]);
    return count;
}

void unmarkTree(HashNode* n)
{
    if (!n->mark)
        return;
    n->mark = 0;
    if (n->level > HASH_LEAF_LEVEL)
        for (int i = 0; i < 4; i++)
            unmarkTree(n->quad[i]);
}

} // namespace

int64_t hashTreeNodes(HashNode* node)
{
    const int64_t count = countTree(node);
    unmarkTree(node);
    return count;
}
