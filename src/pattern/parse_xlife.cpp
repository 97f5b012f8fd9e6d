// XLife: '#' lines choose how the lines after them read.
//   #A            "x y" pairs, each a live cell
//   #R [x y]      "x y" pairs, each a live cell relative to (x, y)
//   #P [x y]      picture rows, '*' (or 'O') alive and '.' dead, from (x, y)
//   #B name, #E   a block: skipped where it stands, placed by an include
//   #I :name [x y [rotation [flip [delay]]]]
//                 the block, turned a quarter clockwise `rotation` times and
//                 mirrored top to bottom when flip is -1, then moved by (x, y),
//                 all inside the including part's own turn and move
//   #r S/B        the rule
// Other '#' lines (#N name, #C and #D comments, #O, #L labels, #T, #U) are
// skipped, as XLife does. Before any of them, a line is a pair or a picture
// row. As in XLife, a picture's rows count every line from its '#P' line on,
// so its first row is one below the '#P' line's y. Only blocks of the same
// file are included; includes nest at most XLIFE_MAX_DEPTH deep and read at
// most XLIFE_MAX_LINES lines in all, so a file that includes its blocks over
// and over cannot run for ever. A first pass counts the cells, each block's
// once, so a few lines of includes cannot name more than the cell budget
// before room for them is taken. Cells are moved so their box starts at (0, 0).
#include <cstdio>
#include <cstring>

#include "pattern/pattern_local.h"
#include "platform/platform.h"

enum {
    XLIFE_MAX_DEPTH = 16,
    XLIFE_MAX_LINES = 1 << 24,
};

// Where a part's cells go: cell (x, y) lands on (hotX + xx * x + xy * y,
// hotY + yx * x + yy * y). The matrix entries are -1, 0 or 1.
struct XlifePlace {
    int64_t hotX, hotY;
    int64_t xx, xy, yx, yy;
};

// A "#B name" block: its lines run from byte start (line firstLine) to end,
// the start of its "#E" line.
struct XlifeBlock {
    const char* name;
    size_t nameLength;
    size_t start, end;
    int32_t firstLine;
    int counted;    // 1 once cells holds the block's count, includes and all
    int64_t cells;
};

struct XlifeRead {
    const char* text;
    size_t size;
    XlifeBlock* blocks;  // heap
    int32_t blockCount;
    int64_t linesRead;
    CellBox box;
    Pattern* pattern;
    PatternError* error;
    int listing;    // 0 on the counting pass, which adds to pattern->count
};

enum XlifeMode { MODE_START, MODE_ABSOLUTE, MODE_RELATIVE, MODE_PICTURE };

static int startsWord(const char* line, size_t length, char kind)
{
    return length >= 2 && line[0] == '#' && line[1] == kind;
}

// The word at line[*i] after blanks, up to the next blank.
static void readWord(const char* line, size_t length, size_t* i, const char** word, size_t* wordLength)
{
    *i = skipBlanks(line, length, *i);
    *word = line + *i;
    while (*i < length && !textIsBlank(line[*i]))
        (*i)++;
    *wordLength = (size_t)(line + *i - *word);
}

// Optional whole numbers after a '#' word: reads up to `most` of them into
// values (left as they are when missing); 0 when one is malformed.
static int readNumbers(const char* line, size_t length, size_t i, int32_t* values, int most)
{
    for (int k = 0; k < most; k++) {
        if (skipBlanks(line, length, i) == length)
            return 1;
        if (!readCoordinate(line, length, &i, &values[k]))
            return 0;
    }
    return skipBlanks(line, length, i) == length;
}

static int addCell(XlifeRead* r, const XlifePlace* at, int64_t x, int64_t y, int32_t number)
{
    if (!r->listing)
        return patternAddRun(r->pattern, 0, 0, 0, 1, number, r->error);
    return patternAddListed(r->pattern, &r->box, at->hotX + at->xx * x + at->xy * y,
                            at->hotY + at->yx * x + at->yy * y, number, r->error);
}

