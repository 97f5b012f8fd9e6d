// The browser backend: the page's canvas is the screen, the HTML5 events feed
// the message queue and a 20 ms interval is the timer. The page must get control
// back between messages, so messageGet suspends the program's call stack
// (Asyncify) until an event handler wakes it; start-up and the frame tick run
// unchanged on the page's one thread. The page calls the exported web*
// functions directly, never through ccall while the program waits: such a
// ccall returns a promise and takes over the one main's caller waits on.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "platform/surfaces.h"

struct Window {
    WindowProc proc;
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
    char error[256];
} web;

// The threaded build runs only on a cross-origin isolated page, which says
// how many threads to draw with (Module.veltrixThreads, 1 to 8; as many
// workers less one were made at start-up). Without threads the program runs
// on the page's one thread.
int32_t platformThreads()
{
#ifdef __EMSCRIPTEN_PTHREADS__
    const int32_t count = EM_ASM_INT({ return Module.veltrixThreads | 0; });
    return count < 1 ? 1 : count > 8 ? 8 : count;
#else
    return 1;
#endif
}

// The page says so (Module.veltrixTouch) before the program starts.
int32_t platformTouchScreen()
{
    return EM_ASM_INT({ return Module.veltrixTouch ? 1 : 0; });
}

const char* platformError()
{
    return web.error;
}

void backendSetError(const char* text)
{
    snprintf(web.error, sizeof web.error, "%s", text);
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
// A pattern that loads is framed as F frames it, in the same message, so the
// frame after it shows its cells. Returns 0 (the page says
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

// The program's keys by the browser's names; web/page.js keeps the same table.
static const struct {
    const char* name;
    int32_t code;
} programKeys[] = {
    {"Escape", KEY_ESCAPE}, {"End", KEY_END},       {"Home", KEY_HOME},     {"ArrowLeft", KEY_LEFT},
    {"ArrowUp", KEY_UP},    {"ArrowRight", KEY_RIGHT}, {"ArrowDown", KEY_DOWN}, {"Insert", KEY_INSERT},
    {"Delete", KEY_DELETE}, {"F12", KEY_F12},       {"PageUp", KEY_PAGEUP}, {"PageDown", KEY_PAGEDOWN},
    {"f", KEY_F},           {"F", KEY_F},              {"t", KEY_T},           {"T", KEY_T},
    {"p", KEY_P},           {"P", KEY_P},              {"r", KEY_R},           {"R", KEY_R},
    {"Backspace", KEY_BACK}, {"+", KEY_PLUS},          {"=", KEY_PLUS},        {"-", KEY_MINUS},
    {"e", KEY_E},           {"E", KEY_E},
};

static int32_t virtualKey(const char* key)
{
    for (const auto& entry : programKeys)
        if (strcmp(entry.name, key) == 0)
            return entry.code;
    return 0;
}

// The program's own keys do not reach the browser (F12 would open its tools,
// the arrows would scroll); every other key does, and so do the letters, + and
// - with Ctrl, Alt or Meta held (Ctrl+F is the browser's find, Ctrl+- zooms).
// The browser names the keypad's + and - as the main keyboard's.
// Ctrl+Z and Ctrl+S are the program's (undo a drawn stroke, save the world),
// not the browser's.
static EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* event, void*)
{
    const int undoOrSave = strcmp(event->key, "z") == 0 || strcmp(event->key, "Z") == 0 ||
                           strcmp(event->key, "s") == 0 || strcmp(event->key, "S") == 0;
    if (undoOrSave && event->ctrlKey && !event->altKey && !event->metaKey) {
        const int32_t letter = event->key[0] == 'z' || event->key[0] == 'Z' ? KEY_Z : KEY_S;
        post(MSG_KEYDOWN, (uintptr_t)letter, KEY_WITH_CONTROL);
        return EM_TRUE;
    }
    const int32_t key = virtualKey(event->key);
    const int chord = key == KEY_F || key == KEY_T || key == KEY_P || key == KEY_R || key == KEY_E ||
                      key == KEY_PLUS || key == KEY_MINUS;
    if (!key || (chord && (event->ctrlKey || event->altKey || event->metaKey)))
        return EM_FALSE;
    post(MSG_KEYDOWN, (uintptr_t)key, 0);
    return EM_TRUE;
}

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

// Only motion while the pointer is locked looks around: an unlocked pointer
// is the page's, moving across it on its way elsewhere.
static EM_BOOL onMouseMove(int, const EmscriptenMouseEvent* event, void*)
{
    EmscriptenPointerlockChangeEvent lock;
    if (emscripten_get_pointerlock_status(&lock) == EMSCRIPTEN_RESULT_SUCCESS && lock.isActive) {
        addMotion(event->movementX, event->movementY);
    }
    return EM_FALSE;
}

// A button on the page stands for one of the program's keys: the program gets
// the key message the keyboard would post for that virtual-key code. Returns 0
// for a code that is none of the program's keys, or when the queue is full.
extern "C" EMSCRIPTEN_KEEPALIVE int webPostKey(int32_t code)
{
    for (const auto& entry : programKeys)
        if (entry.code == code)
            return post(MSG_KEYDOWN, (uintptr_t)code, 0);
    return 0;
}

