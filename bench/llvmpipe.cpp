// The frame benchmark's scenes drawn by Mesa's llvmpipe through OpenGL, on the
// same model, textures, board and camera, for comparison with bench-frame in
// the same run. llvmpipe gets its best case: every live cell's triangles in
// world space in vertex buffers made once, one draw call per texture, the
// hardware's back-face culling and a depth buffer, per-vertex lighting from
// the viewer's direction with flat shading, bilinear filtering within the
// nearest mipmap level; each frame is cleared, drawn and read back into memory
// as 640 x 480 BGRA, as the program's frame ends in memory too.
//
//   LP_NUM_THREADS=N bench-llvmpipe [--frame-dir DIR] [Google Benchmark options]
//
// LP_NUM_THREADS sets llvmpipe's rasteriser threads (its default is one per
// core). --frame-dir writes each scene's frame as DIR/s1.ppm ... u4.ppm to look
// at.
#include <benchmark/benchmark.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "headless_run.h"
#include "math/geometry.h"
#include "render/render_local.h"
#include "scene/scene.h"
#include "texture/texture.h"

namespace {

const char* frameDir = nullptr;

// A surfaceless EGL display with an OpenGL compatibility context drawing into
// a framebuffer object of the screen's size.
struct GlTarget {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
};

GlTarget target;

const char* glStart(int32_t width, int32_t height)
{
    target.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (target.display == EGL_NO_DISPLAY || !eglInitialize(target.display, nullptr, nullptr))
        return "no surfaceless EGL display";
    if (!eglBindAPI(EGL_OPENGL_API))
        return "EGL offers no OpenGL";
    // Drawing goes to a framebuffer object only: no configuration is needed.
    const EGLConfig config = EGL_NO_CONFIG_KHR;
    const EGLint contextWanted[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
        EGL_NONE};
    target.context = eglCreateContext(target.display, config, EGL_NO_CONTEXT, contextWanted);
    if (target.context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, target.context))
        return "no OpenGL context";
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    if (!renderer || !strstr(renderer, "llvmpipe"))
        return "the OpenGL renderer is not llvmpipe";
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glGenRenderbuffers(1, &target.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, target.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour);
    glGenRenderbuffers(1, &target.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return "the framebuffer object is incomplete";
    glViewport(0, 0, width, height);
    return nullptr;
}

void glStop()
{
    if (target.context != EGL_NO_CONTEXT) {
        glDeleteRenderbuffers(1, &target.colour);
        glDeleteRenderbuffers(1, &target.depth);
        glDeleteFramebuffers(1, &target.framebuffer);
        eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(target.display, target.context);
    }
    if (target.display != EGL_NO_DISPLAY)
        eglTerminate(target.display);
    target = GlTarget();
}

struct GlVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

// The triangles of one texture, and the texture.
struct Batch {
    std::vector<GlVertex> vertices;
    GLuint buffer = 0;
    GLuint texture = 0;
};

// The texture's finest level in full colour, mipmapped.
GLuint uploadTexture(const Texture* texture)
{
    const TextureLevel& level = texture->levels[0];
    std::vector<uint32_t> pixels((size_t)level.width * level.height);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = texture->shades[level.texels[i] * TEXTURE_SHADES + TEXTURE_SHADES - 1] | 0xFF000000u;
    GLuint name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, level.width, level.height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
}

void addCell(void* context, int64_t x, int64_t y)
{
    ((std::vector<std::pair<int64_t, int64_t>>*)context)->push_back({y, x});
}

// The live cells' object matrices, placed as the program places them:
// relative to the camera's origin cell, rows top to bottom, x fastest.
std::vector<Matrix4> cellPlacements()
{
    std::vector<std::pair<int64_t, int64_t>> cells;
    worldForEachCell(app.world, addCell, &cells);
    std::sort(cells.begin(), cells.end());
    std::vector<Matrix4> placements(cells.size());
    for (size_t i = 0; i < cells.size(); i++)
        cellMatrixAt(cells[i].second - app.originX, cells[i].first - app.originY, &placements[i]);
    return placements;
}

// Every live cell's faces in world space, batched by texture, in the order
// the program draws them.
std::vector<Batch> buildBatches()
{
    std::map<const Texture*, size_t> index;
    std::vector<Batch> batches;
    const Scene* scene = app.scene;
    for (const Matrix4& model : cellPlacements()) {
        for (int32_t o = 0; o < scene->objectCount; o++) {
            const MeshObject& mesh = scene->objects[o];
            for (int32_t f = 0; f < mesh.faceCount; f++) {
                const Face& face = mesh.faces[f];
                const Texture* texture = face.material >= 0 && face.material < scene->materialCount &&
                        scene->materials[face.material].texture
                    ? scene->materials[face.material].texture
                    : defaultTexture();
                auto found = index.find(texture);
                if (found == index.end()) {
                    found = index.emplace(texture, batches.size()).first;
                    batches.emplace_back();
                    batches.back().texture = uploadTexture(texture);
                }
                Batch& batch = batches[found->second];
                for (const MeshVertex* c : face.corners) {
                    const float* m = model.m;
                    batch.vertices.push_back({c->x * m[0] + c->y * m[4] + c->z * m[8] + m[12],
                        c->x * m[1] + c->y * m[5] + c->z * m[9] + m[13], c->x * m[2] + c->y * m[6] + c->z * m[10] + m[14],
                        face.plane.a, face.plane.b, face.plane.c, c->u, c->v});
                }
            }
        }
    }
    for (Batch& batch : batches) {
        glGenBuffers(1, &batch.buffer);
        glBindBuffer(GL_ARRAY_BUFFER, batch.buffer);
        glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(batch.vertices.size() * sizeof(GlVertex)), batch.vertices.data(),
            GL_STATIC_DRAW);
    }
    return batches;
}

