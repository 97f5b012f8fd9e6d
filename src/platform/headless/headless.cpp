// The headless backend: the window is a record, messages are played from a
// script, surfaces are plain memory and a flip keeps a copy of the frame.
// Every call reports itself to the fault injection (faults.cpp) first, which
// tells the set-up calls whether to fail and the surface calls what to return.
#include "platform/headless/headless.h"
#include "platform/headless/faults.h"
#include "platform/surfaces.h"

#include <cstdlib>
#include <cstring>

HeadlessState headless;

struct Window {
    WindowProc proc;
    int32_t width;
    int32_t height;
};

struct Video {
    int32_t width;
    int32_t height;
};


void headlessReset(const Script* script)
{
    free(headless.frame);
    memset(&headless, 0, sizeof headless);
    messageLoop = MessageLoop{0, 0};
    headless.script = script;
    headless.cursorVisible = 1;
    headlessFaultsReset();
    backendSetError("");
}

int32_t headlessThreads = 1;

int32_t platformThreads()
{
    return headlessThreads;
}

int32_t headlessLoadsBeside = 0;

int32_t platformLoadsBeside()
{
    return headlessLoadsBeside;
}

int32_t headlessTouchScreen = 0;

int32_t platformTouchScreen()
{
    return headlessTouchScreen;
}

// ---- Window system -------------------------------------------------------------

Window* windowCreate(const char*, int32_t width, int32_t height, WindowProc proc)
{
    if (headlessFails("windowCreate"))
        return nullptr;
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        backendSetError("out of memory");
        return nullptr;
    }
    window->proc = proc;
    window->width = width;
    window->height = height;
    headless.window = window;
    return window;
}

void windowShow(Window*)
{
    headlessTrace("windowShow");
}

void windowDestroy(Window* window)
{
    headlessTrace("windowDestroy");
    window->proc(window, MSG_DESTROY, 0, 0);
    headless.timerMilliseconds = 0;
    if (headless.window == window)
        headless.window = nullptr;
    free(window);
}

int timerStart(Window*, uint32_t milliseconds)
{
    if (headlessFails("timerStart"))
        return 0;
    headless.timerMilliseconds = milliseconds;
    return 1;
}

// Plays the script one message at a time. Mouse steps only move the cursor.
// When the script has run out, the window gets Esc; without a window the loop
// ends as if the quit message had come.
int messageGet(Message* message)
{
    memset(message, 0, sizeof *message);
    message->window = headless.window;
    for (;;) {
        if (messageLoop.quitPosted || !headless.window) {
            message->wParam = (uintptr_t)messageLoop.exitCode;
            return 0;
        }
        const Script* script = headless.script;
        if (!script || headless.step >= script->stepCount) {
            if (headless.scriptEndQuits) {
                message->wParam = (uintptr_t)messageLoop.exitCode;
                return 0;
            }
            message->message = MSG_KEYDOWN;
            message->wParam = KEY_ESCAPE;
            return 1;
        }
        const ScriptStep* step = &script->steps[headless.step];
        if (step->kind == SCRIPT_MOUSE) {
            headless.cursorX = headless.centreX + step->dx;
            headless.cursorY = headless.centreY + step->dy;
            headless.step++;
            continue;
        }
        if (headless.stepDone >= step->count) {
            headless.step++;
            headless.stepDone = 0;
            continue;
        }
        headless.stepDone++;
        if (step->kind == SCRIPT_TICK) {
            // Like a real timer, no timer message comes before the timer runs.
            if (!headless.timerMilliseconds)
                continue;
            message->message = MSG_TIMER;
        } else if (step->kind == SCRIPT_DROP) {
            message->message = MSG_DROPFILES;
            message->wParam = (uintptr_t)(script->names + step->code);
        } else if (step->kind == SCRIPT_DRAG) {
            // Move k of n lands k / n of the way, truncated toward the start.
            const int32_t moves = step->count - 2, k = headless.stepDone - 1;
            const int32_t toX = pointerX(step->code), toY = pointerY(step->code);
            const int64_t part = k < moves ? k : moves, whole = moves ? moves : 1;
            const int64_t x = step->dx + (int64_t)(toX - step->dx) * part / whole;
            const int64_t y = step->dy + (int64_t)(toY - step->dy) * part / whole;
            message->message = k == 0 ? MSG_LBUTTONDOWN : k > moves ? MSG_LBUTTONUP : MSG_MOUSEMOVE;
            message->lParam = pointerParam((int32_t)x, (int32_t)y);
        } else {
            message->message = MSG_KEYDOWN;
            message->wParam = (uintptr_t)(uint32_t)step->code;
            message->lParam = step->dx ? KEY_WITH_CONTROL : 0;
        }
        return 1;
    }
}

