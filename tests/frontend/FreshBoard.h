// Boards made from scratch for front-end tests, which run without the firmware.
#pragma once

#include "tests/support/Files.h"

#include <string>

namespace vrec::test {

// A new board root under the build's test boards, named after the test.
std::string PrepareFreshBoard(const std::string& name);

}  // namespace vrec::test