// Finds every block once, so includes need no search of the text.
static int indexBlocks(XlifeRead* r)
{
    LineReader reader;
    lineReaderInit(&reader, r->text, r->size);
    const char* line;
    size_t length;
    int32_t capacity = 0;
    while (nextLine(&reader, &line, &length)) {
        if (!startsWord(line, length, 'B'))
            continue;
        if (r->blockCount == capacity) {
            const int64_t grown = capacity ? (int64_t)capacity * 2 : 16;
            XlifeBlock* blocks = grown <= INT32_MAX
                                     ? (XlifeBlock*)heapRealloc(r->blocks, (size_t)grown * sizeof(XlifeBlock))
                                     : nullptr;
            if (!blocks)
                return patternFail(r->error, reader.number, "not enough memory for %lld blocks", (long long)grown);
            r->blocks = blocks;
            capacity = (int32_t)grown;
        }
        XlifeBlock* block = &r->blocks[r->blockCount];
        size_t i = 2;
        readWord(line, length, &i, &block->name, &block->nameLength);
        if (block->nameLength == 0)
            return patternFail(r->error, reader.number, "'#B' needs a block name");
        block->start = reader.pos;
        block->firstLine = reader.number + 1;
        block->counted = 0;
        block->cells = 0;
        const int32_t opened = reader.number;
        int closed = 0;
        size_t lineStart = reader.pos;
        while (!closed && nextLine(&reader, &line, &length)) {
            closed = startsWord(line, length, 'E');
            if (!closed)
                lineStart = reader.pos;
        }
        // XLife ends such a block at the end of the file; so does this reader, saying so.
        if (!closed && !r->pattern->note[0])
            snprintf(r->pattern->note, sizeof r->pattern->note,
                     "line %d: block '%.*s' has no '#E' line; it runs to the end of the file", (int)opened,
                     (int)(block->nameLength < 64 ? block->nameLength : 64), block->name);
        block->end = lineStart;
        r->blockCount++;
    }
    return 1;
}

static int readPart(XlifeRead* r, size_t start, size_t end, int32_t firstLine, const XlifePlace* at, int depth);

static int includeBlock(XlifeRead* r, const char* line, size_t length, int32_t number, const XlifePlace* at,
                        int depth)
{
    size_t i = 2;
    const char* name;
    size_t nameLength;
    readWord(line, length, &i, &name, &nameLength);
    // x, y, rotation, flip, delay; XLife maps a flip other than -1 to 1.
    int32_t values[5] = {0, 0, 0, 1, 0};
    if (nameLength == 0 || !readNumbers(line, length, i, values, 5))
        return patternFail(r->error, number, "expected '#I :name x y rotation flip delay' (numbers optional)");
    if (name[0] != ':' || nameLength == 1)
        return patternFail(r->error, number, "'#I %.*s' includes another file; only blocks of this file "
                                             "('#I :name') are read", (int)nameLength, name);
    if (values[4] > 0)
        return patternFail(r->error, number, "'#I %.*s' places its block after %d generations; included blocks "
                                             "are not run, so the file is refused", (int)nameLength, name,
                           (int)values[4]);
    if (depth >= XLIFE_MAX_DEPTH)
        return patternFail(r->error, number, "includes nest more than %d deep (does a block include itself?)",
                           (int)XLIFE_MAX_DEPTH);
    XlifeBlock* block = nullptr;
    for (int32_t k = 0; k < r->blockCount && !block; k++) {
        if (r->blocks[k].nameLength == nameLength - 1 && memcmp(r->blocks[k].name, name + 1, nameLength - 1) == 0)
            block = &r->blocks[k];
    }
    if (!block)
        return patternFail(r->error, number, "no block '#B %.*s' in the file", (int)nameLength - 1, name + 1);
    // Turns and moves do not change a count: each block is read once on the counting pass.
    if (!r->listing && block->counted)
        return patternAddRun(r->pattern, 0, 0, 0, block->cells, number, r->error);
    if (!r->listing) {
        const int64_t before = r->pattern->count;
        if (!readPart(r, block->start, block->end, block->firstLine, at, depth + 1))
            return 0;
        block->cells = r->pattern->count - before;
        block->counted = 1;
        return 1;
    }
    // The block's matrix is the includer's times a quarter turn clockwise
    // (y runs down), `rotation` times, times the flip of y.
    const int32_t turns = ((values[2] % 4) + 4) % 4;
    const int64_t flip = values[3] == -1 ? -1 : 1;
    XlifePlace inner = *at;
    inner.hotX = at->hotX + at->xx * values[0] + at->xy * values[1];
    inner.hotY = at->hotY + at->yx * values[0] + at->yy * values[1];
    for (int32_t t = 0; t < turns; t++) {
        // (x, y) -> (-y, x) applied first.
        const int64_t xx = inner.xy, xy = -inner.xx, yx = inner.yy, yy = -inner.yx;
        inner.xx = xx;
        inner.xy = xy;
        inner.yx = yx;
        inner.yy = yy;
    }
    inner.xy *= flip;
    inner.yy *= flip;
    return readPart(r, block->start, block->end, block->firstLine, &inner, depth + 1);
}

