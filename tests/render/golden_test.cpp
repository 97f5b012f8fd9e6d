// Screenshots of the bundled data from fixed replay scripts, compared with the
// committed pictures in tests/render/golden. Float rounding may differ between
// compilers, so the comparison allows small colour changes and edges that move
// by a pixel, not byte equality. scripts/update-goldens.sh rewrites them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/image.h"
#include "support/support.h"

namespace {

const std::string goldenDir = std::string(VELTRIX_SOURCE_DIR) + "/tests/render/golden/";

// A pixel matches when some pixel of the golden picture within one step of it
// has every channel within 12.
bool nearMatch(const Image* golden, const Image* shot, int x, int y)
{
    const uint32_t p = shot->pixels[y * shot->width + x];
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
            const int gx = x + dx, gy = y + dy;
            if (gx < 0 || gy < 0 || gx >= golden->width || gy >= golden->height)
                continue;
            const uint32_t g = golden->pixels[gy * golden->width + gx];
            bool close = true;
            for (int shift = 0; shift <= 16; shift += 8)
                close = close && std::abs((int)(p >> shift & 0xFF) - (int)(g >> shift & 0xFF)) <= 12;
            if (close)
                return true;
        }
    return false;
}

class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, ScreenshotMatchesTheCommittedPicture)
{
    const std::string name = GetParam();
    TempDir dir;
    copyBundledData();
    std::string out;
    ASSERT_EQ(runCommand(std::string(VELTRIX_BIN_DIR) + "/veltrix-replay '" + goldenDir + name + ".txt' 2>&1", &out), 0)
        << out;
    Image* shot = readBmp("Screenshot 0.bmp");
    Image* golden = readBmp((goldenDir + name + ".bmp").c_str());
    ASSERT_NE(shot, nullptr);
    ASSERT_NE(golden, nullptr);
    ASSERT_EQ(shot->width, golden->width);
    ASSERT_EQ(shot->height, golden->height);
    int mismatched = 0;
    for (int y = 0; y < shot->height; y++)
        for (int x = 0; x < shot->width; x++)
            mismatched += !nearMatch(golden, shot, x, y);
    EXPECT_LE(mismatched, shot->width * shot->height / 200) << name;
    imageRelease(shot);
    imageRelease(golden);
}

INSTANTIATE_TEST_SUITE_P(BundledData, Golden, ::testing::Values("start", "backed_off", "yawed_pitched", "whole_board"));

} // namespace
