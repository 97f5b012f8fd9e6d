// Helpers for the fuzz targets: the loaders read files, so every input is
// written to a scratch file first.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes data to name inside a private scratch folder that is the current
// directory from the first call on; returns 1 or 0.
int fuzzWriteFile(const char* name, const uint8_t* data, size_t size);
