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

// The mesh's vertices in view space, each transformed once per object (when
// a face facing the eye first needs it) rather than once per face that uses
// it; with the whole mesh inside the frustum no face is clipped, so each
// vertex is also projected once. Bigger meshes take the per-face road.
enum { VIEW_VERTICES = 4096 };
static ClipVertex viewVertices[VIEW_VERTICES];
static ClipVertex screenVertices[VIEW_VERTICES];
static bool screenVertexNear[VIEW_VERTICES];
static uint32_t viewStamp[VIEW_VERTICES];
static uint32_t currentStamp = 0;

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

// There is no near plane: a polygon with a vertex closer than 0.1 (or a NaN
// depth) is dropped whole, so such a vertex is only flagged.
static inline bool project(ClipVertex* v, int32_t halfWidth, int32_t halfHeight)
{
    if (!(v->z >= 0.1f))
        return false;
    v->x = focal * v->x / v->z + (float)halfWidth;
    v->y = focal * v->y / v->z + (float)halfHeight;
    return true;
}

// Where the whole mesh lies against the frustum, judged from the corners of
// its bounding box: OUTSIDE when every corner lies clearly outside one plane,
// so that every vertex does and the clipper drops each face; INSIDE when
// every corner lies clearly inside every plane, so that the clipper returns
// each face unchanged; ACROSS otherwise. A plane's value is affine, so the
// vertices' values lie between the corners'; "clearly" is a margin far above
// the float rounding of the transform and of the sums, so rounding never
// turns a judgement.
enum Placement { OUTSIDE, INSIDE, ACROSS };

static Placement placeMesh(const MeshBounds* bounds, const float* m)
{
    const float* low = bounds->low;
    const float* high = bounds->high;
    ClipVertex corners[8];
    float size = 0.0f;
    for (int c = 0; c < 8; c++) {
        const MeshVertex corner = {c & 1 ? high[0] : low[0], c & 2 ? high[1] : low[1], c & 4 ? high[2] : low[2],
            0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        toView(&corner, m, &corners[c]);
        size = fmaxf(size, fabsf(corners[c].x) + fabsf(corners[c].y) + fabsf(corners[c].z));
    }
    // A NaN or infinite box decides nothing.
    if (!(size < 1e30f))
        return ACROSS;
    const float margin = 1.0f + size * 1e-4f;
    bool inside = true;
    for (int k = 0; k < 4; k++) {
        const Plane& plane = frustumPlanes[k];
        bool outside = true;
        for (int c = 0; c < 8; c++) {
            const float s = plane.a * corners[c].x + plane.b * corners[c].y + plane.c * corners[c].z + plane.d;
            outside = outside && s < -margin;
            inside = inside && s > margin;
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

    MeshBounds bounds;
    if (mesh->bounds.known)
        bounds = mesh->bounds;
    else
        measureMesh(mesh, &bounds);
    // Shared vertices only when every corner is one of the mesh's own.
    const bool shared = bounds.cornersOwn && mesh->vertexCount <= VIEW_VERTICES;
    Placement placement = ACROSS;
    if (shared) {
        placement = placeMesh(&bounds, m);
        if (placement == OUTSIDE)
            return;
        // A new stamp marks every cached vertex stale; on wrap-around the
        // stamps start afresh.
        if (++currentStamp == 0) {
            memset(viewStamp, 0, sizeof viewStamp);
            currentStamp = 1;
        }
    }

    for (int32_t f = 0; f < mesh->faceCount; f++) {
        const Face* face = &mesh->faces[f];
        const Plane& plane = face->plane;
        // The eye on the front side of the plane, beyond 0.1, sees the back.
        if (plane.a * ex + plane.b * ey + plane.c * ez + plane.d > 0.1f)
            continue;
        faceLight = lightFromNormalZ(plane.a * m[2] + plane.b * m[6] + plane.c * m[10]);
        ClipPolygon polygon;
        if (placement == INSIDE) {
            bool near = true;
            polygon.count = 3;
            for (int i = 0; i < 3; i++) {
                const int32_t k = (int32_t)(face->corners[i] - mesh->vertices);
                // A vertex met first is used from registers: read back at
                // once, the cache entry would stall on its own stores.
                if (viewStamp[k] != currentStamp) {
                    ClipVertex v;
                    toView(face->corners[i], m, &v);
                    const bool vertexNear = project(&v, halfWidth, halfHeight);
                    screenVertices[k] = v;
                    screenVertexNear[k] = vertexNear;
                    viewStamp[k] = currentStamp;
                    near = near && vertexNear;
                    polygon.v[i] = v;
                } else {
                    near = near && screenVertexNear[k];
                    polygon.v[i] = screenVertices[k];
                }
            }
            if (!near)
                continue;
        } else {
            ClipVertex corners[3];
            for (int i = 0; i < 3; i++) {
                if (shared) {
                    const int32_t k = (int32_t)(face->corners[i] - mesh->vertices);
                    if (viewStamp[k] != currentStamp) {
                        toView(face->corners[i], m, &viewVertices[k]);
                        viewStamp[k] = currentStamp;
                    }
                    corners[i] = viewVertices[k];
                } else {
                    toView(face->corners[i], m, &corners[i]);
                }
            }
            polygon = clipTriangle(corners[0], corners[1], corners[2], frustumPlanes);
            if (polygon.count == 0)
                continue;
            bool near = true;
            for (int32_t i = 0; near && i < polygon.count; i++)
                near = project(&polygon.v[i], halfWidth, halfHeight);
            if (!near)
                continue;
        }
        rasterizePolygon(&polygon, faceTexture(face, materials, materialCount));
    }
}
