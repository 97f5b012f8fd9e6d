#include <cstdint>
#include <cstdio>

#include "inspect.h"
#include "scene/scene.h"

static void printFloats(const float* values, int count)
{
    putchar('[');
    for (int i = 0; i < count; i++)
        printf("%s%.9g", i ? ", " : "", (double)values[i]);
    putchar(']');
}

static void printName(const char* name)
{
    printJsonString(name ? name : "");
}

// A corner prints as its index among the object's vertices, or, when it
// points into a point array that a later one replaced, as its position.
static void printCorner(const MeshObject* o, const MeshVertex* corner)
{
    const uintptr_t offset = (uintptr_t)corner - (uintptr_t)o->vertices;
    if (o->vertices && offset < (uintptr_t)o->vertexCount * sizeof(MeshVertex)) {
        printf(", %d", (int)(offset / sizeof(MeshVertex)));
        return;
    }
    const float position[3] = {corner->x, corner->y, corner->z};
    printf(", ");
    printFloats(position, 3);
}

static void printObject(const MeshObject* o)
{
    printf("{\"name\": ");
    printName(o->name);
    printf(", \"vertexCount\": %d, \"faceCount\": %d, \"vertices\": [", o->vertexCount, o->faceCount);
    for (int32_t i = 0; i < o->vertexCount; i++) {
        const MeshVertex& v = o->vertices[i];
        const float values[5] = {v.x, v.y, v.z, v.u, v.v};
        if (i)
            printf(", ");
        printFloats(values, 5);
    }
    printf("], \"faces\": [");
    for (int32_t i = 0; i < o->faceCount; i++) {
        const Face& f = o->faces[i];
        printf("%s[%d", i ? ", " : "", f.material);
        for (const MeshVertex* corner : f.corners)
            printCorner(o, corner);
        putchar(']');
    }
    printf("], \"positionKeyCount\": %d, \"rotationKeyCount\": %d}", o->positionKeyCount, o->rotationKeyCount);
}

// scene FILE: loads a 3DS file as the program does and prints what it holds.
int inspectScene(int argc, char** argv)
{
    if (argc != 1)
        return inspectError("usage: scene FILE");
    Scene* scene = loadScene(argv[0]);
    if (!scene)
        return inspectError(sceneLoadReason());
    printf("{\"firstFrame\": %d, \"lastFrame\": %d, \"materials\": [", scene->firstFrame, scene->lastFrame);
    for (int32_t i = 0; i < scene->materialCount; i++) {
        if (i)
            printf(", ");
        printName(scene->materials[i].name);
    }
    printf("], \"objects\": [");
    for (int32_t i = 0; i < scene->objectCount; i++) {
        if (i)
            printf(", ");
        printObject(&scene->objects[i]);
    }
    printf("], \"lights\": [");
    for (int32_t i = 0; i < scene->lightCount; i++) {
        const Light& l = scene->lights[i];
        printf("%s{\"name\": ", i ? ", " : "");
        printName(l.name);
        printf(", \"spot\": %d, \"position\": ", l.spot);
        printFloats(l.position, 3);
        printf(", \"colour\": ");
        printFloats(l.colour, 3);
        putchar('}');
    }
    printf("], \"cameras\": [");
    for (int32_t i = 0; i < scene->cameraCount; i++) {
        const Camera& c = scene->cameras[i];
        printf("%s{\"name\": ", i ? ", " : "");
        printName(c.name);
        printf(", \"position\": ");
        printFloats(c.position, 3);
        printf(", \"target\": ");
        printFloats(c.target, 3);
        printf(", \"positionKeyCount\": %d, \"targetKeyCount\": %d}", c.positionKeyCount, c.targetKeyCount);
    }
    printf("]}\n");
    sceneRelease(scene);
    return 0;
}
