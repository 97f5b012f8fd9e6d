// Larger than Life rules in MCell's notation, "R5,C0,M1,S34..58,B34..45,NM",
// and Kellie Evans' five numbers, "5,34,45,34,58" (range, birth and survival
// limits, the cell itself counted, the square): a range up to 500, up to 256
// states, survival and birth as ranges of the count of state-1 cells in the
// square (NM), the diamond (NN) or the disc (NC). Only planes and tori bound
// them; a side shorter than twice the range grows to it, as the community's
// programs grow it.
#include <cstring>

#include "life/rule_local.h"

namespace {

int64_t neighbourhoodSize(int64_t range, int kind)
{
    if (kind == LARGER_MOORE)
        return (2 * range + 1) * (2 * range + 1);
    if (kind == LARGER_VON_NEUMANN)
        return 2 * range * (range + 1) + 1;
    // The disc: the cells nearer the centre than range + 1/2.
    int64_t cells = 0;
    for (int64_t dy = -range; dy <= range; dy++)
        for (int64_t dx = -range; dx <= range; dx++)
            cells += dx * dx + dy * dy <= range * range + range;
    return cells;
}

// "<letter><number>" at *p, the letter in either case: 1 with the number and
// *p past it.
int readField(const char** p, const char* end, char letter, int64_t* value)
{
    if (*p >= end || textLower(**p) != letter)
        return 0;
    const char* q = *p + 1;
    if (!ruleReadNumber(&q, end, 100000000, value))
        return 0;
    *p = q;
    return 1;
}

// "<letter><low>..<high>".
int readLimits(const char** p, const char* end, char letter, int64_t* low, int64_t* high)
{
    const char* q = *p;
    if (!readField(&q, end, letter, low) || end - q < 2 || q[0] != '.' || q[1] != '.')
        return 0;
    q += 2;
    if (!ruleReadNumber(&q, end, 100000000, high))
        return 0;
    *p = q;
    return 1;
}

int readComma(const char** p, const char* end)
{
    if (*p >= end || **p != ',')
        return 0;
    (*p)++;
    return 1;
}

struct LargerFields {
    int64_t range, states, middle, sMin, sMax, bMin, bMax;
    int kind;
};

int readMcell(const char* p, const char* end, LargerFields* f)
{
    char n = 0;
    if (!(readField(&p, end, 'r', &f->range) && readComma(&p, end) && readField(&p, end, 'c', &f->states) &&
          readComma(&p, end) && readField(&p, end, 'm', &f->middle) && readComma(&p, end) &&
          readLimits(&p, end, 's', &f->sMin, &f->sMax) && readComma(&p, end) &&
          readLimits(&p, end, 'b', &f->bMin, &f->bMax) && readComma(&p, end) && end - p == 2 &&
          textLower(p[0]) == 'n'))
        return 0;
    n = textLower(p[1]);
    f->kind = n == 'm' ? LARGER_MOORE : n == 'n' ? LARGER_VON_NEUMANN : n == 'c' ? LARGER_CIRCULAR : -1;
    return f->kind >= 0;
}

int readEvans(const char* p, const char* end, LargerFields* f)
{
    int64_t v[5];
    for (int i = 0; i < 5; i++)
        if ((i && !readComma(&p, end)) || !ruleReadNumber(&p, end, 100000000, &v[i]))
            return 0;
    if (p != end)
        return 0;
    *f = LargerFields{v[0], 0, 1, v[3], v[4], v[1], v[2], LARGER_MOORE};
    return 1;
}

} // namespace

int ruleLooksLarger(const char* text, size_t size)
{
    if (size >= 2 && textLower(text[0]) == 'r' && textIsDigit(text[1]))
        return 1;
    const char* colon = (const char*)memchr(text, ':', size);
    LargerFields f;
    return readEvans(text, colon ? colon : text + size, &f);
}

