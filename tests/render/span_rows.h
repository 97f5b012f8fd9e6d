// Rows of the span table set by hand for the drawing tests.
#pragma once

#include "spans/spans.h"

// Makes span the row's next used span as it stands, without merging it with
// the others, so that a test can build a row out of order. The row needs a
// spare node (every row of a fresh table has 20).
inline void putSpanAsIs(ScanLine* row, const SpanNode* span)
{
    SpanNode* node = row->head;
    for (int32_t i = 0; i < row->count; i++)
        node = node->next;
    SpanNode* prev = node->prev;
    SpanNode* next = node->next;
    *node = *span;
    node->prev = prev;
    node->next = next;
    row->count += 1;
}
