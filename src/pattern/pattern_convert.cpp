// One pattern file to the program's files: read whole, parsed, its rule read
// (Conway's when it names none), placed and written, on the 64 x 64 board or on
// the universe the rule names. veltrix-pattern and the program's drop-to-load
// both come through here, so they cannot disagree.
#include <cerrno>
#include <cstring>

#include "life/states.h"
#include "pattern/pattern.h"
#include "platform/platform.h"

// Reads the whole file into a heap buffer; refuses files over PATTERN_MAX_FILE.
static char* readWhole(const char* path, size_t* size, PatternError* error)
{
    uint8_t* bytes = nullptr;
    // One byte over the limit tells a file at the limit from a longer one.
    switch (fileReadAll(path, PATTERN_MAX_FILE + 1, &bytes, size)) {
    case FILE_READ_OK:
        if (*size <= PATTERN_MAX_FILE)
            return (char*)bytes;
        heapFree(bytes);
        patternFail(error, 0, "larger than %d MiB; refused", (int)(PATTERN_MAX_FILE >> 20));
        break;
    case FILE_NOT_OPENED:
        patternFail(error, 0, "cannot open: %s", strerror(errno));
        break;
    case FILE_NOT_READ:
        patternFail(error, 0, "read error: %s", strerror(errno));
        break;
    case FILE_NO_MEMORY:
        patternFail(error, 0, "out of memory reading the file");
        break;
    }
    return nullptr;
}

// The rule the file names, or Conway's when it names none (what every one of
// the formats means then), unless the options keep Rules.ini.
static int chooseRule(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                      PatternError* error)
{
    if (pattern->maxState > 1)
        return patternFail(error, 0, "the file's cells take states up to %d; the board shows two states",
                           (int)pattern->maxState);
    if (!pattern->rule[0] && options->keepRules) {
        report->ruleSource = RULE_KEPT;
        return 1;
    }
    report->ruleSource = pattern->rule[0] ? RULE_FROM_FILE : RULE_BY_CONVENTION;
    RuleSets sets;
    if (!parseRule(pattern->rule[0] ? pattern->rule : "B3/S23", &sets, error) ||
        !ruleToFour(&sets, &report->rule, error))
        return 0;
    formatRule(&sets, report->ruleName, sizeof report->ruleName);
    return 1;
}

// The board: the rule fitted into four numbers, the box centred or put at --at,
// cells off the board dropped.
static int convertToBoard(const Pattern* pattern, const PatternOptions* options, PatternReport* report,
                          PatternError* error)
{
    int ok = chooseRule(pattern, options, report, error);
    int32_t left = options->left, top = options->top;
    if (!options->haveAt)
        centreOrigin(pattern, &left, &top);
    if (ok)
        placePattern(pattern, left, top, &report->placement);
    if (ok && report->placement.written == 0)
        ok = patternFail(error, 0,
                         "none of the %d live cells lands on the 64 x 64 board with the pattern's top-left cell "
                         "at (%d, %d); the pattern is %d x %d: choose that cell with veltrix-pattern --at X Y",
                         (int)pattern->count, (int)left, (int)top, (int)pattern->width, (int)pattern->height);
    if (ok)
        ok = writeBoardFiles(&report->placement, report->ruleSource == RULE_KEPT ? nullptr : &report->rule, error);
    return ok;
}

// A side of a bounded grid covers -floor(size / 2) .. -floor(size / 2) + size - 1;
// 0 leaves it unbounded. The first cell outside, in the pattern's order.
static int findOutside(const Pattern* pattern, int64_t left, int64_t top, const LifeGridShape* grid,
                       int64_t* x, int64_t* y)
{
    const int64_t lowX = -(int64_t)(grid->width / 2), lowY = -(int64_t)(grid->height / 2);
    for (int32_t k = 0; k < pattern->count; k++) {
        *x = left + pattern->cells[k].x;
        *y = top + pattern->cells[k].y;
        if ((grid->width > 0 && (*x < lowX || *x >= lowX + grid->width)) ||
            (grid->height > 0 && (*y < lowY || *y >= lowY + grid->height)))
            return 1;
    }
    return 0;
}

// The rule a universe runs: two-state (the universe's), or of more states
// (the multi-state engine's), each with the grid it names.
struct UniverseRules {
    int32_t many; // 1: states holds the rule, else two
    UniverseRule two;
    StatesRule states; // held when many
};

