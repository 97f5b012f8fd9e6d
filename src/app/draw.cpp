// Drawing cells (E): the pointer shows and looking around stops; a click
// toggles the cell under the pointer between the state drawn (C picks it on
// a world of more than two states) and 0, a drag paints every cell it passes
// with the state the click gave, Ctrl+Z takes the last stroke back and Ctrl+S
// writes the world to Life.ini and Rules.ini for the next start.
//
// The cell under the pointer is the one whose model the last frame drew at
// that pixel: the span table still holds that frame, so the depth of the face
// there puts the pixel back into the world, and the cell whose square holds
// that point is the one (a model keeps within its cell's square, and a far
// stand-in covers its blocks' squares). But where the pointer's ray meets
// the plane of the model's top before any face, the square it meets there is
// the one: a cell's top shows there, or would, and a face further on is a
// side of a cell behind, hanging over that square at a slant (as the plane
// through the cells' middles lies a square or more further on). The frame
// pays nothing for this: the table is read only when the button is.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "render/render.h"

struct DrawnCell {
    int64_t x;
    int64_t y;
    int32_t was; // its state before the stroke
};

// One click or drag: the cells it changed, each once, with what they were.
struct Stroke {
    DrawnCell* cells;
    int32_t count;
    int32_t room;
};

static struct {
    int32_t pressed;   // the button is down: the stroke at the ring's end grows
    int32_t paint;     // the state the stroke gives, -1 until it meets a cell
    int32_t lastX;     // where the pointer was last seen while pressed
    int32_t lastY;
    Stroke strokes[DRAW_STROKES]; // a ring, oldest first
    int32_t first;
    int32_t count;
} drawing;

static Stroke* strokeAt(int32_t k)
{
    return &drawing.strokes[(drawing.first + k) % DRAW_STROKES];
}

void drawForget()
{
    for (int32_t k = 0; k < drawing.count; k++) {
        heapFree(strokeAt(k)->cells);
        *strokeAt(k) = {};
    }
    drawing.first = 0;
    drawing.count = 0;
    drawing.pressed = 0;
    app.drawState = 1;
}

// A stroke under way keeps the state it started with.
void drawCycleState()
{
    if (!app.world || app.world->states <= 2) {
        showNotice("This rule has one live state: drawing gives it");
        return;
    }
    app.drawState = drawStateShown() % (app.world->states - 1) + 1;
}

void drawPickState(int32_t state)
{
    if (app.world && state > 0 && state < app.world->states)
        app.drawState = state;
}

// The z of the model's top: the nearest to a camera looking down +z.
static double modelTop()
{
    static const Scene* measured;
    static double top;
    if (measured == app.scene)
        return top;
    float low = 0.0f;
    int32_t any = 0;
    for (int32_t o = 0; app.scene && o < app.scene->objectCount; o++) {
        const MeshObject* mesh = &app.scene->objects[o];
        for (int32_t v = 0; v < mesh->vertexCount; v++) {
            low = !any || mesh->vertices[v].z < low ? mesh->vertices[v].z : low;
            any = 1;
        }
    }
    measured = app.scene;
    top = std::isfinite(low) ? low : 0.0;
    return top;
}

// The cell under frame pixel (px, py) as the last frame showed it: 1 with
// (*x, *y), or 0 when the pointer meets no cell (the sky, or outside the
// world's extent; a grid's edges are not wrapped, a click beside it meets
// nothing).
static int pickCell(int32_t px, int32_t py, int64_t* x, int64_t* y)
{
    const float* pose = app.cameraPose.m;
    // The view ray through the pixel's middle, at depth 1.
    const double focal = app.screen.focal;
    const double rx = ((double)px + 0.5 - app.screen.halfWidth) / focal;
    const double ry = ((double)py + 0.5 - app.screen.halfHeight) / focal;
    const double dx = rx * pose[0] + ry * pose[4] + pose[8];
    const double dy = rx * pose[1] + ry * pose[5] + pose[9];
    const double dz = rx * pose[2] + ry * pose[6] + pose[10];
    // Where the ray meets the tops' plane first, that square is the one
    // aimed at: a face further on is a side hanging over it.
    double depth = dz != 0.0 ? (modelTop() - pose[14]) / dz : -1.0;
    float faceDepth;
    if (renderDepthAt(px, py, &faceDepth) && !(depth > 0.0 && depth <= faceDepth))
        depth = faceDepth;
    if (!(depth > 0.0 && depth < 1e15))
        return 0;
    // Rounded to the nearest whole cell: a square reaches half a cell each way.
    const double cellX = floor((pose[12] + depth * dx) / cellSpacing + 0.5) + (double)app.poseOriginX;
    const double cellY = floor((pose[13] + depth * dy) / cellSpacing + 0.5) + (double)app.poseOriginY;
    const WorldBox* e = &app.world->extent;
    if (!(cellX >= (double)e->left && cellX <= (double)e->right && cellY >= (double)e->top &&
            cellY <= (double)e->bottom))
        return 0;
    *x = (int64_t)cellX;
    *y = (int64_t)cellY;
    return 1;
}

