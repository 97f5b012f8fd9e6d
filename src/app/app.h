// Application shell: the built-in settings, the application state, the start-up
// sequence with its log, the window procedure and the frame tick.
#pragma once

#include <cstddef>
#include <cstdint>

#include "life/world.h"
#include "math/geometry.h"
#include "platform/platform.h"
#include "render/render.h"
#include "scene/scene.h"

struct GifRecording;

// Built-in settings: there is no settings file.
constexpr int32_t screenWidth = 640;
constexpr int32_t screenHeight = 480;
// A dropped file's outcome stays on screen for this many frames (three seconds
// of 20 ms ticks), wrapped to lines of NOTICE_COLUMNS characters.
enum { NOTICE_TEXT = 512, NOTICE_TICKS = 150, NOTICE_COLUMNS = 56 };
// The fastest pace made a generation at a time, 2^SPEED_FASTEST generations
// a tick, and the slowest, one generation every SLOWEST_TICKS ticks (a
// second). Past SPEED_FASTEST, up to SPEED_FARTHEST, a tick shows one step of
// 2^speed generations, made over as many ticks as its work takes.
enum { SPEED_FASTEST = 6, SPEED_FARTHEST = 40, SLOWEST_TICKS = 50 };
// G's question: digits of a generation up to 2^63 - 1.
enum { ASK_DIGITS = 19 };

// The application state, one instance, set up by start-up and changed only by
// the window procedure.
struct AppState {
    Window* window;
    Matrix4 cameraMatrix; // the camera before its pitch: mouse yaw and the arrow keys change it
    Matrix4 cameraPose;   // cameraMatrix pitched, rebuilt every tick: where the frame is seen from
    Matrix4 worldToView;  // cameraPose inverted, with it: what the frame's cells are seen through
    RenderScreen screen;  // the renderer's screen geometry, for framing, far cells and picking
    float pitchAngle;     // radians, accumulated from vertical mouse motion
    int32_t screenCentreX;
    int32_t screenCentreY;
    Scene* scene;
    World* world;          // what is shown and stepped, from start-up on: the board or a universe
    uint32_t* framebuffer; // screenWidth x screenHeight pixels 0x00RRGGBB
    int32_t autoIterate;
    // Auto-iteration's pace, + and -: 2^speed generations a tick when positive
    // (up to SPEED_FARTHEST), one every min(2^-speed, SLOWEST_TICKS) ticks when
    // negative; 0, one a tick, is where the program starts.
    int32_t speed;
    int64_t stepLeft;      // past SPEED_FASTEST: generations of the step under way not yet made
    int32_t asking;        // G: the overlay asks for a generation, typed into askText
    char askText[ASK_DIGITS + 1];
    int32_t going;         // 1 while the generation G asked for is being reached, over ticks
    int64_t goingTo;
    int32_t ticksWaited;   // ticks since the last generation at a negative speed
    int32_t showPopulation; // P: the live-cell count in the overlay
    int32_t screenshotRequested; // set by F12, served by the next tick
    int32_t graphRequested;      // set by Home, served by the next tick
    char notice[NOTICE_TEXT];    // what became of the last dropped file, drawn under the generation
    int32_t noticeTicks;         // frames it stays up
    // The cell drawn at the world origin: cells are placed relative to it
    // (camera.cpp). A fixed view keeps its world's middle cell, the board's
    // (32, 32); otherwise it follows the camera.
    int64_t originX;
    int64_t originY;
    // The origin cameraPose was built with: the last frame's cells were placed
    // relative to it, whatever F or a drop has done to the origin since.
    int64_t poseOriginX;
    int64_t poseOriginY;
    int32_t follow; // T: every tick frames the live cells again, until a look or a move
    // Where the world shown was first seen from (cameraShowWorld), for the
    // page's presets to go back to.
    Matrix4 startCamera;
    float startPitch;
    int64_t startOriginX;
    int64_t startOriginY;
    GifRecording* recording; // F9: every frame shown goes to it until F9 again; null when not recording
    int32_t touchScreen; // platformTouchScreen at start-up: the overlay names buttons, not keys
    char recordingName[32];
    int32_t drawing; // E: the pointer shows and draws cells; the mouse does not look
    // C: the state drawing gives, 1 to the world's states - 1 (drawStateShown
    // reads it); back to 1 with every world loaded.
    int32_t drawState;
    int32_t drawnSinceLoad; // 1 once a cell was drawn or undone on the world loaded last
    int32_t loading; // 1 while a dropped file is read beside the frames: each tick looks how it stands
};
extern AppState app;

// Radians per pixel of mouse motion (the float nearest 1/300), world units per
// arrow-key press and between neighbouring cells.
constexpr float mouseFactor = 0.0033333334f;
constexpr float moveStep = 30.0f;
constexpr float cellSpacing = 100.0f;

// Engine.log: logStart empties it and writes the heading; logLine appends one
// line. Each call opens and closes the file, so the log is whole after every
// line; a log that cannot be opened is skipped silently.
void logStart();
void logLine(const char* text);

