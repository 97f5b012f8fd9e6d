// Drawing cells through scripts: the pixel of a cell comes from projecting
// its middle with the frame's camera, independently of the picking code.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "app/app.h"
#include "display/display.h"
#include "platform/headless/headless.h"
#include "support/support.h"
#include "app_run.h"

namespace {

// A glider near the middle of the board.
const char* glider = "5\n32 31 0\n33 32 0\n31 33 0\n32 33 0\n33 33 0\n";
// The page's whole-board view.
const char* boardView = "mouse 0 -260\ntick\nkey down 195\ntick\n";

class Draw : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        writeFile("Life.ini", glider);
        writeFile("Rules.ini", "1 4 3 3\n");
        headlessReset(nullptr);
    }
    void TearDown() override
    {
        releaseRun(&script);
    }
    void run(const std::string& text)
    {
        runScript(&script, text);
    }
    // "X Y": the frame pixel where the middle of cell (x, y) at height z
    // lands, seen from the last frame's camera.
    std::string pixelOf(int64_t x, int64_t y, double z = 0.0)
    {
        Matrix4 view;
        matInverse(&app.cameraPose, &view);
        const double wx = (double)(x - app.originX) * 100, wy = (double)(y - app.originY) * 100;
        const float* v = view.m;
        const double vx = wx * v[0] + wy * v[4] + z * v[8] + v[12];
        const double vy = wx * v[1] + wy * v[5] + z * v[9] + v[13];
        const double vz = wx * v[2] + wy * v[6] + z * v[10] + v[14];
        const int px = (int)floor(320.0 + 320.0 * vx / vz), py = (int)floor(240.0 + 320.0 * vy / vz);
        EXPECT_GT(vz, 0.0);
        EXPECT_TRUE(px >= 0 && px < 640 && py >= 0 && py < 480) << px << " " << py;
        return std::to_string(px) + " " + std::to_string(py);
    }
    int alive(int64_t x, int64_t y)
    {
        return worldGetCell(app.world, x, y);
    }
    TempDir dir;
    Script script = {};
};

// A click toggles the cell drawn there or the empty square under the
// pointer; a drag paints the state its first cell got; Ctrl+Z takes strokes
// back newest first; nothing happens outside drawing.
TEST_F(Draw, ClicksToggleDragsPaintAndUndoTakesStrokesBack)
{
    run(boardView);
    const std::string live = pixelOf(32, 33), empty = pixelOf(20, 40);
    const std::string from = pixelOf(10, 20), to = pixelOf(14, 20);

    run(std::string(boardView) + "click " + live + "\nclick " + empty + "\n");
    EXPECT_TRUE(alive(32, 33));
    EXPECT_FALSE(alive(20, 40));

    run(std::string(boardView) + "key e\ntick\nclick " + live + "\nclick " + empty + "\ntick\n");
    EXPECT_EQ(app.drawing, 1);
    EXPECT_EQ(headless.cursorVisible, 1);
    EXPECT_FALSE(alive(32, 33));
    EXPECT_TRUE(alive(20, 40));

    run(std::string(boardView) + "key e\ndrag " + from + " " + to + " 40\n");
    for (int32_t x = 10; x <= 14; x++)
        EXPECT_TRUE(alive(x, 20)) << x;
    // A drag from a live cell clears; Ctrl+Z brings back what each stroke changed.
    run(std::string(boardView) + "key e\ndrag " + from + " " + to + " 40\ntick\ndrag " + to + " " + from +
        " 40\nclick " + empty + "\n");
    EXPECT_FALSE(alive(12, 20));
    run(std::string(boardView) + "key e\ndrag " + from + " " + to + " 40\ntick\ndrag " + to + " " + from +
        " 40\nclick " + empty + "\nkey ctrl+z 2\n");
    for (int32_t x = 10; x <= 14; x++)
        EXPECT_TRUE(alive(x, 20)) << x;
    EXPECT_FALSE(alive(20, 40));
    run(std::string(boardView) + "key e\nclick " + empty + "\nkey ctrl+z 2\n");
    EXPECT_FALSE(alive(20, 40));
    EXPECT_STREQ(app.notice, "Nothing drawn to undo");
}

