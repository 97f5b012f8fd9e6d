// Bounded grids: the suffix after a rule's ':' (":P30,20", ":T30+5,20",
// ":K30*,20", ":C30,20", ":S30") read into a grid shape and written back in
// canonical form, and the edge cell each cell of the rim outside a grid is
// joined to.
#include <cstring>

#include "life/rule_local.h"

namespace {

// One side of a grid suffix: "30", "30*", "30+5", "30*-1".
struct GridSide {
    int64_t size;
    int twist;
    int64_t shift;
    int shifted;  // a shift was written, even "+0"
};

int readSide(const char** at, const char* end, GridSide* side, RuleRefusal* out)
{
    const char* p = *at;
    if (!ruleReadNumber(&p, end, LIFE_GRID_MAX, &side->size)) {
        ruleRefuse(out, "has a grid suffix without a size where one belongs");
        return 0;
    }
    if (p < end && *p == '*') {
        side->twist = 1;
        p++;
    }
    if (p < end && (*p == '+' || *p == '-')) {
        const int negative = *p++ == '-';
        if (!ruleReadNumber(&p, end, LIFE_GRID_MAX, &side->shift)) {
            ruleRefuse(out, "has a grid shift without a number");
            return 0;
        }
        side->shifted = 1;
        if (negative)
            side->shift = -side->shift;
    }
    if (side->size > LIFE_GRID_MAX || side->shift > LIFE_GRID_MAX || side->shift < -LIFE_GRID_MAX) {
        ruleRefuse(out, "has a grid size or shift over %d, the most this program holds", (int)LIFE_GRID_MAX);
        return 0;
    }
    *at = p;
    return 1;
}

} // namespace

// The suffix after ':', as Golly's help on bounded grids describes it.
int ruleReadGrid(const char* p, const char* end, LifeGridShape* grid, RuleRefusal* out)
{
    const char* topologies = "ptkcs";
    const char* found = p < end ? strchr(topologies, textLower(*p)) : nullptr;
    if (!found || *p == '\0') {
        ruleRefuse(out, "has a grid suffix that is not :P, :T, :K, :C or :S and a size");
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
        ruleRefuse(out, "has '%c' after its grid suffix", *p);
        return 0;
    }
    if (kind != 'k' && (x.twist || y.twist)) {
        ruleRefuse(out, "twists the edges of a grid other than a Klein bottle");
        return 0;
    }
    const int shifts = (x.shifted && x.shift) + (y.shifted && y.shift);
    if (shifts && kind != 't' && kind != 'k') {
        ruleRefuse(out, "shifts the edges of a grid other than a torus or a Klein bottle");
        return 0;
    }
    if (shifts && (x.size == 0 || y.size == 0)) {
        ruleRefuse(out, "shifts the edges of a grid that is unbounded one way");
        return 0;
    }
    if (kind != 'p' && kind != 't' && (x.size == 0 || y.size == 0)) {
        ruleRefuse(out, "makes a Klein bottle, cross-surface or sphere unbounded");
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
            ruleRefuse(out, "shifts both the horizontal and the vertical edges of a torus");
            return 0;
        }
        grid->topology = LIFE_TORUS;
        grid->shiftX = x.size ? (int32_t)(x.shift % x.size) : 0;
        grid->shiftY = y.size ? (int32_t)(y.shift % y.size) : 0;
        break;
    case 'k': {
        if (x.twist && y.twist) {
            ruleRefuse(out, "twists both pairs of edges of a Klein bottle (that is :C)");
            return 0;
        }
        // Without a '*' the vertical edges are the twisted ones, as in Golly.
        const int twistX = x.twist;
        const GridSide& twisted = twistX ? x : y;
        const GridSide& straight = twistX ? y : x;
        if (straight.shifted && straight.shift) {
            ruleRefuse(out, "shifts the untwisted edges of a Klein bottle");
            return 0;
        }
        if (twisted.shifted && twisted.shift && twisted.size % 2) {
            ruleRefuse(out, "shifts the twisted edges of a Klein bottle across an odd size");
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
            ruleRefuse(out, "makes a sphere of two different sizes");
            return 0;
        }
        grid->topology = LIFE_SPHERE;
        break;
    }
    if (grid->width == 0 && grid->height == 0)
        *grid = LifeGridShape{};
    return 1;
}

