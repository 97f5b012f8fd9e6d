// Span insertion: merges one span into a row's sorted, non-overlapping list so
// that the nearer face (larger 1/z) keeps every pixel.
#include "spans/span_marks.h"
#include "spans/spans_local.h"

#include <cstdint>

// How an overlap between the new span N and an existing span E is shared.
enum Outcome {
    SPLIT_NEW_LEFT,  // split at X: N keeps the part left of X, E the rest
    SPLIT_OLD_LEFT,  // split at X: E keeps the part left of X, N the rest
    WHOLE_TO_NEW,
    WHOLE_TO_OLD,
};

// 1/z at column x, in double precision from the float fields.
static double depthAt(const SpanNode* s, int64_t x)
{
    return (double)s->invZ + (double)x * (double)s->dInvZ;
}

// Decides the overlap [oS, oE) of N and E. The planes' 1/z are linear along
// the row, so they change order at most once, at q where they are equal; X is
// q rounded (q + 0.5 truncated toward zero: half up for q >= 0, toward zero
// below). A split needs X strictly inside the overlap; otherwise one span is
// nearer over the whole overlap (up to the rounding of X) and the column
// halfway across decides, ties going to E.
static Outcome decideOverlap(const SpanNode* n, const SpanNode* e, int64_t oS, int64_t oE, int32_t* splitAt)
{
    // Equal gradients (or a NaN, which compares neither way) mean parallel
    // planes: no crossing anywhere, whatever columns the overlap has.
    if (n->dInvZ < e->dInvZ || n->dInvZ > e->dInvZ) {
        double q = ((double)n->invZ - (double)e->invZ) / ((double)e->dInvZ - (double)n->dInvZ);
        double rounded = q + 0.5;
        // Out of the 32-bit range (or NaN) lies outside every overlap.
        if (rounded > -2147483648.0 && rounded < 2147483648.0) {
            int64_t x = (int64_t)rounded; // truncates toward zero
            if (oS < x && x < oE) {
                *splitAt = (int32_t)x;
                // The nearer span left of the crossing is the one nearer far
                // out at column -4096: one comparison, no second division.
                double newFar = (double)n->invZ - 4096.0 * (double)n->dInvZ;
                double oldFar = (double)e->invZ - 4096.0 * (double)e->dInvZ;
                return newFar > oldFar ? SPLIT_NEW_LEFT : SPLIT_OLD_LEFT;
            }
        }
    }
    // Half the width rounded half up: (w + 1) / 2 equals trunc(w / 2 + 0.5)
    // for every integer w, so a width of 1 tests at oE.
    int64_t m = oS + (oE - oS + 1) / 2;
    return depthAt(n, m) > depthAt(e, m) ? WHOLE_TO_NEW : WHOLE_TO_OLD;
}

// What the main loop does after an overlap: stop, or compare N next with
// `node`, the used node at index `index`.
struct Step {
    SpanNode* node;
    int32_t index;
    int stop;
};

static const Step STOP = {nullptr, 0, 1};

static Step goOn(SpanNode* node, int32_t index)
{
    Step step = {node, index, 0};
    return step;
}

static void setColumns(SpanNode* node, int32_t xStart, int32_t xEnd)
{
    node->xStart = xStart;
    node->xEnd = xEnd;
}

// Actions several rows of the case table share.

// N keeps the columns left of x, E those from x on.
static void splitNewLeft(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t x)
{
    n->xEnd = x;
    e->xStart = x;
    spanListInsertBefore(pool, line, e, n);
}

// E is covered: it leaves the used list and N goes on with the node after it.
static Step dropCovered(ScanLine* line, SpanNode* e, int32_t p)
{
    SpanNode* after = e->next;
    spanListRemove(line, e);
    return goOn(after, p);
}

// A piece [from, to) of N goes in before E, and N goes on from `rest` with
// the node after E.
static Step pieceBeforeThenOn(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p, int32_t from, int32_t to,
    int32_t rest)
{
    SpanNode* piece = spanListInsertBefore(pool, line, e, n);
    if (!piece)
        return STOP;
    setColumns(piece, from, to);
    n->xStart = rest;
    return goOn(e->next, p + 2);
}

// N starts at or before E and wins the whole overlap.
static Step newWinsFromEStart(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p)
{
    if (n->xEnd < e->xEnd) {
        splitNewLeft(pool, line, n, e, n->xEnd);
        return STOP;
    }
    if (n->xEnd == e->xEnd) {
        spanCopyInPlace(e, n);
        return STOP;
    }
    return dropCovered(line, e, p);
}

