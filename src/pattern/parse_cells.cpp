// Plaintext patterns: one text line per row, '.' dead and 'O' alive, lines
// starting with '!' are comments. Rows may be ragged: missing cells are dead.
// Trailing blank lines end the pattern; blank lines inside it are dead rows.
#include <cstring>

#include "pattern/pattern_local.h"

int parseCells(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_CELLS, &reader, text, size);
    const char* line;
    size_t length;
    int32_t row = 0;
    while (nextLine(&reader, &line, &length)) {
        if (length > 0 && line[0] == '!')
            continue;
        while (length > 0 && isBlank(line[length - 1]))
            length--;
        if (length > PATTERN_MAX_SIDE) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "row is %zu cells wide; patterns wider than %d are refused",
                               length, (int)PATTERN_MAX_SIDE);
        }
        if (length > 0 && row >= PATTERN_MAX_SIDE) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "more than %d rows; patterns that tall are refused",
                               (int)PATTERN_MAX_SIDE);
        }
        if (!patternReadRow(pattern, nullptr, line, length, 0, row, 'O', reader.number, error))
            return 0;
        if (length > 0) {
            if ((int32_t)length > pattern->width)
                pattern->width = (int32_t)length;
            pattern->height = row + 1;
        }
        // Rows are counted only while they stay in reach, so a long tail of
        // blank lines cannot overflow the counter.
        if (row <= PATTERN_MAX_SIDE)
            row++;
    }
    return 1;
}
