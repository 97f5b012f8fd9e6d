// Span marks: where an insertion may start its walk along a row instead of at
// the head, and how each insertion keeps them true. Only the span table's own
// files and their tests use them; each row has its own record (the table's
// are in spanTable.marks). Every insertion calls spanMarksWalkStart and
// spanMarksNote, which are inline here: as calls into another file they cost
// a few per cent of a frame.
#pragma once

#include <cstdint>

#include "spans/spans_local.h"

enum { SPAN_MARKS = 16 };

// A row's marks: used nodes, in index order, that no insertion since has moved
// or changed (an insertion changes only the nodes from where its walk starts
// to where it stops). Each keeps the columns its node had when it was marked,
// which are still the node's, so the walk can judge a mark without reading
// its node.
//
// A mark must also know its node's index, which moves whenever nodes are
// added or removed to its left. So it keeps a key that the last insertion did
// not disturb, and `split` says which kind each key is:
//  - marks before `split` lie left of where the last insertion worked, and
//    their key is the index itself: nothing to their left changed;
//  - marks from `split` on lie right of it, and their key is count minus the
//    index: the insertion changed count by exactly the nodes it added or
//    removed to their left, so the difference still holds.
// The next insertion moves `split` to where it works, converting the keys it
// passes over.
//
// walkFromHead is set once an insertion ran out of nodes, which can break the
// column order the marks rely on; the row is then walked from its head, and
// marks are kept again from the time it is next found empty.
struct SpanMarks {
    SpanNode* node[SPAN_MARKS];
    int32_t key[SPAN_MARKS];
    int32_t xStart[SPAN_MARKS];
    int32_t xEnd[SPAN_MARKS];
    int32_t count;
    int32_t split;
    int32_t walkFromHead;
};

// One insertion as the marks see it: where its walk starts (filled by
// spanMarksWalkStart) and where it left nodes untouched (filled by the
// insertion when it stops).
struct SpanWalk {
    int32_t marksPassed;   // marks left of the start, which stay
    int32_t first;         // index of the first node the insertion may change
    SpanNode* before;      // the used node before it, or null
    int32_t oldCount;      // count before the insertion
    int32_t untouchedFrom; // old index of the first node right of the work
    SpanNode* untouched;   // that node, or null
};

// Drops every mark, for changes the marks cannot follow (list operations from
// outside the insertion, a repack). An empty row is in order again, so its
// walks may use marks from then on.
inline void spanMarksForget(SpanMarks* m, const ScanLine* line)
{
    m->count = 0;
    m->split = 0;
    if (line->count <= 0)
        m->walkFromHead = 0;
}

// ---- Called by every insertion ----------------------------------------------

// The index of mark i, from its key of either kind.
inline int32_t spanMarkIndex(const SpanMarks* m, const ScanLine* line, int32_t i)
{
    return i < m->split ? m->key[i] : line->count - m->key[i];
}

// True when the walk from the head steps past a node with columns [es, ee)
// without acting: the span neither lies wholly before it nor touches it.
inline bool spanWalkPasses(const SpanNode* span, int32_t es, int32_t ee)
{
    return !(span->xEnd <= es) && span->xStart >= ee;
}

// Where the walk from the head would first stop to act on `span`: returns
// that node (null past the chain's end) and fills walk, with its index in
// `first`. In an ordered row (every xStart <= xEnd <= the next xStart) the
// nodes the walk passes form a prefix, so its first stop lies between the last
// mark that passes and the first that does not: it is found by walking
// forward from the one and back from the other at once, whichever meets the
// edge of the prefix first.
__attribute__((always_inline)) inline SpanNode* spanMarksWalkStart(
    const SpanMarks* m, const ScanLine* line, const SpanNode* span, SpanWalk* walk)
{
    SpanNode* e = line->head;
    int32_t p = 0;
    int32_t below = 0;
    if (!m->walkFromHead) {
        // Insertions tend to follow each other, so the split, where the last
        // one worked, is tried first.
        int32_t above = m->count;
        const int32_t split = m->split;
        if (split < above && spanWalkPasses(span, m->xStart[split], m->xEnd[split])) {
            below = split + 1;
        } else if (split > 0 && spanWalkPasses(span, m->xStart[split - 1], m->xEnd[split - 1])) {
            below = split;
            above = split;
        } else {
            above = split > 0 ? split - 1 : 0;
        }
        while (below < above) {
            const int32_t mid = (below + above) / 2;
            if (spanWalkPasses(span, m->xStart[mid], m->xEnd[mid]))
                below = mid + 1;
            else
                above = mid;
        }
    }
    if (below > 0) {
        e = m->node[below - 1]->next;
        p = spanMarkIndex(m, line, below - 1) + 1;
    }
    if (m->walkFromHead || below == m->count) {
        while (p < line->count && spanWalkPasses(span, e->xStart, e->xEnd)) {
            e = e->next;
            p += 1;
        }
    } else {
        // b does not pass, and every node from p up to b is still open.
        SpanNode* b = m->node[below];
        int32_t q = spanMarkIndex(m, line, below);
        while (p < q) {
            if (!spanWalkPasses(span, e->xStart, e->xEnd))
                break;
            e = e->next;
            p += 1;
            SpanNode* before = b->prev;
            if (spanWalkPasses(span, before->xStart, before->xEnd)) {
                e = b;
                p = q;
                break;
            }
            b = before;
            q -= 1;
        }
    }
    walk->marksPassed = below;
    walk->first = p;
    // Nodes left of where the walk starts are neither moved nor changed by
    // the insertion, nor are those right of where it stops.
    walk->before = p > 0 && e ? e->prev : nullptr;
    walk->oldCount = line->count;
    walk->untouchedFrom = line->count;
    walk->untouched = nullptr;
    return e;
}

