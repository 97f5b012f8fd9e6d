// Going back: generation 0 of the pattern last loaded (R) and the generations
// before the one shown (Backspace), kept as each step is taken. The board
// keeps up to HISTORY_SLOTS generations as bits; a universe keeps the live
// tiles of each (universeSnapshotTake) up to HISTORY_SLOTS and historyBudget
// bytes, the oldest let go first.
#include <cstdio>
#include <cstring>

#include "app/app.h"

enum { START_PENDING = 0, START_KEPT, START_LOST };
static const size_t historyBudget = (size_t)64 << 20;

struct HistorySlot {
    int32_t generation;
    UniverseSnapshot* universe; // on a universe; the board's bits are in boards[slot]
};

static struct {
    int32_t start; // START_*: pending until the world first steps from generation 0
    LifeGrid startGrid;
    UniverseSnapshot* startUniverse;
    HistorySlot* slots;             // a ring of HISTORY_SLOTS, allocated at the first step
    uint64_t (*boards)[LIFE_SIZE];  // bit y of boards[slot][x]: cell (x, y) alive
    int32_t first, count;
    size_t bytes;                   // held by the slots' universe snapshots
    // The last snapshot let go, filled again by the next: once the budget is
    // reached, keeping a generation takes no new memory.
    UniverseSnapshot* spare;
} history;

static int32_t slotAt(int32_t k)
{
    return (history.first + k) % HISTORY_SLOTS;
}

static void dropOldest()
{
    HistorySlot* slot = &history.slots[history.first];
    if (slot->universe) {
        history.bytes -= universeSnapshotBytes(slot->universe);
        universeSnapshotRelease(history.spare);
        history.spare = slot->universe;
        slot->universe = nullptr;
    }
    history.first = (history.first + 1) % HISTORY_SLOTS;
    history.count--;
}

static void dropNewest()
{
    HistorySlot* slot = &history.slots[slotAt(history.count - 1)];
    if (slot->universe) {
        history.bytes -= universeSnapshotBytes(slot->universe);
        universeSnapshotRelease(slot->universe);
        slot->universe = nullptr;
    }
    history.count--;
}

static void forgetEarlier()
{
    while (history.count > 0)
        dropOldest();
}

void historyReset()
{
    forgetEarlier();
    universeSnapshotRelease(history.spare);
    history.spare = nullptr;
    universeSnapshotRelease(history.startUniverse);
    history.startUniverse = nullptr;
    history.start = START_PENDING;
}

void historyRelease()
{
    historyReset();
    heapFree(history.slots);
    heapFree(history.boards);
    history.slots = nullptr;
    history.boards = nullptr;
}

static void keepStart()
{
    if (app.universe) {
        history.startUniverse = universeSnapshotTake(app.universe, nullptr);
        history.start = history.startUniverse ? START_KEPT : START_LOST;
    } else {
        history.startGrid = *app.grid;
        history.start = START_KEPT;
    }
}

void historyEdited()
{
    if (app.generationCount != 0)
        return;
    universeSnapshotRelease(history.startUniverse);
    history.startUniverse = nullptr;
    history.start = START_PENDING;
}

// A generation that cannot be kept breaks the chain: Backspace could not go
// back past it one generation at a time, so what came before goes too.
void historyKeep()
{
    if (history.start == START_PENDING)
        keepStart();
    if (!history.slots)
        history.slots = (HistorySlot*)heapCalloc(HISTORY_SLOTS, sizeof(HistorySlot));
    if (!app.universe && !history.boards)
        history.boards = (uint64_t(*)[LIFE_SIZE])heapAlloc((size_t)HISTORY_SLOTS * sizeof *history.boards);
    if (!history.slots || (!app.universe && !history.boards))
        return;

    UniverseSnapshot* snapshot = nullptr;
    size_t bytes = 0;
    if (app.universe) {
        snapshot = universeSnapshotTake(app.universe, history.spare);
        history.spare = nullptr;
        if (!snapshot || (bytes = universeSnapshotBytes(snapshot)) > historyBudget) {
            universeSnapshotRelease(snapshot);
            forgetEarlier();
            return;
        }
        while (history.count > 0 && history.bytes + bytes > historyBudget)
            dropOldest();
    }
    if (history.count == HISTORY_SLOTS)
        dropOldest();
    const int32_t index = slotAt(history.count);
    history.slots[index].generation = app.generationCount;
    history.slots[index].universe = snapshot;
    history.bytes += bytes;
    history.count++;
    if (!app.universe) {
        uint64_t* bits = history.boards[index];
        for (int32_t x = 0; x < LIFE_SIZE; x++) {
            uint64_t column = 0;
            for (int32_t y = 0; y < LIFE_SIZE; y++)
                column |= (uint64_t)(app.grid->cells[x * LIFE_SIZE + y] == LIFE_ALIVE) << y;
            bits[x] = column;
        }
    }
}

void historyDiscardNewest()
{
    if (history.count > 0)
        dropNewest();
}

// The restored universe replaces the running one only once it is whole.
static int restoreUniverse(const UniverseSnapshot* snapshot)
{
    Universe* universe = universeSnapshotRestore(snapshot);
    if (!universe) {
        showNotice("Not gone back: memory ran out");
        return 0;
    }
    universeRelease(app.universe);
    app.universe = universe;
    return 1;
}

void historyBack()
{
    if (history.count == 0) {
        showNotice(app.generationCount > 0 ? "No earlier generation kept" : "This is generation 0");
        return;
    }
    const int32_t index = slotAt(history.count - 1);
    const HistorySlot* slot = &history.slots[index];
    if (app.universe) {
        if (!restoreUniverse(slot->universe))
            return;
    } else {
        const uint64_t* bits = history.boards[index];
        for (int32_t x = 0; x < LIFE_SIZE; x++) {
            for (int32_t y = 0; y < LIFE_SIZE; y++)
                app.grid->cells[x * LIFE_SIZE + y] = (bits[x] >> y) & 1 ? LIFE_ALIVE : LIFE_DEAD;
        }
    }
    app.generationCount = slot->generation;
    dropNewest();
}

void historyRestart()
{
    if (history.start == START_LOST) {
        showNotice("Generation 0 was not kept: memory ran out");
        return;
    }
    if (history.start == START_KEPT) {
        if (app.universe) {
            if (!restoreUniverse(history.startUniverse))
                return;
        } else {
            *app.grid = history.startGrid;
        }
    }
    forgetEarlier();
    app.generationCount = 0;
    app.autoIterate = 0;
}
