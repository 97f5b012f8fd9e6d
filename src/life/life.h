// Life simulation: the board, the rule and pattern files and the generation step.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
    LIFE_SIZE = 64,
    LIFE_CELLS = LIFE_SIZE * LIFE_SIZE,
    LIFE_DEAD = 1,
    LIFE_ALIVE = 2,
};

// Cell (x, y, z) lives at x * 64 + y + z; only the layer z = 0 exists. Any
// value other than LIFE_ALIVE counts as dead.
struct LifeGrid {
    uint8_t cells[LIFE_CELLS];
};

// The rule: a live cell survives with surviveAbove < n < surviveBelow live
// neighbours, a dead one is born with birthMin <= n <= birthMax. Rules.ini
// holds the four numbers in this order.
struct LifeRule {
    int32_t surviveAbove;
    int32_t surviveBelow;
    int32_t birthMin;
    int32_t birthMax;
};
// Conway's rule, 1 4 3 3: survival on 2 or 3 neighbours, birth on 3.
extern const LifeRule conwayRule;

// Reads up to four leading whole numbers of a rule text (size bytes) over
// Conway's rule and returns the result. Cannot fail: a text that does not
// begin with a number leaves a warning, naming the file by name, in
// lifeLoadReason.
LifeRule readRulesBytes(const uint8_t* bytes, size_t size, const char* name);
// readRulesBytes on the first 4 KiB of Rules.ini; without the file the rule is
// Conway's, and one that cannot be read leaves a warning.
LifeRule loadRules();
// Rules.ini is read up to its first 4 KiB, on the stack: start-up cannot run
// out of memory over a warning, and a rule needs a few bytes.
enum { LIFE_RULES_READ = 4096 };
// Reads the first room bytes of Rules.ini: 1 with *size, or 0 when there is no
// such file or (with a warning in lifeLoadReason) it cannot be read.
int readRulesFile(uint8_t* bytes, size_t room, size_t* size);
// Reads a pattern text (size bytes): a count, then that many "x y z" triples
// of live cells. Returns a new grid, or null when memory runs out. A text that
// does not begin with a count gives an empty board and a warning in
// lifeLoadReason.
// The reading itself: cell(context, x, y, z) for every triple, in order, until
// it returns 0 (then so does this); 1 otherwise.
int readLifeCells(const uint8_t* bytes, size_t size, const char* name,
                  int (*cell)(void* context, int32_t x, int32_t y, int32_t z), void* context);
// The same for a world of more than two states, whose lines are "x y z s",
// s the cell's state.
int readLifeStates(const uint8_t* bytes, size_t size, const char* name,
                   int (*cell)(void* context, int32_t x, int32_t y, int32_t z, int32_t state), void* context);
LifeGrid* readLifeBytes(const uint8_t* bytes, size_t size, const char* name);
// readLifeBytes on the file at path, or null when it cannot be read.
LifeGrid* loadLife(const char* path);
// What the last loadRules or loadLife found wrong with its file, in one line
// that starts with the file's name: why loadLife returned null, or what the
// rule or the board was read without; "" when nothing. The line every reader
// shares (readReason).
const char* lifeLoadReason();
void lifeRelease(LifeGrid* grid);
int32_t countNeighbours(const LifeGrid* grid, int32_t x, int32_t y, int32_t z);
// Replaces the grid by its next generation under the rule; allocates nothing.
void lifeStep(LifeGrid* grid, const LifeRule* rule);

