// Font.bmp: characters 32 to 127 in 11 x 13 cells, 16 to a cell row,
// rendered from DejaVu Sans Mono with FreeType as light grey on black.
#include <cmath>
#include <cstdio>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "datagen.h"
#include "image/image.h"

namespace {

const int cellWidth = 11, cellHeight = 13, cellsPerRow = 16;
const int firstChar = 32, lastChar = 127;
const int pixelSize = 13;
// Row of the baseline inside a cell: ten rows above for capitals and
// ascenders, three below for descenders.
const int baseline = 10;

// Coverage 0..255 becomes a slightly cool white, lifted a little so thin
// strokes stay readable when added onto a dark frame. Returned as the BMP
// writer wants it: 0x00BBGGRR.
uint32_t glyphColour(int coverage)
{
    if (coverage == 0)
        return 0;
    const double c = std::pow(coverage / 255.0, 0.8);
    const uint32_t r = (uint32_t)(c * 232.0 + 0.5), g = (uint32_t)(c * 240.0 + 0.5), b = (uint32_t)(c * 255.0 + 0.5);
    return b << 16 | g << 8 | r;
}

} // namespace

int writeFontSheet(const std::string& path)
{
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        fprintf(stderr, "veltrix-datagen: FreeType does not start\n");
        return 0;
    }
    FT_Face face;
    if (FT_New_Face(library, VELTRIX_FONT_FILE, 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, pixelSize) != 0) {
        fprintf(stderr, "veltrix-datagen: cannot load %s\n", VELTRIX_FONT_FILE);
        FT_Done_FreeType(library);
        return 0;
    }
    const int rows = (lastChar - firstChar + 1 + cellsPerRow - 1) / cellsPerRow;
    const int width = cellWidth * cellsPerRow, height = cellHeight * rows;
    std::vector<uint32_t> pixels((size_t)width * height, 0);
    int ok = 1;
    // 127 has no printable glyph: its cell stays blank like the space's.
    for (int ch = firstChar + 1; ok && ch < lastChar; ch++) {
        if (FT_Load_Char(face, (FT_ULong)ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            ok = 0;
            break;
        }
        const FT_GlyphSlot g = face->glyph;
        const int cellX = ((ch - firstChar) % cellsPerRow) * cellWidth;
        const int cellY = ((ch - firstChar) / cellsPerRow) * cellHeight;
        // Centred on its advance (26.6 fixed point, rounded to whole pixels).
        const int advance = (int)((g->advance.x + 32) >> 6);
        const int left = (cellWidth - advance) / 2 + g->bitmap_left;
        const int top = baseline - g->bitmap_top;
        for (int y = 0; y < (int)g->bitmap.rows; y++) {
            for (int x = 0; x < (int)g->bitmap.width; x++) {
                const int cx = left + x, cy = top + y;
                if (cx < 0 || cx >= cellWidth || cy < 0 || cy >= cellHeight)
                    continue;
                const int coverage = g->bitmap.buffer[y * g->bitmap.pitch + x];
                pixels[(size_t)(cellY + cy) * width + cellX + cx] = glyphColour(coverage);
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok) {
        fprintf(stderr, "veltrix-datagen: FreeType cannot render a glyph\n");
        return 0;
    }
    const Image image = {pixels.data(), width, height};
    if (!writeBmp(path.c_str(), &image)) {
        fprintf(stderr, "veltrix-datagen: cannot write %s\n", path.c_str());
        return 0;
    }
    return 1;
}
