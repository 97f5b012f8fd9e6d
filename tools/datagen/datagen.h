// veltrix-datagen: the generator of the bundled data set. Every writer is
// deterministic: the same build writes the same bytes on every run.
#pragma once

#include <string>

enum AtlasPicture { PICTURE_BODY, PICTURE_TRIM };

// The cell model's materials: each has an atlas "<name>.tga" next to Cell.3ds.
struct AtlasRecipe {
    const char* name;
    int width;
    int height;
    AtlasPicture picture;
};
extern const AtlasRecipe cellMaterials[2];

// Each writer returns 1, or 0 after printing why to stderr.
int writeCellModel(const std::string& path);
int writeAtlas(const std::string& path, const AtlasRecipe& recipe);
int writeFontSheet(const std::string& path);
int writeRules(const std::string& path);
int writePattern(const std::string& path);
