// The Win32 backend: one borderless window covering the screen, the system's
// own message loop and timer, GetCursorPos/SetCursorPos for mouse look, and
// GDI for the picture: frames land in DIB sections and reach the window
// through StretchDIBits, scaled to fit with 4 : 3 kept.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

struct Window {
    HWND hwnd;
    WindowProc proc;
    int32_t timerRunning;
    int32_t destroying; // WM_DESTROY is on its way from windowDestroy: it has told the procedure
};

struct Video {
    Window* window;
    int32_t width;
    int32_t height;
};

enum { SURFACE_PRIMARY, SURFACE_BACK, SURFACE_STAGING };

struct Surface {
    int32_t kind;
    Video* video;
    HBITMAP bitmap; // a top-down 32-bit DIB section
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t lost;        // the display changed since the last restore
    int32_t locked;
    Surface* backBuffer; // primary only
};

enum { MAX_SURFACES = 8 };

static const char* const className = "Veltrix_Engine";

static struct {
    int classRegistered;
    Window* window;
    MSG native;          // the message messageGet took, for messageDispatch
    int32_t cursorShown; // ShowCursor keeps a count; this keeps it at one step
    Surface* surfaces[MAX_SURFACES];
    char droppedFile[MAX_PATH * 4];
    char error[256];
} win32 = {0, nullptr, {}, 1, {}, {}, {}};

static void setError(const char* what)
{
    snprintf(win32.error, sizeof win32.error, "%s failed (error %lu)", what, (unsigned long)GetLastError());
}

int32_t platformThreads()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const int32_t cores = (int32_t)system.dwNumberOfProcessors;
    return cores < 1 ? 1 : cores > 8 ? 8 : cores;
}

const char* platformError()
{
    return win32.error;
}

// ---- Window system -------------------------------------------------------------

static void markSurfacesLost()
{
    for (Surface* surface : win32.surfaces)
        if (surface)
            surface->lost = 1;
}

static void paintFront(Window* window);

// Hands each dropped file to the procedure in turn; the path stays valid until
// the next messageGet.
static void deliverDrop(Window* window, HDROP drop)
{
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && win32.window == window; i++) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length == 0 || length >= sizeof win32.droppedFile)
            continue;
        DragQueryFileA(drop, i, win32.droppedFile, sizeof win32.droppedFile);
        window->proc(window, MSG_DROPFILES, (uintptr_t)win32.droppedFile, 0);
    }
    DragFinish(drop);
}

static LRESULT CALLBACK nativeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = (Window*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (!window)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_TIMER:
        return window->proc(window, MSG_TIMER, wParam, 0);
    case WM_KEYDOWN:
        // The program's key codes are the system's virtual-key codes.
        return window->proc(window, MSG_KEYDOWN, wParam, lParam);
    case WM_CLOSE:
        return window->proc(window, MSG_CLOSE, 0, 0);
    case WM_DESTROY:
        if (!window->destroying)
            window->proc(window, MSG_DESTROY, 0, 0);
        return 0;
    case WM_DROPFILES:
        deliverDrop(window, (HDROP)wParam);
        return 0;
    case WM_DISPLAYCHANGE:
        // The screen changed under the picture: the surfaces are made again.
        markSurfacesLost();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        paintFront(window);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

Window* windowCreate(const char* title, int32_t width, int32_t height, WindowProc proc)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!win32.classRegistered) {
        // Pixels, not scaled logical units, so the picture's scale is exact.
        SetProcessDPIAware();
        WNDCLASSEXA windowClass;
        memset(&windowClass, 0, sizeof windowClass);
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = nativeProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
        windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
        windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        windowClass.lpszClassName = className;
        windowClass.hIconSm = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
        if (!RegisterClassExA(&windowClass)) {
            setError("RegisterClassExA");
            return nullptr;
        }
        win32.classRegistered = 1;
    }
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        snprintf(win32.error, sizeof win32.error, "out of memory");
        return nullptr;
    }
    window->proc = proc;
    // Borderless over the whole screen; a screen smaller than the picture still
    // gets the picture's size.
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (screenWidth <= 0 || screenHeight <= 0) {
        screenWidth = width;
        screenHeight = height;
    }
    window->hwnd = CreateWindowExA(WS_EX_ACCEPTFILES, className, title, WS_POPUP, 0, 0, screenWidth, screenHeight,
                                   nullptr, nullptr, instance, nullptr);
    if (!window->hwnd) {
        setError("CreateWindowExA");
        free(window);
        return nullptr;
    }
    SetWindowLongPtrA(window->hwnd, GWLP_USERDATA, (LONG_PTR)window);
    DragAcceptFiles(window->hwnd, TRUE);
    win32.window = window;
    return window;
}

