// Images and text overlay: 24-bit BMP files and the bitmap-font text drawers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Pixels are row-major, top row first; pixel (x, y) is element y * width + x.
struct Image {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
};

enum { BMP_MAX_SIDE = 16384 };

// Reads an uncompressed 24-bit bottom-up BMP of size bytes into 0x00RRGGBB
// pixels; name stands for the file in the reason. Returns null for anything
// else: a bad type, bit count or compression, a width or height outside
// 1..16384, bytes too few for the pixel rows, no memory.
Image* readBmpBytes(const uint8_t* bytes, size_t size, const char* name);
// readBmpBytes on the file at path, or null when it cannot be read.
Image* readBmp(const char* path);
// Why the last readBmp failed, in one line that starts with the path
// ("Font.bmp: 32 bits a pixel; ..."); "" when it succeeded. The line every
// reader shares (readReason).
const char* imageLoadReason();
// Releases an Image from readBmp, pixels and record.
void imageRelease(Image* image);
// Writes a 24-bit BMP, taking the pixels as 0x00BBGGRR (blue in bits 16-23).
// Returns 1, or 0 when the file cannot be created or written whole.
int writeBmp(const char* path, const Image* image);

// ---- Animated GIF -----------------------------------------------------------
// A recording written frame by frame as it is made, so memory stays at two
// frames however long it runs. Each frame is quantised on its own: exactly to
// its own colours when it has at most 256, else to the fixed 6 x 7 x 6 cube
// (red and blue within 25 of the frame's value, green within 21). Only the
// box around what changed since the last frame is stored; every frame lasts
// GIF_FRAME_DELAY hundredths of a second and the animation loops.
enum { GIF_FRAME_DELAY = 2 };

struct GifFileType;
struct GifRecording {
    GifFileType* gif;
    FILE* file;
    int32_t width;
    int32_t height;
    uint32_t* previous;    // the last frame's pixels: what changed is boxed against them
    uint8_t* indices;      // one frame's palette indices
    int32_t previousExact; // every pixel shown so far is its frame's own colour
    int32_t frames;
    uint64_t bytes;        // written to the file so far
    uint64_t limit;        // the file stays within this many bytes
};

// Creates the file at path and writes the animation's heading. Returns the
// record, or null when the file cannot be created or memory runs out.
GifRecording* gifRecordOpen(const char* path, int32_t width, int32_t height, uint64_t limit);
// 1 when a frame of any content still fits under the limit.
int gifRecordHasRoom(const GifRecording* recording);
// Adds one frame of 0x00RRGGBB pixels (width x height). Returns 1, or 0 when
// it could not be written (the file is then cut short).
int gifRecordFrame(GifRecording* recording, const uint32_t* pixels);
// Ends the animation, closes the file and frees the record. Returns 1 when
// the whole file was written.
int gifRecordClose(GifRecording* recording);

// ---- Bitmap font -------------------------------------------------------------
// Font.bmp holds the glyphs of characters 32 to 127 in cells of 11 x 13 pixels,
// 16 cells a row. A texel of 0 is transparent.
enum { GLYPH_WIDTH = 11, GLYPH_HEIGHT = 13, GLYPHS_PER_ROW = 16, LINE_ADVANCE = 14 };

// Reads "Font.bmp" and keeps the target size that every drawer clips against.
// Returns 0 and leaves no font when the file cannot be read (imageLoadReason
// says why).
int fontLoad(int32_t targetWidth, int32_t targetHeight);
void fontRelease();
// One character with its top-left corner at (x, y); target is a framebuffer of
// the size given to fontLoad. Column 0 and row 0 of the target are never drawn.
void drawGlyph(int32_t x, int32_t y, char ch, uint32_t* target);
// The same, adding each texel to the pixel with saturation per channel.
void drawGlyphAdd(int32_t x, int32_t y, char ch, uint32_t* target);
// A zero-terminated text; a line feed starts the next line 14 pixels lower.
void drawText(const char* text, int32_t x, int32_t y, uint32_t* target);
void drawTextAdd(const char* text, int32_t x, int32_t y, uint32_t* target);
