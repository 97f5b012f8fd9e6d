#include "math/geometry.h"

#include <cmath>
#include <cstring>

void matIdentity(Matrix4* m)
{
    for (int i = 0; i < 16; i++)
        m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void matMultiply(Matrix4* dst, const Matrix4* left, const Matrix4* right)
{
    Matrix4 t;
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            t.m[4 * i + j] = left->m[4 * i + 0] * right->m[0 + j] + left->m[4 * i + 1] * right->m[4 + j]
                + left->m[4 * i + 2] * right->m[8 + j] + left->m[4 * i + 3] * right->m[12 + j];
        }
    }
    memcpy(dst, &t, sizeof t);
}

// Sine and cosine in double precision, stored as single precision.
static void rotation(Matrix4* m, float angle, int e0, int e1, int e2, int e3, int sign)
{
    const float s = (float)sin((double)angle);
    const float c = (float)cos((double)angle);
    Matrix4 r;
    matIdentity(&r);
    r.m[e0] = c;
    r.m[e1] = sign > 0 ? s : -s;
    r.m[e2] = sign > 0 ? -s : s;
    r.m[e3] = c;
    matMultiply(m, &r, m);
}

void matRotateX(Matrix4* m, float angle)
{
    rotation(m, angle, 5, 6, 9, 10, 1);
}

void matRotateY(Matrix4* m, float angle)
{
    rotation(m, angle, 0, 2, 8, 10, -1);
}

void matRotateZ(Matrix4* m, float angle)
{
    rotation(m, angle, 0, 1, 4, 5, 1);
}

void matTranslate(Matrix4* m, float x, float y, float z)
{
    Matrix4 t;
    matIdentity(&t);
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    matMultiply(m, &t, m);
}

void matInverse(const Matrix4* mat, Matrix4* out)
{
    const float* m = mat->m;
    const float det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8])
        + m[2] * (m[4] * m[9] - m[5] * m[8]);
    float* o = out->m;
    o[0] = (m[5] * m[10] - m[6] * m[9]) / det;
    o[1] = (m[2] * m[9] - m[1] * m[10]) / det;
    o[2] = (m[1] * m[6] - m[2] * m[5]) / det;
    o[3] = 0.0f;
    o[4] = (m[6] * m[8] - m[4] * m[10]) / det;
    o[5] = (m[0] * m[10] - m[2] * m[8]) / det;
    o[6] = (m[2] * m[4] - m[0] * m[6]) / det;
    o[7] = 0.0f;
    o[8] = (m[4] * m[9] - m[5] * m[8]) / det;
    o[9] = (m[1] * m[8] - m[0] * m[9]) / det;
    o[10] = (m[0] * m[5] - m[1] * m[4]) / det;
    o[11] = 0.0f;
    o[12] = (m[12] * (m[6] * m[9] - m[5] * m[10]) + m[13] * (m[4] * m[10] - m[6] * m[8])
                + m[14] * (m[5] * m[8] - m[4] * m[9]))
        / det;
    o[13] = (m[12] * (m[1] * m[10] - m[2] * m[9]) + m[13] * (m[2] * m[8] - m[0] * m[10])
                + m[14] * (m[0] * m[9] - m[1] * m[8]))
        / det;
    o[14] = (m[12] * (m[2] * m[5] - m[1] * m[6]) + m[13] * (m[0] * m[6] - m[2] * m[4])
                + m[14] * (m[1] * m[4] - m[0] * m[5]))
        / det;
    o[15] = 1.0f;
}
