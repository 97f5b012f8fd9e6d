// The multi-state engine against bgolly, Debian's batch runner of the
// community's program, as the outside oracle: random soups of every state
// under Generations, Larger than Life and rule tables and trees, on the plane
// and on bounded grids, cell for cell and state for state.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "life/states.h"
#include "life/world.h"
#include "pattern/pattern.h"
#include "support/support.h"

namespace {

using Cells = std::map<std::pair<int64_t, int64_t>, int>; // (y, x) -> state

// A state as RLE writes it: "." for 0, "A" to "X" for 1 to 24, then "pA" ..
std::string stateText(int state)
{
    if (state == 0)
        return ".";
    if (state <= 24)
        return std::string(1, (char)('A' + state - 1));
    return std::string(1, (char)('p' + (state - 25) / 24)) + (char)('A' + (state - 25) % 24);
}

std::string rleOf(const Cells& cells, const std::string& rule)
{
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (auto& c : cells) {
        left = std::min(left, c.first.second);
        right = std::max(right, c.first.second);
        top = std::min(top, c.first.first);
        bottom = std::max(bottom, c.first.first);
    }
    std::string text = "#CXRLE Pos=" + std::to_string(left) + "," + std::to_string(top) + "\n";
    text += "x = " + std::to_string(right - left + 1) + ", y = " + std::to_string(bottom - top + 1) +
            ", rule = " + rule + "\n";
    for (int64_t y = top; y <= bottom; y++) {
        for (int64_t x = left; x <= right; x++) {
            auto at = cells.find({y, x});
            text += stateText(at == cells.end() ? 0 : at->second);
        }
        text += y < bottom ? "$\n" : "!\n";
    }
    return text;
}

// bgolly's output has no position: cells relative to their box's top-left.
Cells rleCells(const std::string& text)
{
    Cells cells;
    size_t at = 0;
    while (at < text.size() && (text[at] == '#' || text[at] == 'x')) {
        at = text.find('\n', at);
        if (at == std::string::npos)
            return cells;
        at++;
    }
    int64_t x = 0, y = 0, run = 0;
    int prefix = 0;
    for (; at < text.size() && text[at] != '!'; at++) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            run = run * 10 + (c - '0');
            continue;
        }
        if (c >= 'p' && c <= 'y') {
            prefix = c - 'p' + 1;
            continue;
        }
        const int64_t n = run ? run : 1;
        run = 0;
        if (c == 'b' || c == '.')
            x += n;
        else if (c == '$')
            y += n, x = 0;
        else if (c == 'o' || (c >= 'A' && c <= 'X')) {
            const int state = c == 'o' ? 1 : prefix * 24 + (c - 'A' + 1);
            for (int64_t k = 0; k < n; k++)
                cells[{y, x++}] = state;
        }
        prefix = 0;
    }
    return cells;
}

Cells boxRelative(const Cells& cells)
{
    int64_t left = INT64_MAX, top = INT64_MAX;
    for (auto& c : cells) {
        left = std::min(left, c.first.second);
        top = std::min(top, c.first.first);
    }
    Cells moved;
    for (auto& c : cells)
        moved[{c.first.first - top, c.first.second - left}] = c.second;
    return moved;
}

Cells cellsOf(const World* world)
{
    Cells cells;
    worldForEachState(
        world, [](void* c, int64_t x, int64_t y, int state) { (*(Cells*)c)[{y, x}] = state; }, &cells);
    return cells;
}

struct StatesBgolly : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        if (access("/usr/bin/bgolly", X_OK) != 0)
            GTEST_SKIP() << "bgolly is not installed (Debian package golly)";
    }

    // Soups of a few densities stepped by both to each of the generations asked. On a
    // bounded grid the soup fills the grid, so that both place it the same.
    // theirs: the rule as bgolly reads it, when not as rule is written (it knows
    // Generations only in the S/B/C form).
    void agree(const char* rule, const char* theirs, const char* algorithm, const std::string& searched,
        int soupSide, std::initializer_list<int> generations)
    {
        SCOPED_TRACE(rule);
        StatesRuleSource source = {"", nullptr, 0};
        StatesRule parsed;
        char reason[256];
        ASSERT_EQ(statesRuleParse(rule, &source, &parsed, reason, sizeof reason), 1) << reason;
        const int states = parsed.states;
        const LifeGridShape grid = parsed.grid;
        statesRuleRelease(&parsed);
        const int w = grid.width ? grid.width : soupSide, h = grid.height ? grid.height : soupSide;
        std::mt19937 random(7);
        for (int percent : {25, 50}) {
            Cells start;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    if ((int)(random() % 100) < percent)
                        start[{y - h / 2, x - w / 2}] = 1 + (int)(random() % (unsigned)(states - 1));
            // The corners fix the box bgolly reads.
            for (auto corner : {std::make_pair(-h / 2, -w / 2), std::make_pair(h - 1 - h / 2, w - 1 - w / 2)})
                start[{corner.first, corner.second}] = 1;
            writeFile("in.rle", rleOf(start, theirs ? theirs : rule));
            char reason2[256];
            StatesRule again;
            ASSERT_EQ(statesRuleParse(rule, &source, &again, reason2, sizeof reason2), 1);
            World* world = statesWorldCreate(&again, reason2, sizeof reason2);
            statesRuleRelease(&again);
            ASSERT_NE(world, nullptr);
            for (auto& c : start)
                ASSERT_EQ(worldSetCell(world, c.first.second, c.first.first, c.second), 1);
            for (int g : generations) {
                std::string out;
                const std::string command = "/usr/bin/bgolly -q -q -a \"" + std::string(algorithm) + "\" " + searched +
                                            " -m " + std::to_string(g) + " -o out.rle in.rle 2>&1";
                ASSERT_EQ(runCommand(command, &out), 0) << command << "\n" << out;
                ASSERT_EQ(worldStep(world, g - worldGeneration(world)), 1) << world->failure;
                EXPECT_EQ(boxRelative(cellsOf(world)), rleCells(readFile("out.rle")))
                    << rule << " at " << percent << "% generation " << g;
            }
            worldRelease(world);
        }
    }
};

