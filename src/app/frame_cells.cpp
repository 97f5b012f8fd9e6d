// The frame's cells as the renderer's models: the board's live cells, or a
// universe's, each placed relative to the camera's origin cell. A universe is
// judged in chunks of 16 x 16 cells by the nearest depth of their box: a chunk
// whose cells would be drawn two pixels or larger gets the full model at
// every live cell; a farther one gets stand-ins, one flat face per run of
// occupied blocks of 2^k x 2^k cells, k chosen so a block stays under two
// pixels; a chunk the camera cannot see gets nothing. The chunks' blocks come
// from the tiles' bit rows, so a far region costs its tiles, not its cells,
// and the frame's cost is bounded by the screen rather than the population.
#include <cstring>

#include "app/app.h"
#include "render/render.h"
#include "scene/scene.h"
#include "texture/texture.h"

enum {
    CHUNK_SHIFT = 4,
    CHUNK = 1 << CHUNK_SHIFT,                // cells a side of the region a level is chosen for
    TILE_CHUNKS = UNIVERSE_TILE / CHUNK,     // chunks a side of a tile
    CHUNKS = TILE_CHUNKS * TILE_CHUNKS,      // chunks of a tile
    LEVEL_HIDDEN = -2,                       // the camera sees nothing of the chunk
    LEVEL_FULL = -1,                         // every live cell with the full model
    LEVELS = CHUNK_SHIFT + 1,                // stand-in levels 0 .. CHUNK_SHIFT: blocks of 2^k cells
    // A stand-in mesh keeps within the renderer's vertex cache: four vertices a run.
    MESH_RUNS = 1024,
    SHADES = TEXTURE_SHADES,
};

// The 90-degree field of view across the width: the renderer's focal value.
constexpr double focalValue = screenWidth / 2.0;
// A cell drawn narrower than this many pixels gets a stand-in.
constexpr double fullCellPixels = 2.0;

// What a far cell looks like, made once from the cell model: a flat face over
// the model's footprint at the height of its top faces, facing and lit as they
// are, in one colour, the average of what their texture shows at each shade.
struct StandIn {
    const Scene* scene; // the model it was made for; null until made
    float low[3];       // the model's box, every object's together
    float high[3];
    float top;          // z of the top faces: the faces most nearly facing -z, which the camera looks down on
    Plane plane;        // the top faces' plane: a, b and c; d is each face's own
    uint32_t shades[SHADES];
    uint8_t texels[16];
    TextureLevel level;
    Texture texture;
    Material material;
};

// What a universe's frame is built in, grown as it needs and kept between
// frames so that a frame seldom allocates.
struct FrameCells {
    StandIn standIn;
    UniverseTileRows* tiles;
    int8_t* levels; // CHUNKS a tile, row by row, in the tiles' order
    int32_t tileRoom;
    MeshVertex* vertices; // four a run
    Face* faces;          // two a run
    int32_t runRoom;
    MeshObject* meshes;
    Matrix4* meshPlacements;
    RenderModel* models; // the cells' model first, then one a mesh
    int32_t meshRoom;
};
static FrameCells frameCells;

// The board's live cells' object matrices, kept for the whole run so that the
// tick allocates nothing.
static Matrix4 boardPlacements[LIFE_CELLS];

static void placeCell(int64_t x, int64_t y, Matrix4* model)
{
    matIdentity(model);
    model->m[12] = (float)(x - app.originX) * cellSpacing;
    model->m[13] = (float)(y - app.originY) * cellSpacing;
}

// ---- The stand-in ---------------------------------------------------------------

static Texture* faceTexture(const Face* face, const Scene* scene)
{
    if (face->material >= 0 && face->material < scene->materialCount && scene->materials[face->material].texture)
        return scene->materials[face->material].texture;
    return defaultTexture();
}

// The shade of texel (u, v) of a texture's finest level, u and v wrapped to
// [0, 1) as the samplers wrap them.
static const uint32_t* texelShades(const Texture* texture, float u, float v)
{
    const TextureLevel* level = &texture->levels[0];
    const int32_t x = (int32_t)((double)u * level->width) & (level->width - 1);
    const int32_t y = (int32_t)((double)v * level->height) & (level->height - 1);
    return texture->shades + (size_t)level->texels[(size_t)y * level->width + x] * SHADES;
}

