// What the libFuzzer targets share: a board inside the build tree and the
// file each round's bytes go to.
#pragma once

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::test {

// The firmware's files live on a board inside dir; the input file lies in
// dir too, where paths are used as they are. Returns the input's path.
inline std::string PrepareFuzzInput(const std::string& dir, const std::string& extension)
{
    mkdir(dir.c_str(), 0755);
    setenv("VRECSIM_ROOT", (dir + "/board").c_str(), 0);
    return dir + "/input-" + std::to_string(getpid()) + extension;
}

}  // namespace vrec::test
