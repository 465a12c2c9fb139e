// What a real tool says about a recording on the card: its duration, as
// ffprobe reads it.
#pragma once

#include <string>

namespace vrec::frontend {

// The file's duration in seconds; false and the reason when ffprobe cannot
// read one.
bool MediaDuration(const std::string& path, double* seconds, std::string* why);

}  // namespace vrec::frontend
