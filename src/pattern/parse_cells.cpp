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
    // A file of at most PATTERN_MAX_FILE bytes holds fewer rows, and rows
    // shorter, than PATTERN_MAX_SIDE, so row and column fit int32.
    int32_t row = 0;
    while (nextLine(&reader, &line, &length)) {
        if (length > 0 && line[0] == '!')
            continue;
        while (length > 0 && textIsBlank(line[length - 1]))
            length--;
        if (!patternReadRow(pattern, nullptr, line, length, 0, row, 'O', reader.number, error))
            return 0;
        if (length > 0) {
            if ((int32_t)length > pattern->width)
                pattern->width = (int32_t)length;
            pattern->height = row + 1;
        }
        row++;
    }
    return 1;
}
