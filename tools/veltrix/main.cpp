// The program reads no command line and no environment: everything comes from
// the files in the current directory.
#include "app/app.h"

int main()
{
    return appMain();
}

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// The page starts the program again after Esc in the same process; what the
// last run kept (scene, textures, board) goes first.
extern "C" EMSCRIPTEN_KEEPALIVE void veltrixRelease()
{
    appRelease();
}
#endif
