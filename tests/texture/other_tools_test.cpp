// TGA files written by other programs (Pillow and ImageMagick), in every kind
// the reader takes and both row orders, decoded by the reader and by the tool
// that wrote them.
#include <gtest/gtest.h>

#include "support/support.h"
#include "texture/texture.h"

namespace {

// The system's own interpreter and converter (where Debian's python3-pil and
// imagemagick install), else whatever the PATH offers.
std::string findTool(const std::string& preferred, const std::string& name)
{
    if (fileIsThere(preferred))
        return preferred;
    std::string found;
    if (runCommand("command -v " + name, &found) != 0)
        return "";
    while (!found.empty() && (found.back() == '\n' || found.back() == '\r'))
        found.pop_back();
    return found;
}

// The reader's picture as RGB bytes, or "" when it refuses the file.
std::string decodeRgb(const std::string& path)
{
    TgaImage* image = readTga(path.c_str());
    if (!image)
        return "";
    std::string rgb;
    for (int32_t i = 0; i < image->width * image->height; i++) {
        const uint32_t c = image->palette[image->indices[i]];
        rgb += (char)(c >> 16);
        rgb += (char)(c >> 8);
        rgb += (char)c;
    }
    tgaRelease(image);
    return rgb;
}

const char* const pillowScript = R"(
from PIL import Image
w, h = 37, 23
im = Image.new('P', (w, h))
im.putpalette([(i * 37 + 11) % 256 for i in range(3 * 40)])
im.putdata([(x * 3 + y * 5) % 40 if x > 10 else 5 for y in range(h) for x in range(w)])
grey = Image.new('L', (w, h))
grey.putdata([(x * 7 + y * 11) % 256 if y > 4 else 200 for y in range(h) for x in range(w)])
for kind, picture in (('p', im), ('g', grey)):
    for packed in (0, 1):
        for orientation in (-1, 1):
            name = '%s%d%d' % (kind, packed, orientation > 0)
            picture.save(name + '.tga', compression='tga_rle' if packed else None, orientation=orientation)
            with open(name + '.rgb', 'wb') as out:
                out.write(Image.open(name + '.tga').convert('RGB').tobytes())
)";

} // namespace

TEST(OtherToolsTest, PillowPaletteAndGreyFilesBothRowOrders)
{
    const std::string python = findTool("/usr/bin/python3", "python3");
    if (python.empty() || runCommand("'" + python + "' -c 'import PIL' 2>/dev/null", nullptr) != 0)
        GTEST_SKIP() << "Pillow is not installed (Debian package python3-pil)";
    TempDir dir;
    writeFile("make.py", pillowScript);
    ASSERT_EQ(runCommand("'" + python + "' make.py", nullptr), 0);
    int checked = 0;
    for (const char* kind : {"p", "g"})
        for (const char* packed : {"0", "1"})
            for (const char* topFirst : {"0", "1"}) {
                const std::string name = std::string(kind) + packed + topFirst;
                const std::string expected = readFile(name + ".rgb");
                ASSERT_EQ(expected.size(), 37u * 23u * 3u) << name;
                EXPECT_TRUE(decodeRgb(name + ".tga") == expected) << name;
                checked++;
            }
    EXPECT_EQ(checked, 8);
}

TEST(OtherToolsTest, ImageMagickPaletteAndGreyFilesBothRowOrders)
{
    const std::string convert = findTool("/usr/bin/convert", "convert");
    if (convert.empty())
        GTEST_SKIP() << "ImageMagick is not installed (Debian package imagemagick)";
    TempDir dir;
    // ImageMagick keeps a TGA's rows in file order and records the orientation
    // beside them; -auto-orient applies it, so row 0 is the picture's top.
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"palette", "gradient:red-blue -colors 50 -type Palette"},
        {"palette-packed", "gradient:red-blue -colors 50 -type Palette -compress RLE"},
        {"palette-top", "gradient:red-blue -colors 50 -type Palette -orient TopLeft"},
        {"grey", "gradient: -type Grayscale"},
        {"grey-packed", "gradient: -type Grayscale -compress RLE"},
        {"grey-top", "gradient: -type Grayscale -orient TopLeft"},
    };
    for (const Case& c : cases) {
        const std::string tga = std::string(c.name) + ".tga", rgb = std::string(c.name) + ".rgb";
        ASSERT_EQ(runCommand("'" + convert + "' -size 40x30 " + c.options + " " + tga, nullptr), 0) << c.name;
        ASSERT_EQ(runCommand("'" + convert + "' " + tga + " -auto-orient -depth 8 rgb:" + rgb, nullptr), 0) << c.name;
        const std::string expected = readFile(rgb);
        ASSERT_EQ(expected.size(), 40u * 30u * 3u) << c.name;
        EXPECT_TRUE(decodeRgb(tga) == expected) << c.name;
    }
}

TEST(OtherToolsTest, InspectWritesIndicesAndPalette)
{
    const std::string inspect = std::string(VELTRIX_BIN_DIR) + "/veltrix-inspect";
    if (!fileIsThere(inspect))
        GTEST_SKIP() << "veltrix-inspect was not built";
    TempDir dir;
    // 2 x 2, bottom row first: bottom 1 0, top 0 1.
    Bytes b;
    b.u8(0).u8(1).u8(1).u16(0).u16(2).u8(24).u16(0).u16(0).u16(2).u16(2).u8(8).u8(0);
    b.u8(0x30).u8(0x20).u8(0x10).u8(0x03).u8(0x02).u8(0x01).u8(1).u8(0).u8(0).u8(1);
    writeFile("a.tga", b.data);
    std::string output;
    EXPECT_EQ(runCommand("'" + inspect + "' tga a.tga --indices i.bin --palette p.bin", &output), 0);
    EXPECT_EQ(output, "{\"width\": 2, \"height\": 2, \"paletteCount\": 2}\n");
    EXPECT_EQ(readFile("i.bin"), std::string("\0\1\1\0", 4));
    EXPECT_EQ(readFile("p.bin"), std::string("\x30\x20\x10\0\x03\x02\x01\0", 8));

    output.clear();
    EXPECT_EQ(runCommand("'" + inspect + "' texture a.tga", &output), 1);
    EXPECT_EQ(output, "{\"error\": \"a.tga: the atlas is 2 x 2; both sides must be powers of two from 4\"}\n");
}
