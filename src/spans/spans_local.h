// What only the span table's own files use: the list operations without the
// forgetting of marks that the public ones do, for the insertion, which keeps
// its marks itself.
#pragma once

#include "spans/spans.h"

// Copies the whole record into a node that keeps its own links.
inline void spanCopyInPlace(SpanNode* node, const SpanNode* span)
{
    SpanNode* prev = node->prev;
    SpanNode* next = node->next;
    *node = *span;
    node->prev = prev;
    node->next = next;
}

// As scanLineAppend; `firstSpare`, when known, is the node at index count (the
// first spare one) and spares the walk from the head to it.
SpanNode* spanListAppend(ScanLine* line, const SpanNode* span, SpanNode* firstSpare);
// As scanLineInsertBefore, scanLineInsertAfter and scanLineRemove.
SpanNode* spanListInsertBefore(ScanLine* line, SpanNode* node, const SpanNode* span);
SpanNode* spanListInsertAfter(ScanLine* line, SpanNode* node, const SpanNode* span);
void spanListRemove(ScanLine* line, SpanNode* node);
