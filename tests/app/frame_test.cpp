// One frame's requests and outcomes: the chart and screenshots, a failed
// lock, the generation text and where cells sit.
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

} // namespace
