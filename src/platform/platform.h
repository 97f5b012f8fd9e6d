// The platform layer: everything that touches the operating system sits behind
// this header. The engine's subsystems use only what is declared here.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Heap ------------------------------------------------------------------
// Every allocation that may fail goes through these, so that tests can count
// allocations and make any one of them fail.
void* heapAlloc(size_t size);
void* heapCalloc(size_t count, size_t size);
void* heapRealloc(void* block, size_t size);
void heapFree(void* block);

// Test hook: `calls` counts heapAlloc/heapCalloc/heapRealloc since the last
// reset. With failAt = n > 0 the n-th call fails, and with failRest set every
// later call fails too. heapFree is never counted. Set by tests, read and
// counted by the heap functions.
struct HeapHook {
    int64_t calls;
    int64_t failAt;
    int32_t failRest;
};
extern HeapHook heapHook;
void heapHookReset();

// ---- Reasons ---------------------------------------------------------------
// Why the last reader refused its input, or what it read leniently: one line
// "NAME: TEXT", the name saying which file (and where in it). One record
// serves every reader; each read empties it first, so a caller that needs a
// line past the next read keeps a copy. Written by readReasonClear and
// readFail, read through each area's accessor (sceneLoadReason and the like).
enum { READ_REASON_SIZE = 512 };
struct ReadReason {
    char line[READ_REASON_SIZE];
};
extern ReadReason readReason;
void readReasonClear();
// Sets the line to "NAME: TEXT", cut short where it does not fit, and
// returns 0, so a failing step can `return readFail(...)`.
int readFail(const char* name, const char* format, ...) __attribute__((format(printf, 2, 3)));
int readFailList(const char* name, const char* format, va_list args);
// fileReadAll for a reader that names its file by path: 1 with the bytes, or
// 0 with nothing allocated and the line saying, after the path, that the file
// would not open or read (with the system's reason) or memory ran out. Every
// reader's path wrapper comes through here.
int readerLoadFile(const char* path, size_t limit, uint8_t** bytes, size_t* size);

// ---- Threads ---------------------------------------------------------------
// The renderer's workers: threads that live as long as the program, and a
// lock with a condition they sleep on until there is work.
struct ThreadSignal;

// Starts a thread running run(argument). It is never joined: whoever starts
// it must see that it has returned before what it uses goes away. Returns 1,
// or 0 when no thread could be made.
int threadStart(void (*run)(void* argument), void* argument);
// A signal's lock and condition. signalMake returns null when it cannot.
ThreadSignal* signalMake();
void signalDrop(ThreadSignal* signal);
void signalLock(ThreadSignal* signal);
void signalUnlock(ThreadSignal* signal);
// With the lock held: lets it go and sleeps until woken, then holds it again.
// May also return unwoken, so callers wait in a loop on what they wait for.
void signalWait(ThreadSignal* signal);
// Wakes every thread sleeping in signalWait.
void signalWakeAll(ThreadSignal* signal);
// A hint to the processor inside a loop that waits by looking.
void threadPause();

// ---- Files -----------------------------------------------------------------
// Paths are written with backslashes as folder separators ("Cells\Cell.3ds");
// these map them to the local separator. A path longer than 4095 characters
// cannot be opened.
// Files are opened as bytes everywhere (no line-end translation), so what the
// program writes is the same on every system.
FILE* fileOpen(const char* path, const char* mode);
int fileExists(const char* path);
enum FileReadResult {
    FILE_READ_OK,
    FILE_NOT_OPENED,  // errno says why, or is 0 for a path too long
    FILE_NOT_READ,    // errno says why
    FILE_NO_MEMORY,
};
// Reads the file at path from its start to its end, or to limit (at least 1)
// bytes when it is longer, the rest left unread, into one heap block that the
// caller frees with heapFree; pipes read like files. FILE_READ_OK with *bytes
// and *size set, or the failure with nothing allocated.
FileReadResult fileReadAll(const char* path, size_t limit, uint8_t** bytes, size_t* size);
// Renames `from` to `to`, replacing a file already there. Returns 0 on failure
// with errno set.
int fileReplace(const char* from, const char* to);