// A '#' line: switches the mode, includes a block, reads the rule, skips a
// block or ends the part. Returns -1 at "#E", else 1 or 0.
static int hashLine(XlifeRead* r, LineReader* reader, const char* line, size_t length, const XlifePlace* at,
                    int depth, XlifeMode* mode, int32_t offset[2], int32_t* pictureBase)
{
    const int32_t number = reader->number;
    const char kind = length > 1 ? line[1] : '\0';
    if (kind == 'A') {
        *mode = MODE_ABSOLUTE;
        offset[0] = offset[1] = 0;
    } else if (kind == 'R' || kind == 'P') {
        offset[0] = offset[1] = 0;
        if (!readNumbers(line, length, 2, offset, 2))
            return patternFail(r->error, number, "'#%c' takes two whole numbers 'x y', each from -%d to %d, or none",
                               kind, (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        *mode = kind == 'R' ? MODE_RELATIVE : MODE_PICTURE;
        *pictureBase = number;
    } else if (kind == 'I') {
        return includeBlock(r, line, length, number, at, depth);
    } else if (kind == 'r') {
        return readRuleText(line, length, 2, "'#r'", number, r->pattern, r->error);
    } else if (kind == 'M') {
        return patternFail(r->error, number, "'#M' run-length sections are not read; refused");
    } else if (kind == 'B') {
        // Blocks cannot nest: skip to the next "#E".
        while (nextLine(reader, &line, &length) && !startsWord(line, length, 'E')) {
        }
    } else if (kind == 'E') {
        return -1;
    }
    return 1;
}

// A picture row: '*', 'O' or 'o' alive, '.' dead, blanks ignored.
static int pictureRow(XlifeRead* r, const XlifePlace* at, const char* line, size_t length, int64_t x, int64_t y,
                      int32_t number)
{
    for (size_t i = 0; i < length; i++) {
        const char c = line[i];
        if (c == '*' || c == 'O' || c == 'o') {
            if (!addCell(r, at, x + (int64_t)i, y, number))
                return 0;
        } else if (c != '.' && !textIsBlank(c)) {
            char what[16];
            describeChar(c, what, sizeof what);
            return patternFail(r->error, number, "column %zu: unexpected %s (picture rows are made of '.' and '*')",
                               i + 1, what);
        }
    }
    return 1;
}

static int readPart(XlifeRead* r, size_t start, size_t end, int32_t firstLine, const XlifePlace* at, int depth)
{
    LineReader reader;
    lineReaderInit(&reader, r->text + start, end - start);
    reader.number = firstLine - 1;
    XlifeMode mode = MODE_START;
    int32_t offset[2] = {0, 0};
    int32_t pictureBase = firstLine;
    const char* line;
    size_t length;
    while (nextLine(&reader, &line, &length)) {
        // The file's own lines are bounded by its size; only re-reads count.
        if (depth > 0 && ++r->linesRead > XLIFE_MAX_LINES)
            return patternFail(r->error, reader.number, "the includes read more than %d lines; refused",
                               (int)XLIFE_MAX_LINES);
        while (length > 0 && textIsBlank(line[length - 1]))
            length--;
        if (length > 0 && line[0] == '#') {
            const int done = hashLine(r, &reader, line, length, at, depth, &mode, offset, &pictureBase);
            if (done <= 0)
                return done < 0;
            continue;
        }
        const int64_t row = (int64_t)reader.number - pictureBase;
        if (mode == MODE_PICTURE) {
            if (!pictureRow(r, at, line, length, offset[0], (int64_t)offset[1] + row, reader.number))
                return 0;
            continue;
        }
        if (length == 0)
            continue;
        size_t i = 0;
        int32_t x, y;
        const int pair = readCoordinate(line, length, &i, &x) && readCoordinate(line, length, &i, &y) &&
                         skipBlanks(line, length, i) == length;
        if (pair) {
            if (!addCell(r, at, (int64_t)offset[0] + x, (int64_t)offset[1] + y, reader.number))
                return 0;
        } else if (mode == MODE_START) {
            if (!pictureRow(r, at, line, length, 0, row, reader.number))
                return 0;
        } else {
            return patternFail(r->error, reader.number, "expected two whole numbers 'x y', each from -%d to %d",
                               (int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD);
        }
    }
    return 1;
}

int parseXlife(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    memset(pattern, 0, sizeof *pattern);
    pattern->format = PATTERN_XLIFE;
    XlifeRead r = {text, size, nullptr, 0, 0, {0, 0, 0, 0}, pattern, error, 0};
    const XlifePlace whole = {0, 0, 1, 0, 0, 1};
    int ok = indexBlocks(&r) && readPart(&r, 0, size, 1, &whole, 0);
    if (ok) {
        const int64_t cells = pattern->count;
        pattern->count = 0;
        r.listing = 1;
        r.linesRead = 0;
        ok = patternReserve(pattern, cells, 0, error) && readPart(&r, 0, size, 1, &whole, 0);
    }
    heapFree(r.blocks);
    if (!ok) {
        patternRelease(pattern);
        return 0;
    }
    if (pattern->count == 0 && r.blockCount > 0) {
        patternRelease(pattern);
        return patternFail(error, 0, "no live cells outside the file's %d '#B' blocks, and none of them is "
                                     "included ('#I :name'): the file is a library of blocks for other files",
                           (int)r.blockCount);
    }
    patternFinishList(pattern, &r.box);
    return 1;
}