void windowShow(Window* window)
{
    ShowWindow(window->hwnd, SW_SHOW);
    UpdateWindow(window->hwnd);
    SetForegroundWindow(window->hwnd);
}

void windowDestroy(Window* window)
{
    if (window->timerRunning)
        KillTimer(window->hwnd, 1);
    window->proc(window, MSG_DESTROY, 0, 0);
    window->destroying = 1;
    DestroyWindow(window->hwnd);
    if (win32.window == window)
        win32.window = nullptr;
    free(window);
}

intptr_t windowDefaultProc(Window* window, uint32_t message, uintptr_t, intptr_t)
{
    if (message == MSG_CLOSE)
        windowDestroy(window);
    return 0;
}

// WM_TIMER is made by the queue when it is empty of other work and never
// waits there twice: slow frames build no backlog.
int timerStart(Window* window, uint32_t milliseconds)
{
    if (!window)
        return 0;
    if (!SetTimer(window->hwnd, 1, milliseconds, nullptr)) {
        setError("SetTimer");
        return 0;
    }
    window->timerRunning = 1;
    return 1;
}

int messageGet(Message* message)
{
    memset(message, 0, sizeof *message);
    win32.droppedFile[0] = '\0';
    // Without a window nothing more can come: the quit message, if one was
    // posted, only gives the exit code.
    if (!win32.window) {
        MSG quit;
        if (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            message->wParam = (uintptr_t)quit.wParam;
        return 0;
    }
    const BOOL got = GetMessageA(&win32.native, nullptr, 0, 0);
    if (got == 0) {
        message->wParam = (uintptr_t)win32.native.wParam;
        return 0;
    }
    if (got < 0) {
        // The queue itself is broken: end as if the window closed.
        memset(&win32.native, 0, sizeof win32.native);
        win32.native.hwnd = win32.window->hwnd;
        win32.native.message = WM_CLOSE;
    }
    message->window = win32.window;
    message->message = win32.native.message;
    message->wParam = (uintptr_t)win32.native.wParam;
    message->lParam = (intptr_t)win32.native.lParam;
    return 1;
}

// Dispatches the message messageGet took, which `message` describes.
void messageDispatch(const Message*)
{
    TranslateMessage(&win32.native);
    DispatchMessageA(&win32.native);
}

intptr_t messageSend(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!window)
        return 0;
    // Close goes the system's way, WM_CLOSE and then WM_DESTROY.
    if (message == MSG_CLOSE)
        return (intptr_t)SendMessageA(window->hwnd, WM_CLOSE, 0, 0);
    return window->proc(window, message, wParam, lParam);
}

void messagePostQuit(int32_t exitCode)
{
    PostQuitMessage(exitCode);
}

void cursorShow(int show)
{
    show = show ? 1 : 0;
    if (show != win32.cursorShown)
        ShowCursor(show ? TRUE : FALSE);
    win32.cursorShown = show;
}

void cursorGet(int32_t* x, int32_t* y)
{
    POINT point = {0, 0};
    GetCursorPos(&point);
    *x = point.x;
    *y = point.y;
}

void cursorSet(int32_t x, int32_t y)
{
    SetCursorPos(x, y);
}

