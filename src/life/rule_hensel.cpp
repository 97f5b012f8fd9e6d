// B/S rules: the two halves of digit sets with Hensel's letters read into a
// form, the form's table on the eight, four ("V") or six ("H") neighbours,
// its canonical name, and back from any table to the counts it looks at.
#include <cstring>

#include "life/rule_local.h"

namespace {

// Bits of a neighbourhood index: the eight neighbours, and those the "V" and
// "H" neighbourhoods count (Golly's hexagonal emulation drops NE and SW).
enum : unsigned {
    CENTRE = 1u << 4,
    NEIGHBOURS = 0x1EF,
    ORTHOGONAL = 0x0AA,
    HEXAGONAL_NEIGHBOURS = 0x1AB,
};

// Hensel's letters for each neighbour count, in the order bit k of a count's
// class set names; 0 and 8 have one configuration and no letter. A count
// above 4 has the letters of 8 - count, each naming the complement.
const char* const countLetters[9] = {"", "ce", "cekain", "cekainyqjr", "cekainyqjrtwz", "cekainyqjr", "cekain", "ce", ""};

int letterCount(int count)
{
    const int n = (int)strlen(countLetters[count]);
    return n ? n : 1;
}

unsigned allClasses(int count)
{
    return (1u << letterCount(count)) - 1;
}

// One configuration of each letter for counts 1 to 4, rows top to bottom,
// 'o' a live neighbour, the middle character the cell itself (as drawn in
// LifeWiki's and Golly's tables; the tests check each against bgolly).
const char* const representatives[5][13] = {
    {},
    {"o........", ".o......."},
    {"o.o......", ".o.o.....", "o....o...", "oo.......", ".o.....o.", "o.......o"},
    {"o.o...o..", ".o.o.o...", "o....o.o.", "oo.o.....", "ooo......", "o.o..o...", "o.o....o.", "oo......o",
     "oo...o...", "oo.....o."},
    {"o.o...o.o", ".o.o.o.o.", "o.oo...o.", "ooo..o...", "o.oo.o...", "ooo...o..", "o.o..oo..", "oo.o....o",
     "oo...o.o.", "oo.o.o...", "ooo....o.", "oo...o..o", "oo.....oo"},
};

unsigned maskOf(const char* rows)
{
    unsigned mask = 0;
    for (int bit = 0; bit < 9; bit++)
        if (rows[bit] == 'o')
            mask |= 1u << bit;
    return mask;
}

// The image of mask under one of the square's eight symmetries: a quarter
// turn taken `turns` times, then a mirror when `mirror` is set.
unsigned transform(unsigned mask, int turns, int mirror)
{
    unsigned out = 0;
    for (int bit = 0; bit < 9; bit++) {
        if (!(mask >> bit & 1))
            continue;
        int row = bit / 3, col = bit % 3;
        for (int t = 0; t < turns; t++) {
            const int turned = col;
            col = 2 - row;
            row = turned;
        }
        if (mirror)
            col = 2 - col;
        out |= 1u << (row * 3 + col);
    }
    return out;
}

// letter[m] for every neighbourhood m without its centre bit: the index of
// the Hensel letter (in countLetters order) naming m's configuration.
void classify(uint8_t letter[512])
{
    memset(letter, 0, 512);
    for (int count = 1; count <= 4; count++)
        for (int k = 0; k < letterCount(count); k++) {
            const unsigned mask = maskOf(representatives[count][k]);
            for (int turns = 0; turns < 4; turns++)
                for (int mirror = 0; mirror < 2; mirror++)
                    letter[transform(mask, turns, mirror)] = (uint8_t)k;
        }
    for (unsigned m = 0; m < 512; m++)
        if (!(m & CENTRE) && __builtin_popcount(m) > 4)
            letter[m] = letter[m ^ NEIGHBOURS];
}

// One half's counts and letters, "2-a", "23", "2n3": each digit takes all its
// configurations, those its letters name, or with '-' all but those.
int readCounts(const char* p, const char* end, int maxCount, uint16_t sets[9], RuleRefusal* out)
{
    while (p < end) {
        if (!textIsDigit(*p) || *p - '0' > maxCount) {
            if (textIsDigit(*p))
                ruleRefuse(out, "counts %c neighbours, more than its neighbourhood has", *p);
            else
                ruleRefuse(out, "is not a B/S rule: '%c' where a neighbour count belongs", *p);
            return 0;
        }
        const int count = *p++ - '0';
        const int minus = p < end && *p == '-';
        p += minus;
        unsigned letters = 0;
        for (; p < end && !textIsDigit(*p); p++) {
            const char* found = strchr(countLetters[count], textLower(*p));
            if (maxCount != 8 || *p == '\0' || !found) {
                if (maxCount != 8 && textIsLetter(*p))
                    ruleRefuse(out, "has Hensel's letters, which only the eight-neighbour rules take");
                else
                    ruleRefuse(out, "is not a B/S rule: '%c' is no configuration of %d neighbours", *p, count);
                return 0;
            }
            letters |= 1u << (found - countLetters[count]);
        }
        sets[count] |= (uint16_t)(!letters ? allClasses(count) : minus ? allClasses(count) & ~letters : letters);
    }
    return 1;
}

int isBirth(char c)
{
    return textLower(c) == 'b';
}

int isSurvival(char c)
{
    return textLower(c) == 's';
}

int maxCountOf(const RuleForm* form)
{
    return form->kind == FORM_VON_NEUMANN ? 4 : form->kind == FORM_HEXAGONAL ? 6 : 8;
}

// One half in canonical Hensel form: letters in alphabetical order, the
// shorter of the letters and '-' with the rest, the letters on a tie.
void putHalf(RuleName* name, const uint16_t sets[9], int maxCount)
{
    for (int count = 0; count <= maxCount; count++) {
        const unsigned set = sets[count];
        if (!set)
            continue;
        char digit[2] = {(char)('0' + count), '\0'};
        ruleNamePut(name, digit);
        if (set == allClasses(count))
            continue;
        char in[16], out[16];
        int inCount = 0, outCount = 0;
        for (char c = 'a'; c <= 'z'; c++) {
            const char* found = strchr(countLetters[count], c);
            if (!found)
                continue;
            if (set >> (found - countLetters[count]) & 1)
                in[inCount++] = c;
            else
                out[outCount++] = c;
        }
        in[inCount] = out[outCount] = '\0';
        if (outCount + 1 < inCount) {
            ruleNamePut(name, "-");
            ruleNamePut(name, out);
        } else {
            ruleNamePut(name, in);
        }
    }
}

} // namespace

