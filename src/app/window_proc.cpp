#include <cmath>

#include "app/app.h"
#include "display/display.h"
#include "render/render.h"

intptr_t windowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case MSG_DESTROY:
        displayRelease();
        messagePostQuit(0);
        return 0;
    case MSG_KEYDOWN:
        handleKey((uint32_t)wParam);
        return 0;
    case MSG_TIMER:
        frameTick();
        return 0;
    case MSG_DROPFILES:
        dropPattern((const char*)wParam, nullptr, 0);
        return 0;
    default:
        return windowDefaultProc(window, message, wParam, lParam);
    }
}

// Sine and cosine of the pitch in double precision, stored as single, as the
// rotation builders take theirs: the float functions of C libraries differ in
// the last bit (glibc's sinf from the browser build's for about one pitch in a
// thousand), the rounded double results agree.
static float pitchSine()
{
    return (float)sin((double)app.pitchAngle);
}

static float pitchCosine()
{
    return (float)cos((double)app.pitchAngle);
}

// Moves act in the camera's own frame (matTranslate pre-multiplies); Up and
// Down follow the pitched forward axis (0, -sin, cos). Auto-repeat repeats.
void handleKey(uint32_t key)
{
    switch (key) {
    case KEY_ESCAPE:
        cursorShow(1);
        messageSend(app.window, MSG_CLOSE, 0, 0);
        break;
    case KEY_END:
        toggleFiltering();
        break;
    case KEY_HOME:
        app.graphRequested = 1;
        break;
    case KEY_LEFT:
        matTranslate(&app.cameraMatrix, -moveStep, 0.0f, 0.0f);
        break;
    case KEY_UP:
        matTranslate(&app.cameraMatrix, 0.0f, -moveStep * pitchSine(), moveStep * pitchCosine());
        break;
    case KEY_RIGHT:
        matTranslate(&app.cameraMatrix, moveStep, 0.0f, 0.0f);
        break;
    case KEY_DOWN:
        matTranslate(&app.cameraMatrix, 0.0f, moveStep * pitchSine(), -moveStep * pitchCosine());
        break;
    case KEY_INSERT:
        stepWorld();
        break;
    case KEY_DELETE:
        app.autoIterate = app.autoIterate == 0 ? 1 : 0;
        break;
    case KEY_F12:
        app.screenshotRequested = 1;
        break;
    default:
        break;
    }
}
