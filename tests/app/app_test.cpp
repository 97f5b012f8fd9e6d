#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "platform/headless/faults.h"
#include "platform/headless/headless.h"
#include "render/render.h"
#include "app_run.h"
#include "engine_log.h"
#include "support/support.h"

namespace {

// A glider near the middle, and Conway's rule.
const char* lifeIni = "5\n32 31 0\n33 32 0\n31 33 0\n32 33 0\n33 33 0\n";

class App : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        writeFile("Life.ini", lifeIni);
        writeFile("Rules.ini", "1 4 3 3\n");
        heapHookReset();
        headlessReset(nullptr);
    }
    void TearDown() override
    {
        releaseRun(&script);
        heapHookReset();
    }
    int run(const char* text)
    {
        return runScript(&script, text);
    }
    TempDir dir;
    Script script = {};
};

// Each test runs in a process of its own, so this sees the setting as built
// in, before any start-up.
TEST(BuiltInSettings, FilteringStartsOn)
{
    EXPECT_EQ(filteringOn(), 1);
}

TEST_F(App, CompleteStartLogsEveryStageAndQuitsWithZero)
{
    writeFile("Engine.log", "left over from an earlier run\n");
    EXPECT_EQ(run("tick 2\nkey esc\ntick 5\n"), 0);
    EXPECT_EQ(lines(readFile("Engine.log")), completeLog);
    // Esc ended the loop: the ticks after it never ran.
    EXPECT_EQ(headless.framesPresented, 2);
    EXPECT_EQ(headless.cursorVisible, 1);
    EXPECT_EQ(display.video, nullptr);
    EXPECT_EQ(app.framebuffer, nullptr);
}

TEST_F(App, StartUpRunsTheWindowSystemAndDisplayInOrder)
{
    EXPECT_EQ(run(""), 0);
    const std::vector<std::string> expected = {
        "windowCreate", "windowShow", "videoOpen", "videoSetMode", "surfaceCreatePrimary", "surfaceBackBuffer",
        "surfaceCreateStaging", "surfaceCreateStaging", "timerStart",
        // The script ran out, so the runner pressed Esc.
        "windowDestroy", "surfaceRelease", "surfaceRelease", "surfaceRelease", "videoRelease"};
    std::vector<std::string> trace(headlessFaults.trace, headlessFaults.trace + headlessFaults.traceCount);
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(app.screenCentreX, 320);
    EXPECT_EQ(app.screenCentreY, 240);
}

