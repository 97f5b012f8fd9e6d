// The reader of rules of more states on arbitrary bytes: the first line as the
// rule a file names, the rest as the .rule text the file carries. A rule it
// takes must read back from its own canonical name to the same rule, and a
// world under it must step a small soup without fault, and its @COLORS give
// every state a colour within 24 bits; a refusal must leave a terminated
// reason inside its buffer.
#include <cstring>

#include "app/frame_local.h"
#include "life/states.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = (const char*)data;
    const char* newline = (const char*)memchr(text, '\n', size);
    const size_t nameLength = newline ? (size_t)(newline - text) : size;
    if (nameLength >= LIFE_RULE_TEXT || memchr(text, '\0', nameLength))
        return 0;
    char name[LIFE_RULE_TEXT];
    memcpy(name, text, nameLength);
    name[nameLength] = '\0';
    // No folder is searched: only what the input carries and the rules shipped.
    statesRulePlaces = StatesRulePlaces{"/nonexistent", "/nonexistent"};
    const StatesRuleSource source = {nullptr, newline ? newline + 1 : nullptr, newline ? size - nameLength - 1 : 0};
    StatesRule rule;
    char reason[96];
    memset(reason, 'x', sizeof reason);
    if (!statesRuleParse(name, &source, &rule, reason, sizeof reason)) {
        if (!memchr(reason, '\0', sizeof reason))
            __builtin_trap();
        return 0;
    }
    if (!memchr(rule.name, '\0', sizeof rule.name) || rule.states < 2 || rule.states > STATES_MAX)
        __builtin_trap();
    StatesRule again;
    if (!statesRuleParse(rule.name, &source, &again, reason, sizeof reason) || strcmp(again.name, rule.name) != 0 ||
        again.states != rule.states || again.family != rule.family)
        __builtin_trap();
    statesRuleRelease(&again);
    static StateLooks theme;
    stateLooksMakeTheme(&theme, &rule, rule.states, rule.name);
    for (int32_t s = 0; s < theme.states; s++)
        if (theme.looks[s].colour > 0xFFFFFF)
            __builtin_trap();
    // Larger than Life's counts cost the range squared a cell, and a bounded grid's rim its
    // perimeter a step: only small ranges and grids are stepped.
    if ((rule.family != STATES_LARGER || rule.range <= 8) && rule.grid.width <= 4096 && rule.grid.height <= 4096) {
        World* world = statesWorldCreate(&rule, reason, sizeof reason);
        if (world) {
            for (int k = 0; k < 24; k++)
                worldSetCell(world, k % 5 - 2, k / 5 - 2, 1 + (int)(data[k % size] % (uint8_t)(rule.states - 1)));
            worldStep(world, 3);
            worldRelease(world);
        }
    }
    statesRuleRelease(&rule);
    return 0;
}
