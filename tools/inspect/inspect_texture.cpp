#include <cstdio>

#include "inspect.h"
#include "texture/texture.h"

// texture FILE: the pyramid cut out of a TGA atlas, levels in stored order.
int inspectTexture(int argc, char** argv)
{
    if (argc != 1)
        return inspectError("usage: texture FILE");
    Texture* t = textureLoad(argv[0]);
    if (!t)
        return inspectError(textureLoadReason());
    printf("{\"halfWidth\": %d, \"halfHeight\": %d, \"levelsX\": %d, \"levelsY\": %d, \"levels\": [", t->halfWidth,
           t->halfHeight, t->levelsX, t->levelsY);
    for (int32_t i = 0; i < t->levelsX * t->levelsY; i++) {
        const TextureLevel& l = t->levels[i];
        printf("%s[%d, %d, %d, %d, %d, %d]", i ? ", " : "", l.width, l.height, l.uMask, l.rowMask, l.sizeMask, l.vShift);
    }
    printf("]}\n");
    textureRelease(t);
    return 0;
}
