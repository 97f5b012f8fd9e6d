// Geometry math: 4 x 4 matrices, planes, the view frustum and polygon clipping.
#pragma once

#include <cstdint>

// 16 floats, row-major (element 4r + c). Points are row vectors multiplied on
// the left, so an affine matrix keeps its translation in elements 12, 13, 14,
// and A x B applies A first.
struct Matrix4 {
    float m[16];
};

void matIdentity(Matrix4* m);
// dst = left x right: left acts first. dst may be either factor.
void matMultiply(Matrix4* dst, const Matrix4* left, const Matrix4* right);
// The builders pre-multiply: the new transform acts in m's own local frame.
void matRotateX(Matrix4* m, float angle);
void matRotateY(Matrix4* m, float angle);
void matRotateZ(Matrix4* m, float angle);
void matTranslate(Matrix4* m, float x, float y, float z);
// out = inverse of the affine m (its fourth column is taken as 0, 0, 0, 1).
// m and out must differ. A singular 3 x 3 block gives non-finite elements.
void matInverse(const Matrix4* m, Matrix4* out);

// a x + b y + c z + d > 0 is inside, = 0 exactly is on the plane.
struct Plane {
    float a, b, c, d;
};

// One polygon vertex in view space; projection later overwrites x and y with
// screen coordinates.
struct ClipVertex {
    float x, y, z, u, v;
};

// Clipping a triangle against four planes yields at most 3 + 4 vertices.
struct ClipPolygon {
    int32_t count;
    ClipVertex v[7];
};

// Plane through three points; the normal follows the right-hand rule from p0
// through p1 to p2. Collinear points give non-finite values.
void planeFromPoints(Plane* out, float x0, float y0, float z0, float x1, float y1, float z1,
                     float x2, float y2, float z2);
// The four side planes of the view frustum through the eye, inward normals:
// 0 right (x <= e z), 1 left (x >= -e z), 2 top rows (y >= -f z), 3 bottom rows
// (y <= f z), with e = width / (2 focal) and f = height / (2 focal).
void buildFrustum(float width, float height, float focal, Plane out[4]);
// out = the point where the segment p -> q meets the plane, u and v
// interpolated; an edge parallel to the plane gives p.
void clipIntersect(ClipVertex* out, const ClipVertex* p, const ClipVertex* q, const Plane* plane);
// One Sutherland-Hodgman pass: the part of the polygon strictly inside the
// plane. On-plane vertices come back only as intersections from an inside
// predecessor.
ClipPolygon clipPolygonToPlane(const ClipPolygon* polygon, const Plane* plane);
// The part of the triangle inside all four frustum planes; count 0 when a
// plane has the whole triangle outside or on it.
ClipPolygon clipTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                         const Plane frustum[4]);
