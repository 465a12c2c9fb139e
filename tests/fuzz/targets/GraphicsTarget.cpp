#include "tests/fuzz/targets/GraphicsTarget.h"

#include "Middleware/GUI/Graphics.h"

#include <cstdlib>

namespace vrec::fuzz {

void SetUpDrawingSurface()
{
    static unsigned char* surface = nullptr;
    if (!surface)
        surface = static_cast<unsigned char*>(std::calloc(GRA_WIDTH * GRA_HEIGHT * 2, 1));
    GRA_Init();
    GRA_SetRotate(90, GRA_HEIGHT * 2);
    GRA_EnableMode(1);
    g_pDrawTarget = surface;
}

}  // namespace vrec::fuzz
