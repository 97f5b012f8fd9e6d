// Texture atlases: a tileable picture per material, its rip-map pyramid
// filtered in colour, one 256-colour palette for the whole atlas, written as a
// run-length packed colour-mapped TGA.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "datagen.h"

namespace {

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour a, float s)
{
    return {a.r * s, a.g * s, a.b * s};
}

float smooth(float edge0, float edge1, float x)
{
    float t = (x - edge0) / (edge1 - edge0);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

// Integer hash of a lattice point to [0, 1).
float hash(int x, int y, int seed)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (float)(h & 0xFFFFFF) / 16777216.0f;
}

// Value noise on a lattice of periodX x periodY cells over the unit square,
// so it tiles seamlessly at u, v = 0 and 1.
float noise(float u, float v, int periodX, int periodY, int seed)
{
    const float x = u * (float)periodX, y = v * (float)periodY;
    const int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    const float fx = smooth(0, 1, x - (float)x0), fy = smooth(0, 1, y - (float)y0);
    auto at = [&](int i, int j) {
        return hash(((i % periodX) + periodX) % periodX, ((j % periodY) + periodY) % periodY, seed);
    };
    const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
    const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
    return top + (bottom - top) * fy;
}

float fbm(float u, float v, int periodX, int periodY, int octaves, int seed)
{
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; o++) {
        sum += weight * noise(u, v, periodX << o, periodY << o, seed + o);
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

// The body: a green-teal membrane with a darker seam around the tile, small
// light organelles and a soft yellow-green nucleus in the middle.
Colour bodyPicture(float u, float v)
{
    const float n = fbm(u, v, 4, 4, 4, 11);
    Colour c = mix({38, 112, 104}, {92, 172, 150}, n);

    // Organelles on a jittered 5 x 5 grid.
    const int cells = 5;
    const int ci = (int)(u * cells), cj = (int)(v * cells);
    for (int dj = -1; dj <= 1; dj++) {
        for (int di = -1; di <= 1; di++) {
            const int i = ci + di, j = cj + dj;
            const int wi = (i % cells + cells) % cells, wj = (j % cells + cells) % cells;
            const float px = ((float)i + 0.2f + 0.6f * hash(wi, wj, 21)) / cells;
            const float py = ((float)j + 0.2f + 0.6f * hash(wi, wj, 22)) / cells;
            const float d = std::sqrt((u - px) * (u - px) + (v - py) * (v - py));
            c = mix(c, {150, 212, 184}, 0.55f * (1 - smooth(0.018f, 0.034f, d)));
        }
    }

    const float r = std::sqrt((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f));
    const float inside = 1 - smooth(0.20f, 0.225f, r);
    const Colour nucleus = mix({176, 222, 112}, {112, 186, 118}, smooth(0, 0.22f, r) * 0.8f + 0.2f * n);
    c = mix(c, nucleus, inside);
    c = scale(c, 1 - 0.3f * (smooth(0.2f, 0.225f, r) - smooth(0.235f, 0.27f, r)));

    const float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
    const float seam = 1 - smooth(0.012f, 0.04f, edge);
    const float rim = smooth(0.04f, 0.06f, edge) - smooth(0.06f, 0.1f, edge);
    return scale(c, (1 - 0.45f * seam) * (1 + 0.12f * rim));
}

// The trim: brushed bronze, streaked along the edge (u), a rounded bar across
// it (v) with two fine grooves.
Colour trimPicture(float u, float v)
{
    const float pi = 3.14159265f;
    const float streak = fbm(u, v, 2, 32, 3, 31);
    float shade = 0.68f + 0.32f * std::sin(pi * v);
    for (float groove : {1.0f / 3.0f, 2.0f / 3.0f}) {
        const float d = (v - groove) / 0.035f;
        shade *= 1 - 0.28f * std::exp(-d * d);
    }
    Colour c = scale(Colour{190, 142, 70}, shade * (0.86f + 0.28f * streak));
    return mix(c, {236, 206, 138}, 0.35f * smooth(0.9f, 1.0f, shade));
}

struct Level {
    int w, h;
    std::vector<Colour> texels;
};

Level sampleFinest(int w, int h, Colour (*picture)(float, float))
{
    // 4 x 4 samples a texel, so the finest level is already smooth.
    Level level{w, h, std::vector<Colour>((size_t)w * h)};
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            Colour sum{0, 0, 0};
            for (int sy = 0; sy < 4; sy++)
                for (int sx = 0; sx < 4; sx++) {
                    const Colour c = picture(((float)x + (sx + 0.5f) / 4) / (float)w, ((float)y + (sy + 0.5f) / 4) / (float)h);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            level.texels[(size_t)y * w + x] = scale(sum, 1.0f / 16);
        }
    }
    return level;
}