// ---- Rules in the community's notation (rule_text.cpp) ---------------------------------
// The characters of the community's texts, rules and pattern files alike, judged in ASCII:
// ctype's answers move with the locale. Blank is a space, tab, form feed, CR or LF.
inline char textLower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}
inline int textIsDigit(char c)
{
    return c >= '0' && c <= '9';
}
inline int textIsLetter(char c)
{
    return textLower(c) >= 'a' && textLower(c) <= 'z';
}
inline int textIsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n';
}
// The line at text[*at] (LF, CRLF and a lone CR each end one), *at moved past its end:
// 1, or 0 at the end of the text. The line is as it stands, blanks and all (rule_tools.cpp).
int textNextLine(const char* text, size_t size, size_t* at, const char** line, size_t* length);
// The run of digits at text[*i] (text ends at length): 1 with *value and *i past the run, a
// value above cap reading as cap + 1 (cap below 10^17, so no run overflows); 0 when no digit
// is there, nothing changed.
inline int textReadNumber(const char* text, size_t length, size_t* i, int64_t cap, int64_t* value)
{
    size_t k = *i;
    int64_t v = 0;
    for (; k < length && textIsDigit(text[k]); k++) {
        v = v * 10 + (text[k] - '0');
        if (v > cap)
            v = cap + 1;
    }
    if (k == *i)
        return 0;
    *i = k;
    *value = v;
    return 1;
}
enum LifeTopology { LIFE_UNBOUNDED = 0, LIFE_PLANE, LIFE_TORUS, LIFE_KLEIN, LIFE_CROSS, LIFE_SPHERE };
// The grid a rule's suffix names (":P30,20", ":T30+5,20", ":K30*,20", ":C30,20", ":S30").
// A width or height of 0 is unbounded that way (":T0,20" a tube, ":P30,0"). LIFE_UNBOUNDED: no
// suffix, or ":P0,0" / ":T0,0". Sizes are at most LIFE_GRID_MAX. A Klein bottle has exactly one
// twist and a shift of 0 or 1 on its twisted edges; a cross-surface has both twists set.
struct LifeGridShape {
    int32_t topology;  // LifeTopology
    int32_t width;
    int32_t height;
    int32_t twistX;    // 1: '*' after the width: the horizontal edges (top and bottom) are joined reversed
    int32_t twistY;    // 1: '*' after the height: the vertical edges (left and right) are joined reversed
    int32_t shiftX;    // shift along the horizontal edges (":T30+5,20"), -width < shiftX < width
    int32_t shiftY;    // shift along the vertical edges (":T30,20-2"), -height < shiftY < height
};
enum { LIFE_RULE_TEXT = 128, LIFE_GRID_MAX = 1 << 30 };
// The grid cell (grid-relative: 0 .. width - 1 across) whose state the rim cell (i, j), one
// cell outside the grid, takes before a step: 1 with it, 0 on a plane, whose rim stays dead
// (rule_grid.cpp).
int lifeGridRimSource(const LifeGridShape* grid, int64_t i, int64_t j, int64_t* si, int64_t* sj);
// Calls visit for every rim cell a step of the bounded grid needs filled: inside holds the
// grid's cells' left, top, right and bottom (inclusive), live the live cells' box in the same
// order, which bounds the rim along an unbounded side. 1, or 0 as soon as visit returns 0
// (rule_grid.cpp).
int lifeGridRimWalk(const LifeGridShape* grid, const int32_t inside[4], const int32_t live[4],
                    int (*visit)(void* context, int64_t x, int64_t y), void* context);
