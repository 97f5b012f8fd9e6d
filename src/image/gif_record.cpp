// Animated GIF recordings through giflib, streamed to the file frame by frame.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "image/image.h"
#include "platform/platform.h"

namespace {

enum : uint32_t { PALETTE_SIZE = 256, COLOUR_SLOTS = 1024, EMPTY_SLOT = 0xFFFFFFFFu };
// The cube's levels per channel: green gets the seventh, as the eye tells
// green's steps best.
enum : uint32_t { CUBE_RED = 6, CUBE_GREEN = 7, CUBE_BLUE = 6 };

// A frame's distinct colours, hashed; a quarter full at most.
struct ColourSet {
    uint32_t slots[COLOUR_SLOTS];
    uint8_t index[COLOUR_SLOTS];
    uint32_t colours[PALETTE_SIZE];
    uint32_t count;
};

uint32_t slotOf(const ColourSet* set, uint32_t colour)
{
    uint32_t slot = (colour * 2654435761u) >> 22;
    while (set->slots[slot] != EMPTY_SLOT && set->slots[slot] != colour)
        slot = (slot + 1) & (COLOUR_SLOTS - 1);
    return slot;
}

// 1 with every colour of the pixels in set, sorted, each with its index;
// 0 as soon as there are more than a palette holds.
int collectColours(ColourSet* set, const uint32_t* pixels, size_t count)
{
    memset(set->slots, 0xFF, sizeof set->slots);
    set->count = 0;
    uint32_t last = EMPTY_SLOT;
    for (size_t i = 0; i < count; i++) {
        const uint32_t colour = pixels[i] & 0xFFFFFF;
        if (colour == last)
            continue;
        last = colour;
        const uint32_t slot = slotOf(set, colour);
        if (set->slots[slot] != EMPTY_SLOT)
            continue;
        if (set->count == PALETTE_SIZE)
            return 0;
        set->slots[slot] = colour;
        set->colours[set->count++] = colour;
    }
    std::sort(set->colours, set->colours + set->count);
    for (uint32_t i = 0; i < set->count; i++)
        set->index[slotOf(set, set->colours[i])] = (uint8_t)i;
    return 1;
}

// The nearest of `levels` evenly spaced levels, and its value.
uint32_t cubeLevel(uint32_t value, uint32_t levels)
{
    return (value * (levels - 1) + 127) / 255;
}

GifByteType cubeValue(uint32_t level, uint32_t levels)
{
    return (GifByteType)((level * 255 + (levels - 1) / 2) / (levels - 1));
}

uint8_t cubeIndex(uint32_t colour)
{
    const uint32_t r = cubeLevel((colour >> 16) & 0xFF, CUBE_RED);
    const uint32_t g = cubeLevel((colour >> 8) & 0xFF, CUBE_GREEN);
    const uint32_t b = cubeLevel(colour & 0xFF, CUBE_BLUE);
    return (uint8_t)((r * CUBE_GREEN + g) * CUBE_BLUE + b);
}

// The palette: the frame's own colours, or the cube; the count a power of two.
void fillColourMap(const ColourSet* set, int exact, GifColorType* colours, ColorMapObject* map)
{
    memset(colours, 0, PALETTE_SIZE * sizeof *colours);
    uint32_t used = 0;
    if (exact) {
        for (; used < set->count; used++) {
            colours[used].Red = (GifByteType)(set->colours[used] >> 16);
            colours[used].Green = (GifByteType)(set->colours[used] >> 8);
            colours[used].Blue = (GifByteType)set->colours[used];
        }
    } else {
        for (uint32_t r = 0; r < CUBE_RED; r++)
            for (uint32_t g = 0; g < CUBE_GREEN; g++)
                for (uint32_t b = 0; b < CUBE_BLUE; b++, used++)
                    colours[used] = {cubeValue(r, CUBE_RED), cubeValue(g, CUBE_GREEN), cubeValue(b, CUBE_BLUE)};
    }
    int bits = 1;
    while ((1u << bits) < used)
        bits++;
    map->ColorCount = 1 << bits;
    map->BitsPerPixel = bits;
    map->SortFlag = false;
    map->Colors = colours;
}

int writeBytes(GifFileType* gif, const GifByteType* bytes, int size)
{
    GifRecording* recording = (GifRecording*)gif->UserData;
    const size_t written = fwrite(bytes, 1, (size_t)size, recording->file);
    recording->bytes += written;
    return (int)written;
}

// The worst a frame can take: a 12-bit code a pixel, sub-block lengths and
// the frame's headers and palette.
uint64_t largestFrame(const GifRecording* recording)
{
    return (uint64_t)recording->width * (uint64_t)recording->height * 2 + 1024;
}

// Loops forever: the application extension every player knows.
int putLoop(GifFileType* gif)
{
    const GifByteType forever[3] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
        && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK && EGifPutExtensionBlock(gif, 3, forever) == GIF_OK
        && EGifPutExtensionTrailer(gif) == GIF_OK;
}

void release(GifRecording* recording)
{
    if (recording->file)
        fclose(recording->file);
    heapFree(recording->previous);
    heapFree(recording->indices);
    heapFree(recording);
}

}

