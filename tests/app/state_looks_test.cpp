// Each state's look: the theme a rule gives its states (its .rule file's
// @COLORS, whatever else that section holds, or its family's), and the frames
// that draw them, near and far, marks flat, short of memory or not.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "app/app.h"
#include "app/frame_local.h"
#include "app_run.h"
#include "life/states.h"
#include "platform/headless/faults.h"
#include "platform/headless/headless.h"
#include "support/support.h"

namespace {

StateLooks theme;

// A rule of the table family whose .rule text is given: all the theme reads of it.
struct TextRule {
    StatesTree tree;
    StatesRule rule;
};

const StateLooks* themeOfText(TextRule* r, const std::string& text, int32_t states)
{
    memset(r, 0, sizeof *r);
    r->tree.source = (char*)text.data();
    r->tree.sourceSize = text.size();
    r->tree.states = states;
    r->rule.family = STATES_TREE;
    r->rule.states = states;
    r->rule.tree = &r->tree;
    memset(&theme, 0, sizeof theme);
    stateLooksMakeTheme(&theme, &r->rule, states, "Test");
    return &theme;
}

const StateLooks* themeOfRule(const char* text)
{
    StatesRule rule;
    char reason[256];
    memset(&theme, 0, sizeof theme);
    if (!statesRuleParse(text, nullptr, &rule, reason, sizeof reason)) {
        ADD_FAILURE() << reason;
        return &theme;
    }
    stateLooksMakeTheme(&theme, &rule, rule.states, rule.name);
    statesRuleRelease(&rule);
    return &theme;
}

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r << 16 | g << 8 | b;
}

TEST(StateTheme, GenerationsKeepsTheLivingLookAndDarkensTheDyingWithAge)
{
    const StateLooks* l = themeOfRule("B2/S/C6");
    ASSERT_EQ(l->states, 6);
    EXPECT_EQ(l->looks[1].own, 1);
    EXPECT_EQ(l->looks[1].bright, 256);
    for (int32_t s = 2; s < 6; s++) {
        SCOPED_TRACE(s);
        EXPECT_EQ(l->looks[s].own, 0);
        EXPECT_EQ(l->looks[s].mark, 0);
        if (s > 2) {
            EXPECT_LT(l->looks[s].bright, l->looks[s - 1].bright);
        }
    }
    EXPECT_GT(l->looks[5].bright, 0);
}

TEST(StateTheme, LifeHistoryLaysItsTrailAndMarksFlatInItsOwnColours)
{
    const StateLooks* l = themeOfRule("LifeHistory");
    ASSERT_EQ(l->states, 7);
    for (int32_t s = 1; s < 7; s++)
        EXPECT_EQ(l->looks[s].mark, s % 2 == 0) << s;
    EXPECT_EQ(l->looks[1].own, 1);
    EXPECT_EQ(l->looks[2].colour, rgb(48, 80, 160));
    const StateLooks* w = themeOfRule("WireWorld");
    EXPECT_EQ(w->looks[1].own, 0);
    EXPECT_EQ(w->looks[3].colour, rgb(230, 170, 60));
}

TEST(StateTheme, ARuleFilesColoursAreReadFromItsColourSectionOnly)
{
    TextRule r;
    const StateLooks* l = themeOfText(&r,
        "@RULE Test\n@TABLE\nn_states:5\n1 9 9 9\n"
        "@COLORS\r\n"
        "  1 255 0 0\r\n"
        "3 0 0 255   # blue\n"
        "\n"
        "@ICONS\n2 1 2 3\n",
        5);
    EXPECT_EQ(l->looks[1].colour, rgb(255, 0, 0));
    EXPECT_EQ(l->looks[1].own, 0);
    EXPECT_EQ(l->looks[3].colour, rgb(0, 0, 255));
    // Untouched by the table's line or the icons' one: the family's hues.
    EXPECT_NE(l->looks[2].colour, rgb(1, 2, 3));
    EXPECT_NE(l->looks[2].colour, rgb(9, 9, 9));
    EXPECT_NE(l->looks[4].colour, 0u);

    // Six numbers: a gradient from state 1 to the last.
    l = themeOfText(&r, "@RULE Test\n@COLORS\n0 0 0 240 120 30\n", 5);
    EXPECT_EQ(l->looks[1].colour, rgb(0, 0, 0));
    EXPECT_EQ(l->looks[4].colour, rgb(240, 120, 30));
    EXPECT_EQ(l->looks[2].colour, rgb(80, 40, 10));
}

