#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_log.h"
#include "platform/headless/headless.h"
#include "support/support.h"

namespace {

struct Parsed {
    int ok;
    Script script;
    std::string error;
};

Parsed parse(const std::string& text)
{
    Parsed p;
    char error[128];
    p.ok = scriptParse(text.data(), text.size(), &p.script, error, sizeof error);
    p.error = error;
    return p;
}

TEST(Script, AcceptedLinesBecomeSteps)
{
    const struct {
        const char* line;
        ScriptStep step;
    } cases[] = {
        {"tick", {SCRIPT_TICK, 1, 0, 0, 0}},
        {"tick 25", {SCRIPT_TICK, 25, 0, 0, 0}},
        {"tick 0", {SCRIPT_TICK, 0, 0, 0, 0}},
        {"tick 1000000", {SCRIPT_TICK, 1000000, 0, 0, 0}},
        {"key esc", {SCRIPT_KEY, 1, 0x1B, 0, 0}},
        {"key end", {SCRIPT_KEY, 1, 0x23, 0, 0}},
        {"key home", {SCRIPT_KEY, 1, 0x24, 0, 0}},
        {"key left", {SCRIPT_KEY, 1, 0x25, 0, 0}},
        {"key up", {SCRIPT_KEY, 1, 0x26, 0, 0}},
        {"key right", {SCRIPT_KEY, 1, 0x27, 0, 0}},
        {"key down", {SCRIPT_KEY, 1, 0x28, 0, 0}},
        {"key ins 3", {SCRIPT_KEY, 3, 0x2D, 0, 0}},
        {"key del", {SCRIPT_KEY, 1, 0x2E, 0, 0}},
        {"key f9", {SCRIPT_KEY, 1, 0x78, 0, 0}},
        {"key f12", {SCRIPT_KEY, 1, 0x7B, 0, 0}},
        {"key pgup", {SCRIPT_KEY, 1, 0x21, 0, 0}},
        {"key pgdn", {SCRIPT_KEY, 1, 0x22, 0, 0}},
        {"key f 2", {SCRIPT_KEY, 2, 0x46, 0, 0}},
        {"key t", {SCRIPT_KEY, 1, 0x54, 0, 0}},
        {"key + 2", {SCRIPT_KEY, 2, 0xBB, 0, 0}},
        {"key -", {SCRIPT_KEY, 1, 0xBD, 0, 0}},
        {"key kp+", {SCRIPT_KEY, 1, 0x6B, 0, 0}},
        {"key kp-", {SCRIPT_KEY, 1, 0x6D, 0, 0}},
        {"key p", {SCRIPT_KEY, 1, 0x50, 0, 0}},
        {"key r", {SCRIPT_KEY, 1, 0x52, 0, 0}},
        {"key back", {SCRIPT_KEY, 1, 0x08, 0, 0}},
        {"key 0x41", {SCRIPT_KEY, 1, 0x41, 0, 0}},
        {"key 0XfF 2", {SCRIPT_KEY, 2, 0xFF, 0, 0}},
        {"key 0x7", {SCRIPT_KEY, 1, 0x07, 0, 0}},
        {"key e", {SCRIPT_KEY, 1, 0x45, 0, 0}},
        {"key g", {SCRIPT_KEY, 1, 0x47, 0, 0}},
        {"key h", {SCRIPT_KEY, 1, 0x48, 0, 0}},
        {"key enter", {SCRIPT_KEY, 1, 0x0D, 0, 0}},
        {"key 0", {SCRIPT_KEY, 1, 0x30, 0, 0}},
        {"key 9 19", {SCRIPT_KEY, 19, 0x39, 0, 0}},
        {"key ctrl+z 2", {SCRIPT_KEY, 2, 0x5A, 1, 0}},
        {"key ctrl+0x53", {SCRIPT_KEY, 1, 0x53, 1, 0}},
        {"click 10 479", {SCRIPT_DRAG, 2, 479 << 16 | 10, 10, 479}},
        {"drag 1 2 -3 4 5", {SCRIPT_DRAG, 7, 4 << 16 | 0xFFFD, 1, 2}},
        {"drag 0 0 32767 -32768", {SCRIPT_DRAG, 3, (int32_t)0x80007FFF, 0, 0}},
        {"mouse 300 -20", {SCRIPT_MOUSE, 1, 0, 300, -20}},
        {"  \tmouse   -1 +1  \r", {SCRIPT_MOUSE, 1, 0, -1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Parsed p = parse(c.line);
        ASSERT_EQ(p.ok, 1) << p.error;
        ASSERT_EQ(p.script.stepCount, 1);
        const ScriptStep& s = p.script.steps[0];
        EXPECT_EQ(s.kind, c.step.kind);
        EXPECT_EQ(s.count, c.step.count);
        EXPECT_EQ(s.code, c.step.code);
        EXPECT_EQ(s.dx, c.step.dx);
        EXPECT_EQ(s.dy, c.step.dy);
        scriptRelease(&p.script);
    }
}

TEST(Script, BlankLinesCommentsAndLineEndsAreSkipped)
{
    Parsed p = parse("# start\n\n   \r\ntick 2\r\n  # indented comment\nkey esc");
    ASSERT_EQ(p.ok, 1) << p.error;
    ASSERT_EQ(p.script.stepCount, 2);
    EXPECT_EQ(p.script.steps[0].kind, SCRIPT_TICK);
    EXPECT_EQ(p.script.steps[1].code, 0x1B);
    scriptRelease(&p.script);

    Parsed empty = parse("");
    EXPECT_EQ(empty.ok, 1);
    EXPECT_EQ(empty.script.stepCount, 0);
}

TEST(Script, BadLinesAreRefusedByNumber)
{
    const struct {
        std::string text;
        const char* line;
    } cases[] = {
        {"tock", "line 1:"},
        {"tick\ntick -1", "line 2:"},
        {"tick 1000001", "line 1:"},
        {"tick 1 2", "line 1:"},
        {"tick 3x", "line 1:"},
        {"tick 99999999999999999999", "line 1:"},
        {"\n\nkey", "line 3:"},
        {"key foo", "line 1:"},
        {"key ESC", "line 1:"},
        {"key 0x", "line 1:"},
        {"key 0x123", "line 1:"},
        {"key 0xg1", "line 1:"},
        {"key esc x", "line 1:"},
        {"key esc 1 2", "line 1:"},
        {"mouse 1", "line 1:"},
        {"mouse a b", "line 1:"},
        {"mouse 1 2 3", "line 1:"},
        {"mouse 1000001 0", "line 1:"},
        {"key ctrl+", "line 1:"},
        {"click 1", "line 1:"},
        {"click 32768 0", "line 1:"},
        {"drag 1 2 3 4 0", "line 1:"},
        {"drag 1 2 3 4 10001", "line 1:"},
        {"drag 1 2 3", "line 1:"},
        {"tick # no trailing comments", "line 1:"},
        {std::string("tick\0", 5), "line 1:"},
        {"key " + std::string(100, 'a'), "line 1:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Parsed p = parse(c.text);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.error.rfind(c.line, 0), 0u) << p.error;
        EXPECT_EQ(p.script.steps, nullptr);
        EXPECT_EQ(p.script.stepCount, 0);
    }
}

TEST(Script, DropTakesTheRestOfTheLineAsThePath)
{
    Parsed p = parse("drop glider.rle\n  drop\tmy pattern.cells \r\ntick\n");
    ASSERT_EQ(p.ok, 1) << p.error;
    ASSERT_EQ(p.script.stepCount, 3);
    EXPECT_EQ(p.script.steps[0].kind, SCRIPT_DROP);
    EXPECT_STREQ(p.script.names + p.script.steps[0].code, "glider.rle");
    EXPECT_STREQ(p.script.names + p.script.steps[1].code, "my pattern.cells");
    scriptRelease(&p.script);

    for (const std::string& bad : {std::string("drop"), std::string("drop  \r"), "drop " + std::string(4096, 'a'),
                                   std::string("drop a\0b", 8), std::string("dropx a")}) {
        Parsed q = parse(bad);
        EXPECT_EQ(q.ok, 0) << bad;
        EXPECT_EQ(q.script.names, nullptr);
    }
}

TEST(Script, ManyStepsGrowTheList)
{
    std::string text;
    for (int i = 0; i < 1000; i++)
        text += "mouse " + std::to_string(i) + " 0\n";
    Parsed p = parse(text);
    ASSERT_EQ(p.ok, 1);
    ASSERT_EQ(p.script.stepCount, 1000);
    EXPECT_EQ(p.script.steps[999].dx, 999);
    scriptRelease(&p.script);
}

TEST(Script, RunningOutOfMemoryIsReported)
{
    heapHookReset();
    heapHook.failAt = 1;
    Parsed p = parse("tick\n");
    heapHookReset();
    EXPECT_EQ(p.ok, 0);
    EXPECT_EQ(p.error, "line 1: out of memory");
}

// The runner, as a user runs it: in a folder holding the data files.
TEST(Replay, RunsTheProgramHeadlessAndExitsWithItsCode)
{
    TempDir dir;
    copyBundledData();
    writeFile("Life.ini", "3\n10 10 0\n11 10 0\n12 10 0\n");
    writeFile("play.txt", "tick 2\nkey f12\nmouse 5 5\ntick\n");
    std::string out;
    const std::string replay = std::string(VELTRIX_BIN_DIR) + "/veltrix-replay";
    EXPECT_EQ(runCommand(replay + " play.txt 2>&1", &out), 0) << out;
    EXPECT_TRUE(fileIsThere("Screenshot 0.bmp"));
    EXPECT_EQ(readFile("Engine.log").substr(readFile("Engine.log").size() - 12), "Rendering !\n");

    // A failed stage is exit code 0 too, like the program.
    remove("Life.ini");
    EXPECT_EQ(runCommand(replay + " play.txt 2>&1", &out), 0) << out;
    EXPECT_FALSE(fileIsThere("Screenshot 1.bmp"));
}

// A rule in the community's notation runs a universe: the program starts on it
// and veltrix-inspect follows a glider wherever it is, wrapping on a torus. A
// rule that does not parse leaves the board, whose glider is off it. A rule of
// more states gives each cell its state.
TEST(Replay, AUniverseRunsWhereverItsCellsAre)
{
    TempDir dir;
    copyBundledData();
    writeFile("play.txt", "key ins 2\nkey del\ntick 2\n");
    const std::string replay = std::string(VELTRIX_BIN_DIR) + "/veltrix-replay";
    const std::string inspect = std::string(VELTRIX_BIN_DIR) + "/veltrix-inspect";
    const struct {
        const char* rules;
        const char* life;
        const char* logLine;
        const char* inspected;
    } cases[] = {
        {"B3/S23\n", "5\n1001 -500 0\n1002 -499 0\n1000 -498 0\n1001 -498 0\n1002 -498 0\n", "    Rule B3/S23",
         "{\"rules\": \"B3/S23\", \"alive\": [[1002, -499], [1003, -498], [1001, -497], [1002, -497], [1003, -497]]}\n"},
        {" b3/s23:t8,8", "6\n2 1 0\n3 2 0\n1 3 0\n2 3 0\n9 9 0\n3 3 0\n", "    Rule B3/S23:T8,8",
         "{\"rules\": \"B3/S23:T8,8\", \"alive\": [[-4, -4], [2, -4], [3, -4], [3, 2], [-4, 3]]}\n"},
        {"B9/S23\n", "5\n1001 -500 0\n1002 -499 0\n1000 -498 0\n1001 -498 0\n1002 -498 0\n",
         "    Warning: Rules.ini: ", "{\"rules\": [1, 4, 3, 3], \"alive\": []}\n"},
        // A rule of more states: each cell with its state, an electron running along a wire.
        {"WireWorld\n", "5\n0 0 0 1\n1 0 0 3\n2 0 0 3\n3 0 0 3\n4 0 0 3\n", "    Rule WireWorld",
         "{\"rules\": \"WireWorld\", \"cells\": [[0, 0, 3], [1, 0, 3], [2, 0, 3], [3, 0, 2], [4, 0, 1]]}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        writeFile("Rules.ini", c.rules);
        writeFile("Life.ini", c.life);
        std::string out;
        EXPECT_EQ(runCommand(replay + " play.txt 2>&1", &out), 0) << out;
        const std::vector<std::string> log = lines(readFile("Engine.log"));
        const auto life = std::find(log.begin(), log.end(), "Init life (from file 'Life.ini') ...");
        ASSERT_LT(life + 2, log.end());
        EXPECT_EQ(life[1], "    OK");
        EXPECT_EQ(life[2].rfind(c.logLine, 0), 0u) << life[2];
        EXPECT_EQ(log.back(), "Rendering !");
        out.clear();
        EXPECT_EQ(runCommand(inspect + " life 4", &out), 0);
        EXPECT_EQ(out, c.inspected);
    }
}

TEST(Replay, RefusesABadScriptBeforeAnythingRuns)
{
    TempDir dir;
    writeFile("Life.ini", "0\n");
    writeFile("bad.txt", "tick\n# fine\nkey pageup\n");
    std::string out;
    const std::string replay = std::string(VELTRIX_BIN_DIR) + "/veltrix-replay";
    EXPECT_NE(runCommand(replay + " bad.txt 2>&1", &out), 0);
    EXPECT_NE(out.find("bad.txt: line 3:"), std::string::npos) << out;
    EXPECT_FALSE(fileIsThere("Engine.log"));
    EXPECT_NE(runCommand(replay + " missing.txt 2>&1", &out), 0);
    EXPECT_NE(runCommand(replay + " 2>&1", &out), 0);
}

} // namespace
