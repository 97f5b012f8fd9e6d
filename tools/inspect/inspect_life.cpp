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

// life STEPS [--population] [--hashlife]: reads Rules.ini and Life.ini of the
// current folder as the program does and prints the rule and the live cells
// after STEPS generations, in the order the world writes its Life.ini: "alive"
// as [x, y] pairs under a two-state rule, "cells" as [x, y, state] under a
// rule of more; with --population the generation, the live-cell count and
// their box instead of the cells, for patterns too large to list; with
// --hashlife on hashlife whatever engine the files open on. STEPS is any whole
// number below 2^63 on hashlife, at most 100000000 on the others, which step a
// generation at a time.
int inspectLife(int argc, char** argv)
{
    const char* usage = "usage: life STEPS [--population] [--hashlife]";
    const char* stepsText = nullptr;
    int population = 0, hashlife = 0;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--population") == 0)
            population = 1;
        else if (strcmp(argv[i], "--hashlife") == 0)
            hashlife = 1;
        else if (!stepsText)
            stepsText = argv[i];
        else
            return inspectError(usage);
    }
    if (!stepsText)
        return inspectError(usage);
    char* end = nullptr;
    errno = 0;
    const long long steps = strtoll(stepsText, &end, 10);
    if (errno != 0 || end == stepsText || *end != '\0' || steps < 0)
        return inspectError("STEPS must be a whole number from 0 to 2^63 - 1");
    WorldLoadNotes notes;
    World* world = worldLoadFiles(&notes);
    if (!world)
        return inspectError(lifeLoadReason());
    char reason[WORLD_REASON + 64];
    if (hashlife && strcmp(worldEngineName(world), "hashlife") != 0) {
        World* switched = worldSwitchEngine(world, reason, sizeof reason);
        worldRelease(world);
        if (!switched)
            return inspectError(reason);
        world = switched;
    }
    if (steps > 100000000 && strcmp(worldEngineName(world), "hashlife") != 0) {
        worldRelease(world);
        return inspectError("STEPS past 100000000 need hashlife (--hashlife)");
    }
    if (!worldStep(world, steps)) {
        snprintf(reason, sizeof reason, "generation %lld: %s", (long long)worldGeneration(world) + 1, world->failure);
        worldRelease(world);
        return inspectError(reason);
    }
    printf("{\"rules\": ");
    printRules(world->rulesText);
    if (population) {
        printf(", \"generation\": %lld, \"population\": %lld, \"box\": ", (long long)worldGeneration(world),
            (long long)worldPopulation(world));
        WorldBox box;
        if (worldBounds(world, &box))
            printf("{\"left\": %lld, \"top\": %lld, \"right\": %lld, \"bottom\": %lld}}\n", (long long)box.left,
                (long long)box.top, (long long)box.right, (long long)box.bottom);
        else
            printf("null}\n");
        worldRelease(world);
        return 0;
    }
    const int many = world->states > 2;
    printf(many ? ", \"cells\": [" : ", \"alive\": [");
    int64_t printed = 0;
    const int64_t listed = many ? worldForEachState(world, printState, &printed)
                                : worldForEachCell(world, printCell, &printed);
    printf("]}\n");
    worldRelease(world);
    return listed < 0 ? inspectError("out of memory") : 0;
}