GifRecording* gifRecordOpen(const char* path, int32_t width, int32_t height, uint64_t limit)
{
    GifRecording* recording = (GifRecording*)heapCalloc(1, sizeof(GifRecording));
    if (!recording)
        return nullptr;
    const size_t count = (size_t)width * (size_t)height;
    recording->width = width;
    recording->height = height;
    recording->limit = limit;
    recording->previous = (uint32_t*)heapAlloc(count * 4);
    recording->indices = (uint8_t*)heapAlloc(count);
    if (!recording->previous || !recording->indices) {
        release(recording);
        return nullptr;
    }
    recording->file = fileOpen(path, "wb");
    if (!recording->file) {
        release(recording);
        return nullptr;
    }
    int error = 0;
    recording->gif = EGifOpen(recording, writeBytes, &error);
    if (recording->gif) {
        EGifSetGifVersion(recording->gif, true);
        if (EGifPutScreenDesc(recording->gif, width, height, 8, 0, nullptr) == GIF_OK && putLoop(recording->gif))
            return recording;
        EGifCloseFile(recording->gif, &error);
    }
    release(recording);
    remove(path);
    return nullptr;
}

int gifRecordHasRoom(const GifRecording* recording)
{
    return recording->bytes + largestFrame(recording) <= recording->limit;
}

int gifRecordFrame(GifRecording* recording, const uint32_t* pixels)
{
    const int32_t width = recording->width;
    const size_t count = (size_t)width * (size_t)recording->height;
    ColourSet set;
    const int exact = collectColours(&set, pixels, count);

    // What changed, boxed. The whole frame at first, and when exact colours
    // follow the cube's, which would otherwise stay around the box.
    int32_t top = 0;
    int32_t bottom = recording->height - 1;
    int32_t left = 0;
    int32_t right = width - 1;
    if (recording->frames > 0 && (recording->previousExact || !exact)) {
        const uint32_t* before = recording->previous;
        const size_t rowBytes = (size_t)width * 4;
        while (top <= bottom && memcmp(pixels + (size_t)top * width, before + (size_t)top * width, rowBytes) == 0)
            top++;
        if (top > bottom) {
            bottom = top = 0;
            right = 0; // a frame holds one pixel at least
        } else {
            while (memcmp(pixels + (size_t)bottom * width, before + (size_t)bottom * width, rowBytes) == 0)
                bottom--;
            left = width;
            right = -1;
            for (int32_t y = top; y <= bottom; y++) {
                const uint32_t* row = pixels + (size_t)y * width;
                const uint32_t* old = before + (size_t)y * width;
                int32_t x = 0;
                while (x < left && row[x] == old[x])
                    x++;
                left = x;
                x = width - 1;
                while (x > right && row[x] == old[x])
                    x--;
                right = x;
            }
        }
    }

    GifColorType colours[PALETTE_SIZE];
    ColorMapObject map;
    fillColourMap(&set, exact, colours, &map);
    const int32_t boxWidth = right - left + 1;
    const int32_t boxHeight = bottom - top + 1;
    uint8_t* out = recording->indices;
    for (int32_t y = top; y <= bottom; y++) {
        const uint32_t* row = pixels + (size_t)y * width;
        for (int32_t x = left; x <= right; x++) {
            const uint32_t colour = row[x] & 0xFFFFFF;
            *out++ = exact ? set.index[slotOf(&set, colour)] : cubeIndex(colour);
        }
    }

    GraphicsControlBlock control = {DISPOSE_DO_NOT, false, GIF_FRAME_DELAY, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    const size_t extensionSize = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(recording->gif, GRAPHICS_EXT_FUNC_CODE, (int)extensionSize, extension) != GIF_OK
        || EGifPutImageDesc(recording->gif, left, top, boxWidth, boxHeight, false, &map) != GIF_OK
        || EGifPutLine(recording->gif, recording->indices, boxWidth * boxHeight) != GIF_OK)
        return 0;
    memcpy(recording->previous, pixels, count * 4);
    recording->previousExact = exact;
    recording->frames++;
    return 1;
}

int gifRecordClose(GifRecording* recording)
{
    int error = 0;
    int whole = EGifCloseFile(recording->gif, &error) == GIF_OK && !ferror(recording->file);
    whole = fclose(recording->file) == 0 && whole;
    recording->file = nullptr;
    release(recording);
    return whole;
}
