// Worlds from Rules.ini and Life.ini and back: the one place that picks an
// engine for a rule, start-up's reading of the two files, and the writer that
// replaces them only once both are written whole.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "life/states.h"
#include "life/world.h"
#include "platform/platform.h"

// The community's notation begins with 'B' (either case) or "MAP"; a rule of
// more states is a Generations or Larger than Life form or the name of a rule
// file; anything else is read as the board's four numbers.
static int namesNotation(const char* text, size_t size)
{
    size_t i = 0;
    while (i < size && isspace((unsigned char)text[i]))
        i++;
    if (i < size && (text[i] == 'B' || text[i] == 'b'))
        return 1;
    return size - i >= 3 && memcmp(text + i, "MAP", 3) == 0;
}

World* worldCreateForRule(const UniverseRule* rule)
{
    return universeWorldCreate(rule);
}

int worldHashlifeRuns(const UniverseRule* rule)
{
    return !(rule->next[0] & 1) && rule->grid.topology == LIFE_UNBOUNDED;
}

int worldPrefersHashlife(const UniverseRule* rule, int64_t count)
{
    return count > WORLD_HASHLIFE_CELLS && worldHashlifeRuns(rule);
}

// ---- Switching engines ------------------------------------------------------------

struct CellCopy {
    World* world;  // to set them in, or null
    int32_t* xy;   // or to list them in
    int64_t count;
    int failed;
};

static void copyCell(void* context, int64_t x, int64_t y)
{
    CellCopy* copy = (CellCopy*)context;
    if (copy->failed)
        return;
    if (copy->world) {
        copy->failed = !worldSetCell(copy->world, x, y, 1);
        return;
    }
    copy->xy[2 * copy->count] = (int32_t)x;
    copy->xy[2 * copy->count + 1] = (int32_t)y;
    copy->count++;
}

// A universe's cells, which lie in 32 bits, built into hashlife whole.
static World* toHashlife(const World* world, const UniverseRule* rule, char* reason, size_t size)
{
    const int64_t count = worldPopulation(world);
    const int fits = (uint64_t)count < SIZE_MAX / (2 * sizeof(int32_t));
    CellCopy copy = {nullptr, fits ? (int32_t*)heapAlloc((size_t)(count > 0 ? count : 1) * 2 * sizeof(int32_t)) : nullptr, 0, 0};
    if (!copy.xy) {
        snprintf(reason, size, "out of memory");
        return nullptr;
    }
    World* out = nullptr;
    if (worldForEachCell(world, copyCell, &copy) < 0 || copy.count != count)
        snprintf(reason, size, "out of memory");
    else
        out = hashlifeWorldFromCells(rule, copy.xy, count, 0, 0, reason, size);
    heapFree(copy.xy);
    if (out)
        hashlifeWorldSetGeneration(out, worldGeneration(world));
    return out;
}

static World* toUniverse(const World* world, const UniverseRule* rule, char* reason, size_t size)
{
    WorldBox box;
    const int any = worldBounds(world, &box);
    if (any && (box.left < INT32_MIN || box.top < INT32_MIN || box.right > INT32_MAX || box.bottom > INT32_MAX)) {
        snprintf(reason, size, "the cells reach past the universe's 32-bit coordinates");
        return nullptr;
    }
    if (worldPopulation(world) > WORLD_SWITCH_CELLS) {
        snprintf(reason, size, "%lld live cells are more than the %d a universe is given",
            (long long)worldPopulation(world), (int)WORLD_SWITCH_CELLS);
        return nullptr;
    }
    CellCopy copy = {universeWorldAt(rule, worldGeneration(world)), nullptr, 0, 0};
    if (copy.world && (worldForEachCell(world, copyCell, &copy) < 0 || copy.failed)) {
        worldRelease(copy.world);
        copy.world = nullptr;
    }
    if (!copy.world)
        snprintf(reason, size, "out of memory");
    return copy.world;
}

