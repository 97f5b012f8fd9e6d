// The frame's cells as the renderer's models, each placed relative to the
// camera's origin cell. The world is walked as a tree of squares from its
// whole extent down: a square the world says holds nothing, or that lies out
// of view, is passed over whole, so what a frame costs follows what the
// screen shows, not the population. A square drawn smaller than two pixels
// (when the view is not fixed) becomes one stand-in face; the tiles of
// 64 x 64 cells reached are judged in chunks of 16 x 16 by the nearest depth
// of their box: a chunk whose cells would be drawn two pixels or larger gets
// the full model at every live cell, a farther one stand-ins, one flat face
// per run of occupied blocks of 2^k x 2^k cells, k chosen so a block stays
// under two pixels. Stand-in faces light at least one pixel each, however
// far (the renderer sees to it), so no live cell vanishes from a view.
#include <cstring>

#include "app/frame_local.h"
#include "scene/scene.h"

FrameCells frameCells;

// The columns of a tile row whose chunks have the level: for row `row` of
// blocks of 2^shift cells, bit i for block column i. Blocks larger than a
// chunk have the level only where the whole tile does.
static uint64_t levelColumns(const TileLevels* levels, int32_t level, int32_t shift, int32_t row)
{
    if (shift > CHUNK_SHIFT)
        return levels->chunks[0] == level ? (1ull << (WORLD_TILE >> shift)) - 1 : 0;
    const int32_t chunkRow = (row << shift) >> CHUNK_SHIFT;
    const int32_t perChunk = CHUNK >> shift;
    const uint64_t chunkBits = perChunk == 64 ? ~0ull : (1ull << perChunk) - 1;
    uint64_t mask = 0;
    for (int32_t c = 0; c < TILE_CHUNKS; c++)
        if (levels->chunks[chunkRow * TILE_CHUNKS + c] == level)
            mask |= chunkBits << (c * perChunk);
    return mask;
}

// Bits set, by sums of halves: built for any x86-64, the compiler's own
// count is a library call.
static inline int32_t bitCount(uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (int32_t)((x * 0x0101010101010101ull) >> 56);
}

// Runs of set bits.
static int32_t runCount(uint64_t bits)
{
    return bitCount(bits & ~(bits << 1));
}

// ---- Stand-ins ------------------------------------------------------------------

// One frame's stand-in meshes as they are filled.
struct MeshFill {
    FrameCells* fc;
    int32_t meshes;
    int32_t runs;
    int32_t open; // runs in the last mesh, or -1 before the first of a tile's level
    float z;      // the faces' height: the stand-in's top, or the plane under the cells for marks
};

// A flat face from (x0, y0) to (x1, y1) in the coordinates of its mesh, at the
// stand-in's height, as two triangles sharing the diagonal from the first corner.
static inline void addQuad(MeshFill* fill, const StandIn* s, float x0, float y0, float x1, float y1,
    int32_t weight = 0)
{
    FrameCells* fc = fill->fc;
    if (fill->open < 0 || fill->open == MESH_RUNS) {
        MeshObject* mesh = &fc->meshes[fill->meshes++];
        memset(mesh, 0, sizeof *mesh);
        mesh->vertices = &fc->vertices[(size_t)fill->runs * 4];
        mesh->faces = &fc->faces[(size_t)fill->runs * 2];
        mesh->bounds = {{1e30f, 1e30f, fill->z}, {-1e30f, -1e30f, fill->z}, 1, 1};
        fill->open = 0;
    }
    MeshObject* mesh = &fc->meshes[fill->meshes - 1];
    MeshVertex* v = &mesh->vertices[mesh->vertexCount];
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; i++)
        v[i] = {corners[i][0], corners[i][1], fill->z, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    Face* f = &mesh->faces[mesh->faceCount];
    const Plane plane = {s->plane.a, s->plane.b, s->plane.c,
        -(s->plane.a * x0 + s->plane.b * y0 + s->plane.c * fill->z)};
    f[0] = {weight, {&v[0], &v[2], &v[1]}, plane};
    f[1] = {weight, {&v[0], &v[3], &v[2]}, plane};
    mesh->vertexCount += 4;
    mesh->faceCount += 2;
    MeshBounds* b = &mesh->bounds;
    b->low[0] = x0 < b->low[0] ? x0 : b->low[0];
    b->low[1] = y0 < b->low[1] ? y0 : b->low[1];
    b->high[0] = x1 > b->high[0] ? x1 : b->high[0];
    b->high[1] = y1 > b->high[1] ? y1 : b->high[1];
    fill->runs++;
    fill->open++;
}

