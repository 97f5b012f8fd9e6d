// The program started headless on a copy of the bundled data and set up on a
// scene of bench/scenes, for the benchmarks to time frames of.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "app/app.h"
#include "display/display.h"
#include "platform/headless/headless.h"

namespace {

const std::string sourceDir = VELTRIX_SOURCE_DIR;

// The life file of scenes U3-U5, made here rather than kept in bench/scenes:
// a 1024 x 1024 soup at 50 % around (0, 0), the same from one run to the next.
const char* const soupLifeFile = "soup1024.ini";
// The life file of the G scenes: the metapixel galaxy of Debian's golly
// package, a macrocell file, unpacked; scenes without it are skipped.
const char* const galaxyLifeFile = "metapixel-galaxy.mc";
const char* const galaxyPath = "/usr/share/golly/Patterns/HashLife/metapixel-galaxy.mc.gz";

// 1, or 0 when the file could not be written.
int writeSoup(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    enum { SIDE = 1024 };
    std::mt19937 random(1024);
    std::string cells;
    int32_t count = 0;
    for (int32_t y = 0; y < SIDE; y++)
        for (int32_t x = 0; x < SIDE; x++)
            if (random() & 1) {
                cells += std::to_string(x - SIDE / 2) + ' ' + std::to_string(y - SIDE / 2) + " 0\n";
                count++;
            }
    const std::string head = std::to_string(count) + '\n';
    const int written = fwrite(head.data(), 1, head.size(), file) == head.size() &&
        fwrite(cells.data(), 1, cells.size(), file) == cells.size();
    return fclose(file) == 0 && written;
}

// A file of bench/scenes, or the soup, written to path: 1, or 0.
int writeSceneFile(const char* name, const std::string& path)
{
    if (strcmp(name, soupLifeFile) == 0)
        return writeSoup(path);
    if (strcmp(name, galaxyLifeFile) == 0) {
        const std::string unpack = std::string("zcat '") + galaxyPath + "' > '" + path + "' 2>/dev/null";
        return system(unpack.c_str()) == 0;
    }
    const std::string copy = "cp '" + sourceDir + "/bench/scenes/" + name + "' '" + path + "'";
    return system(copy.c_str()) == 0;
}

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

// A scene: its replay script, and the Life.ini and Rules.ini it starts on (null:
// the bundled ones). A running scene steps every frame: its timed frames are
// a fixed number of generations on from where its script leaves it.
struct BenchScene {
    const char* name;
    const char* life;
    const char* rules;
    const char* script;
    bool running;
    int copies; // copies of the world's cells set far off screen once the script is played
};

const BenchScene benchScenes[] = {
    {"S1_start", nullptr, nullptr, "s1.txt", false, 0},
    {"S2_soup", "soup.ini", nullptr, "s2.txt", false, 0},
    {"S3_full", "full.ini", nullptr, "s3.txt", false, 0},
    {"S4_grazing", "full.ini", nullptr, "s4.txt", false, 0},
    {"U1_gun", "gun.ini", "conway_rules.ini", "u1.txt", false, 0},
    {"U2_acorn", "acorn.ini", "conway_rules.ini", "u2.txt", false, 0},
    {"U3_soup", soupLifeFile, "conway_rules.ini", "u3.txt", false, 0},
    {"U4_low", soupLifeFile, "conway_rules.ini", "u4.txt", false, 0},
    {"U5_running", soupLifeFile, "conway_rules.ini", "u5.txt", true, 0},
    {"U6_offscreen", soupLifeFile, "conway_rules.ini", "u3.txt", false, 10},
    {"G1_galaxy", galaxyLifeFile, "conway_rules.ini", "g1.txt", false, 0},
    {"G2_galaxy_running", galaxyLifeFile, "conway_rules.ini", "g2.txt", true, 0},
};

// The program running headless in a temporary copy of data/, stopped between
// two timer messages so that frameTick can be called directly.
class HeadlessRun {
public:
    // lifeFile: a pattern in bench/scenes (or soupLifeFile), or null for the
    // bundled Life.ini; rulesFile likewise for Rules.ini. scene: a replay
    // script in bench/scenes whose keys, mouse moves and ticks set the scene up.
    HeadlessRun(const char* lifeFile, const char* scene, const char* rulesFile = nullptr)
    {
        char pattern[] = "/tmp/veltrix-bench-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        dir_ = pattern;
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return;
        previous_ = cwd;
        const std::string copy = "cp -r '" + sourceDir + "/data/.' '" + dir_ + "'";
        if (system(copy.c_str()) != 0 || (lifeFile && !writeSceneFile(lifeFile, dir_ + "/Life.ini")) ||
            (rulesFile && !writeSceneFile(rulesFile, dir_ + "/Rules.ini")) || chdir(dir_.c_str()) != 0)
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
        if (app.world->fixedView)
            board_ = worldSnapshotTake(app.world, nullptr);
        ready_ = true;
    }
    ~HeadlessRun()
    {
        worldSnapshotRelease(board_);
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
    // timed frame of an auto-iterating scene draws the same generation. A
    // universe is left as it stands.
    void restoreBoard()
    {
        World* board = board_ ? worldSnapshotRestore(board_) : nullptr;
        if (!board)
            return;
        worldRelease(app.world);
        app.world = board;
    }

private:
    std::string dir_;
    std::string previous_;
    Script script_ = {};
    WorldSnapshot* board_ = nullptr; // the board as the scene left it; null on a universe
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
