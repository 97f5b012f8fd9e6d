// veltrix-replay [--touch] [--threads N] SCRIPT: runs the program headless
// in the current directory, with its messages taken from SCRIPT, drawing with
// N threads (1, one worker, unless given), as on a touch screen with
// --touch, and exits with the program's exit code.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "render/render.h"
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
    int32_t threads = 1;
    int32_t touch = 0;
    if (argc >= 3 && strcmp(argv[1], "--touch") == 0) {
        touch = 1;
        argv++;
        argc--;
    }
    if (argc == 4 && strcmp(argv[1], "--threads") == 0) {
        char* end = nullptr;
        const long n = strtol(argv[2], &end, 10);
        if (*argv[2] == '\0' || *end != '\0' || n < 1 || n > RENDER_MAX_WORKERS) {
            fprintf(stderr, "veltrix-replay: --threads takes 1 to %d\n", (int)RENDER_MAX_WORKERS);
            return 2;
        }
        threads = (int32_t)n;
        argv += 2;
        argc -= 2;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: veltrix-replay [--touch] [--threads N] SCRIPT\n");
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
    headlessThreads = threads;
    headlessTouchScreen = touch;
    const int exitCode = appMain();
    headlessReset(nullptr);
    scriptRelease(&script);
    return exitCode;
}
