#include "platform/platform.h"

#include <cerrno>
#include <cstring>

ReadReason readReason;

void readReasonClear()
{
    readReason.line[0] = '\0';
}

int readFailList(const char* name, const char* format, va_list args)
{
    const size_t size = sizeof readReason.line;
    const int used = snprintf(readReason.line, size, "%s: ", name);
    if (used >= 0 && (size_t)used < size)
        vsnprintf(readReason.line + used, size - (size_t)used, format, args);
    return 0;
}

int readFail(const char* name, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    readFailList(name, format, args);
    va_end(args);
    return 0;
}

int readerLoadFile(const char* path, size_t limit, uint8_t** bytes, size_t* size)
{
    switch (fileReadAll(path, limit, bytes, size)) {
    case FILE_READ_OK:
        return 1;
    case FILE_NOT_OPENED:
        return readFail(path, "cannot be opened (%s)", errno ? strerror(errno) : "no such file");
    case FILE_NOT_READ:
        return readFail(path, "cannot be read (%s)", strerror(errno));
    case FILE_NO_MEMORY:
        break;
    }
    return readFail(path, "out of memory");
}
