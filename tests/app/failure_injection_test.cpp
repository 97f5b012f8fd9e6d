// Start-up and frames under failing allocations and an unwritable folder: the
// program must stop where the log says, draw its warning, recover, and never
// crash or lose memory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "platform/headless/headless.h"
#include "render/render.h"
#include "spans/span_check.h"
#include "engine_log.h"
#include "support/support.h"
#include "texture/texture.h"

namespace {

// Nothing allocated and unreachable; always true without LeakSanitizer.
bool noLeaks()
{
#if defined(__SANITIZE_ADDRESS__)
    return __lsan_do_recoverable_leak_check() == 0;
#else
    return true;
#endif
}

// Lets go of what a start (failed or not) left behind, as a second run in the
// same process needs.
void releaseStart()
{
    appRelease();
    displayRelease();
    if (headless.window)
        windowDestroy(headless.window);
    headlessReset(nullptr);
    heapHookReset();
}

class Reliability : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        heapHookReset();
        headlessReset(nullptr);
    }
    void TearDown() override
    {
        releaseStart();
        scriptRelease(&script);
    }
    void useScript(const char* text)
    {
        scriptRelease(&script);
        char error[128];
        ASSERT_EQ(scriptParse(text, strlen(text), &script, error, sizeof error), 1) << error;
        headlessReset(&script);
    }
    TempDir dir;
    Script script = {};
};

// The program's start-up stages run one at a time, with the allocation count
// at the end of each.
struct StageEnd {
    const char* what;
    int64_t calls;
    size_t logLines;    // lines of the complete log a failure inside this stage leaves
    const char* reason; // how the line it adds starts, or null
    long reasonAt;      // where that line stands
};

std::vector<StageEnd> stageEnds()
{
    std::vector<StageEnd> ends;
    heapHookReset();
    startWindow();
    EXPECT_EQ(startScene(), 1);
    ends.push_back({"scene", heapHook.calls, 2, "    Cells\\Cell.3ds: ", 2});
    EXPECT_EQ(startTextures(), 1);
    ends.push_back({"textures", heapHook.calls, 4, "    Cells\\", 4});
    EXPECT_EQ(startLife(), 1);
    ends.push_back({"life", heapHook.calls, 6, "    Life.ini: ", 6});
    EXPECT_EQ(startEngine(), 1);
    // The engine stage loads the font last; without a font the program
    // starts all the same, so a failure there leaves the whole log.
    const int64_t engineAndFont = heapHook.calls;
    fontRelease();
    heapHookReset();
    EXPECT_EQ(fontLoad(screenWidth, screenHeight), 1);
    const int64_t font = heapHook.calls;
    ends.push_back({"engine", engineAndFont - font, 8, nullptr, 0});
    ends.push_back({"font", engineAndFont, completeLog.size(), "    Warning: Font.bmp: ", 9});
    heapHookReset();
    EXPECT_EQ(startDisplay(), 1);
    EXPECT_EQ(heapHook.calls, 0) << "the display is not expected to take from the heap";
    heapHook.calls = engineAndFont;
    EXPECT_EQ(startFramebuffer(), 1);
    ends.push_back({"framebuffer", heapHook.calls, 11, nullptr, 0});
    releaseStart();
    return ends;
}

TEST_F(Reliability, EveryStartUpAllocationFailingStopsAtItsStage)
{
    const std::vector<StageEnd> ends = stageEnds();
    useScript("");
    ASSERT_EQ(appMain(), 0);
    const int64_t total = heapHook.calls;
    // The hand-made start must be the program's, allocation for allocation.
    ASSERT_EQ(total, ends.back().calls);
    RecordProperty("allocations", std::to_string(total));
    ASSERT_EQ(lines(readFile("Engine.log")), completeLog);
    releaseStart();
    ASSERT_TRUE(noLeaks());

    size_t stage = 0;
    for (int64_t n = 1; n <= total; n++) {
        while (n > ends[stage].calls)
            stage++;
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total) + ", stage " +
                     ends[stage].what);
        headlessReset(&script);
        heapHookReset();
        heapHook.failAt = n;
        EXPECT_EQ(appMain(), 0);
        EXPECT_GE(heapHook.calls, n);
        const std::vector<std::string> expected(completeLog.begin(),
            completeLog.begin() + (long)ends[stage].logLines);
        std::vector<std::string> log = lines(readFile("Engine.log"));
        if (const char* reason = ends[stage].reason) {
            // The reader says what ran out, as one line in its place.
            const long at = ends[stage].reasonAt;
            ASSERT_EQ(log.size(), expected.size() + 1);
            EXPECT_EQ(log[(size_t)at].rfind(reason, 0), 0u) << log[(size_t)at];
            EXPECT_NE(log[(size_t)at].find("out of memory"), std::string::npos) << log[(size_t)at];
            log.erase(log.begin() + at);
        }
        EXPECT_EQ(log, expected);
        releaseStart();
        ASSERT_TRUE(noLeaks());
        if (HasFailure())
            break;
    }
}

// A full board seen from far enough back needs far more than 20 spans in
// many rows, so the frame grows the pool.
void writeFullBoard()
{
    std::string text = std::to_string(LIFE_CELLS) + "\n";
    for (int x = 0; x < LIFE_SIZE; x++)
        for (int y = 0; y < LIFE_SIZE; y++)
            text += std::to_string(x) + " " + std::to_string(y) + " 0\n";
    writeFile("Life.ini", text);
}

std::vector<uint32_t> frameCopy()
{
    return std::vector<uint32_t>(app.framebuffer, app.framebuffer + (size_t)screenWidth * screenHeight);
}

