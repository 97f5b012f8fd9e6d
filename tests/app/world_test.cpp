// The world shown: going back (R, Backspace) on the board and on universes,
// a universe stepping anywhere, and the camera framing it (F, T, zoom).
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

// A glider running into the plane's last column cannot go on: auto-iteration
// stops and says why, and the refused step leaves nothing to go back over:
// Backspace then shows the generation before the one it stopped at.
TEST_F(App, AUniverseThatCannotStepStopsAndSaysWhy)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "5\n2147483642 0 0\n2147483643 1 0\n2147483641 2 0\n2147483642 2 0\n2147483643 2 0\n");
    run("key del\ntick 40\n");
    const int64_t stopped = worldGeneration(app.world);
    EXPECT_GT(stopped, 4);
    EXPECT_LT(stopped, 40);
    EXPECT_EQ(app.autoIterate, 0);
    EXPECT_EQ(std::string(app.notice),
        "Stopped at generation " + std::to_string(stopped) + ": the pattern would grow past\nthe 32-bit coordinates");
    run("key del\ntick 40\nkey back\n");
    EXPECT_EQ(worldGeneration(app.world), stopped - 1);
}

// Its cells are placed as the board's: the test's glider on a universe, seen
// from the camera the board is seen from, gets the board's placements, in
// the board's order.
TEST_F(App, AUniversePlacesTheBoardsCellsAsTheBoardDoes)
{
    run("key f\ntick\nkey f12\ntick\n");
    ASSERT_TRUE(app.world->fixedView);
    std::vector<Matrix4> board, universe;
    for (std::vector<Matrix4>* placed : {&board, &universe}) {
        RenderScene scene;
        placeFrameCells(&app.worldToView, &scene);
        ASSERT_GE(scene.modelCount, 1);
        placed->assign(scene.models[0].placements, scene.models[0].placements + scene.models[0].placementCount);
        if (placed == &universe)
            break;
        char reason[128];
        World* world = worldCreate("B3/S23", reason, sizeof reason);
        ASSERT_NE(world, nullptr) << reason;
        const int cells[][2] = {{32, 31}, {33, 32}, {31, 33}, {32, 33}, {33, 33}};
        for (const auto& cell : cells)
            ASSERT_EQ(worldSetCell(world, cell[0], cell[1], 1), 1);
        worldRelease(app.world);
        app.world = world;
    }
    ASSERT_EQ(board.size(), 5u);
    ASSERT_EQ(universe.size(), board.size());
    EXPECT_EQ(memcmp(universe.data(), board.data(), board.size() * sizeof board[0]), 0);
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
    // The arrows took the camera far enough for the origin to move (left on
    // the screen is -x on a universe).
    EXPECT_LT(origins[0][0], -100);
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

// Framed on a universe, a pattern faces the way the community draws it: x to
// the right, y down the screen. A glider heading to +x, +y moves right and
// down in the picture; the board keeps its own turn.
TEST_F(App, AFramedUniverseShowsXRightAndYDown)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "5\n1 0 0\n2 1 0\n0 2 0\n1 2 0\n2 2 0\n");
    run("key f\ntick\nkey pgup 4\ntick\nkey f12\ntick\nkey ins 8\ntick\nkey f12\ntick\n");
    double middle[2][2] = {};
    for (int shot = 0; shot < 2; shot++) {
        Image* image = readBmp(shot ? "Screenshot 1.bmp" : "Screenshot 0.bmp");
        ASSERT_NE(image, nullptr);
        int64_t lit = 0;
        // The picture between the overlay's lines.
        for (int32_t y = 40; y < screenHeight - 40; y++)
            for (int32_t x = 0; x < screenWidth; x++)
                if (image->pixels[y * screenWidth + x] != 0) {
                    middle[shot][0] += x;
                    middle[shot][1] += y;
                    lit++;
                }
        imageRelease(image);
        ASSERT_GT(lit, 0);
        middle[shot][0] /= (double)lit;
        middle[shot][1] /= (double)lit;
    }
    EXPECT_GT(middle[1][0] - middle[0][0], 20.0) << "right";
    EXPECT_GT(middle[1][1] - middle[0][1], 10.0) << "down";
}

} // namespace

// R frames generation 0 of a universe: the camera left framing the grown
// pattern would show it as a speck. The board's camera stays where it was.
TEST_F(App, RFramesAUniversesGenerationZero)
{
    writeFile("Rules.ini", "B3/S23\n");
    writeFile("Life.ini", "5\n1 0 0\n2 0 0\n0 1 0\n1 1 0\n1 2 0\n"); // the R-pentomino
    run("key f12\ntick\nkey ins 300\nkey f\ntick\nkey r\nkey f12\ntick\n");
    ASSERT_FALSE(app.world->fixedView);
    EXPECT_TRUE(readFile("Screenshot 0.bmp") == readFile("Screenshot 1.bmp"));
}

// The page's presets go back to the start camera (MSG_VIEWSTART) without
// touching the world: the camera is the one the world was first shown with,
// on the board and on a universe framed as it loaded, following off.
TEST_F(App, ViewStartPutsTheCameraBackAndKeepsTheGeneration)
{
    for (const char* rules : {"1 4 3 3\n", "B3/S23\n"}) {
        SCOPED_TRACE(rules);
        writeFile("Rules.ini", rules);
        run("key ins 7\n");
        const Matrix4 start = app.cameraMatrix;
        const float pitch = app.pitchAngle;
        const int64_t originX = app.originX, originY = app.originY;
        appRelease();
        run("key ins 7\nmouse 40 -30\ntick\nkey up 3\nkey pgup 2\nkey f\nkey t\ntick 2\n");
        windowProc(app.window, MSG_VIEWSTART, 0, 0);
        EXPECT_EQ(memcmp(&app.cameraMatrix, &start, sizeof start), 0);
        EXPECT_EQ(app.pitchAngle, pitch);
        EXPECT_EQ(app.originX, originX);
        EXPECT_EQ(app.originY, originY);
        EXPECT_EQ(app.follow, 0);
        EXPECT_EQ(worldGeneration(app.world), 7);
        appRelease();
    }
}
