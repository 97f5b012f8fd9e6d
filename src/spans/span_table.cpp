// The span table's record and its life: set-up and shut-down, and the
// emptying and repacking every frame starts with.
#include "spans/span_marks.h"
#include "spans/spans_local.h"

#include "platform/platform.h"

SpanTable spanTable = {nullptr, nullptr, 0, 0, {nullptr, 0, 0, 0, 0, 0}, -1};

int32_t spanTableRowCount()
{
    return spanTable.rowCount;
}

ScanLine* spanTableRow(int32_t row)
{
    return &spanTable.rows[row];
}

SpanPool* spanTablePool()
{
    return &spanTable.pool;
}

int32_t spanPoolFailed()
{
    return spanPoolFailedNow(&spanTable.pool);
}

int64_t spanPoolTaken()
{
    return spanPoolCount(&spanTable.pool);
}

void spanTableReset()
{
    for (int32_t row = 0; row < spanTable.rowCount; row++)
        spanTable.rows[row].count = 0;
}

int spanTableRepack()
{
    SpanPool* pool = &spanTable.pool;
    const int64_t taken = spanPoolCount(pool);
    if (!spanTable.rows || taken == spanTable.repackedTaken)
        return 0;
    // Only an empty table whose chains hold every node the pool handed out
    // can be laid out afresh.
    int64_t linked = 0;
    for (int32_t row = 0; row < spanTable.rowCount; row++) {
        if (spanTable.rows[row].count != 0)
            return 0;
        linked += spanTable.rows[row].allocated;
    }
    if (linked != taken)
        return 0;
    // Rows in order, each head to tail through rising addresses: the
    // prefetch distances rely on this order.
    int32_t block = 0, index = 0;
    for (int32_t row = 0; row < spanTable.rowCount; row++) {
        ScanLine* line = &spanTable.rows[row];
        SpanNode* prev = nullptr;
        for (int32_t i = 0; i < line->allocated; i++) {
            if (index == (block == 0 ? SPAN_FIRST_BLOCK : SPAN_BLOCK)) {
                block += 1;
                index = 0;
            }
            SpanNode* node = spanPoolNode(pool, block, index);
            index += 1;
            node->prev = prev;
            node->next = nullptr;
            if (prev)
                prev->next = node;
            else
                line->head = node;
            prev = node;
        }
        line->tail = prev;
        spanMarksForget(&spanTable.marks[row], line);
    }
    spanTable.repackedTaken = taken;
    return 1;
}

int spanTableInit(int32_t width, int32_t height)
{
    if (width < 1 || height < 1)
        return 0;
    spanTable.width = width;
    spanTable.repackedTaken = -1;
    if (!spanPoolInit(&spanTable.pool))
        return 0;
    // Zeroed, so rows never reached after a failure read as empty rows.
    spanTable.rows = (ScanLine*)heapCalloc((size_t)height, sizeof(ScanLine));
    if (!spanTable.rows)
        return 0;
    // Cleared too: every row starts with no marks.
    spanTable.marks = (SpanMarks*)heapCalloc((size_t)height, sizeof(SpanMarks));
    if (!spanTable.marks)
        return 0;
    spanTable.rowCount = height;
    for (int32_t row = 0; row < height; row++) {
        if (!spanListCreate(&spanTable.pool, SPAN_ROW_NODES, &spanTable.rows[row]))
            return 0;
        spanTable.rows[row].count = 0;
    }
    return 1;
}

void spanTableRelease()
{
    spanPoolRelease(&spanTable.pool);
    heapFree(spanTable.marks);
    spanTable.marks = nullptr;
    heapFree(spanTable.rows);
    spanTable.rows = nullptr;
    spanTable.rowCount = 0;
}
