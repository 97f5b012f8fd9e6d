// Life 1.06 coordinate lists: the line "#Life 1.06", then one "x y" pair of
// whole numbers per live cell (negative allowed). Later '#' lines are comments.
// The cells are moved so the box of all of them starts at (0, 0).
#include <cstdlib>
#include <cstring>

#include "pattern/pattern.h"

static int isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

// Reads an optionally signed whole number of at most PATTERN_MAX_COORD in size.
static int readCoord(const char* line, size_t length, size_t* i, int32_t* value)
{
    while (*i < length && isBlank(line[*i]))
        (*i)++;
    int negative = 0;
    if (*i < length && (line[*i] == '-' || line[*i] == '+')) {
        negative = line[*i] == '-';
        (*i)++;
    }
    if (*i >= length || line[*i] < '0' || line[*i] > '9')
        return 0;
    int32_t v = 0;
    while (*i < length && line[*i] >= '0' && line[*i] <= '9') {
        // Stops growing once past the cap, so no digit string can overflow.
        if (v <= PATTERN_MAX_COORD)
            v = v * 10 + (line[*i] - '0');
        (*i)++;
    }
    if (v > PATTERN_MAX_COORD)
        return 0;
    *value = negative ? -v : v;
    return 1;
}

static int byPosition(const void* a, const void* b)
{
    const PatternCell* p = (const PatternCell*)a;
    const PatternCell* q = (const PatternCell*)b;
    if (p->x != q->x)
        return p->x < q->x ? -1 : 1;
    return p->y < q->y ? -1 : (p->y > q->y ? 1 : 0);
}

int parseLife106(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = PATTERN_LIFE106;
    LineReader reader;
    lineReaderInit(&reader, text, size);
    const char* line;
    size_t length;
    int haveHeader = 0;
    int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    while (nextLine(&reader, &line, &length)) {
        size_t i = 0;
        while (i < length && isBlank(line[i]))
            i++;
        if (i == length)
            continue;
        if (!haveHeader) {
            if (length - i < 10 || memcmp(line + i, "#Life 1.06", 10) != 0)
                return patternFail(error, reader.number, "expected the first line '#Life 1.06'");
            haveHeader = 1;
            continue;
        }
        if (line[i] == '#')
            continue;
        int32_t x, y;
        if (!readCoord(line, length, &i, &x) || !readCoord(line, length, &i, &y)) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "expected two whole numbers 'x y', each from -%d to %d",
                               (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        }
        while (i < length && isBlank(line[i]))
            i++;
        if (i < length) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "unexpected text after the pair 'x y'");
        }
        if (pattern->count == 0) {
            minX = maxX = x;
            minY = maxY = y;
        }
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
        // Differences stay within 2 * PATTERN_MAX_COORD, far inside int32.
        if (maxX - minX >= PATTERN_MAX_SIDE || maxY - minY >= PATTERN_MAX_SIDE) {
            patternRelease(pattern);
            return patternFail(error, reader.number, "the cells spread over more than %d cells a side; refused",
                               (int)PATTERN_MAX_SIDE);
        }
        if (!patternAddCell(pattern, x, y, reader.number, error)) {
            patternRelease(pattern);
            return 0;
        }
    }
    if (!haveHeader)
        return patternFail(error, reader.number, "expected the first line '#Life 1.06'");
    // A cell listed twice is one live cell.
    if (pattern->count > 0)
        qsort(pattern->cells, (size_t)pattern->count, sizeof(PatternCell), byPosition);
    int32_t kept = 0;
    for (int32_t k = 0; k < pattern->count; k++) {
        if (kept > 0 && byPosition(&pattern->cells[kept - 1], &pattern->cells[k]) == 0)
            continue;
        pattern->cells[kept++] = pattern->cells[k];
    }
    pattern->count = kept;
    for (int32_t k = 0; k < kept; k++) {
        pattern->cells[k].x -= minX;
        pattern->cells[k].y -= minY;
    }
    if (kept > 0) {
        pattern->width = maxX - minX + 1;
        pattern->height = maxY - minY + 1;
    }
    return 1;
}
