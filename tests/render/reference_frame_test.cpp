// Whole frames of overlapping and interpenetrating boxes drawn through the
// span table, compared pixel by pixel with a reference drawn here with a
// per-pixel depth buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "app/app.h"
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"
#include "support/vec.h"
#include "texture/texture.h"

namespace {

const int W = 640, H = 480;

// A one-level texture of a single colour.
struct FlatTexture {
    uint8_t texels[16] = {};
    uint32_t shades[64];
    TextureLevel level = {4, 4, texels, 3, 12, 15, 14};
    Texture texture;
    explicit FlatTexture(uint32_t colour)
    {
        for (uint32_t j = 0; j < 64; j++)
            shades[j] = ((colour >> 16 & 0xFF) * j / 64) << 16 | ((colour >> 8 & 0xFF) * j / 64) << 8 | ((colour & 0xFF) * j / 64);
        texture = {4, 4, 1, 1, shades, &level};
    }
};

struct Box {
    MeshVertex vertices[8];
    Face faces[12];
    MeshObject mesh = {};
    Matrix4 model;
    uint32_t colour;

    // Corners counter-clockwise seen from outside (right-handed), so the
    // stored plane normal, (p2 - p0) x (p1 - p0), points into the box.
    Box(float size, uint32_t c) : colour(c)
    {
        for (int i = 0; i < 8; i++)
            vertices[i] = {(i & 1 ? 0.5f : -0.5f) * size, (i & 2 ? 0.5f : -0.5f) * size, (i & 4 ? 0.5f : -0.5f) * size, 0, 0, 0, 0, 0};
        static const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
        for (int q = 0; q < 6; q++) {
            const int* k = quads[q];
            const int tris[2][3] = {{k[0], k[1], k[2]}, {k[0], k[2], k[3]}};
            for (int t = 0; t < 2; t++) {
                Face& f = faces[q * 2 + t];
                f.material = 0;
                for (int i = 0; i < 3; i++)
                    f.corners[i] = &vertices[tris[t][i]];
            }
        }
        mesh.vertexCount = 8;
        mesh.faceCount = 12;
        mesh.vertices = vertices;
        mesh.faces = faces;
        computeFacePlanes(&mesh);
        matIdentity(&model);
    }
};

// Row-vector transform by a 4 x 4 float matrix, in double.
Vec transform(const Matrix4& m, Vec p)
{
    return {p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12], p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
        p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
}

// Inverse of a rigid transform: transposed rotation, rotated negative translation.
Matrix4 rigidInverse(const Matrix4& m)
{
    Matrix4 r;
    matIdentity(&r);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r.m[4 * i + j] = m.m[4 * j + i];
    for (int j = 0; j < 3; j++)
        r.m[12 + j] = -(m.m[12] * r.m[j] + m.m[13] * r.m[4 + j] + m.m[14] * r.m[8 + j]);
    return r;
}

struct Reference {
    std::vector<uint32_t> colour = std::vector<uint32_t>(W * H, 0);
    std::vector<double> nearest = std::vector<double>(W * H, 0.0);
    std::vector<double> second = std::vector<double>(W * H, 0.0);
    std::vector<double> slope = std::vector<double>(W * H, 0.0);
    std::vector<uint8_t> edge = std::vector<uint8_t>(W * H, 0);
};

void markEdge(Reference& ref, double ax, double ay, double bx, double by)
{
    const double len = std::hypot(bx - ax, by - ay);
    const int steps = (int)(len * 4) + 1;
    for (int s = 0; s <= steps; s++) {
        const double x = ax + (bx - ax) * s / steps, y = ay + (by - ay) * s / steps;
        for (int py = (int)std::floor(y) - 2; py <= (int)std::floor(y) + 2; py++)
            for (int px = (int)std::floor(x) - 3; px <= (int)std::floor(x) + 2; px++)
                if (px >= 0 && px < W && py >= 0 && py < H)
                    ref.edge[py * W + px] = 1;
    }
}

uint32_t lit(uint32_t c, int light)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t channel = (c >> shift & 0xFF) * 63 / 64;
        out |= ((channel * (uint32_t)light) >> 8) << shift;
    }
    return out;
}

