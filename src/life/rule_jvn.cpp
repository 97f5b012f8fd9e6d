// von Neumann's 29-state automaton, Nobili's 32-state extension and Hutton's
// 32-state rule (rule_hutton.cpp), as rule trees of four neighbours built from
// their transition functions when a rule is named. States as the community's
// files number them: 0 ground; 1 to 8 the sensitised states S, S0, S1, S00,
// S01, S10, S11, S000; 9 to 12 ordinary
// transmission pointing east, north, west, south, 13 to 16 the same excited;
// 17 to 24 special transmission likewise; 25 to 28 confluent, bit 1 excited
// now and bit 0 excited next; in the 32-state rules 29 to 31 a confluent
// crossing signals, excited east-west, north-south, or both.
//
// A cell's next state depends on each neighbour only through what the
// neighbour shows it (a View): transmission pointing at it, or elsewhere,
// excited or not; a confluent excited towards it. The tree is built over the
// distinct views of each side rather than over every state, so it costs
// thousands of evaluations rather than tens of millions: JvN29's tree has 67
// nodes (8 KB), Nobili32's 118 (15 KB), each built in about a millisecond.
// Hutton's rule reads more of its neighbours (the cell ahead of a tip, the
// writer's direction): 19 classes a side, a few million evaluations.
#include <cstring>

#include "life/jvn_local.h"
#include "life/rule_local.h"
#include "platform/platform.h"

namespace {

enum : uint8_t {
    IN_ORDINARY = 1,  // ordinary transmission pointing at the cell
    IN_SPECIAL = 2,   // special transmission pointing at the cell
    IN_EXCITED = 4,   // that transmission excited
    ELSEWHERE = 8,    // transmission pointing elsewhere
    FEEDS = 16,       // a confluent excited towards the cell
};

struct Family {
    const char* name;
    int32_t states;
    int memory; // the 32-state confluent: it crosses signals and holds its bit when nothing drives it
    int hutton; // Hutton's rule: next states from rule_hutton.cpp over its classes of neighbours
};
const Family families[] = {{"JvN29", 29, 0, 0}, {"Nobili32", 32, 1, 0}, {"Hutton32", 32, 0, 1}};

// What state s shows the cell it lies beside, on the cell's side `side`.
uint8_t viewOf(const Family* f, int side, int s)
{
    if (isTransmission(s)) {
        if (pointing(s) == opposite(side))
            return (uint8_t)((isSpecial(s) ? IN_SPECIAL : IN_ORDINARY) | (excited(s) ? IN_EXCITED : 0));
        return ELSEWHERE;
    }
    const int eastWest = side == EAST || side == WEST;
    if (s == CONFLUENT + 2 || s == CONFLUENT + 3 || (f->memory && (s == CROSS_BOTH || (s == CROSS_EW && eastWest) ||
                                                                   (s == CROSS_NS && !eastWest))))
        return FEEDS;
    return 0;
}

// The sensitised states' next, without and with an input; the last steps
// make transmission or confluent states.
const uint8_t sensitised[9][2] = {{0, 0}, {2, 3}, {4, 5}, {6, 7}, {8, ORDINARY + WEST}, {ORDINARY + SOUTH, SPECIAL + EAST},
    {SPECIAL + NORTH, SPECIAL + WEST}, {SPECIAL + SOUTH, CONFLUENT}, {ORDINARY + EAST, ORDINARY + NORTH}};

int confluentNext(const Family* f, int c, const uint8_t view[4])
{
    int inputs = 0, allExcited = 1, elsewhere = 0;
    for (int side = 0; side < 4; side++) {
        if (view[side] & IN_ORDINARY) {
            inputs |= 1 << side;
            allExcited &= (view[side] & IN_EXCITED) != 0;
        }
        elsewhere |= (view[side] & ELSEWHERE) != 0;
    }
    const int driven = inputs && allExcited;
    const int later = c <= CONFLUENT + 3 ? (c - CONFLUENT) & 1 : 0;
    if (!f->memory)
        return CONFLUENT + 2 * later + driven;
    // One input east-west and one north-south, each with transmission not
    // pointing in on the opposite side: each signal crosses on its own axis.
    const int eastWest = inputs & (1 << EAST | 1 << WEST), northSouth = inputs & (1 << NORTH | 1 << SOUTH);
    if (eastWest && northSouth && eastWest != (1 << EAST | 1 << WEST) && northSouth != (1 << NORTH | 1 << SOUTH)) {
        const int h = eastWest & (1 << EAST) ? EAST : WEST, v = northSouth & (1 << NORTH) ? NORTH : SOUTH;
        if ((view[opposite(h)] & ELSEWHERE) && (view[opposite(v)] & ELSEWHERE)) {
            const int hot = (view[h] & IN_EXCITED) != 0, vot = (view[v] & IN_EXCITED) != 0;
            return hot && vot ? CROSS_BOTH : hot ? CROSS_EW : vot ? CROSS_NS : CONFLUENT;
        }
    }
    if (elsewhere || driven)
        return CONFLUENT + 2 * later + driven;
    // No transmission beside it but its inputs, and they do not all fire:
    // the bit is kept.
    return c <= CONFLUENT + 3 ? c : CONFLUENT;
}

int next(const Family* f, int c, const uint8_t view[4])
{
    int ordinaryIn = 0, specialIn = 0;
    for (int side = 0; side < 4; side++) {
        ordinaryIn |= (view[side] & (IN_ORDINARY | IN_EXCITED)) == (IN_ORDINARY | IN_EXCITED);
        specialIn |= (view[side] & (IN_SPECIAL | IN_EXCITED)) == (IN_SPECIAL | IN_EXCITED);
    }
    if (c == GROUND)
        return ordinaryIn || specialIn ? 1 : GROUND;
    if (c < ORDINARY)
        return sensitised[c][ordinaryIn || specialIn];
    if (isTransmission(c)) {
        const int special = isSpecial(c);
        // The other kind's signal destroys it.
        if (special ? ordinaryIn : specialIn)
            return GROUND;
        int on = 0;
        for (int side = 0; side < 4; side++) {
            if (side == pointing(c))
                continue;
            on |= (view[side] & FEEDS) != 0;
            on |= (view[side] & (IN_EXCITED | (special ? IN_SPECIAL : IN_ORDINARY))) ==
                  (IN_EXCITED | (special ? IN_SPECIAL : IN_ORDINARY));
        }
        return (special ? SPECIAL : ORDINARY) + pointing(c) + 4 * on;
    }
    if (specialIn)
        return GROUND;
    return confluentNext(f, c, view);
}

// The tree's cells in its order (north, west, east, south, then the cell)
// and, per side, one state for each distinct view.
const int treeSides[4] = {NORTH, WEST, EAST, SOUTH};

struct Build {
    const Family* f;
    TreeBuilder builder;
    uint8_t views[4][64];    // per tree cell: the views of each side (Hutton's: their classes)
    uint8_t stateOfView[4][64]; // per tree cell and view: a state showing it
    int32_t viewCount[4];
    uint8_t viewOfState[4][64]; // per tree cell and state: the index of its view
    uint8_t chosen[4];
};

uint32_t buildNode(Build* b, int variable)
{
    const int32_t states = b->f->states;
    uint32_t children[64];
    if (variable == 4) {
        uint8_t view[4];
        int neighbours[4];
        for (int k = 0; k < 4; k++) {
            view[treeSides[k]] = b->views[k][b->chosen[k]];
            neighbours[treeSides[k]] = b->stateOfView[k][b->chosen[k]];
        }
        for (int c = 0; c < states; c++)
            children[c] = (uint32_t)(b->f->hutton ? ruleHuttonNext(c, neighbours) : next(b->f, c, view));
        return treeBuilderNode(&b->builder, 1, children);
    }
    uint32_t byView[64];
    for (int v = 0; v < b->viewCount[variable]; v++) {
        b->chosen[variable] = (uint8_t)v;
        byView[v] = buildNode(b, variable + 1);
        if (byView[v] == TREE_NO_NODE)
            return TREE_NO_NODE;
    }
    for (int s = 0; s < states; s++)
        children[s] = byView[b->viewOfState[variable][s]];
    return treeBuilderNode(&b->builder, 5 - variable, children);
}

} // namespace