// A face over the blocks first .. end - 1 of block row `row`, in the
// coordinates of its tile: from the first block's first cell's square to the
// last block's last cell's.
static void addRun(MeshFill* fill, const StandIn* s, int32_t shift, int32_t row, int32_t first, int32_t end,
    int32_t material)
{
    const int32_t spacing = (int32_t)cellSpacing, half = spacing / 2;
    addQuad(fill, s, (float)((first << shift) * spacing - half), (float)((row << shift) * spacing - half),
        (float)((end << shift) * spacing - half), (float)(((row + 1) << shift) * spacing - half), material);
}

// The blocks of a tile at stand-in level `shift`: those kept when the tile
// was judged, or worked out again into `room` when memory did not allow.
static const uint64_t* tileBlocks(const uint64_t* tileRows, const TileLevels* levels, int32_t shift,
    uint64_t room[WORLD_TILE])
{
    if (levels->blocksAt[shift] >= 0)
        return &frameCells.blocks[levels->blocksAt[shift]];
    worldTileBlocks(tileRows, shift, room);
    return room;
}

// The runs of one tile's chunks at stand-in level `shift` (of the blocks
// showing `state` only, unless it is -1); counted only when fill is null.
// Returns the runs.
static int64_t tileRuns(const uint64_t* tileRows, const TileLevels* levels, int32_t shift, MeshFill* fill,
    const StandIn* s, int32_t state = -1)
{
    uint64_t room[WORLD_TILE];
    const uint64_t* blocks = tileBlocks(tileRows, levels, shift, room);
    const int32_t rows = WORLD_TILE >> shift;
    int64_t runs = 0;
    const int32_t perChunk = shift < CHUNK_SHIFT ? CHUNK >> shift : 1;
    uint64_t columns = 0;
    for (int32_t j = 0; j < rows; j++) {
        if (j % perChunk == 0)
            columns = levelColumns(levels, shift, shift, j);
        uint64_t bits = blocks[j] & columns;
        if (state >= 0)
            bits &= statesRowMask(&frameCells, levels, shift, j, state);
        if (!fill) {
            runs += runCount(bits);
            continue;
        }
        while (bits) {
            const int32_t first = __builtin_ctzll(bits);
            const uint64_t above = ~(bits >> first);
            const int32_t end = above ? first + __builtin_ctzll(above) : 64;
            addRun(fill, s, shift, j, first, end, state >= 0 ? WEIGHTS + state : 0);
            bits = end == 64 ? 0 : bits & (~0ull << end);
            runs++;
        }
    }
    return runs;
}

// ---- The frame's models -----------------------------------------------------------

