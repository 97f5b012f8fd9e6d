// Rule text as the Life community writes it, read into a 512-entry table: B/S
// digit sets, Hensel's letters for isotropic non-totalistic rules, the "V" and
// "H" neighbourhoods, MAP strings and the bounded grid suffix. Everything here
// works on the caller's bytes and the stack; no module state.
#include "life/life.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

enum { MOORE, VON_NEUMANN, HEXAGONAL, MAP_TABLE };

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

// What a rule's text says before the table is built.
struct RuleForm {
    int kind;                // MOORE, VON_NEUMANN, HEXAGONAL or MAP_TABLE
    uint16_t birth[9];       // per neighbour count, the set of its configurations
    uint16_t survival[9];
    uint8_t map[512];        // MAP_TABLE: the table itself
};

struct Refusal {
    char* text;
    size_t size;
    char quoted[64];  // the rule as given, cut short and made printable
};

void refuse(Refusal* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void refuse(Refusal* out, const char* format, ...)
{
    if (!out->text || out->size == 0)
        return;
    const int head = snprintf(out->text, out->size, "rule \"%s\" ", out->quoted);
    if (head < 0 || (size_t)head >= out->size)
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(out->text + head, out->size - (size_t)head, format, args);
    va_end(args);
}

void quote(Refusal* out, const char* text, size_t size)
{
    const size_t keep = sizeof out->quoted - 4;
    size_t n = 0;
    for (; n < size && n < keep; n++) {
        const unsigned char c = (unsigned char)text[n];
        out->quoted[n] = c >= 0x20 && c < 0x7F && c != '"' ? (char)c : '?';
    }
    if (n < size) {
        memcpy(out->quoted + n, "...", 3);
        n += 3;
    }
    out->quoted[n] = '\0';
}

// Reads a run of digits at *at, capped: a value above cap reads as cap + 1.
// Returns 0 when no digit is there.
int readNumber(const char** at, const char* end, int64_t cap, int64_t* value)
{
    const char* p = *at;
    int64_t v = 0;
    while (p < end && textIsDigit(*p)) {
        v = v * 10 + (*p - '0');
        if (v > cap)
            v = cap + 1;
        p++;
    }
    if (p == *at)
        return 0;
    *at = p;
    *value = v;
    return 1;
}

// One half's counts and letters, "2-a", "23", "2n3": each digit takes all its
// configurations, those its letters name, or with '-' all but those.
int readCounts(const char* p, const char* end, int maxCount, uint16_t sets[9], Refusal* out)
{
    while (p < end) {
        if (!textIsDigit(*p) || *p - '0' > maxCount) {
            if (textIsDigit(*p))
                refuse(out, "counts %c neighbours, more than its neighbourhood has", *p);
            else
                refuse(out, "is not a B/S rule: '%c' where a neighbour count belongs", *p);
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
                    refuse(out, "has Hensel's letters, which only the eight-neighbour rules take");
                else
                    refuse(out, "is not a B/S rule: '%c' is no configuration of %d neighbours", *p, count);
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

// "B3/S23", "S23/B3", "B3S23", "B3_S23", "23/3" (survival first), "B3/23", "B3".
int readHalves(const char* p, const char* end, RuleForm* form, Refusal* out)
{
    const int maxCount = form->kind == VON_NEUMANN ? 4 : form->kind == HEXAGONAL ? 6 : 8;
    const char* slash = nullptr;
    for (const char* q = p; q < end; q++)
        if (*q == '/' || *q == '_') {
            if (slash) {
                refuse(out, "is not a B/S rule: more than one '/'");
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
            refuse(out, "is not a B/S rule");
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
            refuse(out, "is not a B/S rule: two %s parts", firstIsBirth ? "B" : "S");
            return 0;
        }
        second++;
    }
    uint16_t* firstSets = firstIsBirth ? form->birth : form->survival;
    uint16_t* secondSets = firstIsBirth ? form->survival : form->birth;
    return readCounts(first, firstEnd, maxCount, firstSets, out) && readCounts(second, secondEnd, maxCount, secondSets, out);
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (textIsDigit(c))
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

const char base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
enum { MAP_CHARS = 86 };  // 512 bits in 6-bit characters, the last 4 bits unused

// A MAP string's entry j has the top-left cell as its highest bit; a
// neighbourhood index has it as its lowest, so the nine bits are reversed.
unsigned mapEntry(unsigned index)
{
    unsigned entry = 0;
    for (int bit = 0; bit < 9; bit++)
        if (index >> bit & 1)
            entry |= 1u << (8 - bit);
    return entry;
}

// "MAP" and 86 base64 characters, optionally "==" after them.
int readMap(const char* p, const char* end, RuleForm* form, Refusal* out)
{
    size_t length = (size_t)(end - p);
    if (length == MAP_CHARS + 2 && p[MAP_CHARS] == '=' && p[MAP_CHARS + 1] == '=')
        length = MAP_CHARS;
    if (length != MAP_CHARS) {
        refuse(out, "is not a MAP rule of the eight-neighbour square: it needs %d base64 characters, not %lu",
               (int)MAP_CHARS, (unsigned long)length);
        return 0;
    }
    uint8_t bits[MAP_CHARS * 6];
    for (int i = 0; i < MAP_CHARS; i++) {
        const int v = base64Value(p[i]);
        if (v < 0) {
            refuse(out, "is not a MAP rule: '%c' is no base64 character", p[i]);
            return 0;
        }
        for (int b = 0; b < 6; b++)
            bits[i * 6 + b] = (uint8_t)(v >> (5 - b) & 1);
    }
    form->kind = MAP_TABLE;
    for (unsigned i = 0; i < 512; i++)
        form->map[i] = bits[mapEntry(i)];
    return 1;
}

// The rule part before any ':': MAP, the Generations and Larger than Life
// forms told apart to be named in the refusal, then B/S.
int readRule(const char* p, const char* end, RuleForm* form, Refusal* out)
{
    const size_t length = (size_t)(end - p);
    if (length >= 3 && textLower(p[0]) == 'm' && textLower(p[1]) == 'a' && textLower(p[2]) == 'p')
        return readMap(p + 3, end, form, out);
    int slashes = 0, digits = 0;
    const char* lastSlash = nullptr;
    for (const char* q = p; q < end; q++) {
        slashes += *q == '/';
        digits += textIsDigit(*q);
        if (*q == '/')
            lastSlash = q;
    }
    if (length >= 2 && textLower(p[0]) == 'r' && textIsDigit(p[1])) {
        refuse(out, "is Larger than Life, on a wider neighbourhood; this program plays rules on the "
                    "eight nearest neighbours only");
        return 0;
    }
    // Generations: "B2/S/3", "B2/S/C3", "/2/3" (S/B/C), or Catagolue's "g3b2s".
    const char* states = nullptr;
    const char* rest = p;
    const char* restEnd = end;
    if (slashes == 2) {
        states = lastSlash + 1;
        restEnd = lastSlash;
        if (states < end && (textLower(*states) == 'c' || textLower(*states) == 'g'))
            states++;
    } else if (length >= 2 && textLower(p[0]) == 'g' && textIsDigit(p[1])) {
        states = p + 1;
    }
    if (states) {
        int64_t count = 0;
        const char* q = states;
        if (readNumber(&q, end, 1000000, &count) && count > 2) {
            refuse(out, "has %s%d states; this program plays two-state rules only", count > 1000000 ? "over " : "",
                   (int)(count > 1000000 ? 1000000 : count));
            return 0;
        }
        if (count != 2 || (slashes == 2 && q != end)) {
            refuse(out, "is not a rule this program knows; it plays two-state B/S rules only");
            return 0;
        }
        // Two states: Generations says no more than B/S does.
        if (slashes != 2)
            rest = q;
    }
    if (!digits && slashes == 0 && length > 0 && !(length == 2 && isBirth(p[0]) && isSurvival(p[1]))) {
        refuse(out, "names a rule table or a rule this program does not know; it plays two-state B/S rules only");
        return 0;
    }
    form->kind = MOORE;
    if (restEnd > rest && (textLower(restEnd[-1]) == 'v' || textLower(restEnd[-1]) == 'h')) {
        form->kind = textLower(restEnd[-1]) == 'v' ? VON_NEUMANN : HEXAGONAL;
        restEnd--;
    }
    return readHalves(rest, restEnd, form, out);
}

// One side of a grid suffix: "30", "30*", "30+5", "30*-1".
struct GridSide {
    int64_t size;
    int twist;
    int64_t shift;
    int shifted;  // a shift was written, even "+0"
};

int readSide(const char** at, const char* end, GridSide* side, Refusal* out)
{
    const char* p = *at;
    if (!readNumber(&p, end, LIFE_GRID_MAX, &side->size)) {
        refuse(out, "has a grid suffix without a size where one belongs");
        return 0;
    }
    if (p < end && *p == '*') {
        side->twist = 1;
        p++;
    }
    if (p < end && (*p == '+' || *p == '-')) {
        const int negative = *p++ == '-';
        if (!readNumber(&p, end, LIFE_GRID_MAX, &side->shift)) {
            refuse(out, "has a grid shift without a number");
            return 0;
        }
        side->shifted = 1;
        if (negative)
            side->shift = -side->shift;
    }
    if (side->size > LIFE_GRID_MAX || side->shift > LIFE_GRID_MAX || side->shift < -LIFE_GRID_MAX) {
        refuse(out, "has a grid size or shift over %d, the most this program holds", (int)LIFE_GRID_MAX);
        return 0;
    }
    *at = p;
    return 1;
}

// The suffix after ':', as Golly's help on bounded grids describes it.
int readGrid(const char* p, const char* end, LifeGridShape* grid, Refusal* out)
{
    const char* topologies = "ptkcs";
    const char* found = p < end ? strchr(topologies, textLower(*p)) : nullptr;
    if (!found || *p == '\0') {
        refuse(out, "has a grid suffix that is not :P, :T, :K, :C or :S and a size");
        return 0;
    }
    const char kind = *found;
    p++;
    GridSide x = {}, y = {};
    if (!readSide(&p, end, &x, out))
        return 0;
    const int twoSizes = p < end && *p == ',';
    if (twoSizes) {
        p++;
        if (!readSide(&p, end, &y, out))
            return 0;
    } else {
        y.size = x.size;
    }
    if (p != end) {
        refuse(out, "has '%c' after its grid suffix", *p);
        return 0;
    }
    if (kind != 'k' && (x.twist || y.twist)) {
        refuse(out, "twists the edges of a grid other than a Klein bottle");
        return 0;
    }
    const int shifts = (x.shifted && x.shift) + (y.shifted && y.shift);
    if (shifts && kind != 't' && kind != 'k') {
        refuse(out, "shifts the edges of a grid other than a torus or a Klein bottle");
        return 0;
    }
    if (shifts && (x.size == 0 || y.size == 0)) {
        refuse(out, "shifts the edges of a grid that is unbounded one way");
        return 0;
    }
    if (kind != 'p' && kind != 't' && (x.size == 0 || y.size == 0)) {
        refuse(out, "makes a Klein bottle, cross-surface or sphere unbounded");
        return 0;
    }
    *grid = LifeGridShape{};
    grid->width = (int32_t)x.size;
    grid->height = (int32_t)y.size;
    switch (kind) {
    case 'p':
        grid->topology = LIFE_PLANE;
        break;
    case 't':
        if (shifts == 2) {
            refuse(out, "shifts both the horizontal and the vertical edges of a torus");
            return 0;
        }
        grid->topology = LIFE_TORUS;
        grid->shiftX = x.size ? (int32_t)(x.shift % x.size) : 0;
        grid->shiftY = y.size ? (int32_t)(y.shift % y.size) : 0;
        break;
    case 'k': {
        if (x.twist && y.twist) {
            refuse(out, "twists both pairs of edges of a Klein bottle (that is :C)");
            return 0;
        }
        // Without a '*' the vertical edges are the twisted ones, as in Golly.
        const int twistX = x.twist;
        const GridSide& twisted = twistX ? x : y;
        const GridSide& straight = twistX ? y : x;
        if (straight.shifted && straight.shift) {
            refuse(out, "shifts the untwisted edges of a Klein bottle");
            return 0;
        }
        if (twisted.shifted && twisted.shift && twisted.size % 2) {
            refuse(out, "shifts the twisted edges of a Klein bottle across an odd size");
            return 0;
        }
        // Every shift of the twisted edges is the same as a shift of 1.
        const int32_t shift = twisted.shift % twisted.size ? 1 : 0;
        grid->topology = LIFE_KLEIN;
        grid->twistX = twistX;
        grid->twistY = !twistX;
        grid->shiftX = twistX ? shift : 0;
        grid->shiftY = twistX ? 0 : shift;
        break;
    }
    case 'c':
        grid->topology = LIFE_CROSS;
        grid->twistX = grid->twistY = 1;
        break;
    default:
        if (twoSizes && x.size != y.size) {
            refuse(out, "makes a sphere of two different sizes");
            return 0;
        }
        grid->topology = LIFE_SPHERE;
        break;
    }
    if (grid->width == 0 && grid->height == 0)
        *grid = LifeGridShape{};
    return 1;
}

void buildTable(const RuleForm* form, uint8_t next[512])
{
    if (form->kind == MAP_TABLE) {
        memcpy(next, form->map, 512);
        return;
    }
    uint8_t letter[512];
    classify(letter);
    for (unsigned i = 0; i < 512; i++) {
        const unsigned neighbours = i & NEIGHBOURS;
        const uint16_t* sets = i & CENTRE ? form->survival : form->birth;
        unsigned count, configuration = 0;
        if (form->kind == VON_NEUMANN) {
            count = (unsigned)__builtin_popcount(neighbours & ORTHOGONAL);
        } else if (form->kind == HEXAGONAL) {
            count = (unsigned)__builtin_popcount(neighbours & HEXAGONAL_NEIGHBOURS);
        } else {
            count = (unsigned)__builtin_popcount(neighbours);
            configuration = letter[neighbours];
        }
        next[i] = (uint8_t)(sets[count] >> configuration & 1);
    }
}

struct Text {
    char* at;
    char* end;  // room for the terminator stays after end
};

void put(Text* text, const char* s)
{
    while (*s && text->at < text->end)
        *text->at++ = *s++;
    *text->at = '\0';
}

// One half in canonical Hensel form: letters in alphabetical order, the
// shorter of the letters and '-' with the rest, the letters on a tie.
void putHalf(Text* text, const uint16_t sets[9], int maxCount)
{
    for (int count = 0; count <= maxCount; count++) {
        const unsigned set = sets[count];
        if (!set)
            continue;
        char digit[2] = {(char)('0' + count), '\0'};
        put(text, digit);
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
            put(text, "-");
            put(text, out);
        } else {
            put(text, in);
        }
    }
}

void putNumber(Text* text, int32_t value, int sign)
{
    char digits[16];
    snprintf(digits, sizeof digits, sign ? "%+d" : "%d", (int)value);
    put(text, digits);
}

void putGrid(Text* text, const LifeGridShape* grid)
{
    static const char* const letters[] = {"", ":P", ":T", ":K", ":C", ":S"};
    if (grid->topology == LIFE_UNBOUNDED)
        return;
    put(text, letters[grid->topology]);
    putNumber(text, grid->width, 0);
    if (grid->topology == LIFE_SPHERE)
        return;
    const int klein = grid->topology == LIFE_KLEIN;
    if (klein && grid->twistX)
        put(text, "*");
    if (grid->shiftX)
        putNumber(text, grid->shiftX, 1);
    put(text, ",");
    putNumber(text, grid->height, 0);
    if (klein && grid->twistY)
        put(text, "*");
    if (grid->shiftY)
        putNumber(text, grid->shiftY, 1);
}

void formatName(const RuleForm* form, const uint8_t next[512], char name[LIFE_RULE_TEXT])
{
    Text text = {name, name + LIFE_RULE_TEXT - 1};
    name[0] = '\0';
    if (form->kind == MAP_TABLE) {
        put(&text, "MAP");
        for (int i = 0; i < MAP_CHARS; i++) {
            int v = 0;
            for (int b = 0; b < 6; b++) {
                const int j = i * 6 + b;
                v = v << 1 | (j < 512 ? next[mapEntry((unsigned)j)] : 0);
            }
            const char digit[2] = {base64Digits[v], '\0'};
            put(&text, digit);
        }
        return;
    }
    const int maxCount = form->kind == VON_NEUMANN ? 4 : form->kind == HEXAGONAL ? 6 : 8;
    put(&text, "B");
    putHalf(&text, form->birth, maxCount);
    put(&text, "/S");
    putHalf(&text, form->survival, maxCount);
    put(&text, form->kind == VON_NEUMANN ? "V" : form->kind == HEXAGONAL ? "H" : "");
}

} // namespace

int universeRuleParseBytes(const char* text, size_t size, UniverseRule* rule, char* reason, size_t reasonSize)
{
    Refusal out = {reason, reasonSize, {}};
    if (reason && reasonSize)
        reason[0] = '\0';
    if (!text)
        size = 0;
    while (size && textIsBlank(text[0])) {
        text++;
        size--;
    }
    while (size && textIsBlank(text[size - 1]))
        size--;
    quote(&out, text, size);
    if (!rule) {
        refuse(&out, "has nowhere to go");
        return 0;
    }
    if (size == 0) {
        refuse(&out, "is empty");
        return 0;
    }
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c >= 0x7F) {
            refuse(&out, "has byte %u, which no rule holds", c);
            return 0;
        }
    }
    const char* end = text + size;
    const char* colon = (const char*)memchr(text, ':', size);
    RuleForm form = {};
    LifeGridShape grid = {};
    if (!readRule(text, colon ? colon : end, &form, &out) || (colon && !readGrid(colon + 1, end, &grid, &out)))
        return 0;
    buildTable(&form, rule->next);
    rule->grid = grid;
    formatName(&form, rule->next, rule->name);
    Text name = {rule->name + strlen(rule->name), rule->name + LIFE_RULE_TEXT - 1};
    putGrid(&name, &rule->grid);
    return 1;
}

int universeRuleParse(const char* text, UniverseRule* rule, char* reason, size_t reasonSize)
{
    return universeRuleParseBytes(text, text ? strlen(text) : 0, rule, reason, reasonSize);
}
