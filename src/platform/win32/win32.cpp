// The Win32 backend: one borderless window covering the screen, the system's
// own message loop and timer, GetCursorPos/SetCursorPos for mouse look; the
// picture is win32_video.cpp's.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/win32.h"

static const char* const className = "Veltrix_Engine";

Win32State win32 = {0, nullptr, {}, nullptr, 1, {}};

void win32SetError(const char* what)
{
    backendSetErrorf("%s failed (error %lu)", what, (unsigned long)GetLastError());
}

int32_t platformThreads()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const int32_t cores = (int32_t)system.dwNumberOfProcessors;
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

// The client point of a mouse message in frame pixels, through the
// rectangle the picture is presented in.
static intptr_t framePoint(Window* window, LPARAM lParam)
{
    const int32_t x = (int16_t)LOWORD(lParam), y = (int16_t)HIWORD(lParam);
    const PictureRect r = pictureRect(window);
    if (r.width <= 0 || r.height <= 0)
        return pointerParam(-1, -1);
    // Rounded down, as the stretch maps its pixels.
    const int64_t fx = ((int64_t)x - r.left) * r.frameWidth / r.width;
    const int64_t fy = ((int64_t)y - r.top) * r.frameHeight / r.height;
    const int64_t limit = 32767;
    return pointerParam((int32_t)(fx < -limit ? -limit : fx > limit ? limit : fx),
        (int32_t)(fy < -limit ? -limit : fy > limit ? limit : fy));
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
        return window->proc(window, MSG_KEYDOWN, wParam, GetKeyState(VK_CONTROL) < 0 ? KEY_WITH_CONTROL : 0);
    case WM_MOUSEMOVE:
        if (!win32.cursorShown)
            return 0;
        return window->proc(window, MSG_MOUSEMOVE, 0, framePoint(window, lParam));
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        return window->proc(window, MSG_LBUTTONDOWN, 0, framePoint(window, lParam));
    case WM_LBUTTONUP:
        ReleaseCapture();
        return window->proc(window, MSG_LBUTTONUP, 0, framePoint(window, lParam));
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
        surfacesMarkLost();
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
            win32SetError("RegisterClassExA");
            return nullptr;
        }
        win32.classRegistered = 1;
    }
    Window* window = (Window*)calloc(1, sizeof(Window));
    if (!window) {
        backendSetErrorf("out of memory");
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
        win32SetError("CreateWindowExA");
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
        win32SetError("SetTimer");
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

