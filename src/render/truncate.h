// Float to 32-bit integer conversion shared by scan conversion and span
// drawing; private to the renderer.
#pragma once

#include <cmath>
#include <cstdint>

// Truncates toward zero. Values at or past 2^31 in magnitude saturate (a
// double would find them at or past 2^31 - 1) and NaN gives 0, where a plain
// conversion would be undefined. 2147483520, the largest float below 2^31,
// still converts exactly.
static inline int32_t truncateToInt32(float value)
{
    // One test for the usual case; NaN fails it too.
    if (fabsf(value) < 2147483648.0f)
        return (int32_t)value;
    if (!(value == value))
        return 0;
    return value > 0.0f ? INT32_MAX : INT32_MIN;
}
