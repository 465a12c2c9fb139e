// Boards made for a test are removed when it passes; a failed test keeps
// its board for a person to look at.
#pragma once

#include <string>

namespace vrec::test {

// Removes root after the current test if it passes.
void RemoveAfterPassing(const std::string& root);
// Installs the listener that does it (once per test program).
void InstallBoardCleanup();

}  // namespace vrec::test
