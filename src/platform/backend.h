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
