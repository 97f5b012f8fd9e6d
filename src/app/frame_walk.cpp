// The walk over the world's squares for one frame: from the world's top
// squares down to its tiles, passing over whole every square the world says
// holds nothing or the camera cannot see; a square under two pixels is one
// far square, a tile reached is kept with its rows. An engine holding a tree
// hands out its own nodes as squares, so going down costs a step a square.
// Here too the room the frame's arrays grow in.
#include <cstdlib>
#include <cstring>

#include "app/frame_local.h"

// The room a frame starts with, never let go: enough for the 64 x 64 board,
// so that its frames ask the heap for nothing.
static Matrix4 firstPlacements[LIFE_CELLS];
static FrameTile firstTiles[1];
static TileLevels firstLevels[1];
static uint64_t firstRows[1][WORLD_TILE];

void frameTakeFirstRoom(FrameCells* fc)
{
    fc->placements = firstPlacements;
    fc->placementRoom = LIFE_CELLS;
    fc->tiles = firstTiles;
    fc->levels = firstLevels;
    fc->rows = firstRows;
    fc->tileRoom = 1;
}

static int firstRoom(const void* array)
{
    return array == firstPlacements || array == firstTiles || array == firstLevels || array == firstRows;
}

static void releaseRoom(void* array)
{
    if (!firstRoom(array))
        heapFree(array);
}

// ---- Room -----------------------------------------------------------------------

int frameMakeRoom(void** array, int32_t* room, int64_t need, size_t size, int32_t keep)
{
    if (need <= *room)
        return 1;
    const int64_t most = INT32_MAX / (int64_t)size;
    int64_t next = (int64_t)*room * 2 > need ? (int64_t)*room * 2 : need;
    next = next < most ? next : most;
    void* grown = next >= need ? heapAlloc((size_t)next * size) : nullptr;
    if (!grown)
        return 0;
    if (keep > 0)
        memcpy(grown, *array, (size_t)keep * size);
    releaseRoom(*array);
    *array = grown;
    *room = (int32_t)next;
    return 1;
}

void frameCellsRelease()
{
    FrameCells* fc = &frameCells;
    releaseRoom(fc->placements);
    releaseRoom(fc->tiles);
    releaseRoom(fc->levels);
    releaseRoom(fc->rows);
    heapFree(fc->squares);
    heapFree(fc->blocks);
    heapFree(fc->vertices);
    heapFree(fc->faces);
    heapFree(fc->meshes);
    heapFree(fc->meshPlacements);
    heapFree(fc->models);
    heapFree(fc->cellStates);
    heapFree(fc->blockStates);
    memset(fc, 0, sizeof *fc);
    stateLooksRelease();
}

void cellMatrixAt(int64_t dx, int64_t dy, Matrix4* model)
{
    *model = {{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, (float)(dx * 100),
        (float)(dy * 100), 0.0f, 1.0f}};
}

// ---- Levels ---------------------------------------------------------------------

void walkPrepare(Walk* walk)
{
    const StandIn* s = walk->standIn;
    const double half = cellSpacing / 2.0;
    walk->lowX = s->low[0] < -half ? s->low[0] : -half;
    walk->highX = s->high[0] > half ? s->high[0] : half;
    walk->lowY = s->low[1] < -half ? s->low[1] : -half;
    walk->highY = s->high[1] > half ? s->high[1] : half;
    walk->zs[0] = s->low[2];
    walk->zs[1] = s->high[2];
    walk->slopeX = (double)walk->screen->halfWidth / walk->screen->focal;
    walk->slopeY = (double)walk->screen->halfHeight / walk->screen->focal;
}