int ruleJvnFamily(const char* name, size_t length)
{
    for (size_t k = 0; k < sizeof families / sizeof families[0]; k++)
        if (strlen(families[k].name) == length && memcmp(families[k].name, name, length) == 0)
            return (int)k + 1;
    return 0;
}

StatesTree* ruleJvnTree(int family, RuleRefusal* out)
{
    Build b = {};
    b.f = &families[family - 1];
    for (int k = 0; k < 4; k++) {
        for (int s = 0; s < b.f->states; s++) {
            const uint8_t view =
                (uint8_t)(b.f->hutton ? ruleHuttonClass(treeSides[k], s) : viewOf(b.f, treeSides[k], s));
            int v = 0;
            while (v < b.viewCount[k] && b.views[k][v] != view)
                v++;
            if (v == b.viewCount[k]) {
                b.stateOfView[k][v] = (uint8_t)s;
                b.views[k][b.viewCount[k]++] = view;
            }
            b.viewOfState[k][s] = (uint8_t)v;
        }
    }
    treeBuilderInit(&b.builder, b.f->states, 4);
    const uint32_t root = buildNode(&b, 0);
    StatesTree* tree = root == TREE_NO_NODE ? nullptr : treeBuilderFinish(&b.builder, root);
    if (!tree) {
        treeBuilderRelease(&b.builder);
        ruleRefuse(out, "has no memory for its rule tree");
    }
    return tree;
}
