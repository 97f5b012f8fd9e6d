// Runs of the whole program on the headless backend, for the app tests.
#pragma once

#include <string>

#include "platform/headless/headless.h"

// Starts the program with TEXT as its script (kept in *SCRIPT, the last one
// let go first) and returns appMain's result; -1, with a failure, for a
// script that does not parse.
int runScript(Script* script, const std::string& text);

// Lets go of what a run kept: a failed start-up keeps what it loaded for the
// life of the process, and a test runs the program many times.
void releaseRun(Script* script);