// Seen low across the board, the middle of a cell's top (the bundled model's
// top is at z = -22, towards the camera) lies over another cell's square of
// the plane: the click takes the cell drawn there, not the square.
TEST_F(Draw, AClickTakesTheCellWhoseModelIsDrawnThere)
{
    const std::string lowView = "mouse 0 -420\ntick\nkey down 60\ntick\n";
    run(lowView);
    const std::string top = pixelOf(32, 33, -22.0);
    run(lowView + "key e\nclick " + top + "\n");
    int32_t population = 0;
    for (int32_t x = 0; x < LIFE_SIZE; x++)
        for (int32_t y = 0; y < LIFE_SIZE; y++)
            population += alive(x, y);
    EXPECT_EQ(population, 4);
    EXPECT_FALSE(alive(32, 33));
}

// Ctrl+S writes what start-up reads back to the same frame; R then goes
// back to the drawn generation 0, not to the pattern loaded.
TEST_F(Draw, SavedDrawingStartsAsItWasDrawn)
{
    run(boardView);
    const std::string empty = pixelOf(20, 40);
    run(std::string(boardView) + "key e\nclick " + empty + "\nkey e\nkey ctrl+s\nkey del\ntick 3\nkey r\n" +
        "tick 151\nkey f12\ntick\n");
    EXPECT_TRUE(alive(20, 40));
    EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
    EXPECT_FALSE(fileExists("Life.ini.tmp"));
    run(std::string(boardView) + "key f12\ntick\n");
    EXPECT_EQ(readFile("Screenshot 0.bmp"), readFile("Screenshot 1.bmp"));
}

// On a universe any cell can be drawn; a bounded grid keeps its cells inside.
TEST_F(Draw, AUniverseDrawsAnyCellAndABoundedGridOnlyItsOwn)
{
    for (const char* rules : {"B3/S23\n", "B3/S23:P7,7\n"}) {
        SCOPED_TRACE(rules);
        writeFile("Life.ini", "5\n0 -1 0\n1 0 0\n-1 1 0\n0 1 0\n1 1 0\n");
        writeFile("Rules.ini", rules);
        run("key pgup 3\ntick\n");
        const std::string live = pixelOf(0, 1), inside = pixelOf(2, -3), outside = pixelOf(-4, 0);
        run("key pgup 3\ntick\nkey e\nclick " + live + "\nclick " + inside + "\nclick " + outside +
            "\nkey ctrl+s\n");
        EXPECT_FALSE(alive(0, 1));
        EXPECT_TRUE(alive(2, -3));
        EXPECT_EQ(alive(-4, 0), rules[6] == '\n');
        EXPECT_EQ(readFile("Rules.ini"), rules);
    }
}

// Seen low across the board, a click where an empty square's cell would
// show its top takes that square: not a cell further on (the plane through
// the cells' middles lies there), nor the cell behind whose side hangs over
// the square.
TEST_F(Draw, AClickBesideACellTakesTheSquareBeside)
{
    const std::string lowView = "mouse 0 -420\ntick\nkey down 20\ntick\n";
    const int32_t glider[5][2] = {{32, 31}, {33, 32}, {31, 33}, {32, 33}, {33, 33}};
    for (int32_t dx = -1; dx <= 1; dx++) {
        for (int32_t dy = -1; dy <= 1; dy++) {
            if (!dx && !dy)
                continue;
            run(lowView);
            const std::string beside = pixelOf(32 + dx, 31 + dy, -22.0);
            run(lowView + "key e\ntick\nclick " + beside + "\n");
            for (const auto& cell : glider) {
                const bool clicked = cell[0] == 32 + dx && cell[1] == 31 + dy;
                EXPECT_EQ(alive(cell[0], cell[1]), !clicked) << dx << " " << dy << ": " << cell[0] << " " << cell[1];
            }
            int32_t population = 0;
            for (int32_t x = 0; x < LIFE_SIZE; x++)
                for (int32_t y = 0; y < LIFE_SIZE; y++)
                    population += alive(x, y);
            EXPECT_EQ(population, alive(32 + dx, 31 + dy) ? 6 : 4) << dx << " " << dy;
        }
    }
}

// Every live cell of the world shown with its state.
std::map<std::pair<int64_t, int64_t>, int> statesShown()
{
    std::map<std::pair<int64_t, int64_t>, int> cells;
    worldForEachState(app.world, [](void* context, int64_t x, int64_t y, int state) {
        (*(std::map<std::pair<int64_t, int64_t>, int>*)context)[{x, y}] = state;
    }, &cells);
    return cells;
}

WindowFigures figuresShown()
{
    WindowFigures figures = {};
    EXPECT_EQ(windowProc(nullptr, MSG_FIGURES, 0, (intptr_t)&figures), 1);
    return figures;
}

