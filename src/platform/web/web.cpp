// The browser backend. The program runs in a worker of the page's
// (web/worker.js), so that drawing never holds up the page: each presented
// frame goes to the page, which shows it on its canvas, and the page's keys,
// motion, drops and timer ticks come back as messages that web/worker.js turns
// into calls of the exported web* functions; a 20 ms interval is the timer.
// The worker must get control back between messages, so messageGet suspends
// the program's call stack (Asyncify) until one of them wakes it; start-up and
// the frame tick run unchanged. The web* functions are called directly, never
// through ccall while the program waits: such a ccall returns a promise and
// takes over the one main's caller waits on.
#include <emscripten.h>
#include <emscripten/eventloop.h>

#include <cstdlib>
#include <cstring>

#include "platform/surfaces.h"
#include "platform/web/web_local.h"

struct Window {
    WindowProc proc;
    int32_t width;
    int32_t height;
    long interval; // the timer's interval id, 0 while none runs
};

struct Video {
    int32_t width;
    int32_t height;
};

enum { QUEUE_SIZE = 64 };

// Backend state. Event handlers only append to the queue and wake the loop;
// every message is handled in messageGet's caller like on the desktop.
static struct {
    Window* window;
    Message queue[QUEUE_SIZE]; // key-downs and at most one timer message, in order
    int32_t queueHead;
    int32_t queueCount;
    int32_t timerPending;
    int32_t dropPending; // a drop message waits in the queue, its path in droppedPath
    char droppedPath[4096];
    RelativeCursor cursor; // pointer-locked motion since the cursor was last set
    int32_t framesPresented;
} web;

// The threaded build runs only on a cross-origin isolated page, which says
// how many threads to draw with (Module.veltrixThreads, 1 to 8; as many
// workers less one were made at start-up). Without threads the program runs
// on its worker alone.
int32_t platformThreads()
{
#ifdef __EMSCRIPTEN_PTHREADS__
    const int32_t count = EM_ASM_INT({ return Module.veltrixThreads | 0; });
    return count < 1 ? 1 : count > 8 ? 8 : count;
#else
    return 1;
#endif
}

// Without threads a file is read between two frames, and so it is where
// the page posts every tick itself (Module.manualTicks): a run is then the
// same whatever the machine's speed.
int32_t platformLoadsBeside()
{
#ifdef __EMSCRIPTEN_PTHREADS__
    return EM_ASM_INT({ return Module.manualTicks ? 0 : 1; });
#else
    return 0;
#endif
}

// The page says so (Module.veltrixTouch) before the program starts.
int32_t platformTouchScreen()
{
    return EM_ASM_INT({ return Module.veltrixTouch ? 1 : 0; });
}

// Sleeps until an event handler calls the wake function. Only messageGet's
// callers (start-up, main) are unwound, never the frame tick.
EM_ASYNC_JS(void, waitForEvent, (), { await new Promise(resolve => { Module.webWake = resolve; }); });

static void wake()
{
    EM_ASM({
        const resolve = Module.webWake;
        Module.webWake = null;
        if (resolve)
            resolve();
    });
}

// Returns 0 when the queue is full: like a full window-system queue, the
// message is lost.
static int post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!web.window || web.queueCount == QUEUE_SIZE)
        return 0;
    Message* slot = &web.queue[(web.queueHead + web.queueCount) % QUEUE_SIZE];
    memset(slot, 0, sizeof *slot);
    slot->window = web.window;
    slot->message = message;
    slot->wParam = wParam;
    slot->lParam = lParam;
    web.queueCount++;
    wake();
    return 1;
}

// The page has written a dropped file into the in-memory file system: the
// program gets its path in a drop message between frames, as on the desktop.
// A pattern that loads is framed as F frames it, so the frame that first
// shows it shows its cells. Returns 0 (the page says
// so) while an earlier drop still waits, or when the path is too long or the
// queue full.
extern "C" EMSCRIPTEN_KEEPALIVE int webDropFile(const char* path)
{
    if (web.dropPending || strlen(path) >= sizeof web.droppedPath)
        return 0;
    strcpy(web.droppedPath, path);
    if (!post(MSG_DROPFILES, (uintptr_t)web.droppedPath, 0))
        return 0;
    web.dropPending = 1;
    return 1;
}

static void postTimer()
{
    // Coalesce: a timer message already waiting is enough.
    if (!web.timerPending && post(MSG_TIMER, 0, 0))
        web.timerPending = 1;
}

// ---- Window system ---------------------------------------------------------------

// The program's keys by their virtual-key codes, as web/page.js posts them.
static const int32_t programKeys[] = {
    KEY_ESCAPE, KEY_END,      KEY_HOME, KEY_LEFT, KEY_UP, KEY_RIGHT, KEY_DOWN,  KEY_INSERT, KEY_DELETE, KEY_F12,
    KEY_PAGEUP, KEY_PAGEDOWN, KEY_F,    KEY_T,    KEY_P,  KEY_R,     KEY_BACK, KEY_PLUS,   KEY_MINUS,  KEY_E, KEY_C,
    KEY_G,      KEY_H,        KEY_RETURN,
};

