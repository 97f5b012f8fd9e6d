// The rules this program ships, written here as .rule texts and read by the
// same reader as any other: LifeHistory, the community's annotated Conway's
// Life, and WireWorld. A file of the same name beside a pattern or in the
// user's rules folder comes first.
#include <cstring>

#include "life/rule_local.h"

namespace {

const char lifeHistory[] = R"(@RULE LifeHistory
Conway's Life (B3/S23) with marks that do not change it:
0 dead, 1 alive,
2 dead and once alive (the history a pattern leaves),
3 alive and marked, 4 dead and marked (3 dies to 4, 4 is born to 3),
5 alive at the start (dies to 4, never comes back),
6 a boundary: it never changes, counts as dead, and every live cell
  beside it dies.

@TABLE
n_states:7
neighborhood:Moore
symmetries:permute

var live={1,3,5}
var l1={1,3,5}
var l2={1,3,5}
var l3={1,3,5}
var d1={0,2,4,6}
var d2={0,2,4,6}
var d3={0,2,4,6}
var d4={0,2,4,6}
var d5={0,2,4,6}
var d6={0,2,4,6}
var a1={0,1,2,3,4,5,6}
var a2={0,1,2,3,4,5,6}
var a3={0,1,2,3,4,5,6}
var a4={0,1,2,3,4,5,6}
var a5={0,1,2,3,4,5,6}
var a6={0,1,2,3,4,5,6}
var a7={0,1,2,3,4,5,6}
var a8={0,1,2,3,4,5,6}

# A live cell beside a boundary dies.
1,6,a1,a2,a3,a4,a5,a6,a7,2
3,6,a1,a2,a3,a4,a5,a6,a7,4
5,6,a1,a2,a3,a4,a5,a6,a7,4

# Survival on two or three live neighbours.
live,l1,l2,d1,d2,d3,d4,d5,d6,live
live,l1,l2,l3,d1,d2,d3,d4,d5,live

# Any other live cell dies.
1,a1,a2,a3,a4,a5,a6,a7,a8,2
3,a1,a2,a3,a4,a5,a6,a7,a8,4
5,a1,a2,a3,a4,a5,a6,a7,a8,4

# Birth on three.
0,l1,l2,l3,d1,d2,d3,d4,d5,1
2,l1,l2,l3,d1,d2,d3,d4,d5,1
4,l1,l2,l3,d1,d2,d3,d4,d5,3

@COLORS
# Live cells keep the program's own look; the trail and the marks are
# drawn flat under them.
2 48 80 160
3 255 220 60
4 200 50 50
5 120 220 120
6 110 110 110
)";

const char wireWorld[] = R"(@RULE WireWorld
Brian Silverman's WireWorld: 0 empty, 1 electron head, 2 electron tail,
3 conductor. A head becomes a tail, a tail becomes conductor, and
conductor becomes a head when one or two of its eight neighbours are
heads.

@TABLE
n_states:4
neighborhood:Moore
symmetries:permute

var a1={0,1,2,3}
var a2={0,1,2,3}
var a3={0,1,2,3}
var a4={0,1,2,3}
var a5={0,1,2,3}
var a6={0,1,2,3}
var a7={0,1,2,3}
var a8={0,1,2,3}
var o1={0,2,3}
var o2={0,2,3}
var o3={0,2,3}
var o4={0,2,3}
var o5={0,2,3}
var o6={0,2,3}
var o7={0,2,3}

1,a1,a2,a3,a4,a5,a6,a7,a8,2
2,a1,a2,a3,a4,a5,a6,a7,a8,3
3,1,o1,o2,o3,o4,o5,o6,o7,1
3,1,1,o1,o2,o3,o4,o5,o6,1

@COLORS
1 90 160 255
2 255 90 60
3 230 170 60
)";

} // namespace

const char* ruleBuiltinText(const char* name)
{
    if (strcmp(name, "LifeHistory") == 0)
        return lifeHistory;
    if (strcmp(name, "WireWorld") == 0)
        return wireWorld;
    return nullptr;
}
