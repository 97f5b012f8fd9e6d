// Life 1.06 coordinate lists: the line "#Life 1.06", then one "x y" pair of
// whole numbers per live cell (negative allowed). "#R S23/B3" names the rule;
// other '#' lines are comments.
// The cells are moved so the box of all of them starts at (0, 0).
#include <cstring>

#include "pattern/pattern_local.h"

int parseLife106(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_LIFE106, &reader, text, size);
    const char* line;
    size_t length;
    int haveHeader = 0;
    CellBox box = {0, 0, 0, 0};
    while (nextLine(&reader, &line, &length)) {
        size_t i = skipBlanks(line, length, 0);
        if (i == length)
            continue;
        if (!haveHeader) {
            if (length - i < 10 || memcmp(line + i, "#Life 1.06", 10) != 0)
                return patternFail(error, reader.number, "expected the first line '#Life 1.06'");
            haveHeader = 1;
            continue;
        }
        if (line[i] == '#') {
            if (i + 1 < length && line[i + 1] == 'R' &&
                !readRuleText(line, length, i + 2, "'#R'", reader.number, pattern, error)) {
                patternRelease(pattern);
                return 0;
            }
            continue;
        }
        int32_t x, y;
        if (!readCoordinate(line, length, &i, &x) || !readCoordinate(line, length, &i, &y)) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "expected two whole numbers 'x y', each from -%d to %d",
                               (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        }
        i = skipBlanks(line, length, i);
        if (i < length) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "unexpected text after the pair 'x y'");
        }
        if (!patternAddListed(pattern, &box, x, y, reader.number, error)) {
            patternRelease(pattern);
            return 0;
        }
    }
    if (!haveHeader)
        return patternFail(error, reader.number, "expected the first line '#Life 1.06'");
    patternFinishList(pattern, &box);
    return 1;
}
