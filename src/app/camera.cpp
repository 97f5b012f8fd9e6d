// The camera: mouse look, framing the live cells, zoom, follow, and the world
// origin the frame's cells are placed relative to.
//
// Cells sit at ((x - originX) * 100, (y - originY) * 100), whole cells counted
// in int64 and only the difference made a float, so a pattern ten million
// cells out is drawn with the same floats as one at the middle. Unless the
// world's view is fixed, the origin moves under the camera in whole cells once
// the camera strays from it (a rebase); the board keeps (32, 32) and so its
// frames.
#include <cmath>

#include "app/app.h"

// Past this many cells from the origin the camera's whole cells move into the
// origin. Truncated toward zero, less than a cell is left, which the float
// holds exactly: the camera keeps its exact place among the cells.
static const double rebaseCells = 64.0;
// Far enough for any 32-bit coordinate and its camera; the int64 sums and
// the float translations stay finite however often PgUp or an arrow is held.
static const double originLimit = 1099511627776.0; // 2^40 cells
static const float farthest = 1.0e12f;             // units from the point looked at
// The framing slant: the pitch of the page's whole-board view (260 pixels of
// mouse motion).
static const float framePitch = 260.0f * mouseFactor;
// Half a cell's room around its middle, every way: the model fits inside.
static const double cellHalf = 50.0;

// The camera's pose with the given pitch: its rows are the view's right, down
// and forward axes in the world, its translation the camera's place.
static Matrix4 poseAt(float pitch)
{
    Matrix4 pose = app.cameraMatrix;
    matRotateX(&pose, pitch);
    return pose;
}