// Motion since the last tick, kept within the replay runner's offsets so the
// sum cannot overflow however far the pointer travels between two ticks.
static void addMotion(int32_t dx, int32_t dy)
{
    const int64_t limit = 1000000;
    const int64_t x = (int64_t)web.cursor.motionX + dx;
    const int64_t y = (int64_t)web.cursor.motionY + dy;
    web.cursor.motionX = (int32_t)(x < -limit ? -limit : x > limit ? limit : x);
    web.cursor.motionY = (int32_t)(y < -limit ? -limit : y > limit ? limit : y);
}

// A key pressed on the picture, or a button on the page standing for one:
// the program gets the key message for that virtual-key code. Returns 0 for
// a code that is none of the program's keys, or when the queue is full.
// With CONTROL set only Z and S are the program's (undo a drawn stroke, save
// the world).
extern "C" EMSCRIPTEN_KEEPALIVE int webPostKey(int32_t code, int32_t control)
{
    if (control)
        return code == KEY_Z || code == KEY_S ? post(MSG_KEYDOWN, (uintptr_t)code, KEY_WITH_CONTROL) : 0;
    for (const int32_t key : programKeys)
        if (key == code || (code >= KEY_0 && code <= KEY_0 + 9))
            return post(MSG_KEYDOWN, (uintptr_t)code, 0);
    return 0;
}

// The page's field: the world goes to GENERATION, whole and at most 2^53 (exact in a double); else 0.
extern "C" EMSCRIPTEN_KEEPALIVE int webGoTo(double generation)
{
    const uint64_t target = generation >= 0 && generation <= 9007199254740992.0 ? (uint64_t)generation : UINT64_MAX;
    return (double)target == generation ? post(MSG_GOTO, (uint32_t)target, (intptr_t)(uint32_t)(target >> 32)) : 0;
}

// The page's pointer on the canvas while drawing, in frame pixels:
// MSG_LBUTTONDOWN, MSG_MOUSEMOVE or MSG_LBUTTONUP at (x, y). Returns 0 for
// another message or when the queue is full.
extern "C" EMSCRIPTEN_KEEPALIVE int webPointer(int32_t message, int32_t x, int32_t y)
{
    if (!web.window || (message != MSG_LBUTTONDOWN && message != MSG_MOUSEMOVE && message != MSG_LBUTTONUP))
        return 0;
    x = x < -1 ? -1 : x > web.window->width ? web.window->width : x;
    y = y < -1 ? -1 : y > web.window->height ? web.window->height : y;
    return post((uint32_t)message, 0, pointerParam(x, y));
}

Window* webWindowShown()
{
    return web.window;
}

// Motion of the locked pointer, or a drag on the picture without the lock (a
// mouse button held, or one finger), in frame pixels: it looks around on the
// next tick. Motion while no program runs is dropped.
extern "C" EMSCRIPTEN_KEEPALIVE void webLook(int32_t dx, int32_t dy)
{
    if (web.window)
        addMotion(dx, dy);
}

Window* windowCreate(const char*, int32_t width, int32_t height, WindowProc proc)
{
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        backendSetErrorf("out of memory");
        return nullptr;
    }
    window->proc = proc;
    window->width = width;
    window->height = height;
    web.window = window;
    messageLoop.quitPosted = 0;
    web.queueCount = 0;
    web.timerPending = 0;
    web.dropPending = 0;
    return window;
}

// The page shows the picture and gives it the focus when it starts the program.
void windowShow(Window*) {}

void windowDestroy(Window* window)
{
    window->proc(window, MSG_DESTROY, 0, 0);
    if (window->interval)
        emscripten_clear_interval(window->interval);
    EM_ASM({ Module.webReleasePointer(); });
    if (web.window == window)
        web.window = nullptr;
    web.queueCount = 0;
    free(window);
}

static void onInterval(void*)
{
    postTimer();
}

// With Module.manualTicks set (the browser tests) no interval runs and the
// page posts every timer message itself through webPostTimer, so a run is
// the same whatever the machine's speed.
int timerStart(Window* window, uint32_t milliseconds)
{
    if (!window)
        return 0;
    if (EM_ASM_INT({ return Module.manualTicks ? 1 : 0; }))
        return 1;
    window->interval = emscripten_set_interval(onInterval, milliseconds, nullptr);
    return 1;
}

extern "C" EMSCRIPTEN_KEEPALIVE void webPostTimer()
{
    postTimer();
}

// Frames shown so far, for the page and its tests.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webFramesPresented()
{
    return web.framesPresented;
}

// The state drawing gives from now on, posted in turn with the keys (one the world
// lacks changes nothing).
extern "C" EMSCRIPTEN_KEEPALIVE int webDrawState(int32_t state)
{
    return post(MSG_DRAWSTATE, (uintptr_t)state, 0);
}

