// Hutton's 32-state rule: Nobili's states, with a wire of ordinary
// transmission that builds at its own tip. The tip carries the bit it writes
// in its own state (excited ordinary for 1, excited special for 0), the new
// arrow is turned by the direction of the arrow that wrote it (written "east"
// means straight on), and the tip retracts or quiesces once the cell ahead is
// about to become an arrow. Special signals build only an ordinary arrow
// straight on. Confluents keep no bit; a confluent crossing states passes
// each axis's signal on its own.
//
// The cases no construction meets (a sensitised cell with no arrow to take a
// direction from, several writers at once) follow the reference program's
// answers, so that soups of every state play alike; each is said where it is
// decided.
#include "life/jvn_local.h"
#include "life/rule_local.h"

namespace {

int isSensitised(int s)
{
    return s >= 1 && s < ORDINARY;
}
int pointsAt(int s, int side)
{
    return isTransmission(s) && pointing(s) == opposite(side);
}
// A confluent passes its signal on to transmission beside it; a crossing
// state only along its excited axis.
int feeds(int s, int side)
{
    const int eastWest = side == EAST || side == WEST;
    return s == CONFLUENT + 2 || s == CONFLUENT + 3 || s == CROSS_BOTH || (s == CROSS_EW && eastWest) ||
           (s == CROSS_NS && !eastWest);
}

// The sensitised states' next, reading 0 and 1; the arrows are as written
// by an arrow pointing east, to be turned by the writer's direction.
const uint8_t sensitised[9][2] = {{0, 0}, {2, 3}, {4, 5}, {6, 7}, {8, ORDINARY + WEST},
    {ORDINARY + SOUTH, SPECIAL + EAST}, {SPECIAL + NORTH, SPECIAL + WEST}, {SPECIAL + SOUTH, CONFLUENT},
    {ORDINARY + EAST, ORDINARY + NORTH}};

// Of several writers, the one on the west wins, then south, east, north.
int writerSide(int writers)
{
    static const int order[4] = {WEST, SOUTH, EAST, NORTH};
    for (int k = 0; k < 4; k++)
        if (writers & (1 << order[k]))
            return order[k];
    return -1;
}

int sensitisedNext(int c, const int nb[4], int ordinaryIn, int specialIn)
{
    const int bit = ordinaryIn != 0, made = sensitised[c][bit];
    if (made < ORDINARY)
        return made;
    const int side = writerSide(ordinaryIn | specialIn);
    // No excited arrow to take a direction from: the cell does not become
    // the arrow it would have.
    if (side < 0) {
        static const uint8_t unwritten[9] = {0, 0, 0, 0, 0, 7, SPECIAL, ORDINARY_ON + WEST, 8};
        return unwritten[c];
    }
    const int writer = nb[side];
    // A forward special arrow is the writer's own state quiesced as special,
    // which a special writer (chosen over an ordinary one) carries into the
    // confluents.
    if (c == 5 && bit)
        return writer + 4;
    if (made == CONFLUENT)
        return CONFLUENT;
    return made - pointing(made) + ((pointing(made) + pointing(writer)) & 3);
}

// What an excited tip does as the cell ahead (ground or sensitised) takes
// `bit`: keep writing, carrying the next bit; or, when that cell is about to
// become an ordinary arrow, retract if a 1 follows and else quiesce; about
// to become a confluent, leave a fresh sensitised cell behind on a 1.
// -1 when the tip acts as plain transmission.
int tipNext(int ahead, int bit, int tipExcited, int on, int d)
{
    const int made = ahead == GROUND ? 1 : sensitised[ahead][bit];
    if (tipExcited && isSensitised(made))
        return (on ? ORDINARY_ON : SPECIAL_ON) + d;
    if (made >= ORDINARY && made < SPECIAL)
        return on ? GROUND : ORDINARY + d;
    if (made == CONFLUENT)
        return on ? 1 : GROUND;
    return -1;
}

int transmissionNext(int c, const int nb[4], int ordinaryIn, int specialIn)
{
    const int d = pointing(c), ahead = nb[d];
    int on = 0, ordinaryBehind = 0, ordinaryOn = 0;
    for (int side = 0; side < 4; side++) {
        if (side == d)
            continue;
        const int s = nb[side];
        on |= feeds(s, side) || (pointsAt(s, side) && excited(s) && isSpecial(s) == isSpecial(c));
        if (pointsAt(s, side) && !isSpecial(s)) {
            ordinaryBehind = 1;
            ordinaryOn |= excited(s);
        }
    }
    if (!isSpecial(c)) {
        if (specialIn)
            return GROUND;
        if (isSensitised(ahead) || (ahead == GROUND && excited(c))) {
            const int t = tipNext(ahead, excited(c), excited(c), on, d);
            if (t >= 0)
                return t;
        }
        // Retraction: a signal into a wire ending at a special arrow.
        if (ahead >= SPECIAL && ahead < SPECIAL_ON && on)
            return GROUND;
        return ORDINARY + d + 4 * on;
    }
    // A special signal building on ground: the arrow keeps to special
    // signals, an ordinary one neither passing nor destroying it.
    if (excited(c) && ahead == GROUND)
        return (specialIn ? SPECIAL_ON : SPECIAL) + d;
    // An excited special tip fed by an ordinary wire is that wire's tip
    // writing a 0.
    if (excited(c) && ordinaryBehind && isSensitised(ahead)) {
        const int t = tipNext(ahead, 0, 1, ordinaryOn, d);
        return t >= 0 ? t : ordinaryOn ? GROUND : ORDINARY + d;
    }
    if (ordinaryIn)
        return GROUND;
    return SPECIAL + d + 4 * on;
}

int confluentNext(int c, const int nb[4], int ordinaryIn, int specialIn)
{
    if (specialIn)
        return GROUND;
    int transmission = 0, inputs = 0, allExcited = 1, pointed = 0;
    for (int side = 0; side < 4; side++) {
        transmission += isTransmission(nb[side]);
        pointed += pointsAt(nb[side], side);
        if (pointsAt(nb[side], side) && !isSpecial(nb[side])) {
            inputs = 1;
            allExcited &= excited(nb[side]);
        }
    }
    // A crossing state, or a quiet confluent boxed in by transmission with
    // exactly two arrows into it, passes each axis's signal on its own.
    if (c >= CROSS_EW || (c == CONFLUENT && transmission == 4 && pointed == 2)) {
        const int eastWest = (ordinaryIn & (1 << EAST | 1 << WEST)) != 0;
        const int northSouth = (ordinaryIn & (1 << NORTH | 1 << SOUTH)) != 0;
        return eastWest && northSouth ? CROSS_BOTH : eastWest ? CROSS_EW : northSouth ? CROSS_NS : CONFLUENT;
    }
    return CONFLUENT + 2 * ((c - CONFLUENT) & 1) + (inputs && allExcited);
}

} // namespace