// Each tile's chunks judged; returns the cells with the full model and adds
// up the stand-in runs and the meshes they need.
static int64_t judgeTiles(const Walk* walk, const uint8_t marks[STATES_MAX], int64_t* runs, int64_t* meshes)
{
    FrameCells* fc = &frameCells;
    int64_t fullCells = 0;
    fc->blockCount = 0;
    fc->blockStateCount = 0;
    memset(fc->ofState, 0, sizeof fc->ofState);
    for (int32_t t = 0; t < fc->tileCount; t++) {
        const FrameTile* tile = &fc->tiles[t];
        const uint64_t* rows = fc->rows[tile->rows];
        TileLevels* levels = &fc->levels[t];
        levels->standIns = 0;
        // A tile so far that each chunk would be one block is judged whole.
        const int64_t tileX = tile->x, tileY = tile->y;
        for (int32_t c = 0; c < CHUNKS; c++) {
            const int64_t x = tileX + (c % TILE_CHUNKS) * CHUNK, y = tileY + (c / TILE_CHUNKS) * CHUNK;
            int32_t level = tile->whole;
            if (level < CHUNK_SHIFT)
                level = squareLevel(walk, x, y, CHUNK_SHIFT);
            level = level >= 0 && !walk->standIns ? LEVEL_FULL : level;
            levels->chunks[c] = (int8_t)level;
            levels->standIns |= level >= 0 ? 1 << level : 0;
        }
        for (int32_t r = 0; r < TILE_CHUNKS; r++)
            levels->full[r] = levelColumns(levels, LEVEL_FULL, 0, r * CHUNK);
        for (int32_t y = 0; y < WORLD_TILE; y++)
            fullCells += bitCount(rows[y] & levels->full[y >> CHUNK_SHIFT]);
        if (walk->looks)
            statesCountFull(fc, tile, levels);
        for (int32_t k = 0; k < LEVELS; k++) {
            levels->blocksAt[k] = -1;
            levels->statesAt[k] = -1;
            if (!(levels->standIns >> k & 1))
                continue;
            const int32_t count = WORLD_TILE >> k;
            if (makeRoomFor(&fc->blocks, &fc->blockRoom, (int64_t)fc->blockCount + count, fc->blockCount)) {
                // Worked out in a whole tile's room, which the halving needs.
                uint64_t blocks[WORLD_TILE];
                worldTileBlocks(rows, k, blocks);
                memcpy(&fc->blocks[fc->blockCount], blocks, (size_t)count * sizeof blocks[0]);
                levels->blocksAt[k] = fc->blockCount;
                fc->blockCount += count;
            }
            if (walk->looks && statesJudgeLevel(fc, t, k)) {
                for (int32_t state = 1; state < STATES_MAX; state++) {
                    if (!(levels->present[k][state >> 6] >> (state & 63) & 1))
                        continue;
                    const int64_t stateRuns = tileRuns(rows, levels, k, nullptr, walk->standIn, state);
                    *runs += stateRuns;
                    *meshes += (stateRuns + MESH_RUNS - 1) / MESH_RUNS;
                }
                continue;
            }
            const int64_t levelRuns = tileRuns(rows, levels, k, nullptr, walk->standIn);
            *runs += levelRuns;
            *meshes += (levelRuns + MESH_RUNS - 1) / MESH_RUNS;
        }
    }
    // The marks with the full model's cells are flat faces, a mesh a state.
    for (int32_t state = 0; walk->looks && state < STATES_MAX; state++)
        if (marks[state]) {
            *runs += fc->ofState[state];
            *meshes += (fc->ofState[state] + MESH_RUNS - 1) / MESH_RUNS;
        }
    // The far squares go into meshes a material at a time: the renderer
    // draws a mesh of quads with its first face's material.
    memset(fc->ofMaterial, 0, sizeof fc->ofMaterial);
    for (int32_t i = 0; i < fc->squareCount; i++)
        fc->ofMaterial[fc->squares[i].material]++;
    *runs += fc->squareCount;
    for (int32_t m = 0; m < WEIGHTS + STATES_MAX; m++)
        *meshes += (fc->ofMaterial[m] + MESH_RUNS - 1) / MESH_RUNS;
    return fullCells;
}

