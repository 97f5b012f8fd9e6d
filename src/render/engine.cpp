#include <cmath>

#include "platform/platform.h"
#include "render/render_local.h"
#include "spans/spans.h"

// Filtering is on from the start, before any engineInit.
Renderer renderer = {0, 0, 0.0f, {}, sampleBilinear, 1, {}, {}, {}, {}};

RenderScreen renderScreenOf(int32_t width, int32_t height)
{
    RenderScreen screen;
    screen.width = width;
    screen.height = height;
    // A 90-degree field of view across the width: exactly width / 2.
    screen.focal = (float)fabs((double)width / (2.0 * tan(M_PI / 4.0)));
    screen.halfWidth = (float)(width / 2);
    screen.halfHeight = (float)(height / 2);
    // Two pixels narrower than the screen on every side, so clipped polygons
    // stay inside it.
    screen.inset = 2.0f;
    return screen;
}

int engineInit(int32_t width, int32_t height)
{
    const RenderScreen screen = renderScreenOf(width, height);
    renderer.width = width;
    renderer.height = height;
    renderer.focal = screen.focal;
    buildFrustum((float)width - 2.0f * screen.inset, (float)height - 2.0f * screen.inset, renderer.focal,
        renderer.frustum);
    if (!spanTableInit(width, height))
        return 0;
    buildWeightTables();
    defaultTexture();
    setFiltering(1);
    renderBandSet(renderBand(0), 0, height);
    return 1;
}

void engineRelease()
{
    renderWorkersStop();
    spanTableRelease();
}

void setFiltering(int32_t on)
{
    renderer.filtering = on ? 1 : 0;
    renderer.sampler = on ? sampleBilinear : sampleNearest;
}

void toggleFiltering()
{
    setFiltering(!renderer.filtering);
}

int32_t filteringOn()
{
    return renderer.filtering;
}
