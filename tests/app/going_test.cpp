// Going far on the desktop: H moves the world onto the other engine of the
// plane with its cells and generation, G goes to a generation typed into the
// overlay, and paces past 64 generations a tick make steps of 2^k, each kept
// for Backspace as one. The glider's flight (a cell down and across every
// four generations) and the universe's own steps are the references.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app_run.h"

namespace {

using Cells = std::vector<std::pair<int64_t, int64_t>>;

Cells worldCells(const World* world)
{
    Cells cells;
    worldForEachCell(
        world, [](void* context, int64_t x, int64_t y) { ((Cells*)context)->push_back({x, y}); }, &cells);
    std::sort(cells.begin(), cells.end());
    return cells;
}

// The glider of lifeIni, flown `generations` on (a multiple of four).
Cells gliderAt(int64_t generations)
{
    const int64_t d = generations / 4;
    Cells cells = {{32 + d, 31 + d}, {33 + d, 32 + d}, {31 + d, 33 + d}, {32 + d, 33 + d}, {33 + d, 33 + d}};
    std::sort(cells.begin(), cells.end());
    return cells;
}

class Going : public App {
protected:
    void SetUp() override
    {
        App::SetUp();
        writeFile("Rules.ini", "B3/S23\n");
    }
};

TEST_F(Going, HSwitchesEnginesWithTheCellsAndTheGeneration)
{
    run("key ins 8\nkey h\n");
    ASSERT_STREQ(worldEngineName(app.world), "hashlife");
    EXPECT_STREQ(worldShownEngine(app.world), "Hashlife") << "the overlay names it";
    EXPECT_STREQ(app.notice, "Now on Hashlife");
    EXPECT_EQ(worldGeneration(app.world), 8);
    EXPECT_EQ(worldCells(app.world), gliderAt(8));
    // Stepped on there and switched back in the middle of a glider's cycle,
    // then on again on the universe.
    run("key ins 8\nkey h\nkey ins 5\nkey h\nkey ins 3\n");
    EXPECT_STREQ(worldEngineName(app.world), "universe");
    EXPECT_EQ(worldShownEngine(app.world), nullptr);
    EXPECT_STREQ(app.notice, "Now on the tile engine");
    EXPECT_EQ(worldGeneration(app.world), 16);
    EXPECT_EQ(worldCells(app.world), gliderAt(16));
    // Backspace and R bring back what was kept, on whichever engine kept it.
    run("key ins 3\n");
    const Cells third = worldCells(app.world);
    run("key ins 4\nkey h\nkey ins 4\nkey back 5\n");
    EXPECT_EQ(worldGeneration(app.world), 3);
    EXPECT_EQ(worldCells(app.world), third);
    run("key ins 4\nkey h\nkey ins 4\nkey r\n");
    EXPECT_EQ(worldCells(app.world), gliderAt(0));

    // The board has no other engine: it stays, and says why.
    writeFile("Rules.ini", "1 4 3 3\n");
    run("key ins 2\nkey h\n");
    EXPECT_STREQ(worldEngineName(app.world), "board");
    EXPECT_EQ(worldGeneration(app.world), 2);
    EXPECT_EQ(std::string(app.notice).rfind("Not switched: ", 0), 0u) << app.notice;
}

TEST_F(Going, GGoesToTheGenerationTyped)
{
    for (const char* engine : {"", "key h\n"}) {
        SCOPED_TRACE(engine[0] ? "hashlife" : "universe");
        const std::string start = engine;
        run((start + "key g\nkey 1\nkey 0\nkey 0\nkey 0\nkey enter\ntick 100\n").c_str());
        EXPECT_EQ(app.going, 0);
        EXPECT_EQ(worldGeneration(app.world), 1000);
        EXPECT_EQ(worldCells(app.world), gliderAt(1000));
        // Backwards: from generation 0 on. Backspace goes back to where the
        // world stood when it set out.
        run((start + "key ins 12\nkey g\nkey 8\nkey enter\ntick 5\n").c_str());
        EXPECT_EQ(worldCells(app.world), gliderAt(8));
        run((start + "key ins 12\nkey g\nkey 8\nkey enter\ntick 5\nkey back\n").c_str());
        EXPECT_EQ(worldGeneration(app.world), 0);
    }
    // Backspace takes a digit back; the world's own keys go on meanwhile,
    // and Esc closes the question rather than the window.
    run("key g\nkey 1\nkey 2\nkey back\nkey 6\nkey ins\nkey enter\ntick 20\n");
    EXPECT_EQ(worldGeneration(app.world), 16);
    run("key g\nkey 4\nkey esc\nkey ins\ntick 5\n");
    EXPECT_EQ(app.asking, 0);
    EXPECT_EQ(worldGeneration(app.world), 1);
    // Esc on the way stops there, and only the second closes the window.
    run("key g\nkey 9 18\nkey enter\ntick\nkey esc\n");
    const int64_t stopped = worldGeneration(app.world);
    EXPECT_EQ(app.going, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, 999999999999999999ll);
    EXPECT_EQ(std::string(app.notice).rfind("Stopped at generation ", 0), 0u) << app.notice;
    run("key g\nkey 9 18\nkey enter\ntick\nkey esc\nkey ins\n");
    EXPECT_EQ(worldGeneration(app.world), stopped + 1);
    // Nineteen nines pass 2^63 - 1 and a twentieth digit is not taken.
    run("key g\nkey 9 20\n");
    EXPECT_EQ(strlen(app.askText), (size_t)ASK_DIGITS);
    run("key g\nkey 9 20\nkey enter\ntick\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(std::string(app.notice).rfind("No such generation", 0), 0u) << app.notice;
    run("key g\nkey enter\ntick\n");
    EXPECT_STREQ(app.notice, "No generation given");
}

// The page's messages, after the run (its frames gone, so the going's ticks
// are goingTick's): MSG_GOTO carries a generation past 32 bits in two
// halves, MSG_FIGURES reports the going and the engine, and the page's Stop
// (MSG_DROPCANCEL) ends the going, then closes G's question, never the window.
TEST_F(Going, ThePageGoesStopsAndSeesTheEngine)
{
    const int64_t far = ((int64_t)5 << 32) | 7;
    WindowFigures figures = {};
    for (const char* engine : {"", "key h\n"}) {
        SCOPED_TRACE(engine[0] ? "hashlife" : "universe");
        run(engine);
        windowProc(app.window, MSG_GOTO, 1000, 0);
        for (int ticks = 0; ticks < 100 && app.going; ticks++)
            goingTick();
        windowProc(app.window, MSG_FIGURES, 0, (intptr_t)&figures);
        EXPECT_EQ(figures.generation, 1000);
        EXPECT_EQ(figures.goingTo, -1);
        EXPECT_STREQ(figures.engine, engine[0] ? "hashlife" : "universe");
        EXPECT_EQ(worldCells(app.world), gliderAt(1000));
        appRelease();
    }
    run("");
    windowProc(app.window, MSG_GOTO, 7, 5);
    EXPECT_EQ(app.going, 1);
    EXPECT_EQ(app.goingTo, far);
    goingTick();
    windowProc(app.window, MSG_FIGURES, 0, (intptr_t)&figures);
    EXPECT_EQ(figures.goingTo, far);
    windowProc(app.window, MSG_DROPCANCEL, 0, 0);
    EXPECT_EQ(app.going, 0);
    EXPECT_EQ(std::string(app.notice).rfind("Stopped at generation ", 0), 0u) << app.notice;
    run("key g\nkey 4\n");
    windowProc(app.window, MSG_DROPCANCEL, 0, 0);
    EXPECT_EQ(app.asking, 0);
    windowProc(app.window, MSG_DROPCANCEL, 0, 0);
    EXPECT_NE(app.world, nullptr) << "the window stays open";
    // Past 2^63 - 1 the high half turns the target negative: refused.
    windowProc(app.window, MSG_GOTO, 0, (intptr_t)0x80000000u);
    EXPECT_EQ(app.going, 0);
    EXPECT_STREQ(app.notice, "No such generation: the first is 0");
    appRelease();
}

// Steps of 2^k: a tick's work makes the glider's whole step of 1024 (work is
// counted in what the engines compute, not in time), and Backspace takes a
// whole step back.
TEST_F(Going, PacesPastSixtyFourMakeStepsOfTwoToTheK)
{
    for (const char* engine : {"", "key h\n"}) {
        SCOPED_TRACE(engine[0] ? "hashlife" : "universe");
        const std::string start = engine;
        run((start + "key + 10\nkey del\ntick 3\nkey del\n").c_str());
        EXPECT_EQ(worldGeneration(app.world), 3 * 1024);
        EXPECT_EQ(worldCells(app.world), gliderAt(3 * 1024));
        run((start + "key + 10\nkey del\ntick 3\nkey del\nkey back\n").c_str());
        EXPECT_EQ(worldGeneration(app.world), 2 * 1024);
        EXPECT_EQ(worldCells(app.world), gliderAt(2 * 1024));
    }
    // The fastest pace holds, and slowing down from it comes back to a
    // generation a tick at 64 and below.
    run("key + 50\n");
    EXPECT_EQ(app.speed, SPEED_FARTHEST);
    run("key + 50\nkey - 34\nkey del\ntick 2\n");
    EXPECT_EQ(app.speed, SPEED_FASTEST);
    EXPECT_EQ(worldGeneration(app.world), 2 * 64);
}

} // namespace
