// The program on the headless backend: start-up and its log, the camera and
// the keys, the pace of auto-iteration and the status lines.
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

// Auto-iteration's pace: generations a tick doubling up to 64 (past it,
// steps of 2^k: going_test.cpp), ticks a generation doubling down to 50; Ins
// still steps one; the keypad's keys are the same keys.
TEST_F(App, PlusAndMinusSetTheGenerationsATick)
{
    const struct {
        const char* script;
        int32_t generations;
    } cases[] = {
        {"key +\nkey del\ntick 3\n", 6},
        {"key kp+ 2\nkey del\ntick 3\nkey ins\n", 13},
        {"key + 6\nkey del\ntick 2\n", 128},
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


TEST_F(App, OtherMessagesGoToTheDefaultHandling)
{
    EXPECT_EQ(windowProc(nullptr, 0x000F, 0, 0), 0);
}

} // namespace
