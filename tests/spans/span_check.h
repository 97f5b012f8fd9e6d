// Helpers shared by the span-table tests: building span records and checking a
// row's chain against its header.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "spans/spans_local.h"

// A span of face `face` (kept in `level`, which every piece copies) on the
// plane 1/z = invZ + x * dInvZ.
inline SpanNode makeSpan(int32_t face, int32_t xStart, int32_t xEnd, float invZ, float dInvZ)
{
    SpanNode s = {};
    s.invZ = invZ;
    s.dInvZ = dInvZ;
    s.uOverZ = 0.25f * (float)face;
    s.vOverZ = -0.5f * (float)face;
    s.dUOverZ = 0.125f;
    s.dVOverZ = -0.0625f;
    s.xStart = xStart;
    s.xEnd = xEnd;
    s.level = face;
    s.light = face & 255;
    return s;
}

struct Piece {
    int32_t face, xStart, xEnd;
    bool operator==(const Piece& o) const { return face == o.face && xStart == o.xStart && xEnd == o.xEnd; }
};

inline std::ostream& operator<<(std::ostream& out, const Piece& p)
{
    return out << "face " << p.face << " [" << p.xStart << "," << p.xEnd << ")";
}

// The row's used spans, left to right.
inline std::vector<Piece> usedPieces(const ScanLine& line)
{
    std::vector<Piece> pieces;
    const SpanNode* node = line.head;
    for (int32_t i = 0; i < line.count && node; i++, node = node->next)
        pieces.push_back({node->level, node->xStart, node->xEnd});
    return pieces;
}

// Empty string when the chain matches its header: allocated nodes linked both
// ways with null ends, 0 <= count <= allocated.
inline std::string chainProblem(const ScanLine& line)
{
    if (line.count < 0 || line.count > line.allocated)
        return "count out of range";
    if (line.allocated == 0)
        return line.head || line.tail ? "links in an empty chain" : "";
    if (!line.head || line.head->prev)
        return "bad head";
    int32_t n = 1;
    const SpanNode* node = line.head;
    while (node->next) {
        if (node->next->prev != node)
            return "prev link broken at node " + std::to_string(n);
        node = node->next;
        if (++n > line.allocated)
            return "chain longer than allocated";
    }
    if (node != line.tail)
        return "tail is not the last node";
    if (n != line.allocated)
        return "chain shorter than allocated";
    return "";
}

// Empty string when the used spans are in column order without overlap.
inline std::string orderProblem(const ScanLine& line)
{
    std::vector<Piece> pieces = usedPieces(line);
    for (size_t i = 0; i < pieces.size(); i++) {
        if (pieces[i].xStart > pieces[i].xEnd)
            return "reversed span stored";
        if (i > 0 && pieces[i - 1].xEnd > pieces[i].xStart)
            return "spans overlap";
    }
    return "";
}

// Each test starts from a fresh pool of its own and leaves nothing allocated.
struct PoolTest : ::testing::Test {
    SpanPool pool = {};
    void SetUp() override
    {
        heapHookReset();
        ASSERT_EQ(spanPoolInit(&pool), 1);
    }
    void TearDown() override
    {
        heapHookReset();
        spanPoolRelease(&pool);
    }
};
