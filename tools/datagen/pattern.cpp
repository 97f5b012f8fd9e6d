// Rules.ini and Life.ini: Conway's rule, and a starting pattern that keeps
// the bounded 64 x 64 board busy for well over a thousand generations.
#include <cstdint>
#include <cstdio>
#include <set>
#include <utility>

#include "datagen.h"

namespace {

using Cells = std::set<std::pair<int, int>>;

// Rows run along y, characters along x; 'O' is a live cell.
const char* const gliderGun[] = {
    "........................O...........",
    "......................O.O...........",
    "............OO......OO............OO",
    "...........O...O....OO............OO",
    "OO........O.....O...OO..............",
    "OO........O...O.OO....O.O...........",
    "..........O.....O.......O...........",
    "...........O...O....................",
    "............OO......................",
};

const char* const pulsar[] = {
    "..OOO...OOO..", ".............", "O....O.O....O", "O....O.O....O", "O....O.O....O",
    "..OOO...OOO..", ".............", "..OOO...OOO..", "O....O.O....O", "O....O.O....O",
    "O....O.O....O", ".............", "..OOO...OOO..",
};

const char* const pentadecathlon[] = {
    "..O....O..",
    "OO.OOOO.OO",
    "..O....O..",
};

template <size_t N>
void place(Cells& cells, const char* const (&rows)[N], int x0, int y0)
{
    for (size_t y = 0; y < N; y++)
        for (int x = 0; rows[y][x] != '\0'; x++)
            if (rows[y][x] == 'O')
                cells.insert({x0 + x, y0 + (int)y});
}

// A square of random soup from a fixed linear congruential sequence.
void placeSoup(Cells& cells, int x0, int y0, int size, uint32_t seed)
{
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            seed = (seed * 1103515245u + 12345u) & 0x7FFFFFFFu;
            if ((seed >> 16) & 1)
                cells.insert({x0 + x, y0 + y});
        }
}

int writeText(const std::string& path, const std::string& text)
{
    FILE* out = fopen(path.c_str(), "w");
    int ok = out && fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out && fclose(out) != 0)
        ok = 0;
    if (!ok)
        fprintf(stderr, "veltrix-datagen: cannot write %s\n", path.c_str());
    return ok;
}

} // namespace

int writeRules(const std::string& path)
{
    // Survive with more than 1 and fewer than 4 neighbours, born with 3.
    return writeText(path, "1 4 3 3\n");
}

// The pentadecathlon sits on the centre cell (32, 32), which the camera faces
// at start; the gun's gliders stream past it and wreck themselves on the far
// walls, and the debris meets the soup and the pulsar.
int writePattern(const std::string& path)
{
    Cells cells;
    place(cells, gliderGun, 1, 1);
    place(cells, pentadecathlon, 27, 31);
    place(cells, pulsar, 46, 4);
    placeSoup(cells, 44, 44, 12, 7);
    std::string text = std::to_string(cells.size()) + "\n";
    for (const auto& c : cells)
        text += std::to_string(c.first) + " " + std::to_string(c.second) + " 0\n";
    return writeText(path, text);
}
