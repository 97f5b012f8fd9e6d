// Rule text as the Life community writes it, read into a 512-entry table: the
// text trimmed and checked, its form told apart (MAP, B/S with Hensel's
// letters and the "V" and "H" neighbourhoods, and the Generations and Larger
// than Life forms, named in the refusal), the stages of rule_hensel.cpp,
// rule_map.cpp and rule_grid.cpp called, and the canonical name put together.
// Everything here works on the caller's bytes and the stack; no module state.
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"

namespace {

int isMap(const char* p, const char* end)
{
    return end - p >= 3 && textLower(p[0]) == 'm' && textLower(p[1]) == 'a' && textLower(p[2]) == 'p';
}

// A Generations rule's count of states: after the second of two slashes
// ("B2/S/3", "B2/S/C3", "/2/3", S/B/C), where it ends the text, or after
// Catagolue's 'g' ("g3b2s"), where the B/S part follows it.
struct StatesPart {
    const char* at;     // the count's first digit, or where it belongs; null: no such part
    const char* bsEnd;  // where the B/S part before it ends, or end
    int slashed;        // 1: the slashed forms
};

StatesPart statesPart(const char* p, const char* end)
{
    int slashes = 0;
    const char* lastSlash = nullptr;
    for (const char* q = p; q < end; q++)
        if (*q == '/') {
            slashes++;
            lastSlash = q;
        }
    StatesPart part = {nullptr, end, slashes == 2};
    if (part.slashed) {
        part.at = lastSlash + 1;
        part.bsEnd = lastSlash;
        if (part.at < end && (textLower(*part.at) == 'c' || textLower(*part.at) == 'g'))
            part.at++;
    } else if (end - p >= 2 && textLower(p[0]) == 'g' && textIsDigit(p[1])) {
        part.at = p + 1;
    }
    return part;
}

// The rule part before any ':': MAP, the Generations and Larger than Life
// forms told apart to be named in the refusal, then B/S.
int readRule(const char* p, const char* end, RuleForm* form, RuleRefusal* out)
{
    if (isMap(p, end))
        return ruleReadMap(p + 3, end, form, out);
    const size_t length = (size_t)(end - p);
    if (length >= 2 && textLower(p[0]) == 'r' && textIsDigit(p[1])) {
        ruleRefuse(out, "is Larger than Life, on a wider neighbourhood; this program plays rules on the "
                        "eight nearest neighbours only");
        return 0;
    }
    const StatesPart states = statesPart(p, end);
    const char* rest = p;
    const char* restEnd = states.bsEnd;
    if (states.at) {
        int64_t count = 0;
        const char* q = states.at;
        if (ruleReadNumber(&q, end, 1000000, &count) && count > 2) {
            ruleRefuse(out, "has %s%d states; this program plays two-state rules only", count > 1000000 ? "over " : "",
                       (int)(count > 1000000 ? 1000000 : count));
            return 0;
        }
        if (count != 2 || (states.slashed && q != end)) {
            ruleRefuse(out, "is not a rule this program knows; it plays two-state B/S rules only");
            return 0;
        }
        // Two states: Generations says no more than B/S does.
        if (!states.slashed)
            rest = q;
    }
    int slashes = 0, digits = 0;
    for (const char* q = p; q < end; q++) {
        slashes += *q == '/';
        digits += textIsDigit(*q);
    }
    if (!digits && slashes == 0 && length > 0 && !(length == 2 && textLower(p[0]) == 'b' && textLower(p[1]) == 's')) {
        ruleRefuse(out, "names a rule table or a rule this program does not know; it plays two-state B/S rules only");
        return 0;
    }
    form->kind = FORM_MOORE;
    if (restEnd > rest && (textLower(restEnd[-1]) == 'v' || textLower(restEnd[-1]) == 'h')) {
        form->kind = textLower(restEnd[-1]) == 'v' ? FORM_VON_NEUMANN : FORM_HEXAGONAL;
        restEnd--;
    }
    return ruleReadHalves(rest, restEnd, form, out);
}

// Blanks around the text do not count.
void trimBlanks(const char** text, size_t* size)
{
    while (*size && textIsBlank((*text)[0])) {
        (*text)++;
        (*size)--;
    }
    while (*size && textIsBlank((*text)[*size - 1]))
        (*size)--;
}

} // namespace