World* worldSwitchEngine(const World* world, char* reason, size_t size)
{
    if (world->fixedView) {
        snprintf(reason, size, "the 64 x 64 board has no other engine");
        return nullptr;
    }
    if (strcmp(worldEngineName(world), "states") == 0) {
        snprintf(reason, size, "a rule of more than two states has no other engine");
        return nullptr;
    }
    UniverseRule rule;
    if (!universeRuleParse(world->ruleName, &rule, reason, size))
        return nullptr;
    return strcmp(worldEngineName(world), "hashlife") == 0 ? toUniverse(world, &rule, reason, size)
                                                           : toHashlife(world, &rule, reason, size);
}

// A rule of more than two states, or of a rule file, as Rules.ini names it:
// null with the reason when it is not one.
static World* statesWorldNamed(const char* text, size_t length, char* reason, size_t size)
{
    char rule[LIFE_RULE_TEXT];
    while (length && isspace((unsigned char)text[length - 1]))
        length--;
    if (length >= sizeof rule) {
        snprintf(reason, size, "the rule is longer than %d characters", (int)sizeof rule - 1);
        return nullptr;
    }
    memcpy(rule, text, length);
    rule[length] = '\0';
    const StatesRuleSource source = {"", nullptr, 0};
    StatesRule read;
    if (!statesRuleParse(rule, &source, &read, reason, size))
        return nullptr;
    World* world = statesWorldCreate(&read, reason, size);
    statesRuleRelease(&read);
    return world;
}

static World* worldCreateBytes(const char* text, size_t length, char* reason, size_t size)
{
    World* world;
    const StatesRuleSource here = {"", nullptr, 0};
    const int notation = namesNotation(text, length);
    UniverseRule rule;
    if (notation && universeRuleParseBytes(text, length, &rule, reason, size)) {
        world = worldCreateForRule(&rule);
    } else if (statesRuleNamed(text, length, &here)) {
        return statesWorldNamed(text, length, reason, size);
    } else if (notation) {
        return nullptr;
    } else {
        const LifeRule board = readRulesBytes((const uint8_t*)text, length, "Rules.ini");
        world = boardWorldCreate(&board);
    }
    if (!world)
        snprintf(reason, size, "out of memory");
    return world;
}

World* worldCreate(const char* rulesText, char* reason, size_t size)
{
    return worldCreateBytes(rulesText, strlen(rulesText), reason, size);
}

// The rule Rules.ini names, or Conway's on the board with the warning.
static World* rulesWorld(WorldLoadNotes* notes)
{
    uint8_t bytes[LIFE_RULES_READ];
    size_t size = 0;
    if (readRulesFile(bytes, sizeof bytes, &size)) {
        char reason[WORLD_REASON];
        const StatesRuleSource here = {"", nullptr, 0};
        notes->ruleNamed = namesNotation((const char*)bytes, size) || statesRuleNamed((const char*)bytes, size, &here);
        World* world = worldCreateBytes((const char*)bytes, size, reason, sizeof reason);
        if (world || !notes->ruleNamed) {
            snprintf(notes->rulesWarning, sizeof notes->rulesWarning, "%s", lifeLoadReason());
            return world;
        }
        notes->ruleNamed = 0;
        readFail("Rules.ini", "%s; the board runs Conway's rule, 1 4 3 3", reason);
    }
    snprintf(notes->rulesWarning, sizeof notes->rulesWarning, "%s", lifeLoadReason());
    return boardWorldCreate(&conwayRule);
}

// Cells of the layer z = 0 inside the world's extent; the others are dropped,
// as the board always dropped those off it.
// States a world does not have are dropped too.
static int setLifeState(void* context, int32_t x, int32_t y, int32_t z, int32_t state)
{
    World* world = (World*)context;
    const WorldBox* e = &world->extent;
    if (z != 0 || x < e->left || x > e->right || y < e->top || y > e->bottom || state < 1 ||
        state >= world->states)
        return 1;
    return worldSetCell(world, x, y, state);
}

