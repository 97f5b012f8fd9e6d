// Fault injection for the headless backend: tests make its window and video
// set-up calls fail, queue the results of lock, blit, flip and restore, change
// what the display reports, and read back which calls were made. Only the
// headless backend and the tests that drive it include this.
#pragma once

#include <cstdint>

#include "platform/platform.h"

enum { HEADLESS_CODES = 16, HEADLESS_TRACE = 64 };

struct HeadlessCodes {
    int32_t codes[HEADLESS_CODES]; // results given in turn before calls go back to SURFACE_OK
    int32_t count;
    int32_t next;
};

// Set by tests after headlessReset, which clears it; read and counted by the
// backend's calls.
struct HeadlessFaults {
    // A set-up call whose trace name equals `failCall` fails after the first
    // `failCallPasses` calls of that name have succeeded.
    const char* failCall;
    int32_t failCallPasses;
    HeadlessCodes lockCodes;
    HeadlessCodes blitCodes;
    HeadlessCodes flipCodes;
    HeadlessCodes restoreCodes;
    int32_t bitCount; // what a lock reports, 32 unless a test changes it
    int32_t padding;  // bytes added to each staging row

    // What was called.
    int32_t lockCalls;
    int32_t unlockCalls;
    int32_t blitCalls;
    int32_t flipCalls;
    int32_t restoreCalls;
    const char* trace[HEADLESS_TRACE]; // the first calls made, by name
    int32_t traceCount;
};
extern HeadlessFaults headlessFaults;

// ---- What the backend calls ----------------------------------------------------
// No faults, no calls seen, a lock reporting 32 bits per pixel.
void headlessFaultsReset();
// Every platform call of the backend reports itself by name, for the trace.
void headlessTrace(const char* call);
// A window or video set-up call: traced, and 1 when the test makes it fail
// (the reason is recorded for platformError).
int headlessFails(const char* call);
// surfaceLock, surfaceUnlock, surfaceBlit, surfaceFlip or surfaceRestore:
// traced and counted; the next code queued for it, else SURFACE_OK.
int32_t headlessSurfaceCode(const char* call);
