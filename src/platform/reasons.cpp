#include "platform/platform.h"

void reasonFormat(char* reason, size_t size, const char* head, const char* format, va_list args)
{
    const int used = snprintf(reason, size, "%s: ", head);
    if (used >= 0 && (size_t)used < size)
        vsnprintf(reason + used, size - (size_t)used, format, args);
}
