// Rules in B/S notation and their fit into Rules.ini's four numbers, which hold
// one unbroken range of neighbour counts for survival and one for birth.
#include <cstring>

#include "pattern/pattern_local.h"

static char upper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// Reads neighbour-count digits from text[*i] into *set until a character that
// is no digit. Fails on a 9 or on a letter right after the digits.
static int readCounts(const char* text, size_t length, size_t* i, uint16_t* set, PatternError* error)
{
    for (; *i < length; (*i)++) {
        const char c = text[*i];
        if (c >= '0' && c <= '8') {
            *set = (uint16_t)(*set | (1u << (c - '0')));
        } else if (c == '9') {
            return patternFail(error, 0, "rule '%s': 9 neighbours is impossible, a cell has 8", text);
        } else if (c == '/') {
            return 1;
        } else if (upper(c) == 'B' || upper(c) == 'S') {
            return 1;
        } else {
            char what[16];
            describeChar(c, what, sizeof what);
            return patternFail(error, 0,
                               "rule '%s': %s after the digits names a neighbourhood or a non-totalistic rule; "
                               "the program only counts all 8 neighbours",
                               text, what);
        }
    }
    return 1;
}

// The grid after ':' names the board the rule was meant for: only a bounded
// 64 x 64 plane ("P64,64") is this board.
static int checkGrid(const char* text, const char* grid, PatternError* error)
{
    const char shape = upper(grid[0]);
    if (shape == 'P' && strcmp(grid + 1, "64,64") == 0)
        return 1;
    if (shape == 'P')
        return patternFail(error, 0, "rule '%s': ':%s' is a bounded plane of another size; the board is a "
                                     "64 x 64 plane (':P64,64')", text, grid);
    if (shape == 'T' || shape == 'K' || shape == 'C' || shape == 'S')
        return patternFail(error, 0, "rule '%s': ':%s' is a grid that wraps at its edges; the board is a "
                                     "64 x 64 plane that does not wrap", text, grid);
    return patternFail(error, 0, "rule '%s': unknown grid ':%s'; the board is a 64 x 64 plane that does "
                                 "not wrap", text, grid);
}

int parseRule(const char* text, RuleSets* sets, PatternError* error)
{
    sets->birth = 0;
    sets->survive = 0;
    size_t length = strlen(text);
    const char* colon = (const char*)memchr(text, ':', length);
    if (colon) {
        if (!checkGrid(text, colon + 1, error))
            return 0;
        length = (size_t)(colon - text);
    }
    size_t slashes = 0;
    for (size_t k = 0; k < length; k++)
        slashes += text[k] == '/';
    if (length > 0 && ((text[0] >= '0' && text[0] <= '9') || text[0] == '/')) {
        // "S/B": survival digits, '/', birth digits.
        if (slashes != 1)
            return patternFail(error, 0, "rule '%s': %s", text,
                               slashes > 1 ? "a third part means a multi-state rule, which the board cannot show"
                                           : "expected survival and birth digits separated by '/', e.g. 23/3");
        size_t i = 0;
        if (!readCounts(text, length, &i, &sets->survive, error))
            return 0;
        if (i >= length || text[i] != '/')
            return patternFail(error, 0, "rule '%s': expected digits before '/'", text);
        i++;
        if (!readCounts(text, length, &i, &sets->birth, error))
            return 0;
        if (i < length)
            return patternFail(error, 0, "rule '%s': unexpected text after the birth digits", text);
        return 1;
    }
    // "B3/S23", "b3s23" or "S23/B3".
    int haveB = 0, haveS = 0;
    size_t i = 0;
    while (i < length) {
        const char part = upper(text[i]);
        if ((part == 'B' && !haveB) || (part == 'S' && !haveS)) {
            i++;
            if (!readCounts(text, length, &i, part == 'B' ? &sets->birth : &sets->survive, error))
                return 0;
            haveB |= part == 'B';
            haveS |= part == 'S';
            if (i < length && text[i] == '/')
                i++;
            continue;
        }
        if (haveB && haveS)
            return patternFail(error, 0, "rule '%s': a third part means a multi-state rule, which the board "
                                         "cannot show", text);
        return patternFail(error, 0, "rule '%s': expected B/S notation such as B3/S23 (or S/B such as 23/3)", text);
    }
    if (!haveB || !haveS)
        return patternFail(error, 0, "rule '%s': both a B part and an S part are needed, e.g. B3/S23", text);
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