TEST_F(StatesBgolly, GenerationsOnThePlaneAndBoundedGrids)
{
    const char* rules[][2] = {{"345/2/4", nullptr}, {"B2/S/C3", "/2/3"}, {"/2/3", nullptr}, {"B3/S23/C8", "23/3/8"},
        {"B36/S125/C5", "125/36/5"}, {"12/34/5", nullptr}, {"B2ce3/S23-a/C4", "23-a/2ce3/4"},
        {"B2/S/C3:T40,30", "/2/3:T40,30"}, {"345/2/4:P40,30", nullptr}, {"B36/S125/C5:K40*,30", "125/36/5:K40*,30"},
        {"B3/S23/C6:C40,30", "23/3/6:C40,30"}, {"B2/S/C3:S36", "/2/3:S36"}, {"B2/S/C3:T40+3,30", "/2/3:T40+3,30"}, {"23/3/8V", nullptr}, {"B3/S23/C5H", "23/3/5H"}};
    for (auto& rule : rules)
        agree(rule[0], rule[1], "Generations", "", 32, {1, 10, 100});
}

TEST_F(StatesBgolly, LargerThanLifeOnThePlaneAndBoundedGrids)
{
    for (const char* rule : {"R2,C0,M1,S5..9,B6..8,NM", "R3,C4,M0,S3..6,B3..4,NN", "R5,C0,M1,S34..58,B34..45,NM",
             "R2,C3,M1,S4..8,B5..7,NM:T60,50", "R3,C0,M1,S6..14,B7..12,NM:P60,50", "R2,C0,M0,S2..4,B3..4,NN:T50,40",
             "R3,C0,M1,S7..12,B6..9,NC", "5,34,45,34,58", "R2,C0,M1,S5..9,B6..8,NM:T0,50",
             "R2,C3,M1,S4..8,B5..7,NM:P60,0"})
        agree(rule, nullptr, "Larger than Life", "", 40, {1, 10, 100});
}

TEST_F(StatesBgolly, RuleTablesAndTreesOnThePlaneAndBoundedGrids)
{
    const std::string searched = "-s /usr/share/golly/Rules/";
    for (const char* rule : {"WireWorld", "LifeHistory", "WireWorld:T40,30", "LifeHistory:P40,30"})
        agree(rule, nullptr, "RuleLoader", searched, 32, {1, 10, 100});
    // Tables and trees of golly's own folder: four and eight neighbours, many states.
    if (access("/usr/share/golly/Rules/Byl-Loop.rule", R_OK) != 0)
        GTEST_SKIP() << "golly's rules are not installed";
    for (const char* rule : {"Byl-Loop", "Codd", "Evoloop", "BriansBrain", "Langtons-Ant", "Worm-1040512",
             "Perrier", "StarWars", "Caterpillars:T40,30"})
        agree(rule, nullptr, "RuleLoader", searched, 32, {1, 10, 100});
}

// Soups of every state: transmission, confluent and sensitised cells meet in
// every arrangement, and the 32-state rules' crossings and kept bits;
// Hutton's tips writing, turning and retracting, several writers at once.
TEST_F(StatesBgolly, VonNeumannsFamilyOnThePlaneAndBoundedGrids)
{
    for (const char* rule : {"JvN29", "Nobili32", "Hutton32", "JvN29:T40,30", "Nobili32:P40,30", "Hutton32:T40,30"})
        agree(rule, nullptr, "JvN", "", 32, {1, 10, 100});
    // Several writers at one cell are rare: a wider soup meets them.
    agree("Hutton32", nullptr, "JvN", "", 160, {1, 10, 100});
}

// The community's machines in the family, read where golly's package keeps
// them (RLE, gzip, and macrocell of states), each run beside bgolly. (The
// loop replicator's 4.2 million cells are left to the corpus run.)
TEST_F(StatesBgolly, VonNeumannsFamilySamples)
{
    const std::string folder = "/usr/share/golly/Patterns/Self-Rep/JvN/";
    if (access((folder + "counter-demo.rle").c_str(), R_OK) != 0)
        GTEST_SKIP() << "golly's patterns are not installed";
    for (const char* name : {"counter-demo.rle", "cell-coders-demo.rle", "read-arm-demo.rle",
             "sphinx.mc.gz", "partial-constructor.mc.gz", "construction-arm-demo.rle",
             "NP-replicator.rle.gz", "codon5-auto-retract.rle", "golly-constructor.rle",
             "Hutton-replicator.rle"}) {
        SCOPED_TRACE(name);
        const std::string path = folder + name;
        PatternReport report;
        PatternError error;
        World* world = patternLoadWorld(path.c_str(), &report, &error, nullptr);
        ASSERT_NE(world, nullptr) << error.message;
        for (int g : {1, 10, 100}) {
            std::string out;
            const std::string command =
                "/usr/bin/bgolly -q -q -a JvN -m " + std::to_string(g) + " -o out.rle " + path + " 2>&1";
            ASSERT_EQ(runCommand(command, &out), 0) << command << "\n" << out;
            ASSERT_EQ(worldStep(world, g - worldGeneration(world)), 1) << world->failure;
            EXPECT_EQ(boxRelative(cellsOf(world)), rleCells(readFile("out.rle"))) << name << " generation " << g;
        }
        worldRelease(world);
    }
}

} // namespace
