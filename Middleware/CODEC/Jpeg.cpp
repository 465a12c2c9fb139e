// Photo coding arrives with the codec issue; initialising it already succeeds.
#include "Middleware/CODEC/Jpeg.h"

int JPEG_Init(void) { return 1; }
void JPEG_Exit(void) {}
// Stand-in until the codec issue lands (remove then): no photo decodes.
Buffer_Handle JPEG_DecodeFromFile(const char* szPath) { return nullptr; }