// Averages every shade over the top faces, each sampled at 45 points spread
// over it and weighted by its area; 0 when there is no top face with area.
static int averageTopShades(const Scene* scene, float topC, uint32_t shades[SHADES])
{
    double sum[SHADES][3] = {};
    double weight = 0.0;
    enum { STEPS = 8 };
    for (int32_t o = 0; o < scene->objectCount; o++) {
        const MeshObject* mesh = &scene->objects[o];
        for (int32_t f = 0; f < mesh->faceCount; f++) {
            const Face* face = &mesh->faces[f];
            if (!(face->plane.c >= topC))
                continue;
            const MeshVertex* const* p = face->corners;
            const double ax = p[1]->x - p[0]->x, ay = p[1]->y - p[0]->y;
            const double bx = p[2]->x - p[0]->x, by = p[2]->y - p[0]->y;
            const double area = ax * by - ay * bx;
            const double w = (area < 0 ? -area : area) / ((STEPS + 1) * (STEPS + 2) / 2);
            if (!(w > 0.0) || !(w < 1e30))
                continue;
            const Texture* texture = faceTexture(face, scene);
            for (int32_t i = 0; i <= STEPS; i++)
                for (int32_t j = 0; i + j <= STEPS; j++) {
                    const float s = (float)i / STEPS, t = (float)j / STEPS, r = 1.0f - s - t;
                    const float u = r * p[0]->u + s * p[1]->u + t * p[2]->u;
                    const float v = r * p[0]->v + s * p[1]->v + t * p[2]->v;
                    const uint32_t* shade = texelShades(texture, u, v);
                    for (int32_t k = 0; k < SHADES; k++)
                        for (int32_t c = 0; c < 3; c++)
                            sum[k][c] += w * (double)(shade[k] >> (16 - 8 * c) & 0xFF);
                }
            weight += w * (STEPS + 1) * (STEPS + 2) / 2;
        }
    }
    if (!(weight > 0.0))
        return 0;
    for (int32_t k = 0; k < SHADES; k++) {
        shades[k] = 0;
        for (int32_t c = 0; c < 3; c++) {
            const int32_t channel = (int32_t)(sum[k][c] / weight + 0.5);
            shades[k] |= (uint32_t)(channel > 255 ? 255 : channel) << (16 - 8 * c);
        }
    }
    return 1;
}

// Makes the stand-in for the scene's cell model; 0 when the model has no face
// to take it from (then far cells get the full model too).
static int standInMake(StandIn* s, const Scene* scene)
{
    memset(s, 0, sizeof *s);
    int32_t faces = 0;
    float topC = -2.0f;
    for (int32_t o = 0; o < scene->objectCount; o++) {
        const MeshObject* mesh = &scene->objects[o];
        for (int32_t f = 0; f < mesh->faceCount; f++) {
            const float c = mesh->faces[f].plane.c;
            topC = c > topC ? c : topC;
        }
        MeshBounds bounds;
        if (mesh->bounds.known)
            bounds = mesh->bounds;
        else
            measureMesh(mesh, &bounds);
        for (int i = 0; i < 3 && mesh->vertexCount > 0; i++) {
            s->low[i] = faces == 0 || bounds.low[i] < s->low[i] ? bounds.low[i] : s->low[i];
            s->high[i] = faces == 0 || bounds.high[i] > s->high[i] ? bounds.high[i] : s->high[i];
        }
        faces += mesh->vertexCount > 0 ? mesh->faceCount : 0;
    }
    // A top face must face the camera looking down +z, and the model must be
    // a box that fits its cell.
    if (faces == 0 || !(topC > 0.5f))
        return 0;
    for (int i = 0; i < 2; i++)
        if (!(s->low[i] > -cellSpacing && s->high[i] < cellSpacing && s->low[i] <= s->high[i]))
            return 0;
    topC -= 0.001f;
    s->top = s->high[2];
    for (int32_t o = 0; o < scene->objectCount; o++) {
        const MeshObject* mesh = &scene->objects[o];
        for (int32_t f = 0; f < mesh->faceCount; f++) {
            const Face* face = &mesh->faces[f];
            if (!(face->plane.c >= topC))
                continue;
            s->plane = face->plane;
            for (int i = 0; i < 3; i++)
                s->top = face->corners[i]->z < s->top ? face->corners[i]->z : s->top;
        }
    }
    if (!averageTopShades(scene, topC, s->shades))
        return 0;
    s->level = {4, 4, s->texels, 3, 12, 15, 2};
    s->texture = {4, 4, 1, 1, s->shades, &s->level};
    s->material = {nullptr, &s->texture};
    s->scene = scene;
    return 1;
}

