#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "platform/headless/faults.h"
#include "platform/headless/headless.h"

namespace {

const int W = 8;
const int H = 4;

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        headlessReset(nullptr);
        window = windowCreate("test", W, H, windowDefaultProc);
        headlessFaults.traceCount = 0;
    }
    void TearDown() override
    {
        displayRelease();
        windowDestroy(window);
        headlessReset(nullptr);
    }
    std::vector<std::string> trace() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < headlessFaults.traceCount && i < HEADLESS_TRACE; i++)
            names.push_back(headlessFaults.trace[i]);
        return names;
    }
    // Locks, fills the frame with `base + i` per pixel and presents it.
    int presentFrame(uint32_t base)
    {
        void* pixels;
        int32_t pitch;
        if (!displayLock(&pixels, &pitch))
            return 0;
        uint32_t frame[W * H];
        for (int i = 0; i < W * H; i++)
            frame[i] = base + (uint32_t)i;
        displayCopyFrame(pixels, pitch, frame);
        displayPresent();
        return 1;
    }
    Window* window;
};

TEST_F(Display, SetUpCreatesTheChainThenBothStagingSurfacesInOrder)
{
    ASSERT_EQ(displayInit(window, W, H), 1);
    const std::vector<std::string> expected = {"videoOpen", "videoSetMode", "surfaceCreatePrimary",
                                               "surfaceBackBuffer", "surfaceCreateStaging", "surfaceCreateStaging"};
    EXPECT_EQ(trace(), expected);
    EXPECT_EQ(display.useFirstStaging, 0);
    EXPECT_NE(display.stagingA, display.stagingB);
}

TEST_F(Display, AFailingSetUpCallLeavesTheLaterObjectsAbsent)
{
    struct Case {
        const char* failing;
        int32_t passes; // calls of that name that succeed first
        bool video, primary, back, a;
    };
    const Case cases[] = {
        {"videoOpen", 0, false, false, false, false},
        {"videoSetMode", 0, true, false, false, false},
        {"surfaceCreatePrimary", 0, true, false, false, false},
        {"surfaceBackBuffer", 0, true, true, false, false},
        {"surfaceCreateStaging", 0, true, true, true, false},
        {"surfaceCreateStaging", 1, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.failing << " after " << c.passes);
        headlessFaults.failCall = c.failing;
        headlessFaults.failCallPasses = c.passes;
        EXPECT_EQ(displayInit(window, W, H), 0);
        EXPECT_EQ(display.video != nullptr, c.video);
        EXPECT_EQ(display.primary != nullptr, c.primary);
        EXPECT_EQ(display.backBuffer != nullptr, c.back);
        EXPECT_EQ(display.stagingA != nullptr, c.a);
        EXPECT_EQ(display.stagingB, nullptr);
        void* pixels;
        int32_t pitch;
        EXPECT_EQ(displayLock(&pixels, &pitch), 0);
        headlessFaults.failCall = nullptr;
        displayRelease();
        EXPECT_EQ(display.video, nullptr);
    }
}

TEST_F(Display, ReleaseWithoutSetUpDoesNothing)
{
    displayRelease();
    EXPECT_EQ(headlessFaults.traceCount, 0);
}

TEST_F(Display, ReleaseGoesPrimaryThenStagingThenVideo)
{
    ASSERT_EQ(displayInit(window, W, H), 1);
    headlessFaults.traceCount = 0;
    displayRelease();
    const std::vector<std::string> expected = {"surfaceRelease", "surfaceRelease", "surfaceRelease", "videoRelease"};
    EXPECT_EQ(trace(), expected);
    EXPECT_EQ(display.primary, nullptr);
    EXPECT_EQ(display.backBuffer, nullptr);
    EXPECT_EQ(display.stagingA, nullptr);
    EXPECT_EQ(display.stagingB, nullptr);
}

