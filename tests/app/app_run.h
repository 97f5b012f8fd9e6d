// Runs of the whole program on the headless backend, for the app tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/faults.h"
#include "platform/headless/headless.h"
#include "support/support.h"

// Starts the program with TEXT as its script (kept in *SCRIPT, the last one
// let go first) and returns appMain's result; -1, with a failure, for a
// script that does not parse.
int runScript(Script* script, const std::string& text);

// Lets go of what a run kept: a failed start-up keeps what it loaded for the
// life of the process, and a test runs the program many times.
void releaseRun(Script* script);

// A hash of the frame last drawn from firstRow down (the overlay's status
// lines above it may name the rule or the engine).
uint64_t frameHash(int32_t firstRow = 0);

// The camera turned as at start-up, at (x, y, z), pitched.
void lookFrom(float x, float y, float z, float pitch);

// A glider near the middle, and Conway's rule.
constexpr const char* lifeIni = "5\n32 31 0\n33 32 0\n31 33 0\n32 33 0\n33 33 0\n";

// The program started on the bundled data with the glider, one script a run.
class App : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyBundledData();
        writeFile("Life.ini", lifeIni);
        writeFile("Rules.ini", "1 4 3 3\n");
        heapHookReset();
        headlessReset(nullptr);
    }
    void TearDown() override
    {
        releaseRun(&script);
        heapHookReset();
    }
    int run(const char* text)
    {
        return runScript(&script, text);
    }
    TempDir dir;
    Script script = {};
};

