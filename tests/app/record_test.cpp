// F9's recordings, read back with giflib's decoder and played frame by frame.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "display/display.h"
#include "image/image.h"
#include "platform/headless/headless.h"
#include "support/support.h"
#include "app_run.h"

namespace {

struct Played {
    int ok = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<std::vector<uint32_t>> frames; // each as seen once drawn, 0x00RRGGBB
    std::vector<int> delays;
    int loops = 0;
};

// Draws each image over the last, as a player does with frames that are not disposed.
Played play(const char* path)
{
    Played played;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path, &error);
    if (!gif)
        return played;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return played;
    }
    played.width = gif->SWidth;
    played.height = gif->SHeight;
    std::vector<uint32_t> canvas((size_t)played.width * played.height, 0);
    for (int i = 0; i < gif->ImageCount; i++) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& desc = image.ImageDesc;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        for (int y = 0; y < desc.Height; y++)
            for (int x = 0; x < desc.Width; x++) {
                const GifColorType c = map->Colors[image.RasterBits[y * desc.Width + x]];
                canvas[(size_t)(desc.Top + y) * played.width + desc.Left + x] =
                    (uint32_t)c.Red << 16 | (uint32_t)c.Green << 8 | c.Blue;
            }
        played.frames.push_back(canvas);
        GraphicsControlBlock control;
        played.delays.push_back(DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK ? control.DelayTime : -1);
        for (int e = 0; e < image.ExtensionBlockCount; e++)
            played.loops += image.ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE
                && image.ExtensionBlocks[e].ByteCount == 11
                && memcmp(image.ExtensionBlocks[e].Bytes, "NETSCAPE2.0", 11) == 0;
    }
    played.ok = 1;
    DGifCloseFile(gif, &error);
    return played;
}

// The largest difference of any channel of any pixel, red, green and blue apart.
struct ChannelError {
    int red = 0;
    int green = 0;
    int blue = 0;
};

ChannelError difference(const uint32_t* a, const uint32_t* b, size_t count)
{
    ChannelError worst;
    for (size_t i = 0; i < count; i++) {
        worst.red = std::max(worst.red, std::abs((int)(a[i] >> 16 & 0xFF) - (int)(b[i] >> 16 & 0xFF)));
        worst.green = std::max(worst.green, std::abs((int)(a[i] >> 8 & 0xFF) - (int)(b[i] >> 8 & 0xFF)));
        worst.blue = std::max(worst.blue, std::abs((int)(a[i] & 0xFF) - (int)(b[i] & 0xFF)));
    }
    return worst;
}

size_t colourCount(const uint32_t* pixels, size_t count)
{
    return std::set<uint32_t>(pixels, pixels + count).size();
}

class Record : public ::testing::Test {
protected:
    void SetUp() override
    {
        heapHookReset();
        headlessReset(nullptr);
    }
    void TearDown() override
    {
        releaseRun(&script);
    }
    int run(const std::string& text)
    {
        return runScript(&script, text);
    }
    TempDir dir;
    Script script = {};
};

// Every tick between the two presses of F9 is one frame of the GIF, the
// frame F12 saves of that tick: exactly where the frame has at most 256
// colours, else within the colour cube's steps.
TEST_F(Record, FiftyTicksAreTheFiftyScreenshots)
{
    copyBundledData();
    writeFile("Recording 0.gif", "taken");
    std::string text = "key del\nkey f9\n";
    for (int i = 0; i < 50; i++)
        text += "key f12\ntick\n";
    text += "key f9\ntick\n";
    run(text);
    const Played played = play("Recording 1.gif");
    ASSERT_TRUE(played.ok);
    ASSERT_EQ(played.width, screenWidth);
    ASSERT_EQ(played.height, screenHeight);
    ASSERT_EQ(played.frames.size(), 50u);
    EXPECT_EQ(played.loops, 1);
    int exactFrames = 0;
    for (int i = 0; i < 50; i++) {
        SCOPED_TRACE(i);
        char name[32];
        snprintf(name, sizeof name, "Screenshot%2x.bmp", i);
        Image* shot = readBmp(name);
        ASSERT_NE(shot, nullptr);
        const size_t count = (size_t)screenWidth * screenHeight;
        const ChannelError error = difference(played.frames[i].data(), shot->pixels, count);
        if (colourCount(shot->pixels, count) <= 256) {
            exactFrames++;
            EXPECT_EQ(error.red + error.green + error.blue, 0);
        } else {
            EXPECT_LE(error.red, 25);
            EXPECT_LE(error.green, 21);
            EXPECT_LE(error.blue, 25);
        }
        // The run moves: no two recorded ticks are the same frame.
        if (i > 0) {
            EXPECT_NE(played.frames[i], played.frames[i - 1]);
        }
        EXPECT_EQ(played.delays[i], GIF_FRAME_DELAY);
        imageRelease(shot);
    }
    RecordProperty("exactFrames", exactFrames);
}

