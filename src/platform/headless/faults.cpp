// The headless backend's fault injection: the call trace, the failing set-up
// call and the queued surface results that tests ask for.
#include "platform/headless/faults.h"
#include "platform/surfaces.h"

#include <cstring>

HeadlessFaults headlessFaults;

// The calls that hand out queued codes, with their counts; unlock has only
// the count.
struct SurfaceCall {
    const char* name;
    int32_t* calls;
    HeadlessCodes* codes;
};

static const SurfaceCall surfaceCalls[] = {
    {"surfaceLock", &headlessFaults.lockCalls, &headlessFaults.lockCodes},
    {"surfaceUnlock", &headlessFaults.unlockCalls, nullptr},
    {"surfaceBlit", &headlessFaults.blitCalls, &headlessFaults.blitCodes},
    {"surfaceFlip", &headlessFaults.flipCalls, &headlessFaults.flipCodes},
    {"surfaceRestore", &headlessFaults.restoreCalls, &headlessFaults.restoreCodes},
};

void headlessFaultsReset()
{
    memset(&headlessFaults, 0, sizeof headlessFaults);
    headlessFaults.bitCount = 32;
}

void headlessTrace(const char* call)
{
    // Past the end only the count grows, so a test can tell the trace was cut.
    if (headlessFaults.traceCount < HEADLESS_TRACE)
        headlessFaults.trace[headlessFaults.traceCount] = call;
    headlessFaults.traceCount++;
}

int headlessFails(const char* call)
{
    headlessTrace(call);
    if (!headlessFaults.failCall || strcmp(headlessFaults.failCall, call) != 0)
        return 0;
    if (headlessFaults.failCallPasses > 0) {
        headlessFaults.failCallPasses--;
        return 0;
    }
    backendSetError("headless failure injected");
    return 1;
}

int32_t headlessSurfaceCode(const char* call)
{
    headlessTrace(call);
    for (const SurfaceCall& c : surfaceCalls) {
        if (strcmp(c.name, call) != 0)
            continue;
        (*c.calls)++;
        HeadlessCodes* codes = c.codes;
        if (codes && codes->next < codes->count && codes->next < HEADLESS_CODES)
            return codes->codes[codes->next++];
        return SURFACE_OK;
    }
    return SURFACE_OK;
}
