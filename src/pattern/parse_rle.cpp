// Run-length encoded patterns: '#' comment lines, the header
// "x = W, y = H, rule = R", then runs of 'b' (dead), 'o' (alive) and '$' (end
// of row), each with an optional count, closed by '!'. Text after '!' is free.
// As the community's readers do, 'x' and 'y' are live cells too, header keys
// are read in any case, unknown header fields are noted and skipped, and rows
// may run past the header's box, which then grows to hold their live cells.
// Multi-state files write '.' for state 0, 'A' to 'X' for states 1 to 24 and
// a prefix 'p' to 'y' before such a letter for 25 to 255. A '#CXRLE' line may give the position of
// the box's top-left cell ("Pos=x,y"); without it the header's box is centred
// on a bounded grid (universeOrigin). The text is read twice, counting the
// live cells before listing them (patternAddRun).
#include <cstring>

#include "pattern/pattern_local.h"

static int isKeyChar(char c)
{
    return textIsLetter(c) || textIsDigit(c) || c == '_';
}

static int keyIs(const char* key, size_t length, const char* name)
{
    if (length != strlen(name))
        return 0;
    for (size_t k = 0; k < length; k++) {
        if (textLower(key[k]) != name[k])
            return 0;
    }
    return 1;
}

// Adds an unknown field's name to the pattern's note.
static void noteField(Pattern* pattern, int32_t number, const char* key, size_t length)
{
    size_t used = strlen(pattern->note);
    if (used == 0)
        used = (size_t)snprintf(pattern->note, sizeof pattern->note, "line %d: unknown header fields ignored:",
                                (int)number);
    if (used < sizeof pattern->note)
        snprintf(pattern->note + used, sizeof pattern->note - used, " %.*s", (int)length, key);
}


// Reads a side length at line[*i]: digits only, at most PATTERN_MAX_SIDE.
static int readSide(const char* line, size_t length, size_t* i, const char* name, int32_t number,
                    int32_t* value, PatternError* error)
{
    int64_t v;
    if (!textReadNumber(line, length, i, PATTERN_MAX_SIDE, &v))
        return patternFail(error, number, "header: %s needs a whole number", name);
    if (v > PATTERN_MAX_SIDE)
        return patternFail(error, number, "header: %s is more than %d cells; patterns that large are refused",
                           name, (int)PATTERN_MAX_SIDE);
    *value = (int32_t)v;
    return 1;
}

