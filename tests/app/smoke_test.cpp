#include <gtest/gtest.h>

#include <string>

#include "support/support.h"

namespace {

// The real SDL program on a virtual X server. Only the optimised build runs it:
// the system's X and SDL libraries are not built for the sanitizers.
TEST(Smoke, ProgramTakesKeysWritesAScreenshotAndQuitsOnEsc)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the smoke test runs in the optimised build only";
#endif
    const std::string program = std::string(VELTRIX_BIN_DIR) + "/veltrix";
    if (!fileIsThere(program))
        GTEST_SKIP() << "the SDL program was not built";
    TempDir dir;
    std::string out;
    const int status = runCommand("bash '" + std::string(VELTRIX_SOURCE_DIR) + "/tests/app/smoke.sh' '" + program +
                                      "' '" + dir.path() + "' '" + VELTRIX_SOURCE_DIR + "/data' 2>&1",
                                  &out);
    if (status == 77)
        GTEST_SKIP() << out;
    EXPECT_EQ(status, 0) << out;
}

} // namespace
