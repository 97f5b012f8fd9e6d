/* The frame road's recorder, linked into a build made with
 * -finstrument-functions (bench/road/frame_road.sh): every function entry and
 * exit of a frame tick on the thread that runs it, as offsets into the
 * executable, written to the file ROAD_OUT; each frame tick writes the file
 * anew, so the last one stays. ROAD_FUNC is frameTick's offset, in hex. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static FILE* out;
static unsigned long frameTick;
static unsigned long base;
static int ready;
static __thread int depth; /* calls open inside the frame tick on this thread */

__attribute__((no_instrument_function)) static void setUp(void* fn)
{
    Dl_info info;
    ready = 1;
    if (!dladdr(fn, &info))
        return;
    base = (unsigned long)info.dli_fbase;
    frameTick = strtoul(getenv("ROAD_FUNC") ? getenv("ROAD_FUNC") : "0", NULL, 16);
}

__attribute__((no_instrument_function)) void __cyg_profile_func_enter(void* fn, void* site)
{
    (void)site;
    if (!ready)
        setUp(fn);
    const unsigned long offset = (unsigned long)fn - base;
    if (depth == 0 && offset == frameTick)
        out = fopen(getenv("ROAD_OUT") ? getenv("ROAD_OUT") : "road.txt", "w");
    if (!out || (depth == 0 && offset != frameTick))
        return;
    fprintf(out, "E %lx\n", offset);
    depth++;
}

__attribute__((no_instrument_function)) void __cyg_profile_func_exit(void* fn, void* site)
{
    (void)site;
    if (!out || depth == 0)
        return;
    fprintf(out, "X %lx\n", (unsigned long)fn - base);
    if (--depth == 0) {
        fclose(out);
        out = NULL;
    }
}