// The level of the square of 2^shift cells a side whose first cell is (x, y):
// LEVEL_HIDDEN when its box lies wholly behind the depth limit or outside one
// side of the view (judged against the screen's own edges, wider than the
// renderer's frustum, with a margin for the renderer's float rounding, so
// nothing it would draw is left out); LEVEL_FULL when a cell at its nearest
// corner's depth spans fullCellPixels or more, or the model has no finite box;
// otherwise the stand-in level k, the largest up to shift whose block of 2^k
// cells stays below fullCellPixels there.
int32_t squareLevel(const Walk* walk, int64_t x, int64_t y, int32_t shift, int* within)
{
    if (within)
        *within = 0;
    if (!walk->standIn->boxed)
        return LEVEL_FULL;
    const float* m = walk->worldToView;
    const double left = (double)(x - app.originX) * cellSpacing, top = (double)(y - app.originY) * cellSpacing;
    const double span = (double)(((int64_t)1 << shift) - 1) * cellSpacing;
    const double lowX = walk->lowX, highX = walk->highX, lowY = walk->lowY, highY = walk->highY;
    const double* zs = walk->zs;
    const double xs[2] = {left + lowX, left + span + highX};
    const double ys[2] = {top + lowY, top + span + highY};
    const double xAbs = xs[0] < 0 ? -xs[0] : xs[0], xAbs1 = xs[1] < 0 ? -xs[1] : xs[1];
    const double yAbs = ys[0] < 0 ? -ys[0] : ys[0], yAbs1 = ys[1] < 0 ? -ys[1] : ys[1];
    double margin = (xAbs > xAbs1 ? xAbs : xAbs1) + (yAbs > yAbs1 ? yAbs : yAbs1) + 1000.0;
    for (int j = 12; j < 15; j++)
        margin += m[j] < 0 ? -m[j] : m[j];
    margin *= 1e-5;
    const double slopeX = walk->slopeX, slopeY = walk->slopeY;
    // Each corner's view coordinates, the products worked out once a side:
    // summed in the same order, they are the same doubles.
    double byX[2][3], byY[2][3], byZ[2][3];
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) {
            byX[i][j] = xs[i] * m[j];
            byY[i][j] = ys[i] * m[4 + j];
            byZ[i][j] = zs[i] * m[8 + j];
        }
    double nearest = 1e300, farthest = -1e300;
    int outside[4] = {1, 1, 1, 1};
    int inside = 1;
    for (int c = 0; c < 8; c++) {
        const int i = c & 1, j = c >> 1 & 1, k = c >> 2;
        const double vx = byX[i][0] + byY[j][0] + byZ[k][0] + m[12];
        const double vy = byX[i][1] + byY[j][1] + byZ[k][1] + m[13];
        const double vz = byX[i][2] + byY[j][2] + byZ[k][2] + m[14];
        nearest = vz < nearest ? vz : nearest;
        farthest = vz > farthest ? vz : farthest;
        outside[0] = outside[0] && vx - slopeX * vz > margin;
        outside[1] = outside[1] && -vx - slopeX * vz > margin;
        outside[2] = outside[2] && vy - slopeY * vz > margin;
        outside[3] = outside[3] && -vy - slopeY * vz > margin;
        inside = inside && vx - slopeX * vz < -margin && -vx - slopeX * vz < -margin && vy - slopeY * vz < -margin &&
            -vy - slopeY * vz < -margin;
    }
    if (!(farthest > 0.1 - margin) || outside[0] || outside[1] || outside[2] || outside[3])
        return LEVEL_HIDDEN;
    if (!(nearest > 0.1))
        return LEVEL_FULL;
    if (within)
        *within = inside;
    const double pixels = (double)walk->screen->focal * cellSpacing / nearest;
    if (!(pixels < fullCellPixels))
        return LEVEL_FULL;
    int32_t k = 0;
    while (k < shift && pixels * (double)((int64_t)2 << k) < fullCellPixels)
        k++;
    return k;
}

// ---- The walk over the squares ------------------------------------------------------

static void addTile(const Walk* walk, const WorldSquare* square, int32_t whole)
{
    FrameCells* fc = &frameCells;
    const int32_t count = fc->tileCount;
    if (count == fc->tileRoom) {
        int32_t tileRoom = count, levelRoom = count, rowRoom = count;
        makeRoomFor(&fc->tiles, &tileRoom, count + 1, count) && makeRoomFor(&fc->levels, &levelRoom, count + 1) &&
            makeRoomFor(&fc->rows, &rowRoom, count + 1, count);
        const int32_t least = tileRoom < levelRoom ? tileRoom : levelRoom;
        fc->tileRoom = least < rowRoom ? least : rowRoom;
        if (count == fc->tileRoom)
            return;
    }
    fc->tiles[count] = {square->x, square->y, whole, count, 0};
    if (!worldSquareRows(walk->world, square, fc->rows[count]))
        return;
    fc->tileCount++;
    // A tile whose states cannot be kept is drawn all in state 1's look; the
    // room may lag behind the tiles when it could not grow for an earlier one.
    if (walk->looks && makeRoomFor(&fc->cellStates, &fc->cellStateRoom, count + 1,
                           count < fc->cellStateRoom ? count : fc->cellStateRoom))
        fc->tiles[count].hasStates = statesWorldTileStates(walk->world, square->x >> WORLD_TILE_SHIFT,
            square->y >> WORLD_TILE_SHIFT, fc->cellStates[count]);
}

