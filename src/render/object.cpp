#include <cmath>

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

void renderObject(const Matrix4* objectMatrix, const Matrix4* viewMatrix, const MeshObject* mesh,
    const Material* materials, int32_t materialCount)
{
    Matrix4 objectToView, viewToObject;
    matInverse(viewMatrix, &objectToView);
    matMultiply(&objectToView, objectMatrix, &objectToView);
    matInverse(&objectToView, &viewToObject);
    const float* m = objectToView.m;
    const float ex = viewToObject.m[12], ey = viewToObject.m[13], ez = viewToObject.m[14];
    const int32_t halfWidth = renderWidth / 2, halfHeight = renderHeight / 2;

    for (int32_t f = 0; f < mesh->faceCount; f++) {
        const Face* face = &mesh->faces[f];
        const Plane& plane = face->plane;
        // The eye on the front side of the plane, beyond 0.1, sees the back.
        if (plane.a * ex + plane.b * ey + plane.c * ez + plane.d > 0.1f)
            continue;
        ClipVertex corners[3];
        for (int i = 0; i < 3; i++) {
            const MeshVertex* p = face->corners[i];
            corners[i].x = p->x * m[0] + p->y * m[4] + p->z * m[8] + m[12];
            corners[i].y = p->x * m[1] + p->y * m[5] + p->z * m[9] + m[13];
            corners[i].z = p->x * m[2] + p->y * m[6] + p->z * m[10] + m[14];
            corners[i].u = p->u;
            corners[i].v = p->v;
        }
        ClipPolygon polygon = clipTriangle(corners[0], corners[1], corners[2], frustumPlanes);
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
