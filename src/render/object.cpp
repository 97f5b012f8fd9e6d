#include <cmath>
#include <cstring>

#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"

Texture* renderFaceTexture(const Face* face, const Material* materials, int32_t materialCount)
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

static inline void toView(const MeshVertex* p, const float* m, ClipVertex* out)
{
    out->x = p->x * m[0] + p->y * m[4] + p->z * m[8] + m[12];
    out->y = p->x * m[1] + p->y * m[5] + p->z * m[9] + m[13];
    out->z = p->x * m[2] + p->y * m[6] + p->z * m[10] + m[14];
    out->u = p->u;
    out->v = p->v;
}

// There is no near plane: a polygon with a vertex closer than 0.1 (or a NaN
// depth) is dropped whole, so such a vertex is only flagged: false, and v is
// left as it was. The halves are the screen's, truncated to whole pixels.
static inline bool project(ClipVertex* v, float halfWidth, float halfHeight)
{
    if (!(v->z >= 0.1f))
        return false;
    v->x = renderer.focal * v->x / v->z + halfWidth;
    v->y = renderer.focal * v->y / v->z + halfHeight;
    return true;
}

// A draw whose mesh lies wholly inside the frustum needs only each vertex's
// projected point (no face is clipped); one across the frustum needs only
// the view position, as clipping comes before projection. Meshes with more
// vertices than the band's cache holds, or with face corners that are not
// their own vertices, take each face on its own.
//
// A new stamp makes every cached vertex stale; on wrap-around the stamps
// start afresh.
static void newStamp(RenderBand* band)
{
    if (++band->stamp == 0) {
        for (CachedVertex& entry : band->vertices)
            entry.stamp = 0;
        band->stamp = 1;
    }
}

// Vertex k of a mesh inside the frustum, projected; false when it lies in
// front of the depth limit. A vertex met for the first time is handed back
// from registers: read back from the cache at once, it would wait on its own
// stores.
static inline bool screenVertex(RenderBand* band, const MeshVertex* vertex, int32_t k, const float* m,
    float halfWidth, float halfHeight, ClipVertex* out)
{
    CachedVertex& entry = band->vertices[k];
    if (entry.stamp == band->stamp) {
        *out = entry.screen;
        return entry.inFront;
    }
    ClipVertex v;
    toView(vertex, m, &v);
    const bool inFront = project(&v, halfWidth, halfHeight);
    entry.screen = v;
    entry.inFront = inFront;
    entry.stamp = band->stamp;
    *out = v;
    return inFront;
}

// Vertex k of a mesh across the frustum, in view space.
static inline void viewVertex(RenderBand* band, const MeshVertex* vertex, int32_t k, const float* m, ClipVertex* out)
{
    CachedVertex& entry = band->vertices[k];
    if (entry.stamp != band->stamp) {
        toView(vertex, m, &entry.view);
        entry.stamp = band->stamp;
    }
    *out = entry.view;
}

// A mesh of flat quads wholly inside the frustum, faces 2i and 2i + 1 the
// halves of quad i, on one plane and of one texture: the eye and the light
// are judged once a quad, and a quad whose halves light no pixel lights the
// one its middle falls in.
static void renderQuads(RenderBand* band, const MeshObject* mesh, const float* m, float ex, float ey, float ez,
    Texture* texture)
{
    const float halfWidth = (float)(renderer.width / 2), halfHeight = (float)(renderer.height / 2);
    for (int32_t f = 0; f + 1 < mesh->faceCount; f += 2) {
        const Plane& plane = mesh->faces[f].plane;
        if (plane.a * ex + plane.b * ey + plane.c * ez + plane.d > 0.1f)
            continue;
        const int32_t light = lightFromNormalZ(plane.a * m[2] + plane.b * m[6] + plane.c * m[10]);
        ClipPolygon halves[2];
        bool inFront = true;
        for (int32_t h = 0; h < 2; h++) {
            const Face* face = &mesh->faces[f + h];
            halves[h].count = 3;
            for (int i = 0; i < 3; i++) {
                const int32_t k = (int32_t)(face->corners[i] - mesh->vertices);
                inFront = screenVertex(band, face->corners[i], k, m, halfWidth, halfHeight, &halves[h].v[i]) && inFront;
            }
        }
        if (!inFront)
            continue;
        int lit = 0;
        rasterizePolygonLit(band, &halves[0], texture, light, &lit);
        rasterizePolygonLit(band, &halves[1], texture, light, &lit);
        if (!lit)
            rasterizeQuadPixel(band, &halves[0], &halves[1], texture, light);
    }
}