// Room for all of it: the faces point into the vertices, so neither may
// move once filling starts. 1 when the stand-ins have theirs; they go
// without when memory runs short.
static int makeFrameRoom(int64_t fullCells, int64_t runs, int64_t meshes, int32_t cellModels)
{
    FrameCells* fc = &frameCells;
    if (runs > fc->runRoom) {
        int32_t vertexRoom = fc->runRoom * 4, faceRoom = fc->runRoom * 2;
        const int ok =
            makeRoomFor(&fc->vertices, &vertexRoom, runs * 4) && makeRoomFor(&fc->faces, &faceRoom, runs * 2);
        fc->runRoom = ok ? (vertexRoom / 4 < faceRoom / 2 ? vertexRoom / 4 : faceRoom / 2) : 0;
        if (!ok) {
            heapFree(fc->vertices);
            heapFree(fc->faces);
            fc->vertices = nullptr;
            fc->faces = nullptr;
        }
    }
    if (meshes > 0 && meshes + cellModels > fc->meshRoom) {
        int32_t placementRoom = fc->meshRoom, modelRoom = fc->meshRoom;
        const int ok = makeRoomFor(&fc->meshes, &fc->meshRoom, meshes + cellModels) &&
            makeRoomFor(&fc->meshPlacements, &placementRoom, fc->meshRoom) &&
            makeRoomFor(&fc->models, &modelRoom, fc->meshRoom);
        if (!ok) {
            const int32_t least = fc->meshRoom < placementRoom ? fc->meshRoom : placementRoom;
            fc->meshRoom = least < modelRoom ? least : modelRoom;
        }
    }
    if (fullCells > fc->placementRoom)
        makeRoomFor(&fc->placements, &fc->placementRoom, fullCells);
    return meshes > 0 && runs <= fc->runRoom && meshes + cellModels <= fc->meshRoom;
}

// The full model's cells in rows top to bottom, x fastest, a tile row at a
// time, so that a universe holding the board's cells draws the board's frame.
static int32_t placeFullCells()
{
    FrameCells* fc = &frameCells;
    int32_t placed = 0;
    for (int32_t first = 0; first < fc->tileCount;) {
        int32_t end = first;
        while (end < fc->tileCount && fc->tiles[end].y == fc->tiles[first].y)
            end++;
        for (int32_t y = 0; y < WORLD_TILE; y++)
            for (int32_t t = first; t < end; t++) {
                const FrameTile* tile = &fc->tiles[t];
                const uint64_t columns = fc->levels[t].full[y >> CHUNK_SHIFT];
                for (uint64_t row = fc->rows[tile->rows][y] & columns; row && placed < fc->placementRoom;
                     row &= row - 1)
                    cellMatrixAt(tile->x + __builtin_ctzll(row) - app.originX, tile->y + y - app.originY,
                        &fc->placements[placed++]);
            }
        first = end;
    }
    return placed;
}

// The square of the cell (x, y) as a flat face at the fill's height, in a
// mesh placed at the origin.
static void addCellQuad(MeshFill* fill, const StandIn* s, int64_t x, int64_t y, int32_t shift, int32_t material)
{
    const double half = cellSpacing / 2.0;
    const double side = (double)((int64_t)1 << shift) * cellSpacing;
    const double left = (double)(x - app.originX) * cellSpacing - half;
    const double top = (double)(y - app.originY) * cellSpacing - half;
    addQuad(fill, s, (float)left, (float)top, (float)(left + side), (float)(top + side), material);
}

// The marks among the full model's cells, a state at a time: flat faces on
// the plane under the cells (the model box's far side from the camera).
static void fillMarks(MeshFill* fill, const StandIn* s, const uint8_t marks[STATES_MAX])
{
    FrameCells* fc = &frameCells;
    fill->z = s->high[2];
    for (int32_t state = 0; state < STATES_MAX; state++) {
        if (!marks[state] || !fc->ofState[state])
            continue;
        fill->open = -1;
        for (int32_t t = 0; t < fc->tileCount; t++) {
            const FrameTile* tile = &fc->tiles[t];
            if (!tile->hasStates)
                continue;
            const uint8_t* cells = fc->cellStates[tile->rows];
            for (int32_t y = 0; y < WORLD_TILE; y++)
                for (uint64_t row = fc->rows[tile->rows][y] & fc->levels[t].full[y >> CHUNK_SHIFT]; row;
                     row &= row - 1) {
                    const int32_t x = __builtin_ctzll(row);
                    if (cells[y * WORLD_TILE + x] == state)
                        addCellQuad(fill, s, tile->x + x, tile->y + y, 0, WEIGHTS + state);
                }
        }
    }
    fill->z = s->top;
}