// The cells inside the grid, inclusive, centred on (0, 0) (the 32-bit plane along an unbounded
// side): 1 for a bounded grid, 0 for the unbounded plane (rule_grid.cpp).
int lifeGridInside(const LifeGridShape* grid, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
// A two-state rule and the grid it runs on. next[i] is the next state (0 or 1) of a cell whose
// neighbourhood is i: bit (dy + 1) * 3 + (dx + 1) of i is set when the cell at (x + dx, y + dy) is
// alive, dx, dy in {-1, 0, 1}, y growing downward (bit 4 is the cell itself).
struct UniverseRule {
    uint8_t next[512];
    LifeGridShape grid;
    char name[LIFE_RULE_TEXT];  // canonical text, e.g. "B3/S23", "B36/S23:T100,100", "B2n3/S23-q"
};
// Reads a rule as RLE headers, LifeWiki and Rules.ini write it: B/S digit sets in either order
// ("B3/S23", "b3s23", "S23/B3", "23/3"), Hensel's letters ("B2-a/S12"), "V" or "H" after the
// digits for the four orthogonal or six hexagonal neighbours, "MAP" and 86 base64 characters,
// each with an optional grid suffix. Blanks around the text are ignored. 1 with *rule filled,
// or 0 with a one-line reason in reason[0 .. reasonSize) (which names the rule).
int universeRuleParse(const char* text, UniverseRule* rule, char* reason, size_t reasonSize);
// The same on text[0 .. size), which need not end in a terminator; a zero byte is refused.
int universeRuleParseBytes(const char* text, size_t size, UniverseRule* rule, char* reason, size_t reasonSize);
// How the table of a rule depends on the neighbour count: bit n of counts[0] (counts[1]) set
// when every neighbourhood of a dead (live) cell with n live neighbours gives it life, of
// mixed[0] (mixed[1]) when some do and some do not. 1 when no count is mixed: the rule is
// outer-totalistic on the eight neighbours, counts[0] its birth and counts[1] its survival.
int universeRuleCounts(const uint8_t next[512], uint16_t counts[2], uint16_t mixed[2]);
// The rule the complement of a pattern runs under when the pattern runs under rule: next'(i) =
// 1 - next(511 - i), on the same grid, named as the community writes it (B/S digits when it is
// outer-totalistic, else MAP). A B0 rule without S8 holds the complement at odd generations;
// under this rule that complement runs on from generation 0 as the original would. 1, or 0 when
// the name cannot be made.
int universeRuleComplement(const UniverseRule* rule, UniverseRule* complement);
// How many states a Generations rule names ("345/3/6", "B3/S23/C4", "g4b2s345"), at most
// 1000001 (for any more); 2 for any other text, which universeRuleParse takes or refuses.
int universeRuleStates(const char* text);

// ---- Universes (universe.cpp etc.) -----------------------------------------------------
// A pattern as big as it grows, in 32-bit coordinates, under any UniverseRule. A bounded grid
// of width w covers x = -floor(w / 2) .. -floor(w / 2) + w - 1 (height likewise), as the
// community's programs place it. Rules with B0 run as those programs run them, on bounded
// grids too: without S8 the odd generations hold the complement of the cells (what they list
// too), with S8 the complement rule runs throughout; universeGetCell and universeForEachCell
// give the cells held.
struct Universe;   // opaque
Universe* universeCreate(const UniverseRule* rule);       // null when memory runs out
void universeRelease(Universe* universe);
int universeSetCell(Universe* universe, int32_t x, int32_t y, int alive); // 1, or 0: memory / outside a bounded grid
int universeGetCell(const Universe* universe, int32_t x, int32_t y);
// 1, or 0 when memory ran out or the pattern would grow past the 32-bit coordinates (state unchanged).
// Allocates nothing once the live area stops growing.
int universeStep(Universe* universe);
// Why the last universeStep returned 0, as a phrase: "memory ran out" or "the pattern would
// grow past the 32-bit coordinates"; "" before any refusal.
const char* universeStepFailure(const Universe* universe);
int64_t universePopulation(const Universe* universe);
int64_t universeGeneration(const Universe* universe);
// Box of the live cells; 0 when there are none.
int universeBounds(const Universe* universe, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
// Calls visit for every live cell, rows top to bottom, left to right within a row. Returns the
// count, or -1 when memory for the walk's ordered list of tiles ran out (nothing visited).
int64_t universeForEachCell(const Universe* universe, void (*visit)(void* context, int32_t x, int32_t y), void* context);

// ---- A universe kept to go back to (universe_snapshot.cpp) ------------------------------
// The live tiles' rows at one generation (520 bytes a tile), the generation and the rule.
struct UniverseSnapshot;   // opaque
// Null when memory runs out. reuse (may be null) is a snapshot no longer wanted: filled
// again when it has room, else let go; either way the caller no longer holds it.
UniverseSnapshot* universeSnapshotTake(const Universe* universe, UniverseSnapshot* reuse);
// A new universe holding what the snapshot kept, stepping on from there as the one taken
// would have; null when memory runs out.
Universe* universeSnapshotRestore(const UniverseSnapshot* snapshot);
// The memory it holds.
size_t universeSnapshotBytes(const UniverseSnapshot* snapshot);
void universeSnapshotRelease(UniverseSnapshot* snapshot);
