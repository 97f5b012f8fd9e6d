#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "math/geometry.h"

namespace {

const float kPi = 3.14159265f;

void transformPoint(const Matrix4& m, float x, float y, float z, float out[3])
{
    for (int c = 0; c < 3; c++)
        out[c] = x * m.m[c] + y * m.m[4 + c] + z * m.m[8 + c] + m.m[12 + c];
}

void expectPoint(const Matrix4& m, float x, float y, float z, float ex, float ey, float ez)
{
    float p[3];
    transformPoint(m, x, y, z, p);
    EXPECT_NEAR(p[0], ex, 1e-5f);
    EXPECT_NEAR(p[1], ey, 1e-5f);
    EXPECT_NEAR(p[2], ez, 1e-5f);
}

Matrix4 sample()
{
    Matrix4 a;
    for (int i = 0; i < 16; i++)
        a.m[i] = (float)(i * 3 % 7) - 2.5f;
    return a;
}

} // namespace

TEST(Matrix, ProductIsLeftTimesRightAndMayOverwriteEitherFactor)
{
    Matrix4 id, a = sample(), b, r;
    matIdentity(&id);
    for (int i = 0; i < 16; i++)
        b.m[i] = (float)((i * 5) % 11) * 0.5f;

    r = a;
    matMultiply(&r, &id, &r);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(r.m[i], a.m[i]);
    r = a;
    matMultiply(&r, &r, &id);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(r.m[i], a.m[i]);

    // dst aliasing the right factor must still give b x a.
    r = a;
    matMultiply(&r, &b, &r);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float want = 0;
            for (int k = 0; k < 4; k++)
                want += b.m[4 * i + k] * a.m[4 * k + j];
            EXPECT_FLOAT_EQ(r.m[4 * i + j], want);
        }
}

TEST(Matrix, BuildersMapAxesAsDocumented)
{
    Matrix4 m;
    matIdentity(&m);
    matTranslate(&m, 1, 2, 3);
    Matrix4 id;
    matIdentity(&id);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(m.m[i], id.m[i]);
    EXPECT_EQ(m.m[12], 1.0f);
    EXPECT_EQ(m.m[13], 2.0f);
    EXPECT_EQ(m.m[14], 3.0f);
    EXPECT_EQ(m.m[15], 1.0f);

    matIdentity(&m);
    matRotateZ(&m, kPi / 2);
    expectPoint(m, 1, 0, 0, 0, 1, 0);
    matIdentity(&m);
    matRotateX(&m, kPi / 2);
    expectPoint(m, 0, 1, 0, 0, 0, 1);
    matIdentity(&m);
    matRotateY(&m, kPi / 2);
    expectPoint(m, 0, 0, 1, 1, 0, 0);
    expectPoint(m, 1, 0, 0, 0, 0, -1);
}

TEST(Matrix, BuildersPreMultiplySoLaterOnesActFirst)
{
    Matrix4 m;
    matIdentity(&m);
    matTranslate(&m, 5, 0, 0);
    matRotateZ(&m, kPi / 2);
    expectPoint(m, 1, 0, 0, 5, 1, 0);
}

TEST(Matrix, InverseUndoesRigidTransformsAndIgnoresFourthColumn)
{
    Matrix4 t, inv;
    matIdentity(&t);
    matTranslate(&t, 4, -7, 2.5f);
    matInverse(&t, &inv);
    EXPECT_FLOAT_EQ(inv.m[12], -4);
    EXPECT_FLOAT_EQ(inv.m[13], 7);
    EXPECT_FLOAT_EQ(inv.m[14], -2.5f);

    Matrix4 r, rInv, opposite;
    matIdentity(&r);
    matRotateY(&r, 0.7f);
    matInverse(&r, &rInv);
    matIdentity(&opposite);
    matRotateY(&opposite, -0.7f);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(rInv.m[i], opposite.m[i], 1e-6f);

    Matrix4 m, mi, product;
    matIdentity(&m);
    matRotateX(&m, 0.3f);
    matTranslate(&m, 10, 20, -30);
    matRotateZ(&m, -1.1f);
    matInverse(&m, &mi);
    matMultiply(&product, &mi, &m);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(product.m[i], (i % 5 == 0) ? 1.0f : 0.0f, 1e-5f);

    Matrix4 odd = m;
    odd.m[3] = 9;
    odd.m[7] = -4;
    odd.m[11] = 2;
    odd.m[15] = 0;
    Matrix4 oddInv;
    matInverse(&odd, &oddInv);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(oddInv.m[i], mi.m[i]);
}

TEST(Matrix, StartCameraSitsAboveTheBoardLookingAlongWorldZ)
{
    uint32_t bits = 0xC0490FDA;
    float angle;
    memcpy(&angle, &bits, 4);
    Matrix4 camera;
    matIdentity(&camera);
    matRotateZ(&camera, angle);
    matTranslate(&camera, 0, -30, -50);
    // The camera pose maps its own origin to its world position.
    expectPoint(camera, 0, 0, 0, 0, 30, -50);
    EXPECT_NEAR(camera.m[10], 1.0f, 1e-6f);
    EXPECT_NEAR(camera.m[5], -1.0f, 1e-6f);
}
