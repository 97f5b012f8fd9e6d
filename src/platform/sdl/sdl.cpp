// The SDL2 backend: one full-screen window, a timer that posts events, the
// keyboard and relative mouse, and streaming textures as staging surfaces.
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/surfaces.h"

struct Window {
    SDL_Window* sdl;
    WindowProc proc;
    SDL_TimerID timer;
};

struct Video {
    SDL_Renderer* renderer;
};

// Backend state. The timer callback runs on SDL's timer thread and only ever
// touches `timerPending` and pushes an event.
static struct {
    int initialised;
    Uint32 timerEvent;
    SDL_atomic_t timerPending;
    Window* window;
    RelativeCursor cursor; // relative motion since the cursor was last set
    char* droppedFile;               // SDL's copy of the last dropped path, freed at the next messageGet
} sdl;

static void setError(const char* what)
{
    backendSetErrorf("%s: %s", what, SDL_GetError());
}

int32_t platformThreads()
{
    const int32_t cores = SDL_GetCPUCount();
    return cores < 1 ? 1 : cores > 8 ? 8 : cores;
}

int32_t platformLoadsBeside()
{
    return 1;
}

int32_t platformTouchScreen()
{
    return 0;
}

// ---- Window system -------------------------------------------------------------

Window* windowCreate(const char* title, int32_t width, int32_t height, WindowProc proc)
{
    if (!sdl.initialised) {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
            setError("SDL_Init");
            return nullptr;
        }
        atexit(SDL_Quit);
        // With no screen to be had SDL falls back to drivers that draw into
        // nothing; a program running there would show nothing to anyone.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!driver || strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0) {
            backendSetErrorf("no display: SDL found only the '%s' video driver",
                     driver ? driver : "(none)");
            return nullptr;
        }
        sdl.timerEvent = SDL_RegisterEvents(1);
        if (sdl.timerEvent == (Uint32)-1) {
            setError("SDL_RegisterEvents");
            return nullptr;
        }
        sdl.initialised = 1;
    }
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        backendSetErrorf("out of memory");
        return nullptr;
    }
    // Full screen on the desktop's own mode; the picture is scaled to it (see
    // videoSetMode). The window is also made at the desktop's size in its
    // corner, because without a window manager nobody resizes it later.
    SDL_Rect desktop = {0, 0, width, height};
    SDL_GetDisplayBounds(0, &desktop);
    window->sdl = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h,
                                   SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!window->sdl) {
        setError("SDL_CreateWindow");
        free(window);
        return nullptr;
    }
    window->proc = proc;
    sdl.window = window;
    return window;
}

void windowShow(Window* window)
{
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
}

void windowDestroy(Window* window)
{
    window->proc(window, MSG_DESTROY, 0, 0);
    if (window->timer)
        SDL_RemoveTimer(window->timer);
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SDL_DestroyWindow(window->sdl);
    if (sdl.window == window)
        sdl.window = nullptr;
    free(window);
}

static Uint32 timerCallback(Uint32 interval, void*)
{
    // Coalesce: a timer event already waiting in the queue is enough.
    if (SDL_AtomicCAS(&sdl.timerPending, 0, 1)) {
        SDL_Event event;
        SDL_zero(event);
        event.type = sdl.timerEvent;
        if (SDL_PushEvent(&event) != 1)
            SDL_AtomicSet(&sdl.timerPending, 0);
    }
    return interval;
}

int timerStart(Window* window, uint32_t milliseconds)
{
    if (!window)
        return 0;
    window->timer = SDL_AddTimer(milliseconds, timerCallback, nullptr);
    if (!window->timer) {
        setError("SDL_AddTimer");
        return 0;
    }
    return 1;
}

