// The parsers' own parts: walking the text line by line, reading rows, rule
// texts and coordinates, and collecting the cells. Only the pattern area and
// its tests include this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pattern/pattern.h"

// ---- Text helpers (pattern_text.cpp) ---------------------------------------
// Walks a buffer line by line; LF, CRLF and a lone CR each end a line.
struct LineReader {
    const char* text;
    size_t size;
    size_t pos;
    int32_t number;  // of the line last returned
};
void lineReaderInit(LineReader* reader, const char* text, size_t size);
// Where every parser begins: an empty pattern of the format, and a reader at
// the first line of the text.
void patternParseStart(Pattern* pattern, PatternFormat format, LineReader* reader, const char* text, size_t size);
// The first position from i on that is not blank (or length).
size_t skipBlanks(const char* line, size_t length, size_t i);
// Returns 1 with the next line in line/length, 0 at the end of the text.
int nextLine(LineReader* reader, const char** line, size_t* length);
// Skips a UTF-8 byte-order mark at the start and DOS end-of-file marks
// (Ctrl-Z, 0x1A) at the very end.
void patternTrim(const char** text, size_t* size);
// Refuses bytes no text pattern contains (NUL, control codes other than tab,
// CR, LF and form feed). Bytes from 0x80 pass: comments may be UTF-8.
int checkText(const char* text, size_t size, PatternError* error);
// Adds one live cell, growing the list on the heap; fails past
// patternLimits.maxCells or when memory runs out ("not enough memory").
int patternAddCell(Pattern* pattern, int32_t x, int32_t y, int32_t line, PatternError* error);
// Makes room for `more` cells past the count in one step, with the same failures.
int patternReserve(Pattern* pattern, int64_t more, int32_t line, PatternError* error);
// Readers whose few bytes can name billions of cells (RLE and dblife runs,
// XLife includes) read their text twice: a first pass (listing 0) only adds
// the run's n cells to pattern->count, refusing past patternLimits.maxCells
// before anything is allocated; the second (listing 1), after the count is
// reserved, lists the cells (x, y) to (x + n - 1, y). The caller keeps x + n
// and y within int32.
int patternAddRun(Pattern* pattern, int listing, int64_t x, int64_t y, int64_t n, int32_t line, PatternError* error);
// The same for a run of cells in state (1 to 255).
int patternAddStateRun(Pattern* pattern, int listing, int64_t x, int64_t y, int64_t n, int state, int32_t line,
    PatternError* error);
// The cell state a letter of the multi-state run-length formats names: '.' 0,
// 'A' to 'X' 1 to 24, a prefix from 'p' (RLE) or 'a' (MCell) to the letter
// adding 24 for each step from the first: 1 with *state, or 0.
int patternStateLetter(char prefix, char first, char letter, int* state);
// The rule a file carries after its cells: from a line "@RULE" to the end,
// copied into pattern->carried. 0 when memory ran out.
int patternTakeCarried(Pattern* pattern, const char* text, size_t size);
// Describes a character for a message: 'x' when printable, else 0xNN.
void describeChar(char c, char* out, size_t size);
// The rule text of a header or a '#R' line: line[i] to the end of the line,
// blanks cut at both ends, into pattern->rule. what names the field in the
// messages ("header: 'rule ='", "'#R'"). Returns 0 with error when the text
// is empty or longer than the room for it.
int readRuleText(const char* line, size_t length, size_t i, const char* what, int32_t number, Pattern* pattern,
    PatternError* error);

// ---- Rows and coordinate lists (pattern_text.cpp) ----------------------------
// Coordinate lists (Life 1.05 and 1.06) give cells anywhere; their box is
// kept while reading and moved to (0, 0) at the end.
// 64-bit, so a side (max - min + 1) of two 32-bit ends cannot overflow.
struct CellBox {
    int64_t minX, minY, maxX, maxY;
};
// Takes (x, y) into box; the first cell makes the box.
void cellBoxAdd(CellBox* box, int64_t x, int64_t y, int first);
// Reads an optionally signed whole number of at most PATTERN_MAX_COORD in size
// at line[*i], after blanks.
int readCoordinate(const char* line, size_t length, size_t* i, int32_t* value);
// Adds a cell and grows box; fails when x or y is past PATTERN_MAX_COORD or
// once the box is wider or taller than PATTERN_MAX_SIDE.
int patternAddListed(Pattern* pattern, CellBox* box, int64_t x, int64_t y, int32_t line, PatternError* error);
// One picture row of '.' (dead) and `alive` cells (a letter in either case), its first cell at (x, y):
// added with patternAddListed into box, or with patternAddCell when box is
// null (the caller then keeps x + length within int32). Returns 0 with the
// pattern released and the error filled.
int patternReadRow(Pattern* pattern, CellBox* box, const char* line, size_t length, int64_t x, int64_t y, char alive,
    int32_t number, PatternError* error);
// Merges cells listed twice and moves the box's corner to (0, 0), keeping
// where it was in left and top.
void patternFinishList(Pattern* pattern, const CellBox* box);