// The stand-ins, a tile and a level (and in a world of more states, a
// state) at a time, each mesh placed at its tile's first cell; then the
// marks and the far squares a weight at a time, their meshes placed at the
// origin. The models go from models[first] on.
static int32_t fillStandIns(const StandIn* s, RenderModel* models, int32_t first, const uint8_t* marks)
{
    FrameCells* fc = &frameCells;
    MeshFill fill = {fc, 0, 0, -1, s->top};
    for (int32_t t = 0; t < fc->tileCount; t++) {
        const FrameTile* tile = &fc->tiles[t];
        const TileLevels* levels = &fc->levels[t];
        for (int32_t k = 0; k < LEVELS; k++) {
            if (!(levels->standIns >> k & 1))
                continue;
            const int32_t before = fill.meshes;
            if (levels->statesAt[k] < 0) {
                fill.open = -1;
                tileRuns(fc->rows[tile->rows], levels, k, &fill, s);
            }
            for (int32_t state = 1; levels->statesAt[k] >= 0 && state < STATES_MAX; state++)
                if (levels->present[k][state >> 6] >> (state & 63) & 1) {
                    fill.open = -1;
                    tileRuns(fc->rows[tile->rows], levels, k, &fill, s, state);
                }
            for (int32_t i = before; i < fill.meshes; i++)
                cellMatrixAt(tile->x - app.originX, tile->y - app.originY, &fc->meshPlacements[i]);
        }
    }
    const int32_t before = fill.meshes;
    if (marks)
        fillMarks(&fill, s, marks);
    for (int32_t m = 0; m < WEIGHTS + STATES_MAX; m++) {
        fill.open = -1;
        for (int32_t i = 0; i < fc->squareCount && fc->ofMaterial[m]; i++) {
            const FarSquare* q = &fc->squares[i];
            if (q->material == m)
                addCellQuad(&fill, s, q->x, q->y, q->shift, m);
        }
    }
    for (int32_t i = before; i < fill.meshes; i++)
        cellMatrixAt(0, 0, &fc->meshPlacements[i]);
    const Material* materials = marks ? stateLooks.standInMaterials : s->materials;
    const int32_t materialCount = marks ? WEIGHTS + STATES_MAX : WEIGHTS;
    for (int32_t i = 0; i < fill.meshes; i++)
        models[first + i] = {&fc->meshPlacements[i], 1, &fc->meshes[i], 1, materials, materialCount, 1};
    return fill.meshes;
}

void placeFrameCells(const Matrix4* worldToView, RenderScene* scene)
{
    FrameCells* fc = &frameCells;
    StandIn* s = &fc->standIn;
    if (!fc->placements)
        frameTakeFirstRoom(fc);
    scene->worldToView = worldToView;
    const int standIns = !app.world->fixedView && (s->scene == app.scene || standInMake(s, app.scene));
    // A fixed view is judged with the model's box all the same: it only leaves
    // out what the renderer would not draw.
    if (app.world->fixedView && s->scene != app.scene)
        standInMake(s, app.scene);
    Walk walk = {app.world, s, standIns, &app.screen, worldToView->m, 0, 0, 0, 0, {0, 0}, 0, 0, 0};
    walkPrepare(&walk);
    // A world of more states: each state its look, its marks flat.
    walk.looks = stateLooksPrepare(app.world, app.scene, s);
    uint8_t marks[STATES_MAX] = {};
    if (walk.looks)
        stateMarks(marks);

    walkWorld(&walk);
    int64_t runs = 0, meshes = 0;
    const int64_t fullCells = judgeTiles(&walk, marks, &runs, &meshes);
    int32_t cellModels = 1;
    for (int32_t state = 1; walk.looks && state < STATES_MAX; state++)
        cellModels += !marks[state] && fc->ofState[state] > 0;
    const int standInsFit = makeFrameRoom(fullCells, runs, meshes, cellModels);

    const Scene* cells = app.scene;
    RenderModel* models = standInsFit ? fc->models : fc->cellsOnly;
    int32_t placed = 1;
    if (walk.looks)
        placed = placeStateCells(fc, models, marks);
    else
        models[0] = {fc->placements, placeFullCells(), cells->objects, cells->objectCount, cells->materials,
            cells->materialCount, 0};
    scene->models = models;
    scene->modelCount = placed + (standInsFit ? fillStandIns(s, models, placed, walk.looks ? marks : nullptr) : 0);
}
