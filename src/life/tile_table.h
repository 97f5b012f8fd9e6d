// Where the two tile engines keep their tiles: every tile in a list in no order,
// and found by its position through open addressing with linear probing on
// (tx, ty), the slots a power of two kept at most half full so probes stay
// short. Written once over any engine record with slots, slotCount, tiles,
// tileCount and tileCapacity, whose tiles carry tx, ty, listIndex and near[8]
// (neighbours clockwise from north, null where no tile is).
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/platform.h"

constexpr int tileNearDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int tileNearDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

inline uint32_t tileSlotOf(int32_t tx, int32_t ty, uint32_t mask)
{
    uint64_t key = ((uint64_t)(uint32_t)tx << 32) | (uint32_t)ty;
    key *= 0x9e3779b97f4a7c15ull;
    return (uint32_t)(key >> 32) & mask;
}

template <class U>
auto tileFind(const U* u, int32_t tx, int32_t ty) -> typename std::remove_reference<decltype(u->slots[0])>::type
{
    if (!u->slotCount)
        return nullptr;
    const uint32_t mask = u->slotCount - 1;
    for (uint32_t s = tileSlotOf(tx, ty, mask);; s = (s + 1) & mask) {
        auto t = u->slots[s];
        if (!t || (t->tx == tx && t->ty == ty))
            return t;
    }
}

// Room in the slots and the list for one tile more: 0 when memory ran out (what was there kept).
template <class U>
int tileMakeRoom(U* u)
{
    using Tile = typename std::remove_reference<decltype(u->slots[0])>::type;
    if ((uint64_t)(u->tileCount + 1) * 2 > u->slotCount) {
        const uint32_t count = u->slotCount ? u->slotCount * 2 : 256;
        Tile* slots = (Tile*)heapCalloc(count, sizeof *slots);
        if (!slots)
            return 0;
        for (uint32_t i = 0; i < u->slotCount; i++) {
            Tile t = u->slots[i];
            if (!t)
                continue;
            uint32_t s = tileSlotOf(t->tx, t->ty, count - 1);
            while (slots[s])
                s = (s + 1) & (count - 1);
            slots[s] = t;
        }
        heapFree(u->slots);
        u->slots = slots;
        u->slotCount = count;
    }
    if (u->tileCount == u->tileCapacity) {
        const int32_t capacity = u->tileCapacity ? u->tileCapacity * 2 : 256;
        Tile* tiles = (Tile*)heapRealloc(u->tiles, (size_t)capacity * sizeof *tiles);
        if (!tiles)
            return 0;
        u->tiles = tiles;
        u->tileCapacity = capacity;
    }
    return 1;
}

// Puts the tile, its tx and ty set, in the slots and the list, linked both ways to the
// neighbours there; tileMakeRoom made room for it. tileMin and tileMax bound tx and ty.
template <class U, class Tile>
void tileInsert(U* u, Tile* t, int32_t tileMin, int32_t tileMax)
{
    const uint32_t mask = u->slotCount - 1;
    uint32_t s = tileSlotOf(t->tx, t->ty, mask);
    while (u->slots[s])
        s = (s + 1) & mask;
    u->slots[s] = t;
    t->listIndex = u->tileCount;
    u->tiles[u->tileCount++] = t;
    for (int d = 0; d < 8; d++) {
        const int64_t nx = (int64_t)t->tx + tileNearDx[d], ny = (int64_t)t->ty + tileNearDy[d];
        if (nx < tileMin || nx > tileMax || ny < tileMin || ny > tileMax)
            continue;
        Tile* n = tileFind(u, (int32_t)nx, (int32_t)ny);
        t->near[d] = n;
        if (n)
            n->near[(d + 4) & 7] = t;
    }
}

// Takes the tile out of its neighbours' links, the slots and the list.
template <class U, class Tile>
void tileRemove(U* u, Tile* t)
{
    for (int d = 0; d < 8; d++)
        if (t->near[d])
            t->near[d]->near[(d + 4) & 7] = nullptr;
    const uint32_t mask = u->slotCount - 1;
    uint32_t s = tileSlotOf(t->tx, t->ty, mask);
    while (u->slots[s] != t)
        s = (s + 1) & mask;
    // Backward-shift deletion keeps every probe chain unbroken without tombstones.
    uint32_t hole = s;
    for (uint32_t i = (s + 1) & mask; u->slots[i]; i = (i + 1) & mask) {
        const uint32_t home = tileSlotOf(u->slots[i]->tx, u->slots[i]->ty, mask);
        if (((i - home) & mask) >= ((i - hole) & mask)) {
            u->slots[hole] = u->slots[i];
            hole = i;
        }
    }
    u->slots[hole] = nullptr;
    Tile* last = u->tiles[--u->tileCount];
    u->tiles[t->listIndex] = last;
    last->listIndex = t->listIndex;
}
