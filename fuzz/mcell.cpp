// The MCell reader on arbitrary bytes, then the rule conversion and the
// placement of whatever it read.
#include "pattern_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzPatternReader(PATTERN_MCELL, data, size);
}
