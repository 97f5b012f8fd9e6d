// Rules for the 64 x 64 board: the rule as the universe's reader reads it,
// its birth and survival counts, and their fit into Rules.ini's four numbers,
// which hold one unbroken range of neighbour counts for survival and one for
// birth.
#include <cstring>

#include "pattern/pattern_local.h"

// The board is a 64 x 64 plane that does not wrap: a grid suffix must name
// that plane. The suffix is quoted as the file gives it.
static int checkGrid(const char* text, const UniverseRule* rule, PatternError* error)
{
    const char* colon = strchr(text, ':');
    const LifeGridShape* grid = &rule->grid;
    if (!colon || (grid->topology == LIFE_PLANE && grid->width == LIFE_SIZE && grid->height == LIFE_SIZE))
        return 1;
    if (grid->topology == LIFE_PLANE || grid->topology == LIFE_UNBOUNDED)
        return patternFail(error, 0, "rule '%s': '%s' is a plane of another size; the board is a 64 x 64 plane "
                                     "(':P64,64')", text, colon);
    return patternFail(error, 0, "rule '%s': '%s' is a grid that wraps at its edges; the board is a 64 x 64 "
                                 "plane that does not wrap", text, colon);
}

int parseRule(const char* text, RuleSets* sets, PatternError* error)
{
    sets->birth = 0;
    sets->survive = 0;
    UniverseRule rule;
    char reason[PATTERN_MESSAGE];
    if (!universeRuleParse(text, &rule, reason, sizeof reason))
        return patternFail(error, 0, "%s", reason);
    if (!checkGrid(text, &rule, error))
        return 0;
    uint16_t counts[2], mixed[2];
    if (!universeRuleCounts(rule.next, counts, mixed)) {
        const int survival = !mixed[0];
        return patternFail(error, 0, "rule %s: %s on %d neighbours depends on which neighbours they are; the board "
                                     "counts its 8 neighbours alike", rule.name, survival ? "survival" : "birth",
                           __builtin_ctz(mixed[survival]));
    }
    sets->birth = counts[0];
    sets->survive = counts[1];
    return 1;
}

static void formatCounts(uint16_t set, char* out, size_t size)
{
    size_t n = 0;
    for (int k = 0; k <= 8 && n + 1 < size; k++) {
        if (set & (1u << k))
            out[n++] = (char)('0' + k);
    }
    out[n] = '\0';
}

// "3 and 6", "1, 2 and 4": the counts of a set for a message.
static void listCounts(uint16_t set, char* out, size_t size)
{
    char digits[10];
    formatCounts(set, digits, sizeof digits);
    const size_t n = strlen(digits);
    size_t used = 0;
    out[0] = '\0';
    for (size_t k = 0; k < n && used < size; k++) {
        const char* joint = k == 0 ? "" : (k + 1 == n ? " and " : ", ");
        used += (size_t)snprintf(out + used, size - used, "%s%c", joint, digits[k]);
    }
}

void formatRule(const RuleSets* sets, char* out, size_t size)
{
    char birth[10], survive[10];
    formatCounts(sets->birth, birth, sizeof birth);
    formatCounts(sets->survive, survive, sizeof survive);
    snprintf(out, size, "B%s/S%s", birth, survive);
}

// Lowest and highest count in set; 1 when every count between them is in it.
static int countRange(uint16_t set, int32_t* low, int32_t* high)
{
    int32_t lo = 0;
    while (!(set & (1u << lo)))
        lo++;
    int32_t hi = 8;
    while (!(set & (1u << hi)))
        hi--;
    *low = lo;
    *high = hi;
    for (int32_t k = lo; k <= hi; k++) {
        if (!(set & (1u << k)))
            return 0;
    }
    return 1;
}

int ruleToFour(const RuleSets* sets, LifeRule* rule, PatternError* error)
{
    char name[32], counts[48];
    formatRule(sets, name, sizeof name);
    int32_t low, high;
    if (sets->survive == 0) {
        // No count from 0 to 8 is above 8.
        rule->surviveAbove = 8;
        rule->surviveBelow = 9;
    } else if (countRange(sets->survive, &low, &high)) {
        rule->surviveAbove = low - 1;
        rule->surviveBelow = high + 1;
    } else {
        listCounts(sets->survive, counts, sizeof counts);
        return patternFail(error, 0, "rule %s cannot be written to Rules.ini: survival on %s neighbours is not one "
                                     "unbroken range, and Rules.ini holds one range for survival and one for birth",
                           name, counts);
    }
    if (sets->birth == 0) {
        // No count from 0 to 8 reaches 9.
        rule->birthMin = 9;
        rule->birthMax = 9;
    } else if (countRange(sets->birth, &low, &high)) {
        rule->birthMin = low;
        rule->birthMax = high;
    } else {
        listCounts(sets->birth, counts, sizeof counts);
        return patternFail(error, 0, "rule %s cannot be written to Rules.ini: birth on %s neighbours is not one "
                                     "unbroken range, and Rules.ini holds one range for survival and one for birth",
                           name, counts);
    }
    return 1;
}
