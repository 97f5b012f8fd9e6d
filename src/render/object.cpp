#include <cmath>
#include <cstring>

#include "render/render.h"
#include "scene/scene.h"

int32_t faceLight = 0;

static Texture* faceTexture(const Face* face, const Material* materials, int32_t materialCount)
{
    if (face->material >= 0 && face->material < materialCount && materials[face->material].texture)
        return materials[face->material].texture;
    return defaultTexture();
}

// 255 times the view-space z of the face normal, truncated toward zero and
// kept within 0..255 (a NaN gives 0).
static int32_t lightFromNormalZ(float z)
{
    const float scaled = 255.0f * z;
    if (!(scaled > 0.0f))
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return (int32_t)scaled;
}

// The mesh's vertices in view space, each transformed once per object rather
// than once per face that uses it. Bigger meshes take the per-face road.
enum { VIEW_VERTICES = 4096 };
static ClipVertex viewVertices[VIEW_VERTICES];

// The inverse of the last view matrix seen: every cell of a frame is drawn
// with the same one.
static Matrix4 lastView;
static Matrix4 lastViewInverse;
static bool lastViewKnown = false;

static inline void toView(const MeshVertex* p, const float* m, ClipVertex* out)
{
    out->x = p->x * m[0] + p->y * m[4] + p->z * m[8] + m[12];
    out->y = p->x * m[1] + p->y * m[5] + p->z * m[9] + m[13];
    out->z = p->x * m[2] + p->y * m[6] + p->z * m[10] + m[14];
    out->u = p->u;
    out->v = p->v;
}

// The same sum, in the same order, as the clipper's test of a vertex.
static inline float planeValue(const Plane& plane, const ClipVertex& p)
{
    return plane.a * p.x + plane.b * p.y + plane.c * p.z + plane.d;
}

// Index of the vertex a face corner points at, or -1 when it is none of the
// mesh's own.
static inline int32_t vertexIndex(const MeshObject* mesh, const MeshVertex* corner)
{
    const uintptr_t offset = (uintptr_t)corner - (uintptr_t)mesh->vertices;
    if (offset % sizeof(MeshVertex) != 0 || offset / sizeof(MeshVertex) >= (uintptr_t)mesh->vertexCount)
        return -1;
    return (int32_t)(offset / sizeof(MeshVertex));
}

// Where the whole mesh lies against the frustum, judged from every vertex
// with the clipper's own sums: OUTSIDE when all lie strictly outside one plane
// (the clipper drops each face), INSIDE when none lies outside any plane (the
// clipper returns each face unchanged), ACROSS otherwise.
enum Placement { OUTSIDE, INSIDE, ACROSS };

static Placement placeVertices(int32_t count)
{
    bool inside = true;
    for (int k = 0; k < 4; k++) {
        const Plane& plane = frustumPlanes[k];
        bool outside = true;
        for (int32_t i = 0; i < count; i++) {
            const float s = planeValue(plane, viewVertices[i]);
            outside = outside && s < 0.0f;
            inside = inside && s >= 0.0f;
        }
        if (outside)
            return OUTSIDE;
    }
    return inside ? INSIDE : ACROSS;
}

void renderObject(const Matrix4* objectMatrix, const Matrix4* viewMatrix, const MeshObject* mesh,
    const Material* materials, int32_t materialCount)
{
    Matrix4 objectToView, viewToObject;
    if (!lastViewKnown || memcmp(viewMatrix, &lastView, sizeof lastView) != 0) {
        lastView = *viewMatrix;
        matInverse(viewMatrix, &lastViewInverse);
        lastViewKnown = true;
    }
    objectToView = lastViewInverse;
    matMultiply(&objectToView, objectMatrix, &objectToView);
    matInverse(&objectToView, &viewToObject);
    const float* m = objectToView.m;
    const float ex = viewToObject.m[12], ey = viewToObject.m[13], ez = viewToObject.m[14];
    const int32_t halfWidth = renderWidth / 2, halfHeight = renderHeight / 2;

    // Shared vertices only when every corner is one of the mesh's own.
    bool shared = mesh->vertexCount > 0 && mesh->vertexCount <= VIEW_VERTICES && mesh->vertices;
    for (int32_t f = 0; shared && f < mesh->faceCount; f++) {
        for (int i = 0; i < 3; i++)
            shared = shared && vertexIndex(mesh, mesh->faces[f].corners[i]) >= 0;
    }
    Placement placement = ACROSS;
    if (shared) {
        for (int32_t i = 0; i < mesh->vertexCount; i++)
            toView(&mesh->vertices[i], m, &viewVertices[i]);
        placement = placeVertices(mesh->vertexCount);
        if (placement == OUTSIDE)
            return;
    }

    for (int32_t f = 0; f < mesh->faceCount; f++) {
        const Face* face = &mesh->faces[f];
        const Plane& plane = face->plane;
        // The eye on the front side of the plane, beyond 0.1, sees the back.
        if (plane.a * ex + plane.b * ey + plane.c * ez + plane.d > 0.1f)
            continue;
        ClipVertex corners[3];
        for (int i = 0; i < 3; i++) {
            if (shared)
                corners[i] = viewVertices[vertexIndex(mesh, face->corners[i])];
            else
                toView(face->corners[i], m, &corners[i]);
        }
        ClipPolygon polygon;
        if (placement == INSIDE) {
            polygon.count = 3;
            polygon.v[0] = corners[0];
            polygon.v[1] = corners[1];
            polygon.v[2] = corners[2];
        } else {
            polygon = clipTriangle(corners[0], corners[1], corners[2], frustumPlanes);
        }
        faceLight = lightFromNormalZ(plane.a * m[2] + plane.b * m[6] + plane.c * m[10]);
        if (polygon.count == 0)
            continue;
        // No near plane: a polygon reaching closer than 0.1 is dropped whole.
        for (int32_t i = 0; i < polygon.count; i++) {
            ClipVertex& v = polygon.v[i];
            if (!(v.z >= 0.1f)) {
                polygon.count = 0;
                break;
            }
            v.x = focal * v.x / v.z + (float)halfWidth;
            v.y = focal * v.y / v.z + (float)halfHeight;
        }
        rasterizePolygon(&polygon, faceTexture(face, materials, materialCount));
    }
}