int32_t squareWeight(int64_t population, int32_t shift)
{
    if (population < 0)
        return 0;
    // Past 2^40 a side even 2^63 cells fill less than the least weight.
    if (shift > 40)
        return WEIGHTS - WEIGHT_LEAST;
    // The largest k with population / 4^shift >= (k / WEIGHTS)^2, in whole
    // numbers: population * WEIGHTS^2 >= k^2 * 4^shift.
    const __int128 scaled = (__int128)population * (WEIGHTS * WEIGHTS);
    int32_t k = WEIGHTS;
    while (k > WEIGHT_LEAST && scaled < ((__int128)(k * k) << (2 * shift)))
        k--;
    return WEIGHTS - k;
}

// The state a far square of a world of more states shows: the one most
// cells hold in the first tile found among up to 8 x 8 spread over it, the
// lower on a tie; 0 when none was found. Looking a tile up costs the world
// no more than a probe of its table.
static int32_t sampleState(const Walk* walk, const WorldSquare* square)
{
    static uint8_t cells[WORLD_TILE * WORLD_TILE];
    const int32_t levels = square->shift - TILE_SHIFT;
    const int64_t side = levels < 62 ? (int64_t)1 << levels : (int64_t)1 << 62;
    const int64_t probes = side < 8 ? side : 8, stride = side / probes;
    const int64_t tx = square->x >> TILE_SHIFT, ty = square->y >> TILE_SHIFT;
    for (int64_t j = 0; j < probes; j++)
        for (int64_t i = 0; i < probes; i++) {
            if (!statesWorldTileStates(walk->world, tx + i * stride + stride / 2, ty + j * stride + stride / 2, cells))
                continue;
            int32_t counts[STATES_MAX] = {}, most = 0;
            for (int32_t k = 0; k < WORLD_TILE * WORLD_TILE; k++)
                counts[cells[k]]++;
            for (int32_t s = 1; s < STATES_MAX; s++)
                if (counts[s] > counts[most] || most == 0)
                    most = counts[s] > 0 ? s : most;
            return most;
        }
    return 0;
}

static void addSquare(const Walk* walk, const WorldSquare* square)
{
    FrameCells* fc = &frameCells;
    if (fc->squareCount == fc->squareRoom && !makeRoomFor(&fc->squares, &fc->squareRoom, fc->squareCount + 1,
            fc->squareCount))
        return;
    const int32_t state = walk->looks ? sampleState(walk, square) : 0;
    fc->squares[fc->squareCount++] = {square->x, square->y, square->shift,
        state ? WEIGHTS + state : squareWeight(square->population, square->shift)};
}

// The square, one the world says may hold a live cell, and what it holds
// that the camera sees. A square under two pixels is one far square: one of
// more than a tile always, a tile only when the world knows its population
// (its weight), else its rows are read like a nearer tile's. known is the
// square's level when its parent's told it, else LEVEL_UNKNOWN.
static void walkSquare(const Walk* walk, const WorldSquare* square, int32_t known)
{
    const int32_t shift = square->shift;
    int within = 0;
    const int32_t level = known != LEVEL_UNKNOWN ? known : squareLevel(walk, square->x, square->y, shift, &within);
    if (level == LEVEL_HIDDEN)
        return;
    if (walk->standIns && level == shift && (shift > TILE_SHIFT || square->population >= 0)) {
        addSquare(walk, square);
        return;
    }
    if (shift == TILE_SHIFT) {
        addTile(walk, square, level);
        return;
    }
    // A quarter lies nearer the camera than its square's nearest corner no
    // more than it lies outside a side the square is wholly within: blocks
    // of a quarter's size that stay under two pixels there stay so in each
    // quarter, whose level is then its own size.
    const int32_t quarterLevel = within && level == shift - 1 ? level : LEVEL_UNKNOWN;
    WorldSquare quarters[4];
    const int32_t count = worldQuarters(walk->world, square, quarters);
    for (int32_t q = 0; q < count; q++)
        walkSquare(walk, &quarters[q], quarterLevel);
}

static int tileOrder(const void* a, const void* b)
{
    const FrameTile* p = (const FrameTile*)a;
    const FrameTile* q = (const FrameTile*)b;
    if (p->y != q->y)
        return p->y < q->y ? -1 : 1;
    return p->x < q->x ? -1 : p->x > q->x;
}

void walkWorld(const Walk* walk)
{
    FrameCells* fc = &frameCells;
    fc->tileCount = 0;
    fc->squareCount = 0;
    WorldSquare top[4];
    const int32_t count = worldTopSquares(walk->world, top);
    for (int32_t i = 0; i < count; i++)
        walkSquare(walk, &top[i], LEVEL_UNKNOWN);
    if (fc->tileCount > 1)
        qsort(fc->tiles, (size_t)fc->tileCount, sizeof *fc->tiles, tileOrder);
}
