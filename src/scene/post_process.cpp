#include "scene/scene.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"

static int planeIsFinite(const Plane& p)
{
    return std::isfinite(p.a) && std::isfinite(p.b) && std::isfinite(p.c) && std::isfinite(p.d);
}

// A zero-area face (or one so large that its values overflow) gets the zero
// plane: no NaN reaches the back-face test or the light.
Plane computeFacePlane(const Face* face)
{
    const MeshVertex* p0 = face->corners[0];
    const MeshVertex* p1 = face->corners[1];
    const MeshVertex* p2 = face->corners[2];
    const float ax = p1->x - p0->x, ay = p1->y - p0->y, az = p1->z - p0->z;
    const float bx = p2->x - p0->x, by = p2->y - p0->y, bz = p2->z - p0->z;
    const float nx = by * az - bz * ay;
    const float ny = bz * ax - bx * az;
    const float nz = bx * ay - by * ax;
    // Squares summed in double so large coordinates do not overflow; the length
    // is then rounded to float.
    const float len = (float)std::sqrt((double)nx * nx + (double)ny * ny + (double)nz * nz);
    Plane plane = {0.0f, 0.0f, 0.0f, 0.0f};
    if (!(len > 0.0f) || !std::isfinite(len))
        return plane;
    plane.a = nx / len;
    plane.b = ny / len;
    plane.c = nz / len;
    plane.d = -(plane.a * p0->x + plane.b * p0->y + plane.c * p0->z);
    if (!planeIsFinite(plane))
        plane = Plane{0.0f, 0.0f, 0.0f, 0.0f};
    return plane;
}

void computeFacePlanes(MeshObject* object)
{
    for (int32_t i = 0; i < object->faceCount; i++)
        object->faces[i].plane = computeFacePlane(&object->faces[i]);
}

void measureMesh(const MeshObject* object, MeshBounds* out)
{
    *out = MeshBounds{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, 0, 1};
    if (object->vertexCount <= 0 || !object->vertices)
        return;
    const MeshVertex* v = object->vertices;
    float* low = out->low;
    float* high = out->high;
    low[0] = high[0] = v[0].x;
    low[1] = high[1] = v[0].y;
    low[2] = high[2] = v[0].z;
    for (int32_t i = 1; i < object->vertexCount; i++) {
        const float p[3] = {v[i].x, v[i].y, v[i].z};
        for (int k = 0; k < 3; k++) {
            low[k] = p[k] < low[k] ? p[k] : low[k];
            high[k] = p[k] > high[k] ? p[k] : high[k];
        }
    }
    const uintptr_t first = (uintptr_t)v;
    const uintptr_t size = (uintptr_t)object->vertexCount * sizeof(MeshVertex);
    int32_t own = 1;
    for (int32_t f = 0; own && f < object->faceCount; f++) {
        for (int i = 0; i < 3; i++) {
            const uintptr_t offset = (uintptr_t)object->faces[f].corners[i] - first;
            own = own && offset < size && offset % sizeof(MeshVertex) == 0;
        }
    }
    out->cornersOwn = own;
}

// One face corner: its position and the face's normal. `order` (face x 3 +
// corner) keeps the sum of each vertex in face order, as a plain loop over the
// faces would add them.
struct CornerNormal {
    float x, y, z;
    int32_t order;
    float a, b, c;
};

// Exact float comparison, as the positions are matched (-0 equals +0).
static bool positionLess(float ax, float ay, float az, float bx, float by, float bz)
{
    if (ax != bx)
        return ax < bx;
    if (ay != by)
        return ay < by;
    return az < bz;
}

static bool cornerLess(const CornerNormal& l, const CornerNormal& r)
{
    if (positionLess(l.x, l.y, l.z, r.x, r.y, r.z))
        return true;
    if (positionLess(r.x, r.y, r.z, l.x, l.y, l.z))
        return false;
    return l.order < r.order;
}