// ---- Video ----------------------------------------------------------------------

static int makeBitmap(Surface* surface)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = surface->width;
    info.bmiHeader.biHeight = -surface->height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        setError("CreateDIBSection");
        return 0;
    }
    if (surface->bitmap)
        DeleteObject(surface->bitmap);
    surface->bitmap = bitmap;
    surface->pixels = (uint32_t*)pixels;
    return 1;
}

static Surface* surfaceNew(int32_t kind, Video* video, int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || width > 8192 || height > 8192) {
        snprintf(win32.error, sizeof win32.error, "unsupported size %dx%d", (int)width, (int)height);
        return nullptr;
    }
    int slot = 0;
    while (slot < MAX_SURFACES && win32.surfaces[slot])
        slot++;
    Surface* surface = slot < MAX_SURFACES ? (Surface*)calloc(1, sizeof(Surface)) : nullptr;
    if (!surface) {
        snprintf(win32.error, sizeof win32.error, "no room for another surface");
        return nullptr;
    }
    surface->kind = kind;
    surface->video = video;
    surface->width = width;
    surface->height = height;
    if (!makeBitmap(surface)) {
        free(surface);
        return nullptr;
    }
    win32.surfaces[slot] = surface;
    return surface;
}

static void surfaceFree(Surface* surface)
{
    for (Surface*& slot : win32.surfaces)
        if (slot == surface)
            slot = nullptr;
    DeleteObject(surface->bitmap);
    free(surface);
}

static Surface* primarySurface()
{
    for (Surface* surface : win32.surfaces)
        if (surface && surface->kind == SURFACE_PRIMARY)
            return surface;
    return nullptr;
}

// Draws `surface` into the window's client area: the largest whole scale that
// fits, or when even 1 does not fit the largest nearest-pixel scale keeping
// 4 : 3, centred on black. Returns 0 when GDI refused to draw.
static int present(Window* window, const Surface* surface)
{
    RECT client;
    if (!GetClientRect(window->hwnd, &client))
        return 0;
    const int32_t areaWidth = client.right - client.left;
    const int32_t areaHeight = client.bottom - client.top;
    if (areaWidth <= 0 || areaHeight <= 0)
        return 1; // minimised: nothing to show
    int32_t width = surface->width;
    int32_t height = surface->height;
    const int32_t scale = areaWidth / width < areaHeight / height ? areaWidth / width : areaHeight / height;
    if (scale >= 1) {
        width *= scale;
        height *= scale;
    } else if ((int64_t)areaWidth * surface->height < (int64_t)areaHeight * surface->width) {
        width = areaWidth;
        height = (int32_t)((int64_t)areaWidth * surface->height / surface->width);
    } else {
        height = areaHeight;
        width = (int32_t)((int64_t)areaHeight * surface->width / surface->height);
    }
    const int32_t left = (areaWidth - width) / 2;
    const int32_t top = (areaHeight - height) / 2;

    HDC dc = GetDC(window->hwnd);
    if (!dc)
        return 0;
    PatBlt(dc, 0, 0, areaWidth, top, BLACKNESS);
    PatBlt(dc, 0, top + height, areaWidth, areaHeight - top - height, BLACKNESS);
    PatBlt(dc, 0, top, left, height, BLACKNESS);
    PatBlt(dc, left + width, top, areaWidth - left - width, height, BLACKNESS);
    SetStretchBltMode(dc, COLORONCOLOR);
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = surface->width;
    info.bmiHeader.biHeight = -surface->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int lines = StretchDIBits(dc, left, top, width, height, 0, 0, surface->width, surface->height,
                                    surface->pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window->hwnd, dc);
    return lines != 0;
}

static void paintFront(Window* window)
{
    const Surface* primary = primarySurface();
    if (primary && !primary->lost)
        present(window, primary);
}

