// dblife: a first line starting with '!', then comment lines starting with
// '!' and one row per line: '.' dead and 'O' alive, each with an optional
// count in front ("12.O2.O" is twelve dead cells, one live, two dead, one
// live). Missing cells are dead; a blank line is an empty row. Files written
// by dblife carry a position line below their comments, an offset in its
// cursor moves ("7k18h@!": seven up, eighteen left); bgolly reads that line as
// a row without cells, and so does this reader, so cells land where bgolly
// puts them. The box starts at (0, 0), as with plaintext, which is dblife
// without counts. The text is read twice, counting the live cells before
// listing them (patternAddRun).
#include "pattern/pattern_local.h"

// "6k@!", "7k18h@!": counted moves (h, j, k, l), then '@', then an optional '!'.
static int isPositionLine(const char* line, size_t length)
{
    size_t i = 0;
    while (i < length && (textIsDigit(line[i]) || line[i] == 'h' || line[i] == 'j' || line[i] == 'k' ||
                          line[i] == 'l'))
        i++;
    if (i == length || line[i] != '@')
        return 0;
    i++;
    if (i < length && line[i] == '!')
        i++;
    return skipBlanks(line, length, i) == length;
}

// One row: its runs added at row y with patternAddRun.
static int readRow(const char* line, size_t length, int32_t y, int listing, int32_t number, Pattern* pattern,
                   PatternError* error)
{
    int64_t x = 0;
    int64_t count = 0;  // 0 while none is pending
    for (size_t i = 0; i < length; i++) {
        const char c = line[i];
        if (textIsDigit(c)) {
            count = count * 10 + (c - '0');
            if (count > PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %zu: count larger than %d", i + 1, (int)PATTERN_MAX_SIDE);
            continue;
        }
        if (textIsBlank(c) && count == 0)
            continue;
        const int64_t n = count ? count : 1;
        count = 0;
        if (c != '.' && c != 'O' && c != 'o') {
            char what[16];
            describeChar(c, what, sizeof what);
            return patternFail(error, number,
                               "column %zu: unexpected %s (rows are made of '.' and 'O', each with an optional "
                               "count)", i + 1, what);
        }
        if (x + n > PATTERN_MAX_SIDE)
            return patternFail(error, number, "column %zu: the row is wider than %d cells; refused", i + 1,
                               (int)PATTERN_MAX_SIDE);
        if (c != '.') {
            // Inside PATTERN_MAX_SIDE, so every x + k fits int32.
            if (!patternAddRun(pattern, listing, x, y, n, number, error))
                return 0;
            pattern->height = y + 1;
        }
        x += n;
        if (x > pattern->width)
            pattern->width = (int32_t)x;
    }
    if (count != 0)
        return patternFail(error, number, "a count with no '.' or 'O' after it");
    return 1;
}

// One pass: listed < 0 counts the live cells into pattern->count, else room
// for listed cells is reserved and they are listed.
static int readDblife(const char* text, size_t size, int64_t listed, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_DBLIFE, &reader, text, size);
    if (listed >= 0 && !patternReserve(pattern, listed, 0, error))
        return 0;
    const char* line;
    size_t length;
    // A file of at most PATTERN_MAX_FILE bytes holds fewer lines than
    // PATTERN_MAX_SIDE, so the row fits int32.
    int32_t row = 0;
    int first = 1;
    while (nextLine(&reader, &line, &length)) {
        if (first && (length == 0 || line[0] != '!')) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "expected a first line starting with '!'");
        }
        first = 0;
        if (length > 0 && line[0] == '!')
            continue;
        if (!isPositionLine(line, length) && !readRow(line, length, row, listed >= 0, reader.number, pattern, error)) {
            patternRelease(pattern);
            return 0;
        }
        row++;
    }
    return 1;
}

int parseDblife(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    if (!readDblife(text, size, -1, pattern, error))
        return 0;
    return readDblife(text, size, pattern->count, pattern, error);
}
