// Drop-to-load: a pattern file read into a new world, the working folder's
// files left alone, a refused file changing nothing.
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

// A glider with lone-CR comment lines and CRLF rows; its cells land on
// (32, 31), (33, 32), (31, 33), (32, 33), (33, 33).
const char* droppedGlider = "!Name: Glider\r!\r.O.\r\n..O\r\nOOO\r\n";

TEST_F(App, DropStartsAUniverseOnThePatternAndFramesIt)
{
    run("key ins 3\nkey left\nmouse 30 -10\ntick\n");
    const Matrix4 camera = app.cameraMatrix;
    writeFile("glider.cells", droppedGlider);
    writeFile("Rules.ini", "8 9 2 2\n"); // Seeds, as a pattern before might have left it
    run("key ins 3\nkey left\nmouse 30 -10\ntick\ndrop glider.cells\nkey 0x41\n");
    EXPECT_EQ(worldGeneration(app.world), 0);
    // Framed as F frames it: a second F changes nothing.
    EXPECT_NE(memcmp(&app.cameraMatrix, &camera, sizeof camera), 0);
    const Matrix4 framed = app.cameraMatrix;
    cameraFrame();
    EXPECT_EQ(memcmp(&app.cameraMatrix, &framed, sizeof framed), 0);
    // The pattern's own coordinates: plaintext's top-left cell at (0, 0).
    ASSERT_FALSE(app.world->fixedView);
    EXPECT_EQ(worldPopulation(app.world), 5);
    EXPECT_EQ(worldGetCell(app.world, 1, 0), 1);
    EXPECT_EQ(lastLogLine(), "Dropped glider.cells: loaded, 5 live cells, rule B3/S23");
    // The working folder's files are the user's until Ctrl+S.
    EXPECT_EQ(readFile("Life.ini"), lifeIni);
    EXPECT_EQ(readFile("Rules.ini"), "8 9 2 2\n");
    run("key ins 3\ndrop glider.cells\nkey ctrl+s\nkey 0x41\n");
    EXPECT_EQ(readFile("Life.ini"), "5\n1 0 0\n2 1 0\n0 2 0\n1 2 0\n2 2 0\n");
    EXPECT_EQ(readFile("Rules.ini"), "B3/S23\n");
    EXPECT_FALSE(fileIsThere("Life.ini.tmp"));
}

// A drop on a universe lets the running world go for the pattern's.
TEST_F(App, DropOnAUniverseLoadsThePatternsWorld)
{
    writeFile("Rules.ini", "B36/S23\n");
    writeFile("glider.rle", "x = 3, y = 3, rule = B3/S23:T20,20\nbo$2bo$3o!\n");
    run("tick\ndrop glider.rle\ntick\nkey ins\n");
    EXPECT_STREQ(app.world->ruleName, "B3/S23:T20,20");
    EXPECT_EQ(worldGeneration(app.world), 1);
    EXPECT_EQ(readFile("Rules.ini"), "B36/S23\n");
}

// A file of more states runs on the multi-state engine, every live state counted.
TEST_F(App, DropOfMoreStatesLoadsTheirWorld)
{
    writeFile("brain.rle", "x = 3, y = 2, rule = B2/S/C3\nABA$.B!\n");
    run("tick\ndrop brain.rle\ntick\nkey ins\nkey ins\n");
    EXPECT_STREQ(app.world->ruleName, "B2/S/C3");
    EXPECT_EQ(app.world->states, 3);
    EXPECT_EQ(lastLogLine(), "Dropped brain.rle: loaded, 4 live cells, rule B2/S/C3");
    EXPECT_EQ(worldGeneration(app.world), 2);
}

TEST_F(App, RefusedDropChangesNothingAndShowsWhyForAFewSeconds)
{
    const std::string badRle = "x = 3, y = 3, rule = Nowhere\nbo$2bo$3o!\n";
    // The notice is up for NOTICE_TICKS frames and gone in the one after.
    for (int ticks : {(int)NOTICE_TICKS, NOTICE_TICKS + 1}) {
        SCOPED_TRACE(ticks);
        const std::string frames = "key ins 2\ntick " + std::to_string(ticks) + "\n";
        run(frames.c_str());
        const std::vector<uint32_t> plain(headless.frame, headless.frame + screenWidth * screenHeight);
        writeFile("nowhere.rle", badRle);
        run(("key ins 2\ndrop nowhere.rle\ntick " + std::to_string(ticks) + "\n").c_str());
        EXPECT_EQ(readFile("Life.ini"), lifeIni);
        EXPECT_EQ(readFile("Rules.ini"), "1 4 3 3\n");
        EXPECT_EQ(worldGeneration(app.world), 2);
        EXPECT_EQ(lastLogLine(),
                  "Dropped nowhere.rle: refused, rule \"Nowhere\" names a rule table or tree, and no "
                  "Nowhere.rule was found beside the file, in Rules/, among the rules this program ships or in "
                  "/usr/share/golly/Rules");
        // Only the rows of the notice's four lines, from row 30, may differ.
        int changed = 0;
        for (int y = 0; y < screenHeight; y++) {
            for (int x = 0; x < screenWidth; x++) {
                const bool differs = headless.frame[y * screenWidth + x] != plain[y * screenWidth + x];
                EXPECT_TRUE(!differs || (y >= 30 && y < 30 + 4 * 14)) << x << "," << y;
                changed += differs;
            }
        }
        EXPECT_EQ(changed > 0, ticks == NOTICE_TICKS);
    }
    EXPECT_STREQ(app.notice, "nowhere.rle not loaded: rule \"Nowhere\" names a rule\n"
                             "table or tree, and no Nowhere.rule was found beside the\n"
                             "file, in Rules/, among the rules this program ships or\n"
                             "in /usr/share/golly/Rules");
}

TEST_F(App, DropEntryReturnsTheOutcomeToAnyCaller)
{
    run("tick\n");
    char message[NOTICE_TEXT];
    writeFile("empty.rle", "x = 0, y = 0\nb!\n");
    EXPECT_EQ(dropPattern("empty.rle", message, sizeof message), 0);
    EXPECT_STREQ(message, "empty.rle not loaded: the pattern has no live cells; an empty board is not written");
    EXPECT_EQ(readFile("Life.ini"), lifeIni);
    EXPECT_EQ(dropPattern("missing/x\xC3\xA9.rle", message, sizeof message), 0);
    EXPECT_STREQ(app.notice, "x??.rle not loaded: cannot open: No such file or\ndirectory");
    writeFile("g.lif", "#Life 1.05\n#P 0 0\n.*\n..*\n***\n");
    EXPECT_EQ(dropPattern("g.lif", message, sizeof message), 1);
    EXPECT_STREQ(message, "g.lif: 5 live cells, rule B3/S23");
    EXPECT_EQ(app.noticeTicks, NOTICE_TICKS);
    // A few bytes that would be billions of cells are refused before any is made.
    writeFile("huge.dbl", "!dblife\n200000000O\n");
    EXPECT_EQ(dropPattern("huge.dbl", message, sizeof message), 0);
    EXPECT_STREQ(message, "huge.dbl not loaded: line 2: more than 134217728 live cells; refused");
}

} // namespace
