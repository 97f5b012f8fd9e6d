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
// dst = b x a: the second argument is the left factor. dst may be a or b.
void matMultiply(const Matrix4* a, const Matrix4* b, Matrix4* dst);
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