// A wire of WireWorld (0 empty, 1 head, 2 tail, 3 wire) with an electron on it.
const char* wire = "5\n0 0 0 2\n1 0 0 1\n2 0 0 3\n3 0 0 3\n4 0 0 3\n";

// On a world of more states C picks the state a click gives: a cell not in
// it takes it, a cell in it goes back to 0, a drag paints it; C comes round
// to state 1 after the last; Ctrl+Z gives each cell its state back; the page's
// menu picks a state directly and one the world lacks changes nothing.
TEST_F(Draw, CPicksTheStateDrawnOnAWorldOfMoreStates)
{
    writeFile("Life.ini", wire);
    writeFile("Rules.ini", "WireWorld\n");
    const std::string view = "key pgup 3\ntick\n";
    run(view);
    ASSERT_EQ(app.world->states, 4);
    const std::string head = pixelOf(1, 0), wireEnd = pixelOf(4, 0), empty = pixelOf(1, 2);
    const std::string from = pixelOf(-1, -2), to = pixelOf(3, -2);

    run(view + "key e\nclick " + empty + "\nclick " + head + "\n");
    EXPECT_EQ(alive(1, 2), 1);
    EXPECT_EQ(alive(1, 0), 0);
    EXPECT_EQ(figuresShown().drawState, 1);

    run(view + "key e\nkey c 2\nclick " + empty + "\nclick " + wireEnd + "\ndrag " + from + " " + to + " 40\n");
    EXPECT_EQ(alive(1, 2), 3);
    EXPECT_EQ(alive(4, 0), 0);
    for (int32_t x = -1; x <= 3; x++)
        EXPECT_EQ(alive(x, -2), 3) << x;
    const WindowFigures figures = figuresShown();
    EXPECT_EQ(figures.states, 4);
    EXPECT_EQ(figures.drawState, 3);
    EXPECT_EQ(worldPopulation(app.world), 10);

    run(view + "key c 3\nkey e\nclick " + head + "\nclick " + wireEnd + "\nkey ctrl+z 2\n");
    EXPECT_EQ(figuresShown().drawState, 1);
    EXPECT_EQ(statesShown(), (std::map<std::pair<int64_t, int64_t>, int>{
        {{0, 0}, 2}, {{1, 0}, 1}, {{2, 0}, 3}, {{3, 0}, 3}, {{4, 0}, 3}}));

    run(view + "tick\n");
    windowProc(nullptr, MSG_DRAWSTATE, 2, 0);
    EXPECT_EQ(figuresShown().drawState, 2);
    for (const uintptr_t absent : {(uintptr_t)0, (uintptr_t)4, (uintptr_t)1 << 32 | 1})
        windowProc(nullptr, MSG_DRAWSTATE, absent, 0);
    EXPECT_EQ(figuresShown().drawState, 2);
}

// A world of two states draws as it always did: C only says there is no
// other state, and the menu's message cannot pick one.
TEST_F(Draw, TwoStatesKeepTheirOneStateToDraw)
{
    run(std::string(boardView) + "key c\ntick\n");
    EXPECT_STREQ(app.notice, "This rule has one live state: drawing gives it");
    windowProc(nullptr, MSG_DRAWSTATE, 2, 0);
    EXPECT_EQ(figuresShown().drawState, 1);
    EXPECT_EQ(figuresShown().states, 2);
}

// R and Backspace bring back every cell's state as it was, drawn cells too,
// and a new world loaded draws state 1 again.
TEST_F(Draw, GoingBackBringsBackEveryState)
{
    writeFile("Life.ini", wire);
    writeFile("Rules.ini", "WireWorld\n");
    const std::string view = "key pgup 3\ntick\n";
    run(view);
    const std::string empty = pixelOf(1, 2);
    const std::string drawn = view + "key e\nkey c\nclick " + empty + "\nkey e\n";
    run(drawn);
    const auto start = statesShown();
    ASSERT_EQ(start.at({1, 2}), 2);
    run(drawn + "key ins 2\n");
    const auto second = statesShown();
    ASSERT_NE(second, start);
    run(drawn + "key ins 5\nkey back 3\n");
    EXPECT_EQ(worldGeneration(app.world), 2);
    EXPECT_EQ(statesShown(), second);
    run(drawn + "key ins 5\nkey r\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(statesShown(), start);
    EXPECT_EQ(figuresShown().drawState, 2);

    writeFile("brain.rle", "x = 3, y = 2, rule = B2/S/C3\nABA$.B!\n");
    run(drawn + "drop brain.rle\ntick\n");
    EXPECT_EQ(figuresShown().drawState, 1);
}

} // namespace