// Gives the cell under (px, py) the stroke's state, recording what it was;
// the stroke's first cell sets that state: 0 when it holds the state drawn,
// else the state drawn. A cell that cannot be recorded is left as it is, so
// Ctrl+Z always restores.
static void paintAt(int32_t px, int32_t py)
{
    int64_t x, y;
    if (!pickCell(px, py, &x, &y))
        return;
    const int was = worldGetCell(app.world, x, y);
    if (drawing.paint < 0)
        drawing.paint = was == drawStateShown() ? 0 : drawStateShown();
    if (was == drawing.paint)
        return;
    Stroke* stroke = strokeAt(drawing.count - 1);
    if (stroke->count == stroke->room) {
        if (stroke->room > INT32_MAX / 2 / (int32_t)sizeof(DrawnCell))
            return;
        const int32_t room = stroke->room ? stroke->room * 2 : 64;
        DrawnCell* cells = (DrawnCell*)heapRealloc(stroke->cells, (size_t)room * sizeof(DrawnCell));
        if (!cells)
            return;
        stroke->cells = cells;
        stroke->room = room;
    }
    if (!worldSetCell(app.world, x, y, drawing.paint))
        return;
    stroke->cells[stroke->count++] = {x, y, was};
    app.drawnSinceLoad = 1;
    historyEdited();
}

// Ends the stroke being drawn; one that changed nothing is no step for
// Ctrl+Z to take back.
static void strokeEnd()
{
    if (!drawing.pressed)
        return;
    drawing.pressed = 0;
    if (strokeAt(drawing.count - 1)->count == 0) {
        drawing.count--;
        heapFree(strokeAt(drawing.count)->cells);
        *strokeAt(drawing.count) = {};
    }
}

void drawToggle()
{
    strokeEnd();
    app.drawing = !app.drawing;
    cursorShow(app.drawing);
    // Motion made while drawing is not looking around.
    if (!app.drawing)
        cursorSet(screenWidth >> 1, screenHeight >> 1);
}

// A point further off the frame is taken one pixel off it: nothing out there
// can be seen being drawn, and a drag's steps stay bounded by the frame.
static void clampToFrame(int32_t* px, int32_t* py)
{
    *px = *px < -1 ? -1 : *px > screenWidth ? screenWidth : *px;
    *py = *py < -1 ? -1 : *py > screenHeight ? screenHeight : *py;
}

void drawPress(int32_t px, int32_t py)
{
    if (!app.drawing)
        return;
    strokeEnd();
    if (drawing.count == DRAW_STROKES) {
        heapFree(strokeAt(0)->cells);
        *strokeAt(0) = {};
        drawing.first = (drawing.first + 1) % DRAW_STROKES;
        drawing.count--;
    }
    *strokeAt(drawing.count++) = {};
    drawing.pressed = 1;
    drawing.paint = -1;
    clampToFrame(&px, &py);
    drawing.lastX = px;
    drawing.lastY = py;
    paintAt(px, py);
}

// Every pixel on the way from the last position, so a quick drag skips no
// cell.
void drawMove(int32_t px, int32_t py)
{
    if (!app.drawing || !drawing.pressed)
        return;
    clampToFrame(&px, &py);
    const int32_t fromX = drawing.lastX, fromY = drawing.lastY;
    const int32_t spanX = px - fromX, spanY = py - fromY;
    const int32_t steps = abs(spanX) > abs(spanY) ? abs(spanX) : abs(spanY);
    // Rounded to the nearest pixel, halves away from zero.
    for (int32_t i = 1; i <= steps; i++)
        paintAt(fromX + (int32_t)lround((double)spanX * i / steps), fromY + (int32_t)lround((double)spanY * i / steps));
    drawing.lastX = px;
    drawing.lastY = py;
}

void drawRelease(int32_t px, int32_t py)
{
    drawMove(px, py);
    strokeEnd();
}

void drawUndo()
{
    if (drawing.pressed)
        return;
    if (drawing.count == 0) {
        showNotice("Nothing drawn to undo");
        return;
    }
    Stroke* stroke = strokeAt(drawing.count - 1);
    for (int32_t i = stroke->count - 1; i >= 0; i--)
        worldSetCell(app.world, stroke->cells[i].x, stroke->cells[i].y, stroke->cells[i].was);
    if (stroke->count > 0)
        historyEdited();
    heapFree(stroke->cells);
    *stroke = {};
    drawing.count--;
}

void drawSave()
{
    char message[NOTICE_TEXT];
    char reason[WORLD_REASON];
    if (worldSave(app.world, "", reason, sizeof reason))
        snprintf(message, sizeof message, "Saved Life.ini and Rules.ini: %lld live cells",
            (long long)worldPopulation(app.world));
    else
        snprintf(message, sizeof message, "Not saved: %s", reason);
    logLine(message);
    showNotice(message);
}
