// The headless backend: no window system and no screen. Messages come from a
// script, surfaces are plain memory, and the last frame presented is kept for
// the caller to read. Tests make its calls fail through faults.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/backend.h"

// ---- Scripts -----------------------------------------------------------------
enum {
    SCRIPT_TICK = 1,  // `count` timer messages
    SCRIPT_KEY = 2,   // `count` key-down messages with `code`
    SCRIPT_MOUSE = 3, // the cursor stands (dx, dy) from the centre at the next look
    SCRIPT_DROP = 4,  // a file dropped on the window: its path at `code` in the script's names
    // The button pressed at (dx, dy), `count` - 2 moves ending at the point
    // `code` holds packed as pointerParam packs it, released there: `count`
    // messages.
    SCRIPT_DRAG = 5,
};

// A key step with Ctrl held has dx 1.
struct ScriptStep {
    int32_t kind;
    int32_t count;
    int32_t code;
    int32_t dx;
    int32_t dy;
};

struct Script {
    ScriptStep* steps;
    int32_t stepCount;
    int32_t capacity;
    char* names; // the dropped files' paths, each zero-terminated
    size_t namesUsed;
    size_t namesCapacity;
};

enum { SCRIPT_MAX_COUNT = 1000000, SCRIPT_MAX_OFFSET = 1000000, SCRIPT_MAX_PATH = 4095 };

// Parses a script text of `size` bytes (it need not end in a zero):
//   tick [N]        N timer messages, 1 when N is left out
//   key NAME [N]    NAME is esc, end, home, left, up, right, down, ins, del,
//                   f9, f12 (and the rest of keyNames) or a code 0xNN, with
//                   ctrl+ in front while Ctrl is held (ctrl+z, ctrl+0x53)
//   mouse DX DY     the cursor offset from the centre at the next tick
//   click X Y       the button pressed and released at frame pixel (X, Y)
//   drag X1 Y1 X2 Y2 [STEPS]
//                   pressed at (X1, Y1), moved in STEPS (1 when left out,
//                   at most 10000) even steps to (X2, Y2), released there
//   drop FILE       FILE dropped on the window; the rest of the line, blanks
//                   around it left out, at most 4095 bytes
// Blank lines and lines starting with # are skipped. N runs 0..1000000, DX and
// DY -1000000..1000000, X and Y -32768..32767. Returns 1 with the steps in `script`, or 0 with a
// message naming the bad line in `error` and `script` empty.
int scriptParse(const char* text, size_t size, Script* script, char* error, size_t errorSize);
void scriptRelease(Script* script);

// ---- The scripted machine ------------------------------------------------------
// The one headless machine: set up by tests and the replay runner through
// headlessReset, written by the backend's calls, read back by tests.
struct HeadlessState {
    // Input: the script being played and how far it got.
    const Script* script;
    int32_t step;
    int32_t stepDone;
    // 0: when the script runs out, Esc is pressed for it, as a user ends the
    // program. 1: the message loop ends there as on a quit message, leaving
    // the program standing (window, display, renderer) for the caller to
    // drive frame by frame.
    int32_t scriptEndQuits;

    // Window system.
    Window* window;
    int32_t cursorVisible;
    int32_t cursorX;
    int32_t cursorY;
    int32_t centreX; // where the cursor was last set
    int32_t centreY;
    uint32_t timerMilliseconds; // 0: no timer

    // The screen.
    int32_t framesPresented;
    uint32_t* frame; // the last frame flipped to the screen, width x height
    int32_t frameWidth;
    int32_t frameHeight;
};
extern HeadlessState headless;
// The threads the program draws with (platformThreads); 1 unless a test or
// the replay runner (--threads) says otherwise. headlessReset keeps it.
extern int32_t headlessThreads;
// platformLoadsBeside's answer: 0, so that a script's drop is shown by the
// tick after it, unless a test says otherwise. headlessReset keeps it.
extern int32_t headlessLoadsBeside;
// platformTouchScreen's answer; 0 unless the replay runner (--touch) says
// otherwise. headlessReset keeps it.
extern int32_t headlessTouchScreen;

// Forgets everything (the last frame and the injected faults included) and
// plays `script` from its first step; null plays an empty script. When the
// script runs out the window gets Esc, as if the user pressed it.
void headlessReset(const Script* script);
