// The cell model: a box with chamfered edges and corners, written as a 3DS
// chunk file. The flat faces carry the "Body" material, the chamfers "Trim".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "datagen.h"

const AtlasRecipe cellMaterials[2] = {{"Body", 256, 256, PICTURE_BODY}, {"Trim", 256, 64, PICTURE_TRIM}};

namespace {

// Half sizes of the box in the program's axes: x and y lie in the board's
// plane, z points away from the camera (the file's y). The camera starts 50
// units in front of the board, so the box stays well short of it.
const float halfSize[3] = {30.0f, 30.0f, 22.0f};
const float chamfer = 7.0f;
// The trim atlas' finest level is four times wider than high; corners take a
// quarter of its width so their texels stay about square.
const float cornerU = 0.25f;

struct Vertex {
    float p[3]; // program axes (x, y, z)
    float u, v;
};

struct Triangle {
    int a, b, c;
    int material;
};

struct Mesh {
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
};

// The file keeps (x, y, z) where the program uses (x, z, y).
void fileAxes(const float p[3], float out[3])
{
    out[0] = p[0];
    out[1] = p[2];
    out[2] = p[1];
}

// Adds a triangle wound counter-clockwise seen from outside in the file's own
// right-handed axes (the box is convex and centred on the origin). The loader
// turns that into a plane whose normal points into the box, which is what its
// back-face test and lighting expect.
void addTriangle(Mesh& mesh, int a, int b, int c, int material)
{
    float pa[3], pb[3], pc[3];
    fileAxes(mesh.vertices[a].p, pa);
    fileAxes(mesh.vertices[b].p, pb);
    fileAxes(mesh.vertices[c].p, pc);
    float e1[3], e2[3], centre[3];
    for (int i = 0; i < 3; i++) {
        e1[i] = pb[i] - pa[i];
        e2[i] = pc[i] - pa[i];
        centre[i] = pa[i] + pb[i] + pc[i];
    }
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    if (n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2] < 0)
        mesh.triangles.push_back({a, c, b, material});
    else
        mesh.triangles.push_back({a, b, c, material});
}

int addVertex(Mesh& mesh, float x, float y, float z, float u, float v)
{
    mesh.vertices.push_back({{x, y, z}, u, v});
    return (int)mesh.vertices.size() - 1;
}

// Corners in cyclic order; the quad is cut along its first diagonal.
void addQuad(Mesh& mesh, const int q[4], int material)
{
    addTriangle(mesh, q[0], q[1], q[2], material);
    addTriangle(mesh, q[0], q[2], q[3], material);
}

// The six flat faces, each mapped to the whole texture once. Faces across z
// (the one the camera looks at, and the one on the board) run u along -x and
// v along -y, which is left to right and top to bottom on the starting screen;
// side faces run v along z.
void addFlatFaces(Mesh& mesh)
{
    for (int axis = 0; axis < 3; axis++) {
        const int i = axis == 2 ? 0 : (axis == 0 ? 1 : 0);
        const int j = axis == 2 ? 1 : 2;
        const float ei = halfSize[i] - chamfer, ej = halfSize[j] - chamfer;
        for (int sign = -1; sign <= 1; sign += 2) {
            int q[4];
            const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            for (int k = 0; k < 4; k++) {
                float p[3];
                p[axis] = (float)sign * halfSize[axis];
                p[i] = corners[k][0] * ei;
                p[j] = corners[k][1] * ej;
                const float s = corners[k][0] * 0.5f + 0.5f, t = corners[k][1] * 0.5f + 0.5f;
                const float u = axis == 2 ? 1.0f - s : s;
                const float v = axis == 2 ? 1.0f - t : t;
                q[k] = addVertex(mesh, p[0], p[1], p[2], u, v);
            }
            addQuad(mesh, q, 0);
        }
    }
}

// The twelve chamfer strips: u along the edge, v across it from the face of
// the lower axis to the face of the higher one.
void addEdgeStrips(Mesh& mesh)
{
    for (int m = 0; m < 3; m++) {
        const int i = m == 0 ? 1 : 0, j = m == 2 ? 1 : 2;
        const float em = halfSize[m] - chamfer;
        for (int si = -1; si <= 1; si += 2) {
            for (int sj = -1; sj <= 1; sj += 2) {
                int q[4];
                const float along[4] = {-1, 1, 1, -1};
                const int onJ[4] = {0, 0, 1, 1};
                for (int k = 0; k < 4; k++) {
                    float p[3];
                    p[m] = along[k] * em;
                    p[i] = (float)si * (onJ[k] ? halfSize[i] - chamfer : halfSize[i]);
                    p[j] = (float)sj * (onJ[k] ? halfSize[j] : halfSize[j] - chamfer);
                    q[k] = addVertex(mesh, p[0], p[1], p[2], along[k] * 0.5f + 0.5f, (float)onJ[k]);
                }
                addQuad(mesh, q, 1);
            }
        }
    }
}

// The eight corner triangles, each cut off one corner of the box.
void addCorners(Mesh& mesh)
{
    for (int c = 0; c < 8; c++) {
        const float s[3] = {(float)(c & 1 ? 1 : -1), (float)(c & 2 ? 1 : -1), (float)(c & 4 ? 1 : -1)};
        const float uv[3][2] = {{0.0f, 0.0f}, {cornerU, 0.0f}, {cornerU * 0.5f, 1.0f}};
        int t[3];
        for (int k = 0; k < 3; k++) {
            float p[3];
            for (int a = 0; a < 3; a++)
                p[a] = s[a] * (a == k ? halfSize[a] : halfSize[a] - chamfer);
            t[k] = addVertex(mesh, p[0], p[1], p[2], uv[k][0], uv[k][1]);
        }
        addTriangle(mesh, t[0], t[1], t[2], 1);
    }
}

