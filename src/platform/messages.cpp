// The message functions the backends share (all but Win32, which has the
// system's own): dispatching and sending go straight to the window's
// procedure, the default handling closes, and a posted quit ends the loop.
#include "platform/backend.h"

MessageLoop messageLoop;

void messageDispatch(const Message* message)
{
    if (message->window)
        windowProcOf(message->window)(message->window, message->message, message->wParam, message->lParam);
}

intptr_t messageSend(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!window)
        return 0;
    return windowProcOf(window)(window, message, wParam, lParam);
}

// Closing a window destroys it, which leads to MSG_DESTROY.
intptr_t windowDefaultProc(Window* window, uint32_t message, uintptr_t, intptr_t)
{
    if (message == MSG_CLOSE)
        windowDestroy(window);
    return 0;
}

void messagePostQuit(int32_t exitCode)
{
    messageLoop.quitPosted = 1;
    messageLoop.exitCode = exitCode;
}