// ---- Window, timer and input -----------------------------------------------
// One window with a window procedure, fed by a message loop on the one thread.
// Message numbers follow the window system the program was first written for.
enum {
    MSG_DESTROY = 0x0002,
    MSG_CLOSE = 0x0010,
    // wParam the virtual-key code; lParam KEY_WITH_CONTROL while Ctrl is held.
    MSG_KEYDOWN = 0x0100,
    MSG_TIMER = 0x0113,
    // The pointer in frame pixels, lParam = pointerParam(x, y). Motion comes
    // only while the cursor shows; the button's down and up always.
    MSG_MOUSEMOVE = 0x0200,
    MSG_LBUTTONDOWN = 0x0201,
    MSG_LBUTTONUP = 0x0202,
    // A file was dropped on the window: wParam points to its path, zero-
    // terminated, valid until the next messageGet.
    MSG_DROPFILES = 0x0233,
    // Sent, not posted, by a backend that shows the program's figures beside
    // the picture (the page): lParam points to a WindowFigures record the
    // window procedure fills. Result 1.
    MSG_FIGURES = 0x0400,
    // Sent by a backend that keeps the world elsewhere (the page's link and
    // rule choice): the window procedure writes the world shown (wParam 0) or
    // its generation 0 (wParam 1) as Life.ini and Rules.ini into the folder
    // lParam points to, zero-terminated. Result 1, or 0 when not written.
    MSG_EXPORTWORLD = 0x0401,
    // Posted by a backend with camera presets (the page): the camera goes
    // back to where the world shown was first seen from, at start-up or as it
    // loaded, and the pointer's motion not yet looked with is dropped; the
    // world and its generation stay as they are.
    MSG_VIEWSTART = 0x0402,
    // Posted by a backend whose page has a Stop for loads: a dropped file
    // being read stops as Esc stops it; with none being read nothing happens
    // (where Esc would close the window).
    MSG_DROPCANCEL = 0x0403,
    // Posted by a backend with a field for the generation (the page): the
    // world goes there as G and Enter take it, over as many ticks as it
    // needs. The generation's low 32 bits are in wParam, the high in lParam.
    MSG_GOTO = 0x0404,
    // Posted by a backend with a menu of states (the page): drawing gives
    // state wParam from now on, when the world shown has it.
    MSG_DRAWSTATE = 0x0410,
};

// What MSG_FIGURES reports of the program.
struct WindowFigures {
    int64_t generation;
    int64_t population;
    int32_t drawn;  // 1 once cells were drawn or undone on the world loaded last
    char rule[128]; // the rule in the community's notation, "B3/S23"
    char loading[128]; // where a dropped file being read stands; "" when none is
    // The switches the page's buttons show, 1 while on: Del's
    // auto-iteration, End's filtering, E's drawing and T's following.
    int32_t autoIterate;
    int32_t filtering;
    int32_t drawing;
    int32_t follow;
    int32_t states;    // the states a cell of the world shown may take, 2 or more
    int32_t drawState; // the state drawing gives, 1 to states - 1
    int64_t goingTo; // the generation being gone to; -1 when none is
    char engine[16]; // the engine the world is on: "board", "universe", "hashlife"
};

// Virtual-key codes carried by MSG_KEYDOWN in `wParam`.
enum {
    KEY_BACK = 0x08,
    KEY_RETURN = 0x0D,
    KEY_ESCAPE = 0x1B,
    KEY_PAGEUP = 0x21,
    KEY_PAGEDOWN = 0x22,
    KEY_END = 0x23,
    KEY_HOME = 0x24,
    KEY_LEFT = 0x25,
    KEY_UP = 0x26,
    KEY_RIGHT = 0x27,
    KEY_DOWN = 0x28,
    KEY_INSERT = 0x2D,
    KEY_DELETE = 0x2E,
    KEY_0 = 0x30,        // the digits 0 to 9 are KEY_0 + d
    KEY_C = 0x43,
    KEY_E = 0x45,
    KEY_F = 0x46,
    KEY_G = 0x47,
    KEY_H = 0x48,
    KEY_P = 0x50,
    KEY_R = 0x52,
    KEY_S = 0x53,
    KEY_T = 0x54,
    KEY_Z = 0x5A,
    KEY_NUMPAD0 = 0x60,  // the keypad's digits are KEY_NUMPAD0 + d
    KEY_ADD = 0x6B,      // the keypad's +
    KEY_SUBTRACT = 0x6D, // the keypad's -
    KEY_F9 = 0x78,
    KEY_F12 = 0x7B,
    KEY_PLUS = 0xBB,     // the main keyboard's =/+ key
    KEY_MINUS = 0xBD,
};

