// Patterns as the Life community writes them: reads a pattern in one of their
// formats (run-length encoded, plaintext, Life 1.05, Life 1.06, XLife, dblife,
// macrocell, MCell, any of them gzip-compressed; RLE and MCell with cells of
// more than two states), places it on the 64 x 64 board and
// writes the program's Life.ini and Rules.ini. Shared by veltrix-pattern and
// the program's drop-to-load; it calls nothing of either.
//
// Every parser works on a text buffer in memory, so it can be tested and fuzzed
// without files. Every count read from the text is bounded before it is used.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "life/world.h"

enum {
    PATTERN_MAX_FILE = 64 << 20,        // bytes of one pattern file, after decompression too
    PATTERN_MAX_SIDE = INT32_MAX,       // width or height of a pattern's box
    PATTERN_MAX_COORD = INT32_MAX,      // |x| and |y| of a cell anywhere in a file
    PATTERN_RULE_TEXT = LIFE_RULE_TEXT, // rule text as given, terminator included
    PATTERN_MESSAGE = 256,
    PATTERN_SHOWN_DROPS = 8,      // dropped cells named in the summary
    // Live cells a file may name: 2^27 cells take 1 GiB as a list of 8-byte
    // cells, within the memory of the machines people run this on, and hold
    // the largest real patterns at hand (a 128-million-cell metapixel gun).
    PATTERN_CELL_BUDGET = 1 << 27,
};

enum PatternFormat {
    PATTERN_UNKNOWN,
    PATTERN_RLE,
    PATTERN_CELLS,
    PATTERN_LIFE105,
    PATTERN_LIFE106,
    PATTERN_XLIFE,
    PATTERN_DBLIFE,
    PATTERN_MACROCELL,
    PATTERN_MCELL,
};

// How many live cells a pattern may hold, known before they are listed: the
// run-length readers count their runs first, a macrocell tree its population,
// XLife its includes, and the other formats spend a byte of file a cell.
// maxCells bounds every reader's list; maxTreeCells a macrocell tree's
// population, which an engine holding the tree whole may lift. Both start at
// PATTERN_CELL_BUDGET; the fuzz targets lower them to stay within their memory.
struct PatternLimits {
    int32_t maxCells;
    int32_t maxTreeCells;
};
extern PatternLimits patternLimits;

struct PatternCell {
    int32_t x;
    int32_t y;
};

// Live cells relative to the top-left corner of the pattern's box:
// 0 <= x < width, 0 <= y < height, each cell once. x runs along a row, y down.
// A box side may reach PATTERN_MAX_SIDE: products of sides need 64 bits.
// (left, top) is where the file puts that corner: the coordinate lists' own,
// a macrocell square centred on (0, 0), an RLE's '#CXRLE Pos=x,y'; (0, 0) for
// a picture with no position. A macrocell corner may lie beyond int32.
// An RLE without a position is placed by the grid it runs on (universeOrigin):
// centredOnGrid is 1 then, and headerWidth x headerHeight the header's box.
struct Pattern {
    PatternFormat format;
    int32_t width;
    int32_t height;
    int64_t left;
    int64_t top;
    int32_t centredOnGrid;
    int32_t headerWidth;
    int32_t headerHeight;
    PatternCell* cells;  // heap; count used, capacity allocated
    int32_t count;
    int32_t capacity;
    // The cells' states, states[k] of cells[k], 1 to 255: heap, capacity
    // allocated, made by the first cell of a state past 1 (null while every
    // cell is in state 1). maxState is the highest state listed.
    uint8_t* states;
    int32_t maxState;
    // A rule the file carries after its cells ("@RULE Name" and its table or
    // tree): heap, null when none.
    char* carried;
    size_t carriedSize;
    char rule[PATTERN_RULE_TEXT];  // the rule as the file gives it, "" when none
    int64_t generation;            // the generation the file says its cells are at ("#G"), 0 when none
    char note[PATTERN_MESSAGE];    // what was read leniently, "" when nothing
    // A macrocell file read as a tree (parseMacrocellTree): its squares, no
    // cells listed; width and height then stop at PATTERN_MAX_SIDE.
    WorldTree tree;
};

