// MCell's files: "#MCell" first, "#GAME" naming the family, "#RULE" its rule
// (Generations' S/B/C, Larger than Life as bgolly writes it, or for a rule
// table its own numbers beside "#GOLLY" naming the table), "#BOARD WxH" and
// "#WRAP 1" for a torus of the board's size (a bounded plane without it), and the cells in "#L" lines:
// runs of '.' (state 0), 'A' to 'X' (1 to 24, after a prefix 'a' to 'j' 24 more
// for each step from 'a'), '$' ending a row, each with an optional count. Rows
// run on from one "#L" line to the next. The box is centred on (0, 0). The
// text is read twice, counting the cells before listing them.
#include <cstring>

#include "pattern/pattern_local.h"

namespace {

struct McellHeader {
    char game[64];
    char golly[PATTERN_RULE_TEXT];
    char rule[PATTERN_RULE_TEXT];
    int64_t boardWidth, boardHeight;
    int wrap;
};

int startsWith(const char* line, size_t length, const char* word)
{
    const size_t n = strlen(word);
    return length >= n && memcmp(line, word, n) == 0 && (length == n || textIsBlank(line[n]));
}

// The rest of the line after its key, blanks cut, into out (0 when it does not fit).
int valueOf(const char* line, size_t length, size_t key, char* out, size_t size)
{
    size_t i = skipBlanks(line, length, key), end = length;
    while (end > i && textIsBlank(line[end - 1]))
        end--;
    if (end - i >= size)
        return 0;
    memcpy(out, line + i, end - i);
    out[end - i] = '\0';
    return 1;
}

int readHeaderLine(const char* line, size_t length, int32_t number, McellHeader* h, PatternError* error)
{
    if (startsWith(line, length, "#GAME")) {
        if (!valueOf(line, length, 5, h->game, sizeof h->game))
            return patternFail(error, number, "'#GAME' names no family MCell has");
    } else if (startsWith(line, length, "#GOLLY")) {
        if (!valueOf(line, length, 6, h->golly, sizeof h->golly))
            return patternFail(error, number, "'#GOLLY' names a rule longer than %d characters",
                               (int)PATTERN_RULE_TEXT - 1);
    } else if (startsWith(line, length, "#RULE")) {
        // A rule table's numbers run over several lines: only the first is kept, and only read as a rule
        // when the family is one this program plays by its MCell rule.
        if (!h->rule[0] && !valueOf(line, length, 5, h->rule, sizeof h->rule))
            h->rule[0] = '\0';
    } else if (startsWith(line, length, "#BOARD")) {
        size_t i = skipBlanks(line, length, 6);
        int64_t w = 0, hh = 0;
        if (!textReadNumber(line, length, &i, PATTERN_MAX_SIDE, &w) || i >= length || line[i] != 'x')
            return patternFail(error, number, "'#BOARD' needs WIDTHxHEIGHT");
        i++;
        if (!textReadNumber(line, length, &i, PATTERN_MAX_SIDE, &hh) || w > 100000 || hh > 100000)
            return patternFail(error, number, "'#BOARD' needs WIDTHxHEIGHT, each at most 100000");
        h->boardWidth = w;
        h->boardHeight = hh;
    } else if (startsWith(line, length, "#WRAP")) {
        const size_t i = skipBlanks(line, length, 5);
        h->wrap = i < length && line[i] == '1';
    }
    return 1;
}

// The rule as the rule readers take it, from the family and the board.
int ruleOf(const McellHeader* h, int32_t number, Pattern* pattern, PatternError* error)
{
    const char* rule;
    if (strcmp(h->game, "Generations") == 0 || strcmp(h->game, "Larger than Life") == 0 ||
        strcmp(h->game, "Life") == 0)
        rule = h->rule;
    else if (strcmp(h->game, "Rules table") == 0 && h->golly[0])
        rule = h->golly;
    else
        return patternFail(error, number, "MCell's family '%s' is not one this program plays (Life, Generations, "
                                          "Larger than Life, and rule tables golly names)", h->game);
    if (!rule[0])
        return patternFail(error, number, "the file names no rule for its family '%s'", h->game);
    char suffix[48] = "";
    if (h->boardWidth > 0 && h->boardHeight > 0)
        snprintf(suffix, sizeof suffix, ":%c%lld,%lld", h->wrap ? 'T' : 'P', (long long)h->boardWidth,
                 (long long)h->boardHeight);
    if (strlen(rule) + strlen(suffix) >= sizeof pattern->rule)
        return patternFail(error, number, "the rule with its board is longer than %d characters",
                           (int)sizeof pattern->rule - 1);
    memcpy(pattern->rule, rule, strlen(rule));
    memcpy(pattern->rule + strlen(rule), suffix, strlen(suffix) + 1);
    return 1;
}

struct McellBody {
    int64_t x, y, run;
    char prefix;
    int listing;
};

int bodyLine(const char* line, size_t length, int32_t number, McellBody* b, Pattern* pattern, PatternError* error)
{
    for (size_t i = 2; i < length; i++) {
        const char c = line[i];
        if (textIsDigit(c)) {
            b->run = b->run * 10 + (c - '0');
            if (b->run > PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %d: run count larger than %d", (int)i + 1,
                                   (int)PATTERN_MAX_SIDE);
            continue;
        }
        if (textIsBlank(c))
            continue;
        if (c >= 'a' && c <= 'j' && !b->prefix) {
            b->prefix = c;
            continue;
        }
        const int64_t n = b->run ? b->run : 1;
        b->run = 0;
        int state = 0;
        const char prefix = b->prefix;
        b->prefix = 0;
        if (c == '.' && !prefix) {
            b->x = b->x + n > (int64_t)PATTERN_MAX_SIDE + 1 ? (int64_t)PATTERN_MAX_SIDE + 1 : b->x + n;
        } else if (c == '$' && !prefix) {
            b->y = b->y + n > (int64_t)PATTERN_MAX_SIDE + 1 ? (int64_t)PATTERN_MAX_SIDE + 1 : b->y + n;
            b->x = 0;
        } else if (patternStateLetter(prefix, 'a', c, &state)) {
            if (b->x + n > PATTERN_MAX_SIDE || b->y >= PATTERN_MAX_SIDE)
                return patternFail(error, number, "column %d: cells run past a box of %d cells a side", (int)i + 1,
                                   (int)PATTERN_MAX_SIDE);
            if (!patternAddStateRun(pattern, b->listing, b->x, b->y, n, state, number, error))
                return 0;
            b->x += n;
            pattern->width = b->x > pattern->width ? (int32_t)b->x : pattern->width;
            pattern->height = b->y >= pattern->height ? (int32_t)b->y + 1 : pattern->height;
        } else {
            char what[16];
            describeChar(c, what, sizeof what);
            return patternFail(error, number, "column %d: unexpected %s%s (cells are '.', 'A' to 'X' after an "
                                              "optional 'a' to 'j', and '$')", (int)i + 1, prefix ? "prefix and " : "",
                               what);
        }
    }
    return 1;
}

int readMcell(const char* text, size_t size, int64_t listed, Pattern* pattern, PatternError* error)
{
    LineReader reader;
    patternParseStart(pattern, PATTERN_MCELL, &reader, text, size);
    if (listed >= 0 && !patternReserve(pattern, listed, 0, error))
        return 0;
    McellHeader h = {};
    McellBody b = {0, 0, 0, 0, listed >= 0};
    int first = 1, ok = 1;
    const char* line;
    size_t length;
    while (ok && nextLine(&reader, &line, &length)) {
        const size_t start = skipBlanks(line, length, 0);
        line += start;
        length -= start;
        if (length == 0)
            continue;
        if (first && !startsWith(line, length, "#MCell"))
            ok = patternFail(error, reader.number, "an MCell file begins with '#MCell'");
        else if (length >= 2 && line[0] == '#' && line[1] == 'L' && (length == 2 || textIsBlank(line[2])))
            ok = bodyLine(line, length, reader.number, &b, pattern, error);
        else if (line[0] == '#')
            ok = readHeaderLine(line, length, reader.number, &h, error);
        else
            ok = patternFail(error, reader.number, "every line of an MCell file begins with '#'");
        first = 0;
    }
    ok = ok && ruleOf(&h, reader.number, pattern, error);
    if (!ok) {
        patternRelease(pattern);
        return 0;
    }
    pattern->left = -(int64_t)(pattern->width / 2);
    pattern->top = -(int64_t)(pattern->height / 2);
    return 1;
}

} // namespace

int parseMcell(const char* text, size_t size, Pattern* pattern, PatternError* error)
{
    if (!readMcell(text, size, -1, pattern, error))
        return 0;
    return readMcell(text, size, pattern->count, pattern, error);
}
