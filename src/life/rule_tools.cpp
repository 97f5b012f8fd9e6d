// The rule reader's tools, which every stage of it uses: the refusal worded
// with the rule quoted, a run of digits read, and the canonical name written
// piece by piece within its room.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"

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
