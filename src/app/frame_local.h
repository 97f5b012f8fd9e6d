// What the frame's cells share among their files: the walk over the world's
// squares (frame_walk.cpp), the tiles' levels, runs and models (frame_cells.cpp)
// and the far cells' stand-in (stand_in.cpp); nothing else includes it.
#pragma once

#include <cstdint>

#include "app/app.h"
#include "life/states.h"
#include "texture/texture.h"

enum {
    CHUNK_SHIFT = 4,
    CHUNK = 1 << CHUNK_SHIFT,            // cells a side of the region a level is chosen for
    TILE_SHIFT = WORLD_TILE_SHIFT,       // a tile has 2^6 cells a side
    TILE_CHUNKS = WORLD_TILE / CHUNK,    // chunks a side of a tile
    CHUNKS = TILE_CHUNKS * TILE_CHUNKS,  // chunks of a tile
    LEVEL_UNKNOWN = -3,                  // not judged yet
    LEVEL_HIDDEN = -2,                   // the camera sees nothing of the square
    LEVEL_FULL = -1,                     // every live cell with the full model
    // A tile's stand-in levels 0 .. TILE_SHIFT: blocks of 2^k cells, past
    // CHUNK_SHIFT only where the whole tile has the level.
    LEVELS = TILE_SHIFT + 1,
    // A stand-in mesh keeps within the renderer's vertex cache: four vertices a run.
    MESH_RUNS = 1024,
};

// A cell drawn narrower than this many pixels gets a stand-in.
constexpr double fullCellPixels = 2.0;

// A far square's stand-in is shaded by how full the square is: weight w
// (0 .. WEIGHTS - 1) gives its colour (WEIGHTS - w) / WEIGHTS of the full
// one, w = 0 the full colour every stand-in had before squares knew their
// population. A square a fraction f full is given sqrt(f) of the colour,
// what the screen shows of a pixel a fraction f covered in linear light (its
// values being about the square root of the light), but never less than
// WEIGHT_LEAST / WEIGHTS, so that a lone cell far off still shows.
enum { WEIGHTS = 16, WEIGHT_LEAST = 4 };

// What a far cell looks like, made once from the cell model: a flat face over
// the cell's square at the height of the model's top faces, facing and lit as
// they are, in the average colour their texture shows at each shade.
struct StandIn {
    const Scene* scene; // the model it was made for; null until made
    float low[3];       // the model's box, every object's together
    float high[3];
    int32_t boxed;      // 1 when the box is finite: squares are judged by it only then
    float top;          // z of the top faces: the faces most nearly facing -z, which the camera looks down on
    Plane plane;        // the top faces' plane: a, b and c; d is each face's own
    // One texture a weight, each a 4 x 4 level of its weight's palette
    // entry; the materials in weight order.
    uint32_t shades[WEIGHTS * TEXTURE_SHADES];
    uint8_t texels[WEIGHTS][16];
    TextureLevel levels[WEIGHTS];
    Texture textures[WEIGHTS];
    Material materials[WEIGHTS];
};

// A tile in view: its first cell, the level of its whole square, its rows.
struct FrameTile {
    int64_t x, y;
    int32_t whole;
    int32_t rows;      // index into FrameCells::rows, and FrameCells::cellStates
    int32_t hasStates; // 1 when its cells' states were read
};

// What the frame makes of one tile: each chunk's level, row by row, and
// which stand-in levels any chunk has (bit k for level k).
struct TileLevels {
    int8_t chunks[CHUNKS];
    int32_t standIns;
    uint64_t full[TILE_CHUNKS]; // per row of chunks, the columns of cells with the full model
    int32_t blocksAt[LEVELS];   // per stand-in level, where its blocks start in FrameCells::blocks; -1: not kept
    // In a world of more states: per stand-in level, where each block's state
    // starts in FrameCells::blockStates (-1: not worked out, drawn alike) and
    // the states its blocks show.
    int32_t statesAt[LEVELS];
    uint64_t present[LEVELS][STATES_MAX / 64];
};

// A square of a tile or more drawn as one stand-in face, of a weight, or in a
// world of more states of the state a tile of it shows most.
struct FarSquare {
    int64_t x, y;
    int32_t shift;
    int32_t material; // the weight, or WEIGHTS + the state
};

// What a frame is built in, grown as it needs and kept between frames so
// that a frame seldom allocates.
struct FrameCells {
    StandIn standIn;
    Matrix4* placements; // the cells with the full model
    int32_t placementRoom;
    FrameTile* tiles;
    TileLevels* levels;          // one a tile, in the tiles' order
    uint64_t (*rows)[WORLD_TILE]; // the tiles' rows
    int32_t tileCount, tileRoom;
    FarSquare* squares;
    int32_t squareCount, squareRoom;
    uint64_t* blocks; // the tiles' blocks at their stand-in levels, worked out once for counting and filling
    int32_t blockCount, blockRoom;
    MeshVertex* vertices; // four a run
    Face* faces;          // two a run
    int32_t runRoom;
    MeshObject* meshes;
    Matrix4* meshPlacements;
    RenderModel* models; // the cells' models first (one a state drawn with the model), then one a mesh
    int32_t meshRoom;
    RenderModel cellsOnly[STATES_MAX]; // when there is no room for models
    // In a world of more states: each tile's cells' states, a block's state
    // at each stand-in level kept (the one drawn: a model's state before a
    // mark's, the lower first), and the cells with the full model in each
    // state this frame.
    uint8_t (*cellStates)[WORLD_TILE * WORLD_TILE];
    int32_t cellStateRoom;
    uint8_t* blockStates;
    int32_t blockStateCount, blockStateRoom;
    int64_t ofState[STATES_MAX];
    int64_t ofMaterial[WEIGHTS + STATES_MAX]; // the far squares of each material
};
// The frame's record, defined in frame_cells.cpp.
extern FrameCells frameCells;

