// The board's rules: read by the universe's rule reader, taken as birth and
// survival counts when the rule is outer-totalistic on the eight neighbours
// and its grid is the board's, and fitted into Rules.ini's four numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pattern/pattern.h"

namespace {

// Golly's help gives Life as a MAP string; its last character holds the
// entries of the full neighbourhood with the bottom-right neighbour dead (the
// character's top bit) and alive (the next).
const std::string lifeMap =
    "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA";

std::string withLastChar(const std::string& map, char c)
{
    return map.substr(0, map.size() - 1) + c;
}

} // namespace

TEST(PatternRule, FitsContiguousRangesIntoFourNumbers)
{
    const struct {
        std::string text;
        LifeRule four;
        const char* survive;  // the counts the rule lets live cells survive on
        const char* birth;
        const char* name;
    } cases[] = {
        {"B3/S0123", {-1, 4, 3, 3}, "0123", "3", "B3/S0123"},
        {"B3/S23", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        {"b3s23", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        {"S23/B3", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        {"23/3", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        {"B3/S12345", {0, 6, 3, 3}, "12345", "3", "B3/S12345"},
        {"B0/S8", {7, 9, 0, 0}, "8", "0", "B0/S8"},
        {"B345/S5", {4, 6, 3, 5}, "5", "345", "B345/S5"},
        {"B/S", {8, 9, 9, 9}, "", "", "B/S"},
        {"/3", {8, 9, 3, 3}, "", "3", "B3/S"},
        {"B3", {8, 9, 3, 3}, "", "3", "B3/S"},
        {"B3/S23:P64,64", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        {"b3/s23:p64", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        // A Generations rule of two states is the B/S rule.
        {"B3/S23/2", {1, 4, 3, 3}, "23", "3", "B3/S23"},
        // Hensel's letters that name every configuration of a count are the count.
        {"B2-a2a3/S2cekain3", {1, 4, 2, 3}, "23", "23", "B23/S23"},
        // The table decides, not the spelling: on the four orthogonal
        // neighbours survival on 0 to 4 is survival on any count of the eight.
        {"B/S01234V", {-1, 9, 9, 9}, "012345678", "", "B/S012345678"},
        {lifeMap, {1, 4, 3, 3}, "23", "3", "B3/S23"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RuleSets sets;
        LifeRule four;
        PatternError e = {0, ""};
        ASSERT_EQ(parseRule(c.text.c_str(), &sets, &e), 1) << e.message;
        ASSERT_EQ(ruleToFour(&sets, &four, &e), 1) << e.message;
        EXPECT_EQ(four.surviveAbove, c.four.surviveAbove);
        EXPECT_EQ(four.surviveBelow, c.four.surviveBelow);
        EXPECT_EQ(four.birthMin, c.four.birthMin);
        EXPECT_EQ(four.birthMax, c.four.birthMax);
        // The program's own test, for every count a cell can have.
        for (int n = 0; n <= 8; n++) {
            const bool survives = four.surviveAbove < n && n < four.surviveBelow;
            const bool born = four.birthMin <= n && n <= four.birthMax;
            EXPECT_EQ(survives, strchr(c.survive, '0' + n) != nullptr) << n;
            EXPECT_EQ(born, strchr(c.birth, '0' + n) != nullptr) << n;
        }
        char name[32];
        formatRule(&sets, name, sizeof name);
        EXPECT_STREQ(name, c.name);
    }
}

TEST(PatternRule, RefusesWhatFourNumbersCannotHold)
{
    const struct {
        std::string text;
        int parsed;  // 1: parseRule takes it, ruleToFour refuses it
        const char* words;
    } cases[] = {
        // Counts the four numbers cannot hold.
        {"B36/S23", 1, "rule B36/S23 cannot be written to Rules.ini: birth on 3 and 6 neighbours is not one"},
        {"B3/S238", 1, "survival on 2, 3 and 8 neighbours"},
        {withLastChar(lifeMap, 'Q'), 1, "rule B3/S238 cannot be written"},
        // Rules that look at where the neighbours stand.
        {"B2n3/S23-q", 0, "rule B2n3/S23-q: birth on 2 neighbours depends on which neighbours they are"},
        {"B3/S2-a3", 0, "survival on 2 neighbours depends on which"},
        {"B3/S23V", 0, "birth on 3 neighbours depends on which"},
        {"B2/S3H", 0, "birth on 2 neighbours depends on which"},
        {withLastChar(lifeMap, 'g'), 0, "survival on 7 neighbours depends on which"},
        // Grids other than the board's.
        {"B3/S23:T64,64", 0, "':T64,64' is a grid that wraps at its edges"},
        {"B3/S23:K64*,64", 0, "wraps at its edges"},
        {"B3/S23:P32,32", 0, "':P32,32' is a plane of another size"},
        {"B3/S23:P64,0", 0, "another size"},
        {"B3/S23:P0,0", 0, "another size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RuleSets sets;
        LifeRule four;
        PatternError e = {0, ""};
        EXPECT_EQ(parseRule(c.text.c_str(), &sets, &e), c.parsed);
        EXPECT_EQ(c.parsed && ruleToFour(&sets, &four, &e), 0);
        EXPECT_NE(std::string(e.message).find(c.words), std::string::npos) << e.message;
    }
    // The reader's refusals are passed on word for word.
    RuleSets sets;
    PatternError e = {0, ""};
    for (const char* text : {"B3/S23:P64,64,1", "B3/S23:", "B3/S23/G3", "B39/S23", "life", "Life:T64,64", "23"}) {
        UniverseRule rule;
        char reason[PATTERN_MESSAGE];
        EXPECT_EQ(universeRuleParse(text, &rule, reason, sizeof reason), 0) << text;
        EXPECT_EQ(parseRule(text, &sets, &e), 0) << text;
        EXPECT_STREQ(e.message, reason);
    }
    // The board's own refusals whole, as the user reads them.
    EXPECT_EQ(parseRule("B2n3/S23-q", &sets, &e), 0);
    EXPECT_STREQ(e.message, "rule B2n3/S23-q: birth on 2 neighbours depends on which neighbours they are; the board "
                            "counts its 8 neighbours alike");
    EXPECT_EQ(parseRule("B3/S23:T64,64", &sets, &e), 0);
    EXPECT_STREQ(e.message, "rule 'B3/S23:T64,64': ':T64,64' is a grid that wraps at its edges; the board is a 64 x "
                            "64 plane that does not wrap");
}
