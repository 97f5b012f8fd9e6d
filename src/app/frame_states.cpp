// The frame's cells in a world of more states: each block of a far tile
// shows one state, the one that says most (a model's state before a mark's,
// the lower first); the cells with the full model are placed a state at a
// time, one model a state, each with its materials in the state's look.
#include <cstring>

#include "app/frame_local.h"

// A state's claim on a block: 0 for none, a mark's below any model's.
static inline int32_t claimOf(int32_t state, const uint8_t marks[STATES_MAX])
{
    return state == 0 ? 0 : (marks[state] ? 1 : 257) + (255 - state);
}

void stateMarks(uint8_t marks[STATES_MAX])
{
    for (int32_t s = 0; s < STATES_MAX; s++)
        marks[s] = s < stateLooks.states && stateLooks.looks[s].mark && stateLooks.standIn != nullptr;
}

int statesJudgeLevel(FrameCells* fc, int32_t t, int32_t shift, const uint8_t marks[STATES_MAX])
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
    const uint8_t* cells = fc->cellStates[tile->rows];
    uint8_t* out = &fc->blockStates[fc->blockStateCount];
    const int32_t block = 1 << shift;
    for (int32_t j = 0; j < side; j++)
        for (int32_t i = 0; i < side; i++) {
            int32_t best = 0, claim = 0;
            for (int32_t y = j * block; y < (j + 1) * block; y++)
                for (int32_t x = i * block; x < (i + 1) * block; x++) {
                    const int32_t state = cells[y * WORLD_TILE + x], c = claimOf(state, marks);
                    if (c > claim) {
                        claim = c;
                        best = state;
                    }
                }
            out[j * side + i] = (uint8_t)best;
            if (best)
                levels->present[shift][best >> 6] |= 1ull << (best & 63);
        }
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
