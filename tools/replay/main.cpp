// veltrix-replay SCRIPT: runs the program headless in the current directory,
// with its messages taken from SCRIPT, and exits with the program's exit code.
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "platform/headless/headless.h"

// Scripts are small text files; a bigger one is refused rather than read.
enum { MAX_SCRIPT_BYTES = 16 << 20 };

static char* readScript(const char* path, size_t* size)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return nullptr;
    char* text = (char*)malloc(MAX_SCRIPT_BYTES + 1);
    size_t got = text ? fread(text, 1, MAX_SCRIPT_BYTES + 1, file) : 0;
    const int failed = !text || ferror(file) || got > MAX_SCRIPT_BYTES;
    fclose(file);
    if (failed) {
        free(text);
        return nullptr;
    }
    *size = got;
    return text;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: veltrix-replay SCRIPT\n");
        return 2;
    }
    size_t size = 0;
    char* text = readScript(argv[1], &size);
    if (!text) {
        fprintf(stderr, "veltrix-replay: cannot read %s (missing, unreadable or over 16 MiB)\n", argv[1]);
        return 2;
    }
    Script script;
    char error[128];
    const int parsed = scriptParse(text, size, &script, error, sizeof error);
    free(text);
    if (!parsed) {
        fprintf(stderr, "veltrix-replay: %s: %s\n", argv[1], error);
        return 2;
    }
    headlessReset(&script);
    const int exitCode = appMain();
    headlessReset(nullptr);
    scriptRelease(&script);
    return exitCode;
}
