// One frame: the bands chosen and the table emptied, then every worker puts
// the scene's faces into its own rows and draws them, then the warnings.
#include "render/render_local.h"
#include "scene/scene.h"
#include "spans/spans.h"

void renderFrameBegin()
{
    // The bands follow the last frame's spans, read before they go.
    renderBandsBalance();
    spanTableReset();
    spanTableRepack();
}

struct FrameJob {
    const RenderScene* scene;
    Matrix4 worldToView; // the camera pose inverted, once for every cell of the frame
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
                renderObject(band, &model->placements[i], &job->worldToView, &model->objects[k], model->materials,
                    model->materialCount, model->quads);
    }
    drawBand(band, job->framebuffer);
}

int32_t renderFrameDraw(const RenderScene* scene, uint32_t* framebuffer)
{
    FrameJob job;
    job.scene = scene;
    matInverse(scene->cameraPose, &job.worldToView);
    job.framebuffer = framebuffer;
    renderWorkersRun(drawFrameBand, &job);
    return drawWarnings(framebuffer);
}
