// A dropped file read on a thread of its own, so that a big pattern never
// holds the window: frames go on with the world shown while the new one is
// read, and the frame tick takes it once the thread is done.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "pattern/pattern.h"

// One load, owned by the thread and by the program until each lets it go;
// the last to let go frees it, so a stopped load needs nobody to wait for it.
struct LoadJob {
    PatternProgress progress;
    std::atomic<int32_t> owners;
    int32_t finished; // under the signal's lock
    World* world;     // the thread's until finished, then the taker's
    PatternReport report;
    PatternError error;
    char path[4096];
};

// The load under way, null when none; the threads still running, a stopped
// load's among them, under the signal's lock. The signal lives as long as
// the program: a stopped load's thread may still use it after every release.
static LoadJob* job;
static int32_t running;
static ThreadSignal* finishedSignal;

static void letGo(LoadJob* load)
{
    if (load->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        worldRelease(load->world);
        heapFree(load);
    }
}

static void loadRun(void* argument)
{
    LoadJob* load = (LoadJob*)argument;
    World* world = patternLoadWorld(load->path, &load->report, &load->error, &load->progress);
    signalLock(finishedSignal);
    load->world = world;
    load->finished = 1;
    running--;
    signalWakeAll(finishedSignal);
    signalUnlock(finishedSignal);
    letGo(load);
}

int loadStart(const char* path)
{
    if (job || !platformLoadsBeside() || strlen(path) >= sizeof job->path)
        return 0;
    if (!finishedSignal)
        finishedSignal = signalMake();
    LoadJob* load = (LoadJob*)heapCalloc(1, sizeof(LoadJob));
    if (!finishedSignal || !load) {
        heapFree(load);
        return 0;
    }
    strcpy(load->path, path);
    load->owners.store(2, std::memory_order_relaxed);
    signalLock(finishedSignal);
    running++;
    signalUnlock(finishedSignal);
    if (!threadStart(loadRun, load)) {
        signalLock(finishedSignal);
        running--;
        signalUnlock(finishedSignal);
        heapFree(load);
        return 0;
    }
    job = load;
    return 1;
}

const char* loadPath()
{
    return job ? job->path : nullptr;
}

static int finished()
{
    signalLock(finishedSignal);
    const int done = job->finished;
    signalUnlock(finishedSignal);
    return done;
}

int loadTake(World** world, PatternReport* report, PatternError* error)
{
    if (!job || !finished())
        return 0;
    *world = job->world;
    job->world = nullptr;
    *report = job->report;
    *error = job->error;
    letGo(job);
    job = nullptr;
    return 1;
}

void loadStage(char* text, size_t size)
{
    if (!job) {
        snprintf(text, size, "%s", "");
        return;
    }
    const int32_t stage = job->progress.stage.load(std::memory_order_relaxed);
    const int64_t done = job->progress.done.load(std::memory_order_relaxed);
    const int64_t total = job->progress.total.load(std::memory_order_relaxed);
    if (stage == PATTERN_PLACING && total > 0)
        snprintf(text, size, "%d %% of %lld cells placed", (int)(done * 100 / total), (long long)total);
    else
        snprintf(text, size, "%s", stage == PATTERN_PARSING ? "reading its cells" : "reading the file");
}

void loadCancel()
{
    if (!job)
        return;
    job->progress.cancel.store(1, std::memory_order_relaxed);
    letGo(job);
    job = nullptr;
}

void loadWait()
{
    if (!finishedSignal)
        return;
    signalLock(finishedSignal);
    while (running > 0)
        signalWait(finishedSignal);
    signalUnlock(finishedSignal);
}
