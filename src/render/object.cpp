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
// its bounding box: OUTSIDE when every vertex lies outside one plane, so that
// the clipper drops each face on its first look; INSIDE when every vertex
// lies inside every plane, so that the clipper returns each face unchanged;
// ACROSS otherwise, and whenever that cannot be proved.
//
// The proof: a plane's exact value at a vertex is affine in its object
// position, so over the box it lies between the values at the corners, which
// double precision gets to within a few 2^-53 of their size (a product of two
// floats is exact there). The clipper sees instead the value computed in
// float from the vertex's view position, itself computed in float: two sums
// of four terms, each off by at most 4u / (1 - 4u) (u = 2^-24) of the sum of
// its terms' magnitudes. With P the box's largest magnitude per axis,
// M = P.x |m0| + P.y |m4| + P.z |m8| + |m12| bounds that sum for view x (and
// likewise y and z), and the plane value is off by at most about
// 2 * 4u * (|a| Mx + |b| My + |c| Mz + |d|) = 4.8e-7 of that sum. The margin
// takes 1e-6 of it, with room for the corners' own rounding, plus a little
// for products that fall below the normal range. Nothing here can overflow
// while the sum stays below 1e30; past that the short cuts are not taken.
enum Placement { OUTSIDE, INSIDE, ACROSS };

static Placement placeMesh(const MeshBounds* bounds, const float* m)
{
    double extent[3];
    for (int i = 0; i < 3; i++)
        extent[i] = fmax(fabs((double)bounds->low[i]), fabs((double)bounds->high[i]));
    double reach[3];
    for (int j = 0; j < 3; j++)
        reach[j] = extent[0] * fabs((double)m[j]) + extent[1] * fabs((double)m[4 + j]) +
            extent[2] * fabs((double)m[8 + j]) + fabs((double)m[12 + j]);
    double corners[8][3];
    for (int c = 0; c < 8; c++) {
        const double x = c & 1 ? bounds->high[0] : bounds->low[0];
        const double y = c & 2 ? bounds->high[1] : bounds->low[1];
        const double z = c & 4 ? bounds->high[2] : bounds->low[2];
        for (int j = 0; j < 3; j++)
            corners[c][j] = x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j];
    }
    bool inside = true;
    for (int k = 0; k < 4; k++) {
        const Plane& plane = frustumPlanes[k];
        const double terms = fabs((double)plane.a) * reach[0] + fabs((double)plane.b) * reach[1] +
            fabs((double)plane.c) * reach[2] + fabs((double)plane.d);
        // A NaN or infinite box, matrix or plane decides nothing.
        if (!(terms < 1e30))
            return ACROSS;
        const double margin = 1e-6 * terms + 1e-37;
        bool outside = true;
        for (int c = 0; c < 8; c++) {
            const double s = plane.a * corners[c][0] + plane.b * corners[c][1] + plane.c * corners[c][2] + plane.d;
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