// Places the camera on the forward axis of the framing pitch, keeping its yaw,
// as close to the box's middle as lets all eight corners of the box (a cell's
// room around every cell) inside the frustum less a margin. Each corner's
// view coordinates are linear in the distance d along the forward axis (only
// its depth grows with d), so the least d is a maximum over the corners.
// Plain double arithmetic, rounded to float once: the same on every platform.
void cameraFrame()
{
    WorldBox box;
    if (!worldBounds(app.world, &box))
        return;
    const int64_t left = box.left, top = box.top, right = box.right, bottom = box.bottom;
    if (!app.world->fixedView) {
        // Differences of int32 coordinates: no overflow, and the same for a
        // pattern wherever it lies.
        app.originX = left + (right - left) / 2;
        app.originY = top + (bottom - top) / 2;
        // Turned as the community draws patterns: x to the right, y down the
        // screen, the slant looking up the pattern.
        for (int i = 0; i < 12; i++)
            app.cameraMatrix.m[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    // How much of the frustum the box may fill: the frustum's own tangents,
    // 636 / 640 and 476 / 640 on the 640 x 480 screen, less a tenth.
    const RenderScreen* screen = &app.screen;
    const double frameTanX = 0.9 * ((double)screen->width - 2.0 * screen->inset) / (2.0 * screen->focal);
    const double frameTanY = 0.9 * ((double)screen->height - 2.0 * screen->inset) / (2.0 * screen->focal);
    const double x0 = (double)(left - app.originX) * cellSpacing - cellHalf;
    const double x1 = (double)(right - app.originX) * cellSpacing + cellHalf;
    const double y0 = (double)(top - app.originY) * cellSpacing - cellHalf;
    const double y1 = (double)(bottom - app.originY) * cellSpacing + cellHalf;
    const double middleX = (x0 + x1) / 2.0;
    const double middleY = (y0 + y1) / 2.0;
    app.pitchAngle = framePitch;
    const Matrix4 pose = poseAt(framePitch);
    const float* p = pose.m;
    double distance = 3.0 * cellSpacing;
    for (int corner = 0; corner < 8; corner++) {
        const double x = ((corner & 1) ? x1 : x0) - middleX;
        const double y = ((corner & 2) ? y1 : y0) - middleY;
        const double z = (corner & 4) ? cellHalf : -cellHalf;
        const double across = x * p[0] + y * p[1] + z * p[2];
        const double down = x * p[4] + y * p[5] + z * p[6];
        const double depth = x * p[8] + y * p[9] + z * p[10];
        const double needX = fabs(across) / frameTanX - depth;
        const double needY = fabs(down) / frameTanY - depth;
        distance = needX > distance ? needX : distance;
        distance = needY > distance ? needY : distance;
    }
    app.cameraMatrix.m[12] = (float)(middleX - distance * p[8]);
    app.cameraMatrix.m[13] = (float)(middleY - distance * p[9]);
    app.cameraMatrix.m[14] = (float)(-distance * p[10]);
}

// How far the camera looks: along the forward axis to the plane z = 0 when it
// looks down at it from above (negative z), else its height; a cell at least.
static float lookDistance()
{
    const Matrix4 pose = poseAt(app.pitchAngle);
    const float height = app.cameraMatrix.m[14];
    float distance = fabsf(height);
    if (height < 0.0f && pose.m[10] > 0.0f)
        distance = -height / pose.m[10];
    return distance > cellSpacing ? distance : cellSpacing;
}

// A quarter of the distance away, a fifth of it towards: one press each way
// comes back to the same distance (5/4 x 4/5), up to rounding.
float cameraZoomStep(int away)
{
    const float distance = lookDistance();
    if (away)
        return distance < farthest ? -distance * 0.25f : 0.0f;
    return distance * 0.2f;
}

void cameraShowWorld(int frame)
{
    if (app.world->fixedView) {
        const WorldBox* e = &app.world->extent;
        app.originX = e->left + (e->right - e->left + 1) / 2;
        app.originY = e->top + (e->bottom - e->top + 1) / 2;
    } else if (frame) {
        cameraFrame();
    }
    app.startCamera = app.cameraMatrix;
    app.startPitch = app.pitchAngle;
    app.startOriginX = app.originX;
    app.startOriginY = app.originY;
}

void cameraBackToStart()
{
    app.cameraMatrix = app.startCamera;
    app.pitchAngle = app.startPitch;
    app.originX = app.startOriginX;
    app.originY = app.startOriginY;
    app.follow = 0;
    // While drawing the pointer is the user's, as in frameTick.
    if (!app.drawing)
        cursorSet(app.screenCentreX, app.screenCentreY);
}

float cameraMoveStep()
{
    if (!app.world || app.world->fixedView)
        return moveStep;
    const float step = fabsf(app.cameraMatrix.m[14]) * 0.1f;
    return step > moveStep ? step : moveStep;
}

// Moves whole cells of the camera's translation along one axis into the origin.
static void rebaseAxis(float* translation, int64_t* origin)
{
    const double cells = (double)*translation / cellSpacing;
    if (!(fabs(cells) > rebaseCells))
        return;
    const double most = originLimit - fabs((double)*origin);
    const double shift = cells < -most ? -most : cells > most ? most : cells;
    const int64_t whole = (int64_t)shift; // toward zero
    *origin += whole;
    *translation = (float)((double)*translation - (double)whole * cellSpacing);
}

void cameraTick(int32_t dx, int32_t dy)
{
    // Mouse look: the yaw accumulates in the camera, the pitch is applied
    // afresh to a copy every tick and never enters the camera.
    if (dx || dy)
        app.follow = 0;
    matRotateY(&app.cameraMatrix, (float)dx * mouseFactor);
    app.pitchAngle = app.pitchAngle - (float)dy * mouseFactor;
    if (app.follow)
        cameraFrame();
    if (!app.world->fixedView) {
        rebaseAxis(&app.cameraMatrix.m[12], &app.originX);
        rebaseAxis(&app.cameraMatrix.m[13], &app.originY);
    }
    app.cameraPose = poseAt(app.pitchAngle);
    matInverse(&app.cameraPose, &app.worldToView);
    app.poseOriginX = app.originX;
    app.poseOriginY = app.originY;
}
