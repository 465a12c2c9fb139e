#include "media-stack/Dmai.h"

#include <cstring>
#include <new>
#include <string>

struct Engine_Object
{
    std::string name;
};

void CERuntime_init(void) {}

// The only engine configured on this system holds all the codecs.
Engine_Handle Engine_open(const char* szName, const Engine_Attrs* pAttrs, int* pError)
{
    if (!szName || std::strcmp(szName, "encodedecode") != 0) {
        if (pError)
            *pError = Engine_EEXIST;
        return nullptr;
    }
    auto* pEngine = new (std::nothrow) Engine_Object{szName};
    if (pError)
        *pError = pEngine ? Engine_EOK : Engine_ENOMEM;
    return pEngine;
}

void Engine_close(Engine_Handle hEngine)
{
    delete hEngine;
}

const char* Engine_getName(Engine_Handle hEngine)
{
    return hEngine ? hEngine->name.c_str() : nullptr;
}
