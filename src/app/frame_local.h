// What the frame's cells (frame_cells.cpp) share with the making of the far
// cells' stand-in (stand_in.cpp); nothing else includes it.
#pragma once

#include <cstdint>

#include "app/app.h"
#include "texture/texture.h"

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
    uint32_t shades[TEXTURE_SHADES];
    uint8_t texels[16];
    TextureLevel level;
    Texture texture;
    Material material;
};

// Makes the stand-in for the scene's cell model; 0 when the model has no face
// to take it from (then far cells get the full model too). boxed is set
// either way.
int standInMake(StandIn* standIn, const Scene* scene);