// The entry point: appStart, appRun, appStop. Returns 0 when a start-up stage
// fails, otherwise the quit message's exit code.
int appMain();
// Start-up, in order: the log's heading, the window and the camera; then the
// stages, each logging its lines and returning 0 when the program must end
// there; then the timer and the cursor. appStart runs them all and returns 1
// when the program is ready for its message loop. Tests and benchmarks run
// the same pieces.
void startWindow();
int startScene();
int startTextures();
int startLife();
int startEngine();
int startDisplay();
int startFramebuffer();
void startRunning();
int appStart();
// The message loop; returns the quit message's exit code.
int appRun();
// After the loop: frees the framebuffer, the renderer and the font.
void appStop();
// Releases everything start-up loaded, however far it came: the framebuffer,
// the renderer, the font, the scene with its textures and the world. The
// program itself keeps them to the end; whatever runs start-up more than once
// in one process (the tests) calls this between runs.
void appRelease();

intptr_t windowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The key table: what one key-down message with this virtual-key code does.
void handleKey(uint32_t key);

// One timer message (frame_tick.cpp): mouse look, clear, auto-iteration, the
// cells through the span table, histogram, overlay, present, recording,
// screenshot.
void frameTick();
// Writes the framebuffer, whose pixels hold blue in bits 16-23, to the first
// free name "Screenshot%2x.bmp". Returns 1, or 0 when the file was not written.
int saveScreenshot(uint32_t* framebuffer);

// The camera (camera.cpp). F: looks at every live cell from above at a
// slant. A fixed view keeps the camera's yaw; any other turns it so that x
// grows to the right and y down the screen, as the community draws patterns,
// and moves the origin to the cells' middle. Nothing lives: nothing moves.
void cameraFrame();
// A world newly shown: a fixed view's origin goes back to its world's middle
// cell; with frame set, any other world is framed. The camera then is the
// world's start camera.
void cameraShowWorld(int frame);
// The camera back at the world's start camera, following off, and the
// mouse's motion not yet looked with dropped (MSG_VIEWSTART).
void cameraBackToStart();
// PgUp (away 1) / PgDn (away 0): the move along the view's forward axis, a
// share of the distance to the point looked at (negative: backwards).
float cameraZoomStep(int away);
// An arrow's step: 30 in a fixed view; otherwise it grows with the height.
float cameraMoveStep();
// Once a tick, after the world's step: the mouse's motion (dx, dy pixels)
// yaws the camera and pitches the view (and ends following), follow frames
// again, the origin catches up with the camera, and cameraPose and
// worldToView are built for the frame.
void cameraTick(int32_t dx, int32_t dy);

// The frame's cells (frame_cells.cpp): the world's live cells seen through
// worldToView, the near ones with scene's full model and, unless the view is
// fixed, the far ones as stand-ins (stand_in.cpp); what the camera cannot see
// is never visited. The models hold until the next call; what memory does not
// allow is left out.
void placeFrameCells(const Matrix4* worldToView, RenderScene* scene);
// The model matrix of a cell dx, dy cells from the origin: identity with the
// translation (dx * 100, dy * 100, 0), the product taken in int64 and only
// then made a float.
void cellMatrixAt(int64_t dx, int64_t dy, Matrix4* model);
// Frees what placeFrameCells grew.
void frameCellsRelease();

// The player (player.cpp). + (faster 1) and - (0): the next pace of
// auto-iteration, as app.speed holds it.
void changeSpeed(int faster);
// One tick of auto-iteration at app.speed: none, one or several generations.
void autoIterateTick();
// One generation, kept for Backspace first. A world that cannot step stays as
// it was, with auto-iteration off and the reason on screen.
void stepWorld();

// Going far (going.cpp). H: the world onto the other engine of the plane
// (the tile engine or hashlife), its cells and generation as they were; a
// notice says why when it cannot.
void switchEngine();
// G opens the question; while it is open, digits, Backspace, Enter (go) and
// Esc (close) are its own: 1 when the key was taken.
int askKey(uint32_t key);
// Once a tick, before auto-iteration: a generation asked for is gone towards
// with a tick's share of work; one behind the world is gone to from
// generation 0 (R's).
void goingTick();
// Esc while a generation asked for is being gone to: the world stays where
// it got to. Returns 1, or 0 when nothing was under way (Esc then closes the
// window).
int goingStop();
// The world towards generation TARGET (MSG_GOTO, or G's question answered);
// a notice says why not when TARGET is negative or behind what is kept.
void goTo(int64_t target);
// The page's Stop: what going under way stops as Esc stops it, or G's
// question closes. Returns 1, or 0 when neither was open.
int goingCancel();
// A new world loaded: no question open, no generation or step under way.
void goingReset();

// The overlay (overlay.cpp): the generation at the top left, the hints at the
// bottom, the status lines at the top right (the pace when it is not one
// generation a tick, the live-cell count when P shows it, "Drawing" while
// drawing, with the state drawn on a world of more than two states) and the notice under the generation.
void drawOverlay(uint32_t* framebuffer);
// The overlay's generation text, "%lldst Iteration", "%lldnd Iteration" or
// "%lldth Iteration" by the count's last decimal digit.
void generationText(char* text, size_t size, int64_t count);
// Puts text on screen under the generation for NOTICE_TICKS frames, broken
// into lines of NOTICE_COLUMNS.
void showNotice(const char* text);

