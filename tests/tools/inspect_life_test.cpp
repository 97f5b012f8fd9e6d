// veltrix-inspect life on hashlife: any generation below 2^63, the figures
// without the cells (--population), a pattern of cell lines moved onto
// hashlife (--hashlife); against a glider's own flight and bgolly's output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "support/support.h"

namespace {

std::string inspect(const std::string& arguments, int expectedStatus = 0)
{
    std::string out;
    EXPECT_EQ(runCommand(std::string(VELTRIX_BIN_DIR) + "/veltrix-inspect life " + arguments + " 2>&1", &out),
        expectedStatus)
        << arguments << ": " << out;
    return out;
}

std::string figures(long long generation, long long population, long long left, long long top, long long right,
    long long bottom)
{
    return "{\"rules\": \"B3/S23\", \"generation\": " + std::to_string(generation) + ", \"population\": " +
        std::to_string(population) + ", \"box\": {\"left\": " + std::to_string(left) + ", \"top\": " +
        std::to_string(top) + ", \"right\": " + std::to_string(right) + ", \"bottom\": " + std::to_string(bottom) +
        "}}\n";
}

TEST(InspectLife, AnyGenerationOnHashlifeWithoutListingTheCells)
{
    TempDir dir;
    writeFile("Rules.ini", "B3/S23\n");
    // A glider heading south-east flies a cell each way every 4 generations.
    writeFile("Life.ini", "[M2]\n#R B3/S23\n$$..*$...*$.***$\n");
    EXPECT_EQ(inspect("0 --population"), figures(0, 5, -3, -1, -1, 1));
    const long long far = 1ll << 60;
    EXPECT_EQ(inspect(std::to_string(far) + " --population"),
        figures(far, 5, -3 + far / 4, -1 + far / 4, -1 + far / 4, 1 + far / 4));
    EXPECT_EQ(inspect("4"), "{\"rules\": \"B3/S23\", \"alive\": [[-1, 0], [0, 1], [-2, 2], [-1, 2], [0, 2]]}\n");
    // The same glider as cell lines opens on a universe, stepped a generation at a time.
    writeFile("Life.ini", "5\n-2 -1 0\n-1 0 0\n-3 1 0\n-2 1 0\n-1 1 0\n");
    EXPECT_NE(inspect("200000000 --population", 1).find("need hashlife"), std::string::npos);
    EXPECT_EQ(inspect(std::to_string(far) + " --population --hashlife"),
        figures(far, 5, -3 + far / 4, -1 + far / 4, -1 + far / 4, 1 + far / 4));
    EXPECT_NE(inspect("-1", 1).find("STEPS must be"), std::string::npos);
    EXPECT_NE(inspect("1 2", 1).find("usage"), std::string::npos);
    EXPECT_NE(inspect("9223372036854775808", 1).find("STEPS must be"), std::string::npos);
}

TEST(InspectLife, TheGalaxyAtAMillionGenerationsIsBgollys)
{
    const std::string galaxy = "/usr/share/golly/Patterns/HashLife/metapixel-galaxy.mc.gz";
    if (access("/usr/bin/bgolly", X_OK) != 0 || access(galaxy.c_str(), R_OK) != 0)
        GTEST_SKIP() << "bgolly or its patterns are not installed (Debian package golly)";
    TempDir dir;
    std::string out;
    ASSERT_EQ(runCommand("zcat '" + galaxy + "' > Life.ini && echo B3/S23 > Rules.ini", &out), 0) << out;
    const std::string ours = inspect("1000003 --population");
    ASSERT_EQ(runCommand("/usr/bin/bgolly -a HashLife -q -q -m 1000003 -o out.mc '" + galaxy + "' >/dev/null 2>&1 && "
                         "mkdir theirs && mv out.mc theirs/Life.ini && cp Rules.ini theirs/",
                  &out),
        0)
        << out;
    ASSERT_EQ(chdir("theirs"), 0);
    EXPECT_EQ(inspect("0 --population"), ours);
    ASSERT_EQ(chdir(".."), 0);
}

} // namespace
