// Rule tables: a .rule file's @TABLE section read into transitions. The
// descriptors first (n_states, neighborhood, symmetries), then variables
// ("var a={0,1,b}") and transitions ("a,0,b,1,c,b"), each a list of the
// cell's and its neighbours' states and the next state. A variable named
// more than once in a line stands for one state throughout it and is written
// out state by state; every symmetry of the neighbourhood is written out
// too, so the compiler sees plain transitions, in the file's order.
#include <algorithm>
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

namespace {

// A neighbourhood as tables list it: the cell, then its neighbours, then the
// next state. treeCell[v] is the input the tree's variable v reads (-1: none,
// any state), ring the neighbours clockwise from north as inputs.
struct Hood {
    const char* name;
    int inputs;
    int neighbours;
    int8_t treeCell[9];
    int8_t ring[8];
    int ringSize;
};
const Hood hoods[] = {
    {"vonNeumann", 5, 4, {1, 4, 2, 3, 0}, {1, 2, 3, 4}, 4},
    {"Moore", 9, 8, {8, 2, 6, 4, 1, 7, 3, 5, 0}, {1, 2, 3, 4, 5, 6, 7, 8}, 8},
    {"hexagonal", 7, 8, {6, -1, -1, 3, 1, 5, 2, 4, 0}, {1, 2, 3, 4, 5, 6}, 6},
    {"oneDimensional", 3, 4, {-1, 1, 2, -1, 0}, {1, 2}, 2},
};

// A symmetry: `turns` rotations of the ring by equal steps; mirrored, each
// is also taken mirrored; permuted, every order of the neighbours counts.
struct Symmetry {
    const char* name;
    int hoodMask; // bit k: allowed for hoods[k]
    int turns;
    int mirrored;
    int permuted;
};
const Symmetry symmetries[] = {
    {"none", 15, 1, 0, 0},
    {"rotate2", 4, 2, 0, 0},
    {"rotate3", 4, 3, 0, 0},
    {"rotate4", 3, 4, 0, 0},
    {"rotate6", 4, 6, 0, 0},
    {"rotate8", 2, 8, 0, 0},
    {"rotate4reflect", 3, 4, 1, 0},
    {"rotate6reflect", 4, 6, 1, 0},
    {"rotate8reflect", 2, 8, 1, 0},
    {"reflect_horizontal", 3, 1, 1, 0}, // the left-right mirror alone
    {"reflect", 8, 2, 0, 0},            // one dimension: the two neighbours swapped
    {"permute", 15, 1, 0, 1},
};

enum { VARIABLE_NAME_MAX = 64, VARIABLES_MAX = 4096, TOKENS_MAX = 10 };

struct Variable {
    char name[VARIABLE_NAME_MAX];
    TableSet set;
};

struct Reader {
    RuleTable* table;
    RuleRefusal* out;
    int32_t line;
    const Hood* hood;
    const Symmetry* symmetry;
    Variable* variables; // heap
    int32_t variableCount;
};

int fail(Reader* r, const char* what)
{
    ruleRefuse(r->out, "has a @TABLE line %d that %s", (int)r->line, what);
    return 0;
}

int isNameChar(char c)
{
    return textIsLetter(c) || textIsDigit(c) || c == '_';
}

void setAdd(TableSet* set, int state)
{
    set->bits[state >> 6] |= 1ull << (state & 63);
}

int setHas(const TableSet* set, int state)
{
    return (int)(set->bits[state >> 6] >> (state & 63) & 1);
}

const Variable* findVariable(const Reader* r, const char* name, size_t length)
{
    for (int32_t i = r->variableCount - 1; i >= 0; i--)
        if (strlen(r->variables[i].name) == length && memcmp(r->variables[i].name, name, length) == 0)
            return &r->variables[i];
    return nullptr;
}

// A state or a variable: 1 with its set, *variable set for a variable.
int readToken(Reader* r, const char* token, size_t length, TableSet* set, const Variable** variable)
{
    *set = TableSet{};
    *variable = nullptr;
    size_t i = 0;
    int64_t state = 0;
    if (textReadNumber(token, length, &i, STATES_MAX, &state) && i == length) {
        if (state >= r->table->states)
            return fail(r, "names a state past n_states");
        setAdd(set, (int)state);
        return 1;
    }
    *variable = findVariable(r, token, length);
    if (!*variable)
        return fail(r, "names a variable not defined before it");
    *set = (*variable)->set;
    return 1;
}

// "var name = {a, b, ...}" or "var name = other".
int readVariable(Reader* r, const char* line, size_t length)
{
    size_t i = 3;
    while (i < length && textIsBlank(line[i]))
        i++;
    const size_t start = i;
    while (i < length && isNameChar(line[i]))
        i++;
    const size_t nameLength = i - start;
    if (nameLength == 0 || nameLength >= VARIABLE_NAME_MAX || textIsDigit(line[start]))
        return fail(r, "defines a variable without a name of letters, digits and '_'");
    while (i < length && textIsBlank(line[i]))
        i++;
    if (i >= length || line[i] != '=')
        return fail(r, "defines a variable without '='");
    i++;
    while (i < length && textIsBlank(line[i]))
        i++;
    size_t end = length;
    if (i < length && line[i] == '{') {
        if (line[length - 1] != '}')
            return fail(r, "opens a variable's list with '{' and does not close it");
        i++;
        end = length - 1;
    }
    if (r->variableCount == VARIABLES_MAX)
        return fail(r, "defines more variables than a table may");
    Variable v = {};
    memcpy(v.name, line + start, nameLength);
    int items = 0;
    while (i < end) {
        size_t j = i;
        while (j < end && line[j] != ',')
            j++;
        size_t a = i, b = j;
        while (a < b && textIsBlank(line[a]))
            a++;
        while (b > a && textIsBlank(line[b - 1]))
            b--;
        TableSet set;
        const Variable* named;
        if (a == b || !readToken(r, line + a, b - a, &set, &named))
            return a == b ? fail(r, "lists an empty item in a variable") : 0;
        for (int k = 0; k < 4; k++)
            v.set.bits[k] |= set.bits[k];
        items++;
        i = j + 1;
    }
    if (!items)
        return fail(r, "defines a variable of no states");
    r->variables[r->variableCount++] = v;
    return 1;
}

// The orders of the neighbours a symmetry takes: orders[k][i] is the input
// that ring place i reads in the k-th. Returns how many.
int symmetryOrders(const Reader* r, int orders[16][8])
{
    const Hood* h = r->hood;
    const Symmetry* s = r->symmetry;
    const int n = h->ringSize;
    const int step = n / s->turns;
    int count = 0;
    for (int t = 0; t < s->turns; t++)
        for (int m = 0; m <= s->mirrored; m++) {
            for (int i = 0; i < n; i++) {
                const int turned = (i + t * step) % n;
                orders[count][i] = h->ring[m ? (n - turned) % n : turned];
            }
            count++;
        }
    return count;
}

// Adds the transition of these input sets and output, as every symmetry orders it.
int addOrdered(Reader* r, const TableSet* inputs, int output)
{
    const Hood* h = r->hood;
    int32_t ids[TOKENS_MAX];
    for (int i = 0; i < h->inputs; i++) {
        ids[i] = ruleTableSet(r->table, &inputs[i]);
        if (ids[i] < 0)
            return fail(r, "needs more distinct sets of states than the table may hold, or more memory");
    }
    if (r->symmetry->permuted) {
        // Every distinct order of the neighbours' sets.
        int32_t ring[8];
        for (int i = 0; i < h->ringSize; i++)
            ring[i] = ids[h->ring[i]];
        for (int i = 1; i < h->ringSize; i++)
            for (int j = i; j > 0 && ring[j - 1] > ring[j]; j--)
                std::swap(ring[j - 1], ring[j]);
        do {
            TableTransition t = {};
            t.output = (uint8_t)output;
            for (int v = 0; v < h->neighbours + 1; v++) {
                const int cell = h->treeCell[v];
                int32_t id = 0;
                if (cell == 0)
                    id = ids[0];
                else if (cell > 0) {
                    int place = 0;
                    while (h->ring[place] != cell)
                        place++;
                    id = ring[place];
                }
                t.sets[v] = (uint16_t)id;
            }
            if (!ruleTableAdd(r->table, &t))
                return fail(r, "makes the table larger than a table may be");
        } while (std::next_permutation(ring, ring + h->ringSize));
        return 1;
    }
    int orders[16][8];
    const int count = symmetryOrders(r, orders);
    TableTransition seen[16];
    int kept = 0;
    for (int k = 0; k < count; k++) {
        int32_t byInput[TOKENS_MAX];
        byInput[0] = ids[0];
        for (int i = 0; i < h->ringSize; i++)
            byInput[h->ring[i]] = ids[orders[k][i]];
        TableTransition t = {};
        t.output = (uint8_t)output;
        for (int v = 0; v < h->neighbours + 1; v++)
            t.sets[v] = (uint16_t)(h->treeCell[v] < 0 ? 0 : byInput[h->treeCell[v]]);
        int again = 0;
        for (int j = 0; j < kept && !again; j++)
            again = memcmp(&seen[j], &t, sizeof t) == 0;
        if (again)
            continue;
        seen[kept++] = t;
        if (!ruleTableAdd(r->table, &t))
            return fail(r, "makes the table larger than a table may be");
    }
    return 1;
}

int readTransition(Reader* r, const char* line, size_t length)
{
    const Hood* h = r->hood;
    const char* starts[TOKENS_MAX + 1];
    size_t lengths[TOKENS_MAX + 1];
    int tokens = 0;
    if (!memchr(line, ',', length) && (int)length == h->inputs + 1 && r->table->states <= 10) {
        // "0000012": one digit a cell, as tables of few states may be written.
        for (size_t i = 0; i < length; i++) {
            starts[tokens] = line + i;
            lengths[tokens++] = 1;
        }
    } else {
        size_t i = 0;
        while (i <= length) {
            size_t j = i;
            while (j < length && line[j] != ',')
                j++;
            size_t a = i, b = j;
            while (a < b && textIsBlank(line[a]))
                a++;
            while (b > a && textIsBlank(line[b - 1]))
                b--;
            if (tokens == TOKENS_MAX)
                return fail(r, "lists more states than the neighbourhood has cells");
            starts[tokens] = line + a;
            lengths[tokens++] = b - a;
            i = j + 1;
        }
    }
    if (tokens != h->inputs + 1)
        return fail(r, "does not list the cell, each neighbour and the next state");
    TableSet sets[TOKENS_MAX + 1];
    const Variable* named[TOKENS_MAX + 1];
    for (int k = 0; k < tokens; k++)
        if (!readToken(r, starts[k], lengths[k], &sets[k], &named[k]))
            return 0;
    // The variables named more than once stand for one state throughout.
    const Variable* bound[TOKENS_MAX + 1];
    int boundCount = 0;
    for (int k = 0; k < tokens; k++) {
        if (!named[k])
            continue;
        int times = 0, before = 0;
        for (int j = 0; j < tokens; j++) {
            times += named[j] == named[k];
            before += j < k && named[j] == named[k];
        }
        if (times > 1 && !before)
            bound[boundCount++] = named[k];
    }
    const Variable* outputVariable = named[tokens - 1];
    if (outputVariable && std::find(bound, bound + boundCount, outputVariable) == bound + boundCount)
        return fail(r, "gives a variable as the next state that names no cell's state");
    int value[TOKENS_MAX + 1] = {};
    uint64_t combinations = 1;
    for (int b = 0; b < boundCount; b++) {
        int n = 0;
        for (int s = 0; s < r->table->states; s++)
            n += setHas(&bound[b]->set, s);
        combinations *= (uint64_t)n;
        if (combinations > TABLE_TRANSITIONS_MAX)
            return fail(r, "binds its variables in more ways than a table may hold");
    }
    // Each binding of the bound variables in turn, the first variable slowest.
    for (int b = 0; b < boundCount; b++)
        while (!setHas(&bound[b]->set, value[b]))
            value[b]++;
    for (;;) {
        TableSet inputs[TOKENS_MAX];
        int output = 0;
        for (int k = 0; k < tokens; k++) {
            TableSet set = sets[k];
            for (int b = 0; b < boundCount; b++)
                if (named[k] == bound[b]) {
                    set = TableSet{};
                    setAdd(&set, value[b]);
                }
            if (k < h->inputs)
                inputs[k] = set;
            else
                for (int s = 0; s < r->table->states; s++)
                    if (setHas(&set, s)) {
                        output = s;
                        break;
                    }
        }
        if (!named[tokens - 1] && !setHas(&sets[tokens - 1], output))
            return fail(r, "gives no next state");
        if (!addOrdered(r, inputs, output))
            return 0;
        int b = boundCount - 1;
        for (; b >= 0; b--) {
            do
                value[b]++;
            while (value[b] < r->table->states && !setHas(&bound[b]->set, value[b]));
            if (value[b] < r->table->states)
                break;
            value[b] = 0;
            while (!setHas(&bound[b]->set, value[b]))
                value[b]++;
        }
        if (b < 0)
            return 1;
    }
}

// "key:value", blanks allowed around either: 1 with the value.
int readDescriptor(const char* line, size_t length, const char* key, const char** value, size_t* valueLength)
{
    const size_t n = strlen(key);
    if (length < n || memcmp(line, key, n) != 0)
        return 0;
    size_t i = n;
    while (i < length && textIsBlank(line[i]))
        i++;
    if (i >= length || line[i] != ':')
        return 0;
    i++;
    while (i < length && textIsBlank(line[i]))
        i++;
    *value = line + i;
    *valueLength = length - i;
    return 1;
}

int nameIs(const char* value, size_t length, const char* name)
{
    return strlen(name) == length && memcmp(value, name, length) == 0;
}

int readLine(Reader* r, const char* line, size_t length)
{
    const char* value;
    size_t valueLength;
    if (readDescriptor(line, length, "n_states", &value, &valueLength)) {
        size_t i = 0;
        int64_t states = 0;
        if (r->table->states || !textReadNumber(value, valueLength, &i, STATES_MAX, &states) || i != valueLength ||
            states < 2 || states > STATES_MAX)
            return fail(r, "gives n_states again or outside 2 to 256");
        r->table->states = (int32_t)states;
        // Set 0 is every state: the tree's cells a neighbourhood does not read.
        TableSet all = {};
        for (int s = 0; s < states; s++)
            setAdd(&all, s);
        return ruleTableSet(r->table, &all) == 0 ? 1 : fail(r, "cannot be read for want of memory");
    }
    if (readDescriptor(line, length, "neighborhood", &value, &valueLength)) {
        for (const Hood& h : hoods)
            if (nameIs(value, valueLength, h.name) && !r->hood)
                r->hood = &h;
        return r->hood ? 1 : fail(r, "names a neighbourhood other than vonNeumann, Moore, hexagonal and "
                                     "oneDimensional, or names one again");
    }
    if (readDescriptor(line, length, "symmetries", &value, &valueLength)) {
        const int hood = r->hood ? (int)(r->hood - hoods) : -1;
        for (const Symmetry& s : symmetries)
            if (nameIs(value, valueLength, s.name) && hood >= 0 && (s.hoodMask >> hood & 1) && !r->symmetry)
                r->symmetry = &s;
        return r->symmetry ? 1 : fail(r, "names symmetries its neighbourhood does not have (or comes before "
                                         "the neighborhood line)");
    }
    if (!r->table->states || !r->hood || !r->symmetry)
        return fail(r, "comes before n_states, neighborhood and symmetries are all given");
    if (length > 3 && memcmp(line, "var", 3) == 0 && textIsBlank(line[3]))
        return readVariable(r, line, length);
    return readTransition(r, line, length);
}

} // namespace