// The folder of path, "" for the working folder.
static void folderOf(const char* path, char* folder, size_t size)
{
    const char* slash = strrchr(path, '/');
    const char* back = strrchr(path, '\\');
    if (back && (!slash || back > slash))
        slash = back;
    const size_t length = slash ? (size_t)(slash - path) : 0;
    snprintf(folder, size, "%.*s", (int)(length < size ? length : size - 1), path);
}

// Reads the file's rule (Conway's when it names none): the universe's two
// states first, then the rules of more states, looked for beside the file
// too; every cell's state must be one the rule has.
static int readUniverseRule(const Pattern* pattern, const char* path, UniverseRules* rules, PatternError* error)
{
    const char* text = pattern->rule[0] ? pattern->rule : "B3/S23";
    char reason[PATTERN_MESSAGE];
    rules->many = 0;
    if (universeRuleParse(text, &rules->two, reason, sizeof reason)) {
        if (pattern->maxState > 1)
            return patternFail(error, 0, "the file's cells take states up to %d, but its rule %s has two (0 and 1)",
                               (int)pattern->maxState, rules->two.name);
        return 1;
    }
    char folder[4096];
    folderOf(path, folder, sizeof folder);
    const StatesRuleSource source = {folder, pattern->carried, pattern->carriedSize};
    char manyReason[PATTERN_MESSAGE];
    if (!statesRuleParse(text, &source, &rules->states, manyReason, sizeof manyReason)) {
        // B/S digits with a fault get the two-state reader's reason; a name, the search's.
        const int digits = strchr(text, '/') || text[0] == 'B' || text[0] == 'b' || strncmp(text, "MAP", 3) == 0;
        const int named = statesRuleNamed(text, strlen(text), &source) || pattern->maxState > 1 || !digits;
        return patternFail(error, 0, "%s", named ? manyReason : reason);
    }
    if (pattern->maxState >= rules->states.states) {
        const int states = rules->states.states;
        statesRuleRelease(&rules->states);
        return patternFail(error, 0, "the file's cells take states up to %d, but its rule %s has %d (0 to %d)",
                           (int)pattern->maxState, text, states, states - 1);
    }
    rules->many = 1;
    return 1;
}

static void releaseRules(UniverseRules* rules)
{
    if (rules->many)
        statesRuleRelease(&rules->states);
    rules->many = 0;
}

// Where the cells go on a universe (where the file puts them, centred on a
// bounded grid as universeOrigin says, or the box's corner at --at) and the
// rule they run under, every cell kept: 1 (rules held), or 0 when the rule
// does not parse, the box leaves the 32-bit coordinates or a cell lies
// outside its grid.
static int placeOnUniverse(const Pattern* pattern, const char* path, const PatternOptions* options,
                           PatternReport* report, UniverseRules* rules, PatternError* error)
{
    const int kept = !pattern->rule[0] && options->keepRules;
    rules->many = 0;
    if (kept && pattern->maxState > 1)
        return patternFail(error, 0, "the file's cells take states up to %d, but it names no rule for them",
                           (int)pattern->maxState);
    if (!kept && !readUniverseRule(pattern, path, rules, error))
        return 0;
    const LifeGridShape* grid = rules->many ? &rules->states.grid : &rules->two.grid;
    const char* name = rules->many ? rules->states.name : rules->two.name;
    // With Rules.ini kept its grid is not the file's to know: the file's own position holds.
    const LifeGridShape unbounded = {};
    int64_t left = options->left, top = options->top;
    if (!options->haveAt)
        universeOrigin(pattern, kept ? &unbounded : grid, &left, &top);
    if (left < INT32_MIN || top < INT32_MIN || left + pattern->width - 1 > INT32_MAX ||
        top + pattern->height - 1 > INT32_MAX) {
        releaseRules(rules);
        return patternFail(error, 0, "the pattern's box, %d x %d cells from (%lld, %lld), reaches past the "
                                     "universe's coordinates, %d to %d", (int)pattern->width, (int)pattern->height,
                           (long long)left, (long long)top, (int)INT32_MIN, (int)INT32_MAX);
    }
    report->left = (int32_t)left;
    report->top = (int32_t)top;
    int ok = 1;
    if (kept) {
        report->ruleSource = RULE_KEPT;
        return 1;
    }
    report->ruleSource = pattern->rule[0] ? RULE_FROM_FILE : RULE_BY_CONVENTION;
    snprintf(report->ruleName, sizeof report->ruleName, "%s", name);
    int64_t x, y;
    if (ok && findOutside(pattern, left, top, grid, &x, &y))
        ok = patternFail(error, 0, "the cell (%lld, %lld) lies outside the grid of rule %s (%d x %d, centred "
                                   "on (0, 0)); refused", (long long)x, (long long)y, name, (int)grid->width,
                         (int)grid->height);
    if (!ok)
        releaseRules(rules);
    return ok;
}

