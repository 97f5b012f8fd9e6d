// The rule tables against bgolly, Golly's batch engine, an independent program
// run here as the oracle: one generation of every neighbourhood under each rule.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "life/life.h"
#include "support/support.h"

namespace {

UniverseRule parsed(const std::string& text)
{
    UniverseRule rule;
    char reason[256];
    EXPECT_EQ(universeRuleParse(text.c_str(), &rule, reason, sizeof reason), 1) << text << ": " << reason;
    return rule;
}

using Cells = std::set<std::pair<int, int>>;

std::string rleOf(const Cells& cells, const std::string& rule)
{
    int right = 0, bottom = 0;
    for (const auto& c : cells) {
        right = std::max(right, c.first + 1);
        bottom = std::max(bottom, c.second + 1);
    }
    std::string text = "x = " + std::to_string(right) + ", y = " + std::to_string(bottom) + ", rule = " + rule + "\n";
    for (int y = 0; y < bottom; y++) {
        for (int x = 0; x < right; x++)
            text += cells.count({x, y}) ? 'o' : 'b';
        text += y + 1 < bottom ? "$\n" : "!\n";
    }
    return text;
}

// Reads bgolly's RLE: the rule from the header and the live cells.
Cells readRle(const std::string& text, std::string* rule)
{
    Cells cells;
    size_t at = 0;
    int x = 0, y = 0;
    while (at < text.size()) {
        const size_t lineEnd = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, lineEnd - at);
        at = lineEnd + 1;
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == 'x') {
            const size_t r = line.find("rule = ");
            *rule = r == std::string::npos ? "" : line.substr(r + 7);
            continue;
        }
        int run = 0;
        for (char c : line) {
            if (c >= '0' && c <= '9') {
                run = run * 10 + (c - '0');
                continue;
            }
            const int n = run ? run : 1;
            run = 0;
            if (c == 'o')
                for (int i = 0; i < n; i++)
                    cells.insert({x++, y});
            else if (c == 'b')
                x += n;
            else if (c == '$')
                y += n, x = 0;
            else if (c == '!')
                return cells;
        }
    }
    return cells;
}

Cells moved(const Cells& cells)
{
    int left = 1 << 30, top = 1 << 30;
    for (const auto& c : cells) {
        left = std::min(left, c.first);
        top = std::min(top, c.second);
    }
    Cells out;
    for (const auto& c : cells)
        out.insert({c.first - left, c.second - top});
    return out;
}

// One generation on the plane by the table, to the top-left corner.
Cells stepByTable(const Cells& cells, const UniverseRule& rule)
{
    Cells next;
    std::set<std::pair<int, int>> seen;
    for (const auto& c : cells)
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                const int x = c.first + dx, y = c.second + dy;
                if (!seen.insert({x, y}).second)
                    continue;
                unsigned index = 0;
                for (int ny = -1; ny <= 1; ny++)
                    for (int nx = -1; nx <= 1; nx++)
                        if (cells.count({x + nx, y + ny}))
                            index |= 1u << ((ny + 1) * 3 + (nx + 1));
                if (rule.next[index])
                    next.insert({x, y});
            }
    return moved(next);
}

// Every neighbourhood of 9 cells as its own block, 4 cells apart.
Cells everyNeighbourhood()
{
    Cells cells;
    for (int i = 0; i < 512; i++)
        for (int bit = 0; bit < 9; bit++)
            if (i >> bit & 1)
                cells.insert({(i % 32) * 4 + bit % 3, (i / 32) * 4 + bit / 3});
    return cells;
}

struct RuleBgolly : ::testing::Test {
    TempDir dir;
    void SetUp() override
    {
        if (access("/usr/bin/bgolly", X_OK) != 0)
            GTEST_SKIP() << "bgolly is not installed (Debian's golly package): rules not checked against it";
    }
    // Runs one generation of cells under rule; the result moved to the corner, and bgolly's name for the rule.
    Cells step(const Cells& cells, const std::string& rule, std::string* name)
    {
        writeFile("in.rle", rleOf(cells, rule));
        std::string output;
        EXPECT_EQ(runCommand("/usr/bin/bgolly -q -q -m 1 -o out.rle in.rle 2>&1", &output), 0) << rule;
        return moved(readRle(readFile("out.rle"), name));
    }
};

TEST_F(RuleBgolly, EveryHenselLetterBornAndSurvivingAsGollyHasIt)
{
    const Cells start = everyNeighbourhood();
    const char* letters[9] = {"", "ce", "cekain", "cekainyqjr", "cekainyqjrtwz", "cekainyqjr", "cekain", "ce", ""};
    int checked = 0;
    for (int count = 0; count <= 8; count++) {
        const std::string configurations = letters[count][0] ? letters[count] : " ";
        for (char letter : configurations) {
            const std::string half = std::to_string(count) + (letter == ' ' ? "" : std::string(1, letter));
            // B0 would make bgolly emulate the rule on the inverted plane.
            const std::string text = count ? "B" + half + "/S" + half : "B/S" + half;
            const UniverseRule rule = parsed(text);
            std::string name;
            EXPECT_EQ(step(start, text, &name), stepByTable(start, rule)) << text;
            EXPECT_EQ(name, rule.name) << text;
            checked++;
        }
    }
    EXPECT_EQ(checked, 51);
}

TEST_F(RuleBgolly, MixedRulesNeighbourhoodsAndMapStringsAsGollyHasThem)
{
    const Cells start = everyNeighbourhood();
    std::string map = "MAP";
    unsigned seed = 12345;
    for (int i = 0; i < 86; i++) {
        seed = seed * 1103515245u + 12345u;
        map += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[i == 0 ? seed >> 16 & 31 : i < 85 ? seed >> 16 & 63 : 0];
    }
    for (const std::string& text :
         {std::string("B2n3/S23-q"), std::string("B3-kq4j/S2-n36c"), std::string("B2ci3ai4c8/S02ae3eijkq4iz5ar6i7e"),
          std::string("B2-a/S12"), std::string("B36/S23"), std::string("B2/S013V"), std::string("B245/S3H"), map}) {
        const UniverseRule rule = parsed(text);
        std::string name;
        EXPECT_EQ(step(start, text, &name), stepByTable(start, rule)) << text;
        EXPECT_EQ(name, rule.name) << text;
    }
}

} // namespace
