// Chooses the format of a pattern file: by its first lines where they show it,
// by the file name's extension otherwise.
#include <cstring>
#include <strings.h>

#include "pattern/pattern_local.h"


static int startsWith(const char* line, size_t length, const char* prefix)
{
    const size_t n = strlen(prefix);
    return length >= n && memcmp(line, prefix, n) == 0;
}

// "x = ..." or "x=...": the header of a run-length encoded pattern.
static int isRleHeader(const char* line, size_t length)
{
    if (length == 0 || (line[0] != 'x' && line[0] != 'X'))
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

// A '#' line only XLife writes: "#A", "#B name", "#E", "#I name", "#M", "#r",
// or "#R" with two numbers or none (Life 1.05's "#R" names a rule).
static int isXlifeLine(const char* line, size_t length)
{
    if (length < 2)
        return 0;
    const char kind = line[1];
    if (kind == 'A' || kind == 'B' || kind == 'E' || kind == 'I' || kind == 'M' || kind == 'r')
        return length == 2 || textIsBlank(line[2]);
    if (kind != 'R')
        return 0;
    size_t i = 2;
    int32_t value;
    if (skipBlanks(line, length, i) == length)
        return 1;
    return readCoordinate(line, length, &i, &value) && readCoordinate(line, length, &i, &value) &&
           skipBlanks(line, length, i) == length;
}

// A row of XLife's pictures: '.' and '*' with at least one '*'.
static int isStarRow(const char* line, size_t length)
{
    int star = 0;
    for (size_t i = 0; i < length; i++) {
        if (line[i] != '.' && line[i] != '*' && !textIsBlank(line[i]))
            return 0;
        star |= line[i] == '*';
    }
    return star;
}

// After a '!' first line: dblife when a row carries a count, else plaintext
// (dblife without counts).
static PatternFormat cellsOrDblife(LineReader* reader)
{
    const char* line;
    size_t length;
    while (nextLine(reader, &line, &length)) {
        if (length > 0 && line[0] == '!')
            continue;
        for (size_t i = 0; i < length; i++) {
            if (textIsDigit(line[i]))
                return PATTERN_DBLIFE;
        }
    }
    return PATTERN_CELLS;
}

static PatternFormat byContent(const char* text, size_t size)
{
    LineReader reader;
    lineReaderInit(&reader, text, size);
    const char* line;
    size_t length;
    int sawHash = 0, sawXlife = 0, sawPicture = 0;
    while (nextLine(&reader, &line, &length)) {
        const size_t start = skipBlanks(line, length, 0);
        if (start == length)
            continue;
        line += start;
        length -= start;
        if (!sawHash && startsWith(line, length, "#Life 1.06"))
            return PATTERN_LIFE106;
        if (!sawHash && startsWith(line, length, "#Life 1.05"))
            return PATTERN_LIFE105;
        if (!sawHash && startsWith(line, length, "[M2]"))
            return PATTERN_MACROCELL;
        if (!sawHash && startsWith(line, length, "#MCell"))
            return PATTERN_MCELL;
        if (!sawHash && line[0] == '!')
            return cellsOrDblife(&reader);
        // Comment lines of a run-length file come before its header.
        if (line[0] == '#') {
            sawHash = 1;
            sawXlife |= isXlifeLine(line, length);
            sawPicture |= length >= 2 && line[1] == 'P';
            continue;
        }
        if (isRleHeader(line, length))
            return PATTERN_RLE;
        if (!sawHash && isCellsRow(line, length))
            return PATTERN_CELLS;
        // XLife marks its sections; Life 1.05 files without their first line
        // start straight with '#D', '#N' and '#P' blocks; XLife pictures may
        // start without any '#' line.
        if (sawXlife || (!sawHash && isStarRow(line, length)))
            return PATTERN_XLIFE;
        if (sawPicture)
            return PATTERN_LIFE105;
        return PATTERN_UNKNOWN;
    }
    if (sawXlife)
        return PATTERN_XLIFE;
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
    if (strcasecmp(dot, ".l") == 0)
        return PATTERN_XLIFE;
    if (strcasecmp(dot, ".mc") == 0)
        return PATTERN_MACROCELL;
    if (strcasecmp(dot, ".mcl") == 0)
        return PATTERN_MCELL;
    return PATTERN_UNKNOWN;
}

PatternFormat detectFormat(const char* text, size_t size, const char* path)
{
    patternTrim(&text, &size);
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
    case PATTERN_LIFE105:
        return "Life 1.05";
    case PATTERN_LIFE106:
        return "Life 1.06";
    case PATTERN_XLIFE:
        return "XLife";
    case PATTERN_DBLIFE:
        return "dblife";
    case PATTERN_MACROCELL:
        return "macrocell";
    case PATTERN_MCELL:
        return "MCell";
    case PATTERN_UNKNOWN:
        break;
    }
    return "unknown";
}

int parsePattern(PatternFormat format, const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    patternTrim(&text, &size);
    if (!checkText(text, size, error))
        return 0;
    int parsed = 0;
    switch (format) {
    case PATTERN_RLE:
        parsed = parseRle(text, size, pattern, error);
        break;
    case PATTERN_CELLS:
        parsed = parseCells(text, size, pattern, error);
        break;
    case PATTERN_LIFE105:
        parsed = parseLife105(text, size, pattern, error);
        break;
    case PATTERN_LIFE106:
        parsed = parseLife106(text, size, pattern, error);
        break;
    case PATTERN_XLIFE:
        parsed = parseXlife(text, size, pattern, error);
        break;
    case PATTERN_DBLIFE:
        parsed = parseDblife(text, size, pattern, error);
        break;
    case PATTERN_MACROCELL:
        parsed = parseMacrocell(text, size, pattern, error);
        break;
    case PATTERN_MCELL:
        parsed = parseMcell(text, size, pattern, error);
        break;
    case PATTERN_UNKNOWN:
        return patternFail(error, 0,
                           "cannot tell the format: expected a run-length header 'x = ..', '.'/'O' rows, "
                           "'#Life 1.05', '#Life 1.06', XLife '#P'/'#R'/'#B' sections, '[M2]', '#MCell' (or the "
                           "extension .rle, .cells, .lif, .l, .mc or .mcl)");
    }
    // Written out, an empty pattern would only wipe the board the user had.
    if (parsed && pattern->count == 0) {
        patternRelease(pattern);
        return patternFail(error, 0, "the pattern has no live cells; an empty board is not written");
    }
    if (parsed && (format == PATTERN_RLE || format == PATTERN_MCELL) && !patternTakeCarried(pattern, text, size)) {
        patternRelease(pattern);
        return patternFail(error, 0, "not enough memory for the rule the file carries");
    }
    return parsed;
}