// Every vertex gets the normalised sum of the plane normals of all corners at
// its exact position. Sorting the corners by position keeps this at
// (vertices + faces) log faces instead of vertices x faces x 3. A vertex that
// no corner matches, or whose sum cancels out, gets (0, 0, 0).
int computeVertexNormals(MeshObject* object)
{
    const int32_t cornerCount = object->faceCount * 3;
    CornerNormal* corners = (CornerNormal*)heapAlloc((size_t)(cornerCount > 0 ? cornerCount : 1) * sizeof(CornerNormal));
    if (!corners)
        return 0;
    for (int32_t f = 0; f < object->faceCount; f++) {
        const Face& face = object->faces[f];
        for (int k = 0; k < 3; k++) {
            CornerNormal& c = corners[3 * f + k];
            c.x = face.corners[k]->x;
            c.y = face.corners[k]->y;
            c.z = face.corners[k]->z;
            c.order = 3 * f + k;
            c.a = face.plane.a;
            c.b = face.plane.b;
            c.c = face.plane.c;
        }
    }
    std::sort(corners, corners + cornerCount, cornerLess);
    for (int32_t i = 0; i < object->vertexCount; i++) {
        MeshVertex& v = object->vertices[i];
        const float x = v.x + 0.0f, y = v.y + 0.0f, z = v.z;
        CornerNormal* first = std::partition_point(corners, corners + cornerCount, [&](const CornerNormal& c) {
            return positionLess(c.x, c.y, c.z, x, y, z);
        });
        float nx = 0.0f, ny = 0.0f, nz = 0.0f;
        for (CornerNormal* c = first; c < corners + cornerCount && c->x == x && c->y == y && c->z == z; c++) {
            nx += c->a;
            ny += c->b;
            nz += c->c;
        }
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (len > 0.0f && std::isfinite(len)) {
            nx /= len;
            ny /= len;
            nz /= len;
        } else {
            nx = ny = nz = 0.0f;
        }
        v.nx = nx;
        v.ny = ny;
        v.nz = nz;
    }
    heapFree(corners);
    return 1;
}

static void setRow(Matrix4* m, int row, float x, float y, float z)
{
    m->m[4 * row + 0] = x;
    m->m[4 * row + 1] = y;
    m->m[4 * row + 2] = z;
}

// The pose from the first position key towards the first target key. A target
// on the position keeps the identity rotation; one straight above or below
// takes +x as its right vector, since the usual one (-fz, 0, fx) vanishes.
void computeCameraMatrix(Camera* camera)
{
    Matrix4* m = &camera->matrix;
    matIdentity(m);
    if (!camera->positionX || !camera->positionY || !camera->positionZ || camera->positionKeyCount <= 0)
        return;
    const float px = camera->positionX[0], py = camera->positionY[0], pz = camera->positionZ[0];
    setRow(m, 3, px, py, pz);
    if (!camera->targetX || !camera->targetY || !camera->targetZ || camera->targetKeyCount <= 0)
        return;
    const float dx = camera->targetX[0] - px, dy = camera->targetY[0] - py, dz = camera->targetZ[0] - pz;
    const float len = (float)std::sqrt((double)dx * dx + (double)dy * dy + (double)dz * dz);
    if (!(len > 0.0f) || !std::isfinite(len))
        return;
    const float fx = dx / len, fy = dy / len, fz = dz / len;
    const float flat = (float)std::sqrt((double)fx * fx + (double)fz * fz);
    float r[3], u[3];
    if (flat > 0.0f) {
        r[0] = -fz / flat;
        r[1] = 0.0f;
        r[2] = fx / flat;
        const float ux = fx * fy, uy = -(fx * fx + fz * fz), uz = fz * fy;
        const float ulen = std::sqrt(ux * ux + uy * uy + uz * uz);
        u[0] = ux / ulen;
        u[1] = uy / ulen;
        u[2] = uz / ulen;
    } else {
        r[0] = 1.0f;
        r[1] = 0.0f;
        r[2] = 0.0f;
        u[0] = 0.0f;
        u[1] = fz;
        u[2] = -fy;
    }
    const float rows[3][3] = {{r[0], r[1], r[2]}, {u[0], u[1], u[2]}, {fx, fy, fz}};
    for (const auto& row : rows) {
        for (float value : row) {
            if (!std::isfinite(value))
                return;
        }
    }
    for (int i = 0; i < 3; i++)
        setRow(m, i, rows[i][0], rows[i][1], rows[i][2]);
}
