// Line walking, messages and the growing cell list shared by the parsers.
#include <cstdarg>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

void lineReaderInit(LineReader* reader, const char* text, size_t size)
{
    reader->text = text;
    reader->size = size;
    reader->pos = 0;
    reader->number = 0;
}

int nextLine(LineReader* reader, const char** line, size_t* length)
{
    if (reader->pos >= reader->size)
        return 0;
    const char* start = reader->text + reader->pos;
    const size_t left = reader->size - reader->pos;
    const char* end = (const char*)memchr(start, '\n', left);
    size_t n = end ? (size_t)(end - start) : left;
    reader->pos += end ? n + 1 : n;
    if (n > 0 && start[n - 1] == '\r')
        n--;
    reader->number++;
    *line = start;
    *length = n;
    return 1;
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
        if (c == '\n')
            line++;
        else if ((c < 0x20 && c != '\t' && c != '\r' && c != '\f') || c == 0x7F)
            return patternFail(error, line, "byte 0x%02X: this is not a text pattern file", c);
    }
    return 1;
}

int patternAddCell(Pattern* pattern, int32_t x, int32_t y, int32_t line, PatternError* error)
{
    if (pattern->count == pattern->capacity) {
        if (pattern->capacity >= PATTERN_MAX_CELLS)
            return patternFail(error, line, "more than %d live cells", (int)PATTERN_MAX_CELLS);
        // Doubles from 64, so the last step lands exactly on the cap.
        const int32_t capacity = pattern->capacity ? pattern->capacity * 2 : 64;
        PatternCell* cells = (PatternCell*)heapRealloc(pattern->cells, (size_t)capacity * sizeof(PatternCell));
        if (!cells)
            return patternFail(error, line, "out of memory for %d live cells", (int)capacity);
        pattern->cells = cells;
        pattern->capacity = capacity;
    }
    pattern->cells[pattern->count].x = x;
    pattern->cells[pattern->count].y = y;
    pattern->count++;
    return 1;
}

void patternRelease(Pattern* pattern)
{
    heapFree(pattern->cells);
    pattern->cells = nullptr;
    pattern->count = 0;
    pattern->capacity = 0;
}