// Draws the boxes with a depth buffer, sampling each pixel at (x + 1, y), the
// point the span rule's floor(left) <= x < floor(right) is centred on.
Reference drawReference(std::vector<Box*>& boxes, const Matrix4& view)
{
    Reference ref;
    const Matrix4 worldToView = rigidInverse(view);
    for (Box* box : boxes) {
        // The model applies first: m = model x worldToView.
        Matrix4 m;
        matMultiply(&m, &box->model, &worldToView);
        for (const Face& f : box->faces) {
            Vec p[3], s[3];
            for (int i = 0; i < 3; i++)
                p[i] = transform(m, {f.corners[i]->x, f.corners[i]->y, f.corners[i]->z});
            Vec inward = cross(sub(p[2], p[0]), sub(p[1], p[0]));
            const double len = std::sqrt(dot(inward, inward));
            inward = {inward.x / len, inward.y / len, inward.z / len};
            // The eye is the view-space origin.
            if (-dot(inward, p[0]) > 0.1)
                continue;
            int light = (int)(255.0 * inward.z);
            light = light < 0 ? 0 : light > 255 ? 255 : light;
            for (int i = 0; i < 3; i++)
                s[i] = {320.0 * p[i].x / p[i].z + 320, 320.0 * p[i].y / p[i].z + 240, 1.0 / p[i].z};
            for (int i = 0; i < 3; i++)
                markEdge(ref, s[i].x, s[i].y, s[(i + 1) % 3].x, s[(i + 1) % 3].y);
            const double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
            if (std::fabs(area) < 1e-9)
                continue;
            // 1/z is linear on the screen: its gradient, for the tie margin.
            const double gx = ((s[1].z - s[0].z) * (s[2].y - s[0].y) - (s[2].z - s[0].z) * (s[1].y - s[0].y)) / area;
            const double gy = ((s[2].z - s[0].z) * (s[1].x - s[0].x) - (s[1].z - s[0].z) * (s[2].x - s[0].x)) / area;
            const int x0 = std::max(0, (int)std::floor(std::min({s[0].x, s[1].x, s[2].x})) - 1);
            const int x1 = std::min(W - 1, (int)std::ceil(std::max({s[0].x, s[1].x, s[2].x})) + 1);
            const int y0 = std::max(0, (int)std::floor(std::min({s[0].y, s[1].y, s[2].y})) - 1);
            const int y1 = std::min(H - 1, (int)std::ceil(std::max({s[0].y, s[1].y, s[2].y})) + 1);
            for (int py = y0; py <= y1; py++)
                for (int px = x0; px <= x1; px++) {
                    const double x = px + 1.0, y = py;
                    double w[3];
                    for (int i = 0; i < 3; i++) {
                        const Vec& a = s[(i + 1) % 3];
                        const Vec& b = s[(i + 2) % 3];
                        w[i] = ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) / area;
                    }
                    if (w[0] < 0 || w[1] < 0 || w[2] < 0)
                        continue;
                    const double invZ = w[0] * s[0].z + w[1] * s[1].z + w[2] * s[2].z;
                    const int k = py * W + px;
                    if (invZ > ref.nearest[k]) {
                        ref.second[k] = ref.nearest[k];
                        ref.nearest[k] = invZ;
                        ref.colour[k] = lit(box->colour, light);
                        ref.slope[k] = std::max(ref.slope[k], std::fabs(gx) + std::fabs(gy));
                    } else if (invZ > ref.second[k]) {
                        ref.second[k] = invZ;
                        ref.slope[k] = std::max(ref.slope[k], std::fabs(gx) + std::fabs(gy));
                    }
                }
        }
    }
    // The frustum keeps two pixels clear at every screen edge.
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            if (x < 4 || x >= W - 4 || y < 4 || y >= H - 4)
                ref.edge[y * W + x] = 1;
    return ref;
}

struct ReferenceFrame : ::testing::Test {
    void SetUp() override { ASSERT_EQ(engineInit(W, H), 1); }
    void TearDown() override
    {
        setFiltering(1);
        engineRelease();
    }
};

} // namespace

TEST_F(ReferenceFrame, OverlappingAndInterpenetratingBoxesShowTheNearerFace)
{
    FlatTexture red(0xE04030), green(0x30D050), blue(0x4060F0);
    Box a(120, 0xE04030), b(150, 0x30D050), c(100, 0x4060F0);
    // Each box's faces name material 0 of their own one-entry array.
    std::vector<Material> ma = {{nullptr, &red.texture}}, mb = {{nullptr, &green.texture}},
                          mc = {{nullptr, &blue.texture}};

    matTranslate(&a.model, 0, 0, 300);
    matRotateY(&a.model, 0.35f);
    matTranslate(&b.model, 70, 40, 380);
    matRotateY(&b.model, 0.6f);
    matRotateX(&b.model, -0.4f);
    matTranslate(&c.model, -45, 10, 310);
    matRotateX(&c.model, 0.8f);
    matRotateZ(&c.model, 0.7f);

    struct View {
        float yaw, pitch, x, y, z;
    } views[] = {{0, 0, 0, 0, 0}, {0.3f, -0.2f, -60, 30, -40}, {-0.25f, 0.15f, 50, -20, 60}};
    for (int filtered = 0; filtered <= 1; filtered++) {
        setFiltering(filtered);
        for (const View& v : views) {
            Matrix4 view;
            matIdentity(&view);
            matTranslate(&view, v.x, v.y, v.z);
            matRotateY(&view, v.yaw);
            matRotateX(&view, v.pitch);
            Matrix4 worldToView;
            matInverse(&view, &worldToView);
            spanTableReset();
            renderObject(renderBand(0), &a.model, &worldToView, &a.mesh, ma.data(), 1, 0);
            renderObject(renderBand(0), &b.model, &worldToView, &b.mesh, mb.data(), 1, 0);
            renderObject(renderBand(0), &c.model, &worldToView, &c.mesh, mc.data(), 1, 0);
            std::vector<uint32_t> frame(W * H, 0);
            drawSpanTable(frame.data());
            std::vector<Box*> boxes = {&a, &b, &c};
            Reference ref = drawReference(boxes, view);
            int compared = 0, bad = 0, covered = 0;
            for (int k = 0; k < W * H; k++) {
                covered += ref.nearest[k] > 0;
                if (ref.edge[k] || (ref.second[k] > 0 && ref.nearest[k] - ref.second[k] < 3 * ref.slope[k]))
                    continue;
                compared++;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int got = frame[k] >> shift & 0xFF, want = ref.colour[k] >> shift & 0xFF;
                    // Nearest sampling is exact up to a light rounding of 1;
                    // bilinear sums sit up to 3 below it.
                    if (got > want + 1 || got < want - (filtered ? 4 : 1)) {
                        if (bad < 5)
                            ADD_FAILURE() << "view " << (&v - views) << " filtered " << filtered << " pixel "
                                          << k % W << "," << k / W << " got " << std::hex << frame[k] << " want "
                                          << ref.colour[k];
                        bad++;
                        break;
                    }
                }
            }
            EXPECT_EQ(bad, 0);
            EXPECT_GT(covered, W * H / 10) << "the boxes fill a good part of the frame";
            EXPECT_GT(compared, W * H * 8 / 10);
        }
    }
}

