// The comparison frames (the golden scripts and the benchmark scenes, both
// samplers; bench/frames.sh renders them) must come out bit for bit as
// recorded in tests/render/exact_frames.txt, in every build and with any
// number of threads drawing them. Speed work and clean-ups rely on it;
// scripts/update-frame-hashes.sh records a deliberate change.
#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

#include "support/support.h"

class ExactFrames : public ::testing::TestWithParam<int> {};

TEST_P(ExactFrames, EveryComparisonFrameIsUnchangedBitForBit)
{
    TempDir dir;
    const std::string source = VELTRIX_SOURCE_DIR;
    std::string out;
    ASSERT_EQ(runCommand("VELTRIX_THREADS=" + std::to_string(GetParam()) + " VELTRIX_REPLAY='" +
                             std::string(VELTRIX_BIN_DIR) + "/veltrix-replay' bash '" + source +
                             "/bench/frames.sh' frames 2>&1",
                  &out),
        0)
        << out;
    // The galaxy's frames need Debian's golly package, which frames.sh
    // skips without; every other frame is checked all the same.
    std::string hashes = source + "/tests/render/exact_frames.txt";
    if (access("/usr/share/golly/Patterns/HashLife/metapixel-galaxy.mc.gz", R_OK) != 0) {
        ASSERT_EQ(runCommand("grep -v ' g[12]-' '" + hashes + "' > hashes.txt", &out), 0) << out;
        hashes = dir.path() + "/hashes.txt";
    }
    ASSERT_EQ(runCommand("cd frames && sha256sum --quiet -c '" + hashes + "' 2>&1", &out), 0) << out;
    // Nothing rendered that the list does not name.
    std::string counts;
    ASSERT_EQ(runCommand("ls frames | wc -l; wc -l < '" + hashes + "'", &counts), 0);
    const size_t split = counts.find('\n');
    EXPECT_EQ(counts.substr(0, split), counts.substr(split + 1, counts.find('\n', split + 1) - split - 1));
}

INSTANTIATE_TEST_SUITE_P(Threads, ExactFrames, ::testing::Values(1, 2, 3, 7));