void ruleNameGrid(RuleName* name, const LifeGridShape* grid)
{
    static const char* const letters[] = {"", ":P", ":T", ":K", ":C", ":S"};
    if (grid->topology == LIFE_UNBOUNDED)
        return;
    ruleNamePut(name, letters[grid->topology]);
    ruleNamePutNumber(name, grid->width, 0);
    if (grid->topology == LIFE_SPHERE)
        return;
    const int klein = grid->topology == LIFE_KLEIN;
    if (klein && grid->twistX)
        ruleNamePut(name, "*");
    if (grid->shiftX)
        ruleNamePutNumber(name, grid->shiftX, 1);
    ruleNamePut(name, ",");
    ruleNamePutNumber(name, grid->height, 0);
    if (klein && grid->twistY)
        ruleNamePut(name, "*");
    if (grid->shiftY)
        ruleNamePutNumber(name, grid->shiftY, 1);
}

static int64_t floorMod(int64_t a, int64_t n)
{
    int64_t r = a % n;
    return r < 0 ? r + n : r;
}

// Across the top and bottom edges first, then the sides: the corners then come out as the
// topology joins them. A twisted edge's shift is one cell whatever its amount, and runs
// against the help page's drawing: bgolly does so.
int lifeGridRimSource(const LifeGridShape* g, int64_t i, int64_t j, int64_t* si, int64_t* sj)
{
    int64_t w = g->width, h = g->height;
    if (g->topology == LIFE_PLANE)
        return 0;
    if (g->topology == LIFE_SPHERE) {
        // The top edge is joined to the left one, the right edge to the bottom one.
        if (j < 0 && i < 0) { *si = 0; *sj = 0; }
        else if (j < 0 && i >= w) { *si = w - 1; *sj = 0; }
        else if (j >= h && i < 0) { *si = 0; *sj = h - 1; }
        else if (j >= h && i >= w) { *si = w - 1; *sj = h - 1; }
        else if (j < 0) { *si = 0; *sj = i; }
        else if (i < 0) { *si = j; *sj = 0; }
        else if (i >= w) { *si = j; *sj = h - 1; }
        else { *si = w - 1; *sj = i; }
        return 1;
    }
    int twistX = g->topology == LIFE_CROSS || (g->topology == LIFE_KLEIN && g->twistX);
    int twistY = g->topology == LIFE_CROSS || (g->topology == LIFE_KLEIN && g->twistY);
    if (h && (j < 0 || j >= h)) {
        int below = j >= h;
        j += below ? -h : h;
        i = twistX ? w - 1 - i - (g->shiftX != 0) : i + (below ? g->shiftX : -g->shiftX);
    }
    if (w && (i < 0 || i >= w)) {
        int right = i >= w;
        i += right ? -w : w;
        j = twistY ? h - 1 - j - (g->shiftY != 0) : j + (right ? g->shiftY : -g->shiftY);
    }
    *si = w ? floorMod(i, w) : i;
    *sj = h ? floorMod(j, h) : j;
    return 1;
}

int lifeGridRimWalk(const LifeGridShape* g, const int32_t inside[4], const int32_t live[4],
                    int (*visit)(void* context, int64_t x, int64_t y), void* context)
{
    if (g->topology == LIFE_PLANE)
        return 1;
    // Along an unbounded side only the live rows or columns have anything to copy.
    const int64_t x0 = g->width ? (int64_t)inside[0] - 1 : live[0], x1 = g->width ? (int64_t)inside[2] + 1 : live[2];
    const int64_t y0 = g->height ? (int64_t)inside[1] : live[1], y1 = g->height ? (int64_t)inside[3] : live[3];
    if (g->height)
        for (int64_t x = x0; x <= x1; x++)
            if (!visit(context, x, (int64_t)inside[1] - 1) || !visit(context, x, (int64_t)inside[3] + 1))
                return 0;
    if (g->width)
        for (int64_t y = y0; y <= y1; y++)
            if (!visit(context, (int64_t)inside[0] - 1, y) || !visit(context, (int64_t)inside[2] + 1, y))
                return 0;
    return 1;
}

int lifeGridInside(const LifeGridShape* g, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom)
{
    *left = *top = INT32_MIN;
    *right = *bottom = INT32_MAX;
    if (g->topology == LIFE_UNBOUNDED)
        return 0;
    if (g->width > 0) {
        *left = -(g->width / 2);
        *right = *left + (g->width - 1);
    }
    if (g->height > 0) {
        *top = -(g->height / 2);
        *bottom = *top + (g->height - 1);
    }
    return 1;
}
