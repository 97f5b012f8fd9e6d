// The Win32 backend on a screen (Wine on a virtual X server in the test run):
// the display's roads through the window system, a screen change losing the
// surfaces, and Esc ending the loop through WM_CLOSE and WM_DESTROY.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace {

std::vector<uint32_t> seen;

intptr_t recordingProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    seen.push_back(message);
    if (message == MSG_KEYDOWN && wParam == KEY_ESCAPE)
        messageSend(window, MSG_CLOSE, 0, 0);
    if (message == MSG_DESTROY)
        messagePostQuit(7);
    return windowDefaultProc(window, message, wParam, lParam);
}

HWND nativeWindow()
{
    return FindWindowA("Veltrix_Engine", "Veltrix backend test");
}

TEST(Win32, ScreenChangeLosesTheSurfacesUntilRestoredAndEscClosesTheWindow)
{
    Window* window = windowCreate("Veltrix backend test", 640, 480, recordingProc);
    ASSERT_NE(window, nullptr) << platformError();
    windowShow(window);
    Video* video = videoOpen(window);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(videoSetMode(video, 640, 480, 32), 1);
    EXPECT_EQ(videoSetMode(video, 640, 480, 16), 0);
    Surface* primary = surfaceCreatePrimary(video);
    ASSERT_NE(primary, nullptr);
    Surface* back = surfaceBackBuffer(primary);
    Surface* staging = surfaceCreateStaging(video, 640, 480);
    ASSERT_NE(staging, nullptr);

    SurfaceLock lock;
    ASSERT_EQ(surfaceLock(staging, &lock), SURFACE_OK);
    EXPECT_EQ(lock.pitch, 640 * 4);
    EXPECT_EQ(lock.bitCount, 32);
    EXPECT_EQ(surfaceLock(staging, &lock), SURFACE_FAILED);
    EXPECT_EQ(surfaceBlit(back, staging, 640, 480), SURFACE_FAILED) << "a locked source is refused";
    ASSERT_EQ(surfaceUnlock(staging), SURFACE_OK);
    EXPECT_EQ(surfaceBlit(back, staging, 641, 480), SURFACE_FAILED);
    EXPECT_EQ(surfaceBlit(back, staging, 640, 480), SURFACE_OK);
    EXPECT_EQ(surfaceFlip(primary), SURFACE_OK);

    ASSERT_NE(nativeWindow(), nullptr);
    SendMessageA(nativeWindow(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    EXPECT_EQ(surfaceBlit(back, staging, 640, 480), SURFACE_LOST);
    EXPECT_EQ(surfaceFlip(primary), SURFACE_LOST);
    EXPECT_EQ(surfaceRestore(primary), SURFACE_OK);
    EXPECT_EQ(surfaceBlit(back, staging, 640, 480), SURFACE_LOST) << "the staging surface is still lost";
    EXPECT_EQ(surfaceRestore(staging), SURFACE_OK);
    EXPECT_EQ(surfaceBlit(back, staging, 640, 480), SURFACE_OK);
    EXPECT_EQ(surfaceFlip(primary), SURFACE_OK);
    surfaceRelease(staging);
    surfaceRelease(primary);
    videoRelease(video);

    // A timer message comes, then Esc goes the system's way to the quit code.
    ASSERT_EQ(timerStart(window, 20), 1);
    seen.clear();
    Message message;
    while (messageGet(&message) && message.message != MSG_TIMER)
        messageDispatch(&message);
    messageDispatch(&message);
    PostMessageA(nativeWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
    while (messageGet(&message))
        messageDispatch(&message);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(nativeWindow(), nullptr);
    // The shown pointer's motion comes whenever the window appears under it.
    std::vector<uint32_t> road;
    for (uint32_t m : seen)
        if (m != MSG_TIMER && m != MSG_MOUSEMOVE)
            road.push_back(m);
    EXPECT_EQ(road, (std::vector<uint32_t>{MSG_KEYDOWN, MSG_CLOSE, MSG_DESTROY}));
}

} // namespace