int ruleReadTable(const char* text, size_t size, int32_t line0, RuleTable* table, RuleRefusal* out)
{
    *table = RuleTable{};
    Reader r = {table, out, line0, nullptr, nullptr, nullptr, 0};
    r.variables = (Variable*)heapAlloc(VARIABLES_MAX * sizeof(Variable));
    int ok = r.variables != nullptr;
    if (!ok)
        ruleRefuse(out, "has a @TABLE this program has no memory to read");
    RuleLines lines = {text, size, 0, line0};
    const char* line;
    size_t length;
    while (ok && ruleNextLine(&lines, &line, &length)) {
        r.line = lines.number;
        // A '#' starts a comment wherever it stands.
        const char* hash = (const char*)memchr(line, '#', length);
        if (hash)
            length = (size_t)(hash - line);
        while (length && textIsBlank(line[length - 1]))
            length--;
        if (length)
            ok = readLine(&r, line, length);
    }
    if (ok && (!table->states || !r.hood || !r.symmetry)) {
        ruleRefuse(out, "has a @TABLE without n_states, neighborhood and symmetries");
        ok = 0;
    }
    if (ok)
        table->neighbours = r.hood->neighbours;
    heapFree(r.variables);
    if (!ok)
        ruleTableRelease(table);
    return ok;
}