Video* videoOpen(Window* window)
{
    // Without a window the reason it could not be made is already recorded.
    if (!window) {
        if (!win32.error[0])
            snprintf(win32.error, sizeof win32.error, "no window");
        return nullptr;
    }
    Video* video = (Video*)calloc(1, sizeof(Video));
    if (!video) {
        snprintf(win32.error, sizeof win32.error, "out of memory");
        return nullptr;
    }
    video->window = window;
    return video;
}

// The screen keeps its mode: the window covers it and the picture is scaled.
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount)
{
    if (bitCount != 32 || width < 1 || height < 1 || width > 8192 || height > 8192) {
        snprintf(win32.error, sizeof win32.error, "unsupported mode %dx%d at %d bits", (int)width, (int)height,
                 (int)bitCount);
        return 0;
    }
    video->width = width;
    video->height = height;
    return 1;
}

Surface* surfaceCreatePrimary(Video* video)
{
    Surface* primary = surfaceNew(SURFACE_PRIMARY, video, video->width, video->height);
    if (!primary)
        return nullptr;
    primary->backBuffer = surfaceNew(SURFACE_BACK, video, video->width, video->height);
    if (!primary->backBuffer) {
        surfaceFree(primary);
        return nullptr;
    }
    return primary;
}

Surface* surfaceBackBuffer(Surface* primary)
{
    return primary->backBuffer;
}

Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height)
{
    return surfaceNew(SURFACE_STAGING, video, width, height);
}

int32_t surfaceLock(Surface* surface, SurfaceLock* lock)
{
    if (surface->locked)
        return SURFACE_FAILED;
    // GDI may still be reading the section for a drawing it has queued.
    GdiFlush();
    surface->locked = 1;
    lock->pixels = surface->pixels;
    lock->pitch = surface->width * 4;
    lock->bitCount = 32;
    return SURFACE_OK;
}

int32_t surfaceUnlock(Surface* surface)
{
    if (!surface->locked)
        return SURFACE_FAILED;
    surface->locked = 0;
    return SURFACE_OK;
}

int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height)
{
    if (target->lost || source->lost)
        return SURFACE_LOST;
    if (source->locked || target->kind != SURFACE_BACK || width < 0 || height < 0 || width > source->width ||
        height > source->height || width > target->width || height > target->height)
        return SURFACE_FAILED;
    for (int32_t y = 0; y < height; y++)
        memcpy(target->pixels + (size_t)y * target->width, source->pixels + (size_t)y * source->width,
               (size_t)width * 4);
    return SURFACE_OK;
}

// The back buffer becomes the front and is drawn; a refusal from GDI (the
// screen is locked or changing mode) counts as a lost surface.
int32_t surfaceFlip(Surface* primary)
{
    if (primary->lost)
        return SURFACE_LOST;
    Surface* back = primary->backBuffer;
    HBITMAP bitmap = primary->bitmap;
    uint32_t* pixels = primary->pixels;
    primary->bitmap = back->bitmap;
    primary->pixels = back->pixels;
    back->bitmap = bitmap;
    back->pixels = pixels;
    if (!present(primary->video->window, primary)) {
        markSurfacesLost();
        return SURFACE_LOST;
    }
    return SURFACE_OK;
}

// A lost surface gets a new section; the chain needs nothing but to be drawn
// again.
int32_t surfaceRestore(Surface* surface)
{
    if (!surface->lost)
        return SURFACE_OK;
    if (surface->kind == SURFACE_PRIMARY && surface->backBuffer) {
        if (!makeBitmap(surface->backBuffer))
            return SURFACE_FAILED;
        surface->backBuffer->lost = 0;
    }
    if (!makeBitmap(surface))
        return SURFACE_FAILED;
    surface->lost = 0;
    return SURFACE_OK;
}

void surfaceRelease(Surface* surface)
{
    if (surface->kind == SURFACE_PRIMARY && surface->backBuffer)
        surfaceFree(surface->backBuffer);
    surfaceFree(surface);
}

void videoRelease(Video* video)
{
    free(video);
}