// A frame of few colours after one of many is exact everywhere, not only
// where it changed; a frame that would pass the limit is refused.
TEST_F(Record, WriterKeepsExactColoursAndItsLimit)
{
    const int32_t width = 64;
    const int32_t height = 48;
    const size_t count = (size_t)width * height;
    std::vector<uint32_t> many(count);
    for (size_t i = 0; i < count; i++)
        many[i] = (uint32_t)(i * 2654435761u) & 0xFFFFFF;
    std::vector<uint32_t> few(many);
    for (size_t i = 0; i < count; i++)
        few[i] = (i % 7) * 0x102030;
    few[5] = many[5];

    GifRecording* recording = gifRecordOpen("few.gif", width, height, RECORD_MAX_BYTES);
    ASSERT_NE(recording, nullptr);
    ASSERT_EQ(gifRecordFrame(recording, many.data()), 1);
    ASSERT_EQ(gifRecordFrame(recording, few.data()), 1);
    ASSERT_EQ(gifRecordFrame(recording, few.data()), 1);
    ASSERT_EQ(gifRecordClose(recording), 1);
    const Played played = play("few.gif");
    ASSERT_EQ(played.frames.size(), 3u);
    const ChannelError cube = difference(played.frames[0].data(), many.data(), count);
    EXPECT_GT(cube.red, 0);
    EXPECT_LE(cube.red, 25);
    EXPECT_LE(cube.green, 21);
    EXPECT_LE(cube.blue, 25);
    EXPECT_EQ(played.frames[1], few);
    EXPECT_EQ(played.frames[2], few);

    // Room for the heading and one frame at its largest, not two.
    recording = gifRecordOpen("limit.gif", width, height, 1024 + count * 2 + 1024);
    ASSERT_NE(recording, nullptr);
    ASSERT_EQ(gifRecordHasRoom(recording), 1);
    ASSERT_EQ(gifRecordFrame(recording, many.data()), 1);
    EXPECT_EQ(gifRecordHasRoom(recording), 0);
    EXPECT_LE(recording->bytes, 1024 + count * 2 + 1024);
    ASSERT_EQ(gifRecordClose(recording), 1);
    EXPECT_EQ(play("limit.gif").frames.size(), 1u);

    EXPECT_EQ(gifRecordOpen("no-such-folder/x.gif", width, height, RECORD_MAX_BYTES), nullptr);
}

// A world of more states records as any other: a WireWorld clock's
// electrons move on in every frame.
TEST_F(Record, AWorldOfMoreStatesRecordsEveryFrame)
{
    copyBundledData();
    writeFile("clock.rle", "x = 16, y = 3, rule = WireWorld\n.BA2C$C4.11C$.4C!\n");
    std::string text = "tick\ndrop clock.rle\ntick\nkey del\nkey f9\n";
    for (int i = 0; i < 20; i++)
        text += "tick\n";
    text += "key f9\ntick\n";
    run(text);
    EXPECT_STREQ(app.world->ruleName, "WireWorld");
    EXPECT_GE(worldGeneration(app.world), 20);
    const Played played = play("Recording 0.gif");
    ASSERT_TRUE(played.ok);
    ASSERT_EQ(played.frames.size(), 20u);
    for (size_t i = 1; i < played.frames.size(); i++)
        EXPECT_NE(played.frames[i], played.frames[i - 1]) << i;
}

}