// Going back (history.cpp): generation 0 of the world loaded last (R) and
// the generations before the one shown (Backspace), as many as HISTORY_SLOTS
// and 64 MiB of snapshots hold, the oldest let go first.
enum { HISTORY_SLOTS = 8192 };
// Before a step: keeps the world as it stands (and, the first time since it
// was loaded, as generation 0). Memory that runs out only shortens the way back.
void historyKeep();
// After a step that was refused: forgets what historyKeep kept for it.
void historyDiscardNewest();
// Backspace: the generation before the one shown, when it was kept; else a notice.
void historyBack();
// R: generation 0 of the world loaded last, auto-iteration off; what came
// between is forgotten. Unless the view is fixed, generation 0 is framed.
void historyRestart();
// A world newly loaded: nothing before it, its generation 0 kept at its first step.
void historyReset();
// historyReset, and every snapshot's memory let go (appRelease).
void historyRelease();
// A cell drawn or undrawn: drawn at generation 0 it becomes part of
// generation 0 (kept afresh at the next step, what R goes back to); at a
// later generation it changes that generation only.
void historyEdited();
// Writes generation 0 of the world shown, as R would bring it back, into
// folder as worldSave does: 1, or 0 with the reason.
int historySaveStart(const char* folder, char* reason, size_t size);

// Drawing cells (draw.cpp). Ctrl+Z takes back up to DRAW_STROKES clicks or
// drags, the newest first; older ones are forgotten.
enum { DRAW_STROKES = 64 };
// E: into drawing (the cursor shown, looking around stopped) or out of it.
void drawToggle();
// The button down, the pointer moved, the button up, at frame pixels; only
// while drawing does the press start a stroke.
void drawPress(int32_t px, int32_t py);
void drawMove(int32_t px, int32_t py);
void drawRelease(int32_t px, int32_t py);
// Ctrl+Z: the cells of the last stroke back as they were.
void drawUndo();
// Forgets every stroke and draws state 1 again: a new world is loaded.
void drawForget();
// The state a click gives a cell not in it: app.drawState, or 1 where the
// world has no such state. Inline: the overlay reads it and draw.cpp writes
// notices through the overlay.
inline int32_t drawStateShown()
{
    return app.world && app.drawState > 0 && app.drawState < app.world->states ? app.drawState : 1;
}
// C: the next state to draw, after the last live one state 1 again; on a
// world of two states a notice says there is no other.
void drawCycleState();
// The page's menu of states: the state to draw, ignored unless the world has it.
void drawPickState(int32_t state);
// Ctrl+S: the world shown written to Life.ini and Rules.ini for the next
// start, with the outcome on screen and in the log.
void drawSave();

// Drop-to-load (drop.cpp), the one entry for every backend's drop message and
// the page's patterns and links: reads the pattern file at path into a new
// world as veltrix-pattern reads it with no options (the universe its rule
// names, the cells where the file puts them), and shows it from generation 0,
// framed as F frames it. No file is written. Logs one line and puts the
// outcome on screen for NOTICE_TICKS frames; message (may be null) gets the
// same text. Where the platform reads files beside the frames, the file is
// read on a thread of its own and the world shown meanwhile goes on: 2, the
// outcome to come at a later tick. Otherwise 1, or 0 with the world and every
// file as they were; 0 too while an earlier drop still loads.
int dropPattern(const char* path, char* message, size_t size);
// Once a tick while app.loading, before the step: a load that has ended is
// shown as dropPattern would have shown it; one still running has its
// progress on screen.
void dropTick();
// Esc while a file loads: the load stops, its outcome "cancelled". Returns 1,
// or 0 when nothing was loading (Esc then closes the window).
int dropCancel();

// Loading beside the frames (load.cpp), one file at a time. loadStart: 1 with
// the thread reading path, or 0 when no thread may or can be had (the caller
// reads the file itself) or a load runs already. loadPath: the file being
// read, or null when none. loadTake: 1 once the thread is done, with the world
// read (now the caller's) or null with the reason; the load is then over.
// loadStage: where it stands ("reading the file", "45 % of 1000 cells placed").
// loadCancel: stops it, its thread to end at its next step with nobody
// waiting. loadWait: sleeps until every thread started, a stopped one's too,
// is done (tests, which must not leave a thread behind).
struct PatternReport;
struct PatternError;
int loadStart(const char* path);
const char* loadPath();
int loadTake(World** world, PatternReport* report, PatternError* error);
void loadStage(char* text, size_t size);
void loadCancel();
void loadWait();

// F9's recording (record.cpp), of the frames as shown, to the first free
// name "Recording%2x.gif"; builds without giflib say so on screen instead.
// recordToggle starts or stops it, recordFrame adds the frame just shown and
// stops at the size budget, recordStop ends it with its outcome on screen
// (nothing when not recording).
enum : uint64_t { RECORD_MAX_BYTES = 256ull << 20 };
void recordToggle();
void recordFrame();
void recordStop();
