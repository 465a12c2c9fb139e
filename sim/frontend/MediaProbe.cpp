#include "sim/frontend/MediaProbe.h"

#include "sim/board/Card.h"

#include <cstdlib>

namespace vrec::frontend {

bool MediaDuration(const std::string& path, double* seconds, std::string* why)
{
    std::string ffprobe = board::FindSystemProgram("ffprobe");
    std::string output;
    int status = board::RunProgram(
        ffprobe, {"-v", "error", "-show_entries", "format=duration", "-of", "default=nw=1:nk=1", path}, "", &output);
    char* end = nullptr;
    double value = std::strtod(output.c_str(), &end);
    if (status != 0 || end == output.c_str() || !(value >= 0)) {
        *why = "ffprobe reads no duration from " + path + (output.empty() ? "" : ": " + output);
        return false;
    }
    *seconds = value;
    return true;
}

}  // namespace vrec::frontend
