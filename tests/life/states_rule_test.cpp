// Reading rules of more than two states: the Generations and Larger than Life
// notations to their canonical names and limits, rule tables and trees to the
// transition function they mean (worked out here by hand), where a named rule
// is looked for, and hostile files refused with a reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "life/states.h"
#include "support/support.h"

namespace {

StatesRule parsed(const std::string& text, const char* folder = "")
{
    StatesRuleSource source = {folder, nullptr, 0};
    StatesRule rule = {};
    char reason[512] = "";
    EXPECT_EQ(statesRuleParse(text.c_str(), &source, &rule, reason, sizeof reason), 1) << text << ": " << reason;
    return rule;
}

// The states of the rule as read from folder, the rule let go.
int statesOf(const std::string& text, const char* folder)
{
    StatesRule rule = parsed(text, folder);
    const int states = rule.states;
    statesRuleRelease(&rule);
    return states;
}

std::string refusal(const std::string& text, const char* folder = "")
{
    StatesRuleSource source = {folder, nullptr, 0};
    StatesRule rule = {};
    char reason[512] = "untouched";
    EXPECT_EQ(statesRuleParse(text.c_str(), &source, &rule, reason, sizeof reason), 0) << text;
    statesRuleRelease(&rule);
    return reason;
}

// The next state of a cell under a tree, its neighbourhood given as a table
// lists it: the cell, then its neighbours clockwise from north (four or eight).
int treeNext(const StatesTree* tree, const std::vector<int>& cells)
{
    static const int moore[9] = {8, 2, 6, 4, 1, 7, 3, 5, 0}; // NW NE SW SE N W E S C
    static const int vonNeumann[5] = {1, 4, 2, 3, 0};        // N W E S C
    uint32_t at = tree->root;
    for (int v = 0; v <= tree->neighbours; v++)
        at = tree->next[at + cells[tree->neighbours == 8 ? moore[v] : vonNeumann[v]]];
    return (int)at;
}

TEST(StatesRule, GenerationsFormsHaveOneName)
{
    struct Case {
        const char* text;
        const char* name;
        int states;
    } cases[] = {
        {"B2/S/C3", "B2/S/C3", 3},
        {"/2/3", "B2/S/C3", 3},                // S/B/C, digits alone
        {"345/2/4", "B2/S345/C4", 4},          // Star Wars
        {"B3/S23/8", "B3/S23/C8", 8},
        {"g4b2s345", "B2/S345/C4", 4},         // Catagolue
        {"23/3/8V", "B3/S23/C8V", 8},
        {"B3/S23/C5H", "B3/S23/C5H", 5},
        {" b2/s/c3:t20,10 ", "B2/S/C3:T20,10", 3},
        {"2/2a/3", "B2a/S2/C3", 3},            // Hensel's letters
        {"B2/S/C256", "B2/S/C256", 256},
    };
    for (const Case& c : cases) {
        StatesRule rule = parsed(c.text);
        EXPECT_EQ(rule.family, STATES_GENERATIONS) << c.text;
        EXPECT_STREQ(rule.name, c.name) << c.text;
        EXPECT_EQ(rule.states, c.states) << c.text;
        statesRuleRelease(&rule);
    }
    // Brian's Brain: born on two neighbours, none survive.
    StatesRule brain = parsed("/2/3");
    EXPECT_EQ(brain.next[1 | 4], 1);          // north-west and north-east
    EXPECT_EQ(brain.next[1 | 4 | 16], 0);     // the cell itself alive: no survival
    EXPECT_EQ(brain.next[1 | 4 | 8], 0);      // three
    statesRuleRelease(&brain);
}

TEST(StatesRule, GenerationsRefusals)
{
    EXPECT_NE(refusal("B0/S/C3").find("B0"), std::string::npos);
    EXPECT_NE(refusal("B2/S/C1").find("2 to 256"), std::string::npos);
    EXPECT_NE(refusal("B2/S/C257").find("over 256"), std::string::npos);
    EXPECT_NE(refusal("B2/S/C99999999999999").find("over 256"), std::string::npos);
    EXPECT_NE(refusal("B9/S/C3").find("B9/S/C3"), std::string::npos);
    EXPECT_NE(refusal("B2/S/C3:Q5").find("grid"), std::string::npos);
}

TEST(StatesRule, LargerThanLifeFormsHaveOneName)
{
    struct Case {
        const char* text;
        const char* name;
        int states;
    } cases[] = {
        {"R5,C0,M1,S34..58,B34..45,NM", "R5,C0,M1,S34..58,B34..45,NM", 2},
        {"5,34,45,34,58", "R5,C0,M1,S34..58,B34..45,NM", 2}, // range, birth, survival; the cell counted
        {"R1,C2,M0,S2..3,B3..3,NN", "R1,C0,M0,S2..3,B3..3,NN", 2},
        {"r2,c5,m1,s1..2,b3..3,nc", "R2,C5,M1,S1..2,B3..3,NC", 5},
        {"R10,C255,M1,S2..3,B3..3,NM:T120,120", "R10,C255,M1,S2..3,B3..3,NM:T120,120", 255},
        // A side shorter than twice the range grows to it, an unbounded one too.
        {"R1,C0,M0,S2..3,B3..3,NM:T0,10", "R1,C0,M0,S2..3,B3..3,NM:T2,10", 2},
        {"R2,C0,M0,S2..3,B3..3,NM:P3,1", "R2,C0,M0,S2..3,B3..3,NM:P4,4", 2},
        {"R2,C0,M0,S2..3,B0..3,NM:T10,10", "R2,C0,M0,S2..3,B0..3,NM:T10,10", 2},
        {"R500,C0,M1,S256694..390374,B231893..306545,NM", "R500,C0,M1,S256694..390374,B231893..306545,NM", 2},
    };
    for (const Case& c : cases) {
        StatesRule rule = parsed(c.text);
        EXPECT_EQ(rule.family, STATES_LARGER) << c.text;
        EXPECT_STREQ(rule.name, c.name) << c.text;
        EXPECT_EQ(rule.states, c.states) << c.text;
        statesRuleRelease(&rule);
    }
    StatesRule disc = parsed("R3,C0,M1,S1..2,B3..3,NC");
    EXPECT_EQ(disc.range, 3);
    EXPECT_EQ(disc.neighbourhood, LARGER_CIRCULAR);
    EXPECT_EQ(disc.middle, 1);
    statesRuleRelease(&disc);
}

TEST(StatesRule, LargerThanLifeRefusals)
{
    EXPECT_NE(refusal("R0,C0,M0,S2..3,B3..3,NM").find("1 to 500"), std::string::npos);
    EXPECT_NE(refusal("R501,C0,M0,S2..3,B3..3,NM").find("1 to 500"), std::string::npos);
    EXPECT_NE(refusal("R1,C257,M0,S2..3,B3..3,NM").find("256"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M2,S2..3,B3..3,NM").find("M is 0 or 1"), std::string::npos);
    // Eight neighbours without the cell, nine with it; twelve in a diamond of range 2.
    EXPECT_NE(refusal("R1,C0,M0,S2..9,B3..3,NM").find("0 to 8"), std::string::npos);
    EXPECT_EQ(parsed("R1,C0,M1,S2..9,B3..3,NM").family, STATES_LARGER);
    EXPECT_NE(refusal("R2,C0,M0,S12..13,B13..13,NN").find("0 to 12"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S3..2,B3..3,NM").find("range"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S2..3,B0..3,NM").find("B0"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S2..3,B3..3,NM:K10*,10").find("plane or a torus"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S2..3,B3..3,NM:T10+1,10").find("shifts"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S2..3,B3..3").find("not a Larger than Life rule"), std::string::npos);
    EXPECT_NE(refusal("R1,C0,M0,S2..3,B3..3,NX").find("not a Larger than Life rule"), std::string::npos);
}

// One transition under each symmetry: which neighbourhoods of a single live
// neighbour it makes the cell take state 1 for, places clockwise from north.
TEST(StatesRule, TableSymmetriesWriteOutTheirTransitions)
{
    TempDir dir;
    struct Case {
        const char* hood;
        const char* symmetry;
        const char* transition;
        int neighbours;
        const char* born; // '1' at place k: born when only neighbour k is alive
    } cases[] = {
        {"Moore", "none", "0,0,1,0,0,0,0,0,0,1", 8, "01000000"},
        {"Moore", "rotate4", "0,0,1,0,0,0,0,0,0,1", 8, "01010101"},
        {"Moore", "rotate8", "0,0,1,0,0,0,0,0,0,1", 8, "11111111"},
        {"Moore", "rotate4reflect", "0,1,0,0,0,0,0,0,0,1", 8, "10101010"},
        {"Moore", "reflect_horizontal", "0,0,1,0,0,0,0,0,0,1", 8, "01000001"},
        {"Moore", "permute", "0,0,1,0,0,0,0,0,0,1", 8, "11111111"},
        {"vonNeumann", "none", "0,1,0,0,0,1", 4, "1000"},
        {"vonNeumann", "rotate4", "0,1,0,0,0,1", 4, "1111"},
        {"vonNeumann", "reflect_horizontal", "0,0,1,0,0,1", 4, "0101"},
        {"vonNeumann", "reflect_horizontal", "0,1,0,0,0,1", 4, "1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hood) + " " + c.symmetry);
        writeFile("Sym.rule", std::string("@RULE Sym\n@TABLE\nn_states:2\nneighborhood:") + c.hood +
                                  "\nsymmetries:" + c.symmetry + "\n" + c.transition + "\n");
        StatesRule rule = parsed("Sym");
        ASSERT_NE(rule.tree, nullptr);
        for (int k = 0; k < c.neighbours; k++) {
            std::vector<int> cells(c.neighbours + 1, 0);
            cells[1 + k] = 1;
            EXPECT_EQ(treeNext(rule.tree, cells), c.born[k] - '0') << "place " << k;
        }
        statesRuleRelease(&rule);
    }
}

TEST(StatesRule, TablesMatchTheirFirstTransitionAndKeepTheCellOtherwise)
{
    TempDir dir;
    // Bound variables stand for one state throughout a line, the next state included.
    writeFile("Vars.rule", "@RULE Vars\n# a comment\n@TABLE\nn_states:4\nneighborhood:vonNeumann\n"
                           "symmetries:none\nvar a={1,2}\nvar b=a\nvar c={a,3}  # lists name variables\n"
                           "1,0,0,0,a,a\n"
                           "0,c,b,0,0,3\n"
                           "0,c,b,0,0,1\n"
                           "000201\n"
                           "@COLORS\n1 255 0 0\n");
    StatesRule rule = parsed("Vars");
    ASSERT_NE(rule.tree, nullptr);
    const StatesTree* t = rule.tree;
    EXPECT_EQ(rule.states, 4);
    EXPECT_STREQ(rule.name, "Vars");
    EXPECT_EQ(treeNext(t, {1, 0, 0, 0, 2}), 2);  // the west cell's state
    EXPECT_EQ(treeNext(t, {1, 0, 0, 0, 1}), 1);
    EXPECT_EQ(treeNext(t, {1, 0, 0, 0, 3}), 1);  // a is 1 or 2: nothing matches, the cell stays
    EXPECT_EQ(treeNext(t, {0, 3, 1, 0, 0}), 3);  // the first of two matching transitions
    EXPECT_EQ(treeNext(t, {0, 0, 0, 2, 0}), 1);  // "000201": digits without commas
    EXPECT_EQ(treeNext(t, {2, 3, 3, 3, 3}), 2);
    statesRuleRelease(&rule);
}

TEST(StatesRule, TreesAreReadNodeByNode)
{
    TempDir dir;
    // Four neighbours, two states: the next state is the north neighbour's. Nodes 0 and 1
    // give 0 and 1 whatever the cell; 2 to 7 carry each through west, east and south.
    const std::string nodes = "1 0 0\n1 1 1\n2 0 0\n2 1 1\n3 2 2\n3 3 3\n4 4 4\n4 5 5\n";
    auto tree = [](int count, const std::string& lines) {
        return "@RULE North\n@TREE\n# by hand\nnum_states=2\nnum_neighbors=4\nnum_nodes=" +
               std::to_string(count) + "\n" + lines;
    };
    writeFile("North.rule", tree(9, nodes + "5 6 7\n"));
    StatesRule rule = parsed("North");
    ASSERT_NE(rule.tree, nullptr);
    EXPECT_EQ(treeNext(rule.tree, {0, 1, 0, 0, 0}), 1);
    EXPECT_EQ(treeNext(rule.tree, {1, 0, 1, 1, 1}), 0);
    statesRuleRelease(&rule);
    writeFile("North.rule", tree(9, nodes + "5 7 6\n"));
    EXPECT_NE(refusal("North").find("empty space into state 1"), std::string::npos);
    writeFile("North.rule", tree(8, nodes + "5 6 7\n"));
    EXPECT_NE(refusal("North").find("more nodes than num_nodes"), std::string::npos);
    writeFile("North.rule", tree(10, nodes + "5 6 7\n"));
    EXPECT_NE(refusal("North").find("fewer nodes"), std::string::npos);
    writeFile("North.rule", tree(8, nodes));
    EXPECT_NE(refusal("North").find("not its root"), std::string::npos);
    // A child one level off, or one not yet read.
    writeFile("North.rule", tree(9, nodes + "5 6 5\n"));
    EXPECT_NE(refusal("North").find("broken @TREE node on line 15"), std::string::npos);
    writeFile("North.rule", tree(9, nodes + "5 6 9\n"));
    EXPECT_NE(refusal("North").find("broken @TREE node on line 15"), std::string::npos);
}

// A rule named in a file: the rule it carries, its folder, the user's rules
// folder, the rules shipped, the shared folder; .rule before .table and .tree.
TEST(StatesRule, NamedRulesAreLookedForInOrder)
{
    TempDir dir;
    const StatesRulePlaces kept = statesRulePlaces;
    makeFolder("beside");
    makeFolder("user");
    makeFolder("shared");
    statesRulePlaces = {"user", "shared"};
    auto table = [](const char* name, int states) {
        return std::string("@RULE ") + name + "\n@TABLE\nn_states:" + std::to_string(states) +
               "\nneighborhood:Moore\nsymmetries:none\n";
    };
    writeFile("shared/Where.rule", table("Where", 5));
    writeFile("shared/LifeHistory.rule", table("LifeHistory", 3));
    writeFile("shared/Old.table", "n_states:6\nneighborhood:vonNeumann\nsymmetries:rotate4\n");
    EXPECT_EQ(statesOf("Where", "beside"), 5);
    EXPECT_EQ(statesOf("LifeHistory", "beside"), 7); // shipped, before the shared folder
    EXPECT_EQ(statesOf("WireWorld", "beside"), 4);
    EXPECT_EQ(statesOf("Old", "beside"), 6);
    writeFile("user/Where.rule", table("Where", 4));
    EXPECT_EQ(statesOf("Where", "beside"), 4);
    // A file with colours alone lets the search go on.
    writeFile("beside/Where.rule", "@RULE Where\n@COLORS\n1 0 0 255\n");
    EXPECT_EQ(statesOf("Where", "beside"), 4);
    writeFile("beside/Where.rule", table("Where", 3));
    EXPECT_EQ(statesOf("Where", "beside"), 3);
    const std::string carried = table("Where", 9);
    StatesRuleSource source = {"beside", carried.data(), carried.size()};
    StatesRule rule = {};
    char reason[256];
    ASSERT_EQ(statesRuleParse("Where:T20,10", &source, &rule, reason, sizeof reason), 1) << reason;
    EXPECT_EQ(rule.states, 9);
    EXPECT_STREQ(rule.name, "Where:T20,10");
    EXPECT_EQ(rule.tree->sourceSize, carried.size());
    statesRuleRelease(&rule);
    EXPECT_NE(refusal("Nowhere", "beside").find("no Nowhere.rule was found"), std::string::npos);
    EXPECT_NE(refusal("Where/x").find("not a rule"), std::string::npos);
    writeFile("beside/Other.rule", table("Where", 3));
    EXPECT_NE(refusal("Other", "beside").find("names another rule"), std::string::npos);
    statesRulePlaces = kept;
}

// von Neumann's family is built in: its trees answer as the automaton's
// transitions, worked out here by hand; a cell lists itself, then its
// neighbours north, east, south, west.
TEST(StatesRule, VonNeumannsFamilyIsBuiltIn)
{
    TempDir dir;
    enum { U = 0, S = 1, S000 = 8, OE = 9, ON = 10, OW = 11, OS = 12, EXC = 4, SE = 17, C00 = 25, C01 = 26, C10 = 27 };
    StatesRule jvn = parsed("JvN29:T40,30");
    EXPECT_EQ(jvn.states, 29);
    EXPECT_STREQ(jvn.name, "JvN29:T40,30");
    const StatesTree* t = jvn.tree;
    ASSERT_EQ(t->neighbours, 4);
    EXPECT_EQ(treeNext(t, {U, U, U, U, U}), U);
    EXPECT_EQ(treeNext(t, {U, U, U, U, OE + EXC}), S);         // a signal from the west sensitises ground
    EXPECT_EQ(treeNext(t, {U, U, U, U, OE}), U);               // a quiet one does not
    EXPECT_EQ(treeNext(t, {S000, U, U, U, OE + EXC}), ON);     // S0001: ordinary north
    EXPECT_EQ(treeNext(t, {S000, U, U, U, U}), OE);            // S0000: ordinary east
    EXPECT_EQ(treeNext(t, {OE, U, U, U, OE + EXC}), OE + EXC); // passed on
    EXPECT_EQ(treeNext(t, {OW + EXC, U, U, U, OE + EXC}), OW); // not from where it points
    EXPECT_EQ(treeNext(t, {OE, U, U, U, SE + EXC}), U);        // special destroys ordinary
    EXPECT_EQ(treeNext(t, {SE, U, U, U, OE + EXC}), U);        // and ordinary special
    EXPECT_EQ(treeNext(t, {OE, U, U, U, C10}), OE + EXC);      // a confluent feeds every side
    // A confluent needs every input excited, a generation later.
    EXPECT_EQ(treeNext(t, {C00, OS + EXC, U, U, OE + EXC}), C01);
    EXPECT_EQ(treeNext(t, {C00, OS, U, U, OE + EXC}), C00);
    EXPECT_EQ(treeNext(t, {C01, U, U, U, U}), C10);
    EXPECT_EQ(treeNext(t, {C10, U, U, U, U}), C00);
    // Shared by the cells of one rule; thousands of entries, not millions.
    EXPECT_LT((int64_t)t->nodes * t->states, 10000);
    statesRuleRelease(&jvn);

    StatesRule nobili = parsed("Nobili32");
    t = nobili.tree;
    EXPECT_EQ(nobili.states, 32);
    EXPECT_EQ(treeNext(t, {C10, U, U, U, U}), C10); // nothing leads on: the bit is kept
    EXPECT_EQ(treeNext(t, {C10, U, U, U, OE}), C10);
    EXPECT_EQ(treeNext(t, {C10, U, OE, U, U}), C00);
    // Signals from the west and the north cross, each on its axis.
    EXPECT_EQ(treeNext(t, {C00, OS + EXC, OE, OS, OE}), 30);
    EXPECT_EQ(treeNext(t, {C00, OS, OE, OS, OE + EXC}), 29);
    EXPECT_EQ(treeNext(t, {C00, OS + EXC, OE, OS, OE + EXC}), 31);
    EXPECT_EQ(treeNext(t, {OE, U, U, U, 29}), OE + EXC);
    EXPECT_EQ(treeNext(t, {OE, U, U, 30, U}), OE + EXC);
    EXPECT_EQ(treeNext(t, {OS, 29, U, U, U}), OS);
    statesRuleRelease(&nobili);
    EXPECT_TRUE(statesRuleNamed("Nobili32", 8, nullptr));
}

// Hutton's rule: a wire's tip writes with its own state, the written arrow
// turns with its writer, the tip retracts; and the cases no construction
// meets, as the reference program answers them.
TEST(StatesRule, HuttonsRuleWritesAtTheTip)
{
    enum { U = 0, S = 1, S0 = 2, S00 = 4, S01 = 5, S10 = 6, S000 = 8, OE = 9, ON = 10, OW = 11, OS = 12, EXC = 4,
        SE = 17, SN = 18, SW = 19, SS = 20, C00 = 25, C01 = 26, C10 = 27 };
    StatesRule hutton = parsed("Hutton32");
    const StatesTree* t = hutton.tree;
    EXPECT_EQ(hutton.states, 32);
    // The tip east of a wire: excited, it carries the next bit as excited
    // ordinary (1) or excited special (0), and reads as that bit.
    EXPECT_EQ(treeNext(t, {OE + EXC, U, U, U, OE + EXC}), OE + EXC);
    EXPECT_EQ(treeNext(t, {OE + EXC, U, S, U, OE}), SE + EXC);
    EXPECT_EQ(treeNext(t, {SE + EXC, U, S0, U, OE}), SE + EXC);
    EXPECT_EQ(treeNext(t, {SE + EXC, U, S0, U, OE + EXC}), OE + EXC);
    EXPECT_EQ(treeNext(t, {S, U, U, U, SE + EXC}), S0);
    EXPECT_EQ(treeNext(t, {S, U, U, U, OE + EXC}), 3);
    // The written arrow turns with its writer: S0001 from a writer pointing
    // south is an arrow to its left, east; S01 then 1 a special straight on.
    EXPECT_EQ(treeNext(t, {S000, OS + EXC, U, U, U}), OE);
    EXPECT_EQ(treeNext(t, {S000, U, U, U, OE + EXC}), ON);
    EXPECT_EQ(treeNext(t, {S000, U, U, U, SE + EXC}), OE);
    EXPECT_EQ(treeNext(t, {S01, U, OW + EXC, U, U}), SW);
    // Once the cell ahead is about to be an arrow the tip quiesces, or
    // retracts on a 1; a confluent ahead leaves a sensitised cell on a 1.
    EXPECT_EQ(treeNext(t, {OE + EXC, U, S00, U, OE}), OE);
    EXPECT_EQ(treeNext(t, {OE + EXC, U, S00, U, OE + EXC}), U);
    EXPECT_EQ(treeNext(t, {OE + EXC, U, 7, U, OE + EXC}), S);
    EXPECT_EQ(treeNext(t, {OE, U, SE, U, OE + EXC}), U); // a wire ending at a special arrow retracts
    // A special signal builds an ordinary arrow straight on.
    EXPECT_EQ(treeNext(t, {U, U, U, U, SE + EXC}), OE);
    EXPECT_EQ(treeNext(t, {U, SS + EXC, U, U, SE + EXC}), OE); // the west writer wins
    EXPECT_EQ(treeNext(t, {U, U, SW + EXC, U, SE + EXC}), OE);
    EXPECT_EQ(treeNext(t, {U, SS + EXC, SW + EXC, SN + EXC, U}), ON); // then the south one
    // No writer to turn by; a special writer chosen over an ordinary one.
    EXPECT_EQ(treeNext(t, {S000, U, U, U, U}), S000);
    EXPECT_EQ(treeNext(t, {S01, U, U, U, U}), 7);
    EXPECT_EQ(treeNext(t, {S10, U, U, U, U}), SE);
    EXPECT_EQ(treeNext(t, {S01, U, U, ON + EXC, SE + EXC}), C00);
    // Confluents keep no bit; crossing states pass each axis on its own.
    EXPECT_EQ(treeNext(t, {C10, U, U, U, U}), C00);
    EXPECT_EQ(treeNext(t, {C01, U, U, U, U}), C10);
    EXPECT_EQ(treeNext(t, {29, U, U, U, OE + EXC}), 29);
    EXPECT_EQ(treeNext(t, {31, OS + EXC, U, U, U}), 30);
    EXPECT_EQ(treeNext(t, {C00, OS + EXC, OE, OS, OE}), 30); // boxed in, two arrows in
    EXPECT_EQ(treeNext(t, {C00, OS + EXC, U, U, OE}), C00);  // otherwise von Neumann's
    statesRuleRelease(&hutton);
}

// Hostile rule files are refused with a reason, in bounded time and memory.
TEST(StatesRule, HostileRuleFilesAreRefused)
{
    TempDir dir;
    struct Case {
        const char* file;
        const char* words;
    } cases[] = {
        {"@TABLE\nn_states:2\n", "does not begin with \"@RULE Bad\""},
        {"@RULE Bad\n@TABLE\nn_states:300\nneighborhood:Moore\nsymmetries:none\n", "outside 2 to 256"},
        {"@RULE Bad\n@TABLE\nneighborhood:Moore\nsymmetries:none\n0,0,0,0,0,0,0,0,0,1\n", "comes before n_states"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:Moore\nsymmetries:rotate3\n", "symmetries"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:Hexagon\nsymmetries:none\n", "neighbourhood other"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\n0,1,0,0,1\n", "does not list"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\n0,1,0,0,2,1\n", "past n_states"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\n0,1,0,0,q,1\n", "not defined"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\nvar q={0,1}\n0,1,0,0,0,q\n",
         "next state that names no cell"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\nvar q={0,1\n", "does not close"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\nvar ={0,1}\n", "without a name"},
        {"@RULE Bad\n@TABLE\nn_states:2\nneighborhood:vonNeumann\nsymmetries:none\n0,0,0,0,0,1\n",
         "empty space into state 1"},
        {"@RULE Bad\n@TABLE\nn_states:2\n", "without n_states, neighborhood and symmetries"},
        {"@RULE Bad\n@TREE\nnum_states=2\nnum_neighbors=5\nnum_nodes=1\n", "4 or 8 neighbours"},
        {"@RULE Bad\n@TREE\nnum_states=256\nnum_neighbors=8\nnum_nodes=100000\n", "at most 16777216 entries"},
        {"@RULE Bad\n@TREE\nnum_states=2\nnum_neighbors=4\nnum_nodes=1\n1 0 1 1\n", "broken @TREE node"},
        {"@RULE Bad\n@TREE\nnum_states=2\nnum_neighbors=4\nnum_nodes=1\n1 0 2\n", "broken @TREE node"},
        {"@RULE Bad\n@TREE\nnum_states=2\nnum_neighbors=4\nnum_nodes=2\n1 0 0\n1 0 0\n", "root"},
        {"@RULE Bad\n@TREE\nnum_states=2\nnum_neighbors=4\nnum_nodes=2\n2 1 1\n1 0 0\n", "broken @TREE node"},
        {"@RULE Bad\n@TREE\nnum_nodes=2\n", "without num_states"},
        {"@RULE Bad\n@TREE\nwhat\n", "no setting"},
    };
    for (const Case& c : cases) {
        writeFile("Bad.rule", c.file);
        const std::string reason = refusal("Bad");
        EXPECT_NE(reason.find(c.words), std::string::npos) << c.file << "\n" << reason;
    }
    writeFile("Bad.rule", std::string("@RULE Bad\n@TABLE\nn_states:2\0\n", 28));
    EXPECT_NE(refusal("Bad").find("zero byte"), std::string::npos);
    // Variables named in variables, each list longer than the last, past the most a table holds.
    std::string deep = "@RULE Bad\n@TABLE\nn_states:256\nneighborhood:Moore\nsymmetries:none\nvar v0={0,1}\n";
    for (int i = 1; i <= 4200; i++)
        deep += "var v" + std::to_string(i) + "={v" + std::to_string(i - 1) + "," + std::to_string(i % 256) + "}\n";
    writeFile("Bad.rule", deep);
    EXPECT_NE(refusal("Bad").find("more variables than a table may"), std::string::npos);
    // Five bound variables of 256 states each: 2^40 bindings.
    std::string bound = "@RULE Bad\n@TABLE\nn_states:256\nneighborhood:Moore\nsymmetries:none\nvar a={0";
    for (int s = 1; s < 256; s++)
        bound += "," + std::to_string(s);
    bound += "}\nvar b=a\nvar c=a\nvar d=a\nvar e=a\na,a,b,b,c,c,d,d,e,e\n";
    writeFile("Bad.rule", bound);
    EXPECT_NE(refusal("Bad").find("binds its variables in more ways"), std::string::npos);
    // Transitions of sets that split every list of transitions left a different way: the
    // lists to remember grow past their budget, and the table is refused rather than left
    // to run.
    std::string wide = "@RULE Bad\n@TABLE\nn_states:256\nneighborhood:Moore\nsymmetries:none\n";
    uint32_t seed = 12345;
    for (int t = 0; t < 48; t++) {
        std::string line = std::to_string(1 + t);
        for (int k = 1; k <= 9; k++) {
            const std::string name = "s" + std::to_string(t) + "_" + std::to_string(k);
            wide += "var " + name + "={0";
            for (int state = 1; state < 256; state++) {
                seed = seed * 1103515245u + 12345u;
                if (seed >> 31)
                    wide += "," + std::to_string(state);
            }
            wide += "}\n";
            line += "," + (k < 9 ? name : std::to_string(1 + t % 255));
        }
        wide += line + "\n";
    }
    writeFile("Bad.rule", wide);
    const std::string tooLarge = refusal("Bad");
    EXPECT_NE(tooLarge.find("too large to compile"), std::string::npos) << tooLarge;
}

} // namespace