TEST(StateTheme, BrokenOrHostileColourLinesArePassedOver)
{
    TextRule r;
    const std::string defaults = std::string("@RULE Test\n@TABLE\n");
    const StateLooks* plain = themeOfText(&r, defaults, 4);
    StateLook before[4];
    memcpy(before, plain->looks, sizeof before);
    const std::string text = defaults + "@COLORS\n"
                                        "4 1 2 3\n"    // no such state
                                        "0 1 2 3\n"    // the background is the program's
                                        "255 1 2 3\n"
                                        "1 256 0 0\n"
                                        "1 99999999999999999999999 0 0\n"
                                        "1 -5 0 0\n"
                                        "1 2 3\n"
                                        "1 2 3 4 5\n"
                                        "1 2 3 4 5 6 7\n"
                                        "2 10 20 30 junk\n"
                                        "garbage\n"
                                        "@\n" +
        std::string(1 << 20, '7') + "\n" + "3 7 8 9";
    const StateLooks* l = themeOfText(&r, text, 4);
    for (int32_t s = 1; s < 3; s++) {
        SCOPED_TRACE(s);
        EXPECT_EQ(l->looks[s].colour, before[s].colour);
        EXPECT_EQ(l->looks[s].own, before[s].own);
    }
    // The last line, without its line end, counts.
    EXPECT_EQ(l->looks[3].colour, rgb(7, 8, 9));
}

// ---- Frames ----------------------------------------------------------------------

// A world of the rule holding a square of size x size cells in the state.
World* squareOf(const char* rule, int64_t left, int64_t top, int32_t size, int state)
{
    char reason[256];
    World* world = worldCreate(rule, reason, sizeof reason);
    EXPECT_NE(world, nullptr) << reason;
    for (int32_t y = 0; y < size && world; y++)
        for (int32_t x = 0; x < size; x++)
            EXPECT_EQ(worldSetCell(world, left + x, top + y, state), 1);
    return world;
}

void show(World* world)
{
    worldRelease(app.world);
    app.world = world;
}

// Red, green, blue.
uint32_t channel(uint32_t pixel, int c)
{
    return pixel >> (16 - 8 * c) & 0xFF;
}

// The mean red, green and blue of the lit pixels of the frame, and how many.
int32_t litColour(double mean[3])
{
    int32_t lit = 0;
    mean[0] = mean[1] = mean[2] = 0.0;
    for (int y = 40; y < 440; y++)
        for (int x = 0; x < screenWidth; x++) {
            const uint32_t pixel = app.framebuffer[y * screenWidth + x];
            if (!pixel)
                continue;
            lit++;
            for (int c = 0; c < 3; c++)
                mean[c] += channel(pixel, c);
        }
    for (int c = 0; c < 3 && lit; c++)
        mean[c] /= lit;
    return lit;
}

// A copy of the world, which the frame may own.
World* worldSnapshotRestoreOf(const World* world)
{
    WorldSnapshot* kept = worldSnapshotTake(world, nullptr);
    World* copy = kept ? worldSnapshotRestore(kept) : nullptr;
    worldSnapshotRelease(kept);
    return copy;
}

