// Run-length encoded patterns: '#' comment lines, the header
// "x = W, y = H, rule = R", then runs of 'b' (dead), 'o' (alive) and '$' (end
// of row), each with an optional count, closed by '!'. Text after '!' is free.
#include <cstring>

#include "pattern/pattern.h"

static int isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

static int isDigit(char c)
{
    return c >= '0' && c <= '9';
}

static size_t skipBlanks(const char* line, size_t length, size_t i)
{
    while (i < length && isBlank(line[i]))
        i++;
    return i;
}

// Reads a side length at line[*i]: digits only, at most PATTERN_MAX_SIDE.
static int readSide(const char* line, size_t length, size_t* i, const char* name, int32_t number,
                    int32_t* value, PatternError* error)
{
    if (*i >= length || !isDigit(line[*i]))
        return patternFail(error, number, "header: %s needs a whole number", name);
    int32_t v = 0;
    while (*i < length && isDigit(line[*i])) {
        // Stops growing once past the cap, so no digit string can overflow.
        if (v <= PATTERN_MAX_SIDE)
            v = v * 10 + (line[*i] - '0');
        (*i)++;
    }
    if (v > PATTERN_MAX_SIDE)
        return patternFail(error, number, "header: %s is more than %d cells; patterns that large are refused",
                           name, (int)PATTERN_MAX_SIDE);
    *value = v;
    return 1;
}

static int parseHeader(const char* line, size_t length, int32_t number, Pattern* pattern, PatternError* error)
{
    int haveX = 0, haveY = 0;
    size_t i = skipBlanks(line, length, 0);
    while (i < length) {
        const size_t keyStart = i;
        while (i < length && ((line[i] >= 'a' && line[i] <= 'z') || (line[i] >= 'A' && line[i] <= 'Z')))
            i++;
        const size_t keyLength = i - keyStart;
        const char* key = line + keyStart;
        i = skipBlanks(line, length, i);
        if (keyLength == 0 || i >= length || line[i] != '=')
            return patternFail(error, number, "header: expected 'x = .., y = ..' with an optional 'rule = ..'");
        i = skipBlanks(line, length, i + 1);
        if (keyLength == 1 && key[0] == 'x' && !haveX) {
            if (!readSide(line, length, &i, "x", number, &pattern->width, error))
                return 0;
            haveX = 1;
        } else if (keyLength == 1 && key[0] == 'y' && !haveY) {
            if (!readSide(line, length, &i, "y", number, &pattern->height, error))
                return 0;
            haveY = 1;
        } else if (keyLength == 4 && memcmp(key, "rule", 4) == 0 && !pattern->rule[0]) {
            // The rule runs to the end of the line: some rule names hold commas.
            size_t end = length;
            while (end > i && isBlank(line[end - 1]))
                end--;
            if (end == i)
                return patternFail(error, number, "header: 'rule =' names no rule");
            if (end - i >= sizeof pattern->rule)
                return patternFail(error, number, "header: the rule is longer than %d characters",
                                   (int)sizeof pattern->rule - 1);
            memcpy(pattern->rule, line + i, end - i);
            pattern->rule[end - i] = '\0';
            i = length;
            break;
        } else {
            return patternFail(error, number, "header: unexpected or repeated field '%.*s'", (int)keyLength, key);
        }
        i = skipBlanks(line, length, i);
        if (i < length) {
            if (line[i] != ',')
                return patternFail(error, number, "header: expected ',' between fields");
            i = skipBlanks(line, length, i + 1);
        }
    }
    if (!haveX || !haveY)
        return patternFail(error, number, "header: both x and y are needed");
    return 1;
}

// Cursor of the body: the cell the next run starts at and the pending count.
struct RleBody {
    int32_t x;
    int32_t y;
    int32_t run;  // 0 while no count is pending
    int done;
};

static int bodyLine(const char* line, size_t length, int32_t number, RleBody* body, Pattern* pattern,
                    PatternError* error)
{
    char what[16];
    for (size_t i = 0; i < length && !body->done; i++) {
        const char c = line[i];
        if (isDigit(c)) {
            if (body->run == 0 && c == '0')
                return patternFail(error, number, "column %d: a run count cannot start with 0", (int)i + 1);
            body->run = body->run * 10 + (c - '0');
            if (body->run > PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %d: run count larger than %d", (int)i + 1,
                                   (int)PATTERN_MAX_SIDE);
            continue;
        }
        if (isBlank(c))
            continue;
        const int hadRun = body->run != 0;
        const int32_t n = hadRun ? body->run : 1;
        body->run = 0;
        if (c == 'b' || c == '.' || c == 'o' || c == 'A') {
            // x and n are both at most PATTERN_MAX_SIDE, so the sum cannot overflow.
            if (body->x + n > pattern->width)
                return patternFail(error, number, "column %d: row %d runs to %d cells, but the header says x = %d",
                                   (int)i + 1, (int)body->y + 1, (int)(body->x + n), (int)pattern->width);
            if (c == 'o' || c == 'A') {
                if (body->y >= pattern->height)
                    return patternFail(error, number, "column %d: live cell on row %d, but the header says y = %d",
                                       (int)i + 1, (int)body->y + 1, (int)pattern->height);
                for (int32_t k = 0; k < n; k++) {
                    if (!patternAddCell(pattern, body->x + k, body->y, number, error))
                        return 0;
                }
            }
            body->x += n;
        } else if (c == '$') {
            body->y += n;
            body->x = 0;
            // One row past the box is a harmless trailing '$'; more is a body
            // taller than its header (and keeps y from growing without limit).
            if (body->y > pattern->height)
                return patternFail(error, number, "column %d: the body has %d rows, but the header says y = %d",
                                   (int)i + 1, (int)body->y + 1, (int)pattern->height);
        } else if (c == '!') {
            if (hadRun)
                return patternFail(error, number, "column %d: a run count before '!'", (int)i + 1);
            body->done = 1;
        } else {
            describeChar(c, what, sizeof what);
            return patternFail(error, number,
                               "column %d: unexpected %s (runs are made of 'b', 'o', '$' and '!')", (int)i + 1, what);
        }
    }
    return 1;
}

int parseRle(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = PATTERN_RLE;
    LineReader reader;
    lineReaderInit(&reader, text, size);
    RleBody body = {0, 0, 0, 0};
    int haveHeader = 0;
    int failed = 0;
    int32_t runLine = 0;
    const char* line;
    size_t length;
    while (!failed && !body.done && nextLine(&reader, &line, &length)) {
        const size_t start = skipBlanks(line, length, 0);
        if (start == length || line[start] == '#')
            continue;
        if (!haveHeader) {
            failed = !parseHeader(line, length, reader.number, pattern, error);
            haveHeader = 1;
            continue;
        }
        failed = !bodyLine(line, length, reader.number, &body, pattern, error);
        if (body.run)
            runLine = reader.number;
    }
    if (!failed && !body.done) {
        if (!haveHeader)
            patternFail(error, reader.number, "no header line 'x = .., y = ..' in the file");
        else if (body.run)
            patternFail(error, runLine, "a run count with no 'b', 'o' or '$' after it");
        else
            patternFail(error, reader.number, "the pattern ends without '!'; the file may be cut short");
        failed = 1;
    }
    if (failed) {
        patternRelease(pattern);
        return 0;
    }
    return 1;
}
