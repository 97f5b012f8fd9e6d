#include "image/image.h"

#include <cstddef>

static Image* font = nullptr;
static int32_t targetWidth = 0;
static int32_t targetHeight = 0;

int fontLoad(int32_t width, int32_t height)
{
    font = readBmp("Font.bmp");
    if (!font)
        return 0;
    targetWidth = width;
    targetHeight = height;
    return 1;
}

void fontRelease()
{
    imageRelease(font);
    font = nullptr;
}

// Font coordinates of a character's cell, or 0 when the cell lies outside the
// bitmap (control codes, negative codes, codes past its last cell row).
static int glyphCell(char ch, int32_t* cx, int32_t* cy)
{
    const int32_t code = (signed char)ch;
    if (code < 32)
        return 0;
    *cx = (code & 15) * GLYPH_WIDTH;
    *cy = ((code - 32) / GLYPHS_PER_ROW) * GLYPH_HEIGHT;
    return *cx + GLYPH_WIDTH <= font->width && *cy + GLYPH_HEIGHT <= font->height;
}

static uint32_t addSaturated(uint32_t t, uint32_t p)
{
    uint32_t r = (t & 0xFF0000) + (p & 0xFF0000);
    uint32_t g = (t & 0xFF00) + (p & 0xFF00);
    uint32_t b = (t & 0xFF) + (p & 0xFF);
    if (r > 0xFF0000)
        r = 0xFF0000;
    if (g > 0xFF00)
        g = 0xFF00;
    if (b > 0xFF)
        b = 0xFF;
    return r | g | b;
}

static void putGlyph(int32_t x, int32_t y, char ch, uint32_t* target, int additive)
{
    int32_t cx, cy;
    if (!font || !glyphCell(ch, &cx, &cy))
        return;
    for (int32_t dx = 0; dx < GLYPH_WIDTH; dx++) {
        const int32_t sx = x + dx;
        for (int32_t dy = 0; dy < GLYPH_HEIGHT; dy++) {
            const int32_t sy = y + dy;
            // Strictly positive: the target's column 0 and row 0 stay untouched.
            if (sx <= 0 || sx >= targetWidth || sy <= 0 || sy >= targetHeight)
                continue;
            const uint32_t t = font->pixels[(cy + dy) * font->width + cx + dx];
            uint32_t* p = target + (size_t)sy * (size_t)targetWidth + (size_t)sx;
            if (additive)
                *p = addSaturated(t, *p);
            else if (t != 0)
                *p = t;
        }
    }
}

void drawGlyph(int32_t x, int32_t y, char ch, uint32_t* target)
{
    putGlyph(x, y, ch, target, 0);
}

void drawGlyphAdd(int32_t x, int32_t y, char ch, uint32_t* target)
{
    putGlyph(x, y, ch, target, 1);
}

static void drawString(const char* text, int32_t x, int32_t y, uint32_t* target, int additive)
{
    int32_t k = 0;
    for (const char* c = text; *c; c++) {
        if (*c == '\n') {
            k = -1;
            y += LINE_ADVANCE;
        } else {
            putGlyph(x + GLYPH_WIDTH * k, y, *c, target, additive);
        }
        k += 1;
    }
}

void drawText(const char* text, int32_t x, int32_t y, uint32_t* target)
{
    drawString(text, x, y, target, 0);
}

void drawTextAdd(const char* text, int32_t x, int32_t y, uint32_t* target)
{
    drawString(text, x, y, target, 1);
}
