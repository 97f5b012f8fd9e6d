// A universe's frames, where most cells are drawn as stand-ins, are exact too:
// pinned bytes, the same with any number of workers (and so on every build,
// which all run this same plain float arithmetic).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/app.h"
#include "app_run.h"
#include "platform/headless/headless.h"
#include "render/render.h"
#include "support/support.h"

namespace {

// A seeded 1024 x 1024 soup at 50 % under Conway's rule, 100 generations on:
// about 100,000 live cells.
World* soup()
{
    char reason[128];
    World* world = worldCreate("B3/S23", reason, sizeof reason);
    std::mt19937 random(1);
    for (int32_t y = 0; y < 1024 && world; y++)
        for (int32_t x = 0; x < 1024; x++)
            if (random() & 1)
                worldSetCell(world, x - 512, y - 512, 1);
    if (world)
        worldStep(world, 100);
    return world;
}

// The whole soup from above, drawn with one worker or several.
const uint64_t wholeSoupHash = 206843928546007926ull;

World* universeOfSquare(int64_t left, int64_t top, int32_t size)
{
    char reason[128];
    World* world = worldCreate("B3/S23", reason, sizeof reason);
    for (int32_t y = 0; y < size && world; y++)
        for (int32_t x = 0; x < size; x++)
            worldSetCell(world, left + x, top + y, 1);
    return world;
}

// Shows world in place of the one running.
void show(World* world)
{
    worldRelease(app.world);
    app.world = world;
}

uint32_t channel(uint32_t pixel, int c)
{
    return pixel >> (8 * c) & 0xFF;
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
        releaseRun(&script);
    }
    TempDir dir;
    Script script = {};
};

TEST_F(UniverseFrames, FarViewsKeepTheirBytesWithAnyWorkers)
{
    World* cells = soup();
    ASSERT_NE(cells, nullptr);
    show(cells);
    struct View {
        const char* name;
        float x, y, z, pitch;
        bool nearCells; // some cells get the full model
        uint64_t hash;
    } views[] = {
        // The whole soup from above.
        {"whole", 0.0f, 0.0f, -80000.0f, 0.0f, false, wholeSoupHash},
        // Fifteen cells up, off its edge, looking across it.
        {"low", 0.0f, -56000.0f, -1500.0f, 1.35f, true, 1676414766928242551ull},
    };
    for (const View& view : views) {
        for (int32_t workers : {1, 2, 3, 7}) {
            SCOPED_TRACE(std::string(view.name) + " with " + std::to_string(workers) + " workers");
            ASSERT_EQ(renderWorkersStart(workers), 1);
            // The camera moves the origin under itself as it goes: each run starts from the same one.
            app.originX = 0;
            app.originY = 0;
            lookFrom(view.x, view.y, view.z, view.pitch);
            // The second frame's bands follow the first's spans.
            frameTick();
            frameTick();
            EXPECT_EQ(frameHash(), view.hash);
            RenderScene scene;
            placeFrameCells(&app.worldToView, &scene);
            EXPECT_GT(scene.modelCount, 100) << "stand-ins";
            EXPECT_EQ(scene.models[0].placementCount > 0, view.nearCells);
        }
    }
    renderWorkersStop();
}

// Short of memory, a frame draws what fits and goes on; with memory back the
// next frames are whole again.
TEST_F(UniverseFrames, AFrameShortOfMemoryDrawsWhatFits)
{
    World* cells = soup();
    ASSERT_NE(cells, nullptr);
    show(cells);
    app.originX = 0;
    app.originY = 0;
    lookFrom(0.0f, 0.0f, -80000.0f, 0.0f);
    for (int32_t rest = 0; rest <= 1; rest++)
        for (int64_t failAt = 1; failAt <= 8; failAt++) {
            SCOPED_TRACE("allocation " + std::to_string(failAt) + (rest ? " and every later one" : " alone"));
            frameCellsRelease();
            heapHookReset();
            heapHook.failAt = failAt;
            heapHook.failRest = rest;
            frameTick();
            heapHookReset();
            frameTick();
            EXPECT_EQ(frameHash(), wholeSoupHash);
        }
}

