// A drawing surface for the graphics targets: the LCD layout (rotation 90,
// 480-byte rows) on a heap block of exactly its size, so that the address
// sanitizer catches any pixel drawn outside it.
#pragma once

namespace vrec::fuzz {

void SetUpDrawingSurface();

}  // namespace vrec::fuzz
