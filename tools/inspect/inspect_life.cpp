#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inspect.h"
#include "life/world.h"

static void printCell(void* context, int64_t x, int64_t y)
{
    int64_t* printed = (int64_t*)context;
    printf("%s[%lld, %lld]", *printed ? ", " : "", (long long)x, (long long)y);
    (*printed)++;
}

static void printState(void* context, int64_t x, int64_t y, int state)
{
    int64_t* printed = (int64_t*)context;
    printf("%s[%lld, %lld, %d]", *printed ? ", " : "", (long long)x, (long long)y, state);
    (*printed)++;
}

// The rule as Rules.ini holds it: the board's four numbers as a JSON array,
// a rule in the community's notation as a string.
static void printRules(const char* text)
{
    const char* c = text;
    while (*c == '-' || *c == ' ' || isdigit((unsigned char)*c))
        c++;
    if (*c || !*text) {
        printJsonString(text);
        return;
    }
    printf("[");
    const char* separator = "";
    for (char* end = nullptr; *text; text = end) {
        const long number = strtol(text, &end, 10);
        if (end == text)
            break;
        printf("%s%ld", separator, number);
        separator = ", ";
    }
    printf("]");
}

// life STEPS: reads Rules.ini and Life.ini of the current folder as the program
// does and prints the rule and the live cells after STEPS generations, in the
// order the world writes its Life.ini: "alive" as [x, y] pairs under a
// two-state rule, "cells" as [x, y, state] under a rule of more.
int inspectLife(int argc, char** argv)
{
    if (argc != 1)
        return inspectError("usage: life STEPS");
    char* end = nullptr;
    errno = 0;
    const long steps = strtol(argv[0], &end, 10);
    if (errno != 0 || end == argv[0] || *end != '\0' || steps < 0 || steps > 100000000)
        return inspectError("STEPS must be a whole number from 0 to 100000000");
    WorldLoadNotes notes;
    World* world = worldLoadFiles(&notes);
    if (!world)
        return inspectError(lifeLoadReason());
    if (!worldStep(world, steps)) {
        char reason[WORLD_REASON + 64];
        snprintf(reason, sizeof reason, "generation %lld: %s", (long long)worldGeneration(world) + 1,
            world->failure);
        worldRelease(world);
        return inspectError(reason);
    }
    printf("{\"rules\": ");
    printRules(world->rulesText);
    const int many = world->states > 2;
    printf(many ? ", \"cells\": [" : ", \"alive\": [");
    int64_t printed = 0;
    const int64_t listed = many ? worldForEachState(world, printState, &printed)
                                : worldForEachCell(world, printCell, &printed);
    printf("]}\n");
    worldRelease(world);
    return listed < 0 ? inspectError("out of memory") : 0;
}