static int parseHeader(const char* line, size_t length, int32_t number, Pattern* pattern, PatternError* error)
{
    int haveX = 0, haveY = 0;
    size_t i = skipBlanks(line, length, 0);
    while (i < length) {
        const size_t keyStart = i;
        while (i < length && isKeyChar(line[i]))
            i++;
        const size_t keyLength = i - keyStart;
        const char* key = line + keyStart;
        i = skipBlanks(line, length, i);
        if (keyLength == 0 || i >= length || line[i] != '=')
            return patternFail(error, number, "header: expected 'x = .., y = ..' with an optional 'rule = ..'");
        i = skipBlanks(line, length, i + 1);
        if (keyIs(key, keyLength, "x") && !haveX) {
            if (!readSide(line, length, &i, "x", number, &pattern->headerWidth, error))
                return 0;
            haveX = 1;
        } else if (keyIs(key, keyLength, "y") && !haveY) {
            if (!readSide(line, length, &i, "y", number, &pattern->headerHeight, error))
                return 0;
            haveY = 1;
        } else if (keyIs(key, keyLength, "rule") && !pattern->rule[0]) {
            // The rule runs to the end of the line: some rule names hold commas.
            if (!readRuleText(line, length, i, "header: 'rule ='", number, pattern, error))
                return 0;
            i = length;
            break;
        } else if (keyIs(key, keyLength, "x") || keyIs(key, keyLength, "y") || keyIs(key, keyLength, "rule")) {
            return patternFail(error, number, "header: repeated field '%.*s'", (int)keyLength, key);
        } else {
            // Fields some editors add ("skip", "fps", ...): their values hold no comma.
            noteField(pattern, number, key, keyLength);
            while (i < length && line[i] != ',')
                i++;
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
    pattern->width = pattern->headerWidth;
    pattern->height = pattern->headerHeight;
    return 1;
}

// Where padding stops being counted: past any box, close enough that adding
// a run (at most PATTERN_MAX_SIDE) stays far inside int64.
static const int64_t rleReach = (int64_t)PATTERN_MAX_SIDE + 1;

// Cursor of the body: the cell the next run starts at and the pending count.
struct RleBody {
    int64_t x;
    int64_t y;
    int64_t run;  // 0 while no count is pending
    int done;
    int listing;  // 0 on the counting pass, 1 on the listing one
};

static int bodyLine(const char* line, size_t length, int32_t number, RleBody* body, Pattern* pattern,
                    PatternError* error)
{
    char what[16];
    for (size_t i = 0; i < length && !body->done; i++) {
        const char c = line[i];
        if (textIsDigit(c)) {
            if (body->run == 0 && c == '0')
                return patternFail(error, number, "column %d: a run count cannot start with 0", (int)i + 1);
            body->run = body->run * 10 + (c - '0');
            if (body->run > PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %d: run count larger than %d", (int)i + 1,
                                   (int)PATTERN_MAX_SIDE);
            continue;
        }
        if (textIsBlank(c))
            continue;
        const int hadRun = body->run != 0;
        const int64_t n = hadRun ? body->run : 1;
        // A state past 24: a prefix from 'p' to 'y' before its letter.
        const char prefix = c >= 'p' && c <= 'y' && i + 1 < length && line[i + 1] >= 'A' && line[i + 1] <= 'X' ? c : 0;
        int state = c == 'o' || c == 'x' || c == 'y' ? 1 : 0;
        if (prefix || (c >= 'A' && c <= 'X')) {
            if (!patternStateLetter(prefix, 'p', prefix ? line[++i] : c, &state))
                return patternFail(error, number, "column %d: '%c%c' names a state past 255", (int)i, prefix,
                                   line[i]);
        }
        body->run = 0;
        if (c == 'b' || c == '.') {
            // Padding past the box is harmless; the cap keeps x small.
            body->x = body->x + n > rleReach ? rleReach : body->x + n;
        } else if (state) {
            if (body->x + n > PATTERN_MAX_SIDE || body->y >= PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %d: live cells on row %lld run to %lld cells; a box of "
                                                  "more than %d cells a side is refused", (int)i + 1,
                                   (long long)body->y + 1, (long long)(body->x + n), (int)PATTERN_MAX_SIDE);
            // Within PATTERN_MAX_SIDE, so x + k and y fit int32.
            if (!patternAddStateRun(pattern, body->listing, body->x, body->y, n, state, number, error))
                return 0;
            body->x += n;
            pattern->width = body->x > pattern->width ? (int32_t)body->x : pattern->width;
            pattern->height = body->y >= pattern->height ? (int32_t)body->y + 1 : pattern->height;
        } else if (c == '$') {
            // Empty rows past the box are padding; the cap keeps y small.
            body->y = body->y + n > rleReach ? rleReach : body->y + n;
            body->x = 0;
        } else if (c == '!') {
            if (hadRun)
                return patternFail(error, number, "column %d: a run count before '!'", (int)i + 1);
            body->done = 1;
        } else {
            describeChar(c, what, sizeof what);
            return patternFail(error, number,
                               "column %d: unexpected %s (runs are made of 'b', 'o', '$' and '!', or of '.' and "
                               "the states 'A' to 'X', 'pA' to 'yO')", (int)i + 1, what);
        }
    }
    return 1;
}

// "#CXRLE Pos=-3,5 Gen=12": Pos is where the box's top-left cell lies; the other fields are
// not the board's concern.
static int readExtendedLine(const char* line, size_t length, int32_t number, Pattern* pattern, PatternError* error)
{
    static const char pos[] = "Pos=";
    for (size_t i = 6; i + sizeof pos - 1 <= length; i++) {
        if (memcmp(line + i, pos, sizeof pos - 1) != 0 || !textIsBlank(line[i - 1]))
            continue;
        i += sizeof pos - 1;
        int32_t x = 0, y = 0;
        int ok = readCoordinate(line, length, &i, &x) && i < length && line[i] == ',';
        i++;
        if (!ok || !readCoordinate(line, length, &i, &y))
            return patternFail(error, number, "'#CXRLE Pos=' needs two whole numbers 'x,y', each from -%d to %d",
                               (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        pattern->left = x;
        pattern->top = y;
        pattern->centredOnGrid = 0;
        return 1;
    }
    return 1;
}

// One pass over the text: listed < 0 counts the live cells into
// pattern->count, else room for listed cells is reserved and they are listed.
static int readRle(const char* text, size_t size, int64_t listed, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_RLE, &reader, text, size);
    pattern->centredOnGrid = 1;
    if (listed >= 0 && !patternReserve(pattern, listed, 0, error))
        return 0;
    RleBody body = {0, 0, 0, 0, listed >= 0};
    int haveHeader = 0;
    int failed = 0;
    int32_t runLine = 0;
    const char* line;
    size_t length;
    while (!failed && !body.done && nextLine(&reader, &line, &length)) {
        const size_t start = skipBlanks(line, length, 0);
        if (!haveHeader && length - start >= 6 && memcmp(line + start, "#CXRLE", 6) == 0) {
            failed = !readExtendedLine(line + start, length - start, reader.number, pattern, error);
            continue;
        }
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

int parseRle(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    if (!readRle(text, size, -1, pattern, error))
        return 0;
    return readRle(text, size, pattern->count, pattern, error);
}