void renderObject(RenderBand* band, const Matrix4* objectMatrix, const Matrix4* worldToView, const MeshObject* mesh,
    const Material* materials, int32_t materialCount, int32_t quads)
{
    Matrix4 objectToView, viewToObject;
    matMultiply(&objectToView, objectMatrix, worldToView);
    const float* m = objectToView.m;
    const float halfWidth = (float)(renderer.width / 2), halfHeight = (float)(renderer.height / 2);

    MeshBounds bounds;
    if (mesh->bounds.known)
        bounds = mesh->bounds;
    else
        measureMesh(mesh, &bounds);
    const bool cached = bounds.cornersOwn && mesh->vertexCount <= CACHED_VERTICES;
    MeshInFrustum placement = MESH_ACROSS;
    if (cached) {
        placement = cullMesh(band, &bounds, m, quads);
        if (placement == MESH_OUTSIDE)
            return;
        newStamp(band);
    }
    // The eye in object space, for the back-face test.
    matInverse(&objectToView, &viewToObject);
    const float ex = viewToObject.m[12], ey = viewToObject.m[13], ez = viewToObject.m[14];

    // Flat quads wholly inside the frustum, each lighting a pixel however small.
    if (quads && placement == MESH_INSIDE) {
        renderQuads(band, mesh, m, ex, ey, ez, renderFaceTexture(&mesh->faces[0], materials, materialCount));
        return;
    }
    for (int32_t f = 0; f < mesh->faceCount; f++) {
        const Face* face = &mesh->faces[f];
        const Plane& plane = face->plane;
        // The eye on the front side of the plane, beyond 0.1, sees the back.
        if (plane.a * ex + plane.b * ey + plane.c * ez + plane.d > 0.1f)
            continue;
        const int32_t light = lightFromNormalZ(plane.a * m[2] + plane.b * m[6] + plane.c * m[10]);
        ClipPolygon polygon;
        bool inFront = true;
        if (placement == MESH_INSIDE) {
            // Unclipped: the triangle as it stands, projected.
            polygon.count = 3;
            for (int i = 0; i < 3; i++) {
                const int32_t k = (int32_t)(face->corners[i] - mesh->vertices);
                inFront = screenVertex(band, face->corners[i], k, m, halfWidth, halfHeight, &polygon.v[i]) && inFront;
            }
        } else {
            ClipVertex corners[3];
            for (int i = 0; i < 3; i++) {
                if (cached)
                    viewVertex(band, face->corners[i], (int32_t)(face->corners[i] - mesh->vertices), m, &corners[i]);
                else
                    toView(face->corners[i], m, &corners[i]);
            }
            polygon = clipTriangle(corners[0], corners[1], corners[2], renderer.frustum);
            if (polygon.count == 0)
                continue;
            // The triangle back whole: its points are the mesh's own.
            if (placement == MESH_ACROSS_CLIPPED_ONLY && polygon.count == 3 &&
                memcmp(polygon.v, corners, sizeof corners) == 0)
                continue;
            for (int32_t i = 0; inFront && i < polygon.count; i++)
                inFront = project(&polygon.v[i], halfWidth, halfHeight);
        }
        if (inFront)
            rasterizePolygon(band, &polygon, renderFaceTexture(face, materials, materialCount), light);
    }
}