// Drops the marks from `from` up to, not including, `to` (from < to).
inline void spanMarksRemove(SpanMarks* m, int32_t from, int32_t to)
{
    const int32_t n = to - from;
    for (int32_t i = to; i < m->count; i++) {
        m->node[i - n] = m->node[i];
        m->key[i - n] = m->key[i];
        m->xStart[i - n] = m->xStart[i];
        m->xEnd[i - n] = m->xEnd[i];
    }
    m->count -= n;
    if (m->split > to)
        m->split -= n;
    else if (m->split > from)
        m->split = from;
}

// Marks `node`, the used node at `index`, at the split: as the last of the
// left marks or the first of the right ones. A full set first gives up
// whichever end mark lies farther from the new one: insertions tend to follow
// each other along a row.
inline void spanMarksAdd(SpanMarks* m, const ScanLine* line, SpanNode* node, int32_t index, bool left)
{
    const int32_t at = m->split;
    if (m->count == SPAN_MARKS) {
        if (at == 0
            || (at < SPAN_MARKS
                && index - spanMarkIndex(m, line, 0) < spanMarkIndex(m, line, SPAN_MARKS - 1) - index))
            spanMarksRemove(m, SPAN_MARKS - 1, SPAN_MARKS);
        else
            spanMarksRemove(m, 0, 1);
    }
    const int32_t place = m->split;
    for (int32_t i = m->count; i > place; i--) {
        m->node[i] = m->node[i - 1];
        m->key[i] = m->key[i - 1];
        m->xStart[i] = m->xStart[i - 1];
        m->xEnd[i] = m->xEnd[i - 1];
    }
    m->node[place] = node;
    m->key[place] = left ? index : line->count - index;
    m->xStart[place] = node->xStart;
    m->xEnd[place] = node->xEnd;
    m->count += 1;
    if (left)
        m->split += 1;
}

// Marks closer together than this save too little walking to be kept.
enum { SPAN_MARK_GAP = 4 };

// Most insertions land next to an existing mark, so the test for a neighbour
// too close is made before any call.
inline void spanMarksAddApart(SpanMarks* m, const ScanLine* line, SpanNode* node, int32_t index, bool left)
{
    const int32_t at = m->split;
    if (at > 0 && index - spanMarkIndex(m, line, at - 1) < SPAN_MARK_GAP)
        return;
    if (at < m->count && spanMarkIndex(m, line, at) - index < SPAN_MARK_GAP)
        return;
    spanMarksAdd(m, line, node, index, left);
}

// After an insertion: the marks left of the walk's start still hold; marks
// between it and the first untouched node may name moved or changed nodes and
// go; marks from the untouched node on name the same nodes as before and keep
// their count-minus-index keys. The nodes on either side of the work become
// marks. Forgets every mark when the pool failed. Forced inline: called from
// two places, it would otherwise stay a call.
__attribute__((always_inline)) inline void spanMarksNote(
    const SpanPool* pool, SpanMarks* m, const ScanLine* line, const SpanWalk* walk)
{
    // A node that could not be had may have left two spans overlapping.
    if (spanPoolFailedNow(pool))
        m->walkFromHead = 1;
    if (m->walkFromHead) {
        m->count = 0;
        m->split = 0;
        return;
    }
    // Moving the split to the start turns the keys it passes over: an index
    // and its count-minus-index (with the count they were made with) turn
    // into each other the same way.
    const int32_t low = walk->marksPassed;
    const int32_t oldCount = walk->oldCount;
    const int32_t from = m->split;
    for (int32_t i = low < from ? low : from; i < (low < from ? from : low); i++)
        m->key[i] = oldCount - m->key[i];
    m->split = low;
    int32_t worked = low;
    while (worked < m->count && oldCount - m->key[worked] < walk->untouchedFrom)
        worked += 1;
    if (worked > low)
        spanMarksRemove(m, low, worked);
    if (walk->before)
        spanMarksAddApart(m, line, walk->before, walk->first - 1, true);
    if (walk->untouched)
        spanMarksAddApart(m, line, walk->untouched, walk->untouchedFrom + line->count - oldCount, false);
}
