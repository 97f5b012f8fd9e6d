// .rule files: the sections of one (@RULE and its name, then @TABLE, @TREE,
// @COLORS, @ICONS and any others, the first of a kind counting), its table
// or tree read into a tree, and the search for a named rule: the rule the
// pattern carries, the pattern's folder, the user's rules folder, the rules
// shipped, Debian's golly rules folder; NAME.rule first everywhere, then the
// older NAME.table and NAME.tree.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

StatesRulePlaces statesRulePlaces = {"Rules", "/usr/share/golly/Rules"};

namespace {

int isSectionLine(const char* line, size_t length)
{
    return length >= 2 && line[0] == '@' && line[1] >= 'A' && line[1] <= 'Z';
}

int sectionIs(const char* line, size_t length, const char* name)
{
    const size_t n = strlen(name);
    return length >= n && memcmp(line, name, n) == 0 && (length == n || textIsBlank(line[n]));
}

// The name on the text's @RULE line, which comes first: 1 with it.
int fileRuleName(const char* text, size_t size, const char** name, size_t* length)
{
    RuleLines lines = {text, size, 0, 0};
    const char* line;
    size_t n;
    // A UTF-8 byte-order mark may come before it.
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        lines.at = 3;
    while (ruleNextLine(&lines, &line, &n)) {
        if (n == 0)
            continue;
        if (!sectionIs(line, n, "@RULE"))
            return 0;
        size_t i = 5;
        while (i < n && textIsBlank(line[i]))
            i++;
        *name = line + i;
        *length = n - i;
        return *length > 0;
    }
    return 0;
}

void appendReason(RuleRefusal* out, const char* path)
{
    if (!out->text || !out->size)
        return;
    const size_t used = strlen(out->text);
    if (used < out->size)
        snprintf(out->text + used, out->size - used, " (%s)", path);
}

enum FileKind { KIND_RULE, KIND_TABLE, KIND_TREE };

// A file's text as its kind reads it: 1, 0 (refused), -1 (no table or tree in it).
int readText(FileKind kind, const char* text, size_t size, const char* name, StatesTree** tree, RuleRefusal* out)
{
    if (memchr(text, '\0', size)) {
        ruleRefuse(out, "has a rule file with a zero byte in it");
        return 0;
    }
    if (kind == KIND_RULE)
        return ruleReadFile(text, size, name, tree, out);
    if (kind == KIND_TREE) {
        *tree = ruleReadTree(text, size, 0, out);
        return *tree ? 1 : 0;
    }
    RuleTable table;
    if (!ruleReadTable(text, size, 0, &table, out))
        return 0;
    *tree = ruleCompileTable(&table, out);
    ruleTableRelease(&table);
    return *tree ? 1 : 0;
}

int keepSource(StatesTree* tree, const char* text, size_t size, RuleRefusal* out)
{
    tree->source = (char*)heapAlloc(size ? size : 1);
    if (!tree->source) {
        ruleRefuse(out, "was read but memory ran out keeping its text");
        statesTreeRelease(tree);
        return 0;
    }
    memcpy(tree->source, text, size);
    tree->sourceSize = size;
    return 1;
}

// Reads folder/name.ext when it is there: 1, 0 (refused), -1 (not there or no table or tree).
int tryFile(const char* folder, const char* name, FileKind kind, StatesTree** tree, RuleRefusal* out)
{
    static const char* const extensions[] = {".rule", ".table", ".tree"};
    char path[4096];
    const int n = snprintf(path, sizeof path, "%s%s%s%s", folder, folder[0] ? "/" : "", name, extensions[kind]);
    if (n < 0 || (size_t)n >= sizeof path)
        return -1;
    uint8_t* bytes = nullptr;
    size_t size = 0;
    switch (fileReadAll(path, (size_t)STATES_RULE_FILE_MAX + 1, &bytes, &size)) {
    case FILE_READ_OK:
        break;
    case FILE_NOT_OPENED:
        return -1;
    case FILE_NOT_READ:
        ruleRefuse(out, "has a rule file that cannot be read: %s", strerror(errno));
        appendReason(out, path);
        return 0;
    case FILE_NO_MEMORY:
        ruleRefuse(out, "has a rule file this program has no memory to read");
        appendReason(out, path);
        return 0;
    }
    int found;
    if (size > STATES_RULE_FILE_MAX) {
        ruleRefuse(out, "has a rule file larger than %d MiB; refused", (int)(STATES_RULE_FILE_MAX >> 20));
        found = 0;
    } else {
        found = readText(kind, (const char*)bytes, size, name, tree, out);
        if (found == 1)
            found = keepSource(*tree, (const char*)bytes, size, out);
    }
    if (found == 0)
        appendReason(out, path);
    heapFree(bytes);
    return found;
}

} // namespace

