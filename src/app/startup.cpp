#include <cstring>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "render/render.h"
#include "texture/texture.h"

AppState app;

// Start-up runs its stages strictly in order, each announced in Engine.log, so
// the log's last line tells how far it came. A failed stage ends the program
// with exit code 0 at once and releases nothing; the reader's reason follows
// the stage's heading. What a stage could do without (a model with no mesh,
// the font, numbers the rule or the pattern lacked) follows its "    OK" as a
// warning.

// One line, indented like "    OK"; bytes that would break the line (a
// material name may hold any) become '?'.
static void logReason(const char* lead, const char* reason, const char* consequence)
{
    char line[1024];
    snprintf(line, sizeof line, "    %s%s%s", lead, reason, consequence);
    for (char* c = line; *c; c++) {
        if ((unsigned char)*c < 32)
            *c = '?';
    }
    logLine(line);
}

static void logWarning(const char* reason, const char* consequence)
{
    if (reason[0])
        logReason("Warning: ", reason, consequence);
}

void startWindow()
{
    memset(&app, 0, sizeof app);

    logStart();

    // A window that cannot be had is not a stage of its own: without it the
    // display set-up fails below and ends the program there.
    app.window = windowCreate("Veltrix - Engine 3.0 (The game of life)", screenWidth, screenHeight, windowProc);
    if (app.window) {
        windowShow(app.window);
        cursorShow(0);
    }

    // The roll is the float one step below pi in magnitude (bits 0xC0490FDA),
    // so the camera is turned upside down all but a hair.
    matIdentity(&app.cameraMatrix);
    matRotateZ(&app.cameraMatrix, -3.1415925f);
    matTranslate(&app.cameraMatrix, 0.0f, -30.0f, -50.0f);
    app.pitchAngle = 0.0f;
    app.screen = renderScreenOf(screenWidth, screenHeight);
    app.touchScreen = platformTouchScreen();
}

int startScene()
{
    logLine("Loading world ..");
    app.scene = loadScene("Cells\\Cell.3ds");
    if (!app.scene) {
        logReason("", sceneLoadReason(), "");
        return 0;
    }
    for (int32_t i = 0; i < app.scene->objectCount; i++)
        matIdentity(&app.scene->objects[i].matrix);
    logLine("    OK");
    logWarning(sceneLoadReason(), "; the board shows no cells");
    return 1;
}

int startTextures()
{
    logLine("Loading textures ...");
    // The loader may shorten the folder name in place.
    char folder[] = "Cells";
    if (!loadMaterialTextures(app.scene, folder)) {
        logReason("", textureLoadReason(), "");
        return 0;
    }
    logLine("    OK");
    return 1;
}

int startLife()
{
    logLine("Init life (from file 'Life.ini') ...");
    historyReset();
    goingReset();
    WorldLoadNotes notes;
    app.world = worldLoadFiles(&notes);
    if (!app.world) {
        logReason("", lifeLoadReason(), "");
        return 0;
    }
    logLine("    OK");
    // A world may lie anywhere: unless its view is fixed, its first frame
    // shows its cells.
    cameraShowWorld(1);
    if (notes.ruleNamed)
        logReason("Rule ", app.world->ruleName, "");
    logWarning(notes.rulesWarning, "");
    logWarning(lifeLoadReason(), "");
    return 1;
}

int startEngine()
{
    logLine("Init engine ...");
    if (!engineInit(screenWidth, screenHeight))
        return 0;
    // Threads that cannot be had leave one worker: the same frames, slower.
    renderWorkersStart(platformThreads());
    // Without a font the program runs on, drawing no text.
    const int font = fontLoad(screenWidth, screenHeight);
    logLine("    OK");
    if (!font)
        logWarning(imageLoadReason(), "; the program runs without text");
    return 1;
}

int startDisplay()
{
    // Every frame needs the whole display, so a display that cannot be set up
    // ends the program like a failed stage, after its line and the reason.
    const int displayReady = displayInit(app.window, screenWidth, screenHeight);
    logLine("DDraw is running..");
    if (!displayReady) {
        char reason[512];
        snprintf(reason, sizeof reason, "    Display failed: %s", platformError());
        logLine(reason);
        return 0;
    }
    return 1;
}

int startFramebuffer()
{
    logLine("Locking some memory ...");
    app.framebuffer = (uint32_t*)heapAlloc((size_t)screenWidth * screenHeight * 4);
    if (!app.framebuffer)
        return 0;
    logLine("    OK");
    return 1;
}

void startRunning()
{
    logLine("Rendering !");
    timerStart(app.window, 20);
    cursorSet(screenWidth >> 1, screenHeight >> 1);
    app.screenCentreX = screenWidth >> 1;
    app.screenCentreY = screenHeight >> 1;
}

int appStart()
{
    startWindow();
    if (!startScene() || !startTextures() || !startLife() || !startEngine() || !startDisplay() ||
        !startFramebuffer())
        return 0;
    startRunning();
    return 1;
}

int appRun()
{
    Message message;
    while (messageGet(&message))
        messageDispatch(&message);
    return (int)message.wParam;
}

void appStop()
{
    // The display went with the window (MSG_DESTROY). The scene, its textures
    // and the world live as long as the process. Quitting ends a recording
    // whole and stops a file being read.
    loadCancel();
    recordStop();
    heapFree(app.framebuffer);
    app.framebuffer = nullptr;
    engineRelease();
    fontRelease();
}

int appMain()
{
    if (!appStart())
        return 0;
    const int exitCode = appRun();
    appStop();
    return exitCode;
}

void appRelease()
{
    loadCancel();
    recordStop();
    heapFree(app.framebuffer);
    app.framebuffer = nullptr;
    engineRelease();
    fontRelease();
    if (app.scene) {
        for (int32_t i = 0; i < app.scene->materialCount; i++)
            textureRelease(app.scene->materials[i].texture);
        sceneRelease(app.scene);
        app.scene = nullptr;
    }
    worldRelease(app.world);
    app.world = nullptr;
    historyRelease();
    drawForget();
    frameCellsRelease();
}