// "B3/S23", "S23/B3", "B3S23", "B3_S23", "23/3" (survival first), "B3/23", "B3".
int ruleReadHalves(const char* p, const char* end, RuleForm* form, RuleRefusal* out)
{
    const int maxCount = maxCountOf(form);
    const char* slash = nullptr;
    for (const char* q = p; q < end; q++)
        if (*q == '/' || *q == '_') {
            if (slash) {
                ruleRefuse(out, "is not a B/S rule: more than one '/'");
                return 0;
            }
            slash = q;
        }
    const char *first = p, *firstEnd, *second, *secondEnd = end;
    if (slash) {
        firstEnd = slash;
        second = slash + 1;
    } else {
        // Without a slash both halves carry their letter; neither B nor S is one of Hensel's.
        if (p == end || !(isBirth(*p) || isSurvival(*p))) {
            ruleRefuse(out, "is not a B/S rule");
            return 0;
        }
        const char* q = p + 1;
        while (q < end && (isBirth(*p) ? !isSurvival(*q) : !isBirth(*q)))
            q++;
        // One part alone ("B234", as Life 1.05 files write it) leaves the other empty.
        firstEnd = q;
        second = q;
    }
    // Which half comes first: its letter says so; digits alone are survival first.
    int firstIsBirth = 0;
    if (first < firstEnd && (isBirth(*first) || isSurvival(*first))) {
        firstIsBirth = isBirth(*first);
        first++;
    }
    if (second < secondEnd && (isBirth(*second) || isSurvival(*second))) {
        if (isBirth(*second) == firstIsBirth) {
            ruleRefuse(out, "is not a B/S rule: two %s parts", firstIsBirth ? "B" : "S");
            return 0;
        }
        second++;
    }
    uint16_t* firstSets = firstIsBirth ? form->birth : form->survival;
    uint16_t* secondSets = firstIsBirth ? form->survival : form->birth;
    return readCounts(first, firstEnd, maxCount, firstSets, out) && readCounts(second, secondEnd, maxCount, secondSets, out);
}

void ruleHalvesTable(const RuleForm* form, uint8_t next[512])
{
    uint8_t letter[512];
    classify(letter);
    for (unsigned i = 0; i < 512; i++) {
        const unsigned neighbours = i & NEIGHBOURS;
        const uint16_t* sets = i & CENTRE ? form->survival : form->birth;
        unsigned count, configuration = 0;
        if (form->kind == FORM_VON_NEUMANN) {
            count = (unsigned)__builtin_popcount(neighbours & ORTHOGONAL);
        } else if (form->kind == FORM_HEXAGONAL) {
            count = (unsigned)__builtin_popcount(neighbours & HEXAGONAL_NEIGHBOURS);
        } else {
            count = (unsigned)__builtin_popcount(neighbours);
            configuration = letter[neighbours];
        }
        next[i] = (uint8_t)(sets[count] >> configuration & 1);
    }
}

int universeRuleCounts(const uint8_t next[512], uint16_t counts[2], uint16_t mixed[2])
{
    unsigned some[2] = {0, 0}, all[2] = {0x1FF, 0x1FF};
    for (unsigned i = 0; i < 512; i++) {
        const int self = i & CENTRE ? 1 : 0;
        const unsigned count = 1u << __builtin_popcount(i & NEIGHBOURS);
        if (next[i] & 1)
            some[self] |= count;
        else
            all[self] &= ~count;
    }
    for (int self = 0; self < 2; self++) {
        counts[self] = (uint16_t)all[self];
        mixed[self] = (uint16_t)(some[self] & ~all[self]);
    }
    return !mixed[0] && !mixed[1];
}

void ruleNameHalves(RuleName* name, const RuleForm* form)
{
    ruleNamePut(name, "B");
    putHalf(name, form->birth, maxCountOf(form));
    ruleNamePut(name, "/S");
    putHalf(name, form->survival, maxCountOf(form));
    ruleNamePut(name, form->kind == FORM_VON_NEUMANN ? "V" : form->kind == FORM_HEXAGONAL ? "H" : "");
}
