// Several workers draw one frame: the screen's rows are split into bands, one
// per worker; every worker walks the same cells in the same order and merges
// spans into its own rows only, so each row sees exactly the insertions, in
// the order, one worker would make, and the frame is the same bytes. The
// threads are started once and woken for every job; nothing is allocated and
// no thread made while frames are drawn.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include <pthread.h>

#include "render/render_local.h"
#include "spans/spans.h"

__thread int32_t bandFirstRow = 0;
__thread int32_t bandEndRow = INT32_MAX;
__thread int32_t bandWorker = 0;

// Bands as chosen for the frame being drawn; written by renderBandsBalance on
// the calling thread between jobs, read by the workers.
static int32_t bandStart[RENDER_MAX_WORKERS + 1];
static int32_t workerCount = 1;

// Seconds each worker spent on jobs since the last balance: each worker adds
// to its own entry, read by renderBandsBalance once every job is done. Per
// band, the seconds a unit of row weight cost, smoothed over frames; 0 while
// unknown. Written and read by renderBandsBalance.
static double workerSeconds[RENDER_MAX_WORKERS];
static double bandRate[RENDER_MAX_WORKERS];

// The job being run, its number (a worker wakes for a new one) and how many
// helper threads are still at it; guarded by `lock`.
static std::mutex lock;
static std::condition_variable jobPosted;
static std::condition_variable jobDone;
static void (*currentJob)() = nullptr;
static uint64_t jobNumber = 0;
// The job number when the helpers were started: a helper runs the jobs
// posted after it.
static uint64_t jobsBeforeStart = 0;
static int32_t running = 0;
static bool stopping = false;
// Helper threads alive. A program that ends without stopping them (a failed
// start-up releases nothing) stops them on its way out, before the lock and
// the conditions they wait on are destroyed.
static int32_t helpersAlive = 0;

static void stopAtExit()
{
    renderWorkersStop();
}

static void enterBand(int32_t worker)
{
    bandFirstRow = bandStart[worker];
    bandEndRow = bandStart[worker + 1];
    bandWorker = worker;
    spanPoolUse(worker);
}