// Chunks are opened and closed like brackets; closing one writes its length,
// which covers the 6-byte header, the chunk's own data and its sub-chunks.
struct ChunkWriter {
    std::vector<uint8_t> bytes;
    std::vector<size_t> open;

    void u8(unsigned v) { bytes.push_back((uint8_t)v); }
    void u16(unsigned v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void f32(float f)
    {
        uint32_t v;
        memcpy(&v, &f, 4);
        u32(v);
    }
    void name(const char* s)
    {
        for (; *s; s++)
            u8((uint8_t)*s);
        u8(0);
    }
    void begin(unsigned id)
    {
        open.push_back(bytes.size());
        u16(id);
        u32(0);
    }
    void end()
    {
        const size_t start = open.back();
        open.pop_back();
        const uint32_t length = (uint32_t)(bytes.size() - start);
        for (int k = 0; k < 4; k++)
            bytes[start + 2 + k] = (uint8_t)(length >> (8 * k));
    }
};

enum : unsigned {
    M3DMAGIC = 0x4D4D,
    M3D_VERSION = 0x0002,
    MDATA = 0x3D3D,
    MESH_VERSION = 0x3D3E,
    MAT_ENTRY = 0xAFFF,
    MAT_NAME = 0xA000,
    NAMED_OBJECT = 0x4000,
    N_TRI_OBJECT = 0x4100,
    POINT_ARRAY = 0x4110,
    FACE_ARRAY = 0x4120,
    MSH_MAT_GROUP = 0x4130,
    TEX_VERTS = 0x4140,
    MESH_MATRIX = 0x4160,
    KFDATA = 0xB000,
    KFSEG = 0xB008,
    OBJECT_NODE_TAG = 0xB002,
    NODE_ID = 0xB030,
    NODE_HDR = 0xB010,
    POS_TRACK_TAG = 0xB020,
};

const char* const objectName = "Cell";

void writeMeshObject(ChunkWriter& w, const Mesh& mesh)
{
    w.begin(NAMED_OBJECT);
    w.name(objectName);
    w.begin(N_TRI_OBJECT);

    w.begin(POINT_ARRAY);
    w.u16((unsigned)mesh.vertices.size());
    for (const Vertex& v : mesh.vertices) {
        float f[3];
        fileAxes(v.p, f);
        w.f32(f[0]);
        w.f32(f[1]);
        w.f32(f[2]);
    }
    w.end();

    w.begin(TEX_VERTS);
    w.u16((unsigned)mesh.vertices.size());
    for (const Vertex& v : mesh.vertices) {
        w.f32(v.u);
        w.f32(v.v);
    }
    w.end();

    w.begin(MESH_MATRIX);
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (float f : identity)
        w.f32(f);
    w.end();

    w.begin(FACE_ARRAY);
    w.u16((unsigned)mesh.triangles.size());
    for (const Triangle& t : mesh.triangles) {
        w.u16((unsigned)t.a);
        w.u16((unsigned)t.b);
        w.u16((unsigned)t.c);
        w.u16(7); // edge visibility flags of a closed mesh
    }
    for (int m = 0; m < 2; m++) {
        w.begin(MSH_MAT_GROUP);
        w.name(cellMaterials[m].name);
        std::vector<unsigned> faces;
        for (size_t f = 0; f < mesh.triangles.size(); f++)
            if (mesh.triangles[f].material == m)
                faces.push_back((unsigned)f);
        w.u16((unsigned)faces.size());
        for (unsigned f : faces)
            w.u16(f);
        w.end();
    }
    w.end();

    w.end();
    w.end();
}

// One object node standing still at the origin for the whole segment.
void writeKeyframes(ChunkWriter& w)
{
    w.begin(KFDATA);
    w.begin(KFSEG);
    w.u32(0);
    w.u32(100);
    w.end();
    w.begin(OBJECT_NODE_TAG);
    w.begin(NODE_ID);
    w.u16(0);
    w.end();
    w.begin(NODE_HDR);
    w.name(objectName);
    w.u16(0);
    w.u16(0);
    w.u16(0xFFFF);
    w.end();
    w.begin(POS_TRACK_TAG);
    w.u16(0);
    w.u32(0);
    w.u32(0);
    w.u32(1);
    w.u32(0); // key at frame 0, no spline values
    w.u16(0);
    w.f32(0);
    w.f32(0);
    w.f32(0);
    w.end();
    w.end();
    w.end();
}

} // namespace

int writeCellModel(const std::string& path)
{
    Mesh mesh;
    addFlatFaces(mesh);
    addEdgeStrips(mesh);
    addCorners(mesh);

    ChunkWriter w;
    w.begin(M3DMAGIC);
    w.begin(M3D_VERSION);
    w.u16(3);
    w.end();
    w.begin(MDATA);
    w.begin(MESH_VERSION);
    w.u16(3);
    w.end();
    for (const AtlasRecipe& m : cellMaterials) {
        w.begin(MAT_ENTRY);
        w.begin(MAT_NAME);
        w.name(m.name);
        w.end();
        w.end();
    }
    writeMeshObject(w, mesh);
    w.end();
    writeKeyframes(w);
    w.end();

    FILE* out = fopen(path.c_str(), "wb");
    int ok = out && fwrite(w.bytes.data(), 1, w.bytes.size(), out) == w.bytes.size();
    if (out && fclose(out) != 0)
        ok = 0;
    if (!ok)
        fprintf(stderr, "veltrix-datagen: cannot write %s\n", path.c_str());
    return ok;
}