TEST_F(App, FailedStagesEndWithZeroAfterTheirHeadingAndTheReason)
{
    struct Case {
        const char* what;
        const char* failCall;
        int32_t failCallPasses;
        const char* removeFile;
        size_t lineCount; // of completeLog, then the reason
        const char* reason; // the reason's whole line, or (display) how it starts
        bool whole;
    };
    const Case cases[] = {
        {"no model", nullptr, 0, "Cells/Cell.3ds", 2,
         "    Cells\\Cell.3ds: cannot be opened (No such file or directory)", true},
        {"no texture", nullptr, 0, "Cells/Trim.tga", 4,
         "    Cells\\Trim.tga: cannot be opened (No such file or directory)", true},
        {"no Life.ini", nullptr, 0, "Life.ini", 6, "    Life.ini: cannot be opened (No such file or directory)", true},
        {"no window", "windowCreate", 0, nullptr, 10, "    Display failed: ", false},
        {"no video", "videoOpen", 0, nullptr, 10, "    Display failed: ", false},
        {"no mode", "videoSetMode", 0, nullptr, 10, "    Display failed: ", false},
        {"no second staging surface", "surfaceCreateStaging", 1, nullptr, 10, "    Display failed: ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyBundledData();
        writeFile("Life.ini", lifeIni);
        if (c.removeFile)
            remove(c.removeFile);
        scriptRelease(&script);
        headlessReset(nullptr);
        headlessFaults.failCall = c.failCall;
        headlessFaults.failCallPasses = c.failCallPasses;
        EXPECT_EQ(appMain(), 0);
        std::vector<std::string> log = lines(readFile("Engine.log"));
        std::vector<std::string> expected(completeLog.begin(), completeLog.begin() + (long)c.lineCount);
        ASSERT_EQ(log.size(), c.lineCount + 1);
        if (c.whole)
            EXPECT_EQ(log.back(), c.reason);
        else
            EXPECT_EQ(log.back().rfind(c.reason, 0), 0u) << log.back();
        log.pop_back();
        EXPECT_EQ(log, expected);
        EXPECT_EQ(headless.timerMilliseconds, 0u);
        EXPECT_EQ(headless.framesPresented, 0);
        if (c.failCall) {
            // The failure met the intended call of its name.
            ASSERT_LE(headlessFaults.traceCount, HEADLESS_TRACE);
            EXPECT_EQ(std::count(headlessFaults.trace, headlessFaults.trace + headlessFaults.traceCount, std::string(c.failCall)),
                      c.failCallPasses + 1);
        }
        appRelease();
        displayRelease();
        if (headless.window)
            windowDestroy(headless.window);
    }
}

// What a stage can do without is named on a line of its own after its "OK";
// the program starts all the same.
TEST_F(App, WarningsFollowTheStagesThatGoOnWithoutSomething)
{
    struct Case {
        const char* what;
        const char* file;
        std::string text;
        bool remove; // instead of writing text
        size_t after; // lines of completeLog before the warning
        const char* warning;
    };
    // A Windows executable renamed Cell.3ds, whose first four bytes after "MZ"
    // happen to span the file.
    std::string executable = std::string("MZ") + Bytes().u32(3000).data;
    executable.resize(3000, 'x');
    const Case cases[] = {
        {"no 3DS file", "Cells/Cell.3ds", executable, false, 3,
         "    Warning: Cells\\Cell.3ds: the model has no mesh: the file does not begin with the 3DS main chunk "
         "0x4D4D (its first two bytes read 0x5A4D), so it is no 3DS file; the board shows no cells"},
        {"no font", "Font.bmp", "", true, 9,
         "    Warning: Font.bmp: cannot be opened (No such file or directory); the program runs without text"},
        {"a rule in B/S form with a birth count of 9", "Rules.ini", "B39/S23\n", false, 7,
         "    Warning: Rules.ini: rule \"B39/S23\" counts 9 neighbours, more than its neighbourhood has; the board "
         "runs Conway's rule, 1 4 3 3"},
        {"neither numbers nor a rule in B/S form", "Rules.ini", "Conway\n", false, 7,
         "    Warning: Rules.ini: does not begin with a number; the rule stays Conway's, 1 4 3 3"},
        {"a pattern file as Life.ini", "Life.ini", "x = 3, y = 3\nbo$2bo$3o!\n", false, 7,
         "    Warning: Life.ini: does not begin with a cell count; the board starts empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copyBundledData();
        writeFile("Life.ini", lifeIni);
        if (c.remove)
            remove(c.file);
        else
            writeFile(c.file, c.text);
        EXPECT_EQ(run(""), 0);
        std::vector<std::string> expected = completeLog;
        expected.insert(expected.begin() + (long)c.after, c.warning);
        EXPECT_EQ(lines(readFile("Engine.log")), expected);
        EXPECT_EQ(headless.framesPresented, 0);
    }
}

TEST_F(App, FailedFramebufferEndsAfterItsHeading)
{
    // The framebuffer is the last allocation of a start: fail exactly that one.
    run("");
    const int64_t allocations = heapHook.calls;
    appRelease();
    headlessReset(&script);
    heapHookReset();
    heapHook.failAt = allocations;
    EXPECT_EQ(appMain(), 0);
    std::vector<std::string> expected(completeLog.begin(), completeLog.begin() + 11);
    EXPECT_EQ(lines(readFile("Engine.log")), expected);
}

TEST_F(App, CameraStartsRolledAlmostHalfATurnAndBackedOff)
{
    run("");
    const float* m = app.cameraMatrix.m;
    // sin of the roll: pi - 3.14159250259... = 1.50996e-7, where the float pi
    // itself would give 8.74e-8.
    EXPECT_NEAR(std::fabs(m[1]), 1.50996e-7, 2e-12);
    EXPECT_NEAR(m[0], -1.0f, 1e-6);
    EXPECT_NEAR(m[5], -1.0f, 1e-6);
    EXPECT_EQ(m[10], 1.0f);
    // Translated by (0, -30, -50) in its own, upside-down frame.
    EXPECT_NEAR(m[12], 0.0f, 1e-4);
    EXPECT_NEAR(m[13], 30.0f, 1e-4);
    EXPECT_NEAR(m[14], -50.0f, 1e-4);
    EXPECT_EQ(app.pitchAngle, 0.0f);
}

TEST_F(App, MouseLookYawsTheCameraAndPitchesOnlyTheView)
{
    struct Case {
        const char* script;
        float yaw;   // radians turned about y, read from the camera
        float pitch; // pitchAngle after the tick
    };
    const Case cases[] = {
        {"tick\n", 0.0f, 0.0f},
        {"mouse 300 0\ntick\n", 1.0f, 0.0f},
        {"mouse 0 300\ntick\n", 0.0f, -1.0f},
        {"mouse 0 -150\ntick\nmouse 0 -150\ntick\n", 0.0f, 1.0f},
        // The cursor is re-centred by each look, so a still mouse adds nothing.
        {"mouse 150 0\ntick\ntick 3\n", 0.5f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        // Stop before Esc so the state of the last tick can be read.
        std::string text = std::string(c.script) + "key 0x41\n";
        run(text.c_str());
        Matrix4 start;
        matIdentity(&start);
        matRotateZ(&start, -3.1415925f);
        matTranslate(&start, 0.0f, -30.0f, -50.0f);
        EXPECT_NEAR(app.pitchAngle, c.pitch, 1e-6);
        // Yawing about the camera's own y axis mixes its x and z rows only.
        const float* m = app.cameraMatrix.m;
        EXPECT_NEAR(m[0] * start.m[0] + m[1] * start.m[1], std::cos(c.yaw), 1e-5);
        EXPECT_NEAR(m[5], start.m[5], 1e-6);
        EXPECT_NEAR(m[12], start.m[12], 1e-4);
        EXPECT_NEAR(m[13], start.m[13], 1e-4);
        // The view's y row is the camera's tilted by the pitch.
        EXPECT_NEAR(app.cameraPose.m[5], m[5] * std::cos(c.pitch), 1e-5);
        appRelease();
    }
}

TEST_F(App, KeysChangeTheStateTheyName)
{
    run("key 0x41\n");
    struct Case {
        uint32_t key;
        float pitch;
        float dx, dy, dz; // camera translation change, identity camera
        int32_t generations, autoIterate, screenshot, graph, filtering;
    };
    const float h = 30.0f / std::sqrt(2.0f);
    const Case cases[] = {
        {KEY_LEFT, 0, -30, 0, 0, 0, 0, 0, 0, 1},
        {KEY_RIGHT, 0, 30, 0, 0, 0, 0, 0, 0, 1},
        {KEY_UP, 0, 0, 0, 30, 0, 0, 0, 0, 1},
        {KEY_DOWN, 0, 0, 0, -30, 0, 0, 0, 0, 1},
        {KEY_UP, (float)M_PI / 4, 0, -h, h, 0, 0, 0, 0, 1},
        {KEY_DOWN, (float)M_PI / 4, 0, h, -h, 0, 0, 0, 0, 1},
        {KEY_INSERT, 0, 0, 0, 0, 1, 0, 0, 0, 1},
        {KEY_DELETE, 0, 0, 0, 0, 0, 1, 0, 0, 1},
        {KEY_F12, 0, 0, 0, 0, 0, 0, 1, 0, 1},
        {KEY_HOME, 0, 0, 0, 0, 0, 0, 0, 1, 1},
        {KEY_END, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x41, 0, 0, 0, 0, 0, 0, 0, 0, 1},
        {0x70, 0, 0, 0, 0, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        World* world = app.world;
        Scene* scene = app.scene;
        memset(&app, 0, sizeof app);
        app.world = world;
        app.scene = scene;
        const int64_t before = worldGeneration(app.world);
        setFiltering(1);
        matIdentity(&app.cameraMatrix);
        app.pitchAngle = c.pitch;
        EXPECT_EQ(windowProc(nullptr, MSG_KEYDOWN, c.key, 0), 0);
        EXPECT_NEAR(app.cameraMatrix.m[12], c.dx, 1e-4);
        EXPECT_NEAR(app.cameraMatrix.m[13], c.dy, 1e-4);
        EXPECT_NEAR(app.cameraMatrix.m[14], c.dz, 1e-4);
        EXPECT_EQ(worldGeneration(app.world) - before, c.generations);
        EXPECT_EQ(app.autoIterate, c.autoIterate);
        EXPECT_EQ(app.screenshotRequested, c.screenshot);
        EXPECT_EQ(app.graphRequested, c.graph);
        EXPECT_EQ(filteringOn(), c.filtering);
    }
}

// At this pitch the single-precision sine lies one unit in the last place
// away from the double-precision one rounded to single.
TEST_F(App, UpAndDownTakeTheirSineAndCosineInDoublePrecision)
{
    run("key 0x41\n");
    const float pitch = 0x1.002ab6p-7f;
    const float s = (float)std::sin((double)pitch), c = (float)std::cos((double)pitch);
    for (uint32_t key : {KEY_UP, KEY_DOWN}) {
        const float sign = key == KEY_UP ? 1.0f : -1.0f;
        matIdentity(&app.cameraMatrix);
        app.pitchAngle = pitch;
        handleKey(key);
        EXPECT_EQ(app.cameraMatrix.m[13], -sign * 30.0f * s);
        EXPECT_EQ(app.cameraMatrix.m[14], sign * 30.0f * c);
    }
}

TEST_F(App, TogglesFlipBackOnTheSecondPress)
{
    run("key end 2\nkey del 2\nkey end\nkey del\nkey 0x41\n");
    EXPECT_EQ(filteringOn(), 0);
    EXPECT_EQ(app.autoIterate, 1);
}

TEST_F(App, InsStepsAtOnceAndDelIteratesEveryTick)
{
    // The glider's cells (x, y): five live; after four generations it has
    // moved one cell in +x and +y.
    run("key ins 2\nkey del\ntick 2\nkey 0x41\n");
    EXPECT_EQ(worldGeneration(app.world), 4);
    const int alive[][2] = {{33, 32}, {34, 33}, {32, 34}, {33, 34}, {34, 34}};
    EXPECT_EQ(worldPopulation(app.world), 5);
    for (const auto& cell : alive)
        EXPECT_EQ(worldGetCell(app.world, cell[0], cell[1]), 1) << cell[0] << "," << cell[1];
}

// Auto-iteration's pace: generations a tick doubling up to 64, ticks a
// generation doubling down to 50; Ins still steps one; the keypad's keys are
// the same keys.
TEST_F(App, PlusAndMinusSetTheGenerationsATick)
{
    const struct {
        const char* script;
        int32_t generations;
    } cases[] = {
        {"key +\nkey del\ntick 3\n", 6},
        {"key kp+ 2\nkey del\ntick 3\nkey ins\n", 13},
        {"key + 12\nkey del\ntick 2\n", 128},
        {"key + 3\nkey - 2\nkey del\ntick 3\n", 6},
        {"key -\nkey del\ntick 5\n", 2},
        {"key kp- 3\nkey del\ntick 24\n", 3},
        {"key - 12\nkey del\ntick 99\n", 1},
        {"key - 12\nkey del\ntick 100\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        run(c.script);
        EXPECT_EQ(worldGeneration(app.world), c.generations);
    }
}

// Ten ticks at two generations a tick draw what twenty Ins presses draw, once
// the pace is back at one a tick and its line gone.
TEST_F(App, TenTicksAtDoubleSpeedShowTwentyGenerations)
{
    copyBundledData();
    run("key ins 20\nkey f12\ntick\n");
    run("key +\nkey del\ntick 10\nkey del\nkey -\nkey f12\ntick\n");
    EXPECT_EQ(worldGeneration(app.world), 20);
    EXPECT_TRUE(readFile("Screenshot 0.bmp") == readFile("Screenshot 1.bmp"));
}

// P's line sits at the top right, right of the generation's text, and a
// second P takes it away again.
TEST_F(App, PShowsTheLiveCellCountAtTheTopRight)
{
    copyBundledData();
    run("key f12\ntick\nkey p\nkey f12\ntick\nkey p\nkey f12\ntick\n");
    Image* plain = readBmp("Screenshot 0.bmp");
    Image* counted = readBmp("Screenshot 1.bmp");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(counted, nullptr);
    int changedLeft = 0, changedRight = 0;
    for (int32_t y = 0; y < screenHeight; y++) {
        for (int32_t x = 0; x < screenWidth; x++) {
            const int changed = plain->pixels[y * screenWidth + x] != counted->pixels[y * screenWidth + x];
            EXPECT_TRUE(!changed || (y >= 10 && y < 10 + GLYPH_HEIGHT)) << x << "," << y;
            (x < screenWidth / 2 ? changedLeft : changedRight) += changed;
        }
    }
    EXPECT_EQ(changedLeft, 0);
    EXPECT_GT(changedRight, 0);
    imageRelease(plain);
    imageRelease(counted);
    EXPECT_TRUE(readFile("Screenshot 0.bmp") == readFile("Screenshot 2.bmp"));
}

// R puts generation 0 back and stops; Backspace after N generations shows
// generation N - 1, however they were computed.
TEST_F(App, RAndBackspaceShowEarlierGenerationsFrames)
{
    copyBundledData();
    run("key f12\ntick\nkey + 2\nkey del\ntick 5\nkey r\nkey - 2\nkey f12\ntick\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(app.autoIterate, 0);
    EXPECT_TRUE(readFile("Screenshot 0.bmp") == readFile("Screenshot 1.bmp"));

    run("key ins 9\nkey f12\ntick\n");
    run("key del\ntick 8\nkey del\nkey ins 2\nkey back\nkey f12\ntick\n");
    EXPECT_EQ(worldGeneration(app.world), 9);
    EXPECT_TRUE(readFile("Screenshot 2.bmp") == readFile("Screenshot 3.bmp"));
}

std::vector<std::pair<int64_t, int64_t>> worldCells(const World* world)
{
    std::vector<std::pair<int64_t, int64_t>> cells;
    worldForEachCell(
        world,
        [](void* context, int64_t x, int64_t y) {
            ((std::vector<std::pair<int64_t, int64_t>>*)context)->push_back({x, y});
        },
        &cells);
    return cells;
}

// The board keeps HISTORY_SLOTS generations: past them Backspace stops, and
// says so; generation 0 stays for R.
TEST_F(App, BackspaceGoesBackAsFarAsTheBoardKeeps)
{
    run("key ins 8200\nkey back 8200\n");
    EXPECT_EQ(worldGeneration(app.world), 8200 - HISTORY_SLOTS);
    EXPECT_STREQ(app.notice, "No earlier generation kept");
    const auto later = worldCells(app.world);
    run("key ins 8\n");
    EXPECT_EQ(worldCells(app.world), later);
    run("key ins 8200\nkey r\nkey back\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_STREQ(app.notice, "This is generation 0");
}


// A universe goes back to the very state it had: under B0 the odd generations
// hold the complement, so stepping on after Backspace or R must take the
// kernel of the generation's parity.
TEST_F(App, AUniverseGoesBackToTheStateItHad)
{
    writeFile("Life.ini", "5\n1001 -500 0\n1002 -499 0\n1000 -498 0\n1001 -498 0\n1002 -498 0\n");
    for (const char* rules : {"B3/S23\n", "B03/S23\n", "B03/S238\n", "B3/S23:T8,8\n"}) {
        SCOPED_TRACE(rules);
        writeFile("Rules.ini", rules);
        run("key ins 4\n");
        ASSERT_FALSE(app.world->fixedView);
        const auto fourth = worldCells(app.world);
        run("key ins 3\n");
        const auto third = worldCells(app.world);
        run("key ins 5\nkey back 2\n");
        EXPECT_EQ(worldGeneration(app.world), 3);
        EXPECT_EQ(worldCells(app.world), third);
        run("key ins 5\nkey back 2\nkey ins\n");
        EXPECT_EQ(worldCells(app.world), fourth);
        run("key ins 3\nkey r\nkey ins 4\n");
        EXPECT_EQ(worldCells(app.world), fourth);
    }
}

// A generation that memory cannot keep cuts the way back there; generation
// 0 stays. A universe keeps HISTORY_SLOTS generations at most, like the board.
TEST_F(App, AUniversesWayBackEndsWhereMemoryOrItsSlotsRanOut)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "5\n1001 -500 0\n1002 -499 0\n1000 -498 0\n1001 -498 0\n1002 -498 0\n");
    run("");
    const auto start = worldCells(app.world);
    run("key ins 3\n");
    heapHook.failAt = heapHook.calls + 1;
    handleKey(KEY_INSERT);
    heapHook.failAt = 0;
    handleKey(KEY_INSERT);
    handleKey(KEY_BACK);
    EXPECT_EQ(worldGeneration(app.world), 4);
    handleKey(KEY_BACK);
    EXPECT_EQ(worldGeneration(app.world), 4);
    EXPECT_STREQ(app.notice, "No earlier generation kept");
    handleKey(KEY_R);
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(worldCells(app.world), start);

    run("key ins 8\n");
    const auto eighth = worldCells(app.world);
    run("key ins 8200\nkey back 8200\n");
    EXPECT_EQ(worldGeneration(app.world), 8200 - HISTORY_SLOTS);
    EXPECT_EQ(worldCells(app.world), eighth);
}

// The same glider far off the board, under a rule in the community's notation:
// a universe, which Ins and Del step as they step the board.
TEST_F(App, AUniverseStepsWhereverItsCellsAre)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "5\n1001 -500 0\n1002 -499 0\n1000 -498 0\n1001 -498 0\n1002 -498 0\n");
    run("key ins 2\nkey del\ntick 2\nkey 0x41\n");
    ASSERT_FALSE(app.world->fixedView);
    EXPECT_EQ(worldGeneration(app.world), 4);
    EXPECT_EQ(worldPopulation(app.world), 5);
    const int alive[][2] = {{1002, -499}, {1003, -498}, {1001, -497}, {1002, -497}, {1003, -497}};
    for (const auto& cell : alive)
        EXPECT_EQ(worldGetCell(app.world, cell[0], cell[1]), 1) << cell[0] << "," << cell[1];
}

// A blinker turned onto the last column cannot turn back: auto-iteration
// stops and says why, and the refused step leaves nothing to go back over:
// Backspace then shows generation 0.
TEST_F(App, AUniverseThatCannotStepStopsAndSaysWhy)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "3\n2147483646 0 0\n2147483646 1 0\n2147483646 2 0\n");
    run("key del\ntick 2\n");
    EXPECT_EQ(worldGeneration(app.world), 1);
    EXPECT_EQ(app.autoIterate, 0);
    EXPECT_STREQ(app.notice, "Stopped at generation 1: the pattern would grow past\nthe 32-bit coordinates");
    run("key del\ntick 2\nkey back\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(worldGetCell(app.world, 2147483646, 0), 1);
}

// Its cells are placed as the board's: the test's glider, whose box has its
// middle at (32, 32), starts framed on a universe as F frames it on the board.
TEST_F(App, AUniverseDrawsTheBoardsFrameForTheSameCells)
{
    run("key f\ntick\nkey f12\ntick\n");
    writeFile("Rules.ini", "B3/S23\n");
    run("tick\nkey f12\ntick\n");
    ASSERT_FALSE(app.world->fixedView);
    EXPECT_EQ(readFile("Screenshot 0.bmp"), readFile("Screenshot 1.bmp"));
}

// Where the world point lands in the view: x and y over depth, and the depth.
static void viewOf(const Matrix4& pose, float x, float y, float* across, float* down, float* depth)
{
    Matrix4 view;
    matInverse(&pose, &view);
    const float* v = view.m;
    const float vx = x * v[0] + y * v[4] + v[12];
    const float vy = x * v[1] + y * v[5] + v[13];
    *depth = x * v[2] + y * v[6] + v[14];
    *across = vx / *depth;
    *down = vy / *depth;
}

// F frames every live cell, and tightly: the box's widest side fills more
// than half the view that way. Checked for a wide, a tall and a far box.
TEST_F(App, FFramesEveryLiveCell)
{
    writeFile("Rules.ini", "B3/S23\n");
    const char* worlds[] = {
        "4\n-200 0 0\n200 0 0\n0 10 0\n5 -10 0\n",
        "3\n0 -300 0\n0 300 0\n1 0 0\n",
        "2\n-2000000000 1500000000 0\n-1999999990 1500000003 0\n",
    };
    for (const char* world : worlds) {
        SCOPED_TRACE(world);
        writeFile("Life.ini", world);
        run("mouse 90 30\ntick\nkey right 50\nkey f\ntick\nkey 0x41\n");
        ASSERT_FALSE(app.world->fixedView);
        WorldBox box;
        ASSERT_TRUE(worldBounds(app.world, &box));
        const int64_t l = box.left, t = box.top, r = box.right, b = box.bottom;
        float widest = 0.0f;
        for (int corner = 0; corner < 4; corner++) {
            const int64_t x = (corner & 1) ? r : l;
            const int64_t y = (corner & 2) ? b : t;
            float across, down, depth;
            viewOf(app.cameraPose, (float)((x - app.originX) * 100), (float)((y - app.originY) * 100), &across, &down,
                   &depth);
            EXPECT_GT(depth, 0.0f);
            EXPECT_LE(std::fabs(across), 0.95f);
            EXPECT_LE(std::fabs(down), 0.95f * 0.75f);
            widest = std::max(widest, std::max(std::fabs(across), std::fabs(down) / 0.75f));
        }
        EXPECT_GT(widest, 0.5f);
        appRelease();
    }
}

// A glider ten million cells out, under the same camera moves (arrows far
// enough for the origin to move, zoom, look, follow), draws every frame bit
// for bit as the glider at the middle.
TEST_F(App, APatternFarOutDrawsAsAtTheMiddle)
{
    writeFile("Rules.ini", "B3/S23\n");
    const char* script = "tick\nkey f12\ntick\nkey pgup 3\nmouse 25 -40\ntick\nkey f12\ntick\nkey t\nkey del\n"
                         "tick 12\nkey f12\ntick\nkey pgdn 2\nkey left 400\nkey up 3\ntick\nkey f12\ntick\nkey 0x41\n";
    int64_t origins[2][2];
    for (int far = 0; far < 2; far++) {
        const int32_t dx = far ? 10000000 : 0, dy = far ? -10000000 : 0;
        char world[256];
        snprintf(world, sizeof world, "5\n%d %d 0\n%d %d 0\n%d %d 0\n%d %d 0\n%d %d 0\n", 1 + dx, dy, 2 + dx,
                 1 + dy, dx, 2 + dy, 1 + dx, 2 + dy, 2 + dx, 2 + dy);
        writeFile("Life.ini", world);
        run(script);
        origins[far][0] = app.originX;
        origins[far][1] = app.originY;
        appRelease();
    }
    EXPECT_EQ(origins[1][0] - origins[0][0], 10000000);
    EXPECT_EQ(origins[1][1] - origins[0][1], -10000000);
    // The arrows took the camera far enough for the origin to move.
    EXPECT_GT(origins[0][0], 100);
    for (int shot = 0; shot < 4; shot++) {
        char middle[32], far[32];
        snprintf(middle, sizeof middle, "Screenshot%2x.bmp", shot);
        snprintf(far, sizeof far, "Screenshot%2x.bmp", shot + 4);
        const std::string frame = readFile(middle);
        EXPECT_EQ(frame, readFile(far)) << shot;
        // Cells were drawn (until the arrows took them out of sight): some
        // pixel away from the text is lit.
        if (shot < 3) {
            EXPECT_NE(frame.substr(54 + 3 * 640 * 60, 3 * 640 * 380).find_first_not_of('\0'), std::string::npos) << shot;
        }
    }
}

// PgUp backs away from the point looked at, PgDn comes closer, one press each
// way coming back; T keeps a travelling glider framed until a look or a
// move; the arrows' step grows with the height on a universe only.
TEST_F(App, ZoomFollowAndTheArrowsStep)
{
    writeFile("Rules.ini", "B3/S23\n");
    run("key 0x41\n");
    const Matrix4 framed = app.cameraMatrix;
    const float height = framed.m[14];
    float across, down, depth;
    viewOf(app.cameraPose, 50.0f, 50.0f, &across, &down, &depth);
    handleKey(KEY_PAGEUP);
    EXPECT_NEAR(app.cameraMatrix.m[14], height * 1.25f, -height * 1e-5f);
    handleKey(KEY_PAGEDOWN);
    for (int i = 12; i < 15; i++)
        EXPECT_NEAR(app.cameraMatrix.m[i], framed.m[i], -height * 1e-5f) << i;
    EXPECT_EQ(cameraMoveStep(), std::max(30.0f, -app.cameraMatrix.m[14] * 0.1f));
    handleKey(KEY_PAGEUP);
    handleKey(KEY_PAGEUP);
    EXPECT_GT(cameraMoveStep(), 30.0f);

    const struct {
        const char* script;
        int follows;
    } cases[] = {
        {"key t\nkey del\ntick 120\nkey 0x41\n", 1},
        {"key t\nkey del\ntick 60\nmouse 1 0\ntick 60\nkey 0x41\n", 0},
        {"key t\nkey del\ntick 60\nkey left\ntick 60\nkey 0x41\n", 0},
        {"key t\nkey del\ntick 60\nkey t\ntick 60\nkey 0x41\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        run(c.script);
        EXPECT_EQ(app.follow, c.follows);
        WorldBox box;
        ASSERT_TRUE(worldBounds(app.world, &box));
        viewOf(app.cameraPose, (float)((box.right - app.originX) * 100), (float)((box.bottom - app.originY) * 100),
               &across, &down,
               &depth);
        EXPECT_EQ(std::fabs(across) < 1.0f && std::fabs(down) < 0.75f, c.follows == 1);
        appRelease();
    }

    writeFile("Rules.ini", "1 4 3 3\n");
    run("key down 400\nkey 0x41\n");
    EXPECT_TRUE(app.world->fixedView);
    EXPECT_EQ(cameraMoveStep(), 30.0f);
}

TEST_F(App, RequestsAreServedOncePerTick)
{
    copyBundledData(); // a cell under the camera, so the chart has lines
    run("key f12 3\nkey home 2\ntick\nkey 0x41\n");
    EXPECT_TRUE(fileIsThere("Screenshot 0.bmp"));
    EXPECT_FALSE(fileIsThere("Screenshot 1.bmp"));
    EXPECT_NE(readFile("Graph.txt").find(" : *"), std::string::npos);
    EXPECT_EQ(app.screenshotRequested, 0);
    EXPECT_EQ(app.graphRequested, 0);
    // A tick with no request writes nothing more.
    remove("Graph.txt");
    run("tick 2\n");
    EXPECT_FALSE(fileIsThere("Screenshot 1.bmp"));
    EXPECT_FALSE(fileIsThere("Graph.txt"));
}

TEST_F(App, ScreenshotTakesTheFirstFreeName)
{
    struct Case {
        int taken; // names for n = 0 .. taken - 1 exist already
        const char* expected;
    };
    const Case cases[] = {
        {0, "Screenshot 0.bmp"},
        {2, "Screenshot 2.bmp"},
        {15, "Screenshot f.bmp"},
        {16, "Screenshot10.bmp"},
        {256, "Screenshot100.bmp"},
    };
    uint32_t pixels[screenWidth * screenHeight] = {};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        TempDir shots;
        for (int n = 0; n < c.taken; n++) {
            char name[32];
            snprintf(name, sizeof name, "Screenshot%2x.bmp", n);
            writeFile(name, "taken");
        }
        EXPECT_EQ(saveScreenshot(pixels), 1);
        EXPECT_EQ(readFile(c.expected).size(), 54u + 640u * 480u * 3u);
    }
}

TEST_F(App, ScreenshotHoldsTheFrameWithRedAndBlueInBmpOrder)
{
    // saveScreenshot takes blue in bits 16-23; the BMP stores blue first.
    static uint32_t pixels[screenWidth * screenHeight];
    pixels[0] = 0x00112233; // top-left: blue 0x11, green 0x22, red 0x33
    ASSERT_EQ(saveScreenshot(pixels), 1);
    const std::string bmp = readFile("Screenshot 0.bmp");
    ASSERT_EQ(bmp.size(), 54u + 640u * 480u * 3u);
    // Bottom-up rows: the top row is the last one in the file.
    const size_t top = 54 + (size_t)479 * 640 * 3;
    EXPECT_EQ((uint8_t)bmp[top], 0x11);
    EXPECT_EQ((uint8_t)bmp[top + 1], 0x22);
    EXPECT_EQ((uint8_t)bmp[top + 2], 0x33);
}

TEST_F(App, ScreenshotMatchesThePresentedFrame)
{
    copyBundledData(); // its pattern has a cell under the starting camera
    run("tick 2\nkey f12\ntick\n");
    ASSERT_EQ(headless.framesPresented, 3);
    ASSERT_EQ(headless.frameWidth, screenWidth);
    ASSERT_EQ(headless.frameHeight, screenHeight);
    Image* shot = readBmp("Screenshot 0.bmp");
    ASSERT_NE(shot, nullptr);
    int lit = 0;
    for (int i = 0; i < screenWidth * screenHeight; i++) {
        ASSERT_EQ(shot->pixels[i], headless.frame[i]) << i;
        lit += headless.frame[i] != 0;
    }
    imageRelease(shot);
    // The cell under the camera fills much of the screen.
    EXPECT_GT(lit, screenWidth * screenHeight / 3);
}

TEST_F(App, AFailedLockDropsOnlyThatFrame)
{
    scriptRelease(&script);
    const char* text = "tick 3\nkey 0x41\n";
    char error[64];
    ASSERT_EQ(scriptParse(text, strlen(text), &script, error, sizeof error), 1);
    headlessReset(&script);
    headlessFaults.lockCodes = {{SURFACE_FAILED}, 1, 0};
    appMain();
    EXPECT_EQ(headlessFaults.lockCalls, 3);
    EXPECT_EQ(headless.framesPresented, 2);
    // Dropped, presented, presented: the two shown frames used B, then A.
    EXPECT_EQ(display.useFirstStaging, 0);
}

TEST_F(App, GenerationTextSuffixFollowsTheLastDigit)
{
    const struct {
        int32_t count;
        const char* text;
    } cases[] = {
        {0, "0th Iteration"},    {1, "1st Iteration"},     {2, "2nd Iteration"},   {3, "3th Iteration"},
        {4, "4th Iteration"},    {11, "11st Iteration"},   {12, "12nd Iteration"}, {21, "21st Iteration"},
        {102, "102nd Iteration"}, {1000, "1000th Iteration"},
    };
    for (const auto& c : cases) {
        char text[32];
        generationText(text, sizeof text, c.count);
        EXPECT_STREQ(text, c.text);
    }
}

TEST_F(App, CellsSitAHundredUnitsApartAroundTheOrigin)
{
    const struct {
        int32_t x, y;
        float tx, ty;
    } cases[] = {{0, 0, -3200, -3200}, {63, 63, 3100, 3100}, {32, 32, 0, 0}, {1, 40, -3100, 800}};
    run("key 0x41\n");
    for (const auto& c : cases) {
        Matrix4 model;
        cellMatrixAt(c.x - app.originX, c.y - app.originY, &model);
        EXPECT_EQ(model.m[12], c.tx);
        EXPECT_EQ(model.m[13], c.ty);
        EXPECT_EQ(model.m[14], 0.0f);
        EXPECT_EQ(model.m[0], 1.0f);
        EXPECT_EQ(model.m[5], 1.0f);
        EXPECT_EQ(model.m[10], 1.0f);
        EXPECT_EQ(model.m[15], 1.0f);
    }
}

TEST_F(App, ClosingTheWindowReleasesTheDisplayAndQuitsWithZero)
{
    // What the window manager's close button sends, without the Esc key.
    Window* window = windowCreate("test", screenWidth, screenHeight, windowProc);
    ASSERT_EQ(displayInit(window, screenWidth, screenHeight), 1);
    EXPECT_EQ(windowProc(window, MSG_CLOSE, 0, 0), 0);
    EXPECT_EQ(headless.window, nullptr);
    EXPECT_EQ(display.video, nullptr);
    EXPECT_EQ(messageLoop.quitPosted, 1);
    EXPECT_EQ(messageLoop.exitCode, 0);
    Message message;
    EXPECT_EQ(messageGet(&message), 0);
    EXPECT_EQ(message.wParam, 0u);
}

// A glider with lone-CR comment lines and CRLF rows; its cells land on
// (32, 31), (33, 32), (31, 33), (32, 33), (33, 33).
const char* droppedGlider = "!Name: Glider\r!\r.O.\r\n..O\r\nOOO\r\n";

std::string lastLine(const std::string& text)
{
    const std::vector<std::string> all = lines(text);
    return all.empty() ? "" : all.back();
}

TEST_F(App, DropStartsAUniverseOnThePatternAndFramesIt)
{
    run("key ins 3\nkey left\nmouse 30 -10\ntick\n");
    const Matrix4 camera = app.cameraMatrix;
    writeFile("glider.cells", droppedGlider);
    writeFile("Rules.ini", "8 9 2 2\n"); // Seeds, as a pattern before might have left it
    run("key ins 3\nkey left\nmouse 30 -10\ntick\ndrop glider.cells\nkey 0x41\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    // Framed as F frames it: a second F changes nothing.
    EXPECT_NE(memcmp(&app.cameraMatrix, &camera, sizeof camera), 0);
    const Matrix4 framed = app.cameraMatrix;
    cameraFrame();
    EXPECT_EQ(memcmp(&app.cameraMatrix, &framed, sizeof framed), 0);
    // The pattern's own coordinates: plaintext's top-left cell at (0, 0).
    ASSERT_FALSE(app.world->fixedView);
    EXPECT_EQ(worldPopulation(app.world), 5);
    EXPECT_EQ(worldGetCell(app.world, 1, 0), 1);
    EXPECT_EQ(lastLine(readFile("Engine.log")), "Dropped glider.cells: loaded, 5 live cells, rule B3/S23");
    // The working folder's files are the user's until Ctrl+S.
    EXPECT_EQ(readFile("Life.ini"), lifeIni);
    EXPECT_EQ(readFile("Rules.ini"), "8 9 2 2\n");
    run("key ins 3\ndrop glider.cells\nkey ctrl+s\nkey 0x41\n");
    EXPECT_EQ(readFile("Life.ini"), "5\n1 0 0\n2 1 0\n0 2 0\n1 2 0\n2 2 0\n");
    EXPECT_EQ(readFile("Rules.ini"), "B3/S23\n");
    EXPECT_FALSE(fileIsThere("Life.ini.tmp"));
}

// A drop on a universe lets the running world go for the pattern's.
TEST_F(App, DropOnAUniverseLoadsThePatternsWorld)
{
    writeFile("Rules.ini", "B36/S23\n");
    writeFile("glider.rle", "x = 3, y = 3, rule = B3/S23:T20,20\nbo$2bo$3o!\n");
    run("tick\ndrop glider.rle\ntick\nkey ins\n");
    EXPECT_STREQ(app.world->ruleName, "B3/S23:T20,20");
    EXPECT_EQ(worldGeneration(app.world), 1);
    EXPECT_EQ(readFile("Rules.ini"), "B36/S23\n");
}

TEST_F(App, RefusedDropChangesNothingAndShowsWhyForAFewSeconds)
{
    const std::string badRle = "x = 3, y = 3, rule = B2/S/3\nbo$2bo$3o!\n";
    // The notice is up for NOTICE_TICKS frames and gone in the one after.
    for (int ticks : {(int)NOTICE_TICKS, NOTICE_TICKS + 1}) {
        SCOPED_TRACE(ticks);
        const std::string frames = "key ins 2\ntick " + std::to_string(ticks) + "\n";
        run(frames.c_str());
        const std::vector<uint32_t> plain(headless.frame, headless.frame + screenWidth * screenHeight);
        writeFile("generations.rle", badRle);
        run(("key ins 2\ndrop generations.rle\ntick " + std::to_string(ticks) + "\n").c_str());
        EXPECT_EQ(readFile("Life.ini"), lifeIni);
        EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
        EXPECT_EQ(worldGeneration(app.world), 2);
        EXPECT_EQ(lastLine(readFile("Engine.log")),
                  "Dropped generations.rle: refused, line 1: header: rule 'B2/S/3' is a multi-state rule (a third "
                  "part counts the states); the board shows two states");
        // Only the rows of the notice's four lines, from row 30, may differ.
        int changed = 0;
        for (int y = 0; y < screenHeight; y++) {
            for (int x = 0; x < screenWidth; x++) {
                const bool differs = headless.frame[y * screenWidth + x] != plain[y * screenWidth + x];
                EXPECT_TRUE(!differs || (y >= 30 && y < 30 + 4 * 14)) << x << "," << y;
                changed += differs;
            }
        }
        EXPECT_EQ(changed > 0, ticks == NOTICE_TICKS);
    }
    EXPECT_STREQ(app.notice, "generations.rle not loaded: line 1: header: rule\n"
                             "'B2/S/3' is a multi-state rule (a third part counts the\n"
                             "states); the board shows two states");
}

TEST_F(App, DropEntryReturnsTheOutcomeToAnyCaller)
{
    run("tick\n");
    char message[NOTICE_TEXT];
    writeFile("empty.rle", "x = 0, y = 0\nb!\n");
    EXPECT_EQ(dropPattern("empty.rle", message, sizeof message), 0);
    EXPECT_STREQ(message, "empty.rle not loaded: the pattern has no live cells; an empty board is not written");
    EXPECT_EQ(readFile("Life.ini"), lifeIni);
    EXPECT_EQ(dropPattern("missing/x\xC3\xA9.rle", message, sizeof message), 0);
    EXPECT_STREQ(app.notice, "x??.rle not loaded: cannot open: No such file or\ndirectory");
    writeFile("g.lif", "#Life 1.05\n#P 0 0\n.*\n..*\n***\n");
    EXPECT_EQ(dropPattern("g.lif", message, sizeof message), 1);
    EXPECT_STREQ(message, "g.lif: 5 live cells, rule B3/S23");
    EXPECT_EQ(app.noticeTicks, NOTICE_TICKS);
}

TEST_F(App, OtherMessagesGoToTheDefaultHandling)
{
    EXPECT_EQ(windowProc(nullptr, 0x000F, 0, 0), 0);
}

} // namespace
