// A universe's frames, where most cells are drawn as stand-ins, are exact too:
// pinned bytes, the same with any number of workers (and so on every build,
// which all run this same plain float arithmetic).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/app.h"
#include "display/display.h"
#include "platform/headless/headless.h"
#include "render/render.h"
#include "support/support.h"

namespace {

// A seeded 1024 x 1024 soup at 50 % under Conway's rule, 100 generations on:
// about 100,000 live cells.
Universe* soup()
{
    UniverseRule rule;
    char reason[128];
    if (!universeRuleParse("B3/S23", &rule, reason, sizeof reason))
        return nullptr;
    Universe* u = universeCreate(&rule);
    std::mt19937 random(1);
    for (int32_t y = 0; y < 1024 && u; y++)
        for (int32_t x = 0; x < 1024; x++)
            if (random() & 1)
                universeSetCell(u, x - 512, y - 512, 1);
    for (int i = 0; i < 100 && u; i++)
        universeStep(u);
    return u;
}

uint64_t frameHash()
{
    uint64_t hash = 14695981039346656037ull;
    const uint8_t* bytes = (const uint8_t*)app.framebuffer;
    for (size_t i = 0; i < (size_t)screenWidth * screenHeight * 4; i++)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

class UniverseFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        writeFile("Rules.ini", "B3/S23\n");
        headlessReset(&script);
        headless.scriptEndQuits = 1;
        ASSERT_EQ(appStart(), 1);
        appRun();
    }
    void TearDown() override
    {
        appStop();
        displayRelease();
        if (app.window)
            windowDestroy(app.window);
        app.window = nullptr;
        appRelease();
        headlessReset(nullptr);
    }
    TempDir dir;
    Script script = {};
};

TEST_F(UniverseFrames, FarViewsKeepTheirBytesWithAnyWorkers)
{
    Universe* cells = soup();
    ASSERT_NE(cells, nullptr);
    universeRelease(app.universe);
    app.universe = cells;
    app.originX = 0;
    app.originY = 0;
    struct View {
        const char* name;
        float x, y, z, pitch;
        bool nearCells; // some cells get the full model
        uint64_t hash;
    } views[] = {
        // The whole soup from above.
        {"whole", 0.0f, 0.0f, -80000.0f, 0.0f, false, 13219093852141899717ull},
        // Fifteen cells up, off its edge, looking across it.
        {"low", 0.0f, -56000.0f, -1500.0f, 1.35f, true, 13983921515152433409ull},
    };
    for (const View& view : views) {
        for (int32_t workers : {1, 2, 3, 7}) {
            SCOPED_TRACE(std::string(view.name) + " with " + std::to_string(workers) + " workers");
            ASSERT_EQ(renderWorkersStart(workers), 1);
            matIdentity(&app.cameraMatrix);
            matRotateZ(&app.cameraMatrix, -3.1415925f);
            app.cameraMatrix.m[12] = view.x;
            app.cameraMatrix.m[13] = view.y;
            app.cameraMatrix.m[14] = view.z;
            app.pitchAngle = view.pitch;
            // The second frame's bands follow the first's spans.
            frameTick();
            frameTick();
            EXPECT_EQ(frameHash(), view.hash);
            RenderScene scene;
            placeFrameCells(&app.cameraPose, &scene);
            EXPECT_GT(scene.modelCount, 100) << "stand-ins";
            EXPECT_EQ(scene.models[0].placementCount > 0, view.nearCells);
        }
    }
    renderWorkersStop();
}

} // namespace
