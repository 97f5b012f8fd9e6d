// A row's list operations: building its chain, taking a node for a span from
// the chain's spare end or the pool, linking it in, and moving a node to the
// spare end.
#include "spans/spans_local.h"

#include <cstdint>

int spanListCreate(SpanPool* pool, int32_t nodeCount, ScanLine* line)
{
    line->count = 0;
    line->allocated = 1;
    SpanNode* first = spanPoolMakeReady(pool) ? spanPoolTake(pool) : nullptr;
    if (!first) {
        // Nothing was linked: leave an empty row rather than stale pointers.
        line->head = nullptr;
        line->tail = nullptr;
        line->allocated = 0;
        return 0;
    }
    first->prev = nullptr;
    first->next = nullptr;
    line->head = first;
    line->tail = first;
    for (int32_t i = 1; i < nodeCount; i++) {
        SpanNode* node = spanPoolMakeReady(pool) ? spanPoolTake(pool) : nullptr;
        if (!node)
            return 0;
        node->prev = line->tail;
        node->next = nullptr;
        line->tail->next = node;
        line->tail = node;
        line->allocated += 1;
    }
    return 1;
}

// A node for a new used span, taken from the chain's spare end when there is
// one (detached from the chain) and from the pool otherwise; null when the
// pool cannot give one. The caller has already made the pool ready.
static SpanNode* takeUnlinked(SpanPool* pool, ScanLine* line, const SpanNode* span)
{
    SpanNode* node;
    if (line->count == line->allocated) {
        node = spanPoolTake(pool);
        if (!node)
            return nullptr;
        line->allocated += 1;
    } else {
        node = line->tail;
        line->tail = node->prev;
        line->tail->next = nullptr;
        // The tails to come: the one before the new tail through its link,
        // and further down by address (see SPAN_TAKE_NEAR).
        if (line->tail->prev)
            __builtin_prefetch(line->tail->prev, 1);
        __builtin_prefetch((const void*)((uintptr_t)node - SPAN_TAKE_NEAR * sizeof(SpanNode)), 1);
        __builtin_prefetch((const void*)((uintptr_t)node - SPAN_TAKE_FAR * sizeof(SpanNode)), 1);
    }
    *node = *span;
    return node;
}

SpanNode* spanListAppend(SpanPool* pool, ScanLine* line, const SpanNode* span, SpanNode* firstSpare)
{
    if (!spanPoolMakeReady(pool))
        return nullptr;
    SpanNode* node;
    if (line->count == line->allocated) {
        node = spanPoolTake(pool);
        if (!node)
            return nullptr;
        *node = *span;
        node->prev = line->tail;
        node->next = nullptr;
        if (line->tail)
            line->tail->next = node;
        else
            line->head = node;
        line->tail = node;
        line->allocated += 1;
    } else {
        // Walks the used spans to the first spare node and reuses it in place.
        node = firstSpare;
        if (!node) {
            node = line->head;
            for (int32_t i = 0; i < line->count; i++)
                node = node->next;
        }
        spanCopyInPlace(node, span);
        if (node->next)
            __builtin_prefetch(node->next, 1);
    }
    line->count += 1;
    return node;
}

SpanNode* spanListInsertBefore(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span)
{
    if (!spanPoolMakeReady(pool))
        return nullptr;
    SpanNode* added = takeUnlinked(pool, line, span);
    if (!added)
        return nullptr;
    added->prev = node->prev;
    added->next = node;
    if (node->prev)
        node->prev->next = added;
    else
        line->head = added;
    node->prev = added;
    line->count += 1;
    return added;
}

SpanNode* spanListInsertAfter(SpanPool* pool, ScanLine* line, SpanNode* node, const SpanNode* span)
{
    if (!spanPoolMakeReady(pool))
        return nullptr;
    // Detaching the spare tail may leave `node` last, so its links are read
    // only afterwards.
    SpanNode* added = takeUnlinked(pool, line, span);
    if (!added)
        return nullptr;
    added->prev = node;
    added->next = node->next;
    if (node->next)
        node->next->prev = added;
    else
        line->tail = added;
    node->next = added;
    line->count += 1;
    return added;
}

void spanListRemove(ScanLine* line, SpanNode* node)
{
    line->count -= 1;
    // The chain's last node is a used one only when every node is used; it
    // becomes the first spare node where it stands.
    if (!node->next)
        return;
    node->next->prev = node->prev;
    if (node->prev)
        node->prev->next = node->next;
    else
        line->head = node->next;
    node->prev = line->tail;
    node->next = nullptr;
    line->tail->next = node;
    line->tail = node;
}
