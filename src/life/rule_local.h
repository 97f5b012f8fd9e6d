// The rule reader's own parts, shared by its stages: what a rule's text says
// before its table is built, the refusal each stage words, and the canonical
// name each stage writes its part of. rule_text.cpp tells the forms apart and
// calls the others. Only the life area and its tests include this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "life/life.h"

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