TEST_F(Display, FramesAlternateStagingSurfacesStartingWithB)
{
    ASSERT_EQ(displayInit(window, W, H), 1);
    void* first;
    void* second;
    void* third;
    int32_t pitch;
    ASSERT_EQ(displayLock(&first, &pitch), 1);
    displayPresent();
    EXPECT_EQ(display.useFirstStaging, 1);
    ASSERT_EQ(displayLock(&second, &pitch), 1);
    displayPresent();
    EXPECT_EQ(display.useFirstStaging, 0);
    ASSERT_EQ(displayLock(&third, &pitch), 1);
    displayPresent();
    EXPECT_NE(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(headless.framesPresented, 3);
}

TEST_F(Display, PresentedFrameIsTheCopiedFrameWhateverThePitch)
{
    for (int padding : {0, 4, 60}) {
        SCOPED_TRACE(padding);
        headlessFaults.padding = padding;
        ASSERT_EQ(displayInit(window, W, H), 1);
        ASSERT_EQ(presentFrame(0x00102030u), 1);
        ASSERT_EQ(headless.frameWidth, W);
        for (int i = 0; i < W * H; i++)
            ASSERT_EQ(headless.frame[i], 0x00102030u + (uint32_t)i) << "pixel " << i;
        displayRelease();
    }
}

TEST_F(Display, LockRefusesWhatCannotHoldTheFrame)
{
    struct Case {
        const char* what;
        int32_t bitCount;
        int32_t padding;
        int32_t lockCode;
        int32_t unlocks; // a surface locked but refused is unlocked again
    };
    const Case cases[] = {
        {"24 bits per pixel", 24, 0, SURFACE_OK, 1},
        {"rows narrower than the frame", 32, -4, SURFACE_OK, 1},
        {"lost surface", 32, 0, SURFACE_LOST, 0},
        {"failed lock", 32, 0, SURFACE_FAILED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        windowDestroy(window);
        headlessReset(nullptr);
        window = windowCreate("test", W, H, windowDefaultProc);
        headlessFaults.bitCount = c.bitCount;
        headlessFaults.padding = c.padding;
        headlessFaults.lockCodes = {{c.lockCode}, 1, 0};
        ASSERT_EQ(displayInit(window, W, H), 1);
        void* pixels;
        int32_t pitch;
        EXPECT_EQ(displayLock(&pixels, &pitch), 0);
        EXPECT_EQ(headlessFaults.unlockCalls, c.unlocks);
        EXPECT_EQ(display.useFirstStaging, 0);
        displayRelease();
    }
}

TEST_F(Display, PresentRetriesBusyDeviceAndRestoresLostSurfaces)
{
    struct Case {
        const char* what;
        HeadlessCodes blit;
        HeadlessCodes flip;
        int32_t blits, flips, restores, shown;
    };
    const Case cases[] = {
        {"busy blit twice", {{SURFACE_STILL_DRAWING, SURFACE_STILL_DRAWING}, 2, 0}, {}, 3, 1, 0, 1},
        {"busy flip twice", {}, {{SURFACE_STILL_DRAWING, SURFACE_STILL_DRAWING}, 2, 0}, 1, 3, 0, 1},
        // The blit is not repeated after a restore, but the flip still runs.
        {"lost on blit", {{SURFACE_LOST}, 1, 0}, {}, 1, 1, 3, 1},
        {"lost on flip", {}, {{SURFACE_LOST}, 1, 0}, 1, 1, 3, 0},
        {"other blit failure", {{SURFACE_FAILED}, 1, 0}, {}, 1, 1, 0, 1},
        {"other flip failure", {}, {{SURFACE_FAILED}, 1, 0}, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        windowDestroy(window);
        headlessReset(nullptr);
        window = windowCreate("test", W, H, windowDefaultProc);
        ASSERT_EQ(displayInit(window, W, H), 1);
        headlessFaults.blitCodes = c.blit;
        headlessFaults.flipCodes = c.flip;
        ASSERT_EQ(presentFrame(0), 1);
        EXPECT_EQ(headlessFaults.blitCalls, c.blits);
        EXPECT_EQ(headlessFaults.flipCalls, c.flips);
        EXPECT_EQ(headlessFaults.restoreCalls, c.restores);
        EXPECT_EQ(headless.framesPresented, c.shown);
        EXPECT_EQ(display.useFirstStaging, 1);
        displayRelease();
    }
}

TEST_F(Display, RestoreStopsAtTheFirstFailure)
{
    ASSERT_EQ(displayInit(window, W, H), 1);
    headlessFaults.restoreCodes = {{SURFACE_OK, SURFACE_FAILED}, 2, 0};
    EXPECT_EQ(displayRestore(), SURFACE_FAILED);
    EXPECT_EQ(headlessFaults.restoreCalls, 2);
    EXPECT_EQ(displayRestore(), SURFACE_OK);
    EXPECT_EQ(headlessFaults.restoreCalls, 5);
}

} // namespace
