// The rule reader's tools, which every stage of it uses: the refusal worded
// with the rule quoted, a run of digits read, and the canonical name written
// piece by piece within its room.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"

void ruleQuote(RuleRefusal* out, const char* text, size_t size)
{
    const size_t keep = sizeof out->quoted - 4;
    size_t n = 0;
    for (; n < size && n < keep; n++) {
        const unsigned char c = (unsigned char)text[n];
        out->quoted[n] = c >= 0x20 && c < 0x7F && c != '"' ? (char)c : '?';
    }
    if (n < size) {
        memcpy(out->quoted + n, "...", 3);
        n += 3;
    }
    out->quoted[n] = '\0';
}

void ruleRefuse(RuleRefusal* out, const char* format, ...)
{
    if (!out->text || out->size == 0)
        return;
    const int head = snprintf(out->text, out->size, "rule \"%s\" ", out->quoted);
    if (head < 0 || (size_t)head >= out->size)
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(out->text + head, out->size - (size_t)head, format, args);
    va_end(args);
}

int ruleReadNumber(const char** at, const char* end, int64_t cap, int64_t* value)
{
    size_t read = 0;
    if (!textReadNumber(*at, (size_t)(end - *at), &read, cap, value))
        return 0;
    *at += read;
    return 1;
}

void ruleNamePut(RuleName* name, const char* s)
{
    while (*s && name->at < name->end)
        *name->at++ = *s++;
    *name->at = '\0';
}

void ruleNamePutNumber(RuleName* name, int32_t value, int sign)
{
    char digits[16];
    snprintf(digits, sizeof digits, sign ? "%+d" : "%d", (int)value);
    ruleNamePut(name, digits);
}

int textNextLine(const char* text, size_t size, size_t* at, const char** line, size_t* length)
{
    if (*at >= size)
        return 0;
    const char* start = text + *at;
    const size_t left = size - *at;
    size_t n = 0;
    while (n < left && start[n] != '\n' && start[n] != '\r')
        n++;
    // LF, CRLF and a lone CR each end one line; files mix them.
    size_t used = n;
    if (n < left)
        used += start[n] == '\r' && n + 1 < left && start[n + 1] == '\n' ? 2 : 1;
    *at += used;
    *line = start;
    *length = n;
    return 1;
}

int ruleNextLine(RuleLines* lines, const char** line, size_t* length)
{
    const char* start;
    size_t n;
    if (!textNextLine(lines->text, lines->size, &lines->at, &start, &n))
        return 0;
    lines->number++;
    size_t a = 0;
    while (a < n && textIsBlank(start[a]))
        a++;
    while (n > a && textIsBlank(start[n - 1]))
        n--;
    *line = start + a;
    *length = n - a;
    return 1;
}