// Cells between two looks at the progress: often enough for a stop to be
// felt at once, seldom enough to cost nothing.
enum { PLACE_STRIDE = 1 << 16 };

static int cancelled(PatternProgress* progress)
{
    return progress && progress->cancel.load(std::memory_order_relaxed);
}

static void enterStage(PatternProgress* progress, PatternStage stage, int64_t total)
{
    if (!progress)
        return;
    progress->done.store(0, std::memory_order_relaxed);
    progress->total.store(total, std::memory_order_relaxed);
    progress->stage.store(stage, std::memory_order_relaxed);
}

// Reads, unpacks and parses the file, with what the report says of it; a
// macrocell file as its tree when asked for one.
static int readPattern(const char* path, Pattern* pattern, PatternReport* report, PatternError* error,
                       PatternProgress* progress, int asTree)
{
    memset(report, 0, sizeof *report);
    error->line = 0;
    error->message[0] = '\0';
    size_t size = 0;
    char* text = readWhole(path, &size, error);
    if (!text || !patternGunzip(&text, &size, error))
        return 0;
    enterStage(progress, PATTERN_PARSING, 0);
    const PatternFormat format = detectFormat(text, size, path);
    const int parsed = asTree && format == PATTERN_MACROCELL ? parseMacrocellTree(text, size, pattern, error)
                                                             : parsePattern(format, text, size, pattern, error);
    heapFree(text);
    if (!parsed)
        return 0;
    report->format = pattern->format;
    report->width = pattern->width;
    report->height = pattern->height;
    report->count = pattern->tree.count ? (int64_t)pattern->tree.nodes[pattern->tree.count - 1].population
                                        : pattern->count;
    memcpy(report->note, pattern->note, sizeof report->note);
    return 1;
}

// A new world under the rules with the pattern's cells placed as the report
// says; null with error when memory runs out or the load is stopped.
static World* placeWorld(const Pattern* pattern, const UniverseRules* rules, const PatternReport* report,
                         PatternError* error, PatternProgress* progress)
{
    char reason[PATTERN_MESSAGE] = "out of memory";
    World* world = rules->many ? statesWorldAt(&rules->states, pattern->generation, reason, sizeof reason)
                               : universeWorldAt(&rules->two, pattern->generation);
    if (!world) {
        patternFail(error, 0, "%s", reason);
        return nullptr;
    }
    for (int32_t k = 0; k < pattern->count; k++) {
        if (k % PLACE_STRIDE == 0 && progress) {
            progress->done.store(k, std::memory_order_relaxed);
            if (cancelled(progress)) {
                worldRelease(world);
                patternFail(error, 0, "cancelled");
                return nullptr;
            }
        }
        const int state = pattern->states ? pattern->states[k] : 1;
        if (!worldSetCell(world, report->left + pattern->cells[k].x, report->top + pattern->cells[k].y, state)) {
            worldRelease(world);
            patternFail(error, 0, "out of memory");
            return nullptr;
        }
    }
    return world;
}

static int convertToUniverse(const Pattern* pattern, const char* path, const PatternOptions* options,
                             PatternReport* report, PatternError* error)
{
    UniverseRules rules;
    if (!placeOnUniverse(pattern, path, options, report, &rules, error))
        return 0;
    if (!rules.many)
        return writeUniverseFiles(pattern, report->left, report->top,
                                  report->ruleSource == RULE_KEPT ? nullptr : report->ruleName, error);
    // Cells of more states are written as a world of them saves itself, its rule's file beside them
    // when start-up would not find it.
    World* world = placeWorld(pattern, &rules, report, error, nullptr);
    char reason[PATTERN_MESSAGE];
    int ok = world != nullptr;
    if (ok && !worldSave(world, "", reason, sizeof reason))
        ok = patternFail(error, 0, "%s", reason);
    worldRelease(world);
    releaseRules(&rules);
    return ok;
}