static void runTimed(int32_t worker, void (*job)())
{
    const auto start = std::chrono::steady_clock::now();
    job();
    workerSeconds[worker] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static void* helperLoop(void* argument)
{
    const int32_t worker = (int32_t)(intptr_t)argument;
    uint64_t seen = jobsBeforeStart;
    for (;;) {
        void (*job)();
        {
            std::unique_lock<std::mutex> held(lock);
            jobPosted.wait(held, [&] { return stopping || jobNumber != seen; });
            if (stopping) {
                if (--helpersAlive == 0)
                    jobDone.notify_all();
                return nullptr;
            }
            seen = jobNumber;
            job = currentJob;
        }
        enterBand(worker);
        runTimed(worker, job);
        std::lock_guard<std::mutex> held(lock);
        if (--running == 0)
            jobDone.notify_one();
    }
}

int32_t renderWorkerCount()
{
    return workerCount;
}

static void splitEvenly(int32_t count)
{
    for (int32_t i = 0; i <= count; i++)
        bandStart[i] = (int32_t)((int64_t)spanTableRows * i / count);
    bandStart[count] = INT32_MAX;
    bandStart[0] = INT32_MIN;
}

int renderWorkersStart(int32_t count)
{
    renderWorkersStop();
    if (count < 1 || count > RENDER_MAX_WORKERS || !spanPoolsSetCount(count))
        return 0;
    static bool stopsAtExit = false;
    if (!stopsAtExit && atexit(stopAtExit) == 0)
        stopsAtExit = true;
    splitEvenly(count);
    for (int32_t i = 0; i < RENDER_MAX_WORKERS; i++)
        workerSeconds[i] = bandRate[i] = 0.0;
    stopping = false;
    jobsBeforeStart = jobNumber;
    // Threads are detached; stopping waits for them to leave instead.
    for (int32_t i = 1; i < count; i++) {
        pthread_t helper;
        if (pthread_create(&helper, nullptr, helperLoop, (void*)(intptr_t)i) != 0) {
            renderWorkersStop();
            spanPoolsSetCount(1);
            return 0;
        }
        pthread_detach(helper);
        std::lock_guard<std::mutex> held(lock);
        helpersAlive += 1;
    }
    workerCount = count;
    enterBand(0);
    return 1;
}

void renderWorkersStop()
{
    {
        std::unique_lock<std::mutex> held(lock);
        stopping = true;
        jobPosted.notify_all();
        jobDone.wait(held, [] { return helpersAlive == 0; });
        stopping = false;
    }
    workerCount = 1;
    bandStart[0] = INT32_MIN;
    bandStart[1] = INT32_MAX;
    enterBand(0);
}

// A row weighs its spans of the last frame, plus a little for being a row at
// all; the rows near the horizon are the heavy ones. A unit of weight costs
// what it cost the band that drew it last time, so a band that took longer
// than its weight says hands rows to the others. Only the split follows the
// clock: every split draws the same frame.
static int64_t rowWeight(int32_t row)
{
    return spanTable[row].count + 4;
}

void renderBandsBalance()
{
    if (workerCount == 1 || spanTableRows <= 0)
        return;
    double known = 0.0;
    int32_t knownCount = 0;
    int64_t weights[RENDER_MAX_WORKERS];
    for (int32_t band = 0; band < workerCount; band++) {
        const int32_t first = bandStart[band] > 0 ? bandStart[band] : 0;
        const int32_t end = bandStart[band + 1] < spanTableRows ? bandStart[band + 1] : spanTableRows;
        int64_t weight = 0;
        for (int32_t row = first; row < end; row++)
            weight += rowWeight(row);
        weights[band] = weight;
        if (weight > 0 && workerSeconds[band] > 0.0) {
            const double rate = workerSeconds[band] / (double)weight;
            bandRate[band] = bandRate[band] > 0.0 ? 0.5 * (bandRate[band] + rate) : rate;
        }
        if (bandRate[band] > 0.0) {
            known += bandRate[band];
            knownCount += 1;
        }
    }
    const double fallback = knownCount > 0 ? known / knownCount : 1.0;
    double rates[RENDER_MAX_WORKERS];
    int32_t oldStart[RENDER_MAX_WORKERS + 1];
    double total = 0.0;
    for (int32_t band = 0; band < workerCount; band++) {
        rates[band] = bandRate[band] > 0.0 ? bandRate[band] : fallback;
        total += (double)weights[band] * rates[band];
        oldStart[band] = bandStart[band];
        workerSeconds[band] = 0.0;
    }
    oldStart[workerCount] = bandStart[workerCount];

    double sum = 0.0;
    int32_t band = 1;
    int32_t bandOfRow = 0;
    for (int32_t row = 0; row < spanTableRows && band < workerCount; row++) {
        while (bandOfRow + 1 < workerCount && row >= oldStart[bandOfRow + 1])
            bandOfRow++;
        sum += (double)rowWeight(row) * rates[bandOfRow];
        while (band < workerCount && sum * workerCount >= total * band)
            bandStart[band++] = row + 1;
    }
    while (band < workerCount)
        bandStart[band++] = spanTableRows;
    bandStart[0] = INT32_MIN;
    bandStart[workerCount] = INT32_MAX;
}

void renderWorkersRun(void (*job)())
{
    if (workerCount == 1) {
        job();
        return;
    }
    {
        std::lock_guard<std::mutex> held(lock);
        currentJob = job;
        running = workerCount - 1;
        jobNumber += 1;
    }
    jobPosted.notify_all();
    enterBand(0);
    runTimed(0, job);
    std::unique_lock<std::mutex> held(lock);
    jobDone.wait(held, [] { return running == 0; });
}
