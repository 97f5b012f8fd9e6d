// Small TGA writers for the texture tests: header field by field, then the
// colour map and pixel bytes exactly as given.
#pragma once

#include <string>
#include <vector>

#include "support/support.h"

struct TgaSpec {
    unsigned type = 1;
    unsigned idLength = 0;
    unsigned mapLength = 0;
    unsigned entrySize = 24;
    unsigned width = 1;
    unsigned height = 1;
    unsigned descriptor = 0;
};

inline Bytes tgaHeader(const TgaSpec& s)
{
    Bytes b;
    b.u8(s.idLength).u8(s.mapLength > 0 ? 1 : 0).u8(s.type).u16(0).u16(s.mapLength).u8(s.entrySize);
    b.u16(0).u16(0).u16(s.width).u16(s.height).u8(8).u8(s.descriptor);
    for (unsigned i = 0; i < s.idLength; i++)
        b.u8(0xEE);
    return b;
}

// A plain greyscale file (type 3) holding indices top row first.
inline std::string greyTga(unsigned width, unsigned height, const std::vector<uint8_t>& topFirst)
{
    TgaSpec s;
    s.type = 3;
    s.width = width;
    s.height = height;
    s.descriptor = 0x20;
    Bytes b = tgaHeader(s);
    b.data.append(topFirst.begin(), topFirst.end());
    return b.data;
}