int patternConvertFile(const char* path, const PatternOptions* options, PatternReport* report, PatternError* error)
{
    Pattern pattern;
    if (!readPattern(path, &pattern, report, error, nullptr, 0))
        return 0;
    const int ok = options->board ? convertToBoard(&pattern, options, report, error)
                                  : convertToUniverse(&pattern, path, options, report, error);
    patternRelease(&pattern);
    return ok;
}

// A macrocell file's tree on hashlife, never listed: the rule the file names
// (Conway's when none). Null with error when the rule does not parse, or when
// hashlife cannot run it (*listInstead then set: the file is read again as
// cells, as a tree of states always is) or cannot hold the tree.
static World* treeWorld(const Pattern* pattern, PatternReport* report, PatternError* error, int* listInstead)
{
    // Leaves of states are listed into the multi-state engine.
    if (pattern->tree.multiState) {
        *listInstead = 1;
        return nullptr;
    }
    UniverseRule rule;
    char reason[PATTERN_MESSAGE];
    if (!universeRuleParse(pattern->rule[0] ? pattern->rule : "B3/S23", &rule, reason, sizeof reason)) {
        patternFail(error, 0, "%s", reason);
        return nullptr;
    }
    if (!worldHashlifeRuns(&rule)) {
        *listInstead = 1;
        return nullptr;
    }
    report->ruleSource = pattern->rule[0] ? RULE_FROM_FILE : RULE_BY_CONVENTION;
    memcpy(report->ruleName, rule.name, sizeof report->ruleName);
    const int64_t far = (int64_t)INT32_MAX;
    report->left = (int32_t)(pattern->left < -far ? -far : pattern->left > far ? far : pattern->left);
    report->top = (int32_t)(pattern->top < -far ? -far : pattern->top > far ? far : pattern->top);
    World* world = hashlifeWorldFromTree(&rule, &pattern->tree, reason, sizeof reason);
    if (!world)
        patternFail(error, 0, "%s", reason);
    else
        report->count = worldPopulation(world);
    return world;
}

// Cells listed into a world of the rule one by one, or built whole into
// hashlife past WORLD_HASHLIFE_CELLS; null with error.
static World* listedWorld(const Pattern* pattern, const char* path, PatternReport* report, PatternError* error,
                          PatternProgress* progress)
{
    const PatternOptions options = {0, 0, 0, 0, 0};
    UniverseRules rules;
    if (!placeOnUniverse(pattern, path, &options, report, &rules, error))
        return nullptr;
    World* world = nullptr;
    if (!rules.many && worldPrefersHashlife(&rules.two, pattern->count)) {
        char reason[PATTERN_MESSAGE];
        world = hashlifeWorldFromCells(&rules.two, &pattern->cells[0].x, pattern->count, report->left,
                                       report->top, reason, sizeof reason);
        if (!world)
            patternFail(error, 0, "%s", reason);
    } else {
        world = placeWorld(pattern, &rules, report, error, progress);
    }
    releaseRules(&rules);
    return world;
}

World* patternLoadWorld(const char* path, PatternReport* report, PatternError* error, PatternProgress* progress)
{
    enterStage(progress, PATTERN_READING, 0);
    Pattern pattern;
    if (!readPattern(path, &pattern, report, error, progress, 1))
        return nullptr;
    World* world = nullptr;
    int listInstead = 0;
    if (pattern.tree.count) {
        enterStage(progress, PATTERN_PLACING, 0);
        world = cancelled(progress) ? nullptr : treeWorld(&pattern, report, error, &listInstead);
        if (listInstead) {
            patternRelease(&pattern);
            if (!readPattern(path, &pattern, report, error, progress, 0))
                return nullptr;
        }
    }
    if (!pattern.tree.count) {
        enterStage(progress, PATTERN_PLACING, pattern.count);
        if (!cancelled(progress))
            world = listedWorld(&pattern, path, report, error, progress);
    }
    if (!world && cancelled(progress))
        patternFail(error, 0, "cancelled");
    patternRelease(&pattern);
    return world;
}
