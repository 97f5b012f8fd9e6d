// Universe speed: one generation of a seeded 50 % soup under Conway's rule (the
// bit-sliced path), under a non-totalistic table (the 4 x 4 lookup path), on a
// torus, and per soup size (the largest population a 20 ms tick can step).
//
//   bench-universe --rle FILE GENERATIONS [torus|table]
// instead runs the soup of an RLE file (as bench/universe_vs_bgolly.sh writes it)
// that many generations and prints the process CPU time, reading included.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "life/life.h"

namespace {

UniverseRule conwayTable()
{
    UniverseRule rule{};
    for (int i = 0; i < 512; i++) {
        int n = __builtin_popcount(i & ~16);
        rule.next[i] = n == 3 || (n == 2 && (i & 16));
    }
    return rule;
}

// Conway's rule, but a live cell whose two neighbours face each other across it
// (north and south, or east and west) dies: no longer a function of the count.
UniverseRule hookedTable()
{
    UniverseRule rule = conwayTable();
    rule.next[16 | 2 | 128] = 0;
    rule.next[16 | 8 | 32] = 0;
    return rule;
}

LifeGridShape torusOf(int32_t w, int32_t h)
{
    return LifeGridShape{LIFE_TORUS, w, h, 0, 0, 0, 0};
}

Universe* soupUniverse(const UniverseRule& rule, int32_t size, uint32_t seed)
{
    Universe* u = universeCreate(&rule);
    if (!u)
        return nullptr;
    std::mt19937 random(seed);
    for (int32_t y = 0; y < size; y++)
        for (int32_t x = 0; x < size; x++)
            if (random() & 1)
                universeSetCell(u, x - size / 2, y - size / 2, 1);
    return u;
}

// Steps a soup, after the given number of warm-up generations, once per iteration.
void stepSoup(benchmark::State& state, const UniverseRule& rule, int32_t size, int warmup)
{
    Universe* u = soupUniverse(rule, size, 1);
    for (int g = 0; g < warmup; g++)
        universeStep(u);
    for (auto _ : state)
        if (!universeStep(u))
            state.SkipWithError("out of memory");
    state.counters["population"] = (double)universePopulation(u);
    universeRelease(u);
}

void BM_ConwaySoup2048(benchmark::State& state)
{
    stepSoup(state, conwayTable(), 2048, (int)state.range(0));
}
BENCHMARK(BM_ConwaySoup2048)->Arg(0)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_TableSoup2048(benchmark::State& state)
{
    stepSoup(state, hookedTable(), 2048, (int)state.range(0));
}
BENCHMARK(BM_TableSoup2048)->Arg(0)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_TorusSoup2048(benchmark::State& state)
{
    UniverseRule rule = conwayTable();
    rule.grid = torusOf(2048, 2048);
    stepSoup(state, rule, 2048, (int)state.range(0));
}
BENCHMARK(BM_TorusSoup2048)->Arg(0)->Arg(500)->Unit(benchmark::kMillisecond);

// The first generation of a fresh soup, every tile busy: the worst step for its population
// (the counter: the population stepped).
void BM_FreshSoupStep(benchmark::State& state)
{
    UniverseRule rule = conwayTable();
    int32_t size = (int32_t)state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        Universe* u = soupUniverse(rule, size, 2);
        state.counters["population"] = (double)universePopulation(u);
        state.ResumeTiming();
        universeStep(u);
        state.PauseTiming();
        universeRelease(u);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FreshSoupStep)->Arg(2048)->Arg(4096)->Arg(8192)->Arg(12288)->Unit(benchmark::kMillisecond)->Iterations(3);

// The RLE this file's script writes: a header line, then b, o, $ with run counts, '!'.
int runRle(const char* path, long generations, const char* mode)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "bench-universe: cannot open %s\n", path);
        return 1;
    }
    UniverseRule rule = strcmp(mode, "table") == 0 ? hookedTable() : conwayTable();
    int c;
    while ((c = fgetc(file)) != EOF && (c == '#' || c == 'x'))
        while (c != EOF && c != '\n')
            c = fgetc(file);
    int32_t w = 0, h = 0, x = 0, y = 0, run = 0;
    struct Cell { int32_t x, y; };
    size_t count = 0, capacity = 1 << 20;
    Cell* cells = (Cell*)malloc(capacity * sizeof(Cell));
    for (; c != EOF && c != '!' && cells; c = fgetc(file)) {
        if (c >= '0' && c <= '9') {
            run = run * 10 + (c - '0');
            continue;
        }
        if (c == '\n' || c == '\r' || c == ' ')
            continue;
        int32_t n = run ? run : 1;
        run = 0;
        if (c == 'b') {
            x += n;
        } else if (c == '$') {
            y += n;
            x = 0;
        } else if (c == 'o') {
            for (int32_t k = 0; k < n; k++) {
                if (count == capacity) {
                    capacity *= 2;
                    Cell* more = (Cell*)realloc(cells, capacity * sizeof(Cell));
                    if (!more)
                        break;
                    cells = more;
                }
                cells[count++] = Cell{x++, y};
            }
        }
        if (x > w) w = x;
        if (y + 1 > h) h = y + 1;
    }
    fclose(file);
    if (!cells)
        return 1;
    // On the torus the soup fills the grid, whose left column is -floor(w / 2).
    if (strcmp(mode, "torus") == 0)
        rule.grid = torusOf(w, h);
    Universe* u = universeCreate(&rule);
    int ok = u != nullptr;
    for (size_t i = 0; ok && i < count; i++)
        ok = universeSetCell(u, cells[i].x - (rule.grid.width ? w / 2 : 0), cells[i].y - (rule.grid.height ? h / 2 : 0), 1);
    free(cells);
    for (long g = 0; ok && g < generations; g++)
        ok = universeStep(u);
    clock_t used = clock();
    if (!ok) {
        fprintf(stderr, "bench-universe: out of memory\n");
        universeRelease(u);
        return 1;
    }
    printf("%.3f s CPU, generation %lld, population %lld\n", (double)used / CLOCKS_PER_SEC,
           (long long)universeGeneration(u), (long long)universePopulation(u));
    universeRelease(u);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "--rle") == 0)
        return runRle(argv[2], atol(argv[3]), argc >= 5 ? argv[4] : "plane");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