struct Walk {
    const World* world;
    const StandIn* standIn;
    int standIns; // far squares may be stand-ins
    const RenderScreen* screen;
    const float* worldToView;
    // Worked out once a frame for squareLevel: the model's box and a cell's
    // square together, across and down; the box's depths; the screen's edges
    // as x = slopeX z and y = slopeY z.
    double lowX, highX, lowY, highY;
    double zs[2];
    double slopeX, slopeY;
    int looks; // 1: the world has more states, each drawn in its look
};
// The rest of a walk's record, from its stand-in, screen and view.
void walkPrepare(Walk* walk);

// ---- The walk (frame_walk.cpp) ---------------------------------------------------
// The room a frame starts with when it has none: the 64 x 64 board's, never
// let go, so that the board's frames ask the heap for nothing.
void frameTakeFirstRoom(FrameCells* fc);
// Makes room for `need` entries of `size` bytes, at least doubling, keeping
// the first `keep` entries. 1, or 0 with the array as it was when memory runs
// out. 2 GiB an array at most, which any size_t holds.
int frameMakeRoom(void** array, int32_t* room, int64_t need, size_t size, int32_t keep);
template <typename T> inline int makeRoomFor(T** array, int32_t* room, int64_t need, int32_t keep = 0)
{
    void* p = *array;
    const int ok = frameMakeRoom(&p, room, need, sizeof(T), keep);
    *array = (T*)p;
    return ok;
}
// The level of a square of 2^shift cells a side whose first cell is (x, y);
// within (may be null) is set to 1 when the square lies wholly in view, in
// front of the depth limit and inside every side, else 0.
int32_t squareLevel(const Walk* walk, int64_t x, int64_t y, int32_t shift, int* within = nullptr);
// Fills frameCells's tiles (in drawing order: tile rows top to bottom, left
// to right) and far squares with what the camera sees of the world.
void walkWorld(const Walk* walk);
// The weight of a square of 2^shift cells a side holding population cells
// (-1: not known, drawn full).
int32_t squareWeight(int64_t population, int32_t shift);

// ---- The stand-in (stand_in.cpp) ---------------------------------------------------
// Makes the stand-in for the scene's cell model; 0 when the model has no face
// to take it from (then far cells get the full model too). boxed is set
// either way.
int standInMake(StandIn* standIn, const Scene* scene);

// ---- Each state's look (state_looks.cpp) ------------------------------------------
// How a state is drawn: the model's own colours scaled by bright / 256, or
// colour at the model's light and shade; a mark is a flat face on the plane
// under the cells instead of the model.
struct StateLook {
    uint32_t colour; // 0x00RRGGBB
    int32_t own;
    int32_t mark;
    int32_t bright;
};
// The model's materials in one state's look, made when the state is first drawn.
struct TintedMaterials {
    Material* materials; // heap, count of them
    Texture* textures;   // heap: the model's textures with shade tables of their own
    int32_t count;
};
// The looks of the world shown, made again when its rule or the model changes.
struct StateLooks {
    const World* world; // the world they were last made for
    int32_t states;
    char ruleName[LIFE_RULE_TEXT];
    const StatesTree* tree;
    const Scene* scene;
    const StandIn* standIn; // the stand-in the flat faces were made from; null until made
    StateLook looks[STATES_MAX];
    TintedMaterials tinted[STATES_MAX];
    // The stand-in's materials: WEIGHTS of the far squares' weights, then one
    // a state, each a 4 x 4 level of palette entry 0.
    Material standInMaterials[WEIGHTS + STATES_MAX];
    Texture standInTextures[STATES_MAX];
    TextureLevel standInLevels[STATES_MAX];
    uint32_t standInShades[STATES_MAX][TEXTURE_SHADES];
    uint8_t standInTexels[16];
};
extern StateLooks stateLooks;
// The theme alone: every state's look for a rule (null for a world of
// another engine) of `states` states named ruleName.
void stateLooksMakeTheme(StateLooks* looks, const StatesRule* rule, int32_t states, const char* ruleName);
// The looks ready for the world, the model and its stand-in: 1 when the world
// has more than two states, 0 when every live cell is drawn alike.
int stateLooksPrepare(const World* world, const Scene* scene, const StandIn* standIn);
// The model's materials in the state's look; its own ones when the look is
// the model's or memory ran out.
const Material* stateLooksMaterials(int32_t state);
// Lets go of every tinted copy (appRelease).
void stateLooksRelease();

// ---- The cells in their states (frame_states.cpp) ----------------------------------
// Which states are drawn as flat marks this frame (none unless the stand-in's
// flat faces were made), and from them which state a block of several shows.
void stateMarks(uint8_t marks[STATES_MAX]);
// The state each block of tile t shows at stand-in level shift, as
// stateMarks ordered them, kept in blockStates with the states present: 1,
// or 0 when the tile's states are not known or memory ran out (its blocks
// drawn alike).
int statesJudgeLevel(FrameCells* fc, int32_t t, int32_t shift);
// The blocks of row `row` at level shift that show the state, bit i for block i.
uint64_t statesRowMask(const FrameCells* fc, const TileLevels* levels, int32_t shift, int32_t row, int32_t state);
// Adds the tile's cells with the full model to ofState, by state.
void statesCountFull(FrameCells* fc, const FrameTile* tile, const TileLevels* levels);
// The full model's cells a state at a time, in the order placeFrameCells
// places them within each; one model a state drawn with the model, into
// models. Returns the models.
int32_t placeStateCells(FrameCells* fc, RenderModel* models, const uint8_t marks[STATES_MAX]);
