// What the browser backend's files share.
#pragma once

#include "platform/platform.h"

// The program's window, null while none is open.
Window* webWindowShown();
