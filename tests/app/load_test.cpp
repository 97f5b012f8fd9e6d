// A dropped file read beside the frames: a pipe stands for a file that takes
// long to read, its reader held in open() until the test writes, so that
// every step waits for an event and none for time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/app.h"
#include "app_run.h"
#include "engine_log.h"

namespace {

// The program started and left between messages, driven by direct calls.
class Load : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        writeFile("Life.ini", lifeIni);
        writeFile("Rules.ini", "1 4 3 3\n");
        headlessReset(&script);
        headless.scriptEndQuits = 1;
        headlessLoadsBeside = 1;
        ASSERT_EQ(mkfifo("slow.rle", 0600), 0);
        ASSERT_EQ(appStart(), 1);
    }
    void TearDown() override
    {
        loadWait();
        headlessLoadsBeside = 0;
        releaseRun(&script);
    }
    // Blocks until the reader has the pipe open, then hands it the text whole.
    static void feed(const std::string& text)
    {
        const int pipe = open("slow.rle", O_WRONLY);
        ASSERT_GE(pipe, 0);
        EXPECT_EQ(write(pipe, text.data(), text.size()), (ssize_t)text.size());
        close(pipe);
    }
    TempDir dir;
    Script script = {};
};

TEST_F(Load, FramesGoOnWhileAFileLoadsAndTheWorldComesAtATick)
{
    char message[NOTICE_TEXT];
    EXPECT_EQ(dropPattern("slow.rle", message, sizeof message), 2);
    EXPECT_STREQ(message, "Loading slow.rle: reading the file (Esc stops it)");
    // The world shown plays on, and a second drop waits its turn.
    const int32_t presented = headless.framesPresented;
    stepWorld();
    frameTick();
    frameTick();
    EXPECT_EQ(headless.framesPresented, presented + 2);
    EXPECT_EQ(worldGeneration(app.world), 1);
    EXPECT_STREQ(app.notice, "Loading slow.rle: reading the file (Esc stops it)");
    writeFile("other.rle", "x = 1, y = 1\no!\n");
    EXPECT_EQ(dropPattern("other.rle", message, sizeof message), 0);
    EXPECT_STREQ(message, "other.rle not loaded: slow.rle is still loading (Esc stops it)");
    EXPECT_EQ(lastLogLine(), "Dropped other.rle: refused, slow.rle is still loading (Esc stops it)");

    feed("x = 3, y = 3, rule = B36/S23\nbo$2bo$3o!\n");
    loadWait();
    frameTick();
    EXPECT_STREQ(app.world->ruleName, "B36/S23");
    EXPECT_EQ(worldGeneration(app.world), 0);
    EXPECT_EQ(worldPopulation(app.world), 5);
    EXPECT_STREQ(app.notice, "slow.rle: 5 live cells, rule B36/S23");
    EXPECT_EQ(lastLogLine(), "Dropped slow.rle: loaded, 5 live cells, rule B36/S23");
    EXPECT_EQ(loadPath(), nullptr);
}

TEST_F(Load, EscStopsALoadAndKeepsTheWindow)
{
    EXPECT_EQ(dropPattern("slow.rle", nullptr, 0), 2);
    messageSend(app.window, MSG_KEYDOWN, KEY_ESCAPE, 0);
    ASSERT_NE(app.window, nullptr);
    EXPECT_EQ(loadPath(), nullptr);
    EXPECT_STREQ(app.notice, "slow.rle not loaded: cancelled");
    EXPECT_EQ(lastLogLine(), "Dropped slow.rle: refused, cancelled");
    EXPECT_EQ(worldPopulation(app.world), 5);
    // The thread, let go, reads on and frees what it read; nothing is shown.
    feed("x = 1, y = 1\no!\n");
    loadWait();
    frameTick();
    EXPECT_EQ(worldPopulation(app.world), 5);
    EXPECT_STREQ(app.notice, "slow.rle not loaded: cancelled");
}

// The page's Stop stops a load as Esc does, and with none running, where Esc
// would close the window, changes nothing.
TEST_F(Load, TheStopMessageStopsALoadAndNeverCloses)
{
    EXPECT_EQ(dropPattern("slow.rle", nullptr, 0), 2);
    messageSend(app.window, MSG_DROPCANCEL, 0, 0);
    EXPECT_EQ(loadPath(), nullptr);
    EXPECT_EQ(lastLogLine(), "Dropped slow.rle: refused, cancelled");
    feed("x = 1, y = 1\no!\n");
    loadWait();
    messageSend(app.window, MSG_DROPCANCEL, 0, 0);
    ASSERT_NE(app.window, nullptr);
    frameTick();
    EXPECT_EQ(worldPopulation(app.world), 5);
    EXPECT_EQ(lastLogLine(), "Dropped slow.rle: refused, cancelled");
}

TEST_F(Load, ARefusedFileIsToldAtTheTickAfter)
{
    EXPECT_EQ(messageSend(app.window, MSG_DROPFILES, (uintptr_t)"slow.rle", 0), 0);
    feed("x = 1, y = 1, rule = B3/S23:Q5\no!\n");
    loadWait();
    frameTick();
    EXPECT_EQ(lastLogLine().rfind("Dropped slow.rle: refused, ", 0), 0u) << lastLogLine();
    EXPECT_EQ(worldPopulation(app.world), 5);
}

} // namespace
