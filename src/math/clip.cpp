#include "math/geometry.h"

#include <cmath>

void planeFromPoints(Plane* out, float x0, float y0, float z0, float x1, float y1, float z1,
                     float x2, float y2, float z2)
{
    const float ux = x1 - x0, uy = y1 - y0, uz = z1 - z0;
    const float vx = x2 - x0, vy = y2 - y0, vz = z2 - z0;
    const float nx = uy * vz - uz * vy;
    const float ny = uz * vx - ux * vz;
    const float nz = ux * vy - uy * vx;
    const float len = sqrtf(nx * nx + ny * ny + nz * nz);
    out->a = nx / len;
    out->b = ny / len;
    out->c = nz / len;
    out->d = -(out->a * x0 + out->b * y0 + out->c * z0);
}

void buildFrustum(float width, float height, float focal, Plane out[4])
{
    const float e = width / (2.0f * focal);
    const float f = height / (2.0f * focal);
    planeFromPoints(&out[0], 0, 0, 0, e, 0, 1, e, 1, 1);
    planeFromPoints(&out[1], 0, 0, 0, -e, 1, 1, -e, 0, 1);
    planeFromPoints(&out[2], 0, 0, 0, 0, -f, 1, 1, -f, 1);
    planeFromPoints(&out[3], 0, 0, 0, 1, f, 1, 0, f, 1);
}

static float planeValue(const Plane* plane, const ClipVertex* p)
{
    return plane->a * p->x + plane->b * p->y + plane->c * p->z + plane->d;
}

void clipIntersect(ClipVertex* out, const ClipVertex* p, const ClipVertex* q, const Plane* plane)
{
    const float dx = q->x - p->x, dy = q->y - p->y, dz = q->z - p->z;
    const float den = plane->a * dx + plane->b * dy + plane->c * dz;
    // !(den != 0) also catches a NaN denominator.
    if (!(den != 0.0f)) {
        *out = *p;
        return;
    }
    const float t = planeValue(plane, p) / den;
    out->x = p->x - t * dx;
    out->y = p->y - t * dy;
    out->z = p->z - t * dz;
    out->u = p->u - t * (q->u - p->u);
    out->v = p->v - t * (q->v - p->v);
}

// Appends one vertex. A convex polygon never needs more than 7, but rounding
// can leave an intersection a hair outside a later plane; the record's room is
// the hard limit, so anything beyond it is dropped rather than written past.
static void append(ClipPolygon* polygon, const ClipVertex& v)
{
    if (polygon->count < 7)
        polygon->v[polygon->count++] = v;
}

ClipPolygon clipPolygonToPlane(const ClipPolygon* polygon, const Plane* plane)
{
    ClipPolygon out;
    out.count = 0;
    const int32_t count = polygon->count < 0 ? 0 : (polygon->count > 7 ? 7 : polygon->count);
    if (count == 0)
        return out;
    const ClipVertex* prev = &polygon->v[count - 1];
    float prevValue = planeValue(plane, prev);
    for (int32_t k = 0; k < count; k++) {
        const ClipVertex* cur = &polygon->v[k];
        const float curValue = planeValue(plane, cur);
        ClipVertex cut;
        if (curValue > 0.0f) {
            if (prevValue < 0.0f) {
                clipIntersect(&cut, prev, cur, plane);
                append(&out, cut);
            }
            append(&out, *cur);
        } else if (prevValue > 0.0f) {
            clipIntersect(&cut, prev, cur, plane);
            append(&out, cut);
        }
        prev = cur;
        prevValue = curValue;
    }
    return out;
}

ClipPolygon clipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                         const Plane frustum[4])
{
    const ClipVertex* corners[3] = {&a, &b, &c};
    int clip[4];
    ClipPolygon polygon;
    polygon.count = 3;
    polygon.v[0] = a;
    polygon.v[1] = b;
    polygon.v[2] = c;
    for (int k = 0; k < 4; k++) {
        int inOrOn = 0, outOrOn = 0;
        for (const ClipVertex* p : corners) {
            const float s = planeValue(&frustum[k], p);
            inOrOn += s >= 0.0f;
            outOrOn += s <= 0.0f;
        }
        if (inOrOn != 3 && outOrOn == 3) {
            polygon.count = 0;
            return polygon;
        }
        clip[k] = inOrOn != 3;
    }
    for (int k = 0; k < 4; k++) {
        if (clip[k])
            polygon = clipPolygonToPlane(&polygon, &frustum[k]);
    }
    return polygon;
}