class StateFrames : public ::testing::Test {
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
        heapHookReset();
        releaseRun(&script);
    }
    // The frame of the world seen from straight above (x, y) at height z.
    void frameOf(World* world, float z, int64_t x = 128, int64_t y = 128)
    {
        show(world);
        ASSERT_NE(app.world, nullptr);
        app.originX = x;
        app.originY = y;
        lookFrom(0.0f, 0.0f, z, 0.0f);
        frameTick();
    }
    TempDir dir;
    Script script = {};
};

TEST_F(StateFrames, StateOneWithoutAColourDrawsAsATwoStateCell)
{
    frameOf(squareOf("B3/S23", 127, 127, 3, 1), -900.0f);
    // From row 40 down: the status lines above it name the rule.
    const uint64_t twoStates = frameHash(40);
    frameOf(squareOf("B3/S23/C4", 127, 127, 3, 1), -900.0f);
    EXPECT_EQ(frameHash(40), twoStates);
    // A dying state is another look.
    frameOf(squareOf("B3/S23/C4", 127, 127, 3, 3), -900.0f);
    EXPECT_NE(frameHash(40), twoStates);
}

TEST_F(StateFrames, EachStateShowsItsColourNearAndFar)
{
    // WireWorld's head blue, tail red, conductor copper.
    const struct {
        int state;
        int most, least; // the channels brightest and dimmest on average
    } states[] = {{1, 2, 0}, {2, 0, 2}, {3, 0, 2}};
    for (const auto& s : states)
        for (const float z : {-300.0f, -60000.0f}) {
            SCOPED_TRACE("state " + std::to_string(s.state) + " from " + std::to_string(z));
            const int32_t size = z < -1000.0f ? 256 : 1;
            frameOf(squareOf("WireWorld", z < -1000.0f ? 0 : 128, z < -1000.0f ? 0 : 128, size, s.state), z);
            if (z < -1000.0f) {
                RenderScene scene;
                placeFrameCells(&app.worldToView, &scene);
                for (int32_t m = 0; m < scene.modelCount; m++)
                    EXPECT_TRUE(scene.models[m].quads) << "no cell has the full model";
            }
            double mean[3];
            ASSERT_GT(litColour(mean), 100);
            for (int c = 0; c < 3; c++) {
                if (c != s.most) {
                    EXPECT_GT(mean[s.most], mean[c] + 20.0) << "channel " << c;
                }
                if (c != s.least) {
                    EXPECT_LT(mean[s.least], mean[c] - 20.0) << "channel " << c;
                }
            }
        }
}

TEST_F(StateFrames, LifeHistorysTrailIsAFlatMarkNotACell)
{
    frameOf(squareOf("LifeHistory", 128, 128, 1, 1), -300.0f);
    double cellColour[3];
    const int32_t cellPixels = litColour(cellColour);
    frameOf(squareOf("LifeHistory", 128, 128, 1, 2), -300.0f);
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    for (int32_t m = 0; m < scene.modelCount; m++)
        EXPECT_TRUE(scene.models[m].quads) << "the trail has no model";
    double mean[3];
    const int32_t markPixels = litColour(mean);
    // The whole cell's square, farther down than the model's top is: larger on screen.
    EXPECT_GT(markPixels, cellPixels * 3 / 2);
    EXPECT_GT(mean[2], mean[0] + 40.0);
}

// Seen so far that squares of many tiles are each one face, a world of more
// states still shows its states: each square the state most of a tile of it holds.
TEST_F(StateFrames, FarSquaresShowTheStateTheirTilesHoldMost)
{
    World* world = squareOf("WireWorld", 0, 0, 1024, 3);
    ASSERT_NE(world, nullptr);
    for (int32_t y = 0; y < 1024; y += 4)
        for (int32_t x = 0; x < 1024; x += 2)
            ASSERT_EQ(worldSetCell(world, x, y, 1), 1);
    frameOf(world, -4000000.0f, 512, 512);
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    int32_t squares = 0;
    for (int32_t m = 0; m < scene.modelCount; m++) {
        ASSERT_TRUE(scene.models[m].quads) << "no cell has the full model";
        const MeshObject* mesh = scene.models[m].objects;
        EXPECT_EQ(mesh->faces[0].material, WEIGHTS + 3);
        squares += mesh->faceCount / 2;
    }
    EXPECT_GT(squares, 0);
    double mean[3];
    ASSERT_GT(litColour(mean), 20);
    EXPECT_GT(mean[0], mean[1] + 20.0);
    EXPECT_GT(mean[1], mean[2] + 20.0);
}