// A far square of 256 x 256 live cells, straight below the camera: its
// stand-ins cover the square's place on the screen and nothing else, in the
// average colour a near cell's top face shows, lit alike.
TEST_F(UniverseFrames, AFarSquareShowsAsItsCellsTopFacesDo)
{
    show(universeOfSquare(128, 128, 1));
    ASSERT_NE(app.world, nullptr);
    app.originX = 128;
    app.originY = 128;
    // The top face (46 units wide, 278 below the eye) spans pixels 294 to
    // 346 across and 214 to 266 down: its middle 50 x 50 stand for it.
    lookFrom(0.0f, 0.0f, -300.0f, 0.0f);
    frameTick();
    double near[3] = {};
    for (int y = 215; y < 265; y++)
        for (int x = 295; x < 345; x++)
            for (int c = 0; c < 3; c++)
                near[c] += channel(app.framebuffer[y * screenWidth + x], c) / 2500.0;
    ASSERT_GT(near[0] + near[1] + near[2], 60.0);

    show(universeOfSquare(0, 0, 256));
    ASSERT_NE(app.world, nullptr);
    // Cells about half a pixel wide; the square's footprint, from -12830 to
    // 12730 units, lands within about 68 pixels of the middle.
    lookFrom(0.0f, 0.0f, -60000.0f, 0.0f);
    frameTick();
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    EXPECT_EQ(scene.models[0].placementCount, 0);
    EXPECT_GT(scene.modelCount, 1);
    int inside = 0, covered = 0, strays = 0;
    for (int y = 40; y < 440; y++)
        for (int x = 0; x < screenWidth; x++) {
            const uint32_t pixel = app.framebuffer[y * screenWidth + x];
            if (x >= 262 && x < 378 && y >= 182 && y < 298) {
                inside++;
                if (pixel == 0)
                    continue;
                covered++;
                for (int c = 0; c < 3; c++)
                    EXPECT_NEAR(channel(pixel, c), near[c], 8.0) << x << "," << y << " channel " << c;
            } else if (x < 246 || x >= 394 || y < 166 || y >= 314) {
                strays += pixel != 0;
            }
        }
    EXPECT_GT(covered, inside * 7 / 10);
    EXPECT_EQ(strays, 0);
}

// Framed together, two blocks a million cells apart are each far smaller
// than a pixel; each still lights the pixel it falls in, or near it.
TEST_F(UniverseFrames, FarApartBlocksFramedTogetherBothShow)
{
    for (const int64_t apart : {1000000ll, 1500000000ll}) {
        SCOPED_TRACE(apart);
        World* world = universeOfSquare(-apart / 2, 7, 2);
        ASSERT_NE(world, nullptr);
        for (int32_t y = 0; y < 2; y++)
            for (int32_t x = 0; x < 2; x++)
                ASSERT_EQ(worldSetCell(world, apart / 2 + x, -3 + y, 1), 1);
        show(world);
        cameraFrame();
        frameTick();
        Matrix4 view;
        matInverse(&app.cameraPose, &view);
        const float* v = view.m;
        for (const int64_t bx : {-apart / 2, apart / 2}) {
            const int64_t by = bx < 0 ? 7 : -3;
            const double wx = (double)(bx - app.originX) * 100 + 50, wy = (double)(by - app.originY) * 100 + 50;
            const double vx = wx * v[0] + wy * v[4] + v[12], vy = wx * v[1] + wy * v[5] + v[13];
            const double vz = wx * v[2] + wy * v[6] + v[14];
            const int px = (int)(320.0 + 320.0 * vx / vz), py = (int)(240.0 + 320.0 * vy / vz);
            ASSERT_TRUE(px >= 2 && px < 638 && py >= 40 && py < 440) << px << "," << py;
            int lit = 0;
            for (int y = py - 2; y <= py + 2; y++)
                for (int x = px - 2; x <= px + 2; x++)
                    lit += app.framebuffer[y * screenWidth + x] != 0;
            EXPECT_GT(lit, 0) << "the block at " << bx;
            EXPECT_LE(lit, 4) << "the block at " << bx;
        }
    }
}