enum { KEY_WITH_CONTROL = 1 };

// A pointer message's position, as the window system packs it: x in the low
// 16 bits and y in the next 16, each signed.
inline intptr_t pointerParam(int32_t x, int32_t y)
{
    return (intptr_t)(((uint32_t)(uint16_t)y << 16) | (uint16_t)x);
}
inline int32_t pointerX(intptr_t lParam)
{
    return (int16_t)(uint16_t)(lParam & 0xFFFF);
}
inline int32_t pointerY(intptr_t lParam)
{
    return (int16_t)(uint16_t)((lParam >> 16) & 0xFFFF);
}

struct Window;
typedef intptr_t (*WindowProc)(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct Message {
    Window* window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// Creates the window, not yet visible, `width` x `height` without caption.
// Returns null when the window system cannot be had (platformError says why).
Window* windowCreate(const char* title, int32_t width, int32_t height, WindowProc proc);
void windowShow(Window* window);
// Sends MSG_DESTROY to the window procedure, stops the window's timer and
// frees the window.
void windowDestroy(Window* window);
// MSG_CLOSE destroys the window; every other message is ignored (result 0).
intptr_t windowDefaultProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Posts MSG_TIMER to the window every `milliseconds`. At most one timer
// message waits in the queue at any time, so a slow frame builds no backlog.
int timerStart(Window* window, uint32_t milliseconds);

// Waits for the next message. Returns 0 once the quit message was posted
// (its exit code in `wParam`), otherwise 1.
int messageGet(Message* message);
void messageDispatch(const Message* message);
// Calls the window procedure at once and returns its result.
intptr_t messageSend(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void messagePostQuit(int32_t exitCode);

// The cursor is hidden while the program looks with the mouse. Reading it
// gives the position last set plus the motion made since; setting it
// re-centres.
void cursorShow(int show);
void cursorGet(int32_t* x, int32_t* y);
void cursorSet(int32_t x, int32_t y);

// The reason of the last window or video failure, never null.
const char* platformError();
// How many threads the program should draw its frames with: the machine's
// hardware threads, at most 8, where the backend can run threads at all.
int32_t platformThreads();
// 1 when a file the user hands the program may be read on a thread of its
// own while frames go on; 0 when it is read between two frames.
int32_t platformLoadsBeside();
// 1 when the program is worked by touch rather than keys (the page on a
// phone, whose buttons stand for the keys), else 0.
int32_t platformTouchScreen();

// ---- Video surfaces ----------------------------------------------------------
// A screen mode with a flipping chain (primary surface and its back buffer) and
// off-screen staging surfaces that frames are written into, blitted to the back
// buffer and flipped to the screen.
enum {
    SURFACE_OK = 0,
    SURFACE_LOST = 1,         // the surface memory is gone: restore it
    SURFACE_STILL_DRAWING = 2, // the device is busy: try again
    SURFACE_FAILED = 3,
};

struct Video;
struct Surface;

// What a lock gives: the memory of the top row, the bytes from one row to the
// next (at least width * 4 for 32 bits per pixel) and the bits per pixel.
struct SurfaceLock {
    void* pixels;
    int32_t pitch;
    int32_t bitCount;
};

// Set-up: every call returns null or 0 on failure (platformError says why).
Video* videoOpen(Window* window);
int videoSetMode(Video* video, int32_t width, int32_t height, int32_t bitCount);
Surface* surfaceCreatePrimary(Video* video);
Surface* surfaceBackBuffer(Surface* primary);
Surface* surfaceCreateStaging(Video* video, int32_t width, int32_t height);

int32_t surfaceLock(Surface* surface, SurfaceLock* lock);
int32_t surfaceUnlock(Surface* surface);
// Copies the rectangle (0, 0, width, height) of `source` to (0, 0) of `target`.
int32_t surfaceBlit(Surface* target, Surface* source, int32_t width, int32_t height);
// Shows the back buffer of the primary surface.
int32_t surfaceFlip(Surface* primary);
int32_t surfaceRestore(Surface* surface);
// The back buffer is part of its primary surface and is not released alone.
void surfaceRelease(Surface* surface);
void videoRelease(Video* video);
