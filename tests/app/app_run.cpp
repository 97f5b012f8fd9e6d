#include "app_run.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "display/display.h"

int runScript(Script* script, const std::string& text)
{
    scriptRelease(script);
    char error[160];
    if (!scriptParse(text.data(), text.size(), script, error, sizeof error)) {
        ADD_FAILURE() << error;
        return -1;
    }
    appRelease();
    headlessReset(script);
    return appMain();
}

void releaseRun(Script* script)
{
    appRelease();
    displayRelease();
    if (headless.window)
        windowDestroy(headless.window);
    headlessReset(nullptr);
    scriptRelease(script);
}
