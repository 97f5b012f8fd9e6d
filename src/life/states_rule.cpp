// Rules of more than two states, told apart and read: Generations, Larger
// than Life, or a name for a rule table or tree with its grid suffix; the
// rule held and let go with its tree; and the .rule file a saved world needs
// beside it.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

namespace {

void trim(const char** text, size_t* size)
{
    while (*size && textIsBlank((*text)[0])) {
        (*text)++;
        (*size)--;
    }
    while (*size && textIsBlank((*text)[*size - 1]))
        (*size)--;
}

// The name part of a rule: up to any ':'.
size_t nameLength(const char* text, size_t size)
{
    const char* colon = (const char*)memchr(text, ':', size);
    return colon ? (size_t)(colon - text) : size;
}

int ruleFileThere(const char* folder, const char* name)
{
    static const char* const extensions[] = {".rule", ".table", ".tree"};
    for (const char* extension : extensions) {
        char path[4096];
        const int n = snprintf(path, sizeof path, "%s%s%s%s", folder, folder[0] ? "/" : "", name, extension);
        if (n > 0 && (size_t)n < sizeof path && fileExists(path))
            return 1;
    }
    return 0;
}

int readTreeRule(const char* text, size_t size, const StatesRuleSource* source, StatesRule* rule, RuleRefusal* out)
{
    const size_t length = nameLength(text, size);
    if (!ruleNameIsFileName(text, length)) {
        ruleRefuse(out, "is not a rule this program knows: no B/S, Generations or Larger than Life rule, and no "
                        "name a rule file may have (letters, digits, '-' and '_')");
        return 0;
    }
    char name[128];
    memcpy(name, text, length);
    name[length] = '\0';
    LifeGridShape grid = {};
    if (length < size && !ruleReadGrid(text + length + 1, text + size, &grid, out))
        return 0;
    // von Neumann's family is built in, never looked for as a file.
    const int family = ruleJvnFamily(text, length);
    StatesTree* tree = family ? ruleJvnTree(family, out) : nullptr;
    if (family ? !tree : !ruleFind(name, source, &tree, out))
        return 0;
    // Empty space stays empty: the engine lets go of what nothing reaches.
    uint32_t at = tree->root;
    for (int32_t v = 0; v <= tree->neighbours; v++)
        at = tree->next[at];
    if (at != 0) {
        ruleRefuse(out, "turns empty space into state %u; this program plays rules that keep it empty", at);
        statesTreeRelease(tree);
        return 0;
    }
    *rule = StatesRule{};
    rule->family = STATES_TREE;
    rule->states = tree->states;
    rule->grid = grid;
    rule->tree = tree;
    RuleName canonical = {rule->name, rule->name + LIFE_RULE_TEXT - 1};
    ruleNamePut(&canonical, name);
    ruleNameGrid(&canonical, &grid);
    return 1;
}

} // namespace

int statesRuleParse(const char* text, const StatesRuleSource* source, StatesRule* rule, char* reason, size_t size)
{
    RuleRefusal out = {reason, size, {}};
    if (reason && size)
        reason[0] = '\0';
    size_t length = text ? strlen(text) : 0;
    trim(&text, &length);
    ruleQuote(&out, text, length);
    *rule = StatesRule{};
    if (length == 0) {
        ruleRefuse(&out, "is empty");
        return 0;
    }
    for (size_t i = 0; i < length; i++) {
        const unsigned char c = (unsigned char)text[i];
        if (c < 0x20 || c >= 0x7F) {
            ruleRefuse(&out, "has byte %u, which no rule holds", c);
            return 0;
        }
    }
    if (ruleLooksGenerations(text, length))
        return ruleReadGenerations(text, length, rule, &out);
    if (ruleLooksLarger(text, length))
        return ruleReadLarger(text, length, rule, &out);
    return readTreeRule(text, length, source, rule, &out);
}

int statesRuleNamed(const char* text, size_t size, const StatesRuleSource* source)
{
    trim(&text, &size);
    if (ruleLooksGenerations(text, size) || ruleLooksLarger(text, size))
        return 1;
    const size_t length = nameLength(text, size);
    if (!ruleNameIsFileName(text, length))
        return 0;
    char name[128];
    memcpy(name, text, length);
    name[length] = '\0';
    if (ruleBuiltinText(name) || ruleJvnFamily(name, length))
        return 1;
    const char* folders[] = {source && source->folder ? source->folder : nullptr, statesRulePlaces.userFolder,
                             statesRulePlaces.sharedFolder};
    for (const char* folder : folders)
        if (folder && ruleFileThere(folder, name))
            return 1;
    return 0;
}

void statesRuleCopy(StatesRule* to, const StatesRule* from)
{
    *to = *from;
    statesTreeHold(to->tree);
}

void statesRuleRelease(StatesRule* rule)
{
    statesTreeRelease(rule->tree);
    rule->tree = nullptr;
}

int statesRuleKeep(const StatesRule* rule, const char* folder, char* reason, size_t size)
{
    if (rule->family != STATES_TREE || !rule->tree->source)
        return 1;
    char name[128];
    snprintf(name, sizeof name, "%.*s", (int)nameLength(rule->name, strlen(rule->name)), rule->name);
    // What start-up in folder would read for the name.
    StatesRuleSource there = {folder, nullptr, 0};
    StatesTree* found = nullptr;
    RuleRefusal quiet = {nullptr, 0, {}};
    if (ruleFind(name, &there, &found, &quiet)) {
        const int same = found->sourceSize == rule->tree->sourceSize &&
                         memcmp(found->source, rule->tree->source, found->sourceSize) == 0;
        statesTreeRelease(found);
        if (same)
            return 1;
    }
    char path[4096], temp[4096];
    const int length = snprintf(path, sizeof path, "%s%s%s.rule", folder, folder[0] ? "/" : "", name);
    if (length < 0 || (size_t)length + 4 >= sizeof temp) {
        snprintf(reason, size, "the folder's name is too long for %s.rule", name);
        return 0;
    }
    memcpy(temp, path, (size_t)length);
    memcpy(temp + length, ".tmp", 5);
    FILE* file = fileOpen(temp, "w");
    if (!file) {
        snprintf(reason, size, "cannot create %s: %s", temp, strerror(errno));
        return 0;
    }
    int ok = fwrite(rule->tree->source, 1, rule->tree->sourceSize, file) == rule->tree->sourceSize;
    ok = fclose(file) == 0 && ok;
    if (!ok || !fileReplace(temp, path)) {
        const int cause = errno;
        remove(temp);
        snprintf(reason, size, "cannot write %s: %s", path, strerror(cause));
        return 0;
    }
    return 1;
}
