// The span-length histogram: a text bar chart of how many spans of each
// visible length the current frame's span table holds, written to Graph.txt.
#include "spans/spans_local.h"

#include <cmath>
#include <cstdio>

#include "platform/platform.h"

// Distinct lengths in order of first appearance, and how often each was seen.
struct LengthCounts {
    int32_t* lengths;
    int32_t* counts;
    int32_t n;
};

// Length of the part of a span that span drawing puts on the screen: start
// raised to 0, an end past the width pulled back to width - 1 (an end equal to
// the width stays), as the drawing clips.
static int32_t visibleLength(const SpanNode* span, int32_t width)
{
    int32_t start = span->xStart < 0 ? 0 : span->xStart;
    int32_t end = span->xEnd > width ? width - 1 : span->xEnd;
    return end - start;
}

// Adds one span of length `length`; both arrays grow by one entry for a new
// length. Returns 0 when they cannot grow.
static int countLength(LengthCounts* table, int32_t length)
{
    for (int32_t i = 0; i < table->n; i++) {
        if (table->lengths[i] == length) {
            table->counts[i] += 1;
            return 1;
        }
    }
    size_t size = (size_t)(table->n + 1) * sizeof(int32_t);
    int32_t* lengths = (int32_t*)heapRealloc(table->lengths, size);
    if (!lengths)
        return 0;
    table->lengths = lengths;
    int32_t* counts = (int32_t*)heapRealloc(table->counts, size);
    if (!counts)
        return 0;
    table->counts = counts;
    table->lengths[table->n] = length;
    table->counts[table->n] = 1;
    table->n += 1;
    return 1;
}

static int countTable(LengthCounts* table)
{
    for (int32_t row = 0; row < spanTable.rowCount; row++) {
        const ScanLine* line = &spanTable.rows[row];
        const SpanNode* node = line->head;
        for (int32_t i = 0; i < line->count; i++, node = node->next) {
            int32_t length = visibleLength(node, spanTable.width);
            if (length > 0 && !countLength(table, length))
                return 0;
        }
    }
    return 1;
}

// Bubble sort by length; lengths are distinct, so the order is total.
static void sortByLength(LengthCounts* table)
{
    int swapped = 1;
    while (swapped && table->n > 1) {
        swapped = 0;
        for (int32_t i = 1; i < table->n; i++) {
            if (table->lengths[i - 1] > table->lengths[i]) {
                int32_t length = table->lengths[i - 1];
                table->lengths[i - 1] = table->lengths[i];
                table->lengths[i] = length;
                int32_t count = table->counts[i - 1];
                table->counts[i - 1] = table->counts[i];
                table->counts[i] = count;
                swapped = 1;
            }
        }
    }
}

static void writeChart(FILE* file, const LengthCounts* table)
{
    int32_t maxCount = 0;
    for (int32_t i = 0; i < table->n; i++)
        if (table->counts[i] > maxCount)
            maxCount = table->counts[i];
    for (int32_t i = 0; i < table->n; i++) {
        char line[256];
        int used = snprintf(line, sizeof line, "%4d (%4d) : ", (int)table->lengths[i], (int)table->counts[i]);
        // The bar is ceil(v) stars; maxCount goes through a 32-bit float as
        // the chart always has. The most frequent length gets exactly 50 and
        // every counted one at least 1.
        double v = (double)table->counts[i] / (double)(float)maxCount * 50.0;
        int stars = (int)std::ceil(v);
        for (int j = 0; j < stars && used < (int)sizeof line - 2; j++)
            line[used++] = '*';
        line[used++] = '\n';
        line[used] = '\0';
        fputs(line, file);
    }
}

void writeSpanHistogram()
{
    LengthCounts table = {nullptr, nullptr, 0};
    // A chart missing some lengths would mislead; without memory none is
    // written and an older Graph.txt stays as it was.
    if (countTable(&table)) {
        sortByLength(&table);
        FILE* file = fileOpen("Graph.txt", "w");
        if (file) {
            writeChart(file, &table);
            fclose(file);
        }
    }
    heapFree(table.lengths);
    heapFree(table.counts);
}
