// What the hashlife tests share: worlds filled from and read into cell sets
// in the universe model's (y, x) order, and the two engines made for one rule.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "life/world.h"
#include "universe_model.h"

namespace hashlife_support {

using universe_model::Cell;
using universe_model::Cells;

inline UniverseRule parsedRule(const std::string& text)
{
    UniverseRule rule{};
    char reason[256];
    EXPECT_EQ(universeRuleParse(text.c_str(), &rule, reason, sizeof reason), 1) << reason;
    return rule;
}

inline World* hashlifeOf(const UniverseRule& rule)
{
    char reason[WORLD_REASON] = "";
    World* world = hashlifeWorldCreate(&rule, reason, sizeof reason);
    EXPECT_NE(world, nullptr) << reason;
    return world;
}

inline void fill(World* world, const Cells& cells)
{
    for (const Cell& c : cells)
        ASSERT_EQ(worldSetCell(world, c.second, c.first, 1), 1) << c.second << "," << c.first;
}

// The cells as the world lists them, which must be in row order.
inline std::vector<Cell> listed(const World* world)
{
    std::vector<Cell> cells;
    const int64_t count = worldForEachCell(
        world, [](void* context, int64_t x, int64_t y) { ((std::vector<Cell>*)context)->push_back({y, x}); }, &cells);
    EXPECT_EQ(count, (int64_t)cells.size());
    return cells;
}

inline Cells cellsOf(const World* world)
{
    const std::vector<Cell> list = listed(world);
    Cells cells(list.begin(), list.end());
    EXPECT_EQ(cells.size(), list.size()) << "a cell listed twice";
    EXPECT_TRUE(std::equal(list.begin(), list.end(), cells.begin())) << "cells not listed in row order";
    EXPECT_EQ(worldPopulation(world), (int64_t)cells.size());
    return cells;
}

} // namespace hashlife_support
