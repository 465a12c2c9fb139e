#include "tests/frontend/FreshBoard.h"

#include "sim/board/BoardLayout.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <sys/stat.h>

#include "tests/support/TestBoards.h"

namespace vrec::test {

std::string PrepareFreshBoard(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    std::string root = std::string(VREC_TEST_BOARDS) + "/" + safe;
    mkdir(VREC_TEST_BOARDS, 0755);
    if (std::system(("rm -rf '" + root + "'").c_str()) != 0)
        ADD_FAILURE() << "cannot remove " << root;
    InstallBoardCleanup();
    RemoveAfterPassing(root);
    std::string why;
    if (!vrec::board::PrepareBoardRoot(root, &why))
        ADD_FAILURE() << why;
    return root;
}

}  // namespace vrec::test