static int setLifeCell(void* context, int32_t x, int32_t y, int32_t z)
{
    return setLifeState(context, x, y, z, 1);
}

// A macrocell Life.ini (what Ctrl+S writes of a hashlife world): its tree on
// hashlife under the rule Rules.ini named, at the generation it gives; listed
// into the world made for the rule when hashlife cannot run it (the board, B0,
// a bounded grid). 1 with *world replaced or filled, or 0 with the reason.
static int loadTree(World** world, const char* text, size_t size)
{
    WorldTree tree;
    int32_t line;
    char reason[WORLD_REASON];
    if (!worldTreeRead(text, size, &tree, &line, reason, sizeof reason))
        return line > 0 ? readFail("Life.ini", "line %d: %s", (int)line, reason) : readFail("Life.ini", "%s", reason);
    UniverseRule rule;
    const int named = !(*world)->fixedView && universeRuleParse((*world)->ruleName, &rule, reason, sizeof reason);
    World* made = nullptr;
    int ok = 1;
    if (named && !tree.multiState && worldHashlifeRuns(&rule)) {
        made = hashlifeWorldFromTree(&rule, &tree, reason, sizeof reason);
        ok = made != nullptr;
    } else {
        if (named)
            made = universeWorldAt(&rule, tree.generation);
        ok = (!named || made) && worldTreeSetCells(&tree, made ? made : *world, reason, sizeof reason);
        if (named && !made)
            snprintf(reason, sizeof reason, "out of memory");
    }
    worldTreeRelease(&tree);
    if (!ok) {
        worldRelease(made);
        return readFail("Life.ini", "%s", reason);
    }
    if (made) {
        worldRelease(*world);
        *world = made;
    }
    return 1;
}

// Cell lines past WORLD_HASHLIFE_CELLS go onto hashlife, as a dropped
// pattern's do; where hashlife cannot take them they stay where they are.
static World* preferredEngine(World* world)
{
    UniverseRule rule;
    char reason[WORLD_REASON];
    if (world->fixedView || strcmp(worldEngineName(world), "universe") != 0 ||
        !universeRuleParse(world->ruleName, &rule, reason, sizeof reason) ||
        !worldPrefersHashlife(&rule, worldPopulation(world)))
        return world;
    World* tree = worldSwitchEngine(world, reason, sizeof reason);
    if (!tree)
        return world;
    worldRelease(world);
    return tree;
}

World* worldLoadFiles(WorldLoadNotes* notes)
{
    readReasonClear();
    memset(notes, 0, sizeof *notes);
    World* world = rulesWorld(notes);
    readReasonClear();
    if (!world) {
        readFail("Life.ini", "out of memory");
        return nullptr;
    }
    uint8_t* bytes;
    size_t size;
    // One byte past the limit tells a file at the limit from a longer one.
    if (!readerLoadFile("Life.ini", (size_t)WORLD_LIFE_FILE_MAX + 1, &bytes, &size)) {
        worldRelease(world);
        return nullptr;
    }
    int ok = size <= (size_t)WORLD_LIFE_FILE_MAX;
    if (!ok)
        readFail("Life.ini", "larger than %d MiB; refused", (int)(WORLD_LIFE_FILE_MAX >> 20));
    else if (worldTreeIsMacrocell((const char*)bytes, size))
        ok = loadTree(&world, (const char*)bytes, size);
    else if (!(world->states > 2 ? readLifeStates(bytes, size, "Life.ini", setLifeState, world)
                                 : readLifeCells(bytes, size, "Life.ini", setLifeCell, world)))
        ok = readFail("Life.ini", "out of memory");
    heapFree(bytes);
    if (!ok) {
        worldRelease(world);
        return nullptr;
    }
    return preferredEngine(world);
}

// ---- Writing ---------------------------------------------------------------------

static void joinPath(const char* folder, const char* name, char* path, size_t size)
{
    snprintf(path, size, "%s%s%s", folder, folder[0] ? "/" : "", name);
}