// Pixels of the warning as drawText puts them on a black frame: position and
// colour of every texel it draws.
std::vector<std::pair<size_t, uint32_t>> warningPixels()
{
    std::vector<uint32_t> blank((size_t)screenWidth * screenHeight, 0);
    drawText("Nedostatek pameti RAM !", 50, 50, blank.data());
    std::vector<std::pair<size_t, uint32_t>> pixels;
    for (size_t i = 0; i < blank.size(); i++)
        if (blank[i])
            pixels.push_back({i, blank[i]});
    return pixels;
}

size_t warningMatches(const std::vector<uint32_t>& frame)
{
    size_t matches = 0;
    for (const auto& pixel : warningPixels())
        matches += frame[pixel.first] == pixel.second;
    return matches;
}

// Empty when every row's chain matches its header (and, when `ordered`, the
// used spans are in column order).
std::string tableProblem(bool ordered)
{
    for (int32_t y = 0; y < spanTableRowCount(); y++) {
        std::string problem = chainProblem(*spanTableRow(y));
        if (problem.empty() && ordered)
            problem = orderProblem(*spanTableRow(y));
        if (!problem.empty())
            return "row " + std::to_string(y) + ": " + problem;
    }
    return "";
}

// With one worker and with several, all taking nodes from the table's one
// pool, which runs dry at the same node whatever their number.
class PoolRunningDry : public Reliability, public ::testing::WithParamInterface<int32_t> {
protected:
    void TearDown() override
    {
        Reliability::TearDown();
        headlessThreads = 1;
    }
};

TEST_P(PoolRunningDry, MidFrameShowsTheWarningAndRecovers)
{
    writeFullBoard();
    headlessThreads = GetParam();
    // Started without its message loop, so that frames come one at a time.
    ASSERT_EQ(appStart(), 1);
    ASSERT_EQ(renderWorkerCount(), GetParam());
    for (int i = 0; i < 20; i++)
        handleKey(KEY_DOWN);
    const size_t warningSize = warningPixels().size();
    ASSERT_GT(warningSize, 100u);

    // Every allocation fails from here on.
    const int64_t takenBefore = spanPoolTaken();
    heapHookReset();
    heapHook.failAt = 1;
    heapHook.failRest = 1;
    frameTick();
    EXPECT_GT(heapHook.calls, 0) << "the frame never asked for more nodes";
    EXPECT_EQ(spanPoolFailed(), -1);
    // Start-up's 9600 nodes left the last of its 35 blocks (1024 nodes, then
    // 256 each) 128 short of full: those are handed out, then no more.
    EXPECT_EQ(takenBefore, 9600);
    EXPECT_EQ(spanPoolTaken(), 9728);
    EXPECT_EQ(warningMatches(frameCopy()), warningSize);
    // A cut-short insertion may leave one overlap, but never a broken chain.
    EXPECT_EQ(tableProblem(false), "");

    // A second starved frame says the same.
    frameTick();
    EXPECT_EQ(warningMatches(frameCopy()), warningSize);
    EXPECT_EQ(tableProblem(false), "");

    // Memory is back: the pool grows, the warning goes and the rows are whole.
    heapHookReset();
    frameTick();
    const std::vector<uint32_t> recovered = frameCopy();
    EXPECT_EQ(spanPoolFailed(), 0);
    EXPECT_GT(spanPoolTaken(), 9728);
    EXPECT_LT(warningMatches(recovered), warningSize / 2);
    EXPECT_EQ(tableProblem(true), "");

    // The next frame of the same view needs nothing new and looks the same.
    const int64_t calls = heapHook.calls;
    frameTick();
    EXPECT_EQ(heapHook.calls, calls);
    EXPECT_EQ(frameCopy(), recovered);
    EXPECT_EQ(tableProblem(true), "");
}

INSTANTIATE_TEST_SUITE_P(Workers, PoolRunningDry, ::testing::Values(1, 2, 3));

// Takes CAP_DAC_OVERRIDE out of the effective set for its life, so that a test
// running as root meets folder permissions as any user would.
class WithoutDacOverride {
public:
    WithoutDacOverride()
    {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2];
        memcpy(lowered, saved_, sizeof lowered);
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        changed_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutDacOverride()
    {
        if (changed_)
            syscall(SYS_capset, &header_, saved_);
    }

private:
    __user_cap_header_struct header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool changed_ = false;
};

// Makes the current folder read-only and gives it back on the way out.
struct ReadOnlyFolder {
    ReadOnlyFolder() { chmod(".", 0555); }
    ~ReadOnlyFolder() { chmod(".", 0755); }
};

TEST_F(Reliability, UnwritableFolderLosesLogScreenshotAndChartQuietly)
{
    useScript("tick\nkey f12\nkey home\ntick\nkey del\ntick 3\nkey esc\n");
    ReadOnlyFolder readOnly;
    WithoutDacOverride lowered;
    const int probe = open("probe", O_CREAT | O_WRONLY, 0644);
    if (probe >= 0) {
        close(probe);
        unlink("probe");
        GTEST_SKIP() << "this process can write into a 0555 folder (root without a droppable "
                        "CAP_DAC_OVERRIDE), so the folder cannot be made unwritable";
    }
    EXPECT_EQ(appMain(), 0);
    EXPECT_EQ(headless.framesPresented, 5);
    EXPECT_EQ(worldGeneration(app.world), 3);
    EXPECT_FALSE(fileExists("Engine.log"));
    EXPECT_FALSE(fileExists("Screenshot 0.bmp"));
    EXPECT_FALSE(fileExists("Graph.txt"));
}

} // namespace
