// von Neumann's family's states as the community's files number them, shared
// by the rules that play them (rule_jvn.cpp, rule_hutton.cpp): 0 ground, 1 to
// 8 sensitised, ordinary transmission from 9 and special from 17 (pointing
// east, north, west, south, then the same excited), confluents from 25, and
// in the 32-state rules crossings 29 to 31.
#pragma once

enum Side { EAST, NORTH, WEST, SOUTH };
enum { GROUND = 0, ORDINARY = 9, ORDINARY_ON = 13, SPECIAL = 17, SPECIAL_ON = 21, CONFLUENT = 25, CROSS_EW = 29,
    CROSS_NS = 30, CROSS_BOTH = 31 };

inline int isTransmission(int s)
{
    return s >= ORDINARY && s < CONFLUENT;
}
inline int isSpecial(int s)
{
    return s >= SPECIAL && s < CONFLUENT;
}
inline int pointing(int s)
{
    return (s - ORDINARY) & 3;
}
inline int excited(int s)
{
    return ((s - ORDINARY) >> 2) & 1;
}
inline int opposite(int side)
{
    return (side + 2) & 3;
}