int ruleNameIsFileName(const char* name, size_t length)
{
    if (length == 0 || length > 100)
        return 0;
    for (size_t i = 0; i < length; i++)
        if (!textIsLetter(name[i]) && !textIsDigit(name[i]) && name[i] != '-' && name[i] != '_')
            return 0;
    return 1;
}

int ruleReadFile(const char* text, size_t size, const char* name, StatesTree** tree, RuleRefusal* out)
{
    const char* named;
    size_t namedLength;
    if (!fileRuleName(text, size, &named, &namedLength)) {
        ruleRefuse(out, "has a rule file that does not begin with \"@RULE %s\"", name);
        return 0;
    }
    if (namedLength != strlen(name) || memcmp(named, name, namedLength) != 0) {
        ruleRefuse(out, "has a rule file whose @RULE line names another rule, \"%.*s\"",
                   (int)(namedLength > 100 ? 100 : namedLength), named);
        return 0;
    }
    RuleLines lines = {text, size, 0, 0};
    const char* line;
    size_t length;
    while (ruleNextLine(&lines, &line, &length)) {
        const int table = sectionIs(line, length, "@TABLE");
        if (!table && !sectionIs(line, length, "@TREE"))
            continue;
        // The section runs to the next one.
        const size_t start = lines.at;
        const int32_t first = lines.number;
        size_t end = size;
        RuleLines rest = lines;
        while (ruleNextLine(&rest, &line, &length))
            if (isSectionLine(line, length)) {
                end = (size_t)(line - text);
                break;
            }
        if (!table) {
            *tree = ruleReadTree(text + start, end - start, first, out);
            return *tree ? 1 : 0;
        }
        RuleTable read;
        if (!ruleReadTable(text + start, end - start, first, &read, out))
            return 0;
        *tree = ruleCompileTable(&read, out);
        ruleTableRelease(&read);
        return *tree ? 1 : 0;
    }
    return -1;
}

int ruleFind(const char* name, const StatesRuleSource* source, StatesTree** tree, RuleRefusal* out)
{
    *tree = nullptr;
    const char* named;
    size_t namedLength;
    if (source && source->carried &&
        fileRuleName(source->carried, source->carriedSize, &named, &namedLength) &&
        namedLength == strlen(name) && memcmp(named, name, namedLength) == 0) {
        const int found = readText(KIND_RULE, source->carried, source->carriedSize, name, tree, out);
        if (found == 1)
            return keepSource(*tree, source->carried, source->carriedSize, out);
        if (found == 0)
            return 0;
    }
    const char* folders[] = {source && source->folder ? source->folder : nullptr, statesRulePlaces.userFolder,
                             nullptr, statesRulePlaces.sharedFolder};
    for (int kind = KIND_RULE; kind <= KIND_TREE; kind++)
        for (int i = 0; i < 4; i++) {
            int found = -1;
            if (i == 2 && kind == KIND_RULE) {
                const char* text = ruleBuiltinText(name);
                if (text) {
                    found = readText(KIND_RULE, text, strlen(text), name, tree, out);
                    if (found == 1)
                        found = keepSource(*tree, text, strlen(text), out);
                }
            } else if (folders[i]) {
                found = tryFile(folders[i], name, (FileKind)kind, tree, out);
            }
            if (found >= 0)
                return found;
        }
    ruleRefuse(out, "names a rule table or tree, and no %s.rule was found beside the file, in %s/, among the rules "
                    "this program ships or in %s", name, statesRulePlaces.userFolder ? statesRulePlaces.userFolder : "",
               statesRulePlaces.sharedFolder ? statesRulePlaces.sharedFolder : "");
    return 0;
}