// Averages pairs of columns (halveWidth) or of rows.
Level halve(const Level& from, bool halveWidth)
{
    Level to{halveWidth ? from.w / 2 : from.w, halveWidth ? from.h : from.h / 2, {}};
    to.texels.resize((size_t)to.w * to.h);
    for (int y = 0; y < to.h; y++) {
        for (int x = 0; x < to.w; x++) {
            const Colour a = halveWidth ? from.texels[(size_t)y * from.w + 2 * x] : from.texels[(size_t)(2 * y) * from.w + x];
            const Colour b = halveWidth ? from.texels[(size_t)y * from.w + 2 * x + 1] : from.texels[(size_t)(2 * y + 1) * from.w + x];
            to.texels[(size_t)y * to.w + x] = mix(a, b, 0.5f);
        }
    }
    return to;
}

int floorLog2(int x)
{
    int n = 0;
    while (x > 1) {
        x >>= 1;
        n++;
    }
    return n;
}

struct Rgb {
    uint8_t r, g, b;
    bool operator<(const Rgb& o) const { return r != o.r ? r < o.r : (g != o.g ? g < o.g : b < o.b); }
};

uint8_t toByte(float f)
{
    // Rounded to the nearest step, clamped to the channel.
    const float r = std::floor(f + 0.5f);
    return (uint8_t)(r < 0 ? 0 : (r > 255 ? 255 : r));
}

// Lays the pyramid out: level (jx, iy) at column W - (W >> jx), row
// H - (H >> iy). The last two columns and rows, which no level covers, repeat
// their neighbours.
std::vector<Rgb> buildAtlas(const AtlasRecipe& recipe)
{
    const int W = recipe.width, H = recipe.height;
    const int levelsX = floorLog2(W) - 1, levelsY = floorLog2(H) - 1;
    Colour (*picture)(float, float) = recipe.picture == PICTURE_BODY ? bodyPicture : trimPicture;
    std::vector<Rgb> atlas((size_t)W * H, Rgb{0, 0, 0});
    Level rowStart = sampleFinest(W / 2, H / 2, picture);
    for (int iy = 0; iy < levelsY; iy++) {
        if (iy > 0)
            rowStart = halve(rowStart, false);
        Level level = rowStart;
        for (int jx = 0; jx < levelsX; jx++) {
            if (jx > 0)
                level = halve(level, true);
            const int column = W - (W >> jx), row = H - (H >> iy);
            for (int y = 0; y < level.h; y++)
                for (int x = 0; x < level.w; x++) {
                    const Colour c = level.texels[(size_t)y * level.w + x];
                    atlas[(size_t)(row + y) * W + column + x] = {toByte(c.r), toByte(c.g), toByte(c.b)};
                }
        }
    }
    for (int y = 0; y < H - 2; y++)
        for (int x = W - 2; x < W; x++)
            atlas[(size_t)y * W + x] = atlas[(size_t)y * W + W - 3];
    for (int y = H - 2; y < H; y++)
        for (int x = 0; x < W; x++)
            atlas[(size_t)y * W + x] = atlas[(size_t)(H - 3) * W + x];
    return atlas;
}

struct Box {
    std::vector<Rgb> colours;
};

int channel(const Rgb& c, int k)
{
    return k == 0 ? c.r : (k == 1 ? c.g : c.b);
}

// Median cut over the atlas' colours (each counted once a texel), then a few
// rounds of nearest-mean refinement. Ties are broken by colour order so the
// result is the same on every run.
std::vector<Rgb> makePalette(const std::vector<Rgb>& texels)
{
    std::vector<Box> boxes(1);
    boxes[0].colours = texels;
    std::sort(boxes[0].colours.begin(), boxes[0].colours.end());
    while (boxes.size() < 256) {
        int best = -1, bestAxis = 0, bestRange = 0;
        for (size_t i = 0; i < boxes.size(); i++) {
            for (int k = 0; k < 3; k++) {
                int lo = 255, hi = 0;
                for (const Rgb& c : boxes[i].colours) {
                    lo = std::min(lo, channel(c, k));
                    hi = std::max(hi, channel(c, k));
                }
                if (hi - lo > bestRange) {
                    best = (int)i;
                    bestAxis = k;
                    bestRange = hi - lo;
                }
            }
        }
        if (best < 0)
            break;
        std::vector<Rgb>& all = boxes[(size_t)best].colours;
        std::stable_sort(all.begin(), all.end(), [&](const Rgb& a, const Rgb& b) { return channel(a, bestAxis) < channel(b, bestAxis); });
        size_t cut = all.size() / 2;
        while (cut > 0 && channel(all[cut - 1], bestAxis) == channel(all[cut], bestAxis))
            cut--;
        if (cut == 0) {
            cut = all.size() / 2;
            while (cut < all.size() && channel(all[cut - 1], bestAxis) == channel(all[cut], bestAxis))
                cut++;
        }
        Box upper;
        upper.colours.assign(all.begin() + (long)cut, all.end());
        all.resize(cut);
        boxes.push_back(upper);
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes) {
        double sum[3] = {0, 0, 0};
        for (const Rgb& c : box.colours)
            for (int k = 0; k < 3; k++)
                sum[k] += channel(c, k);
        const double n = (double)box.colours.size();
        palette.push_back({toByte((float)(sum[0] / n)), toByte((float)(sum[1] / n)), toByte((float)(sum[2] / n))});
    }
    return palette;
}

