// Files written by another tool: assimp converts Wavefront OBJ meshes to 3DS
// and counts meshes and faces on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "scene/scene.h"
#include "support/support.h"

namespace {

bool haveAssimp()
{
    return runCommand("command -v assimp >/dev/null 2>&1", nullptr) == 0;
}

// The number after "<label>:" in `assimp info` output, or -1.
long infoCount(const std::string& info, const std::string& label)
{
    std::istringstream lines(info);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(label + ":", 0) == 0)
            return std::stol(line.substr(label.size() + 1));
    }
    return -1;
}

struct Vec {
    float x, y, z;
    bool operator<(const Vec& o) const
    {
        return x != o.x ? x < o.x : (y != o.y ? y < o.y : z < o.z);
    }
};

struct ObjModel {
    std::string text;
    std::vector<Vec> points;
    // Triangle (as OBJ positions, in file order) -> material name.
    std::map<std::vector<Vec>, std::string> triangles;
};

// A grid of n x n quads per object, two triangles each, lying in the OBJ's
// y = height plane, with one material per object.
ObjModel gridModel(int objects, int n)
{
    ObjModel m;
    std::ostringstream obj;
    obj << "mtllib model.mtl\n";
    int base = 1;
    for (int o = 0; o < objects; o++) {
        obj << "o part" << o << "\nusemtl mat" << o << "\n";
        for (int i = 0; i <= n; i++)
            for (int j = 0; j <= n; j++) {
                const Vec v = {(float)i, (float)o, (float)j};
                m.points.push_back(v);
                obj << "v " << v.x << " " << v.y << " " << v.z << "\nvt " << i / (float)n << " " << j / (float)n << "\n";
            }
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                const int a = base + i * (n + 1) + j, b = a + n + 1, c = b + 1, d = a + 1;
                const int tris[2][3] = {{a, b, c}, {a, c, d}};
                for (const auto& t : tris) {
                    obj << "f " << t[0] << "/" << t[0] << " " << t[1] << "/" << t[1] << " " << t[2] << "/" << t[2] << "\n";
                    std::vector<Vec> key;
                    for (int k : t)
                        key.push_back(m.points[(size_t)(k - 1)]);
                    m.triangles[key] = "mat" + std::to_string(o);
                }
            }
        base += (n + 1) * (n + 1);
    }
    m.text = obj.str();
    return m;
}

} // namespace

TEST(RealFiles, AssimpExportMatchesTheSourceMesh)
{
    if (!haveAssimp())
        GTEST_SKIP() << "assimp (Debian package assimp-utils) is not installed";
    TempDir dir;
    const ObjModel model = gridModel(2, 6);
    writeFile("model.obj", model.text);
    writeFile("model.mtl", "newmtl mat0\nKd 1 0 0\nnewmtl mat1\nKd 0 0 1\n");
    ASSERT_EQ(runCommand("assimp export model.obj model.3ds >/dev/null 2>&1", nullptr), 0);
    std::string info;
    ASSERT_EQ(runCommand("assimp info model.3ds 2>/dev/null", &info), 0);

    Scene* scene = loadScene("model.3ds");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->objectCount, infoCount(info, "Meshes"));
    long faces = 0;
    for (int32_t i = 0; i < scene->objectCount; i++)
        faces += scene->objects[i].faceCount;
    EXPECT_EQ(faces, infoCount(info, "Faces"));
    EXPECT_EQ(faces, (long)model.triangles.size());

    // Every stored face, taken back to file order (corners 0, 2, 1) and file
    // axes (x, z, y), is one of the source triangles with its material.
    std::set<std::vector<Vec>> seen;
    for (int32_t i = 0; i < scene->objectCount; i++) {
        const MeshObject& o = scene->objects[i];
        for (int32_t f = 0; f < o.faceCount; f++) {
            const Face& face = o.faces[f];
            std::vector<Vec> key;
            for (int k : {0, 2, 1}) {
                ASSERT_GE(face.corners[k], o.vertices);
                ASSERT_LT(face.corners[k], o.vertices + o.vertexCount);
                key.push_back({face.corners[k]->x, face.corners[k]->z, face.corners[k]->y});
            }
            const auto found = model.triangles.find(key);
            ASSERT_NE(found, model.triangles.end()) << "object " << i << " face " << f;
            seen.insert(key);
            ASSERT_GE(face.material, 0);
            ASSERT_LT(face.material, scene->materialCount);
            EXPECT_EQ(std::string(scene->materials[face.material].name).rfind(found->second, 0), 0u);
            // Each grid lies flat: the plane normal is the OBJ's y axis (stored z).
            EXPECT_NEAR(std::fabs(face.plane.c), 1.0f, 1e-6f);
        }
        for (int32_t v = 0; v < o.vertexCount; v++) {
            const MeshVertex& m = o.vertices[v];
            EXPECT_NEAR(m.nx * m.nx + m.ny * m.ny + m.nz * m.nz, 1.0f, 1e-5f);
            EXPECT_TRUE(m.u >= 0 && m.u <= 1 && m.v >= 0 && m.v <= 1);
        }
    }
    EXPECT_EQ(seen.size(), model.triangles.size());
    sceneRelease(scene);
}

