// Small files that name more cells than any machine holds: veltrix-pattern
// must refuse each one past its cell budget, naming it, before it allocates
// the cells, so a child process held to 256 MB of address space and 2 s of
// CPU (limits far above what a refusal needs) ends with the reason.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/support.h"

namespace {

const rlim_t addressSpace = (rlim_t)256 << 20;
const rlim_t cpuSeconds = 2;

// The sanitizers reserve terabytes of address space for their shadow memory:
// there the address-space limit is left off and the peak resident size stands in.
#if defined(__SANITIZE_ADDRESS__)
const bool limitAddressSpace = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool limitAddressSpace = false;
#else
const bool limitAddressSpace = true;
#endif
#else
const bool limitAddressSpace = true;
#endif

struct Outcome {
    int status;         // as waitpid reports it
    std::string output; // stdout and stderr
    long peakKb;        // the child's peak resident size
};

// Runs veltrix-pattern FILE in a child under the limits.
Outcome convertLimited(const std::string& file)
{
    Outcome outcome = {-1, "", 0};
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return outcome;
    const std::string program = std::string(VELTRIX_BIN_DIR) + "/veltrix-pattern";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        const rlimit cpu = {cpuSeconds, cpuSeconds};
        const rlimit space = {addressSpace, addressSpace};
        if (setrlimit(RLIMIT_CPU, &cpu) != 0 || (limitAddressSpace && setrlimit(RLIMIT_AS, &space) != 0))
            _exit(126);
        execl(program.c_str(), "veltrix-pattern", file.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        outcome.output.append(buffer, (size_t)n);
    close(pipeEnds[0]);
    rusage usage = {};
    if (pid > 0 && wait4(pid, &outcome.status, 0, &usage) == pid)
        outcome.peakKb = usage.ru_maxrss;
    return outcome;
}

// Includes that nest `levels` deep, each level including the one below
// `fan` times, over a block of one row of `row` live cells.
std::string nestedIncludes(int levels, int fan, int row)
{
    std::string text = "#B l0\n#P\n" + std::string((size_t)row, '*') + "\n#E\n";
    for (int level = 1; level <= levels; level++) {
        text += "#B l" + std::to_string(level) + "\n";
        for (int k = 0; k < fan; k++)
            text += "#I :l" + std::to_string(level - 1) + "\n";
        text += "#E\n";
    }
    return text + "#I :l" + std::to_string(levels) + "\n";
}

// A quadtree whose node at each level holds the one below four times.
std::string fullTree(int topLevel)
{
    std::string text = "[M2]\n********$********$********$********$********$********$********$********\n";
    for (int level = 4; level <= topLevel; level++) {
        const std::string child = std::to_string(level - 3);
        text += std::to_string(level) + " " + child + " " + child + " " + child + " " + child + "\n";
    }
    return text;
}

} // namespace

TEST(PatternBudget, SmallFilesNamingTooManyCellsAreRefusedNamingTheBudget)
{
    const std::string budget = "more than 134217728 live cells; refused";
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"d.dbl", "!dblife\n200000000O", "line 2: more than 134217728 live cells; refused"},
        {"w.rle", "x = 2147483647, y = 1\n2147483647o!", "line 2: more than 134217728 live cells; refused"},
        // Every run within the budget, their sum past it.
        {"runs.rle", "x = 1, y = 1\n100000000o$100000000o$100000000o!", budget.c_str()},
        {"runs.dbl", "!\n100000000O\n100000000O\n", budget.c_str()},
        // 64 cells included 8^8 times.
        {"nest.life", nestedIncludes(8, 8, 64), budget.c_str()},
        {"tree.mc", fullTree(20), "more than the 134217728 this program lists from a macrocell file; refused"},
        // The other formats spend a byte of file a cell: their hostile files go past the coordinates.
        {"far.lif", "#Life 1.06\n-2147483647 0\n2147483647 0\n", "more than 2147483647 cells a side; refused"},
        {"far105.lif", "#Life 1.05\n#P 2147483647 0\n**\n", "past the 32-bit coordinates"},
        {"far.cells", ".O\n" + std::string(1000, '\n') + "O", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.text.size(), 1024u);
        TempDir dir;
        writeFile(c.name, c.text);
        const Outcome outcome = convertLimited(c.name);
        ASSERT_TRUE(WIFEXITED(outcome.status)) << "status " << outcome.status << ": " << outcome.output;
        EXPECT_LT(outcome.peakKb, (long)(addressSpace >> 10)) << outcome.output;
        if (!c.reason[0]) {
            EXPECT_EQ(WEXITSTATUS(outcome.status), 0) << outcome.output;
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(outcome.status), 1) << outcome.output;
        EXPECT_NE(outcome.output.find(c.reason), std::string::npos) << outcome.output;
        EXPECT_NE(outcome.output.find("nothing written"), std::string::npos) << outcome.output;
        EXPECT_FALSE(fileIsThere("Life.ini"));
    }
}

// A gzip file of a few hundred bytes holds a run-length file of a few
// megabytes: its runs are counted as the plain file's are.
TEST(PatternBudget, CompressedFilesAreCountedToo)
{
    TempDir dir;
    std::string runs = "x = 1, y = 1\n";
    for (int k = 0; k < 300000; k++)
        runs += "1000o$";
    writeFile("runs.rle", runs + "!");
    std::string out;
    ASSERT_EQ(runCommand("gzip -9 runs.rle && mv runs.rle.gz runs.rle && wc -c < runs.rle", &out), 0) << out;
    ASSERT_LE(std::stoul(out), 4096u);
    const Outcome outcome = convertLimited("runs.rle");
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_LT(outcome.peakKb, (long)(addressSpace >> 10)) << outcome.output;
    const bool gzipBuilt = outcome.output.find("this build does not decompress") == std::string::npos;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 1) << outcome.output;
    if (gzipBuilt) {
        EXPECT_NE(outcome.output.find("more than 134217728 live cells; refused"), std::string::npos)
            << outcome.output;
    }
}
