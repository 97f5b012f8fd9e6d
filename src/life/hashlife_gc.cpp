// Collection: the nodes the holders (worlds and snapshots) reach, with the
// empty squares, stay; so do the futures kept on them, square and quarters,
// since the next step asks for them first. Every other node goes back to the
// free list, and a kept future whose node went is forgotten. Runs between
// steps only: a step in progress holds nodes no holder knows of.
#include "life/hashlife_local.h"

namespace {

enum { MARK_HELD = 1, MARK_FUTURE = 2 };

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
    for (HashRoot* root = s->roots; root; root = root->next)
        markTree(root->node, MARK_HELD);
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
