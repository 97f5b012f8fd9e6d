// A rule table's store: its input sets, each kept once, and its transitions,
// both growing by doubling up to the limits the reader is held to.
#include <cstring>

#include "life/rule_local.h"
#include "platform/platform.h"

int32_t ruleTableSet(RuleTable* table, const TableSet* set)
{
    for (int32_t i = 0; i < table->setCount; i++)
        if (memcmp(&table->sets[i], set, sizeof *set) == 0)
            return i;
    if (table->setCount == TABLE_SETS_MAX)
        return -1;
    if (table->setCount == table->setRoom) {
        const int32_t room = table->setRoom ? table->setRoom * 2 : 64;
        TableSet* sets = (TableSet*)heapRealloc(table->sets, (size_t)room * sizeof(TableSet));
        if (!sets)
            return -1;
        table->sets = sets;
        table->setRoom = room;
    }
    table->sets[table->setCount] = *set;
    return table->setCount++;
}

int ruleTableAdd(RuleTable* table, const TableTransition* transition)
{
    if (table->count == TABLE_TRANSITIONS_MAX)
        return 0;
    if (table->count == table->room) {
        const int32_t room = table->room ? table->room * 2 : 256;
        TableTransition* t = (TableTransition*)heapRealloc(table->transitions, (size_t)room * sizeof(TableTransition));
        if (!t)
            return 0;
        table->transitions = t;
        table->room = room;
    }
    table->transitions[table->count++] = *transition;
    return 1;
}

void ruleTableRelease(RuleTable* table)
{
    heapFree(table->transitions);
    heapFree(table->sets);
    *table = RuleTable{};
}
