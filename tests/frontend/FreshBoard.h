// Boards made from scratch for front-end tests, and small file helpers.
#pragma once

#include <string>

namespace vrec::test {

// A new board root under the build's test boards, named after the test.
std::string MakeFreshBoard(const std::string& name);
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& contents);
bool FileExists(const std::string& path);

}  // namespace vrec::test
