// universeRuleParseBytes on arbitrary bytes. A rule it takes must read back
// from its own canonical name to the same table and grid, and a refusal must
// leave a terminated reason inside its buffer.
#include <cstring>

#include "life/life.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UniverseRule rule;
    char reason[96];
    memset(reason, 'x', sizeof reason);
    if (!universeRuleParseBytes((const char*)data, size, &rule, reason, sizeof reason)) {
        if (!memchr(reason, '\0', sizeof reason))
            __builtin_trap();
        return 0;
    }
    if (!memchr(rule.name, '\0', sizeof rule.name))
        __builtin_trap();
    UniverseRule again;
    if (!universeRuleParse(rule.name, &again, reason, sizeof reason) || strcmp(again.name, rule.name) != 0 ||
        memcmp(again.next, rule.next, sizeof rule.next) != 0 || memcmp(&again.grid, &rule.grid, sizeof rule.grid) != 0)
        __builtin_trap();
    return 0;
}
