// Life 1.05: the line "#Life 1.05" (some files leave it out), then blocks of
// rows. "#P x y" starts a block whose first row begins at cell (x, y), a bare
// "#P" one at (0, 0), as files in public collections have it; each row is one
// cell lower, '.' dead
// and '*' alive, missing cells dead. "#N" names Conway's rule and "#R S/B"
// another; other '#' lines (#D, #C) are comments and blank lines are skipped.
// Rows before any "#P" start at (0, 0). As with Life 1.06, the cells are moved
// so the box of all of them starts at (0, 0).
#include <cstring>

#include "pattern/pattern_local.h"

// A '#' line; moves the block origin or records the rule.
static int hashLine(const char* line, size_t length, int32_t number, int32_t* blockX, int32_t* blockY,
                    int32_t* row, Pattern* pattern, PatternError* error)
{
    const char kind = length > 1 ? line[1] : '\0';
    size_t i = 2;
    if (kind == 'P') {
        // The caller has cut the line's trailing blanks.
        if (skipBlanks(line, length, i) == length) {
            *blockX = 0;
            *blockY = 0;
        } else if (!readCoordinate(line, length, &i, blockX) || !readCoordinate(line, length, &i, blockY)) {
            return patternFail(error, number, "'#P' needs two whole numbers 'x y', each from -%d to %d, or none",
                               (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        }
        *row = 0;
    } else if (kind == 'N') {
        strcpy(pattern->rule, "B3/S23");
    } else if (kind == 'R') {
        return readRuleText(line, length, i, "'#R'", number, pattern, error);
    }
    return 1;
}

int parseLife105(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_LIFE105, &reader, text, size);
    const char* line;
    size_t length;
    int haveHeader = 0;
    int32_t blockX = 0, blockY = 0, row = 0;
    CellBox box = {0, 0, 0, 0};
    while (nextLine(&reader, &line, &length)) {
        while (length > 0 && textIsBlank(line[length - 1]))
            length--;
        if (length == 0)
            continue;
        if (!haveHeader) {
            haveHeader = 1;
            // Files without the header begin with their '#D', '#N' or '#P' lines.
            const size_t i = skipBlanks(line, length, 0);
            if (length - i >= 5 && memcmp(line + i, "#Life", 5) == 0) {
                if (length - i < 10 || memcmp(line + i, "#Life 1.05", 10) != 0)
                    return patternFail(error, reader.number, "expected the first line '#Life 1.05'");
                continue;
            }
        }
        if (line[0] == '#') {
            if (!hashLine(line, length, reader.number, &blockX, &blockY, &row, pattern, error)) {
                patternRelease(pattern);
                return 0;
            }
            continue;
        }
        // Sums in 64 bits: patternAddListed refuses cells past 32-bit coordinates.
        if (!patternReadRow(pattern, &box, line, length, blockX, (int64_t)blockY + row, '*', reader.number, error))
            return 0;
        row++;
    }
    patternFinishList(pattern, &box);
    return 1;
}
