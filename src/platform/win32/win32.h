// What the two halves of the Win32 backend share: its records and its state.
// Only the backend's own files include this.
#pragma once

#include <windows.h>

#include "platform/surfaces.h"

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

struct Win32State {
    int classRegistered;
    Window* window;
    MSG native;          // the message messageGet took, for messageDispatch
    Surface* primary;    // the front of the flipping chain, drawn again on WM_PAINT
    int32_t cursorShown; // ShowCursor keeps a count; this keeps it at one step
    char droppedFile[MAX_PATH * 4];
};
// The backend's one state: written and read by its window and video halves.
extern Win32State win32;

// Records the failed call and the system's error code for platformError.
void win32SetError(const char* what);
// Where the picture of frameWidth x frameHeight pixels is shown in the
// client area: width 0 while the window is minimised.
struct PictureRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t frameWidth;
    int32_t frameHeight;
};
PictureRect pictureRect(Window* window);
// Draws the front buffer into the window (win32_video.cpp).
void paintFront(Window* window);
