// The two warnings span drawing writes into a frame, and the filtering switch.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "image/image.h"
#include "platform/platform.h"
#include "render/render_local.h"
#include "spans/spans.h"
#include "span_rows.h"
#include "support/support.h"

namespace {

const int W = 640, H = 480;

struct Warnings : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        copyBundledData();
        ASSERT_EQ(engineInit(W, H), 1);
        ASSERT_EQ(fontLoad(W, H), 1);
        spanTableReset();
    }
    void TearDown() override
    {
        heapHookReset();
        fontRelease();
        engineRelease();
    }
    // The frame region a text drawn at (x, y) covers, as drawText alone draws it.
    static bool showsText(const std::vector<uint32_t>& frame, const char* text, int x, int y)
    {
        std::vector<uint32_t> alone(W * H, 0);
        drawText(text, x, y, alone.data());
        int inked = 0;
        for (int k = 0; k < W * H; k++) {
            if (alone[k] == 0)
                continue;
            inked++;
            if (frame[k] != alone[k])
                return false;
        }
        return inked > 0;
    }
    static SpanNode span(int xs, int xe)
    {
        SpanNode s = {};
        s.texture = defaultTexture();
        s.invZ = 1.0f;
        s.light = 200;
        s.xStart = xs;
        s.xEnd = xe;
        return s;
    }
};

const char* disorderText = "Veltrix narusen - prekreslovani !";
const char* memoryText = "Nedostatek pameti RAM !";

} // namespace

TEST_F(Warnings, OverlappingSpansShowTheOrderWarningOnly)
{
    std::vector<uint32_t> frame(W * H, 0);
    drawSpanTable(frame.data());
    EXPECT_FALSE(showsText(frame, disorderText, 50, 20));

    SpanNode a = span(0, 10), b = span(8, 20);
    putSpanAsIs(spanTableRow(300), &a);
    putSpanAsIs(spanTableRow(300), &b);
    drawSpanTable(frame.data());
    EXPECT_TRUE(showsText(frame, disorderText, 50, 20));
    EXPECT_FALSE(showsText(frame, memoryText, 50, 50));
}

TEST_F(Warnings, ExhaustedPoolShowsTheMemoryWarningUntilGrowthSucceeds)
{
    // Every row already holds 20 nodes; the pool's first growth fails.
    heapHook.failAt = 1;
    heapHook.failRest = 1;
    for (int y = 0; y < H && spanPoolFailed() == 0; y++)
        for (int i = 0; i < 40; i++) {
            SpanNode s = span(i * 10, i * 10 + 5);
            insertSpanInRow(spanTablePool(), &s, y);
        }
    ASSERT_EQ(spanPoolFailed(), -1);
    std::vector<uint32_t> frame(W * H, 0);
    drawSpanTable(frame.data());
    EXPECT_TRUE(showsText(frame, memoryText, 50, 50));

    // Memory returns: the next growth succeeds and the warning goes.
    heapHookReset();
    spanTableReset();
    for (int i = 0; i < 40; i++) {
        SpanNode s = span(i * 10, i * 10 + 5);
        insertSpanInRow(spanTablePool(), &s, 0);
    }
    EXPECT_EQ(spanPoolFailed(), 0);
    std::fill(frame.begin(), frame.end(), 0);
    drawSpanTable(frame.data());
    EXPECT_FALSE(showsText(frame, memoryText, 50, 50));
}

TEST_F(Warnings, EndKeySwitchesTheSamplerBothWays)
{
    setFiltering(1);
    handleKey(KEY_END);
    EXPECT_EQ(filteringOn(), 0);
    EXPECT_EQ(renderer.sampler, &sampleNearest);
    handleKey(KEY_END);
    EXPECT_EQ(filteringOn(), 1);
    EXPECT_EQ(renderer.sampler, &sampleBilinear);
}