// A camera preset of the page's: the camera goes back to the world's start
// camera, in turn with the keys and ticks posted before. 0 when the queue is
// full or no program runs.
extern "C" EMSCRIPTEN_KEEPALIVE int webViewStart()
{
    return post(MSG_VIEWSTART, 0, 0);
}

// The page's Stop: a dropped file being read stops; never ends the program,
// as an Esc that came after the load would. 0 when the queue is full.
extern "C" EMSCRIPTEN_KEEPALIVE int webCancelLoad()
{
    return post(MSG_DROPCANCEL, 0, 0);
}

// Key and go-to messages posted and not yet taken: a frame presented
// meanwhile shows the switches as they were before them.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webKeysWaiting()
{
    int32_t count = 0;
    for (int32_t i = 0; i < web.queueCount; i++) {
        const uint32_t message = web.queue[(web.queueHead + i) % QUEUE_SIZE].message;
        count += message == MSG_KEYDOWN || message == MSG_GOTO;
    }
    return count;
}

int messageGet(Message* message)
{
    for (;;) {
        if (messageLoop.quitPosted || !web.window) {
            memset(message, 0, sizeof *message);
            message->wParam = (uintptr_t)messageLoop.exitCode;
            return 0;
        }
        if (web.queueCount > 0) {
            *message = web.queue[web.queueHead];
            web.queueHead = (web.queueHead + 1) % QUEUE_SIZE;
            web.queueCount--;
            if (message->message == MSG_TIMER)
                web.timerPending = 0;
            else if (message->message == MSG_DROPFILES)
                web.dropPending = 0;
            return 1;
        }
        waitForEvent();
    }
}

WindowProc windowProcOf(Window* window)
{
    return window->proc;
}

// A page cannot hide or capture the pointer on its own: the user's click on
// the canvas locks it (the page asks for that). Showing it gives the lock up.
void cursorShow(int show)
{
    if (show)
        EM_ASM({ Module.webReleasePointer(); });
}

void cursorGet(int32_t* x, int32_t* y)
{
    relativeCursorGet(&web.cursor, x, y);
}

void cursorSet(int32_t x, int32_t y)
{
    relativeCursorSet(&web.cursor, x, y);
}

// ---- Video ------------------------------------------------------------------------

// Staging surfaces and the back buffer are plain memory; the primary surface
// holds the back buffer turned into the canvas's RGBA bytes.
static int surfaceAttach(Surface* surface)
{
    return surfaceAttachMemory(surface, surface->width * 4);
}

static void surfaceDetach(Surface* surface)
{
    free(surface->pixels);
}

static const SurfaceBackend surfaceBackend = {surfaceAttach, surfaceDetach};

Video* videoOpen(Window* window)
{
    if (!videoWindowGiven(window))
        return nullptr;
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video)
        backendSetErrorf("out of memory");
    return video;
}

// The mode is the page's canvas's own size in pixels; the page scales the
// canvas to the window.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32 || width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE) {
        backendSetErrorf("unsupported mode %d x %d x %d", width, height, bitCount);
        return 0;
    }
    video->width = width;
    video->height = height;
    EM_ASM({ Module.webSetMode($0, $1); }, width, height);
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    return surfaceChainMake(&surfaceBackend, video, video->width, video->height);
}

Surface* surfaceBackBuffer(Surface* primary)
{
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    return surfaceMake(&surfaceBackend, SURFACE_STAGING, video, width, height);
}

int32_t surfaceLock(Surface* surface, SurfaceLock* lock)
{
    if (surface->kind != SURFACE_STAGING)
        return SURFACE_FAILED;
    return surfaceLockPixels(surface, lock);
}

int32_t surfaceUnlock(Surface* surface)
{
    return surfaceUnlockPixels(surface);
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    if (target->kind != SURFACE_BACK)
        return SURFACE_FAILED;
    return surfaceCopyPixels(target, source, width, height);
}

// The canvas takes bytes R, G, B, A; a 0x00RRGGBB pixel read as bytes in
// memory is B, G, R, 0. Opaque alpha keeps the canvas from blending.
int32_t surfaceFlip(Surface* primary)
{
    const uint32_t* back = (const uint32_t*)primary->backBuffer->pixels;
    uint32_t* canvas = (uint32_t*)primary->pixels;
    const size_t count = (size_t)primary->width * primary->height;
    for (size_t i = 0; i < count; i++) {
        const uint32_t p = back[i];
        canvas[i] = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    }
    web.framesPresented++;
    EM_ASM({ Module.webPresent($0, $1, $2); }, canvas, primary->width, primary->height);
    return SURFACE_OK;
}

// A 2-D canvas keeps no surface that the program could lose.
int32_t surfaceRestore(Surface*)
{
    return SURFACE_OK;
}

void surfaceRelease(Surface* surface)
{
    surfaceChainDrop(surface);
}

void videoRelease(Video* video)
{
    free(video);
}
