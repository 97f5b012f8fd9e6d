// Line walking, messages and the growing cell list shared by the parsers.
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "pattern/pattern_local.h"
#include "platform/platform.h"

void lineReaderInit(LineReader* reader, const char* text, size_t size)
{
    reader->text = text;
    reader->size = size;
    reader->pos = 0;
    reader->number = 0;
}

void patternParseStart(Pattern* pattern, PatternFormat format, LineReader* reader, const char* text, size_t size)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = format;
    lineReaderInit(reader, text, size);
}

size_t skipBlanks(const char* line, size_t length, size_t i)
{
    while (i < length && textIsBlank(line[i]))
        i++;
    return i;
}

int nextLine(LineReader* reader, const char** line, size_t* length)
{
    if (!textNextLine(reader->text, reader->size, &reader->pos, line, length))
        return 0;
    reader->number++;
    return 1;
}

void patternTrim(const char** text, size_t* size)
{
    if (*size >= 3 && memcmp(*text, "\xEF\xBB\xBF", 3) == 0) {
        *text += 3;
        *size -= 3;
    }
    while (*size > 0 && (*text)[*size - 1] == 0x1A)
        (*size)--;
}

int patternFail(PatternError* error, int32_t line, const char* format, ...)
{
    error->line = line;
    va_list args;
    va_start(args, format);
    vsnprintf(error->message, sizeof error->message, format, args);
    va_end(args);
    return 0;
}

void describeChar(char c, char* out, size_t size)
{
    const unsigned char u = (unsigned char)c;
    if (u >= 0x21 && u < 0x7F)
        snprintf(out, size, "'%c'", c);
    else if (u == ' ')
        snprintf(out, size, "a space");
    else
        snprintf(out, size, "byte 0x%02X", u);
}

int checkText(const char* text, size_t size, PatternError* error)
{
    int32_t line = 1;
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = (unsigned char)text[i];
        // Counted as nextLine counts: the CR of a CRLF does not end a line of its own.
        if (c == '\n' || (c == '\r' && (i + 1 == size || text[i + 1] != '\n')))
            line++;
        else if ((c < 0x20 && c != '\t' && c != '\r' && c != '\f') || c == 0x7F)
            return patternFail(error, line, "byte 0x%02X: this is not a text pattern file", c);
    }
    return 1;
}

PatternLimits patternLimits = {PATTERN_CELL_BUDGET, PATTERN_CELL_BUDGET};

static int refuseCells(int32_t line, PatternError* error)
{
    return patternFail(error, line, "more than %d live cells; refused", (int)patternLimits.maxCells);
}

int patternReserve(Pattern* pattern, int64_t more, int32_t line, PatternError* error)
{
    const int64_t needed = (int64_t)pattern->count + more;
    if (needed <= pattern->capacity)
        return 1;
    if (needed > patternLimits.maxCells)
        return refuseCells(line, error);
    // Doubles from 64, capped at the limit.
    int64_t capacity = pattern->capacity ? (int64_t)pattern->capacity * 2 : 64;
    capacity = capacity < needed ? needed : capacity;
    capacity = capacity > patternLimits.maxCells ? patternLimits.maxCells : capacity;
    const uint64_t bytes = (uint64_t)capacity * sizeof(PatternCell);
    PatternCell* cells = bytes <= SIZE_MAX ? (PatternCell*)heapRealloc(pattern->cells, (size_t)bytes) : nullptr;
    if (!cells)
        return patternFail(error, line, "not enough memory for %lld live cells", (long long)capacity);
    pattern->cells = cells;
    if (pattern->states) {
        uint8_t* states = (uint8_t*)heapRealloc(pattern->states, (size_t)capacity);
        if (!states)
            return patternFail(error, line, "not enough memory for %lld live cells", (long long)capacity);
        pattern->states = states;
    }
    pattern->capacity = (int32_t)capacity;
    return 1;
}

int patternAddCell(Pattern* pattern, int32_t x, int32_t y, int32_t line, PatternError* error)
{
    if (pattern->count == pattern->capacity && !patternReserve(pattern, 1, line, error))
        return 0;
    pattern->cells[pattern->count].x = x;
    pattern->cells[pattern->count].y = y;
    if (pattern->states)
        pattern->states[pattern->count] = 1;
    pattern->count++;
    if (pattern->maxState < 1)
        pattern->maxState = 1;
    return 1;
}

int patternAddRun(Pattern* pattern, int listing, int64_t x, int64_t y, int64_t n, int32_t line, PatternError* error)
{
    if (!listing) {
        // Counted, not stored: the count stays within maxCells, so within int32.
        if (pattern->count + n > patternLimits.maxCells)
            return refuseCells(line, error);
        pattern->count += (int32_t)n;
        return 1;
    }
    if (!patternReserve(pattern, n, line, error))
        return 0;
    for (int64_t k = 0; k < n; k++)
        patternAddCell(pattern, (int32_t)(x + k), (int32_t)y, line, error);
    return 1;
}

int patternAddStateRun(Pattern* pattern, int listing, int64_t x, int64_t y, int64_t n, int state, int32_t line,
    PatternError* error)
{
    const int32_t first = pattern->count;
    if (!patternAddRun(pattern, listing, x, y, n, line, error))
        return 0;
    if (state > pattern->maxState)
        pattern->maxState = state;
    if (!listing || state == 1)
        return 1;
    if (!pattern->states) {
        // Every cell listed so far was in state 1.
        pattern->states = (uint8_t*)heapAlloc((size_t)pattern->capacity);
        if (!pattern->states)
            return patternFail(error, line, "not enough memory for %d cell states", (int)pattern->capacity);
        memset(pattern->states, 1, (size_t)pattern->capacity);
    }
    memset(pattern->states + first, state, (size_t)(pattern->count - first));
    return 1;
}

