#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "render/render_local.h"

namespace {

struct Weights {
    int tl, tr, bl, br;
};

Weights weightsAt(int fu, int fv)
{
    const int k = fv * 64 + fu;
    return {renderer.weightTopLeft[k], renderer.weightTopRight[k], renderer.weightBottomLeft[k],
        renderer.weightBottomRight[k]};
}

// A shade table built straight from its definition: entry j of colour i is
// floor(channel * j / 64) in every channel.
std::vector<uint32_t> shadeTable(const std::vector<uint32_t>& palette)
{
    std::vector<uint32_t> shades;
    for (uint32_t c : palette)
        for (uint32_t j = 0; j < 64; j++)
            shades.push_back(((c >> 16 & 0xFF) * j / 64) << 16 | ((c >> 8 & 0xFF) * j / 64) << 8 | ((c & 0xFF) * j / 64));
    return shades;
}

struct Level {
    std::vector<uint8_t> texels;
    std::vector<uint32_t> shades;
};

SamplerState samplerState;

// Points the sampler state at a w x h level (powers of two).
void useLevel(Level& level, int w, int h, int light)
{
    samplerState.texels = level.texels.data();
    samplerState.uMask = w - 1;
    samplerState.rowMask = (h - 1) * w;
    samplerState.sizeMask = w * h - 1;
    samplerState.vShift = 16 - (int)std::log2(w);
    samplerState.below = w;
    samplerState.belowRight = w + 1;
    samplerState.shades = level.shades.data();
    samplerState.light = light;
}

} // namespace

TEST(Weights, EveryEntrySumsTo63WithTopLeftRaised)
{
    buildWeightTables();
    struct Case {
        int fu, fv;
        Weights want;
    } cases[] = {
        {0, 0, {63, 0, 0, 0}},
        {63, 0, {1, 62, 0, 0}},
        {63, 63, {1, 0, 0, 62}},
        {32, 32, {17, 15, 15, 16}},
    };
    for (const Case& c : cases) {
        Weights w = weightsAt(c.fu, c.fv);
        EXPECT_EQ(w.tl, c.want.tl) << c.fu << "," << c.fv;
        EXPECT_EQ(w.tr, c.want.tr);
        EXPECT_EQ(w.bl, c.want.bl);
        EXPECT_EQ(w.br, c.want.br);
    }
    for (int fv = 0; fv < 64; fv++)
        for (int fu = 0; fu < 64; fu++) {
            Weights w = weightsAt(fu, fv);
            ASSERT_EQ(w.tl + w.tr + w.bl + w.br, 63);
            ASSERT_GE(w.tl, 1);
        }
}

TEST(Samplers, WhiteLevelLitAt255)
{
    buildWeightTables();
    Level level{std::vector<uint8_t>(16, 0), shadeTable({0xFFFFFF})};
    useLevel(level, 4, 4, 255);
    uint32_t out[2];
    sampleNearest(&samplerState, 0, 0, 0, 0, out, out + 1);
    EXPECT_EQ(out[0], 0xFAFAFAu);
    sampleBilinear(&samplerState, 0, 0, 0, 0, out, out + 1);
    EXPECT_EQ(out[0], 0xFAFAFAu);
    // fu = fv = 32: shade entries 67 + 59 + 59 + 63 = 248, lit to 247.
    sampleBilinear(&samplerState, 0x8000, 0, 0x8000, 0, out, out + 1);
    EXPECT_EQ(out[0], 0xF7F7F7u);
    useLevel(level, 4, 4, 0);
    sampleBilinear(&samplerState, 0x8000, 0, 0x8000, 0, out, out + 2);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 0u);
}

TEST(Samplers, CoordinatesWrapThroughTheMasks)
{
    buildWeightTables();
    // 4 x 2 level, every texel its own colour.
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 8; i++)
        palette.push_back((i * 30) << 16 | (200 - i * 20) << 8 | (i * 9));
    Level level{{0, 1, 2, 3, 4, 5, 6, 7}, shadeTable(palette)};
    useLevel(level, 4, 2, 256);
    auto nearest = [](int32_t u, int32_t v) {
        uint32_t out;
        sampleNearest(&samplerState, u, 0, v, 0, &out, &out + 1);
        return out;
    };
    const uint32_t* shades = level.shades.data();
    EXPECT_EQ(nearest(-1, 0), shades[3 * 64 + 63]);
    EXPECT_EQ(nearest(0x7FFFFFFF, 0), shades[(32767 & 3) * 64 + 63]);
    EXPECT_EQ(nearest(0, 0x10000), shades[4 * 64 + 63]);
    EXPECT_EQ(nearest(0, -0x10000), shades[4 * 64 + 63]);

    // The right neighbour of a row's last texel is the next row's first, and
    // the last row's lower neighbours come from the first row.
    uint32_t out;
    sampleBilinear(&samplerState, 3 << 16 | 0xFC00, 0, 1 << 16 | 0xFC00, 0, &out, &out + 1);
    const int k = 63 * 64 + 63;
    const uint32_t want = shades[7 * 64 + renderer.weightTopLeft[k]] + shades[0 * 64 + renderer.weightTopRight[k]]
        + shades[3 * 64 + renderer.weightBottomLeft[k]] + shades[4 * 64 + renderer.weightBottomRight[k]];
    EXPECT_EQ(out, want);
}

