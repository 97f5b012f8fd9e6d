// F9's recording. It shows nothing while it runs, so the frames it keeps are
// the frames a screenshot would keep; Engine.log and the notice at the end
// say where it went.
#include <cstdio>

#include "app/app.h"
#include "image/image.h"

#ifdef VELTRIX_GIF

void recordToggle()
{
    if (app.recording) {
        recordStop();
        return;
    }
    // "%2x", as the screenshots are named.
    for (uint32_t n = 0;; n++) {
        snprintf(app.recordingName, sizeof app.recordingName, "Recording%2x.gif", n);
        if (!fileExists(app.recordingName))
            break;
        if (n == UINT32_MAX) {
            showNotice("Not recording: no free name");
            return;
        }
    }
    char text[NOTICE_TEXT];
    app.recording = gifRecordOpen(app.recordingName, screenWidth, screenHeight, RECORD_MAX_BYTES);
    if (!app.recording) {
        snprintf(text, sizeof text, "Not recording: %s cannot be written", app.recordingName);
        logLine(text);
        showNotice(text);
        return;
    }
    // A notice left up would be recorded.
    app.noticeTicks = 0;
    snprintf(text, sizeof text, "Recording to %s", app.recordingName);
    logLine(text);
}

void recordFrame()
{
    if (!app.recording)
        return;
    if (!gifRecordHasRoom(app.recording)) {
        recordStop();
        char text[NOTICE_TEXT];
        snprintf(text, sizeof text, "%s stopped at its size limit of %llu MiB", app.recordingName,
            (unsigned long long)(RECORD_MAX_BYTES >> 20));
        logLine(text);
        showNotice(text);
        return;
    }
    if (!gifRecordFrame(app.recording, app.framebuffer))
        recordStop();
}

void recordStop()
{
    if (!app.recording)
        return;
    const int32_t frames = app.recording->frames;
    const uint64_t bytes = app.recording->bytes;
    const int whole = gifRecordClose(app.recording);
    app.recording = nullptr;
    char text[NOTICE_TEXT];
    if (whole)
        snprintf(text, sizeof text, "Saved %s: %d frames, %llu KiB", app.recordingName, frames,
            (unsigned long long)((bytes + 1023) >> 10));
    else
        snprintf(text, sizeof text, "%s could not be written whole", app.recordingName);
    logLine(text);
    showNotice(text);
}

#else

void recordToggle()
{
    showNotice("Recording is not in this build");
}

void recordFrame()
{
}

void recordStop()
{
}

#endif
