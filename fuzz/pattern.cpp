// The pattern tool's parsers on arbitrary bytes: the rule reader on short
// inputs, every format on the same input, then the rule conversion and
// placement of whatever parsed.
#include <cstring>

#include "pattern/pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = (const char*)data;
    // Run counts describe far more cells than the fuzzer's memory holds.
    patternLimits = PatternLimits{1 << 20, 1 << 20};
    // Short inputs also go straight to the rule reader, as a header would pass them.
    if (size < PATTERN_RULE_TEXT && !memchr(data, '\0', size)) {
        char ruleText[PATTERN_RULE_TEXT];
        memcpy(ruleText, data, size);
        ruleText[size] = '\0';
        RuleSets sets;
        LifeRule rule;
        PatternError error;
        if (parseRule(ruleText, &sets, &error))
            ruleToFour(&sets, &rule, &error);
    }
    const PatternFormat formats[] = {detectFormat(text, size, "input.rle"), PATTERN_RLE, PATTERN_CELLS,
                                     PATTERN_LIFE105, PATTERN_LIFE106};
    for (PatternFormat format : formats) {
        Pattern pattern;
        PatternError error;
        if (!parsePattern(format, text, size, &pattern, &error))
            continue;
        if (pattern.rule[0]) {
            RuleSets sets;
            LifeRule rule;
            char name[32];
            if (parseRule(pattern.rule, &sets, &error) && ruleToFour(&sets, &rule, &error))
                formatRule(&sets, name, sizeof name);
        }
        int32_t left, top;
        centreOrigin(&pattern, &left, &top);
        static Placement placement;
        placePattern(&pattern, left, top, &placement);
        patternRelease(&pattern);
    }
    return 0;
}