// N starts at or before E and keeps the columns left of the crossing x.
static Step newLeftFromEStart(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p, int32_t x)
{
    int32_t ns = n->xStart, ee = e->xEnd;
    if (n->xEnd <= ee) {
        splitNewLeft(pool, line, n, e, x);
        return STOP;
    }
    e->xStart = x;
    return pieceBeforeThenOn(pool, line, n, e, p, ns, x, ee);
}

// The three functions below take the outcome first, then where N ends
// against E: before its end (ne < ee), at it, or past it, when N goes on with
// what is left of it. The order of changes within a case matters only when
// the pool fails part-way: whatever was changed before the failing node stays.

// N starts left of E (Ns < Es).
static Step overlapFromLeft(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p, Outcome how, int32_t x)
{
    int32_t ns = n->xStart, ne = n->xEnd, es = e->xStart, ee = e->xEnd;
    switch (how) {
    case SPLIT_NEW_LEFT:
        return newLeftFromEStart(pool, line, n, e, p, x);
    case SPLIT_OLD_LEFT:
        if (ne < ee) {
            e->xStart = ne;
            SpanNode* right = spanListInsertBefore(pool, line, e, n);
            if (!right)
                return STOP;
            setColumns(right, x, ne);
            SpanNode* old = spanListInsertBefore(pool, line, right, e);
            if (!old)
                return STOP;
            setColumns(old, es, x);
            SpanNode* left = spanListInsertBefore(pool, line, old, n);
            if (left)
                setColumns(left, ns, es);
            return STOP;
        }
        e->xEnd = x;
        if (ne == ee) {
            SpanNode* right = spanListInsertAfter(pool, line, e, n);
            if (!right)
                return STOP;
            setColumns(right, x, ee);
            n->xEnd = es;
            spanListInsertBefore(pool, line, e, n);
            return STOP;
        }
        return pieceBeforeThenOn(pool, line, n, e, p, ns, es, x);
    case WHOLE_TO_NEW:
        return newWinsFromEStart(pool, line, n, e, p);
    case WHOLE_TO_OLD:
        if (ne <= ee) {
            n->xEnd = es;
            spanListInsertBefore(pool, line, e, n);
            return STOP;
        }
        return pieceBeforeThenOn(pool, line, n, e, p, ns, es, ee);
    }
    return STOP;
}

// N and E start at the same column.
static Step overlapSameStart(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p, Outcome how, int32_t x)
{
    int32_t ne = n->xEnd, ee = e->xEnd;
    switch (how) {
    case SPLIT_NEW_LEFT:
        return newLeftFromEStart(pool, line, n, e, p, x);
    case SPLIT_OLD_LEFT:
        if (ne < ee) {
            e->xEnd = x;
            SpanNode* middle = spanListInsertAfter(pool, line, e, n);
            if (!middle)
                return STOP;
            setColumns(middle, x, ne);
            SpanNode* right = spanListInsertAfter(pool, line, middle, e);
            if (right)
                setColumns(right, ne, ee);
            return STOP;
        }
        n->xStart = x;
        e->xEnd = x;
        if (ne == ee) {
            spanListInsertAfter(pool, line, e, n);
            return STOP;
        }
        return goOn(e->next, p + 1);
    case WHOLE_TO_NEW:
        return newWinsFromEStart(pool, line, n, e, p);
    case WHOLE_TO_OLD:
        if (ne <= ee)
            return STOP;
        n->xStart = ee;
        return goOn(e->next, p + 1);
    }
    return STOP;
}