// ---- Room -----------------------------------------------------------------------

// Makes room for `need` entries of `size` bytes, at least doubling; the
// entries held are not kept. 1, or 0 with the array as it was when memory runs
// out. 2 GiB an array at most, which any size_t holds.
static int makeRoom(void** array, int32_t* room, int64_t need, size_t size)
{
    if (need <= *room)
        return 1;
    const int64_t most = INT32_MAX / (int64_t)size;
    int64_t next = (int64_t)*room * 2 > need ? (int64_t)*room * 2 : need;
    next = next < most ? next : most;
    void* grown = next >= need ? heapAlloc((size_t)next * size) : nullptr;
    if (!grown)
        return 0;
    heapFree(*array);
    *array = grown;
    *room = (int32_t)next;
    return 1;
}

template <typename T> static int makeRoomFor(T** array, int32_t* room, int64_t need)
{
    void* p = *array;
    const int ok = makeRoom(&p, room, need, sizeof(T));
    *array = (T*)p;
    return ok;
}

void frameCellsRelease()
{
    FrameCells* fc = &frameCells;
    heapFree(fc->tiles);
    heapFree(fc->levels);
    heapFree(fc->vertices);
    heapFree(fc->faces);
    heapFree(fc->meshes);
    heapFree(fc->meshPlacements);
    heapFree(fc->models);
    memset(fc, 0, sizeof *fc);
}

// ---- Levels ---------------------------------------------------------------------

// The level of the chunk whose first cell is (x, y): LEVEL_HIDDEN when its box
// lies wholly behind the depth limit or outside one side of the view (judged
// against the screen's own edges, wider than the renderer's frustum by two
// pixels, with a margin for the renderer's float rounding, so nothing it would
// draw is left out); LEVEL_FULL when a cell at its nearest corner's depth
// spans fullCellPixels or more; otherwise the stand-in level k, the largest up
// to CHUNK_SHIFT whose block of 2^k cells stays below fullCellPixels there.
static int32_t chunkLevel(const StandIn* s, const float* m, int64_t x, int64_t y)
{
    const double left = (double)(x - app.originX) * cellSpacing, top = (double)(y - app.originY) * cellSpacing;
    const double span = (double)(CHUNK - 1) * cellSpacing;
    const double xs[2] = {left + s->low[0], left + span + s->high[0]};
    const double ys[2] = {top + s->low[1], top + span + s->high[1]};
    const double zs[2] = {s->low[2], s->high[2]};
    const double xAbs = xs[0] < 0 ? -xs[0] : xs[0], xAbs1 = xs[1] < 0 ? -xs[1] : xs[1];
    const double yAbs = ys[0] < 0 ? -ys[0] : ys[0], yAbs1 = ys[1] < 0 ? -ys[1] : ys[1];
    double margin = (xAbs > xAbs1 ? xAbs : xAbs1) + (yAbs > yAbs1 ? yAbs : yAbs1) + 1000.0;
    for (int j = 12; j < 15; j++)
        margin += m[j] < 0 ? -m[j] : m[j];
    margin *= 1e-5;
    double nearest = 1e300, farthest = -1e300;
    int outside[4] = {1, 1, 1, 1};
    for (int c = 0; c < 8; c++) {
        const double px = xs[c & 1], py = ys[c >> 1 & 1], pz = zs[c >> 2];
        const double vx = px * m[0] + py * m[4] + pz * m[8] + m[12];
        const double vy = px * m[1] + py * m[5] + pz * m[9] + m[13];
        const double vz = px * m[2] + py * m[6] + pz * m[10] + m[14];
        nearest = vz < nearest ? vz : nearest;
        farthest = vz > farthest ? vz : farthest;
        const double halfHeight = (double)screenHeight / screenWidth;
        outside[0] = outside[0] && vx - vz > margin;
        outside[1] = outside[1] && -vx - vz > margin;
        outside[2] = outside[2] && vy - halfHeight * vz > margin;
        outside[3] = outside[3] && -vy - halfHeight * vz > margin;
    }
    if (!(farthest > 0.1 - margin) || outside[0] || outside[1] || outside[2] || outside[3])
        return LEVEL_HIDDEN;
    if (!(nearest > 0.1))
        return LEVEL_FULL;
    const double pixels = focalValue * cellSpacing / nearest;
    if (!(pixels < fullCellPixels))
        return LEVEL_FULL;
    int32_t k = 0;
    while (k < CHUNK_SHIFT && pixels * (double)(2 << k) < fullCellPixels)
        k++;
    return k;
}

