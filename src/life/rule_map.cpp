// MAP rules: a table of all 512 neighbourhoods in 86 base64 characters, read
// into a form and written back as the canonical name.
#include "life/rule_local.h"

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (textIsDigit(c))
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

const char base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
enum { MAP_CHARS = 86 };  // 512 bits in 6-bit characters, the last 4 bits unused

// A MAP string's entry j has the top-left cell as its highest bit; a
// neighbourhood index has it as its lowest, so the nine bits are reversed.
unsigned mapEntry(unsigned index)
{
    unsigned entry = 0;
    for (int bit = 0; bit < 9; bit++)
        if (index >> bit & 1)
            entry |= 1u << (8 - bit);
    return entry;
}

} // namespace

// "MAP" and 86 base64 characters, optionally "==" after them.
int ruleReadMap(const char* p, const char* end, RuleForm* form, RuleRefusal* out)
{
    size_t length = (size_t)(end - p);
    if (length == MAP_CHARS + 2 && p[MAP_CHARS] == '=' && p[MAP_CHARS + 1] == '=')
        length = MAP_CHARS;
    if (length != MAP_CHARS) {
        ruleRefuse(out, "is not a MAP rule of the eight-neighbour square: it needs %d base64 characters, not %lu",
                   (int)MAP_CHARS, (unsigned long)length);
        return 0;
    }
    uint8_t bits[MAP_CHARS * 6];
    for (int i = 0; i < MAP_CHARS; i++) {
        const int v = base64Value(p[i]);
        if (v < 0) {
            ruleRefuse(out, "is not a MAP rule: '%c' is no base64 character", p[i]);
            return 0;
        }
        for (int b = 0; b < 6; b++)
            bits[i * 6 + b] = (uint8_t)(v >> (5 - b) & 1);
    }
    form->kind = FORM_MAP;
    for (unsigned i = 0; i < 512; i++)
        form->map[i] = bits[mapEntry(i)];
    return 1;
}

void ruleNameMap(RuleName* name, const uint8_t next[512])
{
    ruleNamePut(name, "MAP");
    for (int i = 0; i < MAP_CHARS; i++) {
        int v = 0;
        for (int b = 0; b < 6; b++) {
            const int j = i * 6 + b;
            v = v << 1 | (j < 512 ? next[mapEntry((unsigned)j)] : 0);
        }
        const char digit[2] = {base64Digits[v], '\0'};
        ruleNamePut(name, digit);
    }
}
