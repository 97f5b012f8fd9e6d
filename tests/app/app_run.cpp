#include "app_run.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "display/display.h"

int runScript(Script* script, const std::string& text)
{
    scriptRelease(script);
    char error[160];
    if (!scriptParse(text.data(), text.size(), script, error, sizeof error)) {
        ADD_FAILURE() << error;
        return -1;
    }
    appRelease();
    headlessReset(script);
    return appMain();
}

void releaseRun(Script* script)
{
    appRelease();
    displayRelease();
    if (headless.window)
        windowDestroy(headless.window);
    headlessReset(nullptr);
    scriptRelease(script);
}

uint64_t frameHash(int32_t firstRow)
{
    uint64_t hash = 14695981039346656037ull;
    const uint8_t* bytes = (const uint8_t*)app.framebuffer;
    for (size_t i = (size_t)firstRow * screenWidth * 4; i < (size_t)screenWidth * screenHeight * 4; i++)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

void lookFrom(float x, float y, float z, float pitch)
{
    matIdentity(&app.cameraMatrix);
    matRotateZ(&app.cameraMatrix, -3.1415925f);
    app.cameraMatrix.m[12] = x;
    app.cameraMatrix.m[13] = y;
    app.cameraMatrix.m[14] = z;
    app.pitchAngle = pitch;
}