// Frees the cells of a pattern a parser filled.
void patternRelease(Pattern* pattern);

// Why a parse or a conversion failed; line is 1-based, 0 when no line applies.
struct PatternError {
    int32_t line;
    char message[PATTERN_MESSAGE];
};

// ---- Messages (pattern_text.cpp) --------------------------------------------
// Fills error and returns 0, so steps can `return patternFail(...)`.
// (On Windows the build uses the mingw runtime's C99 printf, which GCC checks
// as gnu_printf.)
#ifdef __MINGW32__
int patternFail(PatternError* error, int32_t line, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));
#else
int patternFail(PatternError* error, int32_t line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
#endif

// ---- Format choice (pattern_detect.cpp) --------------------------------------
// By content where the text shows it, else by the extension of path (may be null).
PatternFormat detectFormat(const char* text, size_t size, const char* path);
const char* formatName(PatternFormat format);

// ---- Parsers: 1 with *pattern filled, or 0 with error and nothing allocated ---
int parseRle(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseCells(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseLife105(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseLife106(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseXlife(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseDblife(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseMacrocell(const char* text, size_t size, Pattern* pattern, PatternError* error);
// A macrocell file as its tree, for an engine that holds it whole: no cell
// listed, so neither the cell budget nor the side limit applies. Trims and
// checks the text as parsePattern does; a tree without live cells is refused.
int parseMacrocellTree(const char* text, size_t size, Pattern* pattern, PatternError* error);
int parseMcell(const char* text, size_t size, Pattern* pattern, PatternError* error);
// patternTrim and checkText, then the parser of the given format. A pattern
// without live cells is refused, whatever its format.
int parsePattern(PatternFormat format, const char* text, size_t size, Pattern* pattern, PatternError* error);

// ---- Compressed files (pattern_gzip.cpp) -------------------------------------
// A file starting with gzip's magic bytes 1f 8b is replaced by what it holds:
// *text (heap) is freed and a new heap buffer of at most PATTERN_MAX_FILE bytes
// takes its place. Other files are left as they are. Returns 0 with error and
// *text freed when the data is broken, too large, or this build has no zlib.
int patternGunzip(char** text, size_t* size, PatternError* error);
// 1 when this build decompresses (it links zlib), 0 when it refuses such files.
int patternGzipBuilt();

// ---- Rules (pattern_rule.cpp) -------------------------------------------------
// Bit n set: n live neighbours give birth / let a live cell survive.
struct RuleSets {
    uint16_t birth;
    uint16_t survive;
};
// Reads a rule as universeRuleParse does and takes its counts: the board
// plays outer-totalistic rules on the eight neighbours, however they are
// spelled ("B3/S23", "b3s23", "23/3", a MAP string of such a rule). A grid
// after ':' must name the 64 x 64 plane (":P64,64").
int parseRule(const char* text, RuleSets* sets, PatternError* error);
// Fits the sets into the four numbers: each set must be one contiguous range of
// neighbour counts. An empty set becomes a range no count from 0 to 8 meets.
int ruleToFour(const RuleSets* sets, LifeRule* rule, PatternError* error);
// Writes the sets as "B3/S23".
void formatRule(const RuleSets* sets, char* out, size_t size);

// ---- Placement (pattern_place.cpp) ------------------------------------------
// A board position of a cell that may lie far off the board.
struct PatternPoint {
    int64_t x;
    int64_t y;
};
struct Placement {
    int32_t left;  // board cell of the pattern box's top-left corner
    int32_t top;
    uint8_t alive[LIFE_CELLS];  // 1 where a cell lands, at x * 64 + y
    int32_t written;
    int32_t dropped;
    PatternPoint shownDrops[PATTERN_SHOWN_DROPS];  // first dropped cells, board coordinates
    PatternCell boxLow;                           // corners of the written cells' box, when written > 0
    PatternCell boxHigh;
};
// Top-left corner that puts the box's middle cell on (32, 32): the middle of a
// side of length n is cell n / 2 (rounded down), so a 64-wide box fills the board.
void centreOrigin(const Pattern* pattern, int32_t* left, int32_t* top);
// Puts the pattern's box top-left at (left, top); cells off the board are
// counted as dropped, never wrapped.
void placePattern(const Pattern* pattern, int32_t left, int32_t top, Placement* placement);
// Where the box's top-left cell lies on a universe whose rule names grid: where
// the file puts it, except that an RLE without a position (centredOnGrid) on a
// grid bounded either way has its header's box centred, as bgolly places it.
void universeOrigin(const Pattern* pattern, const LifeGridShape* grid, int64_t* left, int64_t* top);

// ---- Output (pattern_write.cpp) -----------------------------------------------
// Life.ini text: the count, then one "x y 0" line per live cell, x major.
int writeLifeText(FILE* file, const Placement* placement);
int writeRulesText(FILE* file, const LifeRule* rule);
// Writes Life.ini (and Rules.ini when rule is not null) in the current folder
// through temporary files renamed into place, so a failure leaves the old
// files as they were. Returns 1, or 0 with error.
int writeBoardFiles(const Placement* placement, const LifeRule* rule, PatternError* error);
// Life.ini for a universe: the count, then one "x y 0" line per live cell at
// (left + x, top + y), in the pattern's order; the caller keeps those in int32.
int writeUniverseLifeText(FILE* file, const Pattern* pattern, int64_t left, int64_t top);
// As writeBoardFiles, for a universe: Rules.ini holds ruleName when it is not null.
int writeUniverseFiles(const Pattern* pattern, int64_t left, int64_t top, const char* ruleName, PatternError* error);

// ---- Converting a file (pattern_convert.cpp) ----------------------------------
struct PatternOptions {
    int32_t haveAt;  // 0: centred on the board, where the file puts it on a universe; 1: box's top-left at (left, top)
    int32_t left;
    int32_t top;
    int32_t keepRules;  // 1: a file without a rule leaves Rules.ini as it was
    int32_t board;  // 1: the 64 x 64 board; 0: the universe the rule names
};

enum PatternRuleSource {
    RULE_FROM_FILE,      // written as the file names it
    RULE_BY_CONVENTION,  // the file names none: Conway's, as its format means
    RULE_KEPT,           // the file names none and Rules.ini was left alone
};

// What a conversion did, for the summary.
struct PatternReport {
    PatternFormat format;
    int32_t width;
    int32_t height;
    int64_t count;
    int32_t left;        // on a universe: the written box's top-left cell
    int32_t top;
    Placement placement; // on the board
    PatternRuleSource ruleSource;
    LifeRule rule;       // on the board: written to Rules.ini unless RULE_KEPT
    char ruleName[LIFE_RULE_TEXT];  // "B3/S23" ("B36/S23:T100,100" on a universe), "" when RULE_KEPT
    char note[PATTERN_MESSAGE];
};

// Reads the pattern file at path (at most PATTERN_MAX_FILE bytes), converts
// it and writes Life.ini and Rules.ini in the current folder with
// writeBoardFiles or writeUniverseFiles. Returns 1 with report filled, or 0 with error and no file
// touched.
int patternConvertFile(const char* path, const PatternOptions* options, PatternReport* report, PatternError* error);
// How far a load has come, read from another thread while it runs, and its
// stop: once `cancel` is set the load ends at its next step, refused with
// "cancelled".
enum PatternStage { PATTERN_READING, PATTERN_PARSING, PATTERN_PLACING };
struct PatternProgress {
    std::atomic<int32_t> stage;
    std::atomic<int64_t> done;   // placing: the cells placed so far
    std::atomic<int64_t> total;  // placing: the cells to place
    std::atomic<int32_t> cancel;
};

// Reads the pattern file at path as patternConvertFile does with no options,
// into a new world at the file's generation instead of files: the universe the file's
// rule names (Conway's when it names none), the cells where the file puts
// them. Returns the world with report filled, or null with error; no file is
// written. progress may be null.
World* patternLoadWorld(const char* path, PatternReport* report, PatternError* error, PatternProgress* progress);