// N starts inside E (Ns > Es). When N ends inside E, both new nodes are linked
// before E is cut, so a pool failure between them leaves the first one
// overlapping E for this frame (span drawing reports it).
static Step overlapFromInside(SpanPool* pool, ScanLine* line, SpanNode* n, SpanNode* e, int32_t p, Outcome how, int32_t x)
{
    int32_t ns = n->xStart, ne = n->xEnd, ee = e->xEnd;
    if (ne < ee) {
        if (how == WHOLE_TO_OLD)
            return STOP;
        int32_t cut = ns;
        int32_t rightStart = ne;
        if (how == SPLIT_NEW_LEFT) {
            n->xEnd = x;
            rightStart = x;
        } else if (how == SPLIT_OLD_LEFT) {
            n->xStart = x;
            cut = x;
        }
        SpanNode* middle = spanListInsertAfter(pool, line, e, n);
        if (!middle)
            return STOP;
        SpanNode* right = spanListInsertAfter(pool, line, middle, e);
        if (!right)
            return STOP;
        setColumns(right, rightStart, ee);
        e->xEnd = cut;
        return STOP;
    }
    switch (how) {
    case SPLIT_NEW_LEFT: {
        e->xEnd = ns;
        if (ne == ee)
            n->xEnd = x;
        SpanNode* middle = spanListInsertAfter(pool, line, e, n);
        if (!middle)
            return STOP;
        if (ne > ee)
            setColumns(middle, ns, x);
        SpanNode* right = spanListInsertAfter(pool, line, middle, e);
        if (!right)
            return STOP;
        setColumns(right, x, ee);
        if (ne == ee)
            return STOP;
        n->xStart = ee;
        // N now merely touches E's right piece; the loop steps past it.
        return goOn(right, p + 2);
    }
    case SPLIT_OLD_LEFT:
        e->xEnd = x;
        n->xStart = x;
        if (ne == ee) {
            spanListInsertAfter(pool, line, e, n);
            return STOP;
        }
        return goOn(e->next, p + 1);
    case WHOLE_TO_NEW:
        e->xEnd = ns;
        if (ne == ee) {
            spanListInsertAfter(pool, line, e, n);
            return STOP;
        }
        return goOn(e->next, p + 1);
    case WHOLE_TO_OLD:
        if (ne == ee)
            return STOP;
        n->xStart = ee;
        return goOn(e->next, p + 1);
    }
    return STOP;
}

void insertSpan(SpanPool* pool, SpanNode* span, ScanLine* line, SpanMarks* marks)
{
    // A reversed span covers no pixel, and stored it would hide overlaps from
    // later spans: the walk puts a span before the first node it ends at or
    // before, so after [15,30) and then [20,10), a nearer [17,18) would stop
    // at [20,10) and be linked in ahead of it without ever meeting [15,30),
    // which is drawn later and takes column 17 back; no two neighbours
    // overlap, so the order check says nothing. Empty spans cannot hide
    // anything and are stored.
    if (span->xStart > span->xEnd)
        return;
    if (line->count <= 0) {
        spanMarksForget(marks, line);
        spanListAppend(pool, line, span, nullptr);
        return;
    }
    // The commonest case by far, as cells are drawn along the board: the span
    // lies wholly before the first one, where the walk from the head would
    // stop at once. Every mark lies right of it and keeps its count-minus-index
    // key.
    SpanNode* const head = line->head;
    if (span->xEnd <= head->xStart) {
        const SpanWalk atHead = {0, 0, nullptr, line->count, 0, nullptr};
        spanListInsertBefore(pool, line, head, span);
        spanMarksNote(pool, marks, line, &atHead);
        return;
    }
    SpanWalk walk;
    SpanNode* e = spanMarksWalkStart(marks, line, span, &walk);
    int32_t p = walk.first;
    const int32_t oldCount = walk.oldCount;
    for (;;) {
        if (p >= line->count) {
            spanListAppend(pool, line, span, p == line->count ? e : nullptr);
            break;
        }
        int32_t ns = span->xStart, ne = span->xEnd, es = e->xStart, ee = e->xEnd;
        if (ne <= es) {
            walk.untouchedFrom = p - (line->count - oldCount);
            walk.untouched = e;
            spanListInsertBefore(pool, line, e, span);
            break;
        }
        if (ns >= ee) {
            e = e->next;
            p += 1;
            continue;
        }
        int64_t oS = ns > es ? ns : es;
        int64_t oE = ne < ee ? ne : ee;
        int32_t x = 0;
        Outcome how = decideOverlap(span, e, oS, oE, &x);
        // Only E and new nodes next to it change when the overlap ends the
        // insertion; the node after E is left as it is.
        const int32_t afterE = p + 1 - (line->count - oldCount);
        SpanNode* const next = p + 1 < line->count ? e->next : nullptr;
        Step step;
        if (ns < es)
            step = overlapFromLeft(pool, line, span, e, p, how, x);
        else if (ns == es)
            step = overlapSameStart(pool, line, span, e, p, how, x);
        else
            step = overlapFromInside(pool, line, span, e, p, how, x);
        if (step.stop) {
            walk.untouchedFrom = afterE;
            walk.untouched = next;
            break;
        }
        e = step.node;
        p = step.index;
    }
    spanMarksNote(pool, marks, line, &walk);
}

void insertSpanInRow(SpanPool* pool, SpanNode* span, int32_t row)
{
    insertSpan(pool, span, &spanTable.rows[row], &spanTable.marks[row]);
}
