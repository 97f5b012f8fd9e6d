// Generations rules: a B/S rule for the cells in state 1 and a count of
// states, the cells past 1 dying one state at a time. The forms the community
// writes: B/S/C ("B2/S/C3", "B3/S23/4"), the older S/B/C of digits
// ("345/2/4", "/2/3"), Catagolue's "g4b2s345", and MAP strings ("MAP.../3");
// the B/S part is read by the two-state reader, Hensel's letters and the "V"
// and "H" neighbourhoods included, the latter also written after the count.
#include <cstring>

#include "life/rule_local.h"

namespace {

// The parts of a Generations text: the B/S part, the count's digits, and a
// neighbourhood letter written after the count.
struct GenerationsParts {
    const char* bs;
    const char* bsEnd;
    const char* count;
    const char* countEnd;
    char letter; // 'V', 'H' or 0
};

int isMapText(const char* p, const char* end)
{
    return end - p >= 3 && textLower(p[0]) == 'm' && textLower(p[1]) == 'a' && textLower(p[2]) == 'p';
}

// Splits text (up to any ':') into its parts: 1 when it has the shape of a
// Generations rule, 0 when it has not.
int splitParts(const char* p, const char* end, GenerationsParts* parts)
{
    *parts = GenerationsParts{};
    if (end - p >= 2 && textLower(p[0]) == 'g' && textIsDigit(p[1])) {
        const char* q = p + 1;
        while (q < end && textIsDigit(*q))
            q++;
        *parts = GenerationsParts{q, end, p + 1, q, 0};
        return 1;
    }
    // The count follows the last slash; a MAP string's own slashes are base64 digits.
    const char* last = nullptr;
    int slashes = 0;
    for (const char* q = p; q < end; q++)
        if (*q == '/') {
            slashes++;
            last = q;
        }
    if (!last || (isMapText(p, end) ? slashes < 1 : slashes != 2))
        return 0;
    const char* c = last + 1;
    if (c < end && (textLower(*c) == 'c' || textLower(*c) == 'g'))
        c++;
    const char* q = c;
    while (q < end && textIsDigit(*q))
        q++;
    if (q == c)
        return 0;
    char letter = 0;
    if (q < end && (textLower(*q) == 'v' || textLower(*q) == 'h')) {
        letter = (char)(textLower(*q) == 'v' ? 'V' : 'H');
        q++;
    }
    if (q != end)
        return 0;
    *parts = GenerationsParts{p, last, c, q - (letter ? 1 : 0), letter};
    return 1;
}

} // namespace

int ruleLooksGenerations(const char* text, size_t size)
{
    const char* colon = (const char*)memchr(text, ':', size);
    GenerationsParts parts;
    return splitParts(text, colon ? colon : text + size, &parts);
}

int ruleReadGenerations(const char* text, size_t size, StatesRule* rule, RuleRefusal* out)
{
    const char* end = text + size;
    const char* colon = (const char*)memchr(text, ':', size);
    GenerationsParts parts;
    if (!splitParts(text, colon ? colon : end, &parts)) {
        ruleRefuse(out, "is not a Generations rule");
        return 0;
    }
    const char* c = parts.count;
    int64_t count = 0;
    ruleReadNumber(&c, parts.countEnd, STATES_MAX, &count);
    if (count < 2 || count > STATES_MAX) {
        ruleRefuse(out, "has %s%d states; Generations rules have 2 to %d", count > STATES_MAX ? "over " : "",
                   (int)(count > STATES_MAX ? (int64_t)STATES_MAX : count), (int)STATES_MAX);
        return 0;
    }
    // The B/S part and the grid suffix, as the two-state reader takes them.
    char bs[LIFE_RULE_TEXT * 2];
    const size_t bsLength = (size_t)(parts.bsEnd - parts.bs);
    const size_t suffixLength = colon ? (size_t)(end - colon) : 0;
    if (bsLength + suffixLength + 2 > sizeof bs) {
        ruleRefuse(out, "is longer than any Generations rule");
        return 0;
    }
    memcpy(bs, parts.bs, bsLength);
    size_t n = bsLength;
    if (parts.letter)
        bs[n++] = parts.letter;
    if (colon) {
        memcpy(bs + n, colon, suffixLength);
        n += suffixLength;
    }
    UniverseRule two;
    char reason[256];
    if (!universeRuleParseBytes(bs, n, &two, reason, sizeof reason)) {
        // The two-state reader's words, after its own quote of the part it read.
        const char* words = strstr(reason, "\" ");
        ruleRefuse(out, "%s", words ? words + 2 : reason);
        return 0;
    }
    if (two.next[0] & 1) {
        ruleRefuse(out, "has B0, which Generations rules do not have");
        return 0;
    }
    *rule = StatesRule{};
    rule->family = STATES_GENERATIONS;
    rule->states = (int32_t)count;
    rule->grid = two.grid;
    memcpy(rule->next, two.next, sizeof rule->next);
    // "B2/S" and the grid from the two-state name, the count between them,
    // and the neighbourhood letter moved after the count.
    const char* twoColon = strchr(two.name, ':');
    size_t head = twoColon ? (size_t)(twoColon - two.name) : strlen(two.name);
    char letter[2] = {0, 0};
    if (head && (two.name[head - 1] == 'V' || two.name[head - 1] == 'H') && !isMapText(two.name, two.name + head))
        letter[0] = two.name[--head];
    char tail[16];
    snprintf(tail, sizeof tail, "/C%d", (int)count);
    RuleName name = {rule->name, rule->name + LIFE_RULE_TEXT - 1};
    rule->name[0] = '\0';
    char part[LIFE_RULE_TEXT];
    snprintf(part, sizeof part, "%.*s", (int)head, two.name);
    ruleNamePut(&name, part);
    ruleNamePut(&name, tail);
    ruleNamePut(&name, letter);
    ruleNameGrid(&name, &rule->grid);
    return 1;
}
