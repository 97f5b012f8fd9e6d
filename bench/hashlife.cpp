// Hashlife against bgolly's (Debian's golly): the metapixel galaxy, catacryst
// and the linear propagator of golly's HashLife folder, each run to
// generation 1,048,576 by this engine and by `bgolly -a HashLife -m 1048576`,
// the two alternating round by round in one run, as the machine is shared.
// The time reported is CPU seconds: ours the process's over the step alone
// (the file's cells read once and set into a new world first, that setting
// reported apart as load_s), bgolly's the user and system time of its process,
// its reading of the file included. Counters: the population reached, and the
// memory held: ours the store's bytes, bgolly its peak resident set. Patterns
// that are not installed are skipped.
//
//   bench-hashlife [--rounds N] [Google Benchmark's arguments]
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "life/world.h"
#include "pattern/pattern.h"
#include "platform/platform.h"

extern char** environ;

// A pattern's cells are the pairs of int32 hashlife builds from.
static_assert(sizeof(PatternCell) == 2 * sizeof(int32_t), "PatternCell is x, y");

namespace {

const char* const folder = "/usr/share/golly/Patterns/HashLife/";
const int64_t generations = 1 << 20;

struct Subject {
    const char* file;
    Pattern pattern; // read at the first round
    int read;        // 1 read, -1 cannot be
};

Subject subjects[] = {
    {"metapixel-galaxy.mc.gz", {}, 0},
    {"catacryst.mc", {}, 0},
    {"linear-propagator-p237228340.mc.gz", {}, 0},
};

double processSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

bool readSubject(Subject* s)
{
    if (s->read)
        return s->read > 0;
    s->read = -1;
    const std::string path = std::string(folder) + s->file;
    uint8_t* bytes;
    size_t size;
    if (!readerLoadFile(path.c_str(), PATTERN_MAX_FILE, &bytes, &size))
        return false;
    char* text = (char*)bytes;
    PatternError error{};
    if (!patternGunzip(&text, &size, &error))
        return false;
    const int ok = parsePattern(detectFormat(text, size, path.c_str()), text, size, &s->pattern, &error);
    heapFree(text);
    if (!ok)
        fprintf(stderr, "bench-hashlife: %s: %s\n", path.c_str(), error.message);
    s->read = ok ? 1 : -1;
    return ok;
}

void BM_Ours(benchmark::State& state, Subject* s)
{
    if (!readSubject(s)) {
        state.SkipWithError("the pattern is not installed (Debian package golly)");
        return;
    }
    UniverseRule rule{};
    char reason[WORLD_REASON];
    if (!universeRuleParse(s->pattern.rule[0] ? s->pattern.rule : "B3/S23", &rule, reason, sizeof reason)) {
        state.SkipWithError(reason);
        return;
    }
    for (auto _ : state) {
        const double start = processSeconds();
        World* world = hashlifeWorldFromCells(&rule, &s->pattern.cells[0].x, s->pattern.count, s->pattern.left,
                                              s->pattern.top, reason, sizeof reason);
        int ok = world != nullptr;
        const double loaded = processSeconds();
        ok = ok && worldStep(world, generations);
        const double stepped = processSeconds();
        if (!ok) {
            state.SkipWithError(world ? world->failure : reason);
            worldRelease(world);
            return;
        }
        state.SetIterationTime(stepped - loaded);
        state.counters["load_s"] = loaded - start;
        state.counters["population"] = (double)worldPopulation(world);
        state.counters["memory_MiB"] = (double)hashlifeWorldBytes(world) / (1 << 20);
        worldRelease(world);
    }
}

// bgolly's run under GNU time, which writes its peak resident set in KiB to a
// file (wait4's own figure for a process this one starts counts this one's
// pages, which the child began with); CPU seconds from wait4, time's own
// included, the population from the last line bgolly prints.
void BM_Bgolly(benchmark::State& state, Subject* s)
{
    const std::string path = std::string(folder) + s->file;
    if (access("/usr/bin/bgolly", X_OK) != 0 || access("/usr/bin/time", X_OK) != 0 || access(path.c_str(), R_OK) != 0) {
        state.SkipWithError("bgolly, GNU time or the pattern is not installed (Debian packages golly, time)");
        return;
    }
    char out[] = "/tmp/bench-hashlife-XXXXXX", peak[] = "/tmp/bench-hashlife-XXXXXX";
    const int outFd = mkstemp(out), peakFd = mkstemp(peak);
    if (outFd < 0 || peakFd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(outFd);
    close(peakFd);
    const std::string count = std::to_string(generations);
    const char* argv[] = {
        "/usr/bin/time", "-f", "%M", "-o", peak, "/usr/bin/bgolly", "-a", "HashLife", "-m", count.c_str(), path.c_str(), nullptr};
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_TRUNC, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, (char* const*)argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("bgolly failed");
            break;
        }
        state.SetIterationTime((double)usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
                               (double)usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6);
        FILE* peakFile = fopen(peak, "r");
        double kib = 0;
        if (peakFile && fscanf(peakFile, "%lf", &kib) != 1)
            kib = 0;
        if (peakFile)
            fclose(peakFile);
        state.counters["memory_MiB"] = kib / 1024;
        // "1,048,576: 6,835,194": the population after the colon, commas dropped.
        FILE* printed = fopen(out, "r");
        char line[256], last[256] = "";
        while (printed && fgets(line, sizeof line, printed))
            if (strchr(line, ':'))
                snprintf(last, sizeof last, "%s", line);
        if (printed)
            fclose(printed);
        double population = 0;
        for (const char* c = strchr(last, ':'); c && *c; c++)
            if (*c >= '0' && *c <= '9')
                population = population * 10 + (*c - '0');
        state.counters["population"] = population;
    }
    remove(out);
    remove(peak);
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 3;
    std::vector<char*> rest;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = atoi(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    int restCount = (int)rest.size();
    // Round by round, each pattern by both programs in turn.
    for (int r = 1; r <= rounds; r++)
        for (Subject& s : subjects) {
            const std::string name = std::string(s.file) + "/round:" + std::to_string(r);
            benchmark::RegisterBenchmark((name + "/ours").c_str(), BM_Ours, &s)
                ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((name + "/bgolly").c_str(), BM_Bgolly, &s)
                ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        }
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (Subject& s : subjects)
        if (s.read > 0)
            patternRelease(&s.pattern);
    return 0;
}
