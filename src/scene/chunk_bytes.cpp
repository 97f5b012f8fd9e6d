// What the chunk walk and every handler read with: the file's bytes as
// numbers, names and key headers, the load's reason, and the steps the
// handlers share (what is left of a chunk, keys skipped, arrays retired).
#include "scene/scene_local.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

// ---- The load's reason -------------------------------------------------------

const char* sceneLoadReason()
{
    return readReason.line;
}

int sceneFail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    readFailList(sceneLoader.name, format, args);
    va_end(args);
    return 0;
}

int chunkFail(const char* format, ...)
{
    char head[READ_REASON_SIZE];
    snprintf(head, sizeof head, "%s: %s (chunk 0x%04X at byte %ld)", sceneLoader.name, sceneLoader.chunkName,
             (unsigned)sceneLoader.chunkId, sceneLoader.chunkStart);
    va_list args;
    va_start(args, format);
    readFailList(head, format, args);
    va_end(args);
    return 0;
}

// ---- Reading ---------------------------------------------------------------

static void readBytes(SceneBytes* in, uint8_t* buffer, size_t size)
{
    const size_t left = in->pos < in->size ? (size_t)(in->size - in->pos) : 0;
    const size_t got = size < left ? size : left;
    if (got > 0)
        memcpy(buffer, in->bytes + in->pos, got);
    memset(buffer + got, 0, size - got);
    in->pos += (long)got;
}

uint32_t readU16(SceneBytes* in)
{
    uint8_t b[2];
    readBytes(in, b, sizeof b);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8;
}

uint32_t readU32(SceneBytes* in)
{
    uint8_t b[4];
    readBytes(in, b, sizeof b);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

// A NaN or infinity from a damaged file would spread into planes, normals and
// the renderer's float-to-int steps; it reads as 0 instead.
float readF32(SceneBytes* in)
{
    const uint32_t bits = readU32(in);
    float value;
    memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

int readName(SceneBytes* in, char* buffer)
{
    int stored = 0;
    for (;;) {
        if (in->pos >= in->size) {
            buffer[stored] = '\0';
            return stored == SCENE_NAME_SIZE - 1;
        }
        // The first byte past 63 characters is consumed and dropped.
        const char c = (char)in->bytes[in->pos++];
        if (c == 0 || stored == SCENE_NAME_SIZE - 1)
            break;
        buffer[stored++] = c;
    }
    buffer[stored] = '\0';
    return 1;
}

int32_t readTrackHeader(SceneBytes* in)
{
    uint8_t ignored[10];
    readBytes(in, ignored, sizeof ignored);
    return (int32_t)(readU32(in) & 0xFFFFu);
}

int32_t readKeyHeader(SceneBytes* in)
{
    const int32_t frame = (int32_t)(readU32(in) & 0xFFFFu);
    const uint32_t flags = readU16(in);
    // Tension, continuity and bias, one f32 for each of bits 0 to 2.
    for (int bit = 0; bit < 3; bit++) {
        if (flags & (1u << bit))
            readU32(in);
    }
    return frame;
}

void skipBytes(SceneBytes* in, size_t size)
{
    uint8_t ignored[16];
    readBytes(in, ignored, size);
}

// ---- Shared by the handlers ---------------------------------------------------

long bytesLeft(SceneBytes* in, long chunkEnd)
{
    return in->pos >= chunkEnd ? 0 : chunkEnd - in->pos;
}

void skipKeys(SceneBytes* in, long chunkEnd, int32_t n, size_t valueBytes)
{
    for (int32_t i = 0; i < n && bytesLeft(in, chunkEnd) > 0; i++) {
        readKeyHeader(in);
        skipBytes(in, valueBytes);
    }
}

int retireArrays(void* const arrays[], int count)
{
    int any = 0;
    for (int i = 0; i < count; i++)
        any = any || arrays[i];
    if (!any)
        return 1;
    RetiredArrays* r = (RetiredArrays*)heapCalloc(1, sizeof(RetiredArrays));
    if (!r)
        return 0;
    for (int i = 0; i < count; i++)
        r->arrays[i] = arrays[i];
    r->next = sceneLoader.scene->retired;
    sceneLoader.scene->retired = r;
    return 1;
}
