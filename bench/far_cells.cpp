// Frame speed of a universe seen whole: a seeded 1024 x 1024 soup at 50 %
// under Conway's rule, 100 generations on (about 100,000 live cells), drawn
// from above with all of it in view, from far above, and from low across it, beside the board's
// S3 (all 4,096 cells with the full model) in the same run; and the same
// views of a world of three states, Brian's Brain from a soup as large, each
// state in its look. The frames are
// frameTick's, on the program started headless; the soup is not stepped while
// timed.
//
//   bench-far_cells [--threads N] [--shots DIR] [Google Benchmark's arguments]
// --shots writes each view's frame to DIR as a BMP before timing it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "headless_run.h"
#include "render/render.h"

namespace {

std::string shots;

World* soup(int32_t size, uint32_t seed, int generations, const char* rule = "B3/S23")
{
    char reason[128];
    World* world = worldCreate(rule, reason, sizeof reason);
    if (!world)
        return nullptr;
    std::mt19937 random(seed);
    for (int32_t y = 0; y < size; y++)
        for (int32_t x = 0; x < size; x++)
            if (random() & 1)
                worldSetCell(world, x - size / 2, y - size / 2, 1);
    worldStep(world, generations);
    return world;
}

// The camera turned as at start-up, at (x, y, z), pitched.
void pose(float x, float y, float z, float pitch)
{
    matIdentity(&app.cameraMatrix);
    matRotateZ(&app.cameraMatrix, -3.1415925f);
    app.cameraMatrix.m[12] = x;
    app.cameraMatrix.m[13] = y;
    app.cameraMatrix.m[14] = z;
    app.pitchAngle = pitch;
}

struct View {
    const char* name;
    float x, y, z, pitch;
    int states; // 0: Conway's soup, 1: Brian's Brain's
};

void BM_Soup(benchmark::State& state, View view)
{
    HeadlessRun run(nullptr, "s1.txt");
    static World* soups[2] = {};
    if (!soups[view.states])
        soups[view.states] = view.states ? soup(1024, 1, 30, "B2/S/C3") : soup(1024, 1, 100);
    World* shared = soups[view.states];
    if (!run.ready() || !shared) {
        state.SkipWithError("start-up failed");
        return;
    }
    World* board = app.world;
    app.world = shared;
    app.originX = 0;
    app.originY = 0;
    pose(view.x, view.y, view.z, view.pitch);
    for (int i = 0; i < 3; i++)
        frameTick();
    if (!shots.empty()) {
        app.screenshotRequested = 1;
        frameTick();
        const std::string move = "mv 'Screenshot 0.bmp' '" + shots + "/" + view.name + ".bmp'";
        if (system(move.c_str()) != 0)
            state.SkipWithError("no screenshot");
    }
    RenderScene scene;
    placeFrameCells(&app.worldToView, &scene);
    int64_t faces = 0, full = 0;
    for (int32_t i = 0; i < scene.modelCount; i++) {
        if (scene.models[i].quads)
            faces += scene.models[i].objects[0].faceCount;
        else
            full += scene.models[i].placementCount;
    }
    for (auto _ : state) {
        frameTick();
        benchmark::ClobberMemory();
    }
    state.counters["cells"] = (double)worldPopulation(shared);
    state.counters["full"] = (double)full;
    state.counters["standins"] = (double)faces / 2;
    app.world = board;
}

void BM_BoardFull(benchmark::State& state)
{
    HeadlessRun run("full.ini", "s3.txt");
    if (!run.ready()) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state) {
        frameTick();
        benchmark::ClobberMemory();
    }
}

} // namespace

// Whole: the whole soup (after 100 generations it spills a little past its
// 1024 cells) fits the 480 rows. Distant: seven times as far, a tile under
// two pixels. Low: 15 cells up, just off the soup's edge, looking across it.
BENCHMARK_CAPTURE(BM_Soup, whole, View{"whole", 0.0f, 0.0f, -80000.0f, 0.0f, 0})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soup, distant, View{"distant", 0.0f, 0.0f, -600000.0f, 0.0f, 0})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soup, low, View{"low", 0.0f, -56000.0f, -1500.0f, 1.35f, 0})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soup, states_whole, View{"states_whole", 0.0f, 0.0f, -80000.0f, 0.0f, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soup, states_distant, View{"states_distant", 0.0f, 0.0f, -600000.0f, 0.0f, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Soup, states_low, View{"states_low", 0.0f, -56000.0f, -1500.0f, 1.35f, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoardFull)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            const int n = atoi(argv[++i]);
            if (n < 1 || n > RENDER_MAX_WORKERS) {
                fprintf(stderr, "bench-far_cells: --threads takes 1 to %d\n", (int)RENDER_MAX_WORKERS);
                return 2;
            }
            headlessThreads = n;
        } else if (strcmp(argv[i], "--shots") == 0 && i + 1 < argc) {
            shots = argv[++i];
        } else {
            argv[kept++] = argv[i];
        }
    }
    return runBenchmarks(kept, argv);
}
