// Threads and signals on POSIX threads: Linux and the browser.
#ifndef _WIN32

#include <pthread.h>

#include "platform/platform.h"

struct ThreadSignal {
    pthread_mutex_t mutex;
    pthread_cond_t condition;
};

struct ThreadStart {
    void (*run)(void*);
    void* argument;
};

static void* threadMain(void* start)
{
    const ThreadStart what = *(ThreadStart*)start;
    heapFree(start);
    what.run(what.argument);
    return nullptr;
}

int threadStart(void (*run)(void* argument), void* argument)
{
    ThreadStart* start = (ThreadStart*)heapAlloc(sizeof(ThreadStart));
    if (!start)
        return 0;
    *start = {run, argument};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadMain, start) != 0) {
        heapFree(start);
        return 0;
    }
    pthread_detach(thread);
    return 1;
}

ThreadSignal* signalMake()
{
    ThreadSignal* signal = (ThreadSignal*)heapAlloc(sizeof(ThreadSignal));
    if (!signal)
        return nullptr;
    if (pthread_mutex_init(&signal->mutex, nullptr) != 0) {
        heapFree(signal);
        return nullptr;
    }
    if (pthread_cond_init(&signal->condition, nullptr) != 0) {
        pthread_mutex_destroy(&signal->mutex);
        heapFree(signal);
        return nullptr;
    }
    return signal;
}

void signalDrop(ThreadSignal* signal)
{
    if (!signal)
        return;
    pthread_cond_destroy(&signal->condition);
    pthread_mutex_destroy(&signal->mutex);
    heapFree(signal);
}

void signalLock(ThreadSignal* signal)
{
    pthread_mutex_lock(&signal->mutex);
}

void signalUnlock(ThreadSignal* signal)
{
    pthread_mutex_unlock(&signal->mutex);
}

void signalWait(ThreadSignal* signal)
{
    pthread_cond_wait(&signal->condition, &signal->mutex);
}

void signalWakeAll(ThreadSignal* signal)
{
    pthread_cond_broadcast(&signal->condition);
}

void threadPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

#endif
