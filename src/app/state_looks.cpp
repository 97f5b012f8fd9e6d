// Each state's look in a world of more than two states: the rule file's
// @COLORS where it gives them, else the family's theme; the cell model's
// materials tinted to each colour (their texels and levels shared, a shade
// table of their own) and the stand-in's shades tinted the same way, so a
// far cell keeps its near colour. State 1 without a colour keeps the model's
// own materials, which two-state worlds always draw with.
#include <cstring>

#include "app/frame_local.h"
#include "life/states.h"
#include "render/render.h"
#include "scene/scene.h"

StateLooks stateLooks;

namespace {

enum { SHADES = TEXTURE_SHADES };

// Dying states fade towards this ember, darker the older they are.
constexpr uint32_t emberColour = 0xE0703C;

uint32_t channelOf(uint32_t colour, int c)
{
    return colour >> (16 - 8 * c) & 0xFF;
}

uint32_t luminance(uint32_t colour)
{
    return (77 * channelOf(colour, 0) + 150 * channelOf(colour, 1) + 29 * channelOf(colour, 2)) >> 8;
}

// A colour of the model seen in the look: its own scaled by the look's
// brightness, or the look's colour at the colour's luminance, the model's
// mean luminance (meanLight) giving the look's colour itself. A colour
// brighter than a channel can show is scaled down whole, keeping its hue.
uint32_t tintColour(uint32_t shade, const StateLook* look, uint32_t meanLight)
{
    const uint64_t light = luminance(shade);
    uint64_t v[3], most = 0;
    for (int c = 0; c < 3; c++) {
        v[c] = look->own ? (uint64_t)channelOf(shade, c) * (uint64_t)look->bright / 256
                         : light * channelOf(look->colour, c) * (uint64_t)look->bright / (256 * meanLight);
        most = v[c] > most ? v[c] : most;
    }
    uint32_t out = 0;
    for (int c = 0; c < 3; c++)
        out |= (uint32_t)(most > 255 ? v[c] * 255 / most : v[c]) << (16 - 8 * c);
    return out;
}

// A palette entry's full colour from its shades: entry 63 is 63/64 of it.
uint32_t fullColour(const uint32_t* shades)
{
    uint32_t out = 0;
    for (int c = 0; c < 3; c++) {
        const uint32_t v = (channelOf(shades[SHADES - 1], c) * SHADES + SHADES / 2) / (SHADES - 1);
        out |= (v > 255 ? 255 : v) << (16 - 8 * c);
    }
    return out;
}

// A palette entry's shades as the texture reader makes them: entry j the
// colour times j / 64, rounded down, so that the four the bilinear sampler
// adds (weights summing to 64) never carry from one channel into the next.
void fillShades(uint32_t* shades, uint32_t colour)
{
    for (uint32_t j = 0; j < SHADES; j++) {
        uint32_t shade = 0;
        for (int c = 0; c < 3; c++)
            shade |= channelOf(colour, c) * j / SHADES << (16 - 8 * c);
        shades[j] = shade;
    }
}

// A hue around the wheel at full brightness and most of full saturation.
uint32_t hueColour(uint32_t hue)
{
    const uint32_t sector = hue % 1536 / 256, f = hue % 256;
    const uint32_t high = 235, low = 60, rise = low + (high - low) * f / 256, fall = high - (high - low) * f / 256;
    const uint32_t rgb[6][3] = {{high, rise, low}, {fall, high, low}, {low, high, rise}, {low, fall, high},
        {rise, low, high}, {high, low, fall}};
    return rgb[sector][0] << 16 | rgb[sector][1] << 8 | rgb[sector][2];
}

int nameStarts(const char* name, const char* family)
{
    const size_t n = strlen(family);
    return strncmp(name, family, n) == 0 && (name[n] == '\0' || name[n] == ':');
}

// The family's theme: state 1 the model's own look; dying states (the
// Generations and Larger than Life families) the ember, darker with age;
// a table's or tree's states hues spread around the wheel.
void defaultTheme(StateLooks* l, const StatesRule* rule)
{
    const int32_t n = l->states;
    for (int32_t s = 1; s < n; s++) {
        StateLook* look = &l->looks[s];
        *look = {0, s == 1, 0, 256};
        if (s == 1)
            continue;
        if (!rule || rule->family != STATES_TREE) {
            look->colour = emberColour;
            look->bright = n > 3 ? 240 - 176 * (s - 2) / (n - 3) : 240;
        } else {
            look->colour = hueColour((uint32_t)(s - 2) * 593);
        }
    }
}

// A number of at most three digits and the blanks before it; 0 when there is none.
int readByte(const char** at, const char* end, int32_t* value)
{
    const char* p = *at;
    while (p < end && (*p == ' ' || *p == '\t' || *p == ','))
        p++;
    int32_t v = 0, digits = 0;
    while (p < end && *p >= '0' && *p <= '9' && digits < 4) {
        v = v * 10 + (*p++ - '0');
        digits++;
    }
    if (digits == 0 || digits > 3)
        return 0;
    *at = p;
    *value = v;
    return 1;
}

// One @COLORS line: "state r g b", or "r1 g1 b1 r2 g2 b2", a gradient from
// state 1 to the last. Anything else, or a number past its range, is passed
// over: a rule's colours never stop it being played.
void readColourLine(StateLooks* l, const char* p, const char* end)
{
    int32_t v[7], count = 0;
    while (count < 7 && readByte(&p, end, &v[count]))
        count++;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
        p++;
    if (p < end && *p != '#')
        return;
    if (count == 4 && v[0] >= 1 && v[0] < l->states && v[1] < 256 && v[2] < 256 && v[3] < 256) {
        l->looks[v[0]] = {(uint32_t)(v[1] << 16 | v[2] << 8 | v[3]), 0, l->looks[v[0]].mark, 256};
        return;
    }
    if (count != 6)
        return;
    for (int i = 0; i < 6; i++)
        if (v[i] > 255)
            return;
    const int32_t last = l->states - 1;
    for (int32_t s = 1; s <= last; s++) {
        uint32_t colour = 0;
        for (int c = 0; c < 3; c++) {
            const int32_t from = v[c], to = v[3 + c];
            const int32_t at = last > 1 ? from + (to - from) * (s - 1) / (last - 1) : from;
            colour |= (uint32_t)at << (16 - 8 * c);
        }
        l->looks[s] = {colour, 0, l->looks[s].mark, 256};
    }
}

// The @COLORS section of a .rule text, up to the next section.
void readColours(StateLooks* l, const char* text, size_t size)
{
    const char* end = text + size;
    int inColours = 0;
    for (const char* line = text; line < end;) {
        const char* stop = (const char*)memchr(line, '\n', (size_t)(end - line));
        stop = stop ? stop : end;
        const char* p = line;
        while (p < stop && (*p == ' ' || *p == '\t'))
            p++;
        if (p + 1 < stop && p[0] == '@' && p[1] >= 'A' && p[1] <= 'Z') {
            const size_t n = (size_t)(stop - p);
            inColours = n >= 7 && memcmp(p, "@COLORS", 7) == 0 && (n == 7 || p[7] == ' ' || p[7] == '\t' || p[7] == '\r');
        } else if (inColours) {
            readColourLine(l, p, stop);
        }
        line = stop + 1;
    }
}

// The largest texel index any level of the texture holds, plus one: the
// palette entries its shade table has.
int32_t paletteEntries(const Texture* t)
{
    int32_t most = 0;
    for (int32_t i = 0; i < t->levelsX * t->levelsY; i++) {
        const TextureLevel* level = &t->levels[i];
        const size_t count = (size_t)level->width * (size_t)level->height;
        for (size_t k = 0; k < count; k++)
            most = level->texels[k] > most ? level->texels[k] : most;
    }
    return most + 1;
}

// The mean luminance the finest level shows at full light, at least 1.
uint32_t meanLight(const Texture* t)
{
    const TextureLevel* level = &t->levels[0];
    const size_t count = (size_t)level->width * (size_t)level->height;
    uint64_t sum = 0;
    for (size_t k = 0; k < count; k++)
        sum += luminance(fullColour(t->shades + (size_t)level->texels[k] * SHADES));
    const uint64_t mean = count ? sum / count : 0;
    return mean > 0 ? (uint32_t)mean : 1;
}

void releaseTinted(StateLooks* l)
{
    for (int32_t s = 0; s < STATES_MAX; s++) {
        TintedMaterials* t = &l->tinted[s];
        for (int32_t m = 0; t->textures && m < t->count; m++)
            heapFree(t->textures[m].shades);
        heapFree(t->textures);
        heapFree(t->materials);
        *t = {};
    }
}

// The state's copy of the model's materials: 1, or 0 when memory ran out
// (nothing kept).
int buildTinted(StateLooks* l, int32_t state)
{
    const Scene* scene = l->scene;
    TintedMaterials* t = &l->tinted[state];
    const int32_t count = scene->materialCount;
    t->materials = (Material*)heapCalloc((size_t)(count > 0 ? count : 1), sizeof(Material));
    t->textures = (Texture*)heapCalloc((size_t)(count > 0 ? count : 1), sizeof(Texture));
    t->count = count;
    int ok = t->materials && t->textures;
    for (int32_t m = 0; ok && m < count; m++) {
        const Material* own = &scene->materials[m];
        const Texture* base = own->texture ? own->texture : defaultTexture();
        const int32_t entries = paletteEntries(base);
        uint32_t* shades = (uint32_t*)heapAlloc((size_t)entries * SHADES * sizeof(uint32_t));
        if (!shades) {
            ok = 0;
            break;
        }
        const uint32_t mean = meanLight(base);
        for (int32_t i = 0; i < entries; i++)
            fillShades(shades + (size_t)i * SHADES,
                tintColour(fullColour(base->shades + (size_t)i * SHADES), &l->looks[state], mean));
        t->textures[m] = *base;
        t->textures[m].shades = shades;
        t->materials[m] = {own->name, &t->textures[m]};
    }
    if (ok)
        return 1;
    for (int32_t m = 0; t->textures && m < count; m++)
        heapFree(t->textures[m].shades);
    heapFree(t->textures);
    heapFree(t->materials);
    *t = {};
    return 0;
}

// Each state's flat face: the stand-in's shades in the state's look, the
// weights' materials first so far squares keep theirs.
void buildStandIns(StateLooks* l, const StandIn* s)
{
    const uint32_t top = fullColour(s->shades), mean = luminance(top) ? luminance(top) : 1;
    memcpy(l->standInMaterials, s->materials, sizeof s->materials);
    memset(l->standInTexels, 0, sizeof l->standInTexels);
    for (int32_t state = 0; state < STATES_MAX; state++) {
        uint32_t* shades = l->standInShades[state];
        fillShades(shades, state < l->states ? tintColour(top, &l->looks[state], mean) : top);
        l->standInLevels[state] = {4, 4, l->standInTexels, 3, 12, 15, 14};
        l->standInTextures[state] = {4, 4, 1, 1, shades, &l->standInLevels[state]};
        l->standInMaterials[WEIGHTS + state] = {nullptr, &l->standInTextures[state]};
    }
}

} // namespace

