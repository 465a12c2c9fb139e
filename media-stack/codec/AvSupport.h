// What the libavcodec adapters share.
#pragma once

namespace mediastack {

// libavcodec reports only errors (damaged streams), not its progress.
void QuietAvLog();

}  // namespace mediastack