int patternTakeCarried(Pattern* pattern, const char* text, size_t size)
{
    for (size_t at = 0; at + 5 <= size; at++) {
        if ((at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') || memcmp(text + at, "@RULE", 5) != 0)
            continue;
        pattern->carried = (char*)heapAlloc(size - at);
        if (!pattern->carried)
            return 0;
        memcpy(pattern->carried, text + at, size - at);
        pattern->carriedSize = size - at;
        return 1;
    }
    return 1;
}

int patternStateLetter(char prefix, char first, char letter, int* state)
{
    if (letter < 'A' || letter > 'X')
        return 0;
    const int base = prefix ? (prefix - first + 1) * 24 : 0;
    if (base + (letter - 'A' + 1) > 255)
        return 0;
    *state = base + (letter - 'A' + 1);
    return 1;
}

void patternRelease(Pattern* pattern)
{
    heapFree(pattern->cells);
    heapFree(pattern->states);
    heapFree(pattern->carried);
    pattern->states = nullptr;
    pattern->carried = nullptr;
    pattern->carriedSize = 0;
    pattern->maxState = 0;
    pattern->cells = nullptr;
    pattern->count = 0;
    pattern->capacity = 0;
    worldTreeRelease(&pattern->tree);
}

int readCoordinate(const char* line, size_t length, size_t* i, int32_t* value)
{
    *i = skipBlanks(line, length, *i);
    int negative = 0;
    if (*i < length && (line[*i] == '-' || line[*i] == '+')) {
        negative = line[*i] == '-';
        (*i)++;
    }
    int64_t v;
    if (!textReadNumber(line, length, i, PATTERN_MAX_COORD, &v) || v > PATTERN_MAX_COORD)
        return 0;
    *value = (int32_t)(negative ? -v : v);
    return 1;
}

int patternReadRow(Pattern* pattern, CellBox* box, const char* line, size_t length, int64_t x, int64_t y, char alive,
    int32_t number, PatternError* error)
{
    // Files written by hand use the live letter in either case ("ooo" as often as "OOO").
    const char otherCase = textLower(alive);
    for (size_t i = 0; i < length; i++) {
        if (line[i] == alive || line[i] == otherCase) {
            const int added = box ? patternAddListed(pattern, box, x + (int64_t)i, y, number, error)
                                  : patternAddCell(pattern, (int32_t)(x + (int64_t)i), (int32_t)y, number, error);
            if (!added) {
                patternRelease(pattern);
                return 0;
            }
        } else if (line[i] != '.') {
            char what[16];
            describeChar(line[i], what, sizeof what);
            patternRelease(pattern);
            return patternFail(error, number, "column %zu: unexpected %s (rows are made of '.' and '%c')", i + 1,
                what, alive);
        }
    }
    return 1;
}

int readRuleText(const char* line, size_t length, size_t i, const char* what, int32_t number, Pattern* pattern,
    PatternError* error)
{
    i = skipBlanks(line, length, i);
    size_t end = length;
    while (end > i && textIsBlank(line[end - 1]))
        end--;
    if (end == i)
        return patternFail(error, number, "%s names no rule", what);
    if (end - i >= sizeof pattern->rule)
        return patternFail(error, number, "%s: the rule is longer than %d characters", what,
            (int)sizeof pattern->rule - 1);
    memcpy(pattern->rule, line + i, end - i);
    pattern->rule[end - i] = '\0';
    return 1;
}

void cellBoxAdd(CellBox* box, int64_t x, int64_t y, int first)
{
    if (first) {
        box->minX = box->maxX = x;
        box->minY = box->maxY = y;
    }
    box->minX = x < box->minX ? x : box->minX;
    box->maxX = x > box->maxX ? x : box->maxX;
    box->minY = y < box->minY ? y : box->minY;
    box->maxY = y > box->maxY ? y : box->maxY;
}

int patternAddListed(Pattern* pattern, CellBox* box, int64_t x, int64_t y, int32_t line, PatternError* error)
{
    if (x < -PATTERN_MAX_COORD || x > PATTERN_MAX_COORD || y < -PATTERN_MAX_COORD || y > PATTERN_MAX_COORD)
        return patternFail(error, line, "cell (%lld, %lld) lies past the 32-bit coordinates (-%d to %d); refused",
                           (long long)x, (long long)y, (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
    cellBoxAdd(box, x, y, pattern->count == 0);
    if (box->maxX - box->minX >= PATTERN_MAX_SIDE || box->maxY - box->minY >= PATTERN_MAX_SIDE)
        return patternFail(error, line, "the cells spread over more than %d cells a side; refused",
                           (int)PATTERN_MAX_SIDE);
    return patternAddCell(pattern, (int32_t)x, (int32_t)y, line, error);
}

static int byPosition(const void* a, const void* b)
{
    const PatternCell* p = (const PatternCell*)a;
    const PatternCell* q = (const PatternCell*)b;
    if (p->x != q->x)
        return p->x < q->x ? -1 : 1;
    return p->y < q->y ? -1 : (p->y > q->y ? 1 : 0);
}

void patternFinishList(Pattern* pattern, const CellBox* box)
{
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
    // patternAddListed kept every side below PATTERN_MAX_SIDE, so the
    // differences fit int32.
    for (int32_t k = 0; k < kept; k++) {
        pattern->cells[k].x = (int32_t)(pattern->cells[k].x - box->minX);
        pattern->cells[k].y = (int32_t)(pattern->cells[k].y - box->minY);
    }
    if (kept > 0) {
        pattern->left = box->minX;
        pattern->top = box->minY;
        pattern->width = (int32_t)(box->maxX - box->minX + 1);
        pattern->height = (int32_t)(box->maxY - box->minY + 1);
    }
}
