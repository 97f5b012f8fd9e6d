// The program started headless on a copy of the bundled data and set up on a
// scene of bench/scenes, for the benchmarks to time frames of.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "app/app.h"
#include "display/display.h"
#include "platform/headless/headless.h"

namespace {

const std::string sourceDir = VELTRIX_SOURCE_DIR;

std::string readText(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, n);
    fclose(file);
    return text;
}

// The program running headless in a temporary copy of data/, stopped between
// two timer messages so that frameTick can be called directly.
class HeadlessRun {
public:
    // lifeFile: a pattern in bench/scenes, or null for the bundled Life.ini.
    // scene: a replay script in bench/scenes whose keys, mouse moves and ticks
    // set the scene up.
    HeadlessRun(const char* lifeFile, const char* scene)
    {
        char pattern[] = "/tmp/veltrix-bench-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        dir_ = pattern;
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return;
        previous_ = cwd;
        std::string copy = "cp -r '" + sourceDir + "/data/.' '" + dir_ + "'";
        if (lifeFile)
            copy += " && cp '" + sourceDir + "/bench/scenes/" + lifeFile + "' '" + dir_ + "/Life.ini'";
        if (system(copy.c_str()) != 0 || chdir(dir_.c_str()) != 0)
            return;

        // The program's own start-up and the scene's messages; where the
        // script ends the program stays standing, driven frame by frame from
        // here on.
        const std::string text = readText(sourceDir + "/bench/scenes/" + scene);
        char error[128];
        if (!scriptParse(text.data(), text.size(), &script_, error, sizeof error))
            return;
        headlessReset(&script_);
        headless.scriptEndQuits = 1;
        if (!appStart())
            return;
        appRun();
        if (headless.framesPresented == 0)
            return;
        // A few frames grow every row's span list to what the scene needs.
        for (int i = 0; i < 3; i++)
            frameTick();
        memcpy(&grid_, app.grid, sizeof grid_);
        generation_ = app.generationCount;
        ready_ = true;
    }
    ~HeadlessRun()
    {
        appStop();
        displayRelease();
        if (app.window)
            windowDestroy(app.window);
        app.window = nullptr;
        appRelease();
        headlessReset(nullptr);
        scriptRelease(&script_);
        if (!previous_.empty() && chdir(previous_.c_str()) != 0)
            perror("chdir");
        if (!dir_.empty()) {
            const std::string remove = "rm -rf '" + dir_ + "'";
            if (system(remove.c_str()) != 0)
                perror("rm");
        }
    }
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    bool ready() const { return ready_; }
    // Puts the board back as it was when the scene was set up, so that every
    // timed frame of an auto-iterating scene draws the same generation.
    void restoreBoard()
    {
        memcpy(app.grid, &grid_, sizeof grid_);
        app.generationCount = generation_;
    }

private:
    std::string dir_;
    std::string previous_;
    Script script_ = {};
    LifeGrid grid_ = {};
    int32_t generation_ = 0;
    bool ready_ = false;
};

// Google Benchmark's main, on the arguments the caller left.
int runBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace
