#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static int enterScratchFolder()
{
    static int entered = 0;
    if (entered)
        return 1;
    char pattern[] = "/tmp/veltrix-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0)
        return 0;
    entered = 1;
    return 1;
}

int fuzzWriteFile(const char* name, const uint8_t* data, size_t size)
{
    if (!enterScratchFolder())
        abort();
    FILE* file = fopen(name, "wb");
    if (!file)
        abort();
    const int ok = fwrite(data, 1, size, file) == size;
    fclose(file);
    return ok;
}
