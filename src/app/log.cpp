#include "app/app.h"

void logStart()
{
    FILE* file = fileOpen("Engine.log", "w");
    if (!file)
        return;
    fputs("__________Veltrix - Log__________\n", file);
    fclose(file);
}

void logLine(const char* text)
{
    FILE* file = fileOpen("Engine.log", "a");
    if (!file)
        return;
    fprintf(file, "%s\n", text);
    fclose(file);
}
