// The frame's cells in a world of more states: each block of a far tile
// shows one state, the one that says most (a model's state before a mark's,
// the lower first); the cells with the full model are placed a state at a
// time, one model a state, each with its materials in the state's look.
#include <cstring>

#include "app/frame_local.h"

// Each state's claim on a block this frame, 0 for none, a mark's below any
// model's, the lower state first; and the state of each claim.
static uint8_t claimOf[STATES_MAX];
static uint8_t stateOfClaim[STATES_MAX];

void stateMarks(uint8_t marks[STATES_MAX])
{
    for (int32_t s = 0; s < STATES_MAX; s++)
        marks[s] = s < stateLooks.states && stateLooks.looks[s].mark && stateLooks.standIn != nullptr;
    int32_t claim = STATES_MAX - 1;
    for (int32_t pass = 0; pass < 2; pass++)
        for (int32_t s = 1; s < STATES_MAX; s++)
            if (marks[s] == pass) {
                claimOf[s] = (uint8_t)claim;
                stateOfClaim[claim--] = (uint8_t)s;
            }
    claimOf[0] = 0;
    stateOfClaim[0] = 0;
}

int statesJudgeLevel(FrameCells* fc, int32_t t, int32_t shift)
{
    TileLevels* levels = &fc->levels[t];
    const FrameTile* tile = &fc->tiles[t];
    levels->statesAt[shift] = -1;
    memset(levels->present[shift], 0, sizeof levels->present[shift]);
    const int32_t side = WORLD_TILE >> shift;
    if (!tile->hasStates ||
        !makeRoomFor(&fc->blockStates, &fc->blockStateRoom, (int64_t)fc->blockStateCount + side * side,
            fc->blockStateCount))
        return 0;
    // The claims of the cells, then of blocks twice their side, each the
    // largest of the four it covers, halving in place.
    uint8_t claims[WORLD_TILE * WORLD_TILE];
    const uint8_t* cells = fc->cellStates[tile->rows];
    for (int32_t i = 0; i < WORLD_TILE * WORLD_TILE; i++)
        claims[i] = claimOf[cells[i]];
    for (int32_t from = WORLD_TILE; from > side; from /= 2) {
        const int32_t to = from / 2;
        for (int32_t j = 0; j < to; j++)
            for (int32_t i = 0; i < to; i++) {
                const uint8_t* p = &claims[2 * j * from + 2 * i];
                const uint8_t a = p[0] > p[1] ? p[0] : p[1], b = p[from] > p[from + 1] ? p[from] : p[from + 1];
                claims[j * to + i] = a > b ? a : b;
            }
    }
    uint8_t* out = &fc->blockStates[fc->blockStateCount];
    for (int32_t i = 0; i < side * side; i++) {
        const int32_t state = stateOfClaim[claims[i]];
        out[i] = (uint8_t)state;
        levels->present[shift][state >> 6] |= 1ull << (state & 63);
    }
    levels->present[shift][0] &= ~1ull;
    levels->statesAt[shift] = fc->blockStateCount;
    fc->blockStateCount += side * side;
    return 1;
}

uint64_t statesRowMask(const FrameCells* fc, const TileLevels* levels, int32_t shift, int32_t row, int32_t state)
{
    const int32_t side = WORLD_TILE >> shift;
    const uint8_t* states = &fc->blockStates[levels->statesAt[shift] + row * side];
    uint64_t mask = 0;
    for (int32_t i = 0; i < side; i++)
        mask |= (uint64_t)(states[i] == state) << i;
    return mask;
}

void statesCountFull(FrameCells* fc, const FrameTile* tile, const TileLevels* levels)
{
    const uint64_t* rows = fc->rows[tile->rows];
    for (int32_t y = 0; y < WORLD_TILE; y++) {
        uint64_t row = rows[y] & levels->full[y >> CHUNK_SHIFT];
        if (!tile->hasStates) {
            fc->ofState[1] += __builtin_popcountll(row);
            continue;
        }
        const uint8_t* cells = fc->cellStates[tile->rows] + y * WORLD_TILE;
        for (; row; row &= row - 1)
            fc->ofState[cells[__builtin_ctzll(row)]]++;
    }
}

int32_t placeStateCells(FrameCells* fc, RenderModel* models, const uint8_t marks[STATES_MAX])
{
    // Where each model state's cells start among the placements.
    int64_t at[STATES_MAX] = {};
    int64_t next = 0;
    for (int32_t s = 1; s < STATES_MAX; s++)
        if (!marks[s]) {
            at[s] = next;
            next += fc->ofState[s];
        }
    int64_t first[STATES_MAX];
    memcpy(first, at, sizeof first);
    for (int32_t t0 = 0; t0 < fc->tileCount;) {
        int32_t end = t0;
        while (end < fc->tileCount && fc->tiles[end].y == fc->tiles[t0].y)
            end++;
        for (int32_t y = 0; y < WORLD_TILE; y++)
            for (int32_t t = t0; t < end; t++) {
                const FrameTile* tile = &fc->tiles[t];
                const uint8_t* cells = tile->hasStates ? fc->cellStates[tile->rows] + y * WORLD_TILE : nullptr;
                for (uint64_t row = fc->rows[tile->rows][y] & fc->levels[t].full[y >> CHUNK_SHIFT]; row;
                     row &= row - 1) {
                    const int32_t x = __builtin_ctzll(row), state = cells ? cells[x] : 1;
                    if (marks[state] || at[state] >= fc->placementRoom)
                        continue;
                    cellMatrixAt(tile->x + x - app.originX, tile->y + y - app.originY, &fc->placements[at[state]++]);
                }
            }
        t0 = end;
    }
    const Scene* cells = app.scene;
    int32_t count = 0;
    for (int32_t s = 1; s < STATES_MAX; s++)
        if (!marks[s] && at[s] > first[s])
            models[count++] = {&fc->placements[first[s]], (int32_t)(at[s] - first[s]), cells->objects,
                cells->objectCount, stateLooksMaterials(s), cells->materialCount, 0};
    return count;
}
