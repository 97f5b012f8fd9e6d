// An independent model of the universe's step for its tests: rules built from
// digit sets, cells listed as (y, x) pairs in row order, a plain per-cell
// step on every topology with B0 as the community's programs emulate it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "life/life.h"

namespace universe_model {

using Cell = std::pair<int64_t, int64_t>;  // (y, x): a set then lists rows top to bottom
using Cells = std::set<Cell>;

inline UniverseRule ruleOf(const char* birth, const char* survive, LifeGridShape grid = LifeGridShape{})
{
    UniverseRule rule{};
    for (int i = 0; i < 512; i++) {
        int n = __builtin_popcount(i & ~16);
        const char* digits = (i & 16) ? survive : birth;
        rule.next[i] = strchr(digits, '0' + n) != nullptr;
    }
    rule.grid = grid;
    return rule;
}

inline LifeGridShape shapeOf(int topology, int w, int h, int twistX = 0, int twistY = 0, int shiftX = 0, int shiftY = 0)
{
    return LifeGridShape{topology, w, h, twistX, twistY, shiftX, shiftY};
}

inline void collect(void* context, int32_t x, int32_t y)
{
    static_cast<std::vector<Cell>*>(context)->push_back({y, x});
}

inline Cells cellsOf(const Universe* u)
{
    std::vector<Cell> listed;
    int64_t count = universeForEachCell(u, collect, &listed);
    EXPECT_EQ(count, (int64_t)listed.size());
    Cells cells(listed.begin(), listed.end());
    EXPECT_EQ(cells.size(), listed.size());
    EXPECT_TRUE(std::equal(listed.begin(), listed.end(), cells.begin())) << "cells not listed in row order";
    EXPECT_EQ(universePopulation(u), (int64_t)cells.size());
    return cells;
}

// The reference: the tables a step uses at even and odd generations (B0 as the
// community's programs emulate it), then a plain per-cell step.
inline void referenceTables(const UniverseRule& rule, uint8_t even[512], uint8_t odd[512])
{
    for (int i = 0; i < 512; i++) {
        even[i] = odd[i] = rule.next[i];
        if (rule.next[0] && !rule.next[511]) {
            even[i] = 1 - rule.next[i];
            odd[i] = rule.next[511 - i];
        } else if (rule.next[0]) {
            even[i] = odd[i] = 1 - rule.next[511 - i];
        }
    }
}

// Where a neighbour of a grid cell lies, read off the help page's diagrams (but a twisted
// edge's shift as bgolly runs it: one cell the other way): grid-relative (i, j), false for a
// plane's dead rim.
inline bool referenceWrap(const LifeGridShape& g, int64_t& i, int64_t& j)
{
    int64_t w = g.width, h = g.height;
    bool outX = w && (i < 0 || i >= w), outY = h && (j < 0 || j >= h);
    if (!outX && !outY)
        return true;
    switch (g.topology) {
    case LIFE_PLANE:
        return false;
    case LIFE_SPHERE: {
        if (outX && outY) {  // corners: the nearest grid corner
            i = i < 0 ? 0 : w - 1;
            j = j < 0 ? 0 : h - 1;
        } else if (j < 0 || i < 0) {  // top edge joined to the left edge
            std::swap(i, j);
            if (i < 0) {
                i = 0;
            } else {
                j = 0;
            }
        } else {  // right edge joined to the bottom edge
            std::swap(i, j);
            if (i >= w) {
                i = w - 1;
            } else {
                j = h - 1;
            }
        }
        return true;
    }
    default: {
        bool twistX = g.topology == LIFE_CROSS || (g.topology == LIFE_KLEIN && g.twistX);
        bool twistY = g.topology == LIFE_CROSS || (g.topology == LIFE_KLEIN && g.twistY);
        if (outY) {
            int64_t side = j < 0 ? -1 : 1;
            j -= side * h;
            i = twistX ? (w - 1 - i - (g.shiftX != 0)) : i + side * g.shiftX;
        }
        if (w && (i < 0 || i >= w)) {
            int64_t side = i < 0 ? -1 : 1;
            i -= side * w;
            j = twistY ? (h - 1 - j - (g.shiftY != 0)) : j + side * g.shiftY;
        }
        if (w) i = ((i % w) + w) % w;
        if (h) j = ((j % h) + h) % h;
        return true;
    }
    }
}

inline Cells referenceStep(const Cells& cells, const uint8_t table[512], const LifeGridShape& g)
{
    int64_t left = -(g.width / 2), top = -(g.height / 2);
    // Every cell that may see a live one, across the joined edges too.
    std::set<Cell> candidates;
    for (auto& c : cells)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                candidates.insert({c.first + dy, c.second + dx});
                int64_t i = c.second + dx - left, j = c.first + dy - top;
                if (g.topology != LIFE_UNBOUNDED && referenceWrap(g, i, j))
                    candidates.insert({j + top, i + left});
            }
    if (g.width && g.height)
        for (int64_t j = 0; j < g.height; j++)
            for (int64_t i = 0; i < g.width; i++)
                candidates.insert({j + top, i + left});
    Cells next;
    for (auto& c : candidates) {
        int64_t i0 = c.second - left, j0 = c.first - top;
        if (g.topology != LIFE_UNBOUNDED && ((g.width && (i0 < 0 || i0 >= g.width)) || (g.height && (j0 < 0 || j0 >= g.height))))
            continue;
        int index = 0;
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                int64_t i = i0 + dx, j = j0 + dy;
                if (g.topology != LIFE_UNBOUNDED && !referenceWrap(g, i, j))
                    continue;
                if (g.topology == LIFE_UNBOUNDED) {
                    i = i0 + dx;
                    j = j0 + dy;
                }
                if (cells.count({j + top, i + left}))
                    index |= 1 << ((dy + 1) * 3 + dx + 1);
            }
        if (table[index])
            next.insert(c);
    }
    return next;
}