int nearest(const std::vector<Rgb>& palette, const Rgb& c)
{
    int best = 0, bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); i++) {
        const int dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            best = (int)i;
            bestDistance = d;
        }
    }
    return best;
}

void refine(std::vector<Rgb>& palette, const std::vector<Rgb>& texels, int rounds)
{
    std::map<Rgb, int> counts;
    for (const Rgb& c : texels)
        counts[c]++;
    for (int round = 0; round < rounds; round++) {
        std::vector<double> sum(palette.size() * 3, 0.0), n(palette.size(), 0.0);
        for (const auto& entry : counts) {
            const int i = nearest(palette, entry.first);
            for (int k = 0; k < 3; k++)
                sum[(size_t)i * 3 + k] += (double)channel(entry.first, k) * entry.second;
            n[(size_t)i] += entry.second;
        }
        for (size_t i = 0; i < palette.size(); i++)
            if (n[i] > 0)
                palette[i] = {toByte((float)(sum[i * 3] / n[i])), toByte((float)(sum[i * 3 + 1] / n[i])), toByte((float)(sum[i * 3 + 2] / n[i]))};
    }
    // Darkest first, so the palette reads as a ramp.
    std::stable_sort(palette.begin(), palette.end(), [](const Rgb& a, const Rgb& b) {
        const int la = 2 * a.r + 5 * a.g + a.b, lb = 2 * b.r + 5 * b.g + b.b;
        return la != lb ? la < lb : a < b;
    });
}

// Type 9: colour-mapped, run-length packed; 24-bit map entries; rows top
// first. Packets never cross a row's end.
void packRow(const uint8_t* row, int width, std::vector<uint8_t>& out)
{
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && row[x + run] == row[x])
            run++;
        if (run >= 2) {
            out.push_back((uint8_t)(0x80 | (run - 1)));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        int raw = 1;
        while (x + raw < width && raw < 128 && !(x + raw + 1 < width && row[x + raw] == row[x + raw + 1]))
            raw++;
        out.push_back((uint8_t)(raw - 1));
        out.insert(out.end(), row + x, row + x + raw);
        x += raw;
    }
}

} // namespace

int writeAtlas(const std::string& path, const AtlasRecipe& recipe)
{
    const std::vector<Rgb> atlas = buildAtlas(recipe);
    std::vector<Rgb> palette = makePalette(atlas);
    refine(palette, atlas, 4);
    std::map<Rgb, uint8_t> lookup;
    std::vector<uint8_t> indices(atlas.size());
    for (size_t i = 0; i < atlas.size(); i++) {
        auto found = lookup.find(atlas[i]);
        if (found == lookup.end())
            found = lookup.emplace(atlas[i], (uint8_t)nearest(palette, atlas[i])).first;
        indices[i] = found->second;
    }

    std::vector<uint8_t> out = {0, 1, 9, 0, 0, (uint8_t)palette.size(), (uint8_t)(palette.size() >> 8), 24, 0, 0, 0, 0,
                                (uint8_t)recipe.width, (uint8_t)(recipe.width >> 8), (uint8_t)recipe.height,
                                (uint8_t)(recipe.height >> 8), 8, 0x20};
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
    }
    for (int y = 0; y < recipe.height; y++)
        packRow(indices.data() + (size_t)y * recipe.width, recipe.width, out);

    FILE* file = fopen(path.c_str(), "wb");
    int ok = file && fwrite(out.data(), 1, out.size(), file) == out.size();
    if (file && fclose(file) != 0)
        ok = 0;
    if (!ok)
        fprintf(stderr, "veltrix-datagen: cannot write %s\n", path.c_str());
    return ok;
}
