// Macrocell files of rules of more states, whose leaves are 2 x 2 squares of
// states ("1 nw ne sw se"): read cell for cell and state for state as bgolly
// wrote them, loaded into the multi-state engine, hostile trees refused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <utility>

#include "pattern/pattern.h"
#include "support/support.h"

namespace {

using States = std::map<std::pair<int64_t, int64_t>, int>; // (x, y) -> state

// Where the file puts each cell, with its state.
States placedStates(const Pattern& p)
{
    States states;
    for (int32_t k = 0; k < p.count; k++)
        states[{p.left + p.cells[k].x, p.top + p.cells[k].y}] = p.states ? p.states[k] : 1;
    return states;
}

States worldStates(const World* world)
{
    States states;
    worldForEachState(
        world, [](void* c, int64_t x, int64_t y, int s) { (*(States*)c)[{x, y}] = s; }, &states);
    return states;
}

std::string parseFailure(const std::string& text)
{
    Pattern p;
    PatternError e = {0, ""};
    if (parsePattern(PATTERN_MACROCELL, text.data(), text.size(), &p, &e)) {
        patternRelease(&p);
        return "";
    }
    return e.message;
}

// "." for 0, "A" to "X" for 1 to 24, then "pA" on.
std::string stateText(int state)
{
    if (state == 0)
        return ".";
    if (state <= 24)
        return std::string(1, (char)('A' + state - 1));
    return std::string(1, (char)('p' + (state - 25) / 24)) + (char)('A' + (state - 25) % 24);
}

TEST(PatternMacrocellStates, LeavesOfStatesReadWhereTheFilePutsThem)
{
    // The root is 4 x 4 from (-2, -1); its ne quarter the leaf.
    Pattern p;
    PatternError e = {0, ""};
    const std::string text = "[M2] (golly 3.3)\n#R WireWorld\n1 0 1 2 3\n2 0 1 0 0\n";
    ASSERT_EQ(parsePattern(PATTERN_MACROCELL, text.data(), text.size(), &p, &e), 1) << e.message;
    EXPECT_STREQ(p.rule, "WireWorld");
    EXPECT_EQ(p.maxState, 3);
    EXPECT_EQ(placedStates(p), (States{{{1, -1}, 1}, {{0, 0}, 2}, {{1, 0}, 3}}));
    patternRelease(&p);
}

TEST(PatternMacrocellStates, HostileTreesRefusedWithAReason)
{
    const std::pair<const char*, const char*> refused[] = {
        {"[M2]\n1 0 0 0 256\n", "four states from 0 to 255"},
        {"[M2]\n1 0 0 1\n", "four states from 0 to 255"},
        {"[M2]\n1 0 0 0 1 7\n", "unexpected text after the leaf's four states"},
        {"[M2]\n0 0 0 0 0\n", "levels start at 1"},
        {"[M2]\n2 0 0 0 0\n", "needs leaves of 2 x 2 states"},
        {"[M2]\n1 0 0 0 1\n*\n", "a leaf of 8 x 8 cells in a file of leaves of 2 x 2 states"},
        {"[M2]\n*\n1 0 0 0 1\n", "a leaf of 2 x 2 states in a file of leaves of 8 x 8 cells"},
        {"[M2]\n1 0 0 0 1\n3 1 0 0 0\n", "needs children of level 2"},
        {"[M2]\n1 0 0 0 1\n2 1 0 0 3\n", "refers to node 3"},
    };
    for (auto& r : refused)
        EXPECT_NE(parseFailure(r.first).find(r.second), std::string::npos) << r.first << parseFailure(r.first);

    // A few lines doubling the square each time name more cells than the budget allows.
    std::string doubling = "[M2]\n1 1 1 1 1\n";
    for (int level = 2; level <= 40; level++) {
        const std::string child = std::to_string(level - 1);
        doubling += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
    }
    EXPECT_NE(parseFailure(doubling).find("refused"), std::string::npos) << parseFailure(doubling);
}

TEST(PatternMacrocellStates, LoadedIntoTheMultiStateEngine)
{
    TempDir dir;
    writeFile("wire.mc", "[M2] (golly 3.3)\n#R WireWorld\n#G 7\n1 0 1 2 3\n2 0 1 0 0\n");
    PatternReport report;
    PatternError error;
    World* world = patternLoadWorld("wire.mc", &report, &error, nullptr);
    ASSERT_NE(world, nullptr) << error.message;
    EXPECT_EQ(world->states, 4);
    EXPECT_EQ(worldStates(world), (States{{{1, -1}, 1}, {{0, 0}, 2}, {{1, 0}, 3}}));
    worldRelease(world);
    writeFile("more.mc", "[M2]\n#R WireWorld\n1 0 1 2 4\n2 0 1 0 0\n");
    EXPECT_EQ(patternLoadWorld("more.mc", &report, &error, nullptr), nullptr);
    EXPECT_NE(std::string(error.message).find("states up to 4, but its rule WireWorld has 4"), std::string::npos)
        << error.message;
}

// A Life.ini written as a macrocell of states is listed into the world of
// Rules.ini's rule, never built on hashlife; a two-state rule keeps state 1.
TEST(PatternMacrocellStates, ALifeIniOfStatesIsListed)
{
    TempDir dir;
    writeFile("Life.ini", "[M2]\n1 0 1 2 3\n2 0 1 0 0\n");
    writeFile("Rules.ini", "WireWorld\n");
    WorldLoadNotes notes;
    World* world = worldLoadFiles(&notes);
    ASSERT_NE(world, nullptr) << lifeLoadReason();
    EXPECT_EQ(worldStates(world), (States{{{1, -1}, 1}, {{0, 0}, 2}, {{1, 0}, 3}}));
    worldRelease(world);
    writeFile("Rules.ini", "B3/S23\n");
    world = worldLoadFiles(&notes);
    ASSERT_NE(world, nullptr) << lifeLoadReason();
    EXPECT_STRNE(worldEngineName(world), "hashlife");
    EXPECT_EQ(worldStates(world), (States{{{1, -1}, 1}}));
    worldRelease(world);
}

// Soups of every state written by bgolly as macrocell, at generation 0 and
// on, read back to the cells and states it lists in RLE.
TEST(PatternMacrocellStates, BgollysFilesReadBackToItsCells)
{
    if (access("/usr/bin/bgolly", X_OK) != 0)
        GTEST_SKIP() << "bgolly is not installed (Debian package golly)";
    TempDir dir;
    struct Case {
        const char* rule;
        const char* algorithm;
        int states;
    };
    const Case cases[] = {{"WireWorld", "RuleLoader -s /usr/share/golly/Rules/", 4},
        {"345/2/60", "Generations", 60}, {"JvN29", "JvN", 29}};
    std::mt19937 random(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const int side = 21, left = -13, top = 5;
        States soup;
        std::string rle = "#CXRLE Pos=" + std::to_string(left) + "," + std::to_string(top) + "\nx = " +
                          std::to_string(side) + ", y = " + std::to_string(side) + ", rule = " + c.rule + "\n";
        for (int y = 0; y < side; y++) {
            for (int x = 0; x < side; x++) {
                const int state = random() % 3 ? 0 : 1 + (int)(random() % (unsigned)(c.states - 1));
                if (state)
                    soup[{left + x, top + y}] = state;
                rle += stateText(state);
            }
            rle += y + 1 < side ? "$\n" : "!\n";
        }
        writeFile("in.rle", rle);
        for (int g : {0, 5}) {
            std::string out;
            const std::string run = "/usr/bin/bgolly -q -q -a " + std::string(c.algorithm) + " -m " +
                                    std::to_string(g) + " -o out.mc in.rle 2>&1";
            ASSERT_EQ(runCommand(run, &out), 0) << run << "\n" << out;
            const std::string mc = readFile("out.mc");
            Pattern p;
            PatternError e = {0, ""};
            ASSERT_EQ(parsePattern(PATTERN_MACROCELL, mc.data(), mc.size(), &p, &e), 1) << e.message << "\n" << mc;
            EXPECT_STREQ(p.rule, c.rule);
            if (g == 0) {
                EXPECT_EQ(placedStates(p), soup);
            } else {
                // bgolly's own RLE of the same generation, which gives no position: both from their box's corner.
                const std::string again = "/usr/bin/bgolly -q -q -a " + std::string(c.algorithm) + " -m " +
                                          std::to_string(g) + " -o out.rle in.rle 2>&1";
                ASSERT_EQ(runCommand(again, &out), 0) << out;
                const std::string text = readFile("out.rle");
                Pattern q;
                ASSERT_EQ(parsePattern(PATTERN_RLE, text.data(), text.size(), &q, &e), 1) << e.message;
                p.left = p.top = q.left = q.top = 0;
                EXPECT_EQ(placedStates(p), placedStates(q));
                EXPECT_GT(q.count, 0);
                patternRelease(&q);
            }
            patternRelease(&p);
        }
    }
}

} // namespace