// The first few cells in one set and not the other, for a failure message.
inline std::string difference(const Cells& ours, const Cells& expected)
{
    std::string text;
    int shown = 0;
    for (auto& c : ours)
        if (!expected.count(c) && shown++ < 8)
            text += " extra (" + std::to_string(c.second) + "," + std::to_string(c.first) + ")";
    for (auto& c : expected)
        if (!ours.count(c) && shown++ < 16)
            text += " missing (" + std::to_string(c.second) + "," + std::to_string(c.first) + ")";
    return text;
}

// The cells as an RLE file whose '#CXRLE Pos' line places them.
inline std::string rleOf(const Cells& cells, const std::string& rule)
{
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (auto& c : cells) {
        left = std::min(left, c.second);
        right = std::max(right, c.second);
        top = std::min(top, c.first);
        bottom = std::max(bottom, c.first);
    }
    std::string text = "#CXRLE Pos=" + std::to_string(left) + "," + std::to_string(top) + "\n";
    text += "x = " + std::to_string(right - left + 1) + ", y = " + std::to_string(bottom - top + 1) + ", rule = " + rule + "\n";
    for (int64_t y = top; y <= bottom; y++) {
        for (int64_t x = left; x <= right; x++)
            text += cells.count({y, x}) ? 'o' : 'b';
        text += y < bottom ? "$\n" : "!\n";
    }
    return text;
}

inline Universe* universeOf(const UniverseRule& rule, const Cells& cells)
{
    Universe* u = universeCreate(&rule);
    EXPECT_NE(u, nullptr);
    for (auto& c : cells)
        EXPECT_EQ(universeSetCell(u, (int32_t)c.second, (int32_t)c.first, 1), 1);
    return u;
}

inline Cells soup(std::mt19937& random, int64_t left, int64_t top, int w, int h, int percent)
{
    Cells cells;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if ((int)(random() % 100) < percent)
                cells.insert({top + y, left + x});
    return cells;
}

// Runs engine and reference side by side, comparing after each of the given generations.
inline void compareRuns(const UniverseRule& rule, const Cells& start, int generations, const std::string& what)
{
    uint8_t tables[2][512];
    referenceTables(rule, tables[0], tables[1]);
    Universe* u = universeOf(rule, start);
    Cells cells = start;
    for (int g = 1; g <= generations; g++) {
        cells = referenceStep(cells, tables[(g - 1) & 1], rule.grid);
        ASSERT_EQ(universeStep(u), 1);
        if (g == 1 || g == 10 || g == generations) {
            Cells ours = cellsOf(u);
            ASSERT_TRUE(ours == cells) << what << " generation " << g << ":" << difference(ours, cells);
        }
    }
    EXPECT_EQ(universeGeneration(u), generations);
    universeRelease(u);
}

inline UniverseRule randomRule(std::mt19937& random, bool totalistic, bool b0)
{
    UniverseRule rule{};
    if (totalistic) {
        std::string birth, survive;
        for (int n = 1; n <= 8; n++) {
            // Birth on one or two neighbours floods the plane, which only slows the reference.
            if (n >= 3 && random() % 3 == 0) birth += (char)('0' + n);
            if (random() % 2 == 0) survive += (char)('0' + n);
        }
        if (b0) birth += '0';
        if (random() % 2) survive += '0';
        rule = ruleOf(birth.c_str(), survive.c_str());
    } else {
        for (int i = 0; i < 512; i++)
            rule.next[i] = (random() % 4) == 0;
        rule.next[0] = b0;
    }
    return rule;
}

} // namespace universe_model
