// One frame: the bands chosen and the table emptied, then every worker puts
// the scene's faces into its own rows and draws them, then the warnings.
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"

struct FrameJob {
    const RenderScene* scene;
    uint32_t* framebuffer;
};

// A band's rows are its worker's alone, so it draws them as soon as its own
// faces are in, without waiting for the others.
static void drawFrameBand(RenderBand* band, const void* context)
{
    const FrameJob* job = (const FrameJob*)context;
    const RenderScene* scene = job->scene;
    for (int32_t n = 0; n < scene->modelCount; n++) {
        const RenderModel* model = &scene->models[n];
        for (int32_t i = 0; i < model->placementCount; i++)
            for (int32_t k = 0; k < model->objectCount; k++)
                renderObject(band, &model->placements[i], scene->worldToView, &model->objects[k], model->materials,
                    model->materialCount, model->quads);
    }
    drawBand(band, job->framebuffer);
}

int32_t renderFrame(const RenderScene* scene, uint32_t* framebuffer)
{
    // The bands follow the last frame's spans, read before they go.
    renderBandsBalance();
    spanTableReset();
    spanTableRepack();
    const FrameJob job = {scene, framebuffer};
    renderWorkersRun(drawFrameBand, &job);
    return drawWarnings(framebuffer);
}
