// One frame: the bands chosen and the table emptied, then every worker puts
// the scene's faces into its own rows and draws them, then the warnings.
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"

int32_t renderFrame(const RenderScene* scene, uint32_t* framebuffer)
{
    // The bands follow the last frame's spans, read before they go.
    renderBandsBalance();
    spanTableReset();
    spanTableRepack();
    renderBandsDraw(scene, framebuffer);
    int32_t spans, disorder;
    renderBandsCounted(&spans, &disorder);
    drawWarnings(framebuffer, disorder);
    return spans;
}
