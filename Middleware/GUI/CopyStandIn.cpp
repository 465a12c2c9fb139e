// Stand-in for the file copy until it lands (remove then): nothing is
// copied and the caller is told the destination was not created.
#include "Middleware/GUI/CopyStandIn.h"

#include "Media/MovCreator.h"

#include <stdio.h>

int MovCopy(COPY_PROGRESS, const char* szDst, const char*, int, int, int, const char*, int, int)
{
    printf("MovCopy(%s): the copy is not built yet\n", szDst);
    return MOV_EXIT_NOT_CREATED;
}

int WavCopy(COPY_PROGRESS, const char* szDst, const char*, int, int, int, const char*, int, int)
{
    printf("WavCopy(%s): the copy is not built yet\n", szDst);
    return MOV_EXIT_NOT_CREATED;
}
