// Speed of the multi-state engine: one generation of a seeded soup under
// Generations (Brian's Brain), Larger than Life (Bosco's rule, range 5) and a
// rule table (WireWorld, shipped).
//
//   bench-states --file FILE GENERATIONS
// instead loads a pattern file as a drop does (bench/states_vs_bgolly.sh writes
// the soups), steps it that many generations and prints the process CPU time,
// reading included, and the population.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "life/states.h"
#include "pattern/pattern.h"

namespace {

World* soupWorld(const char* ruleText, int32_t size, uint32_t seed)
{
    const StatesRuleSource source = {"", nullptr, 0};
    StatesRule rule;
    char reason[256];
    if (!statesRuleParse(ruleText, &source, &rule, reason, sizeof reason))
        return nullptr;
    World* world = statesWorldCreate(&rule, reason, sizeof reason);
    const int states = rule.states;
    statesRuleRelease(&rule);
    std::mt19937 random(seed);
    for (int32_t y = 0; world && y < size; y++)
        for (int32_t x = 0; x < size; x++)
            if (random() % 2)
                worldSetCell(world, x, y, 1 + (int)(random() % (unsigned)(states - 1)));
    return world;
}

// Each iteration one generation of the soup, stepped on from a few generations in.
void stepSoup(benchmark::State& state, const char* rule, int32_t size)
{
    World* world = soupWorld(rule, size, 11);
    if (!world || !worldStep(world, 4)) {
        state.SkipWithError("the soup could not be made");
        worldRelease(world);
        return;
    }
    for (auto _ : state)
        if (!worldStep(world, 1)) {
            state.SkipWithError(world->failure);
            break;
        }
    state.counters["population"] = (double)worldPopulation(world);
    worldRelease(world);
}

void BM_GenerationsBriansBrain(benchmark::State& state)
{
    stepSoup(state, "B2/S/C3", (int32_t)state.range(0));
}
BENCHMARK(BM_GenerationsBriansBrain)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_LargerThanLifeBosco(benchmark::State& state)
{
    stepSoup(state, "R5,C0,M1,S34..58,B34..45,NM", (int32_t)state.range(0));
}
BENCHMARK(BM_LargerThanLifeBosco)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_TableWireWorld(benchmark::State& state)
{
    stepSoup(state, "WireWorld", (int32_t)state.range(0));
}
BENCHMARK(BM_TableWireWorld)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

int runFile(const char* path, long generations)
{
    PatternReport* report = (PatternReport*)malloc(sizeof(PatternReport));
    PatternError error = {0, ""};
    World* world = report ? patternLoadWorld(path, report, &error, nullptr) : nullptr;
    free(report);
    if (!world) {
        fprintf(stderr, "bench-states: %s: %s\n", path, error.message);
        return 1;
    }
    const int ok = worldStep(world, generations);
    const clock_t used = clock();
    if (!ok)
        fprintf(stderr, "bench-states: %s\n", world->failure);
    else
        printf("%.3f s CPU, generation %lld, population %lld\n", (double)used / CLOCKS_PER_SEC,
               (long long)worldGeneration(world), (long long)worldPopulation(world));
    worldRelease(world);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "--file") == 0)
        return runFile(argv[2], atol(argv[3]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