static int32_t virtualKey(SDL_Keycode key)
{
    if (key >= SDLK_0 && key <= SDLK_9)
        return KEY_0 + (int32_t)(key - SDLK_0);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return KEY_NUMPAD0 + 1 + (int32_t)(key - SDLK_KP_1);
    switch (key) {
    case SDLK_KP_0: return KEY_NUMPAD0;
    case SDLK_RETURN: return KEY_RETURN;
    case SDLK_KP_ENTER: return KEY_RETURN;
    case SDLK_g: return KEY_G;
    case SDLK_h: return KEY_H;
    case SDLK_ESCAPE: return KEY_ESCAPE;
    case SDLK_END: return KEY_END;
    case SDLK_HOME: return KEY_HOME;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_UP: return KEY_UP;
    case SDLK_RIGHT: return KEY_RIGHT;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_INSERT: return KEY_INSERT;
    case SDLK_DELETE: return KEY_DELETE;
    case SDLK_F9: return KEY_F9;
    case SDLK_F12: return KEY_F12;
    case SDLK_PAGEUP: return KEY_PAGEUP;
    case SDLK_PAGEDOWN: return KEY_PAGEDOWN;
    case SDLK_f: return KEY_F;
    case SDLK_t: return KEY_T;
    case SDLK_p: return KEY_P;
    case SDLK_r: return KEY_R;
    case SDLK_e: return KEY_E;
    case SDLK_c: return KEY_C;
    case SDLK_s: return KEY_S;
    case SDLK_z: return KEY_Z;
    case SDLK_BACKSPACE: return KEY_BACK;
    // '+' is the shifted '=' on most layouts; SDLK_PLUS is what the others report.
    case SDLK_EQUALS: return KEY_PLUS;
    case SDLK_PLUS: return KEY_PLUS;
    case SDLK_MINUS: return KEY_MINUS;
    case SDLK_KP_PLUS: return KEY_ADD;
    case SDLK_KP_MINUS: return KEY_SUBTRACT;
    default: return 0;
    }
}

int messageGet(Message* message)
{
    memset(message, 0, sizeof *message);
    message->window = sdl.window;
    SDL_free(sdl.droppedFile);
    sdl.droppedFile = nullptr;
    for (;;) {
        if (messageLoop.quitPosted || !sdl.window) {
            message->wParam = (uintptr_t)messageLoop.exitCode;
            return 0;
        }
        SDL_Event event;
        if (!SDL_WaitEvent(&event)) {
            // The event queue itself is broken: end as if the window closed.
            message->message = MSG_CLOSE;
            return 1;
        }
        if (event.type == sdl.timerEvent) {
            SDL_AtomicSet(&sdl.timerPending, 0);
            message->message = MSG_TIMER;
            return 1;
        }
        switch (event.type) {
        case SDL_KEYDOWN: {
            const int32_t key = virtualKey(event.key.keysym.sym);
            if (!key)
                break;
            message->message = MSG_KEYDOWN;
            message->wParam = (uintptr_t)key;
            message->lParam = (event.key.keysym.mod & KMOD_CTRL) ? KEY_WITH_CONTROL : 0;
            return 1;
        }
        // With the logical size set, SDL gives the pointer in frame pixels.
        case SDL_MOUSEMOTION:
            sdl.cursor.motionX += event.motion.xrel;
            sdl.cursor.motionY += event.motion.yrel;
            if (SDL_GetRelativeMouseMode())
                break;
            message->message = MSG_MOUSEMOVE;
            message->lParam = pointerParam(event.motion.x, event.motion.y);
            return 1;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT)
                break;
            message->message = event.type == SDL_MOUSEBUTTONDOWN ? MSG_LBUTTONDOWN : MSG_LBUTTONUP;
            message->lParam = pointerParam(event.button.x, event.button.y);
            return 1;
        case SDL_QUIT:
            // Closing from the window manager goes the way of Esc: close,
            // destroy, quit.
            message->message = MSG_CLOSE;
            return 1;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                message->message = MSG_CLOSE;
                return 1;
            }
            break;
        case SDL_DROPFILE:
            if (!event.drop.file)
                break;
            sdl.droppedFile = event.drop.file;
            message->message = MSG_DROPFILES;
            message->wParam = (uintptr_t)sdl.droppedFile;
            return 1;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            surfacesMarkLost();
            break;
        default:
            break;
        }
    }
}

WindowProc windowProcOf(Window* window)
{
    return window->proc;
}