int ruleHuttonNext(int c, const int nb[4])
{
    int ordinaryIn = 0, specialIn = 0;
    for (int side = 0; side < 4; side++) {
        if (pointsAt(nb[side], side) && excited(nb[side]))
            (isSpecial(nb[side]) ? specialIn : ordinaryIn) |= 1 << side;
    }
    if (c == GROUND) {
        // A special signal builds an ordinary arrow straight on.
        if (ordinaryIn || !specialIn)
            return ordinaryIn ? 1 : GROUND;
        return ORDINARY + pointing(nb[writerSide(specialIn)]);
    }
    if (c < ORDINARY)
        return sensitisedNext(c, nb, ordinaryIn, specialIn);
    if (isTransmission(c))
        return transmissionNext(c, nb, ordinaryIn, specialIn);
    return confluentNext(c, nb, ordinaryIn, specialIn);
}

int ruleHuttonClass(int side, int s)
{
    // What a cell's next can depend on in its neighbour: the state of ground
    // and sensitised cells (the tip reads the cell ahead); an arrow into the
    // cell exactly (its writer); other transmission by kind and excitation;
    // a confluent by whether it feeds the cell.
    if (s < ORDINARY)
        return s;
    if (isTransmission(s))
        return pointsAt(s, side) ? s : 32 + 2 * isSpecial(s) + excited(s);
    return 36 + feeds(s, side);
}
