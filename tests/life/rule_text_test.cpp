#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "life/life.h"

namespace {

UniverseRule parsed(const std::string& text)
{
    UniverseRule rule;
    char reason[256];
    EXPECT_EQ(universeRuleParse(text.c_str(), &rule, reason, sizeof reason), 1) << text << ": " << reason;
    return rule;
}

std::string refusal(const std::string& text)
{
    UniverseRule rule;
    char reason[256] = "untouched";
    EXPECT_EQ(universeRuleParse(text.c_str(), &rule, reason, sizeof reason), 0) << text;
    return reason;
}

// The table of an outer-totalistic rule worked out from its digit sets alone.
std::string totalisticTable(const std::string& birth, const std::string& survival, unsigned counted = 0x1EF)
{
    std::string table(512, '0');
    for (unsigned i = 0; i < 512; i++) {
        const char count = (char)('0' + __builtin_popcount(i & counted));
        const std::string& set = i & 16 ? survival : birth;
        if (set.find(count) != std::string::npos)
            table[i] = '1';
    }
    return table;
}

std::string tableOf(const UniverseRule& rule)
{
    std::string table(512, '0');
    for (int i = 0; i < 512; i++)
        table[i] = (char)('0' + rule.next[i]);
    return table;
}

TEST(RuleText, AcceptsTheCommunitysSpellingsUnderTheirCanonicalNames)
{
    const struct {
        const char* text;
        const char* name;
    } cases[] = {
        {"B3/S23", "B3/S23"},
        {"b3/s23", "B3/S23"},
        {"B3S23", "B3/S23"},
        {"b3s23", "B3/S23"},
        {"B234", "B234/S"},
        {"S23", "B/S23"},
        {"S23/B3", "B3/S23"},
        {"S23B3", "B3/S23"},
        {"23/3", "B3/S23"},
        {"B3/23", "B3/S23"},
        {"B3_S23", "B3/S23"},
        {"  B3/S32 \r\n", "B3/S23"},
        {"\tB3/S23\f", "B3/S23"},
        {"B33/S223", "B3/S23"},
        {"B36/S23", "B36/S23"},
        {"B3678/S34678", "B3678/S34678"},
        {"B2/S", "B2/S"},
        {"B/S012345678", "B/S012345678"},
        {"/", "B/S"},
        {"B0/S8", "B0/S8"},
        {"B0123478/S01234678", "B0123478/S01234678"},
        {"23/3/2", "B3/S23"},  // Generations with two states is B/S
        {"g2b3s23", "B3/S23"},
        {"B2n3/S23-q", "B2n3/S23-q"},
        {"b2nc3/s23-q", "B2cn3/S23-q"},
        {"B2N3/S23-Q", "B2n3/S23-q"},
        {"B2-a/S12", "B2-a/S12"},
        {"B2ceikn/S12", "B2-a/S12"},
        {"B4-qjrtwz/S", "B4aceikny/S"},  // a tie goes to the letters
        {"B3-kq4j/S2-n36c", "B3-kq4j/S2-n36c"},
        {"B2ci3ai4c8/S02ae3eijkq4iz5ar6i7e", "B2ci3ai4c8/S02ae3eijkq4iz5ar6i7e"},
        {"B2aceikn3/S", "B23/S"},
        {"B2-3/S", "B23/S"},
        {"B2-aceikn3/S", "B3/S"},
        {"B2cc/S1e1c", "B2c/S1"},
        {"B3/S2-i34q", "B3/S2-i34q"},
        {"B3/S23V", "B3/S23V"},
        {"b2/s013v", "B2/S013V"},
        {"B245/S3H", "B245/S3H"},
        {"B36/S23:T100,100", "B36/S23:T100,100"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(parsed(c.text).name, c.name) << c.text;
}

TEST(RuleText, TablesFollowTheDigitSets)
{
    EXPECT_EQ(tableOf(parsed("B3/S23")), totalisticTable("3", "23"));
    EXPECT_EQ(tableOf(parsed("23/3")), totalisticTable("3", "23"));
    EXPECT_EQ(tableOf(parsed("B0/S8")), totalisticTable("0", "8"));
    EXPECT_EQ(tableOf(parsed("B3678/S34678")), totalisticTable("3678", "34678"));
    EXPECT_EQ(tableOf(parsed("B2/S013V")), totalisticTable("2", "013", 0x0AA));
    EXPECT_EQ(tableOf(parsed("B245/S3H")), totalisticTable("245", "3", 0x1AB));
    // Hensel's letters that name every configuration are the digit.
    EXPECT_EQ(tableOf(parsed("B2-a2a3/S1ce2cekain")), totalisticTable("23", "12"));
    // Golly's help gives Life as a MAP string.
    const char* lifeMap = "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA";
    EXPECT_EQ(tableOf(parsed(lifeMap)), totalisticTable("3", "23"));
    EXPECT_EQ(tableOf(parsed(std::string(lifeMap) + "==")), totalisticTable("3", "23"));
    EXPECT_STREQ(parsed(std::string("map") + (lifeMap + 3) + ":T10,10").name, (std::string(lifeMap) + ":T10,10").c_str());
}

TEST(RuleText, RefusesOtherRulesNamingThemAndWhy)
{
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"B2/S/3", "rule \"B2/S/3\" has 3 states; this program plays two-state rules only"},
        {"/2/3", "has 3 states"},
        {"B2/S/C3", "has 3 states"},
        {"12/34/5", "has 5 states"},
        {"G3", "has 3 states"},
        {"g4b2s345", "has 4 states"},
        {"B2/S/99999999999", "has over 1000000 states"},
        {"R2,C0,M1,S2..3,B3..3,NM", "Larger than Life"},
        {"WireWorld", "rule \"WireWorld\" names a rule table"},
        {"LifeHistory", "names a rule table"},
        {"Banks-I", "names a rule table"},
        {"sb3/s23", "is not a B/S rule: two S parts"},
        {"B3/S23/", "is not a rule this program knows"},
        {"B3/S9", "counts 9 neighbours"},
        {"B3/S5V", "counts 5 neighbours"},
        {"B2a/S23H", "Hensel's letters"},
        {"B8c/S", "'c' is no configuration of 8 neighbours"},
        {"B1a/S", "'a' is no configuration of 1 neighbours"},
        {"B5z/S", "'z' is no configuration of 5"},
        {"B2e-c/S", "'-' is no configuration"},
        {"B3/B23", "two B parts"},
        {"B3/S23x", "'x' is no configuration of 3"},
        {"", "rule \"\" is empty"},
        {"   ", "is empty"},
        {"B3/S2\x01" "3", "rule \"B3/S2?3\" has byte 1"},
        {"MAPARYX", "needs 86 base64 characters, not 4"},
        {"B3/S23 :T10,10", "' ' is no configuration of 3"},
    };
    for (const auto& c : cases)
        EXPECT_NE(refusal(c.text).find(c.reason), std::string::npos) << c.text << ": " << refusal(c.text);
    // A long rule is named cut short, and a small reason buffer is cut, still terminated.
    EXPECT_NE(refusal("B3/S23" + std::string(300, 'x')).find("xxx...\" is not"), std::string::npos);
    UniverseRule rule;
    char small[8];
    EXPECT_EQ(universeRuleParse("B2/S/3", &rule, small, sizeof small), 0);
    EXPECT_STREQ(small, "rule \"B");
    EXPECT_EQ(universeRuleParse(nullptr, &rule, nullptr, 0), 0);
    EXPECT_EQ(universeRuleParseBytes("MAPARYX", 3, &rule, nullptr, 0), 0);  // "MAP"
    EXPECT_EQ(universeRuleParseBytes("B3/S23\0", 7, &rule, nullptr, 0), 0);
    EXPECT_EQ(universeRuleParseBytes("B3/S23junk", 6, &rule, nullptr, 0), 1);
}

// Back from a table to the counts: what the board and the bit-sliced kernels need.
TEST(RuleText, TablesGiveTheirCountsUnlessTheyLookAtWhereTheNeighboursStand)
{
    const struct {
        const char* text;
        uint16_t counts[2], mixed[2];  // birth, survival
    } cases[] = {
        {"B3/S23", {0x008, 0x00C}, {0, 0}},
        {"B0/S8", {0x001, 0x100}, {0, 0}},
        {"B/S012345678", {0, 0x1FF}, {0, 0}},
        {"B2-a2a3/S", {0x00C, 0}, {0, 0}},
        {"B2n3/S23-q", {0x008, 0x004}, {0x004, 0x008}},
        // Three of the four orthogonal neighbours are among 3 to 7 of the eight.
        {"B3/S23V", {0, 0}, {0x0F8, 0x0FC}},
    };
    for (const auto& c : cases) {
        uint16_t counts[2], mixed[2];
        EXPECT_EQ(universeRuleCounts(parsed(c.text).next, counts, mixed), !c.mixed[0] && !c.mixed[1]) << c.text;
        for (int self = 0; self < 2; self++) {
            EXPECT_EQ(counts[self], c.counts[self]) << c.text << " " << self;
            EXPECT_EQ(mixed[self], c.mixed[self]) << c.text << " " << self;
        }
    }
}

// What a reader of pattern files asks before the cells: whether the rule has more than two states.
TEST(RuleText, CountsTheStatesOfGenerationsRules)
{
    EXPECT_EQ(universeRuleStates("345/3/6"), 6);
    EXPECT_EQ(universeRuleStates("B2/S/C3"), 3);
    EXPECT_EQ(universeRuleStates("B3/S23/G4"), 4);
    EXPECT_EQ(universeRuleStates("g4b2s345"), 4);
    EXPECT_EQ(universeRuleStates(" 12/34/5:T10,10 "), 5);
    EXPECT_EQ(universeRuleStates("B2/S/99999999999"), 1000001);
    // Base64 digits, not parts: a MAP string's slashes count no states.
    const char* slashedMap =
        "MAPARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDog/iA6ICAAIAAaIDogIAAgACAAIAA/AAAA3";
    for (const char* text : {"B3/S23/2", "B3/S23", "B3/S23:T10,10", "WireWorld", "B3/S23/", "", slashedMap})
        EXPECT_EQ(universeRuleStates(text), 2) << text;
    EXPECT_EQ(universeRuleStates(nullptr), 2);
}

TEST(RuleText, GridSuffixes)
{
    const struct {
        const char* text;
        const char* name;
        LifeGridShape grid;  // topology, width, height, twistX, twistY, shiftX, shiftY
    } cases[] = {
        {"B3/S23", "B3/S23", {LIFE_UNBOUNDED, 0, 0, 0, 0, 0, 0}},
        {"B3/S23:P30,20", "B3/S23:P30,20", {LIFE_PLANE, 30, 20, 0, 0, 0, 0}},
        {"B3/S23:p30,0", "B3/S23:P30,0", {LIFE_PLANE, 30, 0, 0, 0, 0, 0}},
        {"B3/S23:P30", "B3/S23:P30,30", {LIFE_PLANE, 30, 30, 0, 0, 0, 0}},
        {"B3/S23:P0,0", "B3/S23", {LIFE_UNBOUNDED, 0, 0, 0, 0, 0, 0}},
        {"B3/S23:T0,20", "B3/S23:T0,20", {LIFE_TORUS, 0, 20, 0, 0, 0, 0}},
        {"B3/S23:t30,020", "B3/S23:T30,20", {LIFE_TORUS, 30, 20, 0, 0, 0, 0}},
        {"B3/S23:T30+5,20", "B3/S23:T30+5,20", {LIFE_TORUS, 30, 20, 0, 0, 5, 0}},
        {"B3/S23:T30+35,20", "B3/S23:T30+5,20", {LIFE_TORUS, 30, 20, 0, 0, 5, 0}},
        {"B3/S23:T30-35,20", "B3/S23:T30-5,20", {LIFE_TORUS, 30, 20, 0, 0, -5, 0}},
        {"B3/S23:T30,20-2", "B3/S23:T30,20-2", {LIFE_TORUS, 30, 20, 0, 0, 0, -2}},
        {"B3/S23:T0+0,20", "B3/S23:T0,20", {LIFE_TORUS, 0, 20, 0, 0, 0, 0}},
        {"B3/S23:K30*,20", "B3/S23:K30*,20", {LIFE_KLEIN, 30, 20, 1, 0, 0, 0}},
        {"B3/S23:K30,20*", "B3/S23:K30,20*", {LIFE_KLEIN, 30, 20, 0, 1, 0, 0}},
        {"B3/S23:K30,20", "B3/S23:K30,20*", {LIFE_KLEIN, 30, 20, 0, 1, 0, 0}},
        {"B3/S23:K30*+1,20", "B3/S23:K30*+1,20", {LIFE_KLEIN, 30, 20, 1, 0, 1, 0}},
        {"B3/S23:K30*-3,20", "B3/S23:K30*+1,20", {LIFE_KLEIN, 30, 20, 1, 0, 1, 0}},
        {"B3/S23:K30,20*+4", "B3/S23:K30,20*+1", {LIFE_KLEIN, 30, 20, 0, 1, 0, 1}},
        {"B3/S23:K30*+30,20", "B3/S23:K30*,20", {LIFE_KLEIN, 30, 20, 1, 0, 0, 0}},
        {"B3/S23:C30,20", "B3/S23:C30,20", {LIFE_CROSS, 30, 20, 1, 1, 0, 0}},
        {"B3/S23:S30", "B3/S23:S30", {LIFE_SPHERE, 30, 30, 0, 0, 0, 0}},
        {"B3/S23:S30,30", "B3/S23:S30", {LIFE_SPHERE, 30, 30, 0, 0, 0, 0}},
        {"B3/S23:T1073741824,1", "B3/S23:T1073741824,1", {LIFE_TORUS, 1 << 30, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const UniverseRule rule = parsed(c.text);
        EXPECT_STREQ(rule.name, c.name) << c.text;
        EXPECT_EQ(memcmp(&rule.grid, &c.grid, sizeof c.grid), 0) << c.text;
    }
    const struct {
        const char* text;
        const char* reason;
    } refused[] = {
        {"B3/S23:T30+5,20-2", "shifts both the horizontal and the vertical edges of a torus"},
        {"B3/S23:K30*,20+1", "shifts the untwisted edges of a Klein bottle"},
        {"B3/S23:K31*+1,20", "across an odd size"},
        {"B3/S23:K30*,20*", "twists both pairs of edges"},
        {"B3/S23:K0*,20", "unbounded"},
        {"B3/S23:C30,0", "unbounded"},
        {"B3/S23:S0", "unbounded"},
        {"B3/S23:T30*,20", "twists the edges of a grid other than a Klein bottle"},
        {"B3/S23:C30*,20", "twists the edges"},
        {"B3/S23:P30+1,20", "shifts the edges of a grid other than"},
        {"B3/S23:C30+1,20", "shifts the edges of a grid other than"},
        {"B3/S23:S30+1", "shifts the edges of a grid other than"},
        {"B3/S23:S30,20", "a sphere of two different sizes"},
        {"B3/S23:T30+5,0", "unbounded one way"},
        {"B3/S23:T-30,20", "without a size"},
        {"B3/S23:T30,", "without a size"},
        {"B3/S23:T30+,20", "shift without a number"},
        {"B3/S23:T1073741825,20", "over 1073741824, the most this program holds"},
        {"B3/S23:T30,99999999999999999999999", "over 1073741824"},
        {"B3/S23:T30+1073741825,20", "over 1073741824"},
        {"B3/S23:T30,20,", "',' after its grid suffix"},
        {"B3/S23:Q10,10", "not :P, :T, :K, :C or :S"},
        {"B3/S23:", "not :P, :T, :K, :C or :S"},
    };
    for (const auto& c : refused)
        EXPECT_NE(refusal(c.text).find(c.reason), std::string::npos) << c.text << ": " << refusal(c.text);
}

} // namespace
