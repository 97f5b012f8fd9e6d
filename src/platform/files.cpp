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

// The first block fileReadAll takes; it doubles from there, so a small file
// costs one allocation.
static const size_t FILE_FIRST_BLOCK = 1 << 16;

FileReadResult fileReadAll(const char* path, size_t limit, uint8_t** bytes, size_t* size)
{
    errno = 0;
    FILE* file = fileOpen(path, "rb");
    if (!file)
        return FILE_NOT_OPENED;
    size_t capacity = limit < FILE_FIRST_BLOCK ? limit : FILE_FIRST_BLOCK;
    uint8_t* data = (uint8_t*)heapAlloc(capacity);
    size_t used = 0;
    FileReadResult result = data ? FILE_READ_OK : FILE_NO_MEMORY;
    while (result == FILE_READ_OK) {
        used += fread(data + used, 1, capacity - used, file);
        // A short read is the end of the file or an error; ferror tells which.
        if (used < capacity || capacity == limit)
            break;
        const size_t grown = capacity <= limit / 2 ? capacity * 2 : limit;
        uint8_t* larger = (uint8_t*)heapRealloc(data, grown);
        if (!larger) {
            result = FILE_NO_MEMORY;
            break;
        }
        data = larger;
        capacity = grown;
    }
    if (result == FILE_READ_OK && ferror(file))
        result = FILE_NOT_READ;
    const int cause = errno;
    fclose(file);
    if (result != FILE_READ_OK) {
        heapFree(data);
        errno = cause;
        return result;
    }
    *bytes = data;
    *size = used;
    return FILE_READ_OK;
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
