// Threads and signals on the system's own calls: a slim reader/writer lock and
// a condition variable wake a sleeping thread without a round trip through
// the kernel's event objects.
#ifdef _WIN32

#include <windows.h>

#include "platform/platform.h"

struct ThreadSignal {
    SRWLOCK lock;
    CONDITION_VARIABLE condition;
};

struct ThreadStart {
    void (*run)(void*);
    void* argument;
};

static DWORD WINAPI threadMain(LPVOID start)
{
    const ThreadStart what = *(ThreadStart*)start;
    heapFree(start);
    what.run(what.argument);
    return 0;
}

int threadStart(void (*run)(void* argument), void* argument)
{
    ThreadStart* start = (ThreadStart*)heapAlloc(sizeof(ThreadStart));
    if (!start)
        return 0;
    *start = {run, argument};
    HANDLE thread = CreateThread(nullptr, 0, threadMain, start, 0, nullptr);
    if (!thread) {
        heapFree(start);
        return 0;
    }
    CloseHandle(thread);
    return 1;
}

ThreadSignal* signalMake()
{
    ThreadSignal* signal = (ThreadSignal*)heapAlloc(sizeof(ThreadSignal));
    if (!signal)
        return nullptr;
    InitializeSRWLock(&signal->lock);
    InitializeConditionVariable(&signal->condition);
    return signal;
}

void signalDrop(ThreadSignal* signal)
{
    heapFree(signal);
}

void signalLock(ThreadSignal* signal)
{
    AcquireSRWLockExclusive(&signal->lock);
}

void signalUnlock(ThreadSignal* signal)
{
    ReleaseSRWLockExclusive(&signal->lock);
}

void signalWait(ThreadSignal* signal)
{
    SleepConditionVariableSRW(&signal->condition, &signal->lock, INFINITE, 0);
}

void signalWakeAll(ThreadSignal* signal)
{
    WakeAllConditionVariable(&signal->condition);
}

void threadPause()
{
    YieldProcessor();
}

#endif
