#include <cmath>

#include "platform/platform.h"
#include "render/render_local.h"
#include "spans/spans.h"

int32_t renderWidth = 0;
int32_t renderHeight = 0;
float focal = 0.0f;
Plane frustumPlanes[4];

int engineInit(int32_t width, int32_t height)
{
    renderWidth = width;
    renderHeight = height;
    // A 90-degree field of view across the width: exactly width / 2.
    focal = (float)fabs((double)width / (2.0 * tan(M_PI / 4.0)));
    // Two pixels narrower than the screen on every side, so clipped polygons
    // stay inside it.
    buildFrustum((float)(width - 4), (float)(height - 4), focal, frustumPlanes);
    if (!spanTableInit(width, height))
        return 0;
    buildWeightTables();
    defaultTexture();
    selectSampler(1);
    renderBandSet(renderBand(0), 0, height);
    return 1;
}

void engineRelease()
{
    renderWorkersStop();
    spanTableRelease();
}
