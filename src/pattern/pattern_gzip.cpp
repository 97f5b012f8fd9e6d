// gzip-compressed pattern files, told by their magic bytes rather than their
// name (some ".gz" files are plain text). zlib does the work on the desktop;
// the browser build has no zlib, since the page decompresses before it hands
// a file over, so there such a file is refused.
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

#ifdef VELTRIX_GZIP
#include <zlib.h>
#endif

static int isGzip(const char* text, size_t size)
{
    return size >= 2 && (unsigned char)text[0] == 0x1F && (unsigned char)text[1] == 0x8B;
}

#ifdef VELTRIX_GZIP

int patternGzipBuilt()
{
    return 1;
}

// Inflates every gzip member of in (files may hold several, one after
// another) into a buffer grown by doubling; stops at PATTERN_MAX_FILE bytes.
static char* inflateAll(const char* in, size_t inSize, size_t* outSize, PatternError* error)
{
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    // 16 + MAX_WBITS: a gzip wrapper, not a raw zlib one.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        patternFail(error, 0, "gzip-compressed; not enough memory to decompress it");
        return nullptr;
    }
    size_t capacity = 1 << 16;
    size_t used = 0;
    char* out = (char*)heapAlloc(capacity);
    stream.next_in = (Bytef*)in;
    int status = Z_OK;
    while (out) {
        // zlib counts in 32-bit units; the remaining input is handed over in pieces.
        const size_t inLeft = inSize - (size_t)((const char*)stream.next_in - in);
        stream.avail_in = (uInt)(inLeft < (1u << 30) ? inLeft : (1u << 30));
        stream.next_out = (Bytef*)out + used;
        stream.avail_out = (uInt)(capacity - used);
        status = inflate(&stream, Z_NO_FLUSH);
        used = capacity - stream.avail_out;
        if (status == Z_STREAM_END) {
            const size_t rest = inSize - (size_t)((const char*)stream.next_in - in);
            if (rest == 0 || !isGzip((const char*)stream.next_in, rest))
                break;
            inflateReset(&stream);
            continue;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            patternFail(error, 0, "gzip-compressed, but the compressed data is broken (%s)",
                        stream.msg ? stream.msg : "zlib error");
            break;
        }
        if (stream.avail_out != 0) {
            // Input used up before the end of a member.
            if (stream.avail_in == 0) {
                patternFail(error, 0, "gzip-compressed, but the file ends inside the compressed data; it may be "
                                      "cut short");
                break;
            }
            continue;
        }
        if (capacity > PATTERN_MAX_FILE) {
            patternFail(error, 0, "gzip-compressed, and larger than %d MiB once decompressed; refused",
                        (int)(PATTERN_MAX_FILE >> 20));
            break;
        }
        char* grown = (char*)heapRealloc(out, capacity * 2);
        if (!grown) {
            patternFail(error, 0, "gzip-compressed; not enough memory to decompress it");
            break;
        }
        out = grown;
        capacity *= 2;
    }
    inflateEnd(&stream);
    if (out && status != Z_STREAM_END) {
        heapFree(out);
        return nullptr;
    }
    if (!out) {
        patternFail(error, 0, "gzip-compressed; not enough memory to decompress it");
        return nullptr;
    }
    if (used > PATTERN_MAX_FILE) {
        heapFree(out);
        patternFail(error, 0, "gzip-compressed, and larger than %d MiB once decompressed; refused",
                    (int)(PATTERN_MAX_FILE >> 20));
        return nullptr;
    }
    *outSize = used;
    return out;
}

int patternGunzip(char** text, size_t* size, PatternError* error)
{
    if (!isGzip(*text, *size))
        return 1;
    size_t outSize = 0;
    char* out = inflateAll(*text, *size, &outSize, error);
    heapFree(*text);
    *text = out;
    *size = outSize;
    return out != nullptr;
}

#else

int patternGzipBuilt()
{
    return 0;
}

int patternGunzip(char** text, size_t* size, PatternError* error)
{
    if (!isGzip(*text, *size))
        return 1;
    heapFree(*text);
    *text = nullptr;
    *size = 0;
    return patternFail(error, 0, "gzip-compressed; this build does not decompress files: decompress it first "
                                 "(gunzip), or hand over the decompressed bytes");
}

#endif
