// Whole-file helpers for tests.
#pragma once

#include <string>

namespace vrec::test {

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);

}  // namespace vrec::test
