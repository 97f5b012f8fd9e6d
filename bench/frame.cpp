// Frame speed: the real start-up on a copy of the bundled data, headless, then
// the frame tick timed on twelve scenes, and the parts that make up a frame.
//
//   S1 start    the bundled Life.ini and the initial camera
//   S2 soup     a 50 % soup over the whole board, auto-iteration on, the camera
//               backed off with 110 Down presses
//   S3 full     all 4096 cells alive, the camera of S2
//   S4 grazing  the camera brought down towards the board and pitched to look
//               across it, so rows hold many overlapping faces
//   U1 gun      a universe under B3/S23: the Gosper glider gun after 10,000
//               generations (about 330 gliders), framed whole (F)
//   U2 acorn    the acorn after 5,206 generations, framed whole
//   U3 soup     a 1024 x 1024 soup at 50 % after 100 generations (about
//               100,000 cells), framed whole
//   U4 low      U3 brought in (PgDn) and seen from low across it: most cells
//               far, a few near
//   U5 running  U3 auto-iterating, a generation every frame: every
//               repetition times the same 50 frames, generations 106 to 155
//   U6 offscreen  U3 with ten copies of its cells a million cells and more
//               off screen: the same frame, which must cost what U3's does
//   G1 galaxy   the metapixel galaxy of golly's HashLife folder, 7.4 million
//               cells on hashlife, framed whole: a frame costs the tree's
//               nodes in view, not the population
//   G2 galaxy running  G1 at 2^10 generations a step: every repetition
//               times the same 50 ticks from generation 0
//
// Each scene is a replay script in bench/scenes (with its Life.ini and
// Rules.ini), played through the program's own message loop; the same scripts
// with "key f12" and one more tick give the scene's screenshot with
// veltrix-replay (`bench-frame --write-scene U3 DIR` writes a scene's files).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "headless_run.h"
#include "image/image.h"
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"
#include "texture/texture.h"

