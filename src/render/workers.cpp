// Several workers draw one frame: the screen's rows are split into bands, one
// per worker; every worker walks the same cells in the same order and merges
// spans into its own rows only, so each row sees exactly the insertions, in
// the order, one worker would make, and the frame is the same bytes. The
// threads are started once and woken for every job; nothing is allocated and
// no thread made while frames are drawn. They outlive a run, asleep, for the
// next run in the same process: the page starts the program again in the
// task the last run ended in, and a browser gives a thread its worker (a
// finished thread's, or a new one) only once its main thread has returned to
// it, which the run would never do while waiting for that thread.
#include <atomic>
#include <chrono>
#include <cstdlib>

#include "platform/platform.h"
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"

// One record per worker. Worker 0 is the thread that runs the jobs; its band
// is the whole table while it is the only worker. Written by the calling
// thread between jobs (the rows) and by each worker during its own job.
static RenderBand bands[RENDER_MAX_WORKERS];
static int32_t workerCount = 1;

// Per band, the seconds a unit of row weight cost, smoothed over frames; 0
// while unknown. Written and read by renderBandsBalance.
static double bandRate[RENDER_MAX_WORKERS];

// The job being run and its number: a helper wakes for a new number. How many
// helpers are still at it, and whether they are to stop. A helper looks at
// the number for a while before it sleeps on `signal`, and the calling
// thread looks at `running` before it sleeps: back-to-back jobs then pass
// without a trip through the system. The job and its context are written
// before the number is raised and read after it is seen.
static ThreadSignal* signal = nullptr;
static void (*currentJob)(RenderBand*, const void*) = nullptr;
static const void* currentContext = nullptr;
static std::atomic<uint64_t> jobNumber{0};
static std::atomic<int32_t> running{0};
static std::atomic<int32_t> stopping{0};
// The job number when the helpers were started: a helper runs the jobs
// posted after it, however late its thread gets going.
static uint64_t jobsBeforeStart = 0;
// Helper threads alive. A program that ends without stopping them (a failed
// start-up releases nothing) stops them on its way out, before what they use
// is gone.
static std::atomic<int32_t> helpersAlive{0};
// Helper threads started and not ended, kept between runs; written by the
// calling thread only.
static int32_t helpersMade = 0;

// How long a thread looks before it sleeps: longer than the next job or the
// last helper usually takes to come, far shorter than a frame.
static const std::chrono::microseconds lookFor(50);

// Whether a job after number `seen` was posted, or the helpers are to stop.
static bool jobPosted(uint64_t seen)
{
    return jobNumber.load(std::memory_order_acquire) != seen || stopping.load(std::memory_order_acquire);
}

static bool helpersDone(uint64_t)
{
    return running.load(std::memory_order_acquire) == 0;
}

// Looks until done(seen) or until lookFor has passed; returns done(seen).
static bool lookUntil(bool (*done)(uint64_t), uint64_t seen)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        for (int32_t i = 0; i < 64; i++) {
            if (done(seen))
                return true;
            threadPause();
        }
        if (std::chrono::steady_clock::now() - start > lookFor)
            return done(seen);
    }
}

// Ends the helper threads and waits until each is past its last use of
// the module's state.
static void helpersEnd()
{
    if (!signal)
        return;
    signalLock(signal);
    stopping.store(1, std::memory_order_release);
    signalWakeAll(signal);
    while (helpersAlive.load(std::memory_order_acquire) > 0)
        signalWait(signal);
    signalUnlock(signal);
    signalDrop(signal);
    signal = nullptr;
    helpersMade = 0;
}

static void stopAtExit()
{
    helpersEnd();
}

void renderBandSet(RenderBand* band, int32_t first, int32_t end)
{
    band->first = first < 0 ? 0 : first > spanTableRowCount() ? spanTableRowCount() : first;
    band->end = end > spanTableRowCount() ? spanTableRowCount() : end < band->first ? band->first : end;
    band->allRows = band->first == 0 && band->end == spanTableRowCount();
    band->pool = spanTablePool();
}

