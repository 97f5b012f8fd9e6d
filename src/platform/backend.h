// What the backends share and what the shared message functions need from
// them. Only the platform layer, its backends and their tests include this.
#pragma once

#include "platform/platform.h"

// The procedure `window` was created with; each backend keeps it in its own
// Window record.
WindowProc windowProcOf(Window* window);

// Written by messagePostQuit, read by every backend's messageGet, which
// returns 0 with exitCode once quitPosted is set; a backend clears it when
// a new program run starts.
struct MessageLoop {
    int32_t quitPosted;
    int32_t exitCode;
};
extern MessageLoop messageLoop;

// Mouse look from relative motion (SDL's relative mode, the browser's pointer
// lock): the cursor is where it was last set plus the motion since.
struct RelativeCursor {
    int32_t centreX;
    int32_t centreY;
    int32_t motionX;
    int32_t motionY;
};

inline void relativeCursorGet(const RelativeCursor* cursor, int32_t* x, int32_t* y)
{
    *x = cursor->centreX + cursor->motionX;
    *y = cursor->centreY + cursor->motionY;
}

inline void relativeCursorSet(RelativeCursor* cursor, int32_t x, int32_t y)
{
    *cursor = RelativeCursor{x, y, 0, 0};
}
