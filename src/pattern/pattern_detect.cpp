// Chooses the format of a pattern file: by its first lines where they show it,
// by the file name's extension otherwise.
#include <cstring>
#include <strings.h>

#include "pattern/pattern.h"

static size_t skipBlanks(const char* line, size_t length, size_t i)
{
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        i++;
    return i;
}

static int startsWith(const char* line, size_t length, const char* prefix)
{
    const size_t n = strlen(prefix);
    return length >= n && memcmp(line, prefix, n) == 0;
}

// "x = ..." or "x=...": the header of a run-length encoded pattern.
static int isRleHeader(const char* line, size_t length)
{
    if (length == 0 || line[0] != 'x')
        return 0;
    const size_t i = skipBlanks(line, length, 1);
    return i < length && line[i] == '=';
}

static int isCellsRow(const char* line, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (line[i] != '.' && line[i] != 'O' && line[i] != ' ' && line[i] != '\t')
            return 0;
    }
    return 1;
}

static PatternFormat byContent(const char* text, size_t size)
{
    LineReader reader;
    lineReaderInit(&reader, text, size);
    const char* line;
    size_t length;
    int sawHash = 0;
    while (nextLine(&reader, &line, &length)) {
        const size_t start = skipBlanks(line, length, 0);
        if (start == length)
            continue;
        line += start;
        length -= start;
        if (!sawHash && startsWith(line, length, "#Life 1.06"))
            return PATTERN_LIFE106;
        if (!sawHash && line[0] == '!')
            return PATTERN_CELLS;
        // Comment lines of a run-length file come before its header.
        if (line[0] == '#') {
            sawHash = 1;
            continue;
        }
        if (isRleHeader(line, length))
            return PATTERN_RLE;
        if (!sawHash && isCellsRow(line, length))
            return PATTERN_CELLS;
        return PATTERN_UNKNOWN;
    }
    return PATTERN_UNKNOWN;
}

static PatternFormat byExtension(const char* path)
{
    if (!path)
        return PATTERN_UNKNOWN;
    const char* dot = strrchr(path, '.');
    const char* slash = strrchr(path, '/');
    if (!dot || (slash && slash > dot))
        return PATTERN_UNKNOWN;
    if (strcasecmp(dot, ".rle") == 0)
        return PATTERN_RLE;
    if (strcasecmp(dot, ".cells") == 0)
        return PATTERN_CELLS;
    if (strcasecmp(dot, ".lif") == 0 || strcasecmp(dot, ".life") == 0)
        return PATTERN_LIFE106;
    return PATTERN_UNKNOWN;
}

PatternFormat detectFormat(const char* text, size_t size, const char* path)
{
    const PatternFormat format = byContent(text, size);
    return format != PATTERN_UNKNOWN ? format : byExtension(path);
}

const char* formatName(PatternFormat format)
{
    switch (format) {
    case PATTERN_RLE:
        return "run-length encoded";
    case PATTERN_CELLS:
        return "plaintext";
    case PATTERN_LIFE106:
        return "Life 1.06";
    case PATTERN_UNKNOWN:
        break;
    }
    return "unknown";
}

int parsePattern(PatternFormat format, const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    if (!checkText(text, size, error))
        return 0;
    switch (format) {
    case PATTERN_RLE:
        return parseRle(text, size, pattern, error);
    case PATTERN_CELLS:
        return parseCells(text, size, pattern, error);
    case PATTERN_LIFE106:
        return parseLife106(text, size, pattern, error);
    case PATTERN_UNKNOWN:
        break;
    }
    return patternFail(error, 0,
                       "cannot tell the format: expected a run-length header 'x = ..', '.'/'O' rows or '#Life 1.06' "
                       "(or the extension .rle, .cells or .lif)");
}