TEST(RealFiles, InspectPrintsTheScene)
{
    TempDir dir;
    // One material, one object with three vertices and one face, written by
    // hand: file vertex (1, 2, 3) is printed as (1, 3, 2).
    auto chunk = [](unsigned id, const std::string& body) {
        return Bytes().u16(id).u32((unsigned)(6 + body.size())).data + body;
    };
    const std::string points = chunk(0x4110, Bytes().u16(3).f32(1).f32(2).f32(3).f32(0).f32(0).f32(0).f32(0.5f).f32(0).f32(0).data);
    const std::string faces = chunk(0x4120, Bytes().u16(1).u16(0).u16(1).u16(2).u16(0).data);
    const std::string uv = chunk(0x4140, Bytes().u16(1).f32(0.25f).f32(1).data);
    const std::string object = chunk(0x4000, Bytes().str("tri").data + chunk(0x4100, points + faces + uv));
    const std::string material = chunk(0xAFFF, chunk(0xA000, Bytes().str("skin").data));
    writeFile("m.3ds", chunk(0x4D4D, chunk(0x3D3D, material + object)));
    std::string out;
    const std::string tool = std::string(VELTRIX_BIN_DIR) + "/veltrix-inspect";
    ASSERT_EQ(runCommand(tool + " scene m.3ds", &out), 0);
    EXPECT_EQ(out,
              "{\"firstFrame\": 0, \"lastFrame\": 0, \"materials\": [\"skin\"], \"objects\": [{\"name\": \"tri\", "
              "\"vertexCount\": 3, \"faceCount\": 1, \"vertices\": [[1, 3, 2, 0.25, 1], [0, 0, 0, 0, 0], [0.5, 0, 0, 0, 0]], "
              "\"faces\": [[0, 0, 2, 1]], \"positionKeyCount\": 0, \"rotationKeyCount\": 0}], \"lights\": [], "
              "\"cameras\": []}\n");
    // Points given again after the face: the face keeps the earlier ones and
    // prints them as positions.
    const std::string again = chunk(0x4110, Bytes().u16(1).f32(5).f32(6).f32(7).data);
    writeFile("r.3ds", chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, Bytes().str("tri").data + chunk(0x4100, points + faces + again)))));
    out.clear();
    ASSERT_EQ(runCommand(tool + " scene r.3ds", &out), 0);
    EXPECT_EQ(out,
              "{\"firstFrame\": 0, \"lastFrame\": 0, \"materials\": [], \"objects\": [{\"name\": \"tri\", "
              "\"vertexCount\": 1, \"faceCount\": 1, \"vertices\": [[5, 7, 6, 0, 0]], "
              "\"faces\": [[-1, [1, 3, 2], [0.5, 0, 0], [0, 0, 0]]], \"positionKeyCount\": 0, \"rotationKeyCount\": 0}], "
              "\"lights\": [], \"cameras\": []}\n");
    writeFile("bad.3ds", Bytes().u16(0x4D4D).u32(0).data);
    out.clear();
    EXPECT_EQ(runCommand(tool + " scene bad.3ds", &out), 1);
    EXPECT_EQ(out, "{\"error\": \"bad.3ds: chunk 0x4D4D at byte 0 has length 0\"}\n");
}
