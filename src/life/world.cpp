// A world's snapshots: the engine's own record of what it kept, behind a small
// one naming the engine, so that whoever keeps them need not know it; and its
// cells with their states, from whichever engine holds them.
#include "life/states.h"
#include "life/world.h"
#include "platform/platform.h"

WorldSnapshot* worldSnapshotTake(const World* world, WorldSnapshot* reuse)
{
    if (reuse && reuse->engine != world->engine) {
        worldSnapshotRelease(reuse);
        reuse = nullptr;
    }
    WorldSnapshot* snapshot = reuse ? reuse : (WorldSnapshot*)heapAlloc(sizeof(WorldSnapshot));
    if (!snapshot)
        return nullptr;
    // The engine lets go of what it cannot fill again.
    void* kept = world->engine->snapshotTake(world, reuse ? reuse->kept : nullptr);
    if (!kept) {
        heapFree(snapshot);
        return nullptr;
    }
    *snapshot = {world->engine, kept, nullptr};
    return snapshot;
}

World* worldSnapshotRestore(const WorldSnapshot* snapshot)
{
    return snapshot->engine->snapshotRestore(snapshot->kept);
}

size_t worldSnapshotBytes(const WorldSnapshot* snapshot)
{
    return sizeof(WorldSnapshot) + snapshot->engine->snapshotBytes(snapshot->kept);
}

void worldSnapshotRelease(WorldSnapshot* snapshot)
{
    if (!snapshot)
        return;
    snapshot->engine->snapshotRelease(snapshot->kept);
    heapFree(snapshot);
}

struct StateVisit {
    WorldStateVisit visit;
    void* context;
};

static void visitLive(void* context, int64_t x, int64_t y)
{
    const StateVisit* v = (const StateVisit*)context;
    v->visit(v->context, x, y, 1);
}

int64_t worldForEachState(const World* world, WorldStateVisit visit, void* context)
{
    if (statesWorldRule(world))
        return statesWorldForEachState(world, visit, context);
    StateVisit v = {visit, context};
    return worldForEachCell(world, visitLive, &v);
}