// The page's pointer on the canvas while drawing, in frame pixels:
// MSG_LBUTTONDOWN, MSG_MOUSEMOVE or MSG_LBUTTONUP at (x, y). Returns 0 for
// another message or when the queue is full.
extern "C" EMSCRIPTEN_KEEPALIVE int webPointer(int32_t message, int32_t x, int32_t y)
{
    if (message != MSG_LBUTTONDOWN && message != MSG_MOUSEMOVE && message != MSG_LBUTTONUP)
        return 0;
    x = x < -1 ? -1 : x > screenWidth ? screenWidth : x;
    y = y < -1 ? -1 : y > screenHeight ? screenHeight : y;
    return post((uint32_t)message, 0, pointerParam(x, y));
}

// 1 while E has the program drawing: the page's taps are clicks then, not looks.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webDrawing()
{
    return app.drawing;
}

// 1 once cells were drawn on the world loaded last: the page's link then
// carries the cells themselves.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webDrawn()
{
    return app.drawnSinceLoad;
}

// Writes the world shown to Life.ini and Rules.ini in the working folder,
// as Ctrl+S does but without a word on the picture; 1, or 0.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webSaveWorld()
{
    char message[NOTICE_TEXT];
    return app.grid || app.universe ? drawSaveFiles(message, sizeof message) : 0;
}

// Dragging on the picture without the pointer lock (a mouse button held, or
// one finger) looks around: its motion, in frame pixels, counts as the locked
// pointer's does. Motion while no program runs is dropped.
extern "C" EMSCRIPTEN_KEEPALIVE void webLook(int32_t dx, int32_t dy)
{
    if (web.window)
        addMotion(dx, dy);
}

Window* windowCreate(const char*, int32_t, int32_t, WindowProc proc)
{
    if (!EM_ASM_INT({ return document.getElementById('canvas') ? 1 : 0; })) {
        snprintf(web.error, sizeof web.error, "the page has no canvas with the id 'canvas'");
        return nullptr;
    }
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        snprintf(web.error, sizeof web.error, "out of memory");
        return nullptr;
    }
    window->proc = proc;
    web.window = window;
    messageLoop.quitPosted = 0;
    web.queueCount = 0;
    web.timerPending = 0;
    web.dropPending = 0;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyDown);
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, onMouseMove);
    return window;
}

void windowShow(Window*)
{
    EM_ASM({ document.getElementById('canvas').focus(); });
}

void windowDestroy(Window* window)
{
    window->proc(window, MSG_DESTROY, 0, 0);
    if (window->interval)
        emscripten_clear_interval(window->interval);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, nullptr);
    emscripten_exit_pointerlock();
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

// The generation the picture counts and the live cells of the world shown,
// for the page's figures and population graph.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t webGeneration()
{
    return app.generationCount;
}

extern "C" EMSCRIPTEN_KEEPALIVE double webPopulation()
{
    if (app.universe)
        return (double)universePopulation(app.universe);
    if (!app.grid)
        return 0;
    int32_t count = 0;
    for (const uint8_t cell : app.grid->cells)
        count += cell == LIFE_ALIVE;
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
        emscripten_exit_pointerlock();
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
int backendSurfaceAttach(Surface* surface)
{
    return surfaceAttachMemory(surface, surface->width * 4);
}

void backendSurfaceDetach(Surface* surface)
{
    free(surface->pixels);
}

Video* videoOpen(Window* window)
{
    if (!videoWindowGiven(window))
        return nullptr;
    if (!EM_ASM_INT({ return document.getElementById('canvas').getContext('2d') ? 1 : 0; })) {
        snprintf(web.error, sizeof web.error, "the canvas gives no 2-D context");
        return nullptr;
    }
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video)
        snprintf(web.error, sizeof web.error, "out of memory");
    return video;
}

// The mode is the canvas's own size in pixels; the page scales the canvas
// to the window.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32 || width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE) {
        snprintf(web.error, sizeof web.error, "unsupported mode %d x %d x %d", width, height, bitCount);
        return 0;
    }
    video->width = width;
    video->height = height;
    EM_ASM(
        {
            const canvas = document.getElementById('canvas');
            canvas.width = $0;
            canvas.height = $1;
        },
        width, height);
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    return surfaceChainMake(video, video->width, video->height);
}

Surface* surfaceBackBuffer(Surface* primary)
{
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    return surfaceMake(SURFACE_STAGING, video, width, height);
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
    // A canvas takes no pixels from shared memory, which the threaded build's
    // is: they are copied out first there, into an array kept for the run.
    EM_ASM(
        {
            const canvas = document.getElementById('canvas');
            let pixels = new Uint8ClampedArray(HEAPU8.buffer, $0, $1 * $2 * 4);
            if (typeof SharedArrayBuffer !== 'undefined' && HEAPU8.buffer instanceof SharedArrayBuffer) {
                if (!Module.canvasCopy || Module.canvasCopy.length !== pixels.length)
                    Module.canvasCopy = new Uint8ClampedArray(pixels.length);
                Module.canvasCopy.set(pixels);
                pixels = Module.canvasCopy;
            }
            canvas.getContext('2d').putImageData(new ImageData(pixels, $1, $2), 0, 0);
        },
        canvas, primary->width, primary->height);
    web.framesPresented++;
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