// A universe far from the coordinates' middle, every cell near enough to get
// the full model: the frame's cells placed relative to the origin cell come
// out as boxes at those places would, seen from above and at slants, with
// one worker and with three.
TEST_F(ReferenceFrame, AUniverseOfLargeCellsShowsTheNearerFace)
{
    FlatTexture red(0xE04030);
    Box cell(60, 0xE04030);
    Material material = {nullptr, &red.texture};
    Scene scene = {};
    scene.objects = &cell.mesh;
    scene.objectCount = 1;
    scene.materials = &material;
    scene.materialCount = 1;

    char reason[128];
    World* universe = worldCreate("B3/S23", reason, sizeof reason);
    ASSERT_NE(universe, nullptr) << reason;
    const int32_t left = 1000000, top = -2000000;
    std::mt19937 random(3);
    for (int32_t y = 0; y < 14; y++)
        for (int32_t x = 0; x < 14; x++)
            if (random() & 1) {
                ASSERT_EQ(worldSetCell(universe, left + x, top + y, 1), 1);
            }
    app.scene = &scene;
    app.world = universe;
    app.screen = renderScreenOf(W, H);
    app.originX = left + 7;
    app.originY = top + 7;
    std::vector<std::unique_ptr<Box>> owned;
    std::vector<Box*> boxes;
    for (int32_t y = 0; y < 14; y++)
        for (int32_t x = 0; x < 14; x++)
            if (worldGetCell(universe, left + x, top + y)) {
                owned.push_back(std::make_unique<Box>(60, 0xE04030));
                matTranslate(&owned.back()->model, (float)(x - 7) * 100, (float)(y - 7) * 100, 0);
                boxes.push_back(owned.back().get());
            }

    struct View {
        float yaw, pitch, x, y, z;
    } views[] = {{0, 0, 0, 0, -750}, {0.25f, 0.4f, 100, -200, -800}, {-0.2f, 0.35f, 300, -350, -900}};
    for (int workers = 1; workers <= 3; workers += 2) {
        ASSERT_EQ(renderWorkersStart(workers), 1);
        for (const View& v : views) {
            Matrix4 view;
            matIdentity(&view);
            matTranslate(&view, v.x, v.y, v.z);
            matRotateY(&view, v.yaw);
            matRotateX(&view, v.pitch);
            Matrix4 worldToView;
            matInverse(&view, &worldToView);
            RenderScene frameScene;
            placeFrameCells(&worldToView, &frameScene);
            ASSERT_EQ(frameScene.modelCount, 1) << "no stand-ins";
            EXPECT_EQ(frameScene.models[0].placementCount, (int32_t)boxes.size());
            std::vector<uint32_t> frame(W * H, 0);
            renderFrame(&frameScene, frame.data());
            Reference ref = drawReference(boxes, view);
            int compared = 0, bad = 0, covered = 0;
            for (int k = 0; k < W * H; k++) {
                covered += ref.nearest[k] > 0;
                if (ref.edge[k] || (ref.second[k] > 0 && ref.nearest[k] - ref.second[k] < 3 * ref.slope[k]))
                    continue;
                compared++;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int got = frame[k] >> shift & 0xFF, want = ref.colour[k] >> shift & 0xFF;
                    if (got > want + 1 || got < want - 4) {
                        if (bad < 5)
                            ADD_FAILURE() << "view " << (&v - views) << " workers " << workers << " pixel " << k % W
                                          << "," << k / W << " got " << std::hex << frame[k] << " want "
                                          << ref.colour[k];
                        bad++;
                        break;
                    }
                }
            }
            EXPECT_EQ(bad, 0);
            EXPECT_GT(covered, W * H / 10) << "the cells fill a good part of view " << (&v - views);
            EXPECT_GT(compared, W * H * 6 / 10);
        }
    }
    renderWorkersStop();
    frameCellsRelease();
    app.scene = nullptr;
    app.world = nullptr;
    worldRelease(universe);
}
