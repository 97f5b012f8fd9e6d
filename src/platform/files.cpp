#include "platform/platform.h"

#include <sys/stat.h>

// Copies path into out with every backslash turned into the local separator.
// Returns 0 when the path does not fit.
static int localPath(const char* path, char* out, size_t size)
{
    size_t i = 0;
    for (; path[i] != '\0'; i++) {
        if (i + 1 >= size)
            return 0;
        out[i] = path[i] == '\\' ? '/' : path[i];
    }
    out[i] = '\0';
    return 1;
}

FILE* fileOpen(const char* path, const char* mode)
{
    char local[4096];
    if (!localPath(path, local, sizeof local))
        return nullptr;
    return fopen(local, mode);
}

int fileExists(const char* path)
{
    char local[4096];
    if (!localPath(path, local, sizeof local))
        return 0;
    struct stat info;
    return stat(local, &info) == 0;
}
