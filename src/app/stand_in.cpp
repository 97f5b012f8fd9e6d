// What a far cell looks like, made once from the cell model: a flat face over
// the cell's whole square (its 100 x 100 units, so that neighbours' faces
// meet: gaps narrower than a pixel would alias into stripes) at the height of
// the model's top faces, facing and lit as they are, in one colour, the
// average of what their texture shows at each shade.
#include <cstring>

#include "app/frame_local.h"
#include "render/render.h"
#include "scene/scene.h"
#include "texture/texture.h"

enum { SHADES = TEXTURE_SHADES };

// A texel coordinate, truncated toward zero and wrapped by the level's power
// of two; a coordinate past the int32 range or NaN (the model is the user's)
// counts as 0.
static int32_t wrapTexel(double coordinate, int32_t size)
{
    const int32_t whole = coordinate > -2e9 && coordinate < 2e9 ? (int32_t)coordinate : 0;
    return whole & (size - 1);
}

// The shades of the texel at (u, v) of a texture's finest level, u and v
// wrapped to [0, 1) as the samplers wrap them.
static const uint32_t* texelShades(const Texture* texture, float u, float v)
{
    const TextureLevel* level = &texture->levels[0];
    const int32_t x = wrapTexel((double)u * level->width, level->width);
    const int32_t y = wrapTexel((double)v * level->height, level->height);
    return texture->shades + (size_t)level->texels[(size_t)y * level->width + x] * SHADES;
}

// The shades of the top faces, each sampled at the centres of the 256 equal
// triangles that cutting its sides in 16 makes and weighted by its area, added
// up face by face and then averaged.
enum { CUTS = 16 };
struct ShadeSums {
    double sum[SHADES][3];
    double weight;
};

static void addFaceShades(const Face* face, const Scene* scene, ShadeSums* sums)
{
    const MeshVertex* const* p = face->corners;
    const double ax = p[1]->x - p[0]->x, ay = p[1]->y - p[0]->y;
    const double bx = p[2]->x - p[0]->x, by = p[2]->y - p[0]->y;
    const double area = ax * by - ay * bx;
    const double w = (area < 0 ? -area : area) / (CUTS * CUTS);
    if (!(w > 0.0) || !(w < 1e30))
        return;
    const Texture* texture = renderFaceTexture(face, scene->materials, scene->materialCount);
    // Upright triangles (i, j) with i + j < CUTS, centres a third in; the
    // upside-down ones between them, two thirds in.
    for (int32_t upsideDown = 0; upsideDown < 2; upsideDown++)
        for (int32_t i = 0; i < CUTS; i++)
            for (int32_t j = 0; i + j < CUTS - upsideDown; j++) {
                const float third = upsideDown ? 2.0f / 3.0f : 1.0f / 3.0f;
                const float s = ((float)i + third) / CUTS, t = ((float)j + third) / CUTS, r = 1.0f - s - t;
                const float u = r * p[0]->u + s * p[1]->u + t * p[2]->u;
                const float v = r * p[0]->v + s * p[1]->v + t * p[2]->v;
                const uint32_t* shade = texelShades(texture, u, v);
                for (int32_t k = 0; k < SHADES; k++)
                    for (int32_t c = 0; c < 3; c++)
                        sums->sum[k][c] += w * (double)(shade[k] >> (16 - 8 * c) & 0xFF);
            }
    sums->weight += w * CUTS * CUTS;
}

// 0 when no top face had area.
static int averageShades(const ShadeSums* sums, uint32_t shades[SHADES])
{
    if (!(sums->weight > 0.0))
        return 0;
    for (int32_t k = 0; k < SHADES; k++) {
        shades[k] = 0;
        for (int32_t c = 0; c < 3; c++) {
            const int32_t channel = (int32_t)(sums->sum[k][c] / sums->weight + 0.5);
            shades[k] |= (uint32_t)(channel > 255 ? 255 : channel) << (16 - 8 * c);
        }
    }
    return 1;
}

int standInMake(StandIn* s, const Scene* scene)
{
    memset(s, 0, sizeof *s);
    int32_t faces = 0;
    bool strays = false;
    float topC = -2.0f;
    for (int32_t o = 0; o < scene->objectCount; o++) {
        const MeshObject* mesh = &scene->objects[o];
        for (int32_t f = 0; f < mesh->faceCount; f++) {
            const float c = mesh->faces[f].plane.c;
            topC = c > topC ? c : topC;
        }
        MeshBounds bounds;
        if (mesh->bounds.known)
            bounds = mesh->bounds;
        else
            measureMesh(mesh, &bounds);
        for (int i = 0; i < 3 && mesh->vertexCount > 0; i++) {
            s->low[i] = faces == 0 || bounds.low[i] < s->low[i] ? bounds.low[i] : s->low[i];
            s->high[i] = faces == 0 || bounds.high[i] > s->high[i] ? bounds.high[i] : s->high[i];
        }
        faces += mesh->vertexCount > 0 ? mesh->faceCount : 0;
        // Faces whose corners are not the mesh's own may lie outside its box.
        strays = strays || (mesh->faceCount > 0 && !bounds.cornersOwn);
    }
    s->boxed = faces > 0 && !strays;
    for (int i = 0; i < 3; i++)
        s->boxed = s->boxed && s->low[i] > -1e30f && s->high[i] < 1e30f && s->low[i] <= s->high[i];
    // A top face must face the camera looking down +z, and the model must be
    // a box that fits its cell.
    if (!s->boxed || !(topC > 0.5f))
        return 0;
    for (int i = 0; i < 2; i++)
        if (!(s->low[i] > -cellSpacing && s->high[i] < cellSpacing))
            return 0;
    topC -= 0.001f;
    s->top = s->high[2];
    ShadeSums sums = {};
    for (int32_t o = 0; o < scene->objectCount; o++) {
        const MeshObject* mesh = &scene->objects[o];
        for (int32_t f = 0; f < mesh->faceCount; f++) {
            const Face* face = &mesh->faces[f];
            if (!(face->plane.c >= topC))
                continue;
            s->plane = face->plane;
            for (int i = 0; i < 3; i++)
                s->top = face->corners[i]->z < s->top ? face->corners[i]->z : s->top;
            addFaceShades(face, scene, &sums);
        }
    }
    if (!averageShades(&sums, s->shades))
        return 0;
    // Weight w's shades are the full ones times (WEIGHTS - w) / WEIGHTS,
    // rounded to the nearest.
    for (int32_t w = 1; w < WEIGHTS; w++)
        for (int32_t k = 0; k < SHADES; k++) {
            uint32_t shade = 0;
            for (int32_t c = 0; c < 3; c++) {
                const uint32_t channel = s->shades[k] >> (8 * c) & 0xFF;
                shade |= (channel * (uint32_t)(WEIGHTS - w) + WEIGHTS / 2) / WEIGHTS << (8 * c);
            }
            s->shades[w * SHADES + k] = shade;
        }
    for (int32_t w = 0; w < WEIGHTS; w++) {
        memset(s->texels[w], w, sizeof s->texels[w]);
        s->levels[w] = {4, 4, s->texels[w], 3, 12, 15, 14};
        s->textures[w] = {4, 4, 1, 1, s->shades, &s->levels[w]};
        s->materials[w] = {nullptr, &s->textures[w]};
    }
    s->scene = scene;
    return 1;
}
