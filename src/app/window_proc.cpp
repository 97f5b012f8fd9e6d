// The window procedure: every message the program takes, and the key table.
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
        if ((lParam & KEY_WITH_CONTROL) && wParam == KEY_Z)
            drawUndo();
        else if ((lParam & KEY_WITH_CONTROL) && wParam == KEY_S)
            drawSave();
        else
            handleKey((uint32_t)wParam);
        return 0;
    case MSG_LBUTTONDOWN:
        drawPress(pointerX(lParam), pointerY(lParam));
        return 0;
    case MSG_MOUSEMOVE:
        drawMove(pointerX(lParam), pointerY(lParam));
        return 0;
    case MSG_LBUTTONUP:
        drawRelease(pointerX(lParam), pointerY(lParam));
        return 0;
    case MSG_TIMER:
        frameTick();
        return 0;
    case MSG_DROPFILES:
        dropPattern((const char*)wParam, nullptr, 0);
        return 0;
    case MSG_FIGURES: {
        if (!app.world)
            return 0;
        WindowFigures* figures = (WindowFigures*)lParam;
        figures->generation = worldGeneration(app.world);
        figures->population = worldPopulation(app.world);
        figures->drawn = app.drawnSinceLoad;
        snprintf(figures->rule, sizeof figures->rule, "%s", app.world->ruleName);
        if (loadPath()) {
            char stage[96];
            loadStage(stage, sizeof stage);
            snprintf(figures->loading, sizeof figures->loading, "%s", stage);
        }
        figures->autoIterate = app.autoIterate;
        figures->filtering = filteringOn();
        figures->drawing = app.drawing;
        figures->follow = app.follow;
        figures->states = app.world->states;
        figures->drawState = drawStateShown();
        figures->goingTo = app.going ? app.goingTo : -1;
        snprintf(figures->engine, sizeof figures->engine, "%s", worldEngineName(app.world));
        return 1;
    }
    case MSG_DROPCANCEL:
        if (!dropCancel())
            goingCancel();
        return 0;
    case MSG_GOTO:
        if (app.world)
            goTo((int64_t)(((uint64_t)(uint32_t)lParam << 32) | (uint32_t)wParam));
        return 0;
    case MSG_DRAWSTATE:
        if (wParam <= INT32_MAX)
            drawPickState((int32_t)wParam);
        return 0;
    case MSG_VIEWSTART:
        if (app.world)
            cameraBackToStart();
        return 0;
    case MSG_EXPORTWORLD: {
        if (!app.world)
            return 0;
        char reason[WORLD_REASON];
        const char* folder = (const char*)lParam;
        return wParam ? historySaveStart(folder, reason, sizeof reason) : worldSave(app.world, folder, reason,
            sizeof reason);
    }
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
// Down follow the pitched forward axis (0, -sin, cos), and so do PgUp and
// PgDn. Auto-repeat repeats. A move ends following.
void handleKey(uint32_t key)
{
    if (askKey(key))
        return;
    const float step = cameraMoveStep();
    switch (key) {
    case KEY_ESCAPE:
        if (dropCancel() || goingStop())
            break;
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
        app.follow = 0;
        matTranslate(&app.cameraMatrix, -step, 0.0f, 0.0f);
        break;
    case KEY_UP:
        app.follow = 0;
        matTranslate(&app.cameraMatrix, 0.0f, -step * pitchSine(), step * pitchCosine());
        break;
    case KEY_RIGHT:
        app.follow = 0;
        matTranslate(&app.cameraMatrix, step, 0.0f, 0.0f);
        break;
    case KEY_DOWN:
        app.follow = 0;
        matTranslate(&app.cameraMatrix, 0.0f, step * pitchSine(), -step * pitchCosine());
        break;
    case KEY_PAGEUP:
    case KEY_PAGEDOWN: {
        app.follow = 0;
        const float forward = cameraZoomStep(key == KEY_PAGEUP);
        matTranslate(&app.cameraMatrix, 0.0f, -forward * pitchSine(), forward * pitchCosine());
        break;
    }
    case KEY_F:
        cameraFrame();
        break;
    case KEY_E:
        drawToggle();
        break;
    case KEY_C:
        drawCycleState();
        break;
    case KEY_T:
        app.follow = app.follow == 0 ? 1 : 0;
        break;
    case KEY_INSERT:
        stepWorld();
        break;
    case KEY_DELETE:
        app.autoIterate = app.autoIterate == 0 ? 1 : 0;
        break;
    case KEY_F9:
        recordToggle();
        break;
    case KEY_F12:
        app.screenshotRequested = 1;
        break;
    case KEY_P:
        app.showPopulation = app.showPopulation == 0 ? 1 : 0;
        break;
    case KEY_R:
        app.going = 0;
        app.stepLeft = 0;
        historyRestart();
        break;
    case KEY_BACK:
        app.going = 0;
        app.stepLeft = 0;
        historyBack();
        break;
    case KEY_H:
        switchEngine();
        break;
    case KEY_PLUS:
    case KEY_ADD:
        changeSpeed(1);
        break;
    case KEY_MINUS:
    case KEY_SUBTRACT:
        changeSpeed(0);
        break;
    default:
        break;
    }
}