RenderBand* renderBand(int32_t worker)
{
    return &bands[worker];
}

static void runTimed(RenderBand* band, void (*job)(RenderBand*, const void*), const void* context)
{
    const auto start = std::chrono::steady_clock::now();
    job(band, context);
    band->seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Waits until the job number differs from `seen` or the helpers are to
// stop, looking for a while before sleeping.
static uint64_t awaitJob(uint64_t seen)
{
    if (lookUntil(jobPosted, seen))
        return jobNumber.load(std::memory_order_acquire);
    signalLock(signal);
    while (!jobPosted(seen))
        signalWait(signal);
    signalUnlock(signal);
    return jobNumber.load(std::memory_order_acquire);
}

static void helperLoop(void* argument)
{
    RenderBand* band = (RenderBand*)argument;
    uint64_t seen = jobsBeforeStart;
    for (;;) {
        seen = awaitJob(seen);
        if (stopping.load(std::memory_order_acquire))
            break;
        runTimed(band, currentJob, currentContext);
        if (running.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            signalLock(signal);
            signalWakeAll(signal);
            signalUnlock(signal);
        }
    }
    signalLock(signal);
    helpersAlive.fetch_sub(1, std::memory_order_acq_rel);
    signalWakeAll(signal);
    signalUnlock(signal);
}

int32_t renderWorkerCount()
{
    return workerCount;
}

static void splitEvenly(int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        renderBandSet(&bands[i], (int32_t)((int64_t)spanTableRowCount() * i / count),
            (int32_t)((int64_t)spanTableRowCount() * (i + 1) / count));
}

int renderWorkersStart(int32_t count)
{
    renderWorkersStop();
    if (count < 1 || count > RENDER_MAX_WORKERS)
        return 0;
    if (helpersMade != count - 1)
        helpersEnd();
    if (count == 1)
        return 1;
    if (helpersMade == 0) {
        static bool stopsAtExit = false;
        if (!stopsAtExit && atexit(stopAtExit) == 0)
            stopsAtExit = true;
        signal = signalMake();
        if (!signal)
            return 0;
        stopping.store(0, std::memory_order_release);
        jobsBeforeStart = jobNumber.load(std::memory_order_acquire);
        for (int32_t i = 1; i < count; i++) {
            helpersAlive.fetch_add(1, std::memory_order_acq_rel);
            if (!threadStart(helperLoop, &bands[i])) {
                helpersAlive.fetch_sub(1, std::memory_order_acq_rel);
                helpersEnd();
                return 0;
            }
        }
        helpersMade = count - 1;
    }
    for (int32_t i = 0; i < RENDER_MAX_WORKERS; i++) {
        bandRate[i] = 0.0;
        bands[i].seconds = 0.0;
    }
    splitEvenly(count);
    workerCount = count;
    return 1;
}

// The helpers sleep on until the next start or the program's end.
void renderWorkersStop()
{
    workerCount = 1;
    renderBandSet(&bands[0], 0, spanTableRowCount());
}

// A row weighs its spans of the last frame, plus a little for being a row at
// all; the rows near the horizon are the heavy ones. A unit of weight costs
// what it cost the band that drew it last time, so a band that took longer
// than its weight says hands rows to the others. Only the split follows the
// clock: every split draws the same frame.
static int64_t rowWeight(int32_t row)
{
    return spanTableRow(row)->count + 4;
}

void renderBandsBalance()
{
    if (workerCount == 1) {
        // The table may have been made since the band was last set.
        if (bands[0].end != spanTableRowCount() || !bands[0].allRows)
            renderBandSet(&bands[0], 0, spanTableRowCount());
        return;
    }
    if (spanTableRowCount() <= 0)
        return;
    double known = 0.0;
    int32_t knownCount = 0;
    int64_t weights[RENDER_MAX_WORKERS];
    for (int32_t band = 0; band < workerCount; band++) {
        int64_t weight = 0;
        for (int32_t row = bands[band].first; row < bands[band].end; row++)
            weight += rowWeight(row);
        weights[band] = weight;
        if (weight > 0 && bands[band].seconds > 0.0) {
            const double rate = bands[band].seconds / (double)weight;
            bandRate[band] = bandRate[band] > 0.0 ? 0.5 * (bandRate[band] + rate) : rate;
        }
        if (bandRate[band] > 0.0) {
            known += bandRate[band];
            knownCount += 1;
        }
    }
    const double fallback = knownCount > 0 ? known / knownCount : 1.0;
    double rates[RENDER_MAX_WORKERS];
    int32_t oldEnd[RENDER_MAX_WORKERS];
    double total = 0.0;
    for (int32_t band = 0; band < workerCount; band++) {
        rates[band] = bandRate[band] > 0.0 ? bandRate[band] : fallback;
        total += (double)weights[band] * rates[band];
        oldEnd[band] = bands[band].end;
        bands[band].seconds = 0.0;
    }

    int32_t starts[RENDER_MAX_WORKERS + 1];
    starts[0] = 0;
    double sum = 0.0;
    int32_t band = 1;
    int32_t bandOfRow = 0;
    for (int32_t row = 0; row < spanTableRowCount() && band < workerCount; row++) {
        while (bandOfRow + 1 < workerCount && row >= oldEnd[bandOfRow])
            bandOfRow++;
        sum += (double)rowWeight(row) * rates[bandOfRow];
        while (band < workerCount && sum * workerCount >= total * band)
            starts[band++] = row + 1;
    }
    while (band < workerCount)
        starts[band++] = spanTableRowCount();
    starts[workerCount] = spanTableRowCount();
    for (int32_t i = 0; i < workerCount; i++)
        renderBandSet(&bands[i], starts[i], starts[i + 1]);
}

void renderWorkersRun(void (*job)(RenderBand* band, const void* context), const void* context)
{
    if (workerCount == 1) {
        job(&bands[0], context);
        return;
    }
    currentJob = job;
    currentContext = context;
    running.store(workerCount - 1, std::memory_order_release);
    signalLock(signal);
    jobNumber.fetch_add(1, std::memory_order_acq_rel);
    signalWakeAll(signal);
    signalUnlock(signal);
    runTimed(&bands[0], job, context);
    if (lookUntil(helpersDone, 0))
        return;
    signalLock(signal);
    while (!helpersDone(0))
        signalWait(signal);
    signalUnlock(signal);
}

struct FrameJob {
    const RenderScene* scene;
    uint32_t* framebuffer;
};

// A band's rows are its worker's alone, so it draws them as soon as its own
// faces are in, without waiting for the others.
static void drawFrameBand(RenderBand* band, const void* context)
{
    const FrameJob* job = (const FrameJob*)context;
    const RenderScene* scene = job->scene;
    for (int32_t n = 0; n < scene->modelCount; n++) {
        const RenderModel* model = &scene->models[n];
        for (int32_t i = 0; i < model->placementCount; i++)
            for (int32_t k = 0; k < model->objectCount; k++)
                renderObject(band, &model->placements[i], scene->worldToView, &model->objects[k], model->materials,
                    model->materialCount, model->quads);
    }
    drawBand(band, job->framebuffer);
}

void renderBandsDraw(const RenderScene* scene, uint32_t* framebuffer)
{
    const FrameJob job = {scene, framebuffer};
    renderWorkersRun(drawFrameBand, &job);
}

void renderBandsCounted(int32_t* spans, int32_t* disorder)
{
    *spans = 0;
    *disorder = 0;
    for (int32_t i = 0; i < workerCount; i++) {
        *spans += bands[i].spans;
        *disorder += bands[i].disorder;
    }
}

static void drawBandJob(RenderBand* band, const void* framebuffer)
{
    drawBand(band, (uint32_t*)framebuffer);
}

int32_t drawSpanTable(uint32_t* framebuffer)
{
    renderWorkersRun(drawBandJob, framebuffer);
    int32_t spans, disorder;
    renderBandsCounted(&spans, &disorder);
    drawWarnings(framebuffer, disorder);
    return spans;
}