namespace {

int64_t liveCells()
{
    return worldPopulation(app.world);
}

int32_t faceCount()
{
    int32_t n = 0;
    for (int32_t i = 0; i < app.scene->objectCount; i++)
        n += app.scene->objects[i].faceCount;
    return n;
}

// The cells of the board into the span table, on the calling thread.
void drawCellsIntoTable()
{
    RenderScene cells;
    placeFrameCells(&app.worldToView, &cells);
    const RenderModel* model = &cells.models[0];
    Matrix4 worldToView;
    matInverse(&app.cameraPose, &worldToView);
    for (int32_t i = 0; i < model->placementCount; i++)
        for (int32_t k = 0; k < model->objectCount; k++)
            renderObject(renderBand(0), &model->placements[i], &worldToView, &model->objects[k], model->materials,
                model->materialCount, 0);
}

int32_t usedSpans()
{
    int32_t n = 0;
    for (int32_t y = 0; y < spanTableRowCount(); y++)
        n += spanTableRow(y)->count;
    return n;
}

struct CellList {
    std::vector<std::pair<int64_t, int64_t>> cells;
};

void listCell(void* context, int64_t x, int64_t y)
{
    ((CellList*)context)->cells.push_back({x, y});
}

// The world's cells again, `copies` times, each copy a million cells further
// along a ray that leaves the camera's view at once.
void addCopies(int copies)
{
    CellList list;
    worldForEachCell(app.world, listCell, &list);
    for (int k = 1; k <= copies; k++)
        for (const auto& cell : list.cells)
            worldSetCell(app.world, cell.first + 1000000ll * k, cell.second - 700000ll * k, 1);
}

void BM_Frame(benchmark::State& state, const BenchScene* scene)
{
    HeadlessRun run(scene->life, scene->script, scene->rules);
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    addCopies(scene->copies);
    // Faces of the full models of the live cells and spans drawn, for the frame
    // after the board is restored (auto-iteration makes a step first).
    run.restoreBoard();
    frameTick();
    const double faces = (double)liveCells() * faceCount();
    const double spans = (double)usedSpans();
    for (auto _ : state) {
        run.restoreBoard();
        frameTick();
        benchmark::ClobberMemory();
    }
    state.counters["cells"] = (double)liveCells();
    state.counters["spans"] = spans;
    state.counters["faces/s"] = benchmark::Counter(faces * (double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["spans/s"] = benchmark::Counter(spans * (double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pixels/s"] = benchmark::Counter(
        (double)screenWidth * screenHeight * (double)state.iterations(), benchmark::Counter::kIsRate);
}

// Only the cells into the span table: what renderObject costs per face.
void BM_RenderObject(benchmark::State& state)
{
    HeadlessRun run("full.ini", "s3.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state) {
        spanTableReset();
        drawCellsIntoTable();
        benchmark::ClobberMemory();
    }
    state.counters["faces/s"] = benchmark::Counter(
        (double)LIFE_CELLS * faceCount() * (double)state.iterations(), benchmark::Counter::kIsRate);
}

// The span table of S3 drawn into the framebuffer.
void BM_DrawSpanTable(benchmark::State& state)
{
    HeadlessRun run("full.ini", "s3.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    spanTableReset();
    drawCellsIntoTable();
    const double spans = (double)usedSpans();
    for (auto _ : state)
        benchmark::DoNotOptimize(drawSpanTable(app.framebuffer));
    state.counters["spans/s"] = benchmark::Counter(spans * (double)state.iterations(), benchmark::Counter::kIsRate);
}

void BM_LifeStep(benchmark::State& state)
{
    HeadlessRun run("soup.ini", "s1.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    LifeGrid* start = loadLife("Life.ini");
    if (!start) {
        state.SkipWithError("no Life.ini");
        return;
    }
    LifeGrid grid;
    for (auto _ : state) {
        grid = *start;
        lifeStep(&grid, &conwayRule);
        benchmark::ClobberMemory();
    }
    lifeRelease(start);
    state.counters["cells/s"] = benchmark::Counter((double)LIFE_CELLS * (double)state.iterations(), benchmark::Counter::kIsRate);
}

// A row of 640 pixels from the bundled texture's finest level, stepping
// across and down the texture at a slant.
void BM_Sampler(benchmark::State& state, Sampler sampler)
{
    HeadlessRun run(nullptr, "s1.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    const Texture* texture = app.scene->materials[0].texture;
    if (!texture) {
        state.SkipWithError("no texture");
        return;
    }
    SamplerState samplerState;
    samplerLoad(&samplerState, texture, 0, 200);
    for (auto _ : state) {
        sampler(&samplerState, 0x00012345, 0x00004321, 0x00054321, 0x00001234, app.framebuffer, app.framebuffer + 640);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] = benchmark::Counter(640.0 * (double)state.iterations(), benchmark::Counter::kIsRate);
}

// Projected triangles of a few pixels to a few dozen across, at many depths,
// as the cells of S2 and S3 give them.
void BM_RasterizePolygon(benchmark::State& state)
{
    HeadlessRun run(nullptr, "s1.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    enum { COUNT = 4096 };
    static ClipPolygon polygons[COUNT];
    uint32_t seed = 99;
    auto next = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * (float)(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < COUNT; i++) {
        ClipPolygon& p = polygons[i];
        p.count = 3;
        const float x = next(20, 620), y = next(20, 460), size = next(3, 30), z = next(500, 5000);
        const float corners[3][2] = {{0, 0}, {-0.4f, 1}, {1, 0.7f}};
        for (int k = 0; k < 3; k++) {
            p.v[k].x = x + corners[k][0] * size;
            p.v[k].y = y + corners[k][1] * size;
            p.v[k].z = z + next(-5, 5);
            p.v[k].u = corners[k][0];
            p.v[k].v = corners[k][1];
        }
    }
    Texture* texture = app.scene->materials[0].texture ? app.scene->materials[0].texture : defaultTexture();
    for (auto _ : state) {
        spanTableReset();
        for (int i = 0; i < COUNT; i++)
            rasterizePolygon(renderBand(0), &polygons[i], texture, 200);
    }
    state.counters["faces/s"] = benchmark::Counter((double)COUNT * (double)state.iterations(), benchmark::Counter::kIsRate);
}

// Writes the scene's Life.ini and Rules.ini into dir, for veltrix-replay or the
// page to play its script on; 0 for a name no scene has or a failed write.
int writeScene(const char* name, const std::string& dir)
{
    for (const BenchScene& scene : benchScenes) {
        // The whole name, or its part before '_' ("U3").
        const size_t code = strcspn(scene.name, "_");
        if (strcmp(scene.name, name) != 0 && (strlen(name) != code || strncmp(scene.name, name, code) != 0))
            continue;
        return (!scene.life || writeSceneFile(scene.life, dir + "/Life.ini")) &&
            (!scene.rules || writeSceneFile(scene.rules, dir + "/Rules.ini"));
    }
    return 0;
}

} // namespace

BENCHMARK(BM_RenderObject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawSpanTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LifeStep)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sampler, bilinear, sampleBilinear)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sampler, nearest, sampleNearest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizePolygon)->Unit(benchmark::kMillisecond);

// `--threads N` (1 to 16, default 1) draws the scenes' frames with N threads;
// with more than one, the Time column (wall time) is the one to read, as CPU
// time counts the calling thread only. `--write-scene NAME DIR` writes the
// scene's Life.ini and Rules.ini into DIR and runs nothing. Every other
// argument is Google Benchmark's.
int main(int argc, char** argv)
{
    for (const BenchScene& scene : benchScenes) {
        auto* frame =
            benchmark::RegisterBenchmark((std::string("BM_Frame/") + scene.name).c_str(), BM_Frame, &scene);
        frame->Unit(benchmark::kMillisecond);
        if (scene.running)
            frame->Iterations(50);
    }
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--write-scene") == 0 && i + 2 < argc) {
            if (writeScene(argv[i + 1], argv[i + 2]))
                return 0;
            fprintf(stderr, "bench-frame: cannot write scene %s into %s\n", argv[i + 1], argv[i + 2]);
            return 1;
        }
        if (strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            const int n = atoi(argv[++i]);
            if (n < 1 || n > RENDER_MAX_WORKERS) {
                fprintf(stderr, "bench-frame: --threads takes 1 to %d\n", (int)RENDER_MAX_WORKERS);
                return 2;
            }
            headlessThreads = n;
        } else {
            argv[kept++] = argv[i];
        }
    }
    return runBenchmarks(kept, argv);
}