void stateLooksMakeTheme(StateLooks* l, const StatesRule* rule, int32_t states, const char* ruleName)
{
    l->states = states < 2 ? 2 : states > STATES_MAX ? STATES_MAX : states;
    memset(l->looks, 0, sizeof l->looks);
    l->looks[0] = {0, 1, 0, 256};
    defaultTheme(l, rule);
    // The community's annotated Life: its dead states are the trail and the
    // marks a pattern leaves, laid flat under the living cells.
    if (nameStarts(ruleName, "LifeHistory") || nameStarts(ruleName, "LifeSuper"))
        for (int32_t s = 2; s < l->states; s += 2)
            l->looks[s].mark = 1;
    if (rule && rule->family == STATES_TREE && rule->tree && rule->tree->source)
        readColours(l, rule->tree->source, rule->tree->sourceSize);
}

int stateLooksPrepare(const World* world, const Scene* scene, const StandIn* standIn)
{
    StateLooks* l = &stateLooks;
    if (world->states <= 2)
        return 0;
    const StatesRule* rule = statesWorldRule(world);
    // A world of another rule, or another world: another file of the same
    // rule's name may give other colours. The tinted copies stay while the
    // looks and the model do.
    const int same = l->world == world && l->states == world->states && strcmp(l->ruleName, world->ruleName) == 0 &&
        l->tree == (rule ? rule->tree : nullptr);
    if (!same) {
        static StateLook before[STATES_MAX];
        memcpy(before, l->looks, sizeof before);
        stateLooksMakeTheme(l, rule, world->states, world->ruleName);
        if (memcmp(before, l->looks, sizeof before) != 0) {
            releaseTinted(l);
            l->standIn = nullptr;
        }
        memcpy(l->ruleName, world->ruleName, sizeof l->ruleName);
        l->tree = rule ? rule->tree : nullptr;
        l->world = world;
    }
    if (l->scene != scene) {
        releaseTinted(l);
        l->scene = scene;
        l->standIn = nullptr;
    }
    if (l->standIn != standIn && standIn->scene) {
        buildStandIns(l, standIn);
        l->standIn = standIn;
    }
    return 1;
}

const Material* stateLooksMaterials(int32_t state)
{
    StateLooks* l = &stateLooks;
    const StateLook* look = &l->looks[state];
    if (look->own && look->bright == 256)
        return l->scene->materials;
    if (!l->tinted[state].materials && !buildTinted(l, state))
        return l->scene->materials;
    return l->tinted[state].materials;
}

void stateLooksRelease()
{
    releaseTinted(&stateLooks);
    memset(&stateLooks, 0, sizeof stateLooks);
}