int ruleReadLarger(const char* text, size_t size, StatesRule* rule, RuleRefusal* out)
{
    const char* end = text + size;
    const char* colon = (const char*)memchr(text, ':', size);
    const char* ruleEnd = colon ? colon : end;
    LargerFields f = {};
    if (!readMcell(text, ruleEnd, &f) && !readEvans(text, ruleEnd, &f)) {
        ruleRefuse(out, "is not a Larger than Life rule: it reads Rr,Cc,Mm,Smin..max,Bmin..max,N(M|N|C) or "
                        "r,bmin,bmax,smin,smax");
        return 0;
    }
    if (f.range < 1 || f.range > LARGER_RANGE_MAX) {
        ruleRefuse(out, "has range %lld; Larger than Life ranges are 1 to %d", (long long)f.range,
                   (int)LARGER_RANGE_MAX);
        return 0;
    }
    if (f.states > STATES_MAX) {
        ruleRefuse(out, "has C%lld; Larger than Life rules have 0 to %d states", (long long)f.states, (int)STATES_MAX);
        return 0;
    }
    if (f.middle > 1) {
        ruleRefuse(out, "has M%lld; M is 0 or 1", (long long)f.middle);
        return 0;
    }
    const int64_t most = neighbourhoodSize(f.range, f.kind) - (f.middle ? 0 : 1);
    if (f.sMin > f.sMax || f.bMin > f.bMax || f.sMax > most || f.bMax > most) {
        ruleRefuse(out, "has survival or birth limits that are not a range from 0 to %lld, the cells its "
                        "neighbourhood counts", (long long)most);
        return 0;
    }
    LifeGridShape grid = {};
    if (colon && !ruleReadGrid(colon + 1, end, &grid, out))
        return 0;
    if (grid.topology != LIFE_UNBOUNDED && grid.topology != LIFE_PLANE && grid.topology != LIFE_TORUS) {
        ruleRefuse(out, "puts Larger than Life on a grid other than a plane or a torus");
        return 0;
    }
    if (grid.shiftX || grid.shiftY) {
        ruleRefuse(out, "shifts the edges of a Larger than Life torus");
        return 0;
    }
    // bgolly's Larger than Life grows a side shorter than twice the range, an
    // unbounded one included, to that.
    if (grid.topology != LIFE_UNBOUNDED || colon) {
        if (grid.topology == LIFE_UNBOUNDED)
            grid.topology = textLower(colon[1]) == 't' ? LIFE_TORUS : LIFE_PLANE;
        grid.width = grid.width < 2 * f.range ? (int32_t)(2 * f.range) : grid.width;
        grid.height = grid.height < 2 * f.range ? (int32_t)(2 * f.range) : grid.height;
    }
    if (f.bMin == 0 && grid.topology == LIFE_UNBOUNDED) {
        ruleRefuse(out, "has B0, which Larger than Life plays on bounded grids only");
        return 0;
    }
    *rule = StatesRule{};
    rule->family = STATES_LARGER;
    rule->states = f.states < 2 ? 2 : (int32_t)f.states;
    rule->grid = grid;
    rule->range = (int32_t)f.range;
    rule->middle = (int32_t)f.middle;
    rule->neighbourhood = f.kind;
    rule->survivalMin = (int32_t)f.sMin;
    rule->survivalMax = (int32_t)f.sMax;
    rule->birthMin = (int32_t)f.bMin;
    rule->birthMax = (int32_t)f.bMax;
    snprintf(rule->name, sizeof rule->name, "R%d,C%d,M%d,S%d..%d,B%d..%d,N%c", (int)f.range,
             rule->states > 2 ? (int)rule->states : 0, (int)f.middle, (int)f.sMin, (int)f.sMax, (int)f.bMin,
             (int)f.bMax, "MNC"[f.kind]);
    RuleName name = {rule->name + strlen(rule->name), rule->name + LIFE_RULE_TEXT - 1};
    ruleNameGrid(&name, &rule->grid);
    return 1;
}
