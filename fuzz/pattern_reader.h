// One pattern reader on arbitrary bytes, then the rule conversion and the
// placement of whatever it read, on the board and on a torus: the body of
// each reader's fuzz target.
#pragma once

#include "pattern/pattern.h"

inline int fuzzPatternReader(PatternFormat format, const uint8_t* data, size_t size)
{
    // Run counts and quadtrees describe far more cells than the fuzzer's memory holds.
    patternLimits = PatternLimits{1 << 20, 1 << 20};
    Pattern pattern;
    PatternError error;
    if (!parsePattern(format, (const char*)data, size, &pattern, &error))
        return 0;
    // Every cell's state is one the file names, at most the highest.
    for (int32_t k = 0; pattern.states && k < pattern.count; k++)
        if (pattern.states[k] < 1 || pattern.states[k] > pattern.maxState)
            __builtin_trap();
    if (pattern.rule[0]) {
        RuleSets sets;
        LifeRule rule;
        if (parseRule(pattern.rule, &sets, &error))
            ruleToFour(&sets, &rule, &error);
    }
    int32_t left, top;
    centreOrigin(&pattern, &left, &top);
    static Placement placement;
    placePattern(&pattern, left, top, &placement);
    const LifeGridShape torus = {LIFE_TORUS, 64, 64, 0, 0, 0, 0};
    int64_t x, y;
    universeOrigin(&pattern, &torus, &x, &y);
    patternRelease(&pattern);
    return 0;
}
