// What the benchmarks that run the device's threads share: a fresh board of
// their own in the build tree, its settings at their defaults with
// recording at 48 kHz, and the CPU time of this process or its children.
#pragma once

#include <string>

namespace vrec::bench {

// Makes the board "<bench dir>/<name>" anew and powers it on in this
// process; exits the program when that fails.
void OpenBenchBoard(const std::string& benchDir, const std::string& name);

// User and system CPU seconds of RUSAGE_SELF or RUSAGE_CHILDREN.
double CpuSeconds(int who);

}  // namespace vrec::bench
