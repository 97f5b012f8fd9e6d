// Files of more than two states: RLE's state letters and MCell's files read,
// loaded into worlds of their rules (found beside the file or carried in it),
// refused when their states do not fit the rule, and written as Life.ini and
// Rules.ini that start-up reads back as they were.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "pattern/pattern.h"
#include "support/support.h"

namespace {

using States = std::map<std::pair<int, int>, int>; // (x, y) -> state

States statesOf(const Pattern& p)
{
    States states;
    for (int32_t k = 0; k < p.count; k++)
        states[{p.cells[k].x, p.cells[k].y}] = p.states ? p.states[k] : 1;
    return states;
}

States worldStates(const World* world)
{
    States states;
    worldForEachState(
        world, [](void* c, int64_t x, int64_t y, int s) { (*(States*)c)[{(int)x, (int)y}] = s; }, &states);
    return states;
}

int parsed(PatternFormat format, const std::string& text, Pattern* p, std::string* message = nullptr)
{
    PatternError e = {0, ""};
    const int ok = parsePattern(format, text.data(), text.size(), p, &e);
    if (message)
        *message = e.message;
    return ok;
}

// A table of three states: a cell in state 1 next to state 2 turns 2, 2 turns 0.
const char mineRule[] = "@RULE Mine\n@TABLE\nn_states:3\nneighborhood:vonNeumann\nsymmetries:rotate4\n"
                        "var a={0,1,2}\nvar b={0,1,2}\nvar c={0,1,2}\nvar d={0,1,2}\n"
                        "1,2,0,0,0,2\n2,a,b,c,d,0\n";

TEST(PatternStates, RunLengthStateLettersAndPrefixes)
{
    Pattern p;
    ASSERT_EQ(parsed(PATTERN_RLE, "x = 6, y = 2, rule = 345/2/4\n.A2B$pAxAyOo.x!\n", &p), 1);
    EXPECT_EQ(p.maxState, 255);
    EXPECT_EQ(statesOf(p), (States{{{1, 0}, 1}, {{2, 0}, 2}, {{3, 0}, 2}, {{0, 1}, 25}, {{1, 1}, 217},
                               {{2, 1}, 255}, {{3, 1}, 1}, {{5, 1}, 1}}));
    patternRelease(&p);
    // A two-state file keeps no states.
    ASSERT_EQ(parsed(PATTERN_RLE, "x = 2, y = 1\nbo!\n", &p), 1);
    EXPECT_EQ(p.states, nullptr);
    EXPECT_EQ(p.maxState, 1);
    patternRelease(&p);
}

TEST(PatternStates, McellFilesAndTheirRules)
{
    Pattern p;
    std::string why;
    ASSERT_EQ(parsed(PATTERN_MCELL, "#MCell 4.20\n#GAME Generations\n#RULE 345/2/4\n#BOARD 80x60\n#WRAP 1\n"
                                     "#D a row runs on over #L lines\n#L .A2\n#L B$bC$\n#L 3.A\n", &p, &why), 1)
        << why;
    EXPECT_STREQ(p.rule, "345/2/4:T80,60");
    EXPECT_EQ(p.format, PATTERN_MCELL);
    EXPECT_EQ(statesOf(p), (States{{{1, 0}, 1}, {{2, 0}, 2}, {{3, 0}, 2}, {{0, 1}, 51}, {{3, 2}, 1}}));
    EXPECT_EQ(p.left, -2);
    EXPECT_EQ(p.top, -1);
    patternRelease(&p);
    ASSERT_EQ(parsed(PATTERN_MCELL, "#MCell 4.20\n#GAME Rules table\n#GOLLY WireWorld\n#RULE 1,0,0\n#RULE 0,3\n"
                                     "#BOARD 400x200\n#WRAP 0\n#L CCA$\n", &p), 1);
    EXPECT_STREQ(p.rule, "WireWorld:P400,200");
    patternRelease(&p);
    ASSERT_EQ(parsed(PATTERN_MCELL, "#MCell 4.20\n#GAME Generations\n#RULE /2/3\n#L A\n", &p), 1);
    EXPECT_STREQ(p.rule, "/2/3");
    patternRelease(&p);
    EXPECT_EQ(detectFormat("#MCell 2.0\n", 11, nullptr), PATTERN_MCELL);
    EXPECT_EQ(detectFormat("#D\n", 3, "x.mcl"), PATTERN_MCELL);
    for (auto bad : {std::make_pair("#MCell\n#GAME Cyclic CA\n#RULE 5\n#L A\n", "'Cyclic CA' is not one"),
             std::make_pair("#MCell\n#GAME Rules table\n#RULE 1,0\n#L A\n", "'Rules table' is not one"),
             std::make_pair("#MCell\n#GAME Generations\n#L A\n", "names no rule"),
             std::make_pair("#MCell\n#GAME Generations\n#RULE /2/3\n#L AZ\n", "unexpected 'Z'"),
             std::make_pair("#MCell\n#GAME Generations\n#RULE /2/3\n#L jX\n", "unexpected"),
             std::make_pair("#GAME Generations\n#L A\n", "begins with '#MCell'")}) {
        EXPECT_EQ(parsed(PATTERN_MCELL, bad.first, &p, &why), 0) << bad.first;
        EXPECT_NE(why.find(bad.second), std::string::npos) << why;
        EXPECT_EQ(p.cells, nullptr);
    }
}

TEST(PatternStates, LoadedIntoWorldsOfTheirRulesOrRefused)
{
    TempDir dir;
    PatternReport report;
    PatternError error;
    writeFile("brain.rle", "#CXRLE Pos=-1,-1\nx = 3, y = 2, rule = B2/S/C3\nABA$.B!\n");
    World* world = patternLoadWorld("brain.rle", &report, &error, nullptr);
    ASSERT_NE(world, nullptr) << error.message;
    EXPECT_EQ(world->states, 3);
    EXPECT_STREQ(report.ruleName, "B2/S/C3");
    EXPECT_EQ(worldStates(world), (States{{{-1, -1}, 1}, {{0, -1}, 2}, {{1, -1}, 1}, {{0, 0}, 2}}));
    worldRelease(world);

    // A rule beside the file, and one the file carries after its cells.
    makeFolder("far");
    writeFile("far/Mine.rule", mineRule);
    writeFile("far/mine.rle", "x = 2, y = 1, rule = Mine\nAB!\n");
    world = patternLoadWorld("far/mine.rle", &report, &error, nullptr);
    ASSERT_NE(world, nullptr) << error.message;
    EXPECT_EQ(world->states, 3);
    ASSERT_EQ(worldStep(world, 1), 1);
    EXPECT_EQ(worldStates(world), (States{{{0, 0}, 2}}));
    worldRelease(world);
    writeFile("carried.rle", std::string("x = 2, y = 1, rule = Mine\nAB!\n") + mineRule);
    world = patternLoadWorld("carried.rle", &report, &error, nullptr);
    ASSERT_NE(world, nullptr) << error.message;
    EXPECT_EQ(world->states, 3);
    worldRelease(world);

    const std::pair<const char*, const char*> refused[] = {
        {"x = 2, y = 1\nAB!\n", "states up to 2, but its rule B3/S23 has two"},
        {"x = 2, y = 1, rule = WireWorld\nAE!\n", "states up to 5, but its rule WireWorld has 4"},
        {"x = 2, y = 1, rule = Nowhere\nAB!\n", "no Nowhere.rule was found"},
    };
    for (auto& r : refused) {
        writeFile("bad.rle", r.first);
        EXPECT_EQ(patternLoadWorld("bad.rle", &report, &error, nullptr), nullptr) << r.first;
        EXPECT_NE(std::string(error.message).find(r.second), std::string::npos) << error.message;
    }
    writeFile("bad.rle", "x = 2, y = 1, rule = 345/2/4\nAB!\n");
    const PatternOptions board = {0, 0, 0, 0, 1};
    EXPECT_EQ(patternConvertFile("bad.rle", &board, &report, &error), 0);
    EXPECT_NE(std::string(error.message).find("the board shows two states"), std::string::npos) << error.message;
}

// Life.ini gives each cell its state; a rule start-up would not find is written beside it.
TEST(PatternStates, WrittenFilesReadBackAsTheyWere)
{
    TempDir dir;
    makeFolder("far");
    writeFile("far/Mine.rule", mineRule);
    writeFile("far/mine.rle", "#CXRLE Pos=5,-3\nx = 3, y = 2, rule = Mine:T20,10\nABA$.B!\n");
    writeFile("life.mcl", "#MCell 2.0\n#GAME Larger than Life\n#RULE R2,C4,M1,S3..6,B3..4,NM\n#L A.BC\n");
    const PatternOptions universe = {0, 0, 0, 0, 0};
    for (const char* path : {"far/mine.rle", "life.mcl"}) {
        SCOPED_TRACE(path);
        PatternReport report;
        PatternError error;
        World* loaded = patternLoadWorld(path, &report, &error, nullptr);
        ASSERT_NE(loaded, nullptr) << error.message;
        ASSERT_EQ(patternConvertFile(path, &universe, &report, &error), 1) << error.message;
        WorldLoadNotes notes;
        World* read = worldLoadFiles(&notes);
        ASSERT_NE(read, nullptr) << lifeLoadReason();
        EXPECT_EQ(notes.ruleNamed, 1);
        EXPECT_STREQ(read->ruleName, loaded->ruleName);
        EXPECT_EQ(worldStates(read), worldStates(loaded));
        ASSERT_EQ(worldStep(read, 3), 1);
        ASSERT_EQ(worldStep(loaded, 3), 1);
        EXPECT_EQ(worldStates(read), worldStates(loaded));
        worldRelease(read);
        worldRelease(loaded);
    }
    EXPECT_EQ(readFile("Mine.rule"), mineRule);
    EXPECT_EQ(readFile("Rules.ini"), "R2,C4,M1,S3..6,B3..4,NM\n");
}

} // namespace
