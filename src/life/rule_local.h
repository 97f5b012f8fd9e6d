// The rule reader's own parts, shared by its stages: what a rule's text says
// before its table is built, the refusal each stage words, and the canonical
// name each stage writes its part of. rule_text.cpp tells the forms apart and
// calls the others. Only the life area and its tests include this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "life/life.h"
#include "life/states.h"

enum RuleFormKind { FORM_MOORE, FORM_VON_NEUMANN, FORM_HEXAGONAL, FORM_MAP };

// What a rule's text says before the table is built.
struct RuleForm {
    int kind;                // RuleFormKind
    uint16_t birth[9];       // per neighbour count, the set of its configurations
    uint16_t survival[9];
    uint8_t map[512];        // FORM_MAP: the table itself
};

// ---- The reader's tools (rule_tools.cpp) ----------------------------------------------
// Where a refusal goes: the caller's buffer (null or empty: nowhere).
struct RuleRefusal {
    char* text;
    size_t size;
    char quoted[64];  // the rule as given, cut short and made printable
};
// The rule as given, cut short and made printable, into out->quoted.
void ruleQuote(RuleRefusal* out, const char* text, size_t size);
// Writes "rule \"<quoted>\" " and the formatted rest, cut to the buffer.
void ruleRefuse(RuleRefusal* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// textReadNumber on the text from *at to end, *at moved past the digits.
int ruleReadNumber(const char** at, const char* end, int64_t cap, int64_t* value);
// The canonical name as it is written, cut at the end of its room.
struct RuleName {
    char* at;
    char* end;  // room for the terminator stays after end
};
void ruleNamePut(RuleName* name, const char* s);
// The value in decimal, with its sign always when sign is set ("+5", "-2").
void ruleNamePutNumber(RuleName* name, int32_t value, int sign);

// ---- B/S digit sets and Hensel's letters (rule_hensel.cpp) ------------------------------
// The text between p and end as two halves, B and S in either order or digits alone
// survival first, into form's sets; form->kind names the neighbourhood already.
int ruleReadHalves(const char* p, const char* end, RuleForm* form, RuleRefusal* out);
// The 512-entry table of a form other than FORM_MAP.
void ruleHalvesTable(const RuleForm* form, uint8_t next[512]);
// "B<counts>/S<counts>" in canonical Hensel form, "V" or "H" after it for those neighbourhoods.
void ruleNameHalves(RuleName* name, const RuleForm* form);

// ---- MAP strings (rule_map.cpp) -----------------------------------------------------------
// The 86 base64 characters after "MAP" (optionally "==" after them) into form->map.
int ruleReadMap(const char* p, const char* end, RuleForm* form, RuleRefusal* out);
// "MAP" and the table in 86 base64 characters.
void ruleNameMap(RuleName* name, const uint8_t next[512]);

// ---- Bounded grids (rule_grid.cpp) --------------------------------------------------------
// The suffix after ':' into *grid.
int ruleReadGrid(const char* p, const char* end, LifeGridShape* grid, RuleRefusal* out);
// ":P30,20", ":T30+5,20" and the like; nothing for LIFE_UNBOUNDED.
void ruleNameGrid(RuleName* name, const LifeGridShape* grid);

// ---- Multi-state rules ------------------------------------------------------------------
// Generations (rule_generations.cpp) and Larger than Life (rule_larger.cpp): whether the
// text (trimmed, printable, suffix and all) has the family's shape, and the reading of it.
int ruleLooksGenerations(const char* text, size_t size);
int ruleReadGenerations(const char* text, size_t size, StatesRule* rule, RuleRefusal* out);
int ruleLooksLarger(const char* text, size_t size);
int ruleReadLarger(const char* text, size_t size, StatesRule* rule, RuleRefusal* out);

// The lines of a .rule file's section, each without the blanks around it; LF, CRLF and
// a lone CR end a line. number counts from the line before the first.
struct RuleLines {
    const char* text;
    size_t size;
    size_t at;
    int32_t number;
};
int ruleNextLine(RuleLines* lines, const char** line, size_t* length);

// Rule trees (rule_tree.cpp): nodes added one at a time, an equal node found again
// instead of added twice. Node offsets are index times states, as StatesTree keeps them.
enum : uint32_t { TREE_NO_NODE = UINT32_MAX };
struct TreeBuilder {
    int32_t states;
    int32_t neighbours;
    uint32_t* next;    // heap: nodes * states entries
    uint8_t* levels;   // heap: the level of each node, 1 at the last variable
    int32_t nodes;
    int32_t room;
    uint32_t* slots;   // heap: open addressing over node indices, UINT32_MAX free
    uint32_t slotCount;
};
void treeBuilderInit(TreeBuilder* builder, int32_t states, int32_t neighbours);
void treeBuilderRelease(TreeBuilder* builder);
// The offset of the node of `level` with these children (states of them), added when new;
// TREE_NO_NODE when memory runs out or the tree would pass STATES_TREE_ENTRIES_MAX.
uint32_t treeBuilderNode(TreeBuilder* builder, int32_t level, const uint32_t* children);
// The tree with its root, the builder's nodes moved into it and the builder released;
// null when memory runs out.
StatesTree* treeBuilderFinish(TreeBuilder* builder, uint32_t root);
void statesTreeHold(StatesTree* tree);
void statesTreeRelease(StatesTree* tree);
// A @TREE section's text (its first line numbered line0 + 1): the tree, or null with
// the refusal.
StatesTree* ruleReadTree(const char* text, size_t size, int32_t line0, RuleRefusal* out);

// Rule tables (rule_table.cpp, rule_table_compile.cpp): a @TABLE section read into its
// transitions, each neighbourhood given in the tree's order as one set of states per
// cell, every symmetry and every binding of the variables written out; then compiled
// into the tree that answers as the first matching transition does, the cell kept as
// it is where none matches.
enum { TABLE_SETS_MAX = 1 << 16, TABLE_TRANSITIONS_MAX = 1 << 20 };
struct TableTransition {
    uint16_t sets[9];  // indices into RuleTable::sets, one per tree variable
    uint8_t output;
};
struct TableSet {
    uint64_t bits[4];
};
struct RuleTable {
    int32_t states;
    int32_t neighbours;      // of the tree: 4 or 8
    TableTransition* transitions; // heap
    int32_t count, room;
    TableSet* sets;          // heap; set 0 holds every state
    int32_t setCount, setRoom;
};
int ruleReadTable(const char* text, size_t size, int32_t line0, RuleTable* table, RuleRefusal* out);
void ruleTableRelease(RuleTable* table);
// The set's index, added when new: -1 when memory runs out or there are too many.
int32_t ruleTableSet(RuleTable* table, const TableSet* set);
// 1 with a transition added; 0 when memory runs out or TABLE_TRANSITIONS_MAX is passed.
int ruleTableAdd(RuleTable* table, const TableTransition* transition);
StatesTree* ruleCompileTable(const RuleTable* table, RuleRefusal* out);

// von Neumann's family (rule_jvn.cpp): 1, 2, ... for a name of it ("JvN29",
// "Nobili32", "Hutton32"), else 0; and the rule tree of that one, or null with
// the refusal.
int ruleJvnFamily(const char* name, size_t length);
StatesTree* ruleJvnTree(int family, RuleRefusal* out);
// Hutton's rule (rule_hutton.cpp): the next state of c with neighbours nb
// (east, north, west, south); and a class of the states a neighbour on `side`
// may show, the next state depending on that neighbour only through it.
int ruleHuttonNext(int c, const int nb[4]);
int ruleHuttonClass(int side, int s);

// .rule files (rule_file.cpp): the text of the rule `name` (its @RULE line naming it
// exactly) read into a tree from its first @TABLE or @TREE section. 1 with *tree; 0
// with the refusal; -1 when the text has neither section, so that the search for the
// rule goes on.
int ruleReadFile(const char* text, size_t size, const char* name, StatesTree** tree, RuleRefusal* out);
// The rules this program ships, by name (rules_builtin.cpp): their .rule text, or null.
const char* ruleBuiltinText(const char* name);
// Whether name is one a .rule file may have: letters, digits, '-' and '_', at most 100.
int ruleNameIsFileName(const char* name, size_t length);
// Looks for the rule `name` (a valid file name) where StatesRulePlaces and source say, in
// their order: 1 with *tree (its source kept in it), 0 with the refusal.
int ruleFind(const char* name, const StatesRuleSource* source, StatesTree** tree, RuleRefusal* out);
