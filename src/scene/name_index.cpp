#include <cstring>

#include "platform/platform.h"
#include "scene/scene_local.h"

int nameIndexInit(NameIndex* index, int32_t count)
{
    // At most half full, so every probe sequence meets a free slot.
    if (count < 0 || count > (1 << 28))
        return 0;
    uint32_t size = 2;
    while (size < 2u * (uint32_t)count)
        size *= 2;
    index->slots = (int32_t*)heapAlloc(size * sizeof(int32_t));
    if (!index->slots)
        return 0;
    memset(index->slots, 0xFF, size * sizeof(int32_t));
    index->mask = size - 1;
    return 1;
}

void nameIndexRelease(NameIndex* index)
{
    heapFree(index->slots);
    index->slots = nullptr;
    index->mask = 0;
}

// FNV-1a over the name's bytes.
static uint32_t hashName(const char* name)
{
    uint32_t h = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)name; *p; p++)
        h = (h ^ *p) * 16777619u;
    return h;
}

// The slot holding `name`, or the free slot where it would go.
static uint32_t probe(const NameIndex* index, const char* name, NameOf nameOf)
{
    uint32_t slot = hashName(name) & index->mask;
    while (index->slots[slot] >= 0 && strcmp(nameOf(index->slots[slot]), name) != 0)
        slot = (slot + 1) & index->mask;
    return slot;
}

void nameIndexAdd(NameIndex* index, int32_t record, const char* name, NameOf nameOf)
{
    const uint32_t slot = probe(index, name, nameOf);
    if (index->slots[slot] < 0)
        index->slots[slot] = record;
}

int32_t nameIndexFind(const NameIndex* index, const char* name, NameOf nameOf)
{
    if (!index->slots)
        return -1;
    return index->slots[probe(index, name, nameOf)];
}

// ---- Name lookups: whole names, case-sensitive, first match ------------------

const char* materialName(int32_t i)
{
    return sceneLoader.scene->materials[i].name;
}

const char* objectName(int32_t i)
{
    return sceneLoader.scene->objects[i].name;
}

const char* cameraName(int32_t i)
{
    return sceneLoader.scene->cameras[i].name;
}

const char* lightName(int32_t i)
{
    return sceneLoader.scene->lights[i].name;
}
