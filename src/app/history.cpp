// Going back: generation 0 of the world loaded last (R) and the generations
// before the one shown (Backspace), each kept as a snapshot before its step,
// up to HISTORY_SLOTS of them and historyBudget bytes, the oldest let go
// first. Snapshots let go are kept as spares, within the same budget, and
// filled again by the next ones: once the way back is as long as it gets, or
// after going back, keeping a generation takes no new memory.
#include <cstdio>
#include <cstring>

#include "app/app.h"

enum { START_PENDING = 0, START_KEPT, START_LOST };
static const size_t historyBudget = (size_t)64 << 20;

struct HistorySlot {
    int64_t generation;
    WorldSnapshot* snapshot;
};

static struct {
    int32_t start; // START_*: pending until the world first steps from generation 0
    WorldSnapshot* startSnapshot;
    HistorySlot* slots; // a ring of HISTORY_SLOTS, allocated at the first step
    int32_t first, count;
    size_t bytes;        // held by the slots' snapshots and the spares
    WorldSnapshot* spares; // let go, to be filled again
} history;

static int32_t slotAt(int32_t k)
{
    return (history.first + k) % HISTORY_SLOTS;
}

// A snapshot no longer wanted becomes a spare while the budget allows.
static void spare(WorldSnapshot* snapshot)
{
    if (history.bytes <= historyBudget) {
        snapshot->next = history.spares;
        history.spares = snapshot;
        return;
    }
    history.bytes -= worldSnapshotBytes(snapshot);
    worldSnapshotRelease(snapshot);
}

static WorldSnapshot* takeSpare()
{
    WorldSnapshot* snapshot = history.spares;
    if (snapshot) {
        history.spares = snapshot->next;
        history.bytes -= worldSnapshotBytes(snapshot);
    }
    return snapshot;
}

// Lets spares go while the kept bytes and `coming` more exceed the budget.
static void releaseSparesOver(size_t coming)
{
    while (history.spares && history.bytes + coming > historyBudget)
        worldSnapshotRelease(takeSpare());
}

static void dropOldest()
{
    spare(history.slots[history.first].snapshot);
    history.slots[history.first].snapshot = nullptr;
    history.first = (history.first + 1) % HISTORY_SLOTS;
    history.count--;
}

static void dropNewest()
{
    HistorySlot* slot = &history.slots[slotAt(history.count - 1)];
    spare(slot->snapshot);
    slot->snapshot = nullptr;
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
    while (history.spares) {
        WorldSnapshot* next = history.spares->next;
        history.bytes -= worldSnapshotBytes(history.spares);
        worldSnapshotRelease(history.spares);
        history.spares = next;
    }
    worldSnapshotRelease(history.startSnapshot);
    history.startSnapshot = nullptr;
    history.start = START_PENDING;
}

void historyRelease()
{
    historyReset();
    heapFree(history.slots);
    history.slots = nullptr;
}

void historyEdited()
{
    if (worldGeneration(app.world) != 0)
        return;
    worldSnapshotRelease(history.startSnapshot);
    history.startSnapshot = nullptr;
    history.start = START_PENDING;
}

// A generation that cannot be kept breaks the chain: Backspace could not go
// back past it one generation at a time, so what came before goes too.
void historyKeep()
{
    if (history.start == START_PENDING) {
        history.startSnapshot = worldSnapshotTake(app.world, nullptr);
        history.start = history.startSnapshot ? START_KEPT : START_LOST;
    }
    if (!history.slots)
        history.slots = (HistorySlot*)heapCalloc(HISTORY_SLOTS, sizeof(HistorySlot));
    if (!history.slots)
        return;
    WorldSnapshot* snapshot = worldSnapshotTake(app.world, takeSpare());
    size_t bytes = snapshot ? worldSnapshotBytes(snapshot) : 0;
    if (!snapshot || bytes > historyBudget) {
        worldSnapshotRelease(snapshot);
        forgetEarlier();
        return;
    }
    // Room: the spares go first, then the oldest generations; one let go
    // while the budget holds stays a spare for the next step.
    releaseSparesOver(bytes);
    while (history.count > 0 && (history.count == HISTORY_SLOTS || history.bytes + bytes > historyBudget)) {
        dropOldest();
        releaseSparesOver(bytes);
    }
    const int32_t index = slotAt(history.count);
    history.slots[index] = {worldGeneration(app.world), snapshot};
    history.bytes += bytes;
    history.count++;
}

void historyDiscardNewest()
{
    if (history.count > 0)
        dropNewest();
}

// The restored world replaces the one shown only once it is whole.
static int restore(const WorldSnapshot* snapshot)
{
    World* world = worldSnapshotRestore(snapshot);
    if (!world) {
        showNotice("Not gone back: memory ran out");
        return 0;
    }
    worldRelease(app.world);
    app.world = world;
    return 1;
}

void historyBack()
{
    if (history.count == 0) {
        showNotice(worldGeneration(app.world) > 0 ? "No earlier generation kept" : "This is generation 0");
        return;
    }
    if (restore(history.slots[slotAt(history.count - 1)].snapshot))
        dropNewest();
}

void historyRestart()
{
    if (history.start == START_LOST) {
        showNotice("Generation 0 was not kept: memory ran out");
        return;
    }
    if (history.start == START_KEPT && !restore(history.startSnapshot))
        return;
    forgetEarlier();
    app.autoIterate = 0;
    // The grown pattern's framing would show generation 0 as a speck.
    if (!app.world->fixedView)
        cameraFrame();
}

int historySaveStart(const char* folder, char* reason, size_t size)
{
    if (history.start == START_PENDING)
        return worldSave(app.world, folder, reason, size);
    World* start = history.start == START_KEPT ? worldSnapshotRestore(history.startSnapshot) : nullptr;
    if (!start) {
        snprintf(reason, size, "generation 0 was not kept: memory ran out");
        return 0;
    }
    const int ok = worldSave(start, folder, reason, size);
    worldRelease(start);
    return ok;
}