WindowProc windowProcOf(Window* window)
{
    return window->proc;
}

void cursorShow(int show)
{
    headless.cursorVisible = show ? 1 : 0;
}

void cursorGet(int32_t* x, int32_t* y)
{
    *x = headless.cursorX;
    *y = headless.cursorY;
}

void cursorSet(int32_t x, int32_t y)
{
    headless.cursorX = headless.centreX = x;
    headless.cursorY = headless.centreY = y;
}

// ---- Video ----------------------------------------------------------------------

// Surfaces are plain memory; staging rows may carry the padding a test asks for.
static int surfaceAttach(Surface* surface)
{
    const int32_t padding = surface->kind == SURFACE_STAGING ? headlessFaults.padding : 0;
    return surfaceAttachMemory(surface, surface->width * 4 + padding);
}

static void surfaceDetach(Surface* surface)
{
    free(surface->pixels);
}

static const SurfaceBackend surfaceBackend = {surfaceAttach, surfaceDetach};

Video* videoOpen(Window* window)
{
    if (!window) {
        backendSetError("no window");
        return nullptr;
    }
    if (headlessFails("videoOpen"))
        return nullptr;
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video)
        backendSetError("out of memory");
    return video;
}

int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (headlessFails("videoSetMode"))
        return 0;
    if (width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE || bitCount != 32) {
        backendSetError("unsupported mode");
        return 0;
    }
    video->width = width;
    video->height = height;
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    if (headlessFails("surfaceCreatePrimary"))
        return nullptr;
    return surfaceChainMake(&surfaceBackend, video, video->width, video->height);
}

Surface* surfaceBackBuffer(Surface* primary)
{
    if (headlessFails("surfaceBackBuffer"))
        return nullptr;
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    if (headlessFails("surfaceCreateStaging"))
        return nullptr;
    return surfaceMake(&surfaceBackend, SURFACE_STAGING, video, width, height);
}

int32_t surfaceLock(Surface* surface, SurfaceLock* lock)
{
    const int32_t code = headlessSurfaceCode("surfaceLock");
    if (code != SURFACE_OK)
        return code;
    const int32_t result = surfaceLockPixels(surface, lock);
    if (result == SURFACE_OK)
        lock->bitCount = headlessFaults.bitCount;
    return result;
}

int32_t surfaceUnlock(Surface* surface)
{
    const int32_t code = headlessSurfaceCode("surfaceUnlock");
    if (code != SURFACE_OK)
        return code;
    return surfaceUnlockPixels(surface);
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    const int32_t code = headlessSurfaceCode("surfaceBlit");
    if (code != SURFACE_OK)
        return code;
    return surfaceCopyPixels(target, source, width, height);
}

int32_t surfaceFlip(Surface* primary)
{
    const int32_t code = headlessSurfaceCode("surfaceFlip");
    if (code != SURFACE_OK)
        return code;
    uint8_t* shown = primary->backBuffer->pixels;
    primary->backBuffer->pixels = primary->pixels;
    primary->pixels = shown;

    const size_t bytes = (size_t)primary->width * primary->height * 4;
    if (!headless.frame || headless.frameWidth != primary->width || headless.frameHeight != primary->height) {
        free(headless.frame);
        headless.frame = (uint32_t*)malloc(bytes);
        headless.frameWidth = headless.frame ? primary->width : 0;
        headless.frameHeight = headless.frame ? primary->height : 0;
    }
    if (headless.frame)
        memcpy(headless.frame, shown, bytes);
    headless.framesPresented++;
    return SURFACE_OK;
}

int32_t surfaceRestore(Surface*)
{
    return headlessSurfaceCode("surfaceRestore");
}

void surfaceRelease(Surface* surface)
{
    headlessTrace("surfaceRelease");
    surfaceChainDrop(surface);
}

void videoRelease(Video* video)
{
    headlessTrace("videoRelease");
    free(video);
}