// The hidden cursor is SDL's relative mode: the pointer stays captured and
// every motion arrives as a relative step, however near an edge it is.
void cursorShow(int show)
{
    if (SDL_SetRelativeMouseMode(show ? SDL_FALSE : SDL_TRUE) != 0)
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void cursorGet(int32_t* x, int32_t* y)
{
    relativeCursorGet(&sdl.cursor, x, y);
}

void cursorSet(int32_t x, int32_t y)
{
    relativeCursorSet(&sdl.cursor, x, y);
}

// ---- Video ----------------------------------------------------------------------

// A staging surface is a streaming texture; the primary and its back buffer
// are the renderer's own.
static SDL_Texture* textureOf(const Surface* surface)
{
    return (SDL_Texture*)surface->native;
}

static SDL_Texture* stagingTexture(Video* video, int32_t width, int32_t height)
{
    // XRGB8888 is the framebuffer's 0x00RRGGBB in a 32-bit word.
    SDL_Texture* texture =
        SDL_CreateTexture(video->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture)
        setError("SDL_CreateTexture");
    return texture;
}

static int surfaceAttach(Surface* surface)
{
    if (surface->kind != SURFACE_STAGING)
        return 1;
    surface->native = stagingTexture(surface->video, surface->width, surface->height);
    return surface->native != nullptr;
}

static void surfaceDetach(Surface* surface)
{
    if (surface->native)
        SDL_DestroyTexture(textureOf(surface));
}

static const SurfaceBackend surfaceBackend = {surfaceAttach, surfaceDetach};

Video* videoOpen(Window* window)
{
    if (!videoWindowGiven(window))
        return nullptr;
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video) {
        backendSetErrorf("out of memory");
        return nullptr;
    }
    video->renderer = SDL_CreateRenderer(window->sdl, -1, 0);
    if (!video->renderer) {
        setError("SDL_CreateRenderer");
        free(video);
        return nullptr;
    }
    return video;
}

// The exclusive mode of old becomes the desktop-sized full-screen window
// showing a width x height picture, scaled up with nearest pixels and centred.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32) {
        backendSetErrorf("only 32 bits per pixel are supported");
        return 0;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (SDL_RenderSetLogicalSize(video->renderer, width, height) != 0) {
        setError("SDL_RenderSetLogicalSize");
        return 0;
    }
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    int width;
    int height;
    SDL_RenderGetLogicalSize(video->renderer, &width, &height);
    return surfaceChainMake(&surfaceBackend, video, width, height);
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
    // A lost staging surface still locks: its texture keeps a copy in memory,
    // and the blit that follows reports the loss and has it restored.
    if (!surface->native)
        return SURFACE_FAILED;
    int pitch;
    if (SDL_LockTexture(textureOf(surface), nullptr, &lock->pixels, &pitch) != 0)
        return SURFACE_FAILED;
    Uint32 format;
    SDL_QueryTexture(textureOf(surface), &format, nullptr, nullptr, nullptr);
    lock->pitch = pitch;
    // The bits one pixel takes in memory (XRGB8888 counts 24 bits of colour).
    lock->bitCount = SDL_BYTESPERPIXEL(format) * 8;
    return SURFACE_OK;
}

int32_t surfaceUnlock(Surface* surface)
{
    if (!surface->native)
        return SURFACE_FAILED;
    SDL_UnlockTexture(textureOf(surface));
    return SURFACE_OK;
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    if (target->lost || source->lost)
        return SURFACE_LOST;
    if (!source->native || target->kind != SURFACE_BACK)
        return SURFACE_FAILED;
    const SDL_Rect rect = {0, 0, width, height};
    SDL_Renderer* renderer = target->video->renderer;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    if (SDL_RenderCopy(renderer, textureOf(source), &rect, &rect) != 0)
        return SURFACE_FAILED;
    return SURFACE_OK;
}

int32_t surfaceFlip(Surface* primary)
{
    if (primary->lost)
        return SURFACE_LOST;
    SDL_RenderPresent(primary->video->renderer);
    return SURFACE_OK;
}

// After a device reset the textures' contents are gone: a staging surface gets
// a new texture, the chain needs nothing but to be drawn again.
int32_t surfaceRestore(Surface* surface)
{
    if (!surface->lost)
        return SURFACE_OK;
    if (surface->kind == SURFACE_PRIMARY && surface->backBuffer)
        surface->backBuffer->lost = 0;
    if (surface->kind == SURFACE_STAGING) {
        SDL_Texture* texture = stagingTexture(surface->video, surface->width, surface->height);
        if (!texture)
            return SURFACE_FAILED;
        SDL_DestroyTexture(textureOf(surface));
        surface->native = texture;
    }
    surface->lost = 0;
    return SURFACE_OK;
}

void surfaceRelease(Surface* surface)
{
    surfaceChainDrop(surface);
}

void videoRelease(Video* video)
{
    SDL_DestroyRenderer(video->renderer);
    free(video);
}