int universeRuleParseBytes(const char* text, size_t size, UniverseRule* rule, char* reason, size_t reasonSize)
{
    RuleRefusal out = {reason, reasonSize, {}};
    if (reason && reasonSize)
        reason[0] = '\0';
    if (!text)
        size = 0;
    trimBlanks(&text, &size);
    // The one name bgolly takes for a rule: "Life", Conway's, exactly so spelled.
    if (size == 4 && memcmp(text, "Life", 4) == 0) {
        text = "B3/S23";
        size = 6;
    }
    ruleQuote(&out, text, size);
    if (!rule) {
        ruleRefuse(&out, "has nowhere to go");
        return 0;
    }
    if (size == 0) {
        ruleRefuse(&out, "is empty");
        return 0;
    }
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c >= 0x7F) {
            ruleRefuse(&out, "has byte %u, which no rule holds", c);
            return 0;
        }
    }
    const char* end = text + size;
    const char* colon = (const char*)memchr(text, ':', size);
    RuleForm form = {};
    LifeGridShape grid = {};
    if (!readRule(text, colon ? colon : end, &form, &out) || (colon && !ruleReadGrid(colon + 1, end, &grid, &out)))
        return 0;
    if (form.kind == FORM_MAP)
        memcpy(rule->next, form.map, sizeof rule->next);
    else
        ruleHalvesTable(&form, rule->next);
    rule->grid = grid;
    RuleName name = {rule->name, rule->name + LIFE_RULE_TEXT - 1};
    rule->name[0] = '\0';
    if (form.kind == FORM_MAP)
        ruleNameMap(&name, rule->next);
    else
        ruleNameHalves(&name, &form);
    ruleNameGrid(&name, &rule->grid);
    return 1;
}

int universeRuleComplement(const UniverseRule* rule, UniverseRule* complement)
{
    uint8_t next[512];
    for (int i = 0; i < 512; i++)
        next[i] = (uint8_t)(1 - (rule->next[511 - i] & 1));
    // Written out and read back, so the name is the reader's own.
    char text[LIFE_RULE_TEXT * 2];
    RuleName name = {text, text + sizeof text - 1};
    text[0] = '\0';
    uint16_t counts[2], mixed[2];
    if (universeRuleCounts(next, counts, mixed)) {
        for (int half = 0; half < 2; half++) {
            ruleNamePut(&name, half ? "/S" : "B");
            for (int n = 0; n <= 8; n++)
                if (counts[half] >> n & 1)
                    ruleNamePutNumber(&name, n, 0);
        }
    } else {
        ruleNameMap(&name, next);
    }
    ruleNameGrid(&name, &rule->grid);
    return universeRuleParse(text, complement, nullptr, 0);
}

int universeRuleParse(const char* text, UniverseRule* rule, char* reason, size_t reasonSize)
{
    return universeRuleParseBytes(text, text ? strlen(text) : 0, rule, reason, reasonSize);
}

int universeRuleStates(const char* text)
{
    if (!text)
        return 2;
    size_t size = strlen(text);
    trimBlanks(&text, &size);
    const char* colon = (const char*)memchr(text, ':', size);
    const char* end = colon ? colon : text + size;
    const StatesPart states = isMap(text, end) ? StatesPart{} : statesPart(text, end);
    int64_t count = 0;
    const char* q = states.at;
    if (states.at && ruleReadNumber(&q, end, 1000000, &count) && count > 2)
        return (int)count;
    return 2;
}