// Two rule files of one name, beside two patterns: each world shows in its
// own file's colours, whichever was shown before it.
TEST_F(StateFrames, EachWorldShowsItsOwnRuleFilesColours)
{
    const char* table = "@RULE Dyed\n@TABLE\nn_states:3\nneighborhood:Moore\nsymmetries:permute\n";
    ASSERT_EQ(system("mkdir -p red green"), 0);
    writeFile("red/Dyed.rule", std::string(table) + "@COLORS\n1 250 20 20\n");
    writeFile("green/Dyed.rule", std::string(table) + "@COLORS\n1 20 250 20\n");
    World* worlds[2];
    const char* folders[2] = {"red", "green"};
    for (int i = 0; i < 2; i++) {
        StatesRule rule;
        char reason[256];
        const StatesRuleSource source = {folders[i], nullptr, 0};
        ASSERT_EQ(statesRuleParse("Dyed", &source, &rule, reason, sizeof reason), 1) << reason;
        worlds[i] = statesWorldCreate(&rule, reason, sizeof reason);
        statesRuleRelease(&rule);
        ASSERT_NE(worlds[i], nullptr) << reason;
        ASSERT_EQ(worldSetCell(worlds[i], 128, 128, 1), 1);
    }
    for (int round = 0; round < 2; round++)
        for (int i = 0; i < 2; i++) {
            SCOPED_TRACE(folders[i]);
            frameOf(worldSnapshotRestoreOf(worlds[i]), -300.0f);
            double mean[3];
            ASSERT_GT(litColour(mean), 100);
            EXPECT_GT(mean[i], mean[1 - i] + 60.0);
        }
    worldRelease(worlds[0]);
    worldRelease(worlds[1]);
}

// Short of memory, a frame of many states draws what fits and goes on; with
// memory back the next frame is whole again.
TEST_F(StateFrames, AFrameShortOfMemoryDrawsWhatFits)
{
    char reason[256];
    World* world = worldCreate("B2/S/C3", reason, sizeof reason);
    ASSERT_NE(world, nullptr) << reason;
    std::mt19937 random(5);
    for (int32_t y = 0; y < 256; y++)
        for (int32_t x = 0; x < 256; x++)
            if (random() % 4 == 0) {
                ASSERT_EQ(worldSetCell(world, x, y, 1), 1);
            }
    ASSERT_EQ(worldStep(world, 3), 1);
    // Near cells at one side, stand-ins far across the rest.
    show(world);
    app.originX = 0;
    app.originY = 0;
    lookFrom(0.0f, -1500.0f, -1200.0f, 1.1f);
    frameTick();
    frameTick();
    const uint64_t whole = frameHash(40);
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    int32_t cellModels = 0, quads = 0;
    for (int32_t m = 0; m < scene.modelCount; m++)
        (scene.models[m].quads ? quads : cellModels)++;
    EXPECT_EQ(cellModels, 2);
    EXPECT_GT(quads, 0);
    for (int32_t rest = 0; rest <= 1; rest++)
        for (int64_t failAt = 1; failAt <= 12; failAt++) {
            SCOPED_TRACE("allocation " + std::to_string(failAt) + (rest ? " and every later one" : " alone"));
            frameCellsRelease();
            heapHookReset();
            heapHook.failAt = failAt;
            heapHook.failRest = rest;
            frameTick();
            heapHookReset();
            frameTick();
            EXPECT_EQ(frameHash(40), whole);
        }
}

} // namespace
