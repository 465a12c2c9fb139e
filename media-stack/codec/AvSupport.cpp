#include "media-stack/codec/AvSupport.h"

extern "C" {
#include <libavutil/log.h>
}

#include <mutex>

namespace mediastack {

void QuietAvLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

}  // namespace mediastack
