#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#endif

// Copies path into out with every backslash turned into the local separator
// (on Windows the backslash is the separator). Returns 0 when the path does
// not fit.
static int localPath(const char* path, char* out, size_t size)
{
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    size_t i = 0;
    for (; path[i] != '\0'; i++) {
        if (i + 1 >= size)
            return 0;
        out[i] = path[i] == '\\' ? separator : path[i];
    }
    out[i] = '\0';
    return 1;
}

FILE* fileOpen(const char* path, const char* mode)
{
    char local[4096];
    char binary[8];
    if (!localPath(path, local, sizeof local) || strlen(mode) + 2 > sizeof binary)
        return nullptr;
    snprintf(binary, sizeof binary, "%s%s", mode, strchr(mode, 'b') ? "" : "b");
    return fopen(local, binary);
}

int fileExists(const char* path)
{
    char local[4096];
    if (!localPath(path, local, sizeof local))
        return 0;
    struct stat info;
    return stat(local, &info) == 0;
}

int fileReplace(const char* from, const char* to)
{
    char localFrom[4096];
    char localTo[4096];
    if (!localPath(from, localFrom, sizeof localFrom) || !localPath(to, localTo, sizeof localTo)) {
        errno = ENAMETOOLONG;
        return 0;
    }
#ifdef _WIN32
    // rename() there refuses to replace a file.
    if (!MoveFileExA(localFrom, localTo, MOVEFILE_REPLACE_EXISTING)) {
        errno = EACCES;
        return 0;
    }
    return 1;
#else
    return rename(localFrom, localTo) == 0;
#endif
}