void releaseBatches(std::vector<Batch>& batches)
{
    for (Batch& batch : batches) {
        glDeleteBuffers(1, &batch.buffer);
        glDeleteTextures(1, &batch.texture);
    }
    batches.clear();
}

// The program's camera as OpenGL's: the program's view space has x right,
// y down and z ahead with screen x = focal x / z + width / 2 and likewise y;
// OpenGL's eye looks down -z with y up.
void loadCamera(int32_t width, int32_t height)
{
    const double nearest = 0.1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double focal = renderer.focal;
    glFrustum(-nearest * (width / 2) / focal, nearest * (width / 2) / focal, -nearest * (height / 2) / focal,
        nearest * (height / 2) / focal, nearest, 1e5);
    Matrix4 inverseView;
    matInverse(&app.cameraPose, &inverseView);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(1.0f, -1.0f, -1.0f);
    glMultMatrixf(inverseView.m);
}

// Which way round the program's front faces turn on the screen: one face the
// program sees the front of, wound as OpenGL will find it.
GLenum frontWinding(const std::vector<Batch>& batches)
{
    Matrix4 inverseView;
    matInverse(&app.cameraPose, &inverseView);
    const float* m = inverseView.m;
    for (const Batch& batch : batches) {
        for (size_t i = 0; i + 2 < batch.vertices.size(); i += 3) {
            float sx[3], sy[3];
            bool inFront = true;
            for (int k = 0; k < 3; k++) {
                const GlVertex& v = batch.vertices[i + k];
                const float vx = v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12];
                const float vy = v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13];
                const float vz = v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14];
                inFront = inFront && vz > 1.0f;
                sx[k] = vx / vz;
                sy[k] = -vy / vz; // OpenGL's y is up
            }
            // The eye on the back side of the face's plane sees its front.
            const GlVertex& a = batch.vertices[i];
            const float eyeSide = a.nx * (app.cameraPose.m[12] - a.x) + a.ny * (app.cameraPose.m[13] - a.y) +
                a.nz * (app.cameraPose.m[14] - a.z);
            const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
            if (inFront && eyeSide < -1.0f && (area > 1e-4f || area < -1e-4f))
                return area > 0 ? GL_CCW : GL_CW;
        }
    }
    return GL_CCW;
}

void drawFrame(const std::vector<Batch>& batches, uint8_t* pixels, int32_t width, int32_t height)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const Batch& batch : batches) {
        glBindTexture(GL_TEXTURE_2D, batch.texture);
        glBindBuffer(GL_ARRAY_BUFFER, batch.buffer);
        glVertexPointer(3, GL_FLOAT, sizeof(GlVertex), (const void*)offsetof(GlVertex, x));
        glNormalPointer(GL_FLOAT, sizeof(GlVertex), (const void*)offsetof(GlVertex, nx));
        glTexCoordPointer(2, GL_FLOAT, sizeof(GlVertex), (const void*)offsetof(GlVertex, u));
        glDrawArrays(GL_TRIANGLES, 0, (GLsizei)batch.vertices.size());
    }
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
}

void writeFrame(const char* scene, const uint8_t* pixels, int32_t width, int32_t height)
{
    std::string name = scene;
    name = name.substr(0, name.find('.'));
    const std::string path = std::string(frameDir) + "/" + name + ".ppm";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return;
    fprintf(file, "P6\n%d %d\n255\n", (int)width, (int)height);
    for (int32_t y = height - 1; y >= 0; y--)
        for (int32_t x = 0; x < width; x++) {
            const uint8_t* p = pixels + ((size_t)y * width + x) * 4;
            const uint8_t rgb[3] = {p[2], p[1], p[0]};
            fwrite(rgb, 1, 3, file);
        }
    fclose(file);
}

void BM_Llvmpipe(benchmark::State& state, const BenchScene* scene)
{
    HeadlessRun run(scene->life, scene->script, scene->rules);
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    run.restoreBoard();
    const int32_t width = screenWidth, height = screenHeight;
    if (const char* failure = glStart(width, height)) {
        state.SkipWithError(failure);
        glStop();
        return;
    }
    std::vector<Batch> batches = buildBatches();
    loadCamera(width, height);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(frontWinding(batches));
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glShadeModel(GL_FLAT);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glPushMatrix();
    glLoadIdentity();
    // The program lights a face by its normal's share along the view
    // direction (its faces seen from the front have normals turned away).
    const GLfloat ahead[] = {0, 0, -1, 0}, white[] = {1, 1, 1, 1}, black[] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, ahead);
    glPopMatrix();
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    std::vector<uint8_t> pixels((size_t)width * height * 4);
    drawFrame(batches, pixels.data(), width, height);
    if (frameDir)
        writeFrame(scene->script, pixels.data(), width, height);
    size_t triangles = 0;
    for (const Batch& batch : batches)
        triangles += batch.vertices.size() / 3;
    for (auto _ : state) {
        drawFrame(batches, pixels.data(), width, height);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["faces/s"] =
        benchmark::Counter((double)triangles * (double)state.iterations(), benchmark::Counter::kIsRate);
    releaseBatches(batches);
    glStop();
}

} // namespace

// Every scene but the running one: llvmpipe has no step to time.
int main(int argc, char** argv)
{
    for (const BenchScene& scene : benchScenes)
        if (!scene.running)
            benchmark::RegisterBenchmark((std::string("BM_Llvmpipe/") + scene.name).c_str(), BM_Llvmpipe, &scene)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--frame-dir") == 0 && i + 1 < argc)
            frameDir = argv[++i];
        else
            argv[kept++] = argv[i];
    }
    return runBenchmarks(kept, argv);
}
