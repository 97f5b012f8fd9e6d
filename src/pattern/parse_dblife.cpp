// dblife: a first line starting with '!', then comment lines starting with
// '!' and one row per line: '.' dead and 'O' alive, each with an optional
// count in front ("12.O2.O" is twelve dead cells, one live, two dead, one
// live). Missing cells are dead; a blank line is an empty row. The box starts
// at (0, 0), as with plaintext, which is dblife without counts.
#include "pattern/pattern_local.h"

int parseDblife(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_DBLIFE, &reader, text, size);
    const char* line;
    size_t length;
    // A file of at most PATTERN_MAX_FILE bytes holds fewer lines than
    // PATTERN_MAX_SIDE, so the row fits int32.
    int32_t row = 0;
    int first = 1;
    while (nextLine(&reader, &line, &length)) {
        if (first && (length == 0 || line[0] != '!'))
            return patternFail(error, reader.number, "expected a first line starting with '!'");
        first = 0;
        if (length > 0 && line[0] == '!')
            continue;
        int64_t x = 0;
        int64_t count = 0;  // 0 while none is pending
        for (size_t i = 0; i < length; i++) {
            const char c = line[i];
            if (textIsDigit(c)) {
                count = count * 10 + (c - '0');
                if (count > PATTERN_MAX_SIDE) {
                    patternRelease(pattern);
                    return patternFail(error, reader.number, "column %zu: count larger than %d", i + 1,
                                       (int)PATTERN_MAX_SIDE);
                }
                continue;
            }
            if (textIsBlank(c) && count == 0)
                continue;
            const int64_t n = count ? count : 1;
            count = 0;
            if (c != '.' && c != 'O' && c != 'o') {
                char what[16];
                describeChar(c, what, sizeof what);
                patternRelease(pattern);
                return patternFail(error, reader.number,
                                   "column %zu: unexpected %s (rows are made of '.' and 'O', each with an optional "
                                   "count)", i + 1, what);
            }
            if (x + n > PATTERN_MAX_SIDE) {
                patternRelease(pattern);
                return patternFail(error, reader.number, "column %zu: the row is wider than %d cells; refused",
                                   i + 1, (int)PATTERN_MAX_SIDE);
            }
            if (c != '.') {
                // Inside PATTERN_MAX_SIDE, so every x + k fits int32.
                if (!patternReserve(pattern, n, reader.number, error)) {
                    patternRelease(pattern);
                    return 0;
                }
                for (int64_t k = 0; k < n; k++)
                    patternAddCell(pattern, (int32_t)(x + k), row, reader.number, error);
                pattern->height = row + 1;
            }
            x += n;
            if (x > pattern->width)
                pattern->width = (int32_t)x;
        }
        if (count != 0) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "a count with no '.' or 'O' after it");
        }
        row++;
    }
    return 1;
}
