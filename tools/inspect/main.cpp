#include <cstdio>
#include <cstring>

#include "inspect.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command commands[] = {
    {"bmp", inspectBmp, "bmp FILE [--pixels OUT]"},
    {"life", inspectLife, "life STEPS [--population] [--hashlife]"},
    {"scene", inspectScene, "scene FILE"},
    {"tga", inspectTga, "tga FILE [--indices OUT] [--palette OUT]"},
    {"texture", inspectTexture, "texture FILE"},
};

} // namespace

int inspectError(const char* reason)
{
    printf("{\"error\": ");
    printJsonString(reason);
    printf("}\n");
    return 1;
}

void printJsonString(const char* s)
{
    putchar('"');
    for (const unsigned char* p = (const unsigned char*)s; *p; p++) {
        if (*p == '"' || *p == '\\')
            printf("\\%c", *p);
        else if (*p < 0x20 || *p >= 0x7F)
            printf("\\u%04x", *p);
        else
            putchar(*p);
    }
    putchar('"');
}

int main(int argc, char** argv)
{
    if (argc >= 2) {
        for (const Command& c : commands) {
            if (strcmp(argv[1], c.name) == 0)
                return c.run(argc - 2, argv + 2);
        }
    }
    fprintf(stderr, "usage:\n");
    for (const Command& c : commands)
        fprintf(stderr, "  veltrix-inspect %s\n", c.usage);
    return inspectError("unknown or missing subcommand");
}