// A hashlife world hands the frame its own nodes; seen near, where every cell
// has the full model, it draws the bytes a universe of the same cells draws.
TEST_F(UniverseFrames, ATreeSeenNearDrawsAsTheUniverseDoes)
{
    World* cells = soup();
    ASSERT_NE(cells, nullptr);
    char reason[256];
    World* tree = worldSwitchEngine(cells, reason, sizeof reason);
    ASSERT_NE(tree, nullptr) << reason;
    ASSERT_STREQ(worldEngineName(tree), "hashlife");
    const struct {
        float x, y, z, pitch;
    } views[] = {{-2000.0f, 1500.0f, -3000.0f, 0.0f}, {0.0f, -56000.0f, -1500.0f, 1.35f}};
    for (const auto& view : views) {
        uint64_t hashes[2];
        for (int k = 0; k < 2; k++) {
            show(k ? tree : cells);
            app.originX = 0;
            app.originY = 0;
            lookFrom(view.x, view.y, view.z, view.pitch);
            frameTick();
            frameTick();
            hashes[k] = frameHash(30);
            app.world = nullptr;
        }
        RenderScene scene;
        show(tree);
        placeFrameCells(&app.worldToView, &scene);
        app.world = nullptr;
        // The low view has far stand-ins, which the tree shades by how full
        // each square is: only the near view is the universe's to the byte.
        if (view.pitch == 0.0f) {
            EXPECT_EQ(scene.modelCount, 1) << "no stand-ins";
            EXPECT_EQ(hashes[1], hashes[0]);
        }
        EXPECT_GT(scene.models[0].placementCount, 100);
    }
    worldRelease(cells);
    show(tree);
}

// From far, a tree's square a sixteenth full shows darker than a full one
// beside it, yet still shows: far regions read as sparse as they are.
TEST_F(UniverseFrames, AFarSquareOfATreeIsShadedByHowFullItIs)
{
    World* world = universeOfSquare(-1536, -512, 1024);
    ASSERT_NE(world, nullptr);
    for (int32_t y = 0; y < 1024; y += 4)
        for (int32_t x = 0; x < 1024; x += 4)
            ASSERT_EQ(worldSetCell(world, 512 + x, y - 512, 1), 1);
    char reason[256];
    World* tree = worldSwitchEngine(world, reason, sizeof reason);
    worldRelease(world);
    ASSERT_NE(tree, nullptr) << reason;
    show(tree);
    app.originX = 0;
    app.originY = 0;
    // A tile about a pixel wide: squares of a tile and more are one face each.
    lookFrom(0.0f, 0.0f, -2500000.0f, 0.0f);
    frameTick();
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    ASSERT_EQ(scene.models[0].placementCount, 0) << "every cell far";
    // Each square's light summed over its half of the screen; the camera
    // turned as at start-up puts x < 0 on the right.
    double full = 0, sparse = 0;
    for (int y = 40; y < 440; y++)
        for (int x = 0; x < screenWidth; x++)
            for (int c = 0; c < 3; c++)
                (x >= screenWidth / 2 ? full : sparse) += channel(app.framebuffer[y * screenWidth + x], c);
    EXPECT_GT(full, 0.0);
    // A sixteenth full is given a quarter of the colour over the same area.
    EXPECT_LT(sparse, full * 0.4);
    EXPECT_GT(sparse, full * 0.1);
}

} // namespace
