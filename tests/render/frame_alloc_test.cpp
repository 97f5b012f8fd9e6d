// Once every row's span list has grown to what the frames need, the frame
// tick asks the heap for nothing; nor does a run's start with the threads of
// the run before.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "platform/headless/headless.h"
#include "render/render.h"
#include "support/support.h"

namespace {

class FrameTick : public ::testing::TestWithParam<int32_t> {};

// With one worker and with several, each taking from its own span pool.
TEST_P(FrameTick, SoupTicksAllocateNothingOnceTheRowsHaveGrown)
{
    TempDir dir;
    copyBundledData();
    // A 50 % soup over the whole board, seen whole from far back, stepping
    // every tick. The script's end leaves the program running.
    writeFile("Life.ini", readFile(VELTRIX_SOURCE_DIR "/bench/scenes/soup.ini"));
    const char* text = "key down 110\nkey del\ntick\n";
    Script script = {};
    char error[128];
    ASSERT_EQ(scriptParse(text, strlen(text), &script, error, sizeof error), 1) << error;
    heapHookReset();
    headlessReset(&script);
    headless.scriptEndQuits = 1;
    headlessThreads = GetParam();
    ASSERT_EQ(appStart(), 1);
    ASSERT_EQ(renderWorkerCount(), GetParam());
    appRun();
    ASSERT_EQ(headless.framesPresented, 1);
    ASSERT_EQ(app.autoIterate, 1);

    // The first pass grows the rows; the same generations again, gone back
    // to with Backspace, must take nothing more: the generations kept on the
    // way are filled again.
    const int64_t generation = worldGeneration(app.world);
    enum { TICKS = 200 };
    for (int i = 0; i < TICKS; i++)
        windowProc(app.window, MSG_TIMER, 0, 0);
    const std::vector<uint32_t> firstPass(app.framebuffer, app.framebuffer + screenWidth * screenHeight);
    for (int i = 0; i < TICKS; i++)
        handleKey(KEY_BACK);
    ASSERT_EQ(worldGeneration(app.world), generation);
    heapHookReset();
    for (int i = 0; i < TICKS; i++)
        windowProc(app.window, MSG_TIMER, 0, 0);
    EXPECT_EQ(heapHook.calls, 0);
    EXPECT_EQ(headless.framesPresented, 1 + 2 * TICKS);
    // The second pass drew the same frames as the first.
    EXPECT_TRUE(std::equal(firstPass.begin(), firstPass.end(), app.framebuffer));

    appStop();
    displayRelease();
    windowDestroy(app.window);
    app.window = nullptr;
    appRelease();
    headlessReset(nullptr);
    headlessThreads = 1;
    scriptRelease(&script);
}

INSTANTIATE_TEST_SUITE_P(Workers, FrameTick, ::testing::Values(1, 2, 3));

// The page starts the program again before the browser can hand a thread a
// worker: a run after one with as many threads must make none (a thread
// takes its start record from the heap), and another count still gets its own.
TEST(FrameTickAcrossRuns, AsManyThreadsAsLastRunMakesNoThread)
{
    ASSERT_EQ(engineInit(640, 480), 1);
    ASSERT_EQ(renderWorkersStart(3), 1);
    engineRelease();
    ASSERT_EQ(renderWorkerCount(), 1);
    ASSERT_EQ(engineInit(640, 480), 1);
    heapHookReset();
    ASSERT_EQ(renderWorkersStart(3), 1);
    EXPECT_EQ(heapHook.calls, 0);
    EXPECT_EQ(renderWorkerCount(), 3);
    ASSERT_EQ(renderWorkersStart(2), 1);
    EXPECT_GT(heapHook.calls, 0);
    EXPECT_EQ(renderWorkerCount(), 2);
    renderWorkersStart(1);
    engineRelease();
}

} // namespace