// Creates path and fills it; on any failure the file is removed again.
static int writeTemp(const char* path, LifeFileWriter write, const void* content, char* reason, size_t size)
{
    FILE* file = fileOpen(path, "w");
    if (!file) {
        snprintf(reason, size, "cannot create %s: %s", path, strerror(errno));
        return 0;
    }
    int ok = write(file, content);
    ok = !ferror(file) && ok;
    if (fclose(file) != 0)
        ok = 0;
    if (!ok) {
        const int cause = errno;
        remove(path);
        snprintf(reason, size, "cannot write %s: %s", path, strerror(cause));
    }
    return ok;
}

int lifeFilesWrite(const char* folder, LifeFileWriter writeLife, const void* life, LifeFileWriter writeRules,
    const void* rules, char* reason, size_t size)
{
    char lifePath[4096], rulesPath[4096], lifeTemp[4096], rulesTemp[4096];
    joinPath(folder, "Life.ini", lifePath, sizeof lifePath);
    joinPath(folder, "Rules.ini", rulesPath, sizeof rulesPath);
    joinPath(folder, "Life.ini.tmp", lifeTemp, sizeof lifeTemp);
    joinPath(folder, "Rules.ini.tmp", rulesTemp, sizeof rulesTemp);
    if (!writeTemp(lifeTemp, writeLife, life, reason, size))
        return 0;
    if (writeRules && !writeTemp(rulesTemp, writeRules, rules, reason, size)) {
        remove(lifeTemp);
        return 0;
    }
    if (writeRules && !fileReplace(rulesTemp, rulesPath)) {
        const int cause = errno;
        remove(rulesTemp);
        remove(lifeTemp);
        snprintf(reason, size, "cannot replace Rules.ini: %s", strerror(cause));
        return 0;
    }
    if (!fileReplace(lifeTemp, lifePath)) {
        const int cause = errno;
        remove(lifeTemp);
        snprintf(reason, size, "cannot replace Life.ini: %s%s", strerror(cause),
            writeRules ? " (Rules.ini was already replaced)" : "");
        return 0;
    }
    return 1;
}

struct CellLines {
    FILE* file;
    int failed;
};

static void writeCellLine(void* context, int64_t x, int64_t y)
{
    CellLines* lines = (CellLines*)context;
    if (!lines->failed && fprintf(lines->file, "%lld %lld 0\n", (long long)x, (long long)y) < 0)
        lines->failed = 1;
}

static void writeStateLine(void* context, int64_t x, int64_t y, int state)
{
    CellLines* lines = (CellLines*)context;
    if (!lines->failed && fprintf(lines->file, "%lld %lld 0 %d\n", (long long)x, (long long)y, state) < 0)
        lines->failed = 1;
}

// The count, then one "x y 0" line a live cell; "x y 0 s" with its state in
// a world of more than two states; or what the engine writes.
static int writeWorldLife(FILE* file, const void* content)
{
    const World* world = (const World*)content;
    if (world->engine->writeLife)
        return world->engine->writeLife(world, file);
    if (fprintf(file, "%lld\n", (long long)worldPopulation(world)) < 0)
        return 0;
    CellLines lines = {file, 0};
    const int64_t visited = world->states > 2 ? worldForEachState(world, writeStateLine, &lines)
                                              : worldForEachCell(world, writeCellLine, &lines);
    return visited >= 0 && !lines.failed;
}

static int writeWorldRules(FILE* file, const void* content)
{
    return fprintf(file, "%s\n", ((const World*)content)->rulesText) >= 0;
}

int worldSave(const World* world, const char* folder, char* reason, size_t size)
{
    const StatesRule* rule = statesWorldRule(world);
    if (rule && !statesRuleKeep(rule, folder, reason, size))
        return 0;
    return lifeFilesWrite(folder, writeWorldLife, world, writeWorldRules, world, reason, size);
}