// The columns of a tile row whose chunks have the level: for row `row` of
// blocks of 2^shift cells, bit i for block column i.
static uint64_t levelColumns(const int8_t* levels, int32_t level, int32_t shift, int32_t row)
{
    const int32_t chunkRow = (row << shift) >> CHUNK_SHIFT;
    const int32_t perChunk = CHUNK >> shift;
    const uint64_t chunkBits = perChunk == 64 ? ~0ull : (1ull << perChunk) - 1;
    uint64_t mask = 0;
    for (int32_t c = 0; c < TILE_CHUNKS; c++)
        if (levels[chunkRow * TILE_CHUNKS + c] == level)
            mask |= chunkBits << (c * perChunk);
    return mask;
}

// Runs of set bits.
static int32_t runCount(uint64_t bits)
{
    return __builtin_popcountll(bits & ~(bits << 1));
}

// ---- Stand-ins ------------------------------------------------------------------

// One frame's stand-in meshes as they are filled.
struct MeshFill {
    FrameCells* fc;
    int32_t meshes;
    int32_t runs;
    int32_t open; // runs in the last mesh, or -1 before the first of a tile's level
};

// A flat face over the blocks first .. end - 1 of block row `row`, in the
// coordinates of its tile: from the footprint of the first block's first cell
// to that of the last block's last cell.
static void addRun(MeshFill* fill, const StandIn* s, int32_t shift, int32_t row, int32_t first, int32_t end)
{
    FrameCells* fc = fill->fc;
    if (fill->open < 0 || fill->open == MESH_RUNS) {
        MeshObject* mesh = &fc->meshes[fill->meshes++];
        memset(mesh, 0, sizeof *mesh);
        mesh->vertices = &fc->vertices[(size_t)fill->runs * 4];
        mesh->faces = &fc->faces[(size_t)fill->runs * 2];
        mesh->bounds = {{1e30f, 1e30f, s->top}, {-1e30f, -1e30f, s->top}, 1, 1};
        fill->open = 0;
    }
    MeshObject* mesh = &fc->meshes[fill->meshes - 1];
    const float x0 = (float)((first << shift) * (int32_t)cellSpacing) + s->low[0];
    const float x1 = (float)((((end << shift) - 1) * (int32_t)cellSpacing)) + s->high[0];
    const float y0 = (float)((row << shift) * (int32_t)cellSpacing) + s->low[1];
    const float y1 = (float)(((((row + 1) << shift) - 1) * (int32_t)cellSpacing)) + s->high[1];
    MeshVertex* v = &mesh->vertices[mesh->vertexCount];
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; i++)
        v[i] = {corners[i][0], corners[i][1], s->top, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    Face* f = &mesh->faces[mesh->faceCount];
    const Plane plane = {s->plane.a, s->plane.b, s->plane.c,
        -(s->plane.a * x0 + s->plane.b * y0 + s->plane.c * s->top)};
    f[0] = {0, {&v[0], &v[2], &v[1]}, plane};
    f[1] = {0, {&v[0], &v[3], &v[2]}, plane};
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

// The runs of one tile's chunks at stand-in level `shift`; counted only when
// fill is null. Returns the runs.
static int64_t tileRuns(const UniverseTileRows* tile, const int8_t* levels, int32_t shift, MeshFill* fill,
    const StandIn* s)
{
    uint64_t blocks[UNIVERSE_TILE];
    const int32_t rows = universeTileBlocks(tile->rows, shift, blocks);
    int64_t runs = 0;
    for (int32_t j = 0; j < rows; j++) {
        uint64_t bits = blocks[j] & levelColumns(levels, shift, shift, j);
        if (!fill) {
            runs += runCount(bits);
            continue;
        }
        while (bits) {
            const int32_t first = __builtin_ctzll(bits);
            const uint64_t above = ~(bits >> first);
            const int32_t end = above ? first + __builtin_ctzll(above) : 64;
            addRun(fill, s, shift, j, first, end);
            bits = end == 64 ? 0 : bits & (~0ull << end);
            runs++;
        }
    }
    return runs;
}

// ---- The frame's models -----------------------------------------------------------

// The universe's cells into scene: first the full model at its cells' placements
// in the order universeForEachCell visits them (rows top to bottom, x fastest,
// so a universe holding the board's cells draws the board's frame), then one
// model a stand-in mesh. What memory does not allow is left out.
static void placeUniverse(const Universe* universe, RenderScene* scene)
{
    FrameCells* fc = &frameCells;
    StandIn* s = &fc->standIn;
    const int standIns = s->scene == app.scene || standInMake(s, app.scene);
    Matrix4 worldToView;
    matInverse(scene->cameraPose, &worldToView);

    int32_t tileCount = universeLiveTiles(universe, fc->tiles, fc->tileRoom);
    if (tileCount > fc->tileRoom) {
        int32_t levelRoom = fc->tileRoom * CHUNKS;
        if (!makeRoomFor(&fc->tiles, &fc->tileRoom, tileCount) ||
            !makeRoomFor(&fc->levels, &levelRoom, (int64_t)fc->tileRoom * CHUNKS))
            fc->tileRoom = fc->tileRoom < levelRoom / CHUNKS ? fc->tileRoom : levelRoom / CHUNKS;
        universeLiveTiles(universe, fc->tiles, fc->tileRoom);
        tileCount = tileCount < fc->tileRoom ? tileCount : fc->tileRoom;
    }

    // The levels, and how much of everything they call for.
    int64_t fullCells = 0, runs = 0, meshes = 0;
    for (int32_t t = 0; t < tileCount; t++) {
        const UniverseTileRows* tile = &fc->tiles[t];
        int8_t* levels = &fc->levels[(size_t)t * CHUNKS];
        int32_t used = 0;
        for (int32_t c = 0; c < CHUNKS; c++) {
            const int64_t x = (int64_t)tile->tx * UNIVERSE_TILE + (c % TILE_CHUNKS) * CHUNK;
            const int64_t y = (int64_t)tile->ty * UNIVERSE_TILE + (c / TILE_CHUNKS) * CHUNK;
            int32_t level = chunkLevel(s, worldToView.m, x, y);
            level = level >= 0 && !standIns ? LEVEL_FULL : level;
            levels[c] = (int8_t)level;
            used |= level >= 0 ? 1 << level : 0;
        }
        for (int32_t y = 0; y < UNIVERSE_TILE; y++)
            fullCells += __builtin_popcountll(tile->rows[y] & levelColumns(levels, LEVEL_FULL, 0, y));
        for (int32_t k = 0; k < LEVELS; k++) {
            if (!(used >> k & 1))
                continue;
            const int64_t levelRuns = tileRuns(tile, levels, k, nullptr, s);
            runs += levelRuns;
            meshes += (levelRuns + MESH_RUNS - 1) / MESH_RUNS;
        }
    }

    // Room for all of it: the faces point into the vertices, so neither may
    // move once filling starts. Stand-ins go without when memory runs short.
    if (runs > fc->runRoom) {
        int32_t vertexRoom = fc->runRoom * 4, faceRoom = fc->runRoom * 2;
        const int ok = makeRoomFor(&fc->vertices, &vertexRoom, runs * 4) && makeRoomFor(&fc->faces, &faceRoom, runs * 2);
        fc->runRoom = ok ? (vertexRoom / 4 < faceRoom / 2 ? vertexRoom / 4 : faceRoom / 2) : 0;
        if (!ok) {
            heapFree(fc->vertices);
            heapFree(fc->faces);
            fc->vertices = nullptr;
            fc->faces = nullptr;
        }
    }
    if (meshes + 1 > fc->meshRoom) {
        int32_t placementRoom = fc->meshRoom, modelRoom = fc->meshRoom;
        const int ok = makeRoomFor(&fc->meshes, &fc->meshRoom, meshes + 1) &&
            makeRoomFor(&fc->meshPlacements, &placementRoom, fc->meshRoom) &&
            makeRoomFor(&fc->models, &modelRoom, fc->meshRoom);
        if (!ok) {
            const int32_t least = fc->meshRoom < placementRoom ? fc->meshRoom : placementRoom;
            fc->meshRoom = least < modelRoom ? least : modelRoom;
        }
    }
    if (fullCells > app.placementRoom)
        makeRoomFor(&app.placements, &app.placementRoom, fullCells);

    // The full model's cells, a tile row at a time.
    int32_t placed = 0;
    for (int32_t first = 0; first < tileCount;) {
        int32_t end = first;
        while (end < tileCount && fc->tiles[end].ty == fc->tiles[first].ty)
            end++;
        for (int32_t y = 0; y < UNIVERSE_TILE; y++)
            for (int32_t t = first; t < end; t++) {
                const UniverseTileRows* tile = &fc->tiles[t];
                const uint64_t columns = levelColumns(&fc->levels[(size_t)t * CHUNKS], LEVEL_FULL, 0, y);
                for (uint64_t row = tile->rows[y] & columns; row && placed < app.placementRoom; row &= row - 1)
                    placeCell((int64_t)tile->tx * UNIVERSE_TILE + __builtin_ctzll(row),
                        (int64_t)tile->ty * UNIVERSE_TILE + y, &app.placements[placed++]);
            }
        first = end;
    }
    const Scene* cells = app.scene;
    static RenderModel alone;
    RenderModel* models = fc->meshRoom > 0 ? fc->models : &alone;
    models[0] = {app.placements, placed, cells->objects, cells->objectCount, cells->materials, cells->materialCount};
    scene->models = models;
    scene->modelCount = 1;
    if (runs > fc->runRoom || meshes + 1 > fc->meshRoom)
        return;

    // The stand-ins, a tile and a level at a time, each mesh placed at its
    // tile's first cell.
    MeshFill fill = {fc, 0, 0, -1};
    for (int32_t t = 0; t < tileCount; t++) {
        const UniverseTileRows* tile = &fc->tiles[t];
        const int8_t* levels = &fc->levels[(size_t)t * CHUNKS];
        for (int32_t k = 0; k < LEVELS; k++) {
            const int32_t before = fill.meshes;
            fill.open = -1;
            tileRuns(tile, levels, k, &fill, s);
            for (int32_t i = before; i < fill.meshes; i++) {
                placeCell((int64_t)tile->tx * UNIVERSE_TILE, (int64_t)tile->ty * UNIVERSE_TILE,
                    &fc->meshPlacements[i]);
                models[1 + i] = {&fc->meshPlacements[i], 1, &fc->meshes[i], 1, &s->material, 1};
            }
        }
    }
    scene->modelCount = 1 + fill.meshes;
}

void placeFrameCells(const Matrix4* cameraPose, RenderScene* scene)
{
    scene->cameraPose = cameraPose;
    if (app.universe) {
        placeUniverse(app.universe, scene);
        return;
    }
    static RenderModel board;
    const Scene* cells = app.scene;
    board = {boardPlacements, placeLiveCells(app.grid, boardPlacements), cells->objects, cells->objectCount,
        cells->materials, cells->materialCount};
    scene->models = &board;
    scene->modelCount = 1;
}