// Unequal fractions: u's picks the column weights, v's the row weights.
TEST(Samplers, BilinearWeighsColumnsByUAndRowsByV)
{
    buildWeightTables();
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 8; i++)
        palette.push_back((i * 30) << 16 | (200 - i * 20) << 8 | (i * 9));
    Level level{{0, 1, 2, 3, 4, 5, 6, 7}, shadeTable(palette)};
    useLevel(level, 4, 2, 256);
    const uint32_t* shades = level.shades.data();
    struct Case {
        int fu, fv;
    } cases[] = {{48, 8}, {8, 48}, {63, 1}, {5, 40}};
    for (const Case& c : cases) {
        uint32_t out;
        sampleBilinear(&samplerState, 1 << 16 | c.fu << 10, 0, c.fv << 10, 0, &out, &out + 1);
        const Weights w = weightsAt(c.fu, c.fv);
        const uint32_t want = shades[1 * 64 + w.tl] + shades[2 * 64 + w.tr] + shades[5 * 64 + w.bl] + shades[6 * 64 + w.br];
        EXPECT_EQ(out, want) << "fu " << c.fu << ", fv " << c.fv;
    }
}

TEST(Samplers, StepPerPixelAndWriteAtLeastOne)
{
    std::vector<uint32_t> palette = {0x000010, 0x002000, 0x300000, 0x404040};
    Level level{{0, 1, 2, 3}, shadeTable(palette)};
    useLevel(level, 4, 1, 256);
    std::vector<uint32_t> out(6, 0xDEAD);
    sampleNearest(&samplerState, 0, 0x10000, 0, 0, out.data(), out.data() + 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(out[i], level.shades[(i & 3) * 64 + 63]);
    EXPECT_EQ(out[5], 0xDEADu);
    // last == first still writes the first pixel.
    sampleNearest(&samplerState, 0x20000, 0, 0, 0, out.data() + 5, out.data() + 5);
    EXPECT_EQ(out[5], level.shades[2 * 64 + 63]);
}

namespace {

struct Run {
    int32_t u, du, v, dv;
    ptrdiff_t offset, length;
};
std::vector<Run> runs;
uint32_t* runBase;

void recordRun(const SamplerState*, int32_t u, int32_t du, int32_t v, int32_t dv, uint32_t* first, uint32_t* last)
{
    runs.push_back({u, du, v, dv, first - runBase, last - first});
}

} // namespace

TEST(DrawSpan, ExactValuesEvery16PixelsAndJustPastTheEnd)
{
    const Sampler saved = renderer.sampler;
    renderer.sampler = recordRun;
    uint32_t row[64];
    runBase = row;
    // u/z = x * 2 with 1/z = 0.5 + x / 64: u = 65536 * u/z / (1/z) at any x.
    SpanGradients spanGradients = {2.0f, 0.0f, 1.0f / 64};
    auto fixedU = [](double x) { return (int32_t)(65536.0 * (2 * x) / (0.5 + x / 64)); };
    struct Case {
        int n;
        std::vector<long> lengths;
    } cases[] = {{40, {16, 16, 8}}, {16, {16}}, {10, {10}}, {1, {1}}};
    for (const Case& c : cases) {
        runs.clear();
        drawSpan(&samplerState, &spanGradients, c.n, 0.0f, 0.0f, 0.5f, row);
        ASSERT_EQ(runs.size(), c.lengths.size()) << c.n;
        long at = 0;
        for (size_t i = 0; i < runs.size(); i++) {
            EXPECT_EQ(runs[i].offset, at);
            EXPECT_EQ(runs[i].length, c.lengths[i]);
            const int32_t start = fixedU((double)at);
            const int32_t end = fixedU((double)(at + c.lengths[i]));
            EXPECT_NEAR(runs[i].u, start, 2) << "run " << i << " of " << c.n;
            // A single pixel is sampled where it starts and never stepped.
            if (c.lengths[i] == 1) {
                EXPECT_EQ(runs[i].du, 0);
                EXPECT_EQ(runs[i].dv, 0);
                at += 1;
                continue;
            }
            EXPECT_EQ(runs[i].du, (runs[i].u + runs[i].du * c.lengths[i] - runs[i].u) / c.lengths[i]);
            EXPECT_NEAR(runs[i].u + (int64_t)runs[i].du * c.lengths[i], end, c.lengths[i] + 2);
            at += c.lengths[i];
        }
    }
    // Coordinates far outside the 32-bit range saturate instead of wrapping.
    runs.clear();
    spanGradients = {0.0f, 0.0f, 0.0f};
    drawSpan(&samplerState, &spanGradients, 3, 1e30f, -1e30f, 1.0f, row);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].u, INT32_MAX);
    EXPECT_EQ(runs[0].v, INT32_MIN);
    // The saturation starts at 2^31: 2147483520, the float just below, is in
    // range (65536 * 32767.998046875 is exact).
    runs.clear();
    drawSpan(&samplerState, &spanGradients, 1, 32767.998046875f, -32768.0f, 1.0f, row);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].u, 2147483520);
    EXPECT_EQ(runs[0].v, INT32_MIN);
    renderer.sampler = saved;
}
