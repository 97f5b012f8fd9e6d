// Span marks: their storage and forgetting them; the insertion's calls are
// inline in span_marks.h.
#include "spans/span_marks.h"

SpanMarks* spanMarks = nullptr;

// Shared by the rows outside the table, on behalf of `looseOwner`.
static SpanMarks looseMarks;
static const ScanLine* looseOwner = nullptr;

void spanMarksForget(const ScanLine* line)
{
    spanMarksClear(spanMarksOf(line), line);
}

SpanMarks* spanMarksOfLooseRow(const ScanLine* line)
{
    if (line != looseOwner) {
        // Nothing is known of how the row came to be: if it holds spans, they
        // may be out of order.
        looseOwner = line;
        looseMarks.walkFromHead = 1;
        spanMarksClear(&looseMarks, line);
    }
    return &looseMarks;
}
