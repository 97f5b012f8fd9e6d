// Display: the full-screen mode, its flipping chain and the two staging
// surfaces that carry finished frames to the screen.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// One process-wide display. Absent objects are null. Written by the display
// functions alone; read by them and by tests.
struct DisplayState {
    Video* video;
    Surface* primary;
    Surface* backBuffer; // belongs to the primary's chain, never released alone
    Surface* stagingA;
    Surface* stagingB;
    // 1: the current frame goes through staging surface A, 0: through B.
    int32_t useFirstStaging;
    int32_t width;
    int32_t height;
    SurfaceLock lock; // the description shared by every lock
};
extern DisplayState display;

// Sets the mode and creates the chain and both staging surfaces; stops at the
// first failing call, leaving the later objects null. Returns 1 when every
// object exists, 0 otherwise.
int displayInit(Window* window, int32_t width, int32_t height);
// Locks the current staging surface. Gives the memory of its top row and its
// pitch in bytes; returns 0 (nothing locked) when the lock fails or the surface
// is not 32 bits per pixel with room for `width` pixels a row.
int displayLock(void** pixels, int32_t* pitch);
// Copies a width x height frame into locked memory with the given pitch: one
// block when the rows are packed, row by row when the surface pads them.
void displayCopyFrame(void* pixels, int32_t pitch, const uint32_t* frame);
// Unlocks the current staging surface, blits it to the back buffer, flips and
// moves on to the other staging surface.
void displayPresent();
// Restores the primary surface, then A, then B; returns the first failing code
// or SURFACE_OK.
int32_t displayRestore();
// Releases every object that exists; does nothing without a video object.
void displayRelease();
