#include <cstdio>
#include <sys/stat.h>

#include "datagen.h"

static int makeFolder(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return 1;
    if (mkdir(path.c_str(), 0755) == 0)
        return 1;
    fprintf(stderr, "veltrix-datagen: cannot create %s\n", path.c_str());
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: veltrix-datagen OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::string cells = out + "/Cells";
    if (!makeFolder(out) || !makeFolder(cells))
        return 1;
    int ok = writeCellModel(cells + "/Cell.3ds");
    for (const AtlasRecipe& recipe : cellMaterials)
        ok = ok && writeAtlas(cells + "/" + recipe.name + ".tga", recipe);
    ok = ok && writeFontSheet(out + "/Font.bmp");
    ok = ok && writeRules(out + "/Rules.ini");
    ok = ok && writePattern(out + "/Life.ini");
    return ok ? 0 : 1;
}
